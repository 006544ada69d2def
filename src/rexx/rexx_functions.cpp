#include "rexx/rexx_functions.h"

#include <cstdio>

#include "sessionfile/macro_options.h"

namespace cedar {

namespace {

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::string decimal(std::int32_t n) {
    return std::to_string(n);
}

std::string textOf(const MacroValue& v) {
    if (v.isNumber()) return decimal(v.number);
    if (v.isText()) return v.text.str();
    return {};
}

MacroValue textValue(std::string_view text) {
    return MacroValue::ofText(text);
}

struct NativeName {
    std::string_view name;
    ReservedWord word;
};

// The functions that pass their arguments through as texts.
constexpr NativeName kPassThrough[] = {
    {"playsound", ReservedWord::PlaySound},
    {"winexec", ReservedWord::WinExec},
    {"getini", ReservedWord::GetIni},
    {"putini", ReservedWord::PutIni},
};

}  // namespace

int RexxFunctionLibrary::rows() {
    const MacroValue v = host_.readSystemVariable(SystemVariable::ScreenHeight);
    return v.isNumber() ? v.number : 24;
}

int RexxFunctionLibrary::columns() {
    const MacroValue v = host_.readSystemVariable(SystemVariable::ScreenWidth);
    return v.isNumber() ? v.number : 80;
}

RexxCallResult RexxFunctionLibrary::forward(ReservedWord word, std::vector<MacroValue> args) {
    MacroValue result;
    if (host_.callFunction(word, args, result) != MacroError::None)
        return RexxCallResult::fail(RexxError::None);
    return RexxCallResult::ok(textOf(result));
}

RexxCallResult RexxFunctionLibrary::call(const RexxFunctionShape& shape,
                                         const RexxArguments& args) {
    const std::string_view name = shape.name;
    const auto text = [&](std::size_t i) {
        return std::string(rexxArgument(args, i).value_or(""));
    };
    if (name == "getvar") return getvar(args);
    if (name == "putvar") return putvar(args);
    if (name == "screen" || name == "onscreen" || name == "attribute" || name == "color" ||
        name == "hilite" || name == "rawdata")
        return screen(name, args);
    if (name == "key") return key(args);
    if (name == "type") {
        auto t = rexxArgument(args, 0);
        if (!t) return RexxCallResult::fail(RexxError::BadValue);
        return forward(ReservedWord::Type, {textValue(*t)});
    }
    if (name == "session") {
        const std::string id = upper(text(0));
        if (id.empty() || id[0] < 'A' || id[0] > 'Z')
            return RexxCallResult::fail(RexxError::BadValue);
        return forward(ReservedWord::Session, {textValue(id.substr(0, 1))});
    }
    if (name == "messagebox") {
        const RexxNumber icon =
            rexxNumberArgument(args, 2, 64, INT32_MIN, INT32_MAX, RexxError::NumberUnreadable);
        if (icon.error != RexxError::None) return RexxCallResult::fail(icon.error);
        const RexxNumber buttons =
            rexxNumberArgument(args, 3, 0, INT32_MIN, INT32_MAX, RexxError::NumberUnreadable);
        if (buttons.error != RexxError::None) return RexxCallResult::fail(buttons.error);
        const auto message = rexxArgument(args, 0);
        const auto title = rexxArgument(args, 1);
        return forward(ReservedWord::MessageBox,
                       {textValue(message ? *message : "Default Message"),
                        textValue(title ? *title : "Cedar TN3270 MessageBox"),
                        MacroValue::ofNumber(icon.value), MacroValue::ofNumber(buttons.value)});
    }
    if (name == "editbox") {
        const RexxNumber length = rexxNumberArgument(args, 3, 50, 1, 255);
        if (length.error != RexxError::None) return RexxCallResult::fail(length.error);
        const RexxNumber width = rexxNumberArgument(args, 4, 150, 1, 32767);
        if (width.error != RexxError::None) return RexxCallResult::fail(width.error);
        const auto prompt = rexxArgument(args, 0);
        const auto title = rexxArgument(args, 1);
        return forward(
            ReservedWord::EditBox,
            {textValue(prompt ? *prompt : "Default Message"),
             textValue(title ? *title : "Cedar TN3270 EditBox"), textValue(text(2).substr(0, 1)),
             MacroValue::ofNumber(length.value), MacroValue::ofNumber(width.value)});
    }
    if (name == "beep") {
        const RexxNumber frequency = rexxNumberArgument(args, 0, std::nullopt, 0, 32767);
        if (frequency.error != RexxError::None) return RexxCallResult::fail(frequency.error);
        const RexxNumber ms = rexxNumberArgument(args, 1, 100, 0, INT32_MAX);
        if (ms.error != RexxError::None) return RexxCallResult::fail(ms.error);
        return forward(ReservedWord::Beep,
                       {MacroValue::ofNumber(frequency.value), MacroValue::ofNumber(ms.value)});
    }
    if (name == "shellexecute") {
        const RexxNumber show = rexxNumberArgument(args, 4, 1, INT32_MIN, INT32_MAX);
        if (show.error != RexxError::None) return RexxCallResult::fail(show.error);
        std::vector<MacroValue> values{textValue(text(0)), textValue(text(1)), textValue(text(2))};
        if (auto folder = rexxArgument(args, 3); folder && !folder->empty())
            values.push_back(textValue(*folder));
        else
            values.push_back(textValue(""));
        values.push_back(MacroValue::ofNumber(show.value));
        return forward(ReservedWord::ShellExecute, std::move(values));
    }
    if (name == "debugwindow") {
        const std::string command = upper(text(0));
        if (command != "OPEN" && command != "CLOSE" && command != "CLEAR" && command != "HIDE")
            return RexxCallResult::fail(RexxError::None);
        return forward(ReservedWord::DebugWindow, {textValue(command)});
    }
    if (name == "getoption" || name == "setoption") return option(name == "setoption", args);
    if (name == "sendfile") return transfer(true, args);
    if (name == "receivefile") return transfer(false, args);
    for (const auto& native : kPassThrough) {
        if (native.name != name) continue;
        std::vector<MacroValue> values;
        for (std::size_t i = 0; i < args.size(); ++i)
            values.push_back(textValue(text(i)));
        return forward(native.word, std::move(values));
    }
    return RexxCallResult::fail(RexxError::ArgumentCount);
}

RexxCallResult RexxFunctionLibrary::getvar(const RexxArguments& args) {
    const std::string name = upper(rexxArgument(args, 0).value_or(""));
    for (const auto& v : predefinedVariables()) {
        if (v.id == SystemVariable::None || v.id == SystemVariable::MacroName || v.name != name)
            continue;
        return RexxCallResult::ok(textOf(host_.readSystemVariable(v.id)));
    }
    return RexxCallResult::fail(RexxError::UnknownVariable);
}

RexxCallResult RexxFunctionLibrary::putvar(const RexxArguments& args) {
    const std::string name = upper(rexxArgument(args, 0).value_or(""));
    const std::string_view value = rexxArgument(args, 1).value_or("");
    if (name == "CURSORROW" || name == "CURSORCOL") {
        const bool row = name == "CURSORROW";
        const auto n = readRexxNumber(value);
        if (!n || *n < 1 || *n > (row ? rows() : columns()))
            return RexxCallResult::fail(RexxError::BadValue);
        if (row)
            host_.moveCursor(*n - 1, std::nullopt);
        else
            host_.moveCursor(std::nullopt, *n - 1);
        return RexxCallResult::ok("0");
    }
    if (name == "CURSORPOS") {
        const std::size_t comma = value.find(',');
        if (comma == std::string_view::npos) return RexxCallResult::ok("0");
        const auto r = readRexxNumber(value.substr(0, comma));
        const auto c = readRexxNumber(value.substr(comma + 1));
        if (!r || !c || *r < 1 || *r > rows() || *c < 1 || *c > columns())
            return RexxCallResult::fail(RexxError::BadValue);
        host_.moveCursor(*r - 1, *c - 1);
        return RexxCallResult::ok("0");
    }
    return RexxCallResult::fail(RexxError::NotSettable);
}

RexxCallResult RexxFunctionLibrary::screen(std::string_view name, const RexxArguments& args) {
    const int rowCount = rows(), columnCount = columns();
    if (name == "onscreen") {
        const std::string_view find = rexxArgument(args, 0).value_or("");
        if (find.empty()) return RexxCallResult::fail(RexxError::BadValue);
        std::vector<MacroValue> values{textValue(find)};
        for (std::size_t i = 1; i < args.size() && i < 3; ++i) {
            const auto text = rexxArgument(args, i);
            if (!text || text->empty()) break;
            const RexxNumber n =
                rexxNumberArgument(args, i, std::nullopt, 1, i == 1 ? rowCount : columnCount);
            if (n.error != RexxError::None) return RexxCallResult::fail(n.error);
            values.push_back(MacroValue::ofNumber(n.value));
        }
        return forward(ReservedWord::OnScreen, std::move(values));
    }
    const RexxNumber row =
        rexxNumberArgument(args, 0, std::nullopt, 1, rowCount, RexxError::NumberUnreadable);
    if (row.error != RexxError::None) return RexxCallResult::fail(row.error);
    const RexxNumber column =
        rexxNumberArgument(args, 1, std::nullopt, 1, columnCount, RexxError::NumberUnreadable);
    if (column.error != RexxError::None) return RexxCallResult::fail(column.error);
    std::vector<MacroValue> values{MacroValue::ofNumber(row.value),
                                   MacroValue::ofNumber(column.value)};
    if (name == "screen") {
        const int rest = columnCount - column.value + 1;
        const RexxNumber length =
            rexxNumberArgument(args, 2, rest, 0, rest, RexxError::NumberUnreadable);
        if (length.error != RexxError::None) return RexxCallResult::fail(length.error);
        values.push_back(MacroValue::ofNumber(length.value));
        return forward(ReservedWord::Screen, std::move(values));
    }
    const ReservedWord word = name == "attribute" ? ReservedWord::Attribute
                              : name == "color"   ? ReservedWord::Color
                              : name == "hilite"  ? ReservedWord::Hilite
                                                  : ReservedWord::RawData;
    MacroValue result;
    if (host_.callFunction(word, values, result) != MacroError::None)
        return RexxCallResult::fail(RexxError::None);
    char hex[8];
    std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned>(result.number) & 0xFFu);
    return RexxCallResult::ok(hex);
}

