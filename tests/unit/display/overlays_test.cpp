#include "display/overlays.h"

#include <gtest/gtest.h>

#include <string>

#include "sessionfile/standard_session.h"

namespace cedar::display {
namespace {

constexpr CellSize kCell{9, 16};

TEST(Cursor, SizesAndShapes) {
    struct Case {
        int shape;
        int size;
        Rect expected;  // cell (2, 1) of 9 x 16 cells: x 18..26, y 16..31
    };
    const Case cases[] = {
        {0, 0, {18, 31, 9, 1}},  {0, 1, {18, 30, 9, 2}},  {0, 2, {18, 29, 9, 3}},
        {0, 3, {18, 30, 9, 2}},  {0, 4, {18, 28, 9, 4}},  {0, 5, {18, 24, 9, 8}},
        {0, 6, {18, 16, 9, 16}}, {1, 0, {18, 16, 1, 16}}, {1, 2, {18, 16, 3, 16}},
        {1, 3, {18, 16, 1, 16}}, {1, 4, {18, 16, 2, 16}}, {1, 5, {18, 16, 4, 16}},
        {1, 6, {18, 16, 9, 16}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cursorRect(kCell, 2, 1, {c.shape, c.size, 0}, 0, false), c.expected)
            << "shape " << c.shape << " size " << c.size;
}

TEST(Cursor, RulerLinesMoveTheCursorOffThem) {
    const CursorStyle block{0, 6, 0};
    // Horizontal ruler: the bottom moves up one pixel, not with TestRulerFix.
    EXPECT_EQ(cursorRect(kCell, 2, 1, block, kRulerHorizontal, false), (Rect{18, 16, 9, 15}));
    EXPECT_EQ(cursorRect(kCell, 2, 1, block, kRulerHorizontal, true), (Rect{18, 16, 9, 16}));
    // Vertical ruler: the left edge moves right one pixel.
    EXPECT_EQ(cursorRect(kCell, 2, 1, block, kRulerVertical, false), (Rect{19, 16, 8, 16}));
    EXPECT_EQ(cursorRect(kCell, 2, 1, {0, 0, 0}, 3, false), (Rect{19, 30, 8, 1}));
}

TEST(Ruler, LinesThroughTheCursorCell) {
    EXPECT_TRUE(horizontalRuler(kCell, 1, 80, 0, false).empty());
    EXPECT_TRUE(verticalRuler(kCell, 2, 24, kRulerHorizontal).empty());
    EXPECT_EQ(horizontalRuler(kCell, 1, 80, 3, false), (Rect{0, 31, 720, 1}));
    EXPECT_EQ(horizontalRuler(kCell, 1, 80, 1, true), (Rect{0, 32, 720, 1}));
    EXPECT_EQ(verticalRuler(kCell, 2, 24, 2), (Rect{18, 0, 1, 384}));
    const auto fix = rulerFixLines(kCell, 80, 24);
    EXPECT_EQ(fix.left, (Rect{0, 0, 1, 385}));
    EXPECT_EQ(fix.bottom, (Rect{0, 384, 721, 1}));
}

TEST(Selection, OutlineOnCellEdgesWithTheLargerCornerIncluded) {
    EXPECT_EQ(selectionOutline(kCell, 3, 2, 5, 4), (Rect{27, 32, 27, 48}));
    EXPECT_EQ(selectionOutline(kCell, 5, 4, 3, 2), (Rect{27, 32, 27, 48}));
    EXPECT_EQ(selectionOutline(kCell, 0, 0, 0, 0), (Rect{0, 0, 9, 16}));
}

TEST(Locate, ExplodeGrowsAndShrinks) {
    const int grow[] = {0, 2, 4, 6, 4, 2};
    for (int step = 0; step < kLocateSteps; ++step) {
        const int g = grow[step];
        EXPECT_EQ(locateRect(kCell, 2, 1, step, 1), (Rect{18 - g, 16 - g, 9 + 2 * g, 16 + 2 * g}));
        EXPECT_EQ(locateRect(kCell, 2, 1, step, 0), (Rect{18, 16, 9, 16}));
    }
}

TEST(CursorBlink, FastEveryTickSlowOnTickThree) {
    for (int tick = 0; tick < 6; ++tick) {
        EXPECT_FALSE(cursorBlinkToggles(0, tick));
        EXPECT_TRUE(cursorBlinkToggles(2, tick));
        EXPECT_EQ(cursorBlinkToggles(1, tick), tick == 3);
    }
}

TEST(CursorPaint, ModesAndColourBytesOutsideTheItemTable) {
    auto options = sessionfile::standardSessionOptions();
    options.setItemColors(5, 12, 0);      // host colour item 5 -> palette 12
    options.setItemForeground(25, 0x1B);  // damaged: masked to 11
    const auto colors = SessionColors::load(options);
    const auto palette = colors.palette();

    const auto byItem = cursorPaint(1, 0x05, colors, palette);
    EXPECT_EQ(byItem.kind, CursorPaint::Kind::TwoColor);
    EXPECT_EQ(byItem.background, palette[12]);
    EXPECT_EQ(byItem.text, (Rgb{0, 0, 0}));
    // Any byte from 16 up uses its own foreground nibble: never a read past the items.
    for (int b : {0x10, 0x25, 0x7F, 0xF3, 0xFF}) {
        const auto p = cursorPaint(2, static_cast<std::uint8_t>(b), colors, palette);
        EXPECT_EQ(p.background, palette[static_cast<std::size_t>(b & 0x0F)]) << b;
    }
    EXPECT_EQ(cursorPaint(3, 0, colors, palette).background, (Rgb{255, 255, 255}));
    EXPECT_EQ(cursorPaint(4, 0, colors, palette).text, (Rgb{255, 255, 255}));
    const auto paint = cursorPaint(5, 0, colors, palette);
    EXPECT_EQ(paint.kind, CursorPaint::Kind::Xor);
    EXPECT_EQ(paint.xorIndex, 11);
    EXPECT_EQ(cursorPaint(0, 0, colors, palette).kind, CursorPaint::Kind::Invert);
}

TEST(BorderText, CopiesWithinTheLimit) {
    EXPECT_EQ(borderBandText(".Once only"), "Once only");
    EXPECT_EQ(borderBandText(""), "");
    EXPECT_EQ(borderBandText("."), "");
    // 10 characters: copies end at 10, 25, ... 385 (26 copies), blanks after each.
    const std::string band = borderBandText("0123456789");
    EXPECT_EQ(band.size(), 390u);  // 26 copies of 15
    EXPECT_EQ(band.substr(0, 20), "0123456789     01234");
    EXPECT_EQ(band.substr(375, 10), "0123456789");
    // 192 characters: two copies fit (192 + 5 + 192 = 389); 193: one.
    EXPECT_EQ(borderBandText(std::string(192, 'a')).find(std::string(192, 'a'), 1), 197u);
    EXPECT_EQ(borderBandText(std::string(193, 'a')), std::string(193, 'a') + "     ");
    // Longer than the bands hold: cut, never past the limit.
    const std::string huge(5000, 'z');
    EXPECT_EQ(borderBandText(huge), std::string(390, 'z'));
    EXPECT_EQ(borderBandText("." + huge).size(), 390u);
}

}  // namespace
}  // namespace cedar::display
