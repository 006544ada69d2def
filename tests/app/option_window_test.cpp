// A macro's SETOPTION in the window (offscreen, in the test's own process):
// a new FONT SIZE is the cell the terminal is drawn with once the window has
// settled on it, a colour reaches the view's palette, and a HOSTNAME change
// connects again after its message.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>

#include "app/app_core.h"
#include "app/macro_wiring.h"
#include "app/main_window.h"
#include "display/qt/terminal_view.h"
#include "program_run.h"
#include "record_builder.h"
#include "replay_host.h"
#include "screen/record_processor.h"

namespace cedar {
namespace {

using namespace std::chrono_literals;

void pump() {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
}

template <typename Done>
bool pumpUntil(Done done, std::chrono::milliseconds limit) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < limit.count()) {
        if (done()) return true;
        pump();
    }
    return done();
}

TEST(OptionWindow, FontSizeColoursAndHostNameTakeEffect) {
    test::TempFolder home;
    ::setenv("HOME", home.path().c_str(), 1);
    ::setenv("CEDAR_MESSAGE_BOXES", "1", 1);
    test::ReplayHost host({.records = {test::RecordBuilder(cmd::kEraseWrite, 0xC3)
                                           .sba(0)
                                           .sf(0x60)
                                           .text("OPTIONS HOST")
                                           .bytes()}});
    ASSERT_TRUE(host.start());
    app::MainWindow window(app::coreFromArguments(
        {"--host", "127.0.0.1", "--port", std::to_string(host.port())}, CEDAR_DATA_DIR));
    ASSERT_EQ(window.create(), 0);
    window.showAsSaved();
    Session& session = *window.core().session;
    ASSERT_TRUE(pumpUntil([&] { return session.status == SessionStatus::Unlocked; }, 10s));
    auto run = [&](const std::string& statements) {
        window.core().macros->runText(statements, false);
        return pumpUntil([&] { return window.core().macros->state() == 0; }, 5s);
    };

    ASSERT_TRUE(run(R"(SETOPTION("FONT", "SIZE", "11 x 23"))"));
    for (int i = 0; i < 30; ++i)
        pump();  // the resize and the fit after it
    EXPECT_EQ(window.terminal()->cellSize(), (display::CellSize{11, 23}));

    ASSERT_TRUE(run(R"(SETOPTION("COLORS", "COLOR0", 1193046))"));  // 0x123456
    pump();
    EXPECT_EQ(window.terminal()->options().colors.colors[0], (display::Rgb{0x12, 0x34, 0x56}));

    // The reconnect is seen at the host: a second connection. (The session's
    // status may leave UNLOCKED and come back within one turn of the loop.)
    const int connectionsBefore = host.connections();
    ASSERT_TRUE(run(R"(SETOPTION("GENERAL", "HOSTNAME", "127.0.0.1"))"));
    EXPECT_TRUE(pumpUntil(
        [&] {
            return host.connections() > connectionsBefore &&
                   session.status == SessionStatus::Unlocked;
        },
        10s))
        << "no reconnect";
    EXPECT_EQ(window.core().file.options.text(sessionfile::Field::HostName), "127.0.0.1");
}

}  // namespace
}  // namespace cedar
