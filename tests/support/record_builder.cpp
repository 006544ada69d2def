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
