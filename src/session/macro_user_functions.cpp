// The functions that reach the user and the rest of the desktop: message
// and edit boxes, the debug window, sounds, program starts, other sessions
// and the user's own values in cedar.ini.
#include <algorithm>

#include "session/macro_functions.h"
#include "sessionfile/private_profile.h"

namespace cedar {

namespace {

constexpr std::string_view kUserSection = "UserVariables";

char upperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool sameWord(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return upperAscii(x) == upperAscii(y);
           });
}

int positiveModulo(std::int32_t n, int m) {
    return ((n % m) + m) % m;
}

std::string valueText(const MacroValue& v) {
    return v.isNumber() ? std::to_string(v.number) : v.text.str();
}

// Keys and values that would break the line structure of cedar.ini.
bool fitsProfileLine(std::string_view text) {
    return text.find_first_of("\r\n") == std::string_view::npos;
}

}  // namespace

MacroError SessionMacroHost::userFunction(ReservedWord word, std::span<const MacroValue> args,
                                          MacroValue& result) {
    const std::string_view text = macroTextOf(args, 0);
    switch (word) {
        case ReservedWord::MessageBox:
            return messageBox(args, result);
        case ReservedWord::EditBox:
            return editBox(args, result);
        case ReservedWord::Debug:
            services_.debugWindow->debugLine(args.empty() ? std::string() : valueText(args[0]));
            return MacroError::None;
        case ReservedWord::DebugWindow: {
            const MacroError e = debugWindow(text);
            if (e == MacroError::None) result = MacroValue::ofNumber(0);
            return e;
        }
        case ReservedWord::Beep:
            services_.sound->beep(std::clamp(macroNumberOf(args, 0), 37, 32767),
                                  std::clamp(macroNumberOf(args, 1), 0, 10'000));
            result = MacroValue::ofNumber(0);
            return MacroError::None;
        case ReservedWord::PlaySound:
            playSound(text);
            result = MacroValue::ofNumber(0);
            return MacroError::None;
        case ReservedWord::WinExec:
            // A remote macro starts no programs.
            if (control_.trusted() && !text.empty()) services_.programs->start(std::string(text));
            result = MacroValue::ofNumber(0);
            return MacroError::None;
        case ReservedWord::ShellExecute: {
            constexpr int kAccessDenied = 5;
            const int code = control_.trusted()
                                 ? services_.programs->shellExecute(
                                       std::string(text), std::string(macroTextOf(args, 1)),
                                       std::string(macroTextOf(args, 2)))
                                 : kAccessDenied;
            result = MacroValue::ofNumber(code);
            return MacroError::None;
        }
        case ReservedWord::Session: {
            const char id = text.empty() ? '\0' : upperAscii(text[0]);
            if (id < 'A' || id > 'Z') return MacroError::InvalidSessionParm;
            result = MacroValue::ofNumber(services_.sessions->bringToFront(id) ? 0 : 1);
            return MacroError::None;
        }
        case ReservedWord::GetIni:
            result = MacroValue::ofText(getIni(text));
            return MacroError::None;
        case ReservedWord::PutIni: {
            const bool done =
                control_.trusted() && args.size() >= 2 && putIni(text, valueText(args[1]));
            result = MacroValue::ofNumber(done ? 1 : 0);
            return MacroError::None;
        }
        default:
            return MacroError::UnknownFunction;
    }
}

MacroError SessionMacroHost::messageBox(std::span<const MacroValue> args, MacroValue& result) {
    std::string title(kMessageBoxTitle);
    int style = 0;
    const std::size_t n = args.size();
    if (n == 2) {
        if (args[1].isNumber()) {
            style = args[1].number;
        } else {
            title = args[1].text.str();
            style = kMacroIconInformation;
        }
    } else if (n >= 3) {
        if (!args[1].isText()) return MacroError::WrongParmType;
        title = args[1].text.str();
        style = positiveModulo(macroNumberOf(args, 2), 4) * 16;
        if (n >= 4) style += positiveModulo(macroNumberOf(args, 3), 6);
    }
    const int button =
        services_.dialogs->messageBox(std::string(macroTextOf(args, 0)), title, style);
    result = MacroValue::ofNumber(button);
    return MacroError::None;
}

MacroError SessionMacroHost::editBox(std::span<const MacroValue> args, MacroValue& result) {
    if (args.size() > 5) return MacroError::WrongParmCount;
    MacroEditBoxRequest request;
    request.prompt = std::string(macroTextOf(args, 0));
    int numbers = 0, texts = 0;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i].isNumber()) {
            if (numbers == 0)
                request.maxLength =
                    std::clamp<std::int32_t>(args[i].number, 1, MacroText::kCapacity);
            else if (numbers == 1)
                request.fieldWidth = std::clamp<std::int32_t>(args[i].number, 1, 4000);
            else
                return MacroError::WrongParmType;
            ++numbers;
        } else {
            if (texts == 0)
                request.title = args[i].text.str();
            else if (texts == 1)
                request.passwordChar = args[i].text.empty() ? '\0' : args[i].text.view()[0];
            else
                return MacroError::WrongParmType;
            ++texts;
        }
    }
    if (request.fieldWidth > 250) request.dialogWidth = request.fieldWidth + 60;
    const std::optional<std::string> answer = services_.dialogs->editBox(request);
    if (!answer) {
        control_.stopChain();
        services_.dialogs->messageBox(std::string(kEditBoxCancelled),
                                      std::string(kEditBoxCancelledTitle), kMacroIconInformation);
        result = MacroValue::ofText("");
        return MacroError::None;
    }
    result = MacroValue::ofText(std::string_view(*answer).substr(
        0, std::min<std::size_t>(answer->size(), static_cast<std::size_t>(request.maxLength))));
    return MacroError::None;
}

