#include "macro/variables.h"

namespace cedar {

namespace {

constexpr std::size_t kIndexSize = 8192;  // a power of two above twice the capacity
static_assert(kIndexSize > 2 * VariableTable::kCapacity);

std::size_t hashName(std::string_view name) {
    std::size_t h = 2166136261u;
    for (char c : name)
        h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    return h;
}

}  // namespace

const std::vector<PredefinedVariable>& predefinedVariables() {
    using V = SystemVariable;
    constexpr auto N = ValueType::Number;
    constexpr auto T = ValueType::Text;
    static const std::vector<PredefinedVariable> table = {
        {"TRUE", N, V::None, true},
        {"FALSE", N, V::None, true},
        {"TRACEMESSAGE", N, V::None, true},
        {"FONTSIZE", T, V::FontSize, false},
        {"TRANTIME", T, V::TranTime, false},
        {"HOSTADDR", T, V::HostAddr, false},
        {"SOCKET", N, V::Socket, false},
        {"INPUTLEN", T, V::InputLen, false},
        {"TERMMODEL", N, V::TermModel, false},
        {"SESSNAME", T, V::SessName, false},
        {"HOSTNAME", T, V::HostName, false},
        {"PORT", N, V::Port, false},
        {"WINDOWID", T, V::WindowId, false},
        {"STATUS", T, V::Status, false},
        {"CURSORCOL", N, V::CursorCol, true},
        {"CURSORROW", N, V::CursorRow, true},
        {"CURSORPOS", T, V::CursorPos, true},
        {"VERSION", T, V::Version, false},
        {"LOCALNAME", T, V::LocalName, false},
        {"LOCALADDR", T, V::LocalAddr, false},
        {"STARTROW", N, V::StartRow, false},
        {"STARTCOL", N, V::StartCol, false},
        {"ENDROW", N, V::EndRow, false},
        {"ENDCOL", N, V::EndCol, false},
        {"KEYSCANCODE", T, V::KeyScanCode, false},
        {"IPNAME", T, V::IpName, false},
        {"TNMODE", T, V::TnMode, false},
        {"LUNAME", T, V::LuName, false},
        {"DEVNAME", T, V::DevName, false},
        {"SCREENHEIGHT", N, V::ScreenHeight, false},
        {"SCREENWIDTH", N, V::ScreenWidth, false},
        {"SELECTBOXACTIVE", N, V::SelectBoxActive, false},
        {"TPXSWAP", T, V::TpxSwap, false},
        {"PASSEDKEY", T, V::PassedKey, false},
        {"XFERHLI", T, V::XferHli, false},
        {"XFERDSN", T, V::XferDsn, false},
        {"ONSCREENROW", N, V::OnScreenRow, false},
        {"ONSCREENCOL", N, V::OnScreenCol, false},
        {"VERSIONDATE", T, V::VersionDate, false},
        {"PRINTSTATUS", T, V::PrintStatus, false},
        {"SNAPLU", T, V::SnaPlu, false},
        {"SNALU", T, V::SnaLu, false},
        {"SHIFTKEY", N, V::ShiftKey, false},
        {"SSL", T, V::Ssl, false},
        {"KEEPALIVETIME", N, V::KeepAliveTime, false},
        {"IPVERSION", T, V::IpVersion, false},
        {"INSERTMODE", T, V::InsertMode, false},
        {"WINDOWIDLIST", T, V::WindowIdList, false},
        {"TERMMODE", N, V::TermMode, false},
        {"MACRONAME", T, V::MacroName, false},
    };
    return table;
}

void VariableTable::reset() {
    blocks_.clear();
    size_ = 0;
    index_.assign(kIndexSize, 0);
    for (const PredefinedVariable& p : predefinedVariables()) {
        MacroVariable* v = nullptr;
        create(p.name, v);
        if (p.id != SystemVariable::None) {
            v->systemId = p.id;
            v->flags = kVariableSystem;
            if (p.writable) v->flags |= kVariableWritable;
        }
        if (p.type == ValueType::Number) {
            const int n = p.name == "TRUE" || p.name == "TRACEMESSAGE" ? 1 : 0;
            v->set(MacroValue::ofNumber(n));
        } else {
            v->set(MacroValue::ofText(""));
        }
    }
}

std::size_t VariableTable::slotFor(std::string_view name) const {
    std::size_t slot = hashName(name) & (kIndexSize - 1);
    for (;;) {
        const int entry = index_[slot];
        if (entry == 0 || at(entry - 1).name == name) return slot;
        slot = (slot + 1) & (kIndexSize - 1);
    }
}

MacroVariable* VariableTable::find(std::string_view upperName) {
    if (upperName.size() > MacroVariable::kMaxName) return nullptr;
    const int entry = index_[slotFor(upperName)];
    return entry == 0 ? nullptr : &at(entry - 1);
}

const MacroVariable* VariableTable::find(std::string_view upperName) const {
    if (upperName.size() > MacroVariable::kMaxName) return nullptr;
    const int entry = index_[slotFor(upperName)];
    return entry == 0 ? nullptr : &at(entry - 1);
}

int VariableTable::indexOf(const MacroVariable& variable) const {
    for (std::size_t b = 0; b < blocks_.size(); ++b) {
        const MacroVariable* first = blocks_[b]->data();
        if (&variable >= first && &variable < first + kBlockSize)
            return static_cast<int>(b) * kBlockSize + static_cast<int>(&variable - first);
    }
    return -1;
}

MacroError VariableTable::create(std::string_view upperName, MacroVariable*& created) {
    created = nullptr;
    if (upperName.size() > MacroVariable::kMaxName) return MacroError::VariableNameTooLong;
    const std::size_t slot = slotFor(upperName);
    if (index_[slot] != 0) {
        created = &at(index_[slot] - 1);
        return MacroError::None;
    }
    if (size_ >= kCapacity) return MacroError::VariableTableOverflow;
    if (size_ == blocks() * kBlockSize) blocks_.push_back(std::make_unique<Block>());
    MacroVariable& v = at(size_);
    v = MacroVariable{};
    v.name = std::string(upperName);
    ++size_;
    index_[slot] = static_cast<std::int16_t>(size_);
    created = &v;
    return MacroError::None;
}

}  // namespace cedar
