#include "keyboard/key_recording.h"

#include <cstdio>

namespace cedar::keys {

namespace {

std::string format(const char* pattern, int a, int b = 0, int c = 0) {
    char text[160];
    std::snprintf(text, sizeof text, pattern, a, b, c);
    return text;
}

// EDIT functions that take a screen position (select field, line, word, the
// two selection corners).
bool positionedEdit(std::uint8_t code) {
    switch (static_cast<Edit>(code)) {
        case Edit::SelectField:
        case Edit::SelectLine:
        case Edit::SelectWord:
        case Edit::SelectLocation1:
        case Edit::SelectLocation2:
            return true;
        default:
            return false;
    }
}

}  // namespace

void StatementWriter::writeLine(const std::string& line) {
    flushTypedText();
    recorder_->writeLine(line);
}

void StatementWriter::flushTypedText() {
    if (typed_.empty()) return;
    const std::string line = "Type(\"" + typed_ + "\")\r\n";
    typed_.clear();
    recorder_->writeLine(line);
}

void StatementWriter::record(const RecordedKey& key, int recordWait) {
    if (!recorder_->recording()) return;
    const bool rexx = recorder_->rexxDialect();
    if (key.restores == 1) {
        writeLine(rexx ? format("WaitUnlocked(%d)\r\n", recordWait)
                       : format("Wait(%d,Status=\"Unlocked\")\r\n", recordWait));
    } else if (key.restores >= 2) {
        writeLine(rexx ? format("Wait(%d,\"getvar('status')='UNLOCKED' & "
                                "getvar('cursorpos')='%d,%d'\")\r\n",
                                recordWait, key.rowBefore, key.columnBefore)
                       : format("Wait(%d,Status=\"Unlocked\" & CursorPos = \"%d,%d\")\r\n",
                                recordWait, key.rowBefore, key.columnBefore));
    }

    const std::uint8_t code = codeOf(key.word);
    switch (kindOf(key.word)) {
        case Kind::Action:
            writeLine("Key(\"" + recorder_->functionName(key.word) + "\")\r\n");
            break;
        case Kind::Edit: {
            std::string line = "Key(\"" + recorder_->functionName(key.word);
            if (!positionedEdit(code))
                line += "\")";
            else if (key.keyFromMouse)
                line += format("\",%d,%d)", key.rowAfter, key.columnAfter);
            else
                line += "\",CursorRow,CursorCol)";
            writeLine(line + "\r\n");
            break;
        }
        case Kind::Oper: {
            const auto oper = static_cast<Oper>(code);
            if (oper >= Oper::MacroRecord && oper <= Oper::MacroPause) break;
            std::string line = "Key(\"" + recorder_->functionName(key.word);
            if (oper == Oper::MoveCursor || oper == Oper::MoveCursorEnter)
                line += format("\",%d,%d)", key.rowAfter, key.columnAfter);
            else
                line += "\")";
            writeLine(line + "\r\n");
            break;
        }
        case Kind::Char: {
            const char c = static_cast<char>(code);
            typed_ += c;
            if (c == '"') typed_ += c;
            if (typed_.size() > kTypedFlushLength) flushTypedText();
            break;
        }
        case Kind::Macro:
            writeLine("Execute (\"" + recorder_->macroName(code, key.macroListSelector) +
                      "\")\r\n");
            break;
        default:
            break;
    }
}

}  // namespace cedar::keys
