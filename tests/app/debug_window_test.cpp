// The macro debug window on the offscreen platform: lines shown in order,
// Clear and Copy (whole lines with CR LF, bounded), the window made on
// first use and anew after it was closed, and its geometry taken from and
// kept in the session's record.
#include "app/debug_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QListWidget>
#include <QPushButton>

namespace cedar::app {
namespace {

using Geometry = SessionDebugWindow::Geometry;

void deliverDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

struct Rig {
    Geometry stored{};
    std::vector<Geometry> saved;
    SessionDebugWindow debug{nullptr, 'C', [this] { return stored; },
                             [this](const Geometry& g) { saved.push_back(g); }};
};

TEST(DebugWindow, LinesClearAndCopy) {
    Rig rig;
    EXPECT_EQ(rig.debug.window(), nullptr);
    rig.debug.clear();  // nothing to clear yet: no window is made
    EXPECT_EQ(rig.debug.window(), nullptr);

    rig.debug.debugLine("first");
    rig.debug.debugLine("x = \"quoted\"");
    DebugWindow* w = rig.debug.window();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle().toStdString(), "C - Debug Window");
    EXPECT_TRUE(w->isVisible());
    ASSERT_EQ(w->lineCount(), 2);
    EXPECT_EQ(w->line(1), "x = \"quoted\"");
    EXPECT_EQ(w->list()->currentRow(), -1);  // shown, not selected

    w->copyButton()->click();
    EXPECT_EQ(w->copyText(), "first\r\nx = \"quoted\"\r\n");
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), w->copyText());

    w->clearButton()->click();
    EXPECT_EQ(w->lineCount(), 0);
    EXPECT_EQ(w->copyText(), "");

    // Hidden, the next line shows it again.
    rig.debug.hide();
    EXPECT_FALSE(w->isVisible());
    rig.debug.debugLine("again");
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->lineCount(), 1);
}

TEST(DebugWindow, CopyStopsAtItsLimitOnAWholeLine) {
    DebugWindow w('A');
    const std::string line(999, 'z');  // 1,001 bytes with CR LF
    for (int i = 0; i < 70; ++i)
        w.addLine(line);
    const std::string text = w.copyText();
    EXPECT_EQ(text.size(), 65u * 1001u);
    EXPECT_LE(text.size(), DebugWindow::kCopyLimit);
    EXPECT_EQ(text.substr(text.size() - 3), "z\r\n");
}

TEST(DebugWindow, ClosingForgetsTheWindowAndTheNextLineMakesANewOne) {
    Rig rig;
    rig.debug.debugLine("one");
    rig.debug.close();
    deliverDeletes();
    EXPECT_EQ(rig.debug.window(), nullptr);
    rig.debug.open();
    ASSERT_NE(rig.debug.window(), nullptr);
    EXPECT_EQ(rig.debug.window()->lineCount(), 0);
    EXPECT_TRUE(rig.debug.window()->isVisible());
}

TEST(DebugWindow, GeometryComesFromTheSessionAndIsKept) {
    Rig rig;
    rig.stored = {40, 50, 420, 260};
    rig.debug.open();
    DebugWindow* w = rig.debug.window();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->size(), QSize(420, 260));
    // The list follows the window's size.
    EXPECT_EQ(w->list()->size(), QSize(420 - 28, 260 - 80));

    rig.saved.clear();
    w->resize(500, 300);
    QCoreApplication::processEvents();
    ASSERT_FALSE(rig.saved.empty());
    EXPECT_EQ(rig.saved.back().width, 500);
    EXPECT_EQ(rig.saved.back().height, 300);
    EXPECT_EQ(w->list()->size(), QSize(472, 220));

    // A window 100 pixels tall or less (rolled up) is not remembered.
    rig.saved.clear();
    w->resize(500, 90);
    QCoreApplication::processEvents();
    EXPECT_TRUE(rig.saved.empty());
}

}  // namespace
}  // namespace cedar::app
