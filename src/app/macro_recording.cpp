#include "app/macro_recording.h"

#include <QFileDialog>
#include <QFileInfo>

#include "app/message_boxes.h"
#include "platform/macro_file_access.h"

namespace cedar::app {

AppRecorder::AppRecorder(const Parts& parts)
    : window_(parts.window),
      folders_(parts.folders),
      settings_(parts.settings),
      options_(parts.options),
      macroLoaded_(parts.macroLoaded),
      stateChanged_(parts.stateChanged),
      recorder_(*this, parts.keyList) {
    keys::KeyboardController& keyboard = parts.keyboard.controller();
    recorder_.setTypingFlush([&keyboard] { keyboard.flushRecordedTyping(); });
    recorder_.setRestoreCountReset([&keyboard] { keyboard.clearRecordedRestores(); });
}

void AppRecorder::recordKey() {
    if (recorder_.state() == MacroRecorder::State::Paused) {
        recorder_.togglePause();
        return;
    }
    if (recorder_.active() || (macroLoaded_ && macroLoaded_())) return;
    const QString path = QFileDialog::getSaveFileName(window_, "Record a Macro",
                                                      QString::fromStdString(folders_.macros),
                                                      "Macro files (*.mac);;All files (*)");
    if (path.isEmpty()) return;  // Cancel
    // A file in the macros folder is kept by its name, any other by its path.
    const QFileInfo file(path);
    const bool inMacros =
        file.absoluteDir() == QDir(QString::fromStdString(folders_.macros)).absolutePath();
    startRecording((inMacros ? file.fileName() : file.absoluteFilePath()).toStdString(), "");
}

void AppRecorder::startRecording(const std::string& name, const std::string& description) {
    MacroRecorder::Start start;
    start.name = name;
    start.description = description;
    start.rexx = options_.number(sessionfile::Field::RecordInRexx) != 0;
    start.recordWait = settings_.recordWait;
    start.timestamp = platform::localTimestamp();
    recorder_.start(start);
}

bool AppRecorder::pauseKey() {
    if (!recorder_.active()) return false;
    recorder_.togglePause();
    return true;
}

int AppRecorder::saveMacroFile(const std::string& fileName, std::string_view text) {
    return platform::saveMacroFile(folders_.macros, fileName, text);
}

void AppRecorder::recorderMessage(const std::string& title, const std::string& text, bool warning) {
    askLater(window_, title, text, warning ? MessageIcon::Warning : MessageIcon::Information,
             BoxButtons::Ok, [](BoxAnswer) {});
}

}  // namespace cedar::app
