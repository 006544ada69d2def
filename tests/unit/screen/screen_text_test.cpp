// The screen as text: the display-code rows and the UTF-8 rows that
// cedar_headless and cedar_replay print, in which characters written with
// Graphic Escape (ISPF's boxes, APL) are their Unicode characters.
#include "screen/screen_text.h"

#include <gtest/gtest.h>

#include "record_builder.h"

namespace cedar {
namespace {

std::string trimmed(std::string s) {
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

// Characters of a UTF-8 text (bytes that do not continue a sequence).
std::size_t characters(const std::string& s) {
    std::size_t n = 0;
    for (unsigned char c : s)
        n += (c & 0xC0) != 0x80;
    return n;
}

TEST(ScreenText, GraphicEscapeCharactersAreTheirBoxDrawingCharacters) {
    test::TestSession t;
    t.apply(test::graphicEscapePanel());
    const auto rows = screenRowsUtf8(t.ps());
    const auto expected = test::graphicEscapePanelText();
    ASSERT_EQ(rows.size(), expected.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        EXPECT_EQ(trimmed(rows[r]), expected[r]) << "row " << r;
        EXPECT_EQ(characters(rows[r]), 80u) << "row " << r << ": one character per position";
    }
    // The display-code rows are unchanged: the box positions hold the
    // graphic-escape codes themselves.
    const auto plain = screenRows(t.ps());
    EXPECT_EQ(static_cast<std::uint8_t>(plain[2][10]), 0xC5);
    EXPECT_EQ(plain[6].substr(0, 4),
              "\xC5\xA2\xD5"
              "E");
}

// APL and other codes of the set, and codes without a character of their
// own, each alone after a protected field attribute.
TEST(ScreenText, AplCodesAndCodesWithoutACharacter) {
    const struct {
        std::uint8_t code;
        const char* text;
    } cases[] = {
        {0xAD, "["},      {0xBD, "]"}, {0x8A, "\u2191"}, {0xB2, "\u2373"},
        {0xBE, "\u2260"}, {0x41, "A"}, {0xD3, "\u253C"}, {0x01, " "},
        {0x3F, " "},      {0x00, " "}, {0xE1, "\u2081"}, {0x90, "\u2395"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.code));
        test::TestSession t;
        t.apply(test::RecordBuilder(cmd::kEraseWrite, 0xC3).sf(0x60).ge(c.code).text("Z"));
        const auto rows = screenRowsUtf8(t.ps());
        EXPECT_EQ(trimmed(rows[0]), std::string(" ") + c.text + "Z");
    }
}

// Without graphic-escape characters the UTF-8 rows are the display-code rows
// read as Windows-1252; a non-display field shows nothing.
TEST(ScreenText, OtherCharactersAreTheDisplayCodesInUtf8) {
    test::TestSession t;
    t.apply(test::RecordBuilder(cmd::kEraseWrite, 0xC3)
                .sf(0x60)
                .text("CAFE ")
                .raw({0x51, 0x4A})  // e acute, cent
                .sf(0x4C)
                .text("HIDDEN"));
    const auto utf8 = screenRowsUtf8(t.ps());
    const auto codes = screenRows(t.ps());
    ASSERT_EQ(utf8.size(), codes.size());
    for (std::size_t r = 0; r < codes.size(); ++r)
        EXPECT_EQ(utf8[r], cp1252ToUtf8(codes[r])) << "row " << r;
    EXPECT_EQ(trimmed(utf8[0]), " CAFE \u00E9\u00A2");
}

}  // namespace
}  // namespace cedar
