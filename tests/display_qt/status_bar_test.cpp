#include "display/qt/status_bar.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <string>

namespace cedar::display::qt {
namespace {

constexpr CellSize kCell{10, 20};
const QColor kForeground(255, 0, 0);
const QColor kBackground(0, 0, 64);

StatusInputs unlockedAt(const std::string& position) {
    StatusInputs in;
    in.status = SessionStatus::Unlocked;
    in.positionText = position;
    return in;
}

bool isInk(const QColor& c) {
    return c.red() > 80 && c.red() > c.blue() + 40 && c.green() < 60;
}

struct Bar {
    StatusBar bar{"IBM 3270", kCell};
    Bar() {
        bar.setColors(kForeground, kBackground);
        bar.resize(81 * kCell.width, kCell.height + 8);
    }
    QImage grab() { return bar.grab().toImage().convertToFormat(QImage::Format_RGB32); }
    // Pixels of the (red) foreground inside one column's cell, antialiased
    // edges included; the dark blue background and the grey frame are not.
    int inkAt(const QImage& image, int column) {
        const QRect cell = bar.columnsRect(column, 1);
        int n = 0;
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            for (int x = cell.left(); x <= cell.right(); ++x)
                n += isInk(image.pixelColor(x, y));
        return n;
    }
};

TEST(StatusBar, PaintsTextAndGlyphsInTheirColumns) {
    Bar b;
    StatusInputs in = unlockedAt("24,80");
    in.status = SessionStatus::Locked;
    in.tls = true;
    in.insertMode = true;
    auto line = composeStatusLine(in);
    line[79] = 'Z';  // the last column is never shown
    b.bar.setLine(line, 80);
    const QImage image = b.grab();
    ASSERT_FALSE(image.isNull());
    EXPECT_GT(b.inkAt(image, 0), 0) << "M";
    for (int glyphColumn : {1, 2, 5, 7, 8})
        EXPECT_GT(b.inkAt(image, glyphColumn), 0) << glyphColumn;
    EXPECT_GT(b.inkAt(image, 71), 0) << "^";
    EXPECT_GT(b.inkAt(image, 75), 0) << "position text";
    for (int blank : {3, 4, 6, 40, 79})
        EXPECT_EQ(b.inkAt(image, blank), 0) << blank;
}

TEST(StatusBar, GlyphPicturesDifferFromEachOther) {
    // Each glyph drawn alone in column 10; the pictures must tell the
    // states apart.
    const std::uint8_t glyphs[] = {0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88,
                                   0x89, 0x8A, 0x8B, 0x8C, 0x91, 0x92};
    std::vector<QImage> cells;
    for (auto glyph : glyphs) {
        Bar b;
        StatusBuffer line;
        line.fill(' ');
        line[10] = glyph;
        b.bar.setLine(line, 80);
        const QImage image = b.grab();
        EXPECT_GT(b.inkAt(image, 10), 0) << int(glyph);
        cells.push_back(image.copy(b.bar.columnsRect(10, 1)));
    }
    for (std::size_t i = 0; i < cells.size(); ++i)
        for (std::size_t j = i + 1; j < cells.size(); ++j)
            EXPECT_NE(cells[i], cells[j]) << int(glyphs[i]) << " " << int(glyphs[j]);
}

TEST(StatusBar, RepaintsOnlyChangedColumns) {
    Bar b;
    b.bar.setLine(composeStatusLine(unlockedAt("5,9")), 80);
    b.bar.setLine(composeStatusLine(unlockedAt("5,10")), 80);
    ASSERT_EQ(b.bar.lastInvalidated().size(), 1u);
    EXPECT_EQ(b.bar.lastInvalidated()[0], b.bar.columnsRect(75, 4));
    // The picture after the partial repaint is the one a full paint gives.
    const QImage partial = b.grab();
    Bar fresh;
    fresh.bar.setLine(composeStatusLine(unlockedAt("5,10")), 80);
    EXPECT_EQ(partial, fresh.grab());

    b.bar.setLine(composeStatusLine(unlockedAt("5,10")), 80);
    EXPECT_TRUE(b.bar.lastInvalidated().empty());

    b.bar.setFullPaint(true);
    b.bar.setLine(composeStatusLine(unlockedAt("5,11")), 80);
    ASSERT_EQ(b.bar.lastInvalidated().size(), 1u);
    EXPECT_EQ(b.bar.lastInvalidated()[0], b.bar.rect());
}

TEST(StatusBar, TlsPaneOverColumnTwoOfASecuredConnection) {
    Bar b;
    int opened = 0;
    b.bar.setTlsInfoHandler([&] { ++opened; });
    StatusInputs in = unlockedAt("1,1");
    b.bar.setLine(composeStatusLine(in), 80);
    EXPECT_TRUE(b.bar.tlsPane()->geometry().isEmpty());
    in.tls = true;
    b.bar.setLine(composeStatusLine(in), 80);
    EXPECT_EQ(b.bar.tlsPane()->geometry(), b.bar.columnsRect(2, 1));
    EXPECT_EQ(b.bar.tlsPane()->cursor().shape(), Qt::PointingHandCursor);

    const QPointF inside(2, 2);
    QMouseEvent press(QEvent::MouseButtonPress, inside, inside, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent right(QEvent::MouseButtonRelease, inside, inside, Qt::RightButton, Qt::NoButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, inside, inside, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(b.bar.tlsPane(), &press);
    QApplication::sendEvent(b.bar.tlsPane(), &right);
    EXPECT_EQ(opened, 0);
    QApplication::sendEvent(b.bar.tlsPane(), &release);
    EXPECT_EQ(opened, 1);
}

TEST(StatusBar, ClicksOnTheBarAreReported) {
    Bar b;
    int clicks = 0;
    b.bar.setClickHandler([&] { ++clicks; });
    for (auto button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        const QPointF at(300, 5);
        QMouseEvent press(QEvent::MouseButtonPress, at, at, button, button, Qt::NoModifier);
        QApplication::sendEvent(&b.bar, &press);
    }
    EXPECT_EQ(clicks, 3);
}

}  // namespace
}  // namespace cedar::display::qt
