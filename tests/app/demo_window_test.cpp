// The first run as a newcomer sees it: the demo host on loopback and the
// main window connected to it (as run.sh starts them), on an X display with
// a window manager. The screen is read the way a screen reader reads it
// (the terminal's accessible text); the logon is typed with real X key
// events. The data-entry panel is saved as demo-data-entry.png in the build
// folder, a picture of the window as it is drawn.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <cstdlib>
#include <thread>

#include "app/main_window.h"
#include "child_process.h"
#include "oracles.h"
#include "program_run.h"
#include "x_desktop.h"

namespace cedar {
namespace {

using test::TempFolder;
using test::XDesktop;
using namespace std::chrono_literals;

void pump() {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
}

QString screenOf(app::MainWindow& window) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(window.terminal());
    return a != nullptr ? a->text(QAccessible::Value) : QString();
}

// Pumps events until the screen holds `text`.
bool waitForScreen(app::MainWindow& window, const QString& text, std::chrono::milliseconds limit) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < limit.count()) {
        if (screenOf(window).contains(text)) return true;
        pump();
    }
    return false;
}

TEST(DemoWindow, LogonPanelShowsAndALogonTypedWithRealKeysReachesTheMenu) {
    CEDAR_REQUIRE_ORACLE(XDesktop::available(),
                         "an X display (xvfb-run), openbox, xdotool, wmctrl");
    std::string error;
    ASSERT_TRUE(XDesktop::startShared(error)) << error;
    TempFolder home;
    pid_t demo = -1;
    const int port =
        test::startListeningProgram({CEDAR_DEMO_HOST}, home.path() + "/demo.log", demo);
    ASSERT_GT(port, 0) << test::readBytes(home.path() + "/demo.log");
    ::setenv("HOME", home.path().c_str(), 1);
    ::setenv("CEDAR_MESSAGE_BOXES", "1", 1);

    {
        app::MainWindow window(app::coreFromArguments(
            {"--host", "127.0.0.1", "--port", std::to_string(port)}, CEDAR_DATA_DIR));
        ASSERT_EQ(window.create(), 0);
        window.showAsSaved();
        ASSERT_TRUE(waitForScreen(window, "CEDAR DEMO HOST", 20s))
            << screenOf(window).toStdString();
        EXPECT_TRUE(screenOf(window).contains("User ID"));

        const auto id = XDesktop::findWindow("Cedar TN3270", 10s, pump);
        ASSERT_TRUE(id);
        ASSERT_TRUE(XDesktop::activate(*id, pump));
        for (const auto& step :
             std::vector<std::vector<std::string>>{{"xdotool", "type", "--delay", "20", "ibmuser"},
                                                   {"xdotool", "key", "Tab"},
                                                   {"xdotool", "type", "--delay", "20", "secret"},
                                                   {"xdotool", "key", "Return"}})
            ASSERT_TRUE(XDesktop::run(step, 10s, pump));
        ASSERT_TRUE(waitForScreen(window, "MAIN MENU", 10s)) << screenOf(window).toStdString();
        EXPECT_TRUE(screenOf(window).contains("User IBMUSER"));
        // The password was typed into a field that never shows.
        EXPECT_FALSE(screenOf(window).contains("secret"));

        ASSERT_TRUE(XDesktop::run({"xdotool", "type", "1"}, 10s, pump));
        ASSERT_TRUE(XDesktop::run({"xdotool", "key", "Return"}, 10s, pump));
        ASSERT_TRUE(waitForScreen(window, "DATA ENTRY", 10s)) << screenOf(window).toStdString();
        for (int i = 0; i < 20; ++i)
            pump();
        EXPECT_TRUE(window.grab().save(QString(CEDAR_BUILD_DIR) + "/demo-data-entry.png"));
    }
    test::stopProcess(demo, 2s);
}

}  // namespace
}  // namespace cedar
