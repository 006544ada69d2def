#include "display/cell_size.h"

#include <gtest/gtest.h>

namespace cedar::display {
namespace {

const std::vector<CellSize> kSizes = {{6, 12}, {7, 14},  {8, 16}, {9, 16},
                                      {9, 18}, {10, 20}, {12, 24}};

WindowMetrics window(int clientWidth, int clientHeight, bool maximized = false) {
    WindowMetrics w;
    w.clientWidth = clientWidth;
    w.clientHeight = clientHeight;
    w.windowWidth = clientWidth + 8;
    w.windowHeight = clientHeight + 60;  // caption, menu bar, frame
    w.maximized = maximized;
    return w;
}

TEST(ListedCell, LargestThatFitsTheClientArea) {
    const CellRequest req;  // 24 x 80
    struct Case {
        int width, height;
        CellSize expected;
    };
    const Case cases[] = {
        {800, 500, {9, 18}},  // 9 x 80 = 720 <= 800; 18 x 25 = 450 <= 468
        {800, 460, {9, 16}},  // 18 x 25 = 450 > 428: the larger of the 16-high ones
        {720, 432, {9, 16}},  // exact fit: 720, 16 x 25 = 400 <= 400
        {2000, 1200, {12, 24}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(chooseListedCell(kSizes, window(c.width, c.height, true), req).cell, c.expected)
            << c.width << "x" << c.height;
}

TEST(ListedCell, TiesTakeTheLaterSizeWhenFittingAndTheEarlierWhenSnapping) {
    // Equal areas: 8 x 80 x 18 x 25 == 9 x 80 x 16 x 25.
    const std::vector<CellSize> sameArea = {{8, 18}, {9, 16}};  // 8x80*18x25 vs 9x80*16x25
    const CellRequest req;
    EXPECT_EQ(chooseListedCell(sameArea, window(1000, 1000), req).cell, (CellSize{9, 16}));
    CellRequest snap;
    snap.sizeWindowToFont = true;
    // The window-based area is (w - 8, h - 28 - 19 - 32); both sizes are equally far.
    WindowMetrics w;
    w.windowWidth = 8 + 680;  // dx = 680 - 640 = 40 for 8 wide, 680 - 720 = -40 for 9 wide
    w.windowHeight = 28 + 19 + 32 + 425;  // dy = 425 - 450 = -25 and 425 - 400 = 25
    EXPECT_EQ(chooseListedCell(sameArea, w, snap).cell, (CellSize{8, 18}));
}

TEST(ListedCell, SizeWindowToFontSnapsToTheNearestSize) {
    CellRequest req;
    req.sizeWindowToFont = true;
    req.borderSize = 4;
    WindowMetrics w;
    // 8 x 16 misses the area (less the borders) by 5 and -3 pixels; the others by more.
    w.windowWidth = 656 + 5;
    w.windowHeight = 487 - 3;
    EXPECT_EQ(chooseListedCell(kSizes, w, req).cell, (CellSize{8, 16}));
    // Maximized ignores the snap and fits the client area.
    w.maximized = true;
    w.clientWidth = 1000;
    w.clientHeight = 700;
    EXPECT_EQ(chooseListedCell(kSizes, w, req).cell, (CellSize{12, 24}));
}

TEST(ListedCell, FallbacksAndTheFixedSize) {
    const CellRequest req;
    // Nothing fits: the first listed.
    EXPECT_EQ(chooseListedCell(kSizes, window(100, 100), req).cell, (CellSize{6, 12}));
    // No raster sizes (a scalable face lists a size-less entry) or none at all: 8 x 15.
    for (const auto& sizes : {std::vector<CellSize>{}, std::vector<CellSize>{{0, 0}}}) {
        const auto c = chooseListedCell(sizes, window(800, 600), req);
        EXPECT_EQ(c.cell, kFallbackCell);
        EXPECT_TRUE(c.fallback);
    }
    CellRequest fixed;
    fixed.fixedCell = parseFixedCellSize("10 x 20");
    for (int width : {300, 800, 3000})
        EXPECT_EQ(chooseListedCell(kSizes, window(width, width), fixed).cell, (CellSize{10, 20}));
}

TEST(FixedCellSize, Parsing) {
    EXPECT_EQ(parseFixedCellSize("10 x 20"), (CellSize{10, 20}));
    EXPECT_EQ(parseFixedCellSize("7x14"), (CellSize{7, 14}));
    for (const char* bad : {"", "10", "10 x", "0 x 20", "10 x 0", "x 20", "a x b", "-3 x 9",
                            "99999999999 x 5", "300 x 20"})
        EXPECT_FALSE(parseFixedCellSize(bad)) << bad;
}

TEST(ScalableCell, DividesTheClientAreaOrRecallsTheSize) {
    CellRequest req;
    req.borderSize = 2;
    const FontLimits limits;
    // (804 - 4) / 80 = 10; (532 - 28 - 4 - 4) / 25 = 19.
    EXPECT_EQ(chooseScalableCell(window(804, 532), req, std::nullopt, limits), (CellSize{10, 19}));
    EXPECT_EQ(chooseScalableCell(window(804, 532), req, CellSize{7, 15}, limits),
              (CellSize{7, 15}));
    // Maximized: no border and no recalled size.
    EXPECT_EQ(chooseScalableCell(window(800, 532, true), req, CellSize{7, 15}, limits),
              (CellSize{10, 20}));
    // Too small a window takes the minimum sizes.
    EXPECT_EQ(chooseScalableCell(window(100, 50), req, std::nullopt, limits), (CellSize{4, 6}));
    req.fixedCell = CellSize{10, 20};
    EXPECT_EQ(chooseScalableCell(window(300, 300), req, std::nullopt, limits), (CellSize{10, 20}));
}

TEST(FontStep, ListedSizes) {
    struct Case {
        FontStep step;
        CellSize from;
        std::optional<CellSize> expected;
    };
    const Case cases[] = {
        {FontStep::Larger, {8, 16}, CellSize{9, 18}},
        {FontStep::Larger, {12, 24}, std::nullopt},  // the largest: nothing
        {FontStep::Smaller, {9, 18}, CellSize{8, 16}},
        {FontStep::Smaller, {6, 12}, std::nullopt},
        {FontStep::Wider, {8, 16}, CellSize{9, 16}},
        {FontStep::Narrower, {9, 16}, CellSize{8, 16}},
        {FontStep::Taller, {9, 16}, CellSize{9, 18}},
        {FontStep::Shorter, {9, 18}, CellSize{9, 16}},
        {FontStep::Taller, {8, 16}, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(stepListedCell(kSizes, c.from, c.step), c.expected)
            << static_cast<int>(c.step) << " from " << c.from.width << "x" << c.from.height;
}

TEST(FontStep, ScalableOnePixelWithinTheLimits) {
    const FontLimits l{4, 6, 12, 20};
    EXPECT_EQ(stepScalableCell({8, 16}, FontStep::Larger, l), (CellSize{9, 17}));
    EXPECT_EQ(stepScalableCell({12, 16}, FontStep::Larger, l), std::nullopt);
    EXPECT_EQ(stepScalableCell({8, 20}, FontStep::Larger, l), std::nullopt);
    EXPECT_EQ(stepScalableCell({5, 7}, FontStep::Smaller, l), (CellSize{4, 6}));
    EXPECT_EQ(stepScalableCell({4, 7}, FontStep::Smaller, l), std::nullopt);
    EXPECT_EQ(stepScalableCell({4, 7}, FontStep::Narrower, l), std::nullopt);
    EXPECT_EQ(stepScalableCell({11, 7}, FontStep::Wider, l), (CellSize{12, 7}));
    EXPECT_EQ(stepScalableCell({11, 6}, FontStep::Shorter, l), std::nullopt);
    EXPECT_EQ(stepScalableCell({11, 19}, FontStep::Taller, l), (CellSize{11, 20}));
}

TEST(CellMemory, PerScreenSizeAndKeepConstant) {
    CellMemory m;
    EXPECT_FALSE(m.recall(1));
    m.remember(1, {9, 16});
    m.remember(2, {7, 12});
    m.remember(3, {1, 1});  // not a size choice
    EXPECT_EQ(m.recall(1), (CellSize{9, 16}));
    EXPECT_EQ(m.onSizeSwitch(2, {9, 16}, false), (CellSize{7, 12}));
    EXPECT_EQ(m.onSizeSwitch(2, {9, 16}, true), (CellSize{9, 16}));
    EXPECT_FALSE(m.recall(0xFF));
}

TEST(Layout, CentredOrSizedToTheFont) {
    LayoutRequest req;
    req.cell = {9, 16};
    FrameMetrics frame{4, 8, 42};
    // Centred: area 800 x (600 - 28 - 4) = 568; terminal 720 x 384.
    auto l = layoutWindow(window(800, 600), frame, req);
    EXPECT_EQ(l.terminal, (Rect{40, (568 - 16 - 384 - 4) / 2 + 28 + 2, 720, 384}));
    EXPECT_EQ(l.toolBar, (Rect{0, 0, 800, 28}));
    EXPECT_EQ(l.statusBar, (Rect{0, 600 - 20, 800, 20}));
    EXPECT_FALSE(l.windowSize);
    // Too small a window: offsets never negative, never above the tool bar.
    l = layoutWindow(window(300, 200), frame, req);
    EXPECT_EQ(l.terminal.x, 0);
    EXPECT_EQ(l.terminal.y, 28);
    // TestRulerFix: one pixel more each way.
    req.testRulerFix = true;
    EXPECT_EQ(layoutWindow(window(800, 600), frame, req).terminal.width, 721);
    // Sized to the font: the window follows the terminal.
    req.testRulerFix = false;
    req.sizeWindowToFont = true;
    req.borderSize = 3;
    l = layoutWindow(window(800, 600), frame, req);
    EXPECT_EQ(l.terminal, (Rect{3, 31, 720, 384}));
    ASSERT_TRUE(l.windowSize);
    EXPECT_EQ(l.windowSize->width, 720 + 2 * (3 + 4));
    EXPECT_EQ(l.windowSize->height, 16 + 8 + 42 + 384 + 31 + 3 + 8);
}

}  // namespace
}  // namespace cedar::display
