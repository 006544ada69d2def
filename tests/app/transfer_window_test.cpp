// A file sent from the window to the demo host, as a user does it on an X
// display with a window manager: the logon and the command line panel typed
// with real X key events, the "Send File to Host" dialog opened by a key
// (Ctrl+F9, bound to Send File for the test: the shipped keyboard binds no
// key to it), its fields filled by clicks and typing, and Send clicked. The
// file must arrive in the demo host's data set folder byte for byte, the
// dialog's status line must show the host's closing message, and
// transfer.log must hold the transfer's lines.
#include "app/transfer_window.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <cstdlib>
#include <filesystem>

#include "app/main_window.h"
#include "child_process.h"
#include "oracles.h"
#include "program_run.h"
#include "transfer/qt/transfer_dialog.h"
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

// Pumps events until `done` holds or `limit` has passed.
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

gui::TransferDialog* openDialog() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = dynamic_cast<gui::TransferDialog*>(w); d != nullptr && d->isVisible())
            return d;
    return nullptr;
}

// A real click in the middle of `widget`.
bool click(QWidget* widget) {
    const QPoint p = widget->mapToGlobal(widget->rect().center());
    return XDesktop::run({"xdotool", "mousemove", "--sync", std::to_string(p.x()),
                          std::to_string(p.y()), "click", "1"},
                         10s, pump)
        .has_value();
}

bool typeKeys(const std::vector<std::vector<std::string>>& steps) {
    for (const auto& step : steps)
        if (!XDesktop::run(step, 10s, pump)) return false;
    return true;
}

