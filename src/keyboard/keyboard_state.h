// The keyboard state that every key function shares. The session holds one;
// the cursor, insert mode and typing word-wrap mode live in the presentation
// space, the current AID and the outstanding-reply flag in the record
// processor, because the data stream reads them too.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "keyboard/key_word.h"
#include "screen/presentation_space.h"
#include "screen/session_status.h"

namespace cedar::keys {

// Keys typed ahead while the keyboard is locked: a ring of 1024 key words
// that holds at most 1023 (full when advancing the write index would meet
// the read index).
class TypeAheadQueue {
  public:
    static constexpr int kSlots = 1024;
    static constexpr int kCapacity = kSlots - 1;

    bool empty() const { return read_ == write_; }
    bool full() const { return (write_ + 1) % kSlots == read_; }
    int size() const { return (write_ - read_ + kSlots) % kSlots; }
    // False (and nothing stored) when full.
    bool push(KeyWord word);
    std::optional<KeyWord> pop();
    void clear() { read_ = write_ = 0; }

  private:
    std::array<KeyWord, kSlots> ring_{};
    int read_ = 0;
    int write_ = 0;
};

// The six planes and the cursor, as Undo keeps them. The planes are taken
// on the heap at the first use; a snapshot is not copied (a copy would share
// them).
struct ScreenSnapshot {
    ScreenSnapshot() = default;
    ScreenSnapshot(const ScreenSnapshot&) = delete;
    ScreenSnapshot& operator=(const ScreenSnapshot&) = delete;
    ScreenSnapshot(ScreenSnapshot&&) = default;
    ScreenSnapshot& operator=(ScreenSnapshot&&) = default;

    std::shared_ptr<PresentationSpace::Image> planes;
    int cursor = 0;
    int positions = 0;  // the geometry it was taken at; 0 = never taken

    bool taken() const { return positions != 0; }
    void take(const PresentationSpace& ps);
    // False (and nothing changed) when never taken or taken at another size.
    bool restoreTo(PresentationSpace& ps) const;
};

struct KeyboardState {
    // The status before an input error (PROTECTED, INSERTOVERFLOW) replaced it.
    SessionStatus savedStatus = SessionStatus::NotConnected;
    TypeAheadQueue typeAhead;

    // Undo: the screen as the host last unlocked it, and as the operator had
    // changed it before the last Undo.
    ScreenSnapshot unlockImage;
    ScreenSnapshot redoImage;
    bool undoArmed = false;

    // The paste sequence of the clipboard functions.
    int pasteRingIndex = 0;
    bool pasteSequenceStart = true;

    // The cursor at the start of the last typing or deleting key (word wrap).
    int lastTypingPosition = 0;
    // The last typed character moved the cursor to another field.
    bool autoSkipped = false;
    // The terminal window asks the next key function to act at the mouse position.
    bool keyFromMouse = false;
    // Which file's macro-name list a MACRO key word indexes: 0 keyboard, 1 toolbar, 2 keypad.
    std::uint8_t macroListSelector = 0;

    // Inputs from keyboard input: Shift is held; a dead key waits for its
    // second character (the cursor does not advance over the dead character).
    bool shiftDown = false;
    bool deadKeyPending = false;

    // Host keyboard restores since the last key function (the recorder's
    // pending Wait lines).
    int restoresSinceKey = 0;
    // Attention keys carried out so far (the type-ahead replay stops after one).
    std::uint64_t attentionsSent = 0;
};

}  // namespace cedar::keys
