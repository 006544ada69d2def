#include "display/qt/terminal_view.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPaintEvent>

#include "screen_fixture.h"
#include "sessionfile/standard_session.h"

namespace cedar::display::qt {
namespace {

using test::SmallScreen;

constexpr CellSize kCell{10, 20};

ViewOptions standardOptions() {
    auto v = ViewOptions::load(sessionfile::standardSessionOptions());
    v.normalCursor = {0, 0, 0};
    v.cursorColor = 0;
    v.ruler = 0;
    return v;
}

QColor paletteColor(const ViewOptions& v, int index) {
    return toQColor(v.colors.palette()[static_cast<std::size_t>(index)]);
}

QRect cellRect(int column, int row) {
    return {column * kCell.width, row * kCell.height, kCell.width, kCell.height};
}

bool cellHas(const QImage& image, QRect cell, const QColor& color) {
    for (int y = cell.top(); y <= cell.bottom(); ++y)
        for (int x = cell.left(); x <= cell.right(); ++x)
            if (image.pixelColor(x, y) == color) return true;
    return false;
}

// Pixels where two renders of the same size differ.
QRegion differences(const QImage& a, const QImage& b) {
    QRegion region;
    for (int y = 0; y < std::min(a.height(), b.height()); ++y)
        for (int x = 0; x < std::min(a.width(), b.width()); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) region += QRect(x, y, 1, 1);
    return region;
}

QImage grabFocused(TerminalView& view) {
    view.setDrawAsFocused(true);
    return view.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

TEST(TerminalView, FaceLoadsAtTheCellSize) {
    SmallScreen s(2, 8);
    TerminalView view(s.ps(), standardOptions(), kCell);
    ASSERT_TRUE(view.fontValid()) << "the \"IBM 3270\" face (fonts-3270) is needed";
    EXPECT_EQ(view.backBuffer().size(), QSize(8 * 10 + 1, 2 * 20 + 1));
}

TEST(TerminalView, CellsShowTheirPaletteColours) {
    const auto options = standardOptions();
    SmallScreen s(3, 10);
    const std::uint8_t protectedHigh = fa::kProtected | fa::kIntensified;
    // Full blocks (graphic escape 0x95) fill their cells in the text colour.
    s.field(0, protectedHigh, s.ps().baseColorOf(protectedHigh)).graphicEscape(1, 0x95);
    s.field(3, 0, 0x02).graphicEscape(4, 0x95).color(5, 0x36).text(5, "M");
    s.field(6, 0, 0x05, 0x02);                  // reverse video: the fill takes the foreground
    s.field(10, 0, 0x01, 0x04).text(11, "  ");  // underscore
    s.graphicEscape(20, 0x95);                  // a full block in the field colour
    TerminalView view(s.ps(), options, kCell);
    const QImage& b = view.backBuffer();
    const QColor black = paletteColor(options, 0);

    const int highFg = options.colors.foreground[sessionfile::kHighProtectedItem];
    EXPECT_TRUE(cellHas(b, cellRect(1, 0), paletteColor(options, highFg)));
    EXPECT_EQ(b.pixelColor(cellRect(0, 0).topLeft()), black);
    EXPECT_TRUE(cellHas(b, cellRect(4, 0), paletteColor(options, 2)));
    EXPECT_FALSE(cellHas(b, cellRect(4, 0), paletteColor(options, 6)));
    EXPECT_FALSE(cellHas(b, cellRect(5, 0), paletteColor(options, 2)));
    EXPECT_EQ(b.pixelColor(cellRect(5, 0).topLeft()), paletteColor(options, 3));
    EXPECT_EQ(b.pixelColor(cellRect(7, 0).center()), paletteColor(options, 5));
    EXPECT_EQ(b.pixelColor(cellRect(9, 0).topLeft()), paletteColor(options, 5));
    // Underscore: the cell's bottom row in the text colour, the rest blank.
    const QRect u = cellRect(1, 1);
    EXPECT_EQ(b.pixelColor(u.left() + 3, u.bottom()), paletteColor(options, 1));
    EXPECT_EQ(b.pixelColor(u.left() + 3, u.bottom() - 2), black);
    EXPECT_EQ(b.pixelColor(cellRect(0, 2).center()), paletteColor(options, 1));
}

TEST(TerminalView, DupAndFieldMarkAreOverscoredNotLetters) {
    const auto options = standardOptions();
    SmallScreen s(1, 6);
    s.text(0, "\x8e\x8f*;");
    TerminalView view(s.ps(), options, kCell);
    const QImage& b = view.backBuffer();
    const QColor fg =
        paletteColor(options, options.colors.foreground[sessionfile::kDefaultColorItem]);
    for (int column : {0, 1}) {
        EXPECT_EQ(b.pixelColor(column * 10 + 5, 1), fg) << column;  // the overscore
        // Below the overscore the cell is the asterisk / semicolon itself.
        const QImage symbol = b.copy(cellRect(column, 0).adjusted(0, 2, 0, 0));
        const QImage plain = b.copy(cellRect(column + 2, 0).adjusted(0, 2, 0, 0));
        EXPECT_EQ(symbol, plain) << column;
    }
    EXPECT_NE(b.pixelColor(25, 1), fg);
}

TEST(TerminalView, CursorShapesAndSizesInvertTheirRectangle) {
    SmallScreen s(3, 6);
    s.text(0, "ABCDEFGHIJKLMNOPQR");
    s.ps().setCursor(8);  // row 1, column 2
    for (int shape : {0, 1}) {
        for (int size = 0; size <= 6; ++size) {
            auto options = standardOptions();
            options.normalCursor = {shape, size, 0};
            TerminalView view(s.ps(), options, kCell);
            const QImage shown = grabFocused(view);
            const QRegion changed = differences(view.backBuffer(), shown);
            const auto expected = cursorRect(kCell, 2, 1, options.normalCursor, 0, false);
            EXPECT_EQ(changed, QRegion(expected.x, expected.y, expected.width, expected.height))
                << "shape " << shape << " size " << size;
            // Inverted: each pixel is the complement of the buffer's.
            const QPoint p(expected.x, expected.y + expected.height - 1);
            EXPECT_EQ(shown.pixel(p) & 0xFFFFFF, ~view.backBuffer().pixel(p) & 0xFFFFFF);
        }
    }
}

TEST(TerminalView, NoCursorWithoutTheFocusButCrosshairsWhenAskedFor) {
    SmallScreen s(3, 6);
    s.ps().setCursor(8);
    auto options = standardOptions();
    options.ruler = 3;
    TerminalView view(s.ps(), options, kCell);
    const QImage unfocused = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(differences(view.backBuffer(), unfocused).isEmpty());
    options.alwaysShowCrosshairs = true;
    view.setOptions(options);
    const QImage crosshairs = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRegion lines = differences(view.backBuffer(), crosshairs);
    EXPECT_TRUE(lines.contains(QPoint(0, 2 * 20 - 1)));  // horizontal ruler, row 1
    EXPECT_TRUE(lines.contains(QPoint(20, 55)));         // vertical ruler, column 2
    EXPECT_FALSE(lines.contains(QPoint(25, 35)));        // no cursor
}

TEST(TerminalView, RulerLinesWithAndWithoutTestRulerFix) {
    SmallScreen s(3, 6);
    s.ps().setCursor(8);
    for (bool fix : {false, true}) {
        auto options = standardOptions();
        options.ruler = 1;
        options.testRulerFix = fix;
        TerminalView view(s.ps(), options, kCell);
        const QImage shown = grabFocused(view);
        const int y = 2 * 20 - (fix ? 0 : 1);
        const QColor rule =
            paletteColor(options, options.colors.foreground[sessionfile::kHorizontalRuleItem]);
        EXPECT_EQ(shown.pixelColor(3, y), rule) << fix;  // xor with black
        EXPECT_EQ(shown.pixelColor(3, fix ? y - 1 : y + 1), paletteColor(options, 0)) << fix;
        // TestRulerFix draws the left and bottom edges in palette colour 1.
        EXPECT_EQ(view.backBuffer().pixelColor(0, 10) == paletteColor(options, 1), fix);
        EXPECT_EQ(view.backBuffer().pixelColor(30, 60) == paletteColor(options, 1), fix);
    }
}

TEST(TerminalView, CursorColourModes) {
    SmallScreen s(1, 4);
    s.field(0, 0, 0x02).text(1, "   ");
    s.ps().setCursor(1);
    struct Case {
        int mode;
        QColor expected;
    };
    auto options = standardOptions();
    options.normalCursor = {0, 6, 0};  // the whole cell
    const int redItem = options.colors.foreground[2];
    const Case cases[] = {
        {1, paletteColor(options, redItem)},
        {2, paletteColor(options, redItem)},
        {3, Qt::white},
        {4, Qt::black},
    };
    for (const auto& c : cases) {
        options.cursorColor = c.mode;
        TerminalView view(s.ps(), options, kCell);
        EXPECT_EQ(grabFocused(view).pixelColor(cellRect(1, 0).center()), c.expected) << c.mode;
    }
}

class PaintRecorder : public QObject {
  public:
    QRegion painted;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) painted += static_cast<QPaintEvent*>(e)->region();
        return false;
    }
};

TEST(TerminalView, CursorMoveRepaintsTwoSmallRectanglesAndHostWritesTheirRows) {
    SmallScreen s(24, 80);
    s.text(0, "Some text on the first row");
    TerminalView view(s.ps(), standardOptions(), kCell);
    view.setDrawAsFocused(true);
    view.show();
    QApplication::processEvents();
    PaintRecorder recorder;
    view.installEventFilter(&recorder);
    const int buffered = view.repaintedRowCount();

    s.ps().setCursor(5 * 80 + 7);
    view.cursorMoved();
    QApplication::processEvents();
    EXPECT_EQ(view.repaintedRowCount(), buffered);  // the back buffer is untouched
    EXPECT_FALSE(recorder.painted.isEmpty());
    EXPECT_LE(recorder.painted.boundingRect().height(), 6 * 20);
    int area = 0;
    for (const QRect& r : recorder.painted)
        area += r.width() * r.height();
    EXPECT_LE(area, 2 * 10 * 20);

    PresentationSpace::Plane changed{};
    changed[3 * 80 + 5] = 1;
    changed[4 * 80 + 79] = 1;
    changed[10 * 80] = 1;
    view.repaintDirtyRows(changed);
    EXPECT_EQ(view.repaintedRowCount(), buffered + 3);
}

TEST(TerminalView, BlinkingTextBlanksOnTheFirstTickOnly) {
    const auto options = standardOptions();
    SmallScreen s(2, 4);
    s.field(0, 0, 0x02, 0x01).graphicEscape(1, 0x95);
    TerminalView view(s.ps(), options, kCell);
    const QColor red = paletteColor(options, 2);
    EXPECT_TRUE(cellHas(view.backBuffer(), cellRect(1, 0), red));
    view.blinkTick(0);
    EXPECT_FALSE(cellHas(view.backBuffer(), cellRect(1, 0), red));
    view.blinkTick(1);
    EXPECT_TRUE(cellHas(view.backBuffer(), cellRect(1, 0), red));
}

TEST(TerminalView, ScreenSizeChangeRebuildsTheBuffer) {
    SmallScreen s(24, 80);
    TerminalView view(s.ps(), standardOptions(), kCell);
    ScreenSessionOptions o;
    o.modelIndex = 3;  // 27 x 132
    s.ps().configureSizes(o, defaultScreenModels());
    s.ps().eraseScreen(SizeMode::Alternate);
    view.repaintAll();
    EXPECT_EQ(view.backBuffer().size(), QSize(132 * 10 + 1, 27 * 20 + 1));
    EXPECT_EQ(view.sizeHint(), view.backBuffer().size());
}

}  // namespace
}  // namespace cedar::display::qt
