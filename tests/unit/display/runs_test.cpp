#include "display/runs.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "screen_fixture.h"

namespace cedar::display {
namespace {

using test::SmallScreen;

// "row:column+count fg/bg [u] [ge] |bytes|" or "row:column fill bg".
std::string describe(const Run& r) {
    if (r.fillOnly)
        return std::to_string(r.row) + ":" + std::to_string(r.column) + " fill " +
               std::to_string(r.background);
    std::string s = std::to_string(r.row) + ":" + std::to_string(r.column) + "+" +
                    std::to_string(r.count) + " " + std::to_string(r.foreground) + "/" +
                    std::to_string(r.background);
    if (r.underline) s += " u";
    if (r.graphicEscape) s += " ge";
    return s + " |" + r.bytes + "|";
}

std::vector<std::string> describeAll(const std::vector<Run>& runs) {
    std::vector<std::string> out;
    for (const auto& r : runs)
        out.push_back(describe(r));
    return out;
}

struct RunCase {
    const char* name;
    std::function<void(SmallScreen&)> fill;
    std::function<void(PaintSettings&)> settings;
    std::vector<std::string> expected;
};

// Screens of 2 rows x 6 columns; the default colour byte is 0x04 (green on black).
const RunCase kCases[] = {
    {"unformatted screen in the default colour",
     [](SmallScreen& s) { s.text(0, "ABCDEF").text(6, "abc"); },
     [](PaintSettings&) {},
     {"0:0+6 4/0 |ABCDEF|", "1:0+6 4/0 |abc   |"}},
    {"field wrapping from the end colours the start of the screen",
     [](SmallScreen& s) { s.field(10, fa::kProtected, 0x02).text(0, "WRAP").text(11, "Z"); },
     [](PaintSettings&) {},
     {"0:0+6 2/0 |WRAP  |", "1:0+6 2/0 |     Z|"}},
    {"a colour byte colours its own position only",
     [](SmallScreen& s) { s.field(0, 0, 0x01).text(1, "abcde").color(3, 0x36); },
     [](PaintSettings&) {},
     {"0:0+3 1/0 | ab|", "0:3+1 6/3 |c|", "0:4+2 1/0 |de|", "1:0+6 1/0 |      |"}},
    {"nondisplay field shows blanks without highlighting",
     [](SmallScreen& s) {
         s.field(0, fa::kNonDisplay, 0x01, 0x04)
             .text(1, "PWD")
             .highlight(2, 0x02)
             .field(4, 0, 0x07);
         s.text(5, "x");
     },
     [](PaintSettings&) {},
     {"0:0+4 1/0 |    |", "0:4+2 7/0 | x|", "1:0+6 7/0 |      |"}},
    {"codes below 0x20 are blanks, Wang keeps those above 0x0A",
     [](SmallScreen& s) { s.text(0, "A\x05\x0b\x1f").text(6, ""); },
     [](PaintSettings& p) { p.wang = true; },
     {"0:0+6 4/0 |A \x0b\x1f  |", "1:0+6 4/0 |      |"}},
    {"reverse video swaps fill and text, underscore picks the underlined face",
     [](SmallScreen& s) {
         s.field(0, 0, 0x21, 0x02).text(1, "RV").field(3, 0, 0x03, 0x04).text(4, "U");
     },
     [](PaintSettings&) {},
     {"0:0+1 1/2 | |", "0:1+2 2/1 |RV|", "0:3+1 3/0 | |", "0:4+2 3/0 u |U |",
      "1:0+6 3/0 u |      |"}},
    {"graphic escape starts its own run",
     [](SmallScreen& s) {
         s.text(0, "ab").graphicEscape(2, 0xC5).graphicEscape(3, 0xA2).text(4, "c");
     },
     [](PaintSettings&) {},
     {"0:0+2 4/0 |ab|", "0:2+2 4/0 ge |\xC5\xA2|", "0:4+2 4/0 |c |", "1:0+6 4/0 |      |"}},
    {"blinking text is blank on the blank tick",
     [](SmallScreen& s) { s.field(0, 0, 0x05, 0x01).text(1, "BL"); },
     [](PaintSettings& p) { p.blinkBlank = true; },
     {"0:0+1 5/0 | |", "0:1+5 5/0 |     |", "1:0+6 5/0 |      |"}},
    {"blinking text is drawn on the other ticks",
     [](SmallScreen& s) { s.field(0, 0, 0x05, 0x01).text(1, "BL"); },
     [](PaintSettings&) {},
     {"0:0+1 5/0 | |", "0:1+5 5/0 |BL   |", "1:0+6 5/0 |      |"}},
    {"HISTORY takes colour 9 as background, before reverse video",
     [](SmallScreen& s) { s.text(0, "h").highlight(1, 0x02).text(1, "r"); },
     [](PaintSettings& p) { p.history = true; },
     {"0:0+1 4/9 |h|", "0:1+1 9/4 |r|", "0:2+4 4/9 |    |", "1:0+6 4/9 |      |"}},
    {"find mark: Find Highlighting foreground, swapped; not inherited by the field",
     [](SmallScreen& s) { s.field(0, 0, 0x01, 0x80).text(1, "ab").highlight(2, 0x80); },
     [](PaintSettings& p) { p.findForeground = 6; },
     {"0:0+2 1/0 | a|", "0:2+1 0/6 |b|", "0:3+3 1/0 |   |", "1:0+6 1/0 |      |"}},
    {"upper case, show attributes and DisplayByField",
     [](SmallScreen& s) { s.field(0, 0, 0x02).text(1, "ab\xe9\xf7").field(8, 0, 0x03); },
     [](PaintSettings& p) {
         p.allUpperCase = true;
         p.showAttributes = true;
         p.displayByField = true;
     },
     {"0:0+6 2/0 |.AB\xc9\xf7 |", "0:0 fill 0", "1:0+2 2/0 |  |", "1:2+4 3/0 |.   |",
      "1:2 fill 0"}},
};

TEST(PaintRows, Table) {
    for (const auto& c : kCases) {
        SmallScreen screen(2, 6);
        c.fill(screen);
        PaintSettings settings;
        c.settings(settings);
        EXPECT_EQ(describeAll(paintRows(screen.ps(), settings, 0, 1)), c.expected) << c.name;
    }
}

TEST(PaintRows, OneRowAgreesWithTheWholeScreen) {
    SmallScreen screen(3, 5);
    screen.field(3, fa::kProtected, 0x12).text(4, "abcdefg").field(9, fa::kNonDisplay, 0x03);
    screen.text(10, "hidden").color(12, 0x40);
    const PaintSettings settings;
    const auto all = paintRows(screen.ps(), settings, 0, 2);
    for (int row = 0; row < 3; ++row) {
        std::vector<display::Run> expected;
        for (const auto& r : all)
            if (r.row == row) expected.push_back(r);
        EXPECT_EQ(paintRows(screen.ps(), settings, row, row), expected) << "row " << row;
    }
    EXPECT_TRUE(paintRows(screen.ps(), settings, 5, 9).empty());
    EXPECT_EQ(paintRows(screen.ps(), settings, -3, 0).size(),
              paintRows(screen.ps(), settings, 0, 0).size());
}

TEST(PaintRows, EveryRunCoversItsCellsExactly) {
    SmallScreen screen(4, 7);
    for (int p = 0; p < 28; p += 5)
        screen.field(p, static_cast<std::uint8_t>(p), static_cast<std::uint8_t>(p * 7),
                     static_cast<std::uint8_t>(p % 8));
    screen.text(1, "The quick brown fox jumps");
    const auto runs = paintRows(screen.ps(), PaintSettings{}, 0, 3);
    std::vector<int> covered(28, 0);
    for (const auto& r : runs) {
        ASSERT_EQ(static_cast<int>(r.bytes.size()), r.count);
        for (int i = 0; i < r.count; ++i)
            ++covered[static_cast<std::size_t>(r.row * 7 + r.column + i)];
    }
    for (int p = 0; p < 28; ++p)
        EXPECT_EQ(covered[static_cast<std::size_t>(p)], 1) << "position " << p;
}

TEST(EffectiveColorByte, OwnFieldOrDefault) {
    SmallScreen screen(1, 8);
    screen.field(2, 0, 0x05).color(4, 0x31).field(6, 0, 0);
    const PaintSettings s;
    const std::uint8_t expected[] = {0x04, 0x04, 0x05, 0x05, 0x31, 0x05, 0x04, 0x04};
    for (int p = 0; p < 8; ++p)
        EXPECT_EQ(effectiveColorByte(screen.ps(), s, p), expected[p]) << p;
    EXPECT_EQ(effectiveColorByte(screen.ps(), s, 99), 0x04);
}

}  // namespace
}  // namespace cedar::display
