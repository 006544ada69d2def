// The macro recorder in the program: the record key (OPER MacroRecord) asks
// for the file name with a "Record a Macro" file dialog and starts
// recording; the stop and pause keys end and pause it. The file goes to the
// macros folder; the save's messages are the program's message boxes.
#pragma once

#include <functional>
#include <string>

#include "keyboard/key_list.h"
#include "session/folders.h"
#include "session/macro_recorder.h"
#include "session/session_keyboard.h"
#include "sessionfile/session_options.h"
#include "sessionfile/settings.h"

class QWidget;

namespace cedar::app {

class AppRecorder : private MacroRecorderUi {
  public:
    struct Parts {
        QWidget* window;  // the parent of the dialog and the boxes
        const Folders& folders;
        const Settings& settings;                    // RecordWait
        const sessionfile::SessionOptions& options;  // "Record Macros in Rexx"
        const keys::KeyList& keyList;
        SessionKeyboard& keyboard;
        // A macro is loaded (recording does not start then).
        std::function<bool()> macroLoaded;
        // The recording's state changed (the status line).
        std::function<void()> stateChanged;
    };
    explicit AppRecorder(const Parts& parts);

    MacroRecorder& recorder() { return recorder_; }

    // The record key: resumes a paused recording; with no recording and no
    // macro loaded, asks for the file name and starts one.
    void recordKey();
    // Starts recording into `name` (".mac" added), described by `description`.
    void startRecording(const std::string& name, const std::string& description);
    // The stop key: ends and saves a recording; false when none was under way.
    bool stopKey() { return recorder_.stop(); }
    // The pause key: pauses or resumes a recording; false when none was under way.
    bool pauseKey();

  private:
    int saveMacroFile(const std::string& fileName, std::string_view text) override;
    void recorderMessage(const std::string& title, const std::string& text, bool warning) override;
    void recordingStateChanged() override {
        if (stateChanged_) stateChanged_();
    }

    QWidget* window_;
    const Folders& folders_;
    const Settings& settings_;
    const sessionfile::SessionOptions& options_;
    std::function<bool()> macroLoaded_;
    std::function<void()> stateChanged_;
    MacroRecorder recorder_;
};

}  // namespace cedar::app