TEST(TransferWindow, ASendFileDialogPutsAFileOnTheDemoHost) {
    CEDAR_REQUIRE_ORACLE(XDesktop::available(),
                         "an X display (xvfb-run), openbox, xdotool, wmctrl");
    std::string error;
    ASSERT_TRUE(XDesktop::startShared(error)) << error;
    TempFolder home;
    const std::string sets = home.path() + "/sets";
    pid_t demo = -1;
    const int port = test::startListeningProgram({CEDAR_DEMO_HOST, "--data-sets", sets},
                                                 home.path() + "/demo.log", demo);
    ASSERT_GT(port, 0) << test::readBytes(home.path() + "/demo.log");
    ::setenv("HOME", home.path().c_str(), 1);
    ::setenv("CEDAR_MESSAGE_BOXES", "1", 1);

    // Every byte value, and more than one transfer block of the CUT mode.
    std::string content;
    for (int i = 0; i < 6000; ++i)
        content += static_cast<char>((i * 31 + i / 256) & 0xFF);
    const std::string pcFile = home.path() + "/upload.bin";
    test::writeBytes(pcFile, content);

    {
        app::MainWindow window(app::coreFromArguments(
            {"--host", "127.0.0.1", "--port", std::to_string(port)}, CEDAR_DATA_DIR));
        ASSERT_EQ(window.create(), 0);
        window.showAsSaved();
        ASSERT_TRUE(pumpUntil([&] { return screenOf(window).contains("User ID"); }, 20s))
            << screenOf(window).toStdString();

        // Ctrl+F9 (the key of PF9) opens the send dialog.
        keys::LayoutBlock& map = window.core().keyboardMap;
        const auto pf9 = static_cast<std::uint8_t>(keys::Action::PF1) + 8;
        int f9 = -1;
        for (int k = 0; k < map.keyCount() && f9 < 0; ++k)
            if (keys::kindOf(map.word(k, 0)) == keys::Kind::Action &&
                keys::codeOf(map.word(k, 0)) == pf9)
                f9 = k;
        ASSERT_GE(f9, 0) << "the keyboard has a PF9 key";
        ASSERT_TRUE(map.setWord(f9, 2, keys::operKey(keys::Oper::SendFile)));

        const auto id = XDesktop::findWindow("Cedar TN3270", 10s, pump);
        ASSERT_TRUE(id);
        ASSERT_TRUE(XDesktop::activate(*id, pump));
        ASSERT_TRUE(typeKeys(
            {{"xdotool", "type", "--delay", "20", "newcomer"}, {"xdotool", "key", "Return"}}));
        ASSERT_TRUE(pumpUntil([&] { return screenOf(window).contains("MAIN MENU"); }, 10s));
        ASSERT_TRUE(typeKeys({{"xdotool", "type", "5"}, {"xdotool", "key", "Return"}}));
        ASSERT_TRUE(pumpUntil([&] { return screenOf(window).contains("COMMAND LINE"); }, 10s))
            << screenOf(window).toStdString();

        ASSERT_TRUE(typeKeys({{"xdotool", "key", "ctrl+F9"}}));
        gui::TransferDialog* dialog = nullptr;
        ASSERT_TRUE(pumpUntil([&] { return (dialog = openDialog()) != nullptr; }, 10s))
            << "Ctrl+F9 opened no transfer dialog";
        EXPECT_EQ(dialog->windowTitle(), "Send File to Host");
        ASSERT_TRUE(pumpUntil([&] { return dialog->isActiveWindow(); }, 5s));

        QLineEdit* pcName = nullptr;
        QLineEdit* hostName = nullptr;
        for (auto* edit : dialog->findChildren<QLineEdit*>()) {
            if (edit->accessibleName() == "PC file name") pcName = edit;
            if (edit->accessibleName() == "Host file name") hostName = edit;
        }
        ASSERT_NE(pcName, nullptr);
        ASSERT_NE(hostName, nullptr);
        ASSERT_TRUE(click(pcName));
        ASSERT_TRUE(typeKeys({{"xdotool", "type", "--delay", "5", pcFile}}));
        ASSERT_TRUE(click(hostName));
        ASSERT_TRUE(typeKeys({{"xdotool", "type", "--delay", "5", "newcomer.data"}}));
        ASSERT_TRUE(click(dialog->binaryButton()));
        ASSERT_TRUE(pumpUntil(
            [&] {
                return pcName->text().toStdString() == pcFile &&
                       hostName->text() == "newcomer.data" && dialog->binaryButton()->isChecked();
            },
            5s))
            << pcName->text().toStdString() << " / " << hostName->text().toStdString();

        ASSERT_TRUE(click(dialog->startButton()));
        const std::string arrived = sets + "/NEWCOMER.DATA";
        ASSERT_TRUE(pumpUntil(
            [&] {
                return std::filesystem::exists(arrived) && test::readBytes(arrived) == content &&
                       dialog->statusLine().contains("complete");
            },
            30s))
            << "status line: " << dialog->statusLine().toStdString() << "\n"
            << screenOf(window).toStdString() << test::readBytes(home.path() + "/demo.log");
        // The host's closing message with the count, and the rate.
        const QString last = dialog->statusLine();
        EXPECT_TRUE(last.startsWith("File transfer complete - 6") && last.contains("bytes/s"))
            << last.toStdString();
        EXPECT_TRUE(pumpUntil([&] { return screenOf(window).contains("TRANS03"); }, 5s))
            << "the host's panel shows its closing message";

        const std::string log = test::readBytes(test::appDataOf(home.path()) + "/transfer.log");
        EXPECT_NE(log.find(" - Upload " + pcFile + " to newcomer.data\n"), std::string::npos)
            << log;
        EXPECT_NE(log.find(" - File transfer complete - 6"), std::string::npos) << log;
        EXPECT_EQ(log.find("bytes/s"), std::string::npos) << "the rate is shown, not logged";
        EXPECT_EQ(log.find("Bytes transferred"), std::string::npos)
            << "the running count is shown, not logged";

        // The dialog is left without a question once the transfer has ended.
        dialog->close();
        EXPECT_TRUE(pumpUntil([&] { return openDialog() == nullptr; }, 5s));
    }
    test::stopProcess(demo, 2s);
}

// The running count's rate.
TEST(TransferWindow, ARunningCountCarriesItsRate) {
    struct Case {
        std::uint64_t bytes;
        std::int64_t ms;
        std::string shown;
    } cases[] = {
        {7000, 2000, "Bytes transferred = 7,000 (3,500 bytes/s)"},
        {5000000, 1000, "Bytes transferred = 7,000 (5,000,000 bytes/s)"},
        {999, 1000, "Bytes transferred = 7,000 (999 bytes/s)"},
        {7000, 0, "Bytes transferred = 7,000"},
        {0, 500, "Bytes transferred = 7,000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(app::TransferWindows::withRate("Bytes transferred = 7,000", c.bytes, c.ms),
                  c.shown);
}

}  // namespace
}  // namespace cedar
