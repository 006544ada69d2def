#include "record_builder.h"

#include <algorithm>
#include <cstdio>

#include "screen/record_processor.h"
#include "test_paths.h"

namespace cedar::test {

namespace {
constexpr std::uint8_t kAddressCodes[64] = {
    0x40, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F,
    0x50, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0x5A, 0x5B, 0x5C, 0x5D, 0x5E, 0x5F,
    0x60, 0x61, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F,
    0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0x7A, 0x7B, 0x7C, 0x7D, 0x7E, 0x7F};

// Printable ASCII 0x20..0x7E in code page 037.
constexpr std::uint8_t kAsciiTo037[95] = {
    0x40, 0x5A, 0x7F, 0x7B, 0x5B, 0x6C, 0x50, 0x7D, 0x4D, 0x5D, 0x5C, 0x4E, 0x6B, 0x60, 0x4B, 0x61,
    0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0x7A, 0x5E, 0x4C, 0x7E, 0x6E, 0x6F,
    0x7C, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6,
    0xD7, 0xD8, 0xD9, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0xBA, 0xE0, 0xBB, 0xB0, 0x6D,
    0x79, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x91, 0x92, 0x93, 0x94, 0x95, 0x96,
    0x97, 0x98, 0x99, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xC0, 0x4F, 0xD0, 0xA1};
}  // namespace

std::vector<std::uint8_t> ebcdic(std::string_view ascii) {
    std::vector<std::uint8_t> out;
    for (char c : ascii) {
        const auto u = static_cast<unsigned char>(c);
        out.push_back(u >= 0x20 && u <= 0x7E ? kAsciiTo037[u - 0x20] : 0x6F);
    }
    return out;
}

std::vector<std::uint8_t> address(int position, bool fourteenBit) {
    if (fourteenBit || position > 4095)
        return {static_cast<std::uint8_t>((position >> 8) & 0x3F),
                static_cast<std::uint8_t>(position & 0xFF)};
    return {kAddressCodes[(position >> 6) & 0x3F], kAddressCodes[position & 0x3F]};
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

std::vector<std::uint8_t> graphicEscapePanel() {
    RecordBuilder b(cmd::kEraseWrite, 0xC3);
    b.sba(0).sf(0x60).text("MENU ").raw({0x51});  // e acute
    // Corners 0xC5 0xD5 0xC4 0xD4, line 0xA2, bar 0xBF, tees 0xC6 0xD6.
    auto line = [&](std::uint8_t left, std::uint8_t right) {
        b.ge(left);
        for (int i = 0; i < 8; ++i)
            b.ge(0xA2);
        b.ge(right);
    };
    b.sba(170);
    line(0xC5, 0xD5);
    b.sba(250).ge(0xBF).text(" OPTION ").ge(0xBF);
    b.sba(330);
    line(0xC6, 0xD6);
    b.sba(410);
    line(0xC4, 0xD4);
    // The same codes as data under character set 0xF1, then 0xC5 as plain data.
    b.sba(480).sa(0x43, 0xF1).raw({0xC5, 0xA2, 0xD5}).sa(0x43, 0x00).raw({0xC5});
    b.sba(560).raw({order::kRepeatToAddress}).raw(address(570)).ge(0xA2);
    b.sba(640).sf(0x4C).ge(0xC5).sf(0x60).ge(0x01).text("X");
    return b.bytes();
}

std::vector<std::string> graphicEscapePanelText() {
    std::vector<std::string> rows(24);
    rows[0] = " MENU \u00E9";
    rows[2] = "          \u250C\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2510";
    rows[3] = "          \u2502 OPTION \u2502";
    rows[4] = "          \u251C\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2524";
    rows[5] = "          \u2514\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2518";
    rows[6] = "\u250C\u2500\u2510E";
    rows[7] = "\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2500";
    rows[8] = "    X";
    return rows;
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

}  // namespace cedar::test
