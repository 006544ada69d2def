// The macro recorder: turns what the user does in a session into a macro
// file that plays it back. The key dispatcher decides after each key
// function which lines to write (keyboard/key_recording.h); this class owns
// the recording text, its states (recording, paused), the file header of
// the native and the REXX dialect, and the save with its messages.
//
// The text is bounded: a line that would take it past kCapacity bytes is
// not written; recording then ends at once, the user is told why, and what
// was recorded up to that point is saved as at a normal stop.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "keyboard/key_list.h"
#include "keyboard/keyboard_services.h"

namespace cedar {

// What the recorder needs from outside: the file write and the user's messages.
class MacroRecorderUi {
  public:
    virtual ~MacroRecorderUi() = default;
    // Writes the macro file `fileName` (in the macros folder unless it is a
    // path), replacing any file of that name. Returns 0, or the system's
    // error code (errno) when the file could not be created or written.
    virtual int saveMacroFile(const std::string& fileName, std::string_view text) = 0;
    // An information (`warning` false) or warning message box.
    virtual void recorderMessage(const std::string& /*title*/, const std::string& /*text*/,
                                 bool /*warning*/) {}
    // Recording started, paused, resumed or ended (the status line's mark).
    virtual void recordingStateChanged() {}
};

class MacroRecorder : public keys::KeyRecorder {
  public:
    // The recording text never grows past this many bytes.
    static constexpr std::size_t kCapacity = 655360;

    enum class State : std::uint8_t { Idle, Recording, Paused };

    struct Start {
        std::string name;         // the file name; ".mac" is appended when missing
        std::string description;  // "" : the file name is written instead
        bool rexx = false;        // the REXX dialect
        int recordWait = 20;      // the seconds of every Wait line
        std::string timestamp;    // local time, "%Y-%m-%d %H:%M:%S"
    };

    // The name of the macro a MACRO key word runs, by index and list selector.
    using MacroNames = std::function<std::optional<std::string>(int index, int selector)>;

    MacroRecorder(MacroRecorderUi& ui, const keys::KeyList& keyList);

    // Writes the typed characters the dispatcher still holds (set by the
    // keyboard's owner; called before the file is written).
    void setTypingFlush(std::function<void()> flush) { flushTyping_ = std::move(flush); }
    // Clears the dispatcher's count of keyboard restores (called at the start).
    void setRestoreCountReset(std::function<void()> reset) { resetRestores_ = std::move(reset); }
    void setMacroNames(MacroNames names) { macroNames_ = std::move(names); }

    State state() const { return state_; }
    bool active() const { return state_ != State::Idle; }

    // Starts recording; a recording already under way is discarded first.
    void start(const Start& start);
    // The pause key: recording <-> paused; nothing is recorded while paused.
    void togglePause();
    // Ends the recording and saves it with its message; true when saved.
    // Nothing happens when no recording is under way.
    bool stop();
    // Ends the recording without saving it (a macro started by name).
    void discard();

    const std::string& text() const { return text_; }
    int statementCount() const { return statements_; }
    const std::string& fileName() const { return fileName_; }

    // keys::KeyRecorder.
    bool recording() const override { return state_ == State::Recording; }
    bool rexxDialect() const override { return rexx_; }
    void writeLine(std::string_view line) override;
    std::string functionName(keys::KeyWord word) const override;
    std::string macroName(std::uint8_t index, std::uint8_t selector) const override;

  private:
    void append(std::string_view line);
    void setState(State state);

    MacroRecorderUi& ui_;
    const keys::KeyList& keyList_;
    std::function<void()> flushTyping_;
    std::function<void()> resetRestores_;
    MacroNames macroNames_;
    State state_ = State::Idle;
    bool rexx_ = false;
    bool stopping_ = false;
    std::string text_;
    std::string fileName_;
    int statements_ = 0;
};

// The message of a save: "Macro saved as %s, containing %d statements".
std::string macroSavedText(const std::string& fileName, int statements);
// "Error %d while saving %s".
std::string macroSaveErrorText(int errorCode, const std::string& fileName);
// Why a recording ended at kCapacity.
std::string recordingFullText();

}  // namespace cedar
