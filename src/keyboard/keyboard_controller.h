// The key dispatcher: one entry point, performKey, through which the
// keyboard, toolbar, keypad, menus, mouse, macros, paste and the type-ahead
// replay carry out key functions given as 16-bit key words. It applies the
// keyboard-lock check, carries out the attention keys, cursor movement,
// field editing and typing on the presentation space, and writes the macro
// statements of a recording.
//
// Everything outside the screen and the keyboard state (sending, display,
// sounds, selection, macros, clipboard, operator functions) goes through the
// interfaces of keyboard_services.h.
#pragma once

#include <cstddef>
#include <string_view>

#include "keyboard/key_recording.h"
#include "keyboard/key_word.h"
#include "keyboard/keyboard_services.h"
#include "keyboard/keyboard_settings.h"
#include "keyboard/keyboard_state.h"
#include "keyboard/word_wrap.h"
#include "screen/presentation_space.h"
#include "screen/record_processor.h"
#include "screen/session_status.h"

namespace cedar::keys {

// The session state the key functions work on.
struct KeyboardContext {
    PresentationSpace& screen;
    SessionStatus& status;
    // The record capture that attention keys restart.
    RecordProcessor& records;
    // The AID an attention key sends and its outstanding-reply flag.
    AidState& aid;
    KeyboardState& state;
    const KeyboardSettings& settings;
};

// The collaborators; any left null is a do-nothing default.
struct KeyboardServices {
    KeyboardLink* link = nullptr;
    KeyboardUi* ui = nullptr;
    KeyRecorder* recorder = nullptr;
    DeferredKeyFunctions* deferred = nullptr;
};

// The AID an attention key sends (ACTION codes 0..29; Attn has none and
// answers 0x60). Codes 30..49 take theirs from the settings.
std::uint8_t aidOfAction(std::uint8_t code);

class KeyboardController {
  public:
    KeyboardController(const KeyboardContext& context, const KeyboardServices& services = {});
    KeyboardController(const KeyboardController&) = delete;
    KeyboardController& operator=(const KeyboardController&) = delete;

    void setServices(const KeyboardServices& services);

    // Carries out one key function. Every source but the type-ahead replay
    // passes the keyboard-lock check: while the keyboard is locked an ACTION
    // or EDIT key without the immediate bit is queued (TYPEAHEAD) or refused.
    KeyOutcome performKey(KeyWord word, KeySource source);

    // The host restored the keyboard: the Undo image is taken, Undo armed, a
    // new paste sequence starts and the recorder counts the restore.
    void keyboardRestored();
    // Replays queued keys until the queue is empty or an attention key went out.
    void drainTypeahead();

    // Types each display-code character as a CHAR key; returns how many of
    // them were carried out (not queued or refused).
    std::size_t typeText(std::string_view displayText, KeySource source = KeySource::Keyboard);

    // The keyboard is locked: the status is neither UNLOCKED nor NOTCONNECTED.
    bool locked() const;
    // Writes the recorder's waiting typed characters (when recording ends).
    void flushRecordedTyping() { statements_.flushTypedText(); }
    // A recording starts: keyboard restores before it write no Wait line.
    void clearRecordedRestores() { state_.restoresSinceKey = 0; }

  private:
    // Dispatcher.
    KeyOutcome lockCheck(KeyWord word, KeySource source);
    void dispatch(KeyWord word);
    void lineModeKey(KeyWord word);
    void recordKey(KeyWord word, int cursorBefore);

    // Attention keys, Reset and Undo.
    void attentionKey(std::uint8_t code);
    void attention();
    void sendAidOnly(std::uint8_t aid);
    void reset();
    void undo();

    // EDIT functions.
    void editKey(Edit code);
    void moveCursor(int to);
    void eraseEndOfField();
    void eraseInput();
    void deleteKey();
    void deleteWord();
    void deleteAt(int p);
    void backspace();
    void insertKey();
    void wangInsert();
    void toggleWordWrap();

    // Typing.
    void typeCharacter(std::uint8_t c);
    bool numericLockRefuses(std::uint8_t c);
    bool editCheck(int p);
    bool inputErrorRetry();
    void inputError(SessionStatus error);
    void autoSkipAfterTyping();
    std::uint8_t fillCharacter(int field) const;

    // Word wrap with the keystroke's rollback when the text would not fit.
    // "WordWrapAlways" keeps it on whatever the screen's mode says.
    bool wordWrapOn() const;
    void beginKeystroke();
    void wrapAfterKey(WrapMode mode);

    PresentationSpace& ps_;
    SessionStatus& status_;
    RecordProcessor& records_;
    AidState& aid_;
    KeyboardState& state_;
    const KeyboardSettings& settings_;

    KeyboardLink defaultLink_;
    KeyboardUi defaultUi_;
    KeyRecorder defaultRecorder_;
    DeferredKeyFunctions defaultDeferred_;
    KeyboardLink* link_ = &defaultLink_;
    KeyboardUi* ui_ = &defaultUi_;
    KeyRecorder* recorder_ = &defaultRecorder_;
    DeferredKeyFunctions* deferred_ = &defaultDeferred_;
    StatementWriter statements_{defaultRecorder_};

    // The state before the current typing or deleting key, restored when
    // word wrap cannot place its text.
    struct Keystroke {
        ScreenSnapshot screen;
        bool insertMode = false;
        int lastTypingPosition = 0;
        bool autoSkipped = false;
        bool active = false;
    } keystroke_;
    // Recording is suspended (the Enter that follows MoveCursorEnter).
    bool recordingSuspended_ = false;
    // This key's first input error may still run the "protect.ext" exit macro.
    bool exitMacroTried_ = false;
};

}  // namespace cedar::keys
