#include "record_builder.h"

#include <algorithm>
#include <cstdio>

#include "ebcdic.h"
#include "screen/record_processor.h"
#include "test_paths.h"

namespace cedar::test {

std::vector<std::uint8_t> ebcdic(std::string_view ascii) {
    return hostside::toEbcdic(ascii);
}

std::vector<std::uint8_t> address(int position, bool fourteenBit) {
    return hostside::encodeAddress(position, fourteenBit);
}

RecordBuilder& RecordBuilder::raw(std::initializer_list<std::uint8_t> bytes) {
    bytes_.insert(bytes_.end(), bytes);
    return *this;
}
RecordBuilder& RecordBuilder::raw(const std::vector<std::uint8_t>& bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
}
RecordBuilder& RecordBuilder::text(std::string_view ascii) {
    return raw(ebcdic(ascii));
}
RecordBuilder& RecordBuilder::sba(int position) {
    bytes_.push_back(order::kSetBufferAddress);
    return raw(address(position));
}
RecordBuilder& RecordBuilder::sba14(int position) {
    bytes_.push_back(order::kSetBufferAddress);
    return raw(address(position, true));
}
RecordBuilder& RecordBuilder::sf(std::uint8_t attribute) {
    return raw({order::kStartField, attribute});
}
RecordBuilder& RecordBuilder::sfe(std::initializer_list<std::uint8_t> pairs) {
    bytes_.push_back(order::kStartFieldExtended);
    bytes_.push_back(static_cast<std::uint8_t>(pairs.size() / 2));
    return raw(pairs);
}
RecordBuilder& RecordBuilder::sa(std::uint8_t type, std::uint8_t value) {
    return raw({order::kSetAttribute, type, value});
}
RecordBuilder& RecordBuilder::mf(std::initializer_list<std::uint8_t> pairs) {
    bytes_.push_back(order::kModifyField);
    bytes_.push_back(static_cast<std::uint8_t>(pairs.size() / 2));
    return raw(pairs);
}
RecordBuilder& RecordBuilder::ic() {
    return raw({order::kInsertCursor});
}
RecordBuilder& RecordBuilder::pt() {
    return raw({order::kProgramTab});
}
RecordBuilder& RecordBuilder::ra(int stop, std::uint8_t character) {
    bytes_.push_back(order::kRepeatToAddress);
    raw(address(stop));
    bytes_.push_back(character);
    return *this;
}
RecordBuilder& RecordBuilder::eua(int stop) {
    bytes_.push_back(order::kEraseUnprotectedToAddress);
    return raw(address(stop));
}
RecordBuilder& RecordBuilder::ge(std::uint8_t character) {
    return raw({order::kGraphicEscape, character});
}

TestSession::TestSession(ScreenSettings settings, ScreenSessionOptions options)
    : session(settings, options) {
    const std::string text = readFile(dataDir() + "/country.lst");
    loadCountryText(text, CountryMode::Screen, {"", "ANSI 1252", ""}, session.codePages);
}

std::string TestSession::row(int r) {
    std::string out;
    const auto& ps = session.screen;
    for (int c = 0; c < ps.columns(); ++c) {
        const int p = r * ps.columns() + c;
        const std::uint8_t ch = ps.characters()[p];
        out += ps.isAttribute(p) || ch < 0x20 ? ' ' : static_cast<char>(ch);
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

int RecordingHooks::count(std::string_view call) const {
    return static_cast<int>(std::count(calls.begin(), calls.end(), call));
}

void RecordingHooks::log(const char* what, std::uint8_t aid) {
    char text[48];
    std::snprintf(text, sizeof text, "%s:%02X", what, aid);
    calls.emplace_back(text);
}

std::vector<std::uint8_t> loopbackFirstScreen(std::string_view title, std::string_view input) {
    RecordBuilder record(cmd::kEraseWrite, 0xC3);
    record.sba(0).sf(0x60).text(title).sba(80).sf(0x40).ic();
    if (!input.empty()) record.text(input);
    return record.bytes();
}

std::string hex(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (const std::uint8_t b : bytes) {
        if (!out.empty()) out += ' ';
        out += kDigits[b >> 4];
        out += kDigits[b & 0x0F];
    }
    return out;
}

}  // namespace cedar::test
