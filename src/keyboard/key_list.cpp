#include "keyboard/key_list.h"

#include <algorithm>
#include <cstring>

#include "screen/message_titles.h"

namespace cedar::keys {

namespace {

constexpr std::size_t kIdentificationSize = 20;

std::uint16_t u16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
std::int16_t i16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::int16_t>(u16(b, at));
}
void put16(std::vector<std::uint8_t>& out, std::size_t at, unsigned value) {
    out[at] = static_cast<std::uint8_t>(value & 0xFF);
    out[at + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

// A NUL-terminated text inside a fixed field; nothing when the field holds no NUL.
std::optional<std::string> fieldText(std::span<const std::uint8_t> field) {
    const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
    if (end == field.end()) return std::nullopt;
    return std::string(field.begin(), end);
}

// Reads `count` entries of one table; false when an entry lacks its NULs.
bool readTable(std::span<const std::uint8_t> bytes, int count, std::vector<KeyFunction>& out) {
    out.clear();
    out.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const auto entry =
            bytes.subspan(static_cast<std::size_t>(i) * kKeyFunctionSize, kKeyFunctionSize);
        auto name = fieldText(entry.subspan(2, kNameFieldSize));
        auto description = fieldText(entry.subspan(2 + kNameFieldSize, kDescriptionFieldSize));
        if (!name || !description) return false;
        out.push_back(KeyFunction{entry[0], entry[1], std::move(*name), std::move(*description)});
    }
    return true;
}

char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::size_t kindSlot(Kind kind) {
    switch (kind) {
        case Kind::Action:
            return 0;
        case Kind::Edit:
            return 1;
        case Kind::Oper:
            return 2;
        default:
            return 3;
    }
}

}  // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i])) return false;
    return true;
}

KeyFileMessage keyListNotFoundMessage() {
    return {"File \"key.lst\" was not found.\nYou may need to re-install Cedar.",
            title::kFileNotFound};
}

KeyFileMessage keyListInvalidMessage() {
    return {
        "KEY.LST is not a valid keylist file for this version\nCedar TN3270 cannot run without it",
        "Cedar TN3270 Installation Error"};
}

std::optional<KeyFileMessage> KeyList::load(std::span<const std::uint8_t> file) {
    if (file.size() < kKeyListHeaderSize ||
        std::memcmp(file.data(), kKeyListMagic.data(), kIdentificationSize) != 0)
        return keyListInvalidMessage();
    const int length = i16(file, 24);
    if (length < static_cast<int>(kKeyListBodyHeaderSize) ||
        static_cast<std::size_t>(length) > file.size() - kKeyListHeaderSize)
        return keyListInvalidMessage();
    const auto body = file.subspan(kKeyListHeaderSize, static_cast<std::size_t>(length));

    const int actionBytes = i16(body, 0);
    const int editBytes = i16(body, 2);
    const int counts[3] = {body[6], body[7], body[8]};
    const auto entrySize = static_cast<int>(kKeyFunctionSize);
    if (actionBytes != counts[0] * entrySize || editBytes != counts[1] * entrySize)
        return keyListInvalidMessage();
    const std::size_t operStart = kKeyListBodyHeaderSize + static_cast<std::size_t>(actionBytes) +
                                  static_cast<std::size_t>(editBytes);
    if (operStart + static_cast<std::size_t>(counts[2]) * kKeyFunctionSize > body.size())
        return keyListInvalidMessage();

    KeyListTables tables;
    if (!readTable(body.subspan(kKeyListBodyHeaderSize), counts[0], tables.actions) ||
        !readTable(body.subspan(kKeyListBodyHeaderSize + static_cast<std::size_t>(actionBytes)),
                   counts[1], tables.edits) ||
        !readTable(body.subspan(operStart), counts[2], tables.opers))
        return keyListInvalidMessage();

    tables_ = std::move(tables);
    buildIndexes();
    return std::nullopt;
}

void KeyList::buildIndexes() {
    const std::vector<KeyFunction>* all[3] = {&tables_.actions, &tables_.edits, &tables_.opers};
    for (std::size_t k = 0; k < 3; ++k) {
        byCode_[k].fill(-1);
        const auto& t = *all[k];
        // The first entry with a code wins.
        for (std::size_t i = t.size(); i-- > 0;)
            byCode_[k][t[i].code] = static_cast<std::int16_t>(i);
    }
}

bool KeyList::empty() const {
    return tables_.actions.empty() && tables_.edits.empty() && tables_.opers.empty();
}

