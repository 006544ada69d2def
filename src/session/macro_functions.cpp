#include "session/macro_functions.h"

#include <algorithm>

#include "macro/scanner.h"

namespace cedar {

std::int32_t macroNumberOf(std::span<const MacroValue> args, std::size_t i) {
    if (i >= args.size()) return 0;
    return args[i].isNumber() ? args[i].number : macroVal(args[i].text.view());
}

std::string_view macroTextOf(std::span<const MacroValue> args, std::size_t i) {
    return i < args.size() && args[i].isText() ? args[i].text.view() : std::string_view{};
}

SessionMacroHost::SessionMacroHost(Session& session, SystemVariables* variables,
                                   const Settings& settings, const keys::KeyList& keyList,
                                   KeyPerformer performKey, MacroFiles& files,
                                   MacroControl& control, MacroFunctionServices services)
    : session_(session),
      variables_(variables),
      settings_(settings),
      keyList_(keyList),
      performKey_(std::move(performKey)),
      files_(files),
      control_(control),
      services_(std::move(services)) {
    if (!services_.dialogs) services_.dialogs = &defaultDialogs_;
    if (!services_.sound) services_.sound = &defaultSound_;
    if (!services_.programs) services_.programs = &defaultPrograms_;
    if (!services_.sessions) services_.sessions = &defaultSessions_;
    if (!services_.keyServices) services_.keyServices = &defaultKeyServices_;
    if (!services_.debugWindow) services_.debugWindow = &defaultDebugWindow_;
    if (!services_.transfers) services_.transfers = &defaultTransfers_;
    if (!services_.optionEffects) services_.optionEffects = &defaultOptionEffects_;
    textContext_.random15 = services_.random15;
    textContext_.localTime = services_.localTime;
}

MacroError SessionMacroHost::callFunction(ReservedWord word, std::span<const MacroValue> args,
                                          MacroValue& result) {
    if (isTextFunction(word)) {
        // Settings and code pages may change between calls.
        textContext_.fixInstr = settings_.fixInstrFunction != 0;
        textContext_.scanner = scannerOptionsFor(session_.codePages);
        return callTextFunction(word, args, result, textContext_);
    }
    if (MacroFiles::handles(word)) return files_.call(word, args, result);
    switch (word) {
        case ReservedWord::Screen:
        case ReservedWord::Attribute:
        case ReservedWord::Color:
        case ReservedWord::Hilite:
        case ReservedWord::RawData:
        case ReservedWord::OnScreen:
            return screenFunction(word, args, result);
        case ReservedWord::Key:
            return key(args);
        case ReservedWord::Type:
            type(macroTextOf(args, 0));
            return MacroError::None;
        case ReservedWord::SendFile:
        case ReservedWord::ReceiveFile:
        case ReservedWord::XferAddStg:
            return transferFunction(word, args, result);
        case ReservedWord::SetOption:
        case ReservedWord::GetOption:
            return option(word, args, result);
        default:
            return userFunction(word, args, result);
    }
}

MacroError SessionMacroHost::transferFunction(ReservedWord word, std::span<const MacroValue> args,
                                              MacroValue& result) {
    if (word == ReservedWord::XferAddStg) {
        services_.transfers->addHostListEntry(std::string(macroTextOf(args, 0)));
        result = MacroValue::ofNumber(0);
        return MacroError::None;
    }
    const auto direction =
        word == ReservedWord::SendFile ? TransferDirection::Upload : TransferDirection::Download;
    const auto request = macroTransferRequest(direction, args, settings_.allowSendReceiveSwap != 0);
    if (!request || !services_.transfers->startTransfer(*request))
        return MacroError::TransferParmError;
    return MacroError::None;
}

MacroError macroErrorOf(sessionfile::OptionError error) {
    using E = sessionfile::OptionError;
    switch (error) {
        case E::None:
            return MacroError::None;
        case E::UnknownName:
            return MacroError::UnknownKeyword;
        case E::WrongType:
            return MacroError::WrongParmType;
        case E::OutOfRange:
            return MacroError::InvalidParameterValue;
        case E::TooLong:
            return MacroError::TextTooLong;
    }
    return MacroError::Unknown;
}

MacroError SessionMacroHost::option(ReservedWord word, std::span<const MacroValue> args,
                                    MacroValue& result) {
    if (!services_.sessionOptions) return MacroError::UnknownKeyword;
    const std::string_view page = macroTextOf(args, 0);
    const std::string_view name = macroTextOf(args, 1);
    if (word == ReservedWord::GetOption) {
        const auto read =
            sessionfile::getOption(*services_.sessionOptions, *services_.optionEffects, page, name);
        if (read.error != sessionfile::OptionError::None) return macroErrorOf(read.error);
        if (const auto* text = std::get_if<std::string>(&read.value)) {
            result = MacroValue::ofText(*text);
        } else {
            result = MacroValue::ofNumber(static_cast<std::int32_t>(std::clamp<std::int64_t>(
                std::get<std::int64_t>(read.value), -kMacroNumberLimit, kMacroNumberLimit)));
        }
        return MacroError::None;
    }
    sessionfile::OptionValue value;
    if (args.size() > 2 && args[2].isText())
        value = std::string(args[2].text.view());
    else
        value = std::int64_t{args.size() > 2 ? args[2].number : 0};
    return macroErrorOf(sessionfile::setOption(*services_.sessionOptions, *services_.optionEffects,
                                               page, name, value));
}

MacroValue SessionMacroHost::readSystemVariable(SystemVariable id) {
    if (id == SystemVariable::OnScreenRow) return MacroValue::ofNumber(lastMatch_.row);
    if (id == SystemVariable::OnScreenCol) return MacroValue::ofNumber(lastMatch_.column);
    return variables_ ? variables_->systemValue(id) : MacroValue{};
}

void SessionMacroHost::moveCursor(std::optional<int> row, std::optional<int> column) {
    PresentationSpace& ps = session_.screen;
    if (ps.rows() <= 0 || ps.columns() <= 0) return;
    const auto now = ps.rowColumnOf(ps.cursor());
    const int r = std::clamp(row.value_or(now.row), 0, ps.rows() - 1);
    const int c = std::clamp(column.value_or(now.column), 0, ps.columns() - 1);
    ps.setCursor(r * ps.columns() + c);
}

}  // namespace cedar