RexxCallResult RexxFunctionLibrary::key(const RexxArguments& args) {
    std::vector<MacroValue> values{textValue(rexxArgument(args, 0).value_or(""))};
    for (std::size_t i = 1; i < args.size(); ++i) {
        const auto n = readRexxNumber(rexxArgument(args, i).value_or(""));
        if (!n) return RexxCallResult::fail(RexxError::BadValue);
        values.push_back(MacroValue::ofNumber(*n));
    }
    MacroValue result;
    switch (host_.callFunction(ReservedWord::Key, values, result)) {
        case MacroError::None:
            return RexxCallResult::ok(textOf(result));
        case MacroError::InvalidKeyFunction:
            return RexxCallResult::fail(RexxError::UnknownKey);
        case MacroError::WrongParmCount:
        case MacroError::CursorKeyNeedsPosition:
            return RexxCallResult::fail(RexxError::ArgumentCount);
        default:
            return RexxCallResult::fail(RexxError::BadValue);
    }
}

RexxCallResult RexxFunctionLibrary::option(bool set, const RexxArguments& args) {
    const RexxError failed = set ? RexxError::SetOptionFailed : RexxError::GetOptionFailed;
    const std::string_view page = rexxArgument(args, 0).value_or("");
    const std::string_view optionName = rexxArgument(args, 1).value_or("");
    // A name the table does not hold never reaches the session.
    const sessionfile::OptionRow* row = sessionfile::findOption(page, optionName);
    if (!row) return RexxCallResult::fail(failed);
    std::vector<MacroValue> values{textValue(page), textValue(optionName)};
    if (set) {
        // Every REXX value is a text: a row that holds a number takes it as
        // one when it reads as one, and refuses it (as the wrong type) when not.
        const std::string_view value = rexxArgument(args, 2).value_or("");
        // REXX reads a number with blanks around it as that number.
        std::string_view digits = value;
        while (!digits.empty() && digits.front() == ' ')
            digits.remove_prefix(1);
        while (!digits.empty() && digits.back() == ' ')
            digits.remove_suffix(1);
        const bool textRow = row->kind == sessionfile::OptionKind::Text ||
                             row->kind == sessionfile::OptionKind::FontSize;
        const auto number = textRow ? std::nullopt : readRexxNumber(digits);
        values.push_back(number ? MacroValue::ofNumber(*number) : textValue(value));
    }
    MacroValue result;
    if (host_.callFunction(set ? ReservedWord::SetOption : ReservedWord::GetOption, values,
                           result) != MacroError::None)
        return RexxCallResult::fail(failed);
    return RexxCallResult::ok(set ? "0" : textOf(result));
}

RexxCallResult RexxFunctionLibrary::transfer(bool send, const RexxArguments& args) {
    static constexpr std::string_view kOptions[] = {"TEXT", "BINARY", "REPLACE", "APPEND",
                                                    "TSO",  "CMS",    "CICS"};
    std::vector<MacroValue> values{textValue(rexxArgument(args, 0).value_or("")),
                                   textValue(rexxArgument(args, 1).value_or(""))};
    for (std::size_t i = 2; i < args.size(); ++i) {
        const std::string option = upper(rexxArgument(args, i).value_or(""));
        bool known = false;
        for (auto k : kOptions)
            known = known || k == option;
        if (!known) return RexxCallResult::fail(RexxError::None);
        values.push_back(textValue(option));
    }
    return forward(send ? ReservedWord::SendFile : ReservedWord::ReceiveFile, std::move(values));
}

}  // namespace cedar
