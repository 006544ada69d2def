#include "session/system_variables.h"

#include <algorithm>
#include <array>

namespace cedar {

namespace {

using sessionfile::Field;

constexpr std::string_view kIdChars = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
static_assert(kIdChars.size() == kSessionIds);

MacroValue text(std::string_view t) {
    return MacroValue::ofText(t);
}

MacroValue number(std::int64_t n) {
    return MacroValue::ofNumber(static_cast<std::int32_t>(
        std::clamp<std::int64_t>(n, -kMacroNumberLimit, kMacroNumberLimit)));
}

std::string hex2(std::uint8_t b) {
    static constexpr std::string_view kHex = "0123456789ABCDEF";
    return {kHex[b >> 4], kHex[b & 15]};
}

}  // namespace

std::optional<char> sessionIdChar(int index) {
    if (index < 0 || index >= kSessionIds) return std::nullopt;
    return kIdChars[static_cast<std::size_t>(index)];
}

std::string transactionTimeText(std::int64_t milliseconds) {
    const std::int64_t tenths = std::max<std::int64_t>(milliseconds, 0) / 100;
    std::string digits = std::to_string(tenths);
    if (digits.size() < 2) digits.insert(0, 2 - digits.size(), '0');
    digits.insert(digits.size() - 1, 1, '.');
    return digits;
}

std::string_view statusVariableName(SessionStatus status) {
    switch (status) {
        case SessionStatus::Rejected:
            return "REJECTED";
        case SessionStatus::History:
            return "HISTORY";
        default:
            return statusName(status);
    }
}

std::string SystemVariables::hostName() const {
    std::string name = options_.text(Field::HostName);
    if (const auto colon = name.find(':'); colon != std::string::npos) name.resize(colon);
    return name;
}

std::string SystemVariables::windowIdList() const {
    std::bitset<kSessionIds> open = facts_.openWindows();
    if (open.none()) {
        if (auto own = sessionIdChar(identity_.index())) return std::string(1, *own);
        return {};
    }
    std::string ids;
    for (int i = 0; i < kSessionIds; ++i)
        if (open.test(static_cast<std::size_t>(i))) ids += kIdChars[static_cast<std::size_t>(i)];
    return ids;
}

MacroValue SystemVariables::systemValue(SystemVariable id) const {
    using V = SystemVariable;
    const PresentationSpace& ps = session_.screen;
    const auto cursor = ps.rowColumnOf(ps.cursor());
    const ConnectionInfo* link = facts_.connection();
    const ProtocolState* protocol = facts_.protocol();
    const auto selection = facts_.selection();
    switch (id) {
        case V::None:
            return {};
        case V::FontSize: {
            const auto cell = facts_.cellSize();
            return text(std::to_string(cell.width) + "x" + std::to_string(cell.height));
        }
        case V::TranTime:
            return text(transactionTimeText(facts_.lastTransactionMs()));
        case V::HostAddr:
            return text(link ? link->peerAddress : "");
        case V::Socket:
            return number(facts_.socket());
        case V::InputLen:
            return text(std::to_string(facts_.lastInputLength()));
        case V::TermModel:
            return number(session_.options.modelIndex + 2);
        case V::SessName:
            return text(options_.text(Field::SessionName));
        case V::HostName:
            return text(hostName());
        case V::Port:
            return number(options_.number(Field::Port));
        case V::WindowId: {
            const auto own = sessionIdChar(identity_.index());
            return text(own ? std::string(1, *own) : std::string());
        }
        case V::Status:
            return text(statusVariableName(session_.status));
        case V::CursorCol:
            return number(cursor.column + 1);
        case V::CursorRow:
            return number(cursor.row + 1);
        case V::CursorPos:
            return text(std::to_string(cursor.row + 1) + "," + std::to_string(cursor.column + 1));
        case V::Version:
            return text(kProgramVersion);
        case V::LocalName:
            return text(facts_.localName());
        case V::LocalAddr:
            return text(facts_.localAddress());
        case V::StartRow:
            return number(selection ? selection->startRow : 0);
        case V::StartCol:
            return number(selection ? selection->startColumn : 0);
        case V::EndRow:
            return number(selection ? selection->endRow : 0);
        case V::EndCol:
            return number(selection ? selection->endColumn : 0);
        case V::KeyScanCode:
            return text(hex2(facts_.lastScanCode()));
        case V::IpName:
            return text(options_.text(Field::IpName));
        case V::TnMode:
            return text(protocol && protocol->tn3270eMode ? "TN3270E" : "TN3270");
        case V::LuName:
            return text(options_.text(Field::LuName));
        case V::DevName:
            return text(protocol ? protocol->assignedLuName : "");
        case V::ScreenHeight:
            return number(ps.rows());
        case V::ScreenWidth:
            return number(ps.columns());
        case V::SelectBoxActive:
            return number(selection ? 1 : 0);
        case V::TpxSwap:
            return text(session_.records.sessionManagerName());
        case V::PassedKey:
            return text(facts_.passedKey());
        case V::XferHli:
            return text(facts_.transferHighLevelQualifier());
        case V::XferDsn:
            return text(facts_.transferDataSet());
        case V::OnScreenRow:
            return number(facts_.lastOnScreenMatch().row);
        case V::OnScreenCol:
            return number(facts_.lastOnScreenMatch().column);
        case V::VersionDate:
            return text(kProgramVersionDate);
        case V::PrintStatus:
            return text(facts_.printStatus());
        case V::SnaPlu:
            return text(protocol ? protocol->applicationName : "");
        case V::SnaLu:
            return text(protocol ? protocol->sessionLuName : "");
        case V::ShiftKey:
            return number(facts_.shiftState());
        case V::Ssl:
            return text(link && link->tls ? "SSL" : "");
        case V::KeepAliveTime:
            return number(facts_.keepAliveSeconds());
        case V::IpVersion:
            if (!link) return text("");
            return text(link->ipVersion == 6 ? "IPv6" : "IPv4");
        case V::InsertMode:
            return text(ps.insertMode ? "Insert" : "Normal");
        case V::WindowIdList:
            return text(windowIdList());
        case V::TermMode:
            return number(static_cast<int>(ps.sizeMode()));
        case V::MacroName:
            return text(facts_.macroName());
    }
    return {};
}

void SystemVariables::moveCursor(std::optional<int> row, std::optional<int> column) {
    PresentationSpace& ps = session_.screen;
    const auto now = ps.rowColumnOf(ps.cursor());
    const int r = std::clamp(row.value_or(now.row), 0, ps.rows() - 1);
    const int c = std::clamp(column.value_or(now.column), 0, ps.columns() - 1);
    ps.setCursor(r * ps.columns() + c);
}

std::optional<MacroValue> SystemVariables::lookup(std::string_view upperName,
                                                  const VariableTable* macroVariables) const {
    if (macroVariables) {
        const MacroVariable* v = macroVariables->find(upperName);
        if (!v) return std::nullopt;
        return v->isSystem() ? systemValue(v->systemId) : v->value;
    }
    for (const PredefinedVariable& p : predefinedVariables()) {
        if (p.name != upperName) continue;
        if (p.id != SystemVariable::None) return systemValue(p.id);
        // TRUE, FALSE and TRACEMESSAGE as a fresh table holds them.
        return MacroValue::ofNumber(p.name == "FALSE" ? 0 : 1);
    }
    return std::nullopt;
}

}  // namespace cedar
