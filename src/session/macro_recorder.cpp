#include "session/macro_recorder.h"

#include "macro/macro_source.h"

namespace cedar {

namespace {

constexpr const char* kNativeRule = "*********************************************************\r\n";
constexpr const char* kRexxFirst =
    "/* rexx ***************************************************/\r\n";
constexpr const char* kRexxLast =
    "/**********************************************************/\r\n";

// The header's lines count as five statements in both dialects.
constexpr int kHeaderStatements = 5;

}  // namespace

std::string macroSavedText(const std::string& fileName, int statements) {
    return "Macro saved as " + fileName + ", containing " + std::to_string(statements) +
           " statements";
}

std::string macroSaveErrorText(int errorCode, const std::string& fileName) {
    return "Error " + std::to_string(errorCode) + " while saving " + fileName;
}

std::string recordingFullText() {
    return "Recording stopped: the macro has reached its limit of " +
           std::to_string(MacroRecorder::kCapacity) +
           " bytes. The last action was not recorded; everything before it is saved.";
}

MacroRecorder::MacroRecorder(MacroRecorderUi& ui, const keys::KeyList& keyList)
    : ui_(ui), keyList_(keyList) {}

void MacroRecorder::setState(State state) {
    if (state_ == state) return;
    state_ = state;
    ui_.recordingStateChanged();
}

void MacroRecorder::start(const Start& start) {
    if (active()) discard();
    fileName_ = macroFileName(start.name);
    rexx_ = start.rexx;
    text_.clear();
    text_.reserve(4096);
    statements_ = 0;
    const std::string wait = std::to_string(start.recordWait);
    if (rexx_) {
        text_ += kRexxFirst;
        text_ += "/* Cedar TN3270 macro generated on " + start.timestamp + "    */\r\n";
        text_ += kRexxLast;
        text_ += "\r\n";
        text_ += "WaitUnlocked(" + wait + ")\r\n";
    } else {
        const std::string& description = start.description.empty() ? fileName_ : start.description;
        text_ += kNativeRule;
        text_ += "* " + description + "\r\n";
        text_ += "* Cedar TN3270 macro generated on " + start.timestamp + "\r\n";
        text_ += kNativeRule;
        text_ += "\r\n";
        text_ += "Wait(" + wait + ",Status=\"Unlocked\")\r\n";
    }
    // A description long enough to fill the buffer is cut back to it.
    if (text_.size() > kCapacity) text_.resize(kCapacity);
    statements_ = kHeaderStatements;
    if (resetRestores_) resetRestores_();
    setState(State::Recording);
}

void MacroRecorder::togglePause() {
    if (state_ == State::Recording)
        setState(State::Paused);
    else if (state_ == State::Paused)
        setState(State::Recording);
}

void MacroRecorder::writeLine(std::string_view line) {
    if (state_ != State::Recording) return;
    if (line.size() > kCapacity - text_.size()) {
        ui_.recorderMessage("Macro Recorder", recordingFullText(), true);
        // At the stop's own last Type statement the line is only left out.
        if (!stopping_) stop();
        return;
    }
    text_.append(line);
    ++statements_;
}

bool MacroRecorder::stop() {
    if (!active() || stopping_) return false;
    stopping_ = true;
    // Typed characters still waiting become the last Type statement; a
    // recording that is paused writes them too (they were typed before the pause).
    state_ = State::Recording;
    if (flushTyping_) flushTyping_();
    setState(State::Idle);
    stopping_ = false;
    const int error = ui_.saveMacroFile(fileName_, text_);
    const bool saved = error == 0;
    if (saved)
        ui_.recorderMessage("Macro Recorded", macroSavedText(fileName_, statements_), false);
    else
        ui_.recorderMessage("File Save Error", macroSaveErrorText(error, fileName_), true);
    text_.clear();
    text_.shrink_to_fit();
    return saved;
}

void MacroRecorder::discard() {
    if (!active()) return;
    setState(State::Idle);
    // The typed characters go nowhere: the recorder no longer takes lines.
    if (flushTyping_) flushTyping_();
    text_.clear();
    text_.shrink_to_fit();
    statements_ = 0;
}

std::string MacroRecorder::functionName(keys::KeyWord word) const {
    const keys::KeyFunction* f = keyList_.keyFunctionByCode(keys::kindOf(word), keys::codeOf(word));
    return f != nullptr ? f->name : std::string();
}

std::string MacroRecorder::macroName(std::uint8_t index, std::uint8_t selector) const {
    if (!macroNames_) return {};
    return macroNames_(index, selector).value_or(std::string());
}

}  // namespace cedar