const std::vector<KeyFunction>* KeyList::table(Kind kind) const {
    switch (kind) {
        case Kind::Action:
            return &tables_.actions;
        case Kind::Edit:
            return &tables_.edits;
        case Kind::Oper:
            return &tables_.opers;
        default:
            return nullptr;
    }
}

std::span<const KeyFunction> KeyList::functions(Kind kind) const {
    const auto* t = table(kind);
    return t ? std::span<const KeyFunction>(*t) : std::span<const KeyFunction>();
}

const KeyFunction* KeyList::keyFunctionByCode(Kind kind, std::uint8_t code) const {
    const auto* t = table(kind);
    if (t == nullptr || t->empty()) return nullptr;
    const int at = byCode_[kindSlot(kind)][code];
    return at < 0 ? nullptr : &(*t)[static_cast<std::size_t>(at)];
}

std::optional<KeyWord> KeyList::keyFunctionByName(std::string_view name) const {
    if (name.empty()) return std::nullopt;
    for (Kind kind : {Kind::Action, Kind::Edit, Kind::Oper}) {
        for (const KeyFunction& f : *table(kind))
            if (equalsIgnoringCase(f.name, name)) return makeKey(kind, f.code);
    }
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> writeKeyList(const KeyListTables& tables,
                                                      std::string& error) {
    const std::vector<KeyFunction>* all[3] = {&tables.actions, &tables.edits, &tables.opers};
    std::size_t bodySize = kKeyListBodyHeaderSize;
    for (const auto* t : all) {
        if (t->size() > 255) {
            error = "a table holds more than 255 functions";
            return std::nullopt;
        }
        for (const KeyFunction& f : *t) {
            if (f.name.size() > kMaxNameLength || f.name.find('\0') != std::string::npos) {
                error = "name too long: " + f.name;
                return std::nullopt;
            }
            if (f.description.size() > kMaxDescriptionLength ||
                f.description.find('\0') != std::string::npos) {
                error = "description too long: " + f.name;
                return std::nullopt;
            }
        }
        bodySize += t->size() * kKeyFunctionSize;
    }
    if (bodySize > 0x7FFF) {
        error = "the body does not fit a signed 16-bit length";
        return std::nullopt;
    }

    std::vector<std::uint8_t> out(kKeyListHeaderSize + bodySize, 0);
    std::copy(kKeyListMagic.begin(), kKeyListMagic.end(), out.begin());
    put16(out, 24, static_cast<unsigned>(bodySize));
    std::size_t at = kKeyListHeaderSize;
    put16(out, at, static_cast<unsigned>(tables.actions.size() * kKeyFunctionSize));
    put16(out, at + 2, static_cast<unsigned>(tables.edits.size() * kKeyFunctionSize));
    put16(out, at + 4, static_cast<unsigned>(tables.opers.size() * kKeyFunctionSize));
    for (std::size_t k = 0; k < 3; ++k)
        out[at + 6 + k] = static_cast<std::uint8_t>(all[k]->size());
    at += kKeyListBodyHeaderSize;
    for (const auto* t : all) {
        for (const KeyFunction& f : *t) {
            out[at] = f.code;
            out[at + 1] = f.flags;
            std::copy(f.name.begin(), f.name.end(), out.begin() + static_cast<long>(at + 2));
            std::copy(f.description.begin(), f.description.end(),
                      out.begin() + static_cast<long>(at + 2 + kNameFieldSize));
            at += kKeyFunctionSize;
        }
    }
    return out;
}

std::string keyText(const KeyList& list, KeyWord word, const MacroNameLookup& macroName) {
    const Kind kind = kindOf(word);
    const std::uint8_t code = codeOf(word);
    auto named = [&](const char* prefix) {
        const KeyFunction* f = list.keyFunctionByCode(kind, code);
        return std::string(prefix) + (f ? f->name : std::string());
    };
    switch (kind) {
        case Kind::Action:
            return named("A:");
        case Kind::Edit:
            return named("E:");
        case Kind::Oper:
            return named("O:");
        case Kind::Char:
            // "%c" with a NUL character ends the text there.
            return code == 0 ? std::string("C:") : std::string("C:") + static_cast<char>(code);
        case Kind::Macro: {
            std::optional<std::string> name;
            if (macroName) name = macroName(code);
            return "M:" + name.value_or(std::string());
        }
        default:
            return std::string();
    }
}

}  // namespace cedar::keys