MacroError SessionMacroHost::debugWindow(std::string_view command) {
    MacroDebugWindow& window = *services_.debugWindow;
    if (sameWord(command, "OPEN"))
        window.open();
    else if (sameWord(command, "CLOSE"))
        window.close();
    else if (sameWord(command, "CLEAR"))
        window.clear();
    else if (sameWord(command, "HIDE"))
        window.hide();
    else
        return MacroError::InvalidDebugWindowParm;
    return MacroError::None;
}

void SessionMacroHost::playSound(std::string_view name) {
    if (name.empty()) return;
    if (name[0] == '(') {
        // The built-in beeps are told apart by their 15th character.
        constexpr std::size_t kChoice = 14;
        if (name.size() <= kChoice) return;
        const char which = upperAscii(name[kChoice]);
        if (which == 'L')
            services_.sound->beep(settings_.beepPitchLow, settings_.beepDurationLow);
        else if (which == 'M')
            services_.sound->beep(settings_.beepPitchMedium, settings_.beepDurationMedium);
        else if (which == 'H')
            services_.sound->beep(settings_.beepPitchHigh, settings_.beepDurationHigh);
        return;
    }
    const bool fullPath = name[0] == '/' || name[0] == '\\' || (name.size() >= 2 && name[1] == ':');
    services_.sound->playFile(fullPath || services_.appDataFolder.empty()
                                  ? std::string(name)
                                  : services_.appDataFolder + "/" + std::string(name));
}

std::string SessionMacroHost::getIni(std::string_view key) const {
    if (key.empty() || !services_.readSettings) return {};
    const auto text = services_.readSettings();
    if (!text) return {};
    return profile::getString(*text, kUserSection, key, "", MacroText::kCapacity + 1);
}

bool SessionMacroHost::putIni(std::string_view key, std::string_view value) {
    if (key.empty() || !services_.editSettings || !fitsProfileLine(key) ||
        !fitsProfileLine(value) || key.find_first_of("=[]") != std::string_view::npos ||
        profile::trimBlanks(key).empty())
        return false;
    return services_.editSettings(
        [&](const std::string& text) { return profile::set(text, kUserSection, key, value); });
}

}  // namespace cedar
