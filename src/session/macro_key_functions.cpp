// KEY and TYPE: key functions and typed characters carried out through the
// key dispatcher as if the user had pressed them.
#include "keyboard/key_word.h"
#include "session/macro_functions.h"

namespace cedar {

namespace {

// The selection functions that act at a position.
bool selectsAtPosition(std::uint8_t code) {
    using E = keys::Edit;
    for (E e : {E::SelectField, E::SelectLine, E::SelectWord, E::SelectLocation1,
                E::SelectLocation2, E::SelectJCL, E::SelectText})
        if (code == static_cast<std::uint8_t>(e)) return true;
    return false;
}

bool isOper(keys::KeyWord word, keys::Oper oper) {
    return keys::kindOf(word) == keys::Kind::Oper &&
           keys::codeOf(word) == static_cast<std::uint8_t>(oper);
}

}  // namespace

void SessionMacroHost::moveCursorTo(const MacroValue& row, const MacroValue& column) {
    const auto value = [](const MacroValue& v) {
        return v.isNumber() ? v.number : macroVal(v.text.view());
    };
    moveCursor(value(row) - 1, value(column) - 1);
}

void SessionMacroHost::type(std::string_view text) {
    for (const char c : text)
        performKey_(keys::charKey(static_cast<std::uint8_t>(c)));
}

MacroError SessionMacroHost::key(std::span<const MacroValue> args) {
    const auto found = keyList_.keyFunctionByName(macroTextOf(args, 0));
    if (!found) return MacroError::InvalidKeyFunction;
    const keys::KeyWord word = *found;
    const std::size_t n = args.size();
    const bool textArgument = n >= 2 && args[1].isText();
    const std::string argument(macroTextOf(args, 1));
    MacroKeyServices& extras = *services_.keyServices;

    if (keys::kindOf(word) == keys::Kind::Edit) {
        const std::uint8_t code = keys::codeOf(word);
        if (selectsAtPosition(code)) {
            if (n == 2) return MacroError::CursorKeyNeedsPosition;
            if (n == 3) moveCursorTo(args[1], args[2]);
            session_.keyboard.keyFromMouse = false;
        } else if (code == static_cast<std::uint8_t>(keys::Edit::Find) && textArgument) {
            const std::int32_t options = n == 3 ? macroNumberOf(args, 2) : 0;
            if (options == 8)
                extras.clearFindMarks();
            else
                extras.find(argument, options);
            return MacroError::None;
        }
    } else if (isOper(word, keys::Oper::MoveCursor) || isOper(word, keys::Oper::MoveCursorEnter)) {
        if (n == 2) return MacroError::CursorKeyNeedsPosition;
        if (n == 3) moveCursorTo(args[1], args[2]);
    } else if (isOper(word, keys::Oper::Reconnect)) {
        if (n == 3) return MacroError::WrongParmCount;
        if (textArgument) {
            // A remote macro may not point the session at another host.
            if (!control_.trusted()) return MacroError::InvalidKeyFunction;
            extras.loadHostEntry(argument);
        }
    } else if (isOper(word, keys::Oper::MacroPause)) {
        control_.setPendingAdvance();
    } else if (isOper(word, keys::Oper::SaveDebugScreen) || isOper(word, keys::Oper::PrintFile)) {
        if (n == 3) return MacroError::WrongParmCount;
        if (textArgument) {
            // Files named by a remote macro are neither written nor printed.
            if (!control_.trusted()) return MacroError::InvalidKeyFunction;
            if (isOper(word, keys::Oper::SaveDebugScreen))
                extras.saveDebugScreen(argument);
            else
                extras.printFile(argument);
            return MacroError::None;
        }
    }
    performKey_(word);
    return MacroError::None;
}

}  // namespace cedar
