// A first start without a host: the window opens the SESSION dialog; the
// host typed into it is connected to, and what Connect chose is kept (the
// session file with the host and port, the host list in cedar.ini).
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>

#include "app/main_window.h"
#include "program_run.h"
#include "record_builder.h"
#include "replay_host.h"
#include "screen/record_processor.h"
#include "sessionfile/qt/session_dialog_window.h"
#include "sessionfile/session_file.h"

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

gui::SessionDialogWindow* openDialog() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = dynamic_cast<gui::SessionDialogWindow*>(w); d && d->isVisible()) return d;
    return nullptr;
}

TEST(FirstStart, TheSessionDialogOpensAndItsConnectIsKept) {
    test::TempFolder home;
    ::setenv("HOME", home.path().c_str(), 1);
    ::setenv("CEDAR_MESSAGE_BOXES", "1", 1);
    test::ReplayHost host({.records = {test::RecordBuilder(cmd::kEraseWrite, 0xC3)
                                           .sba(0)
                                           .sf(0x60)
                                           .text("HELLO FROM THE HOST")
                                           .bytes()}});
    ASSERT_TRUE(host.start());

    app::MainWindow window(app::coreFromArguments({}, CEDAR_DATA_DIR));
    ASSERT_EQ(window.create(), 0);
    window.showAsSaved();
    ASSERT_TRUE(pumpUntil([] { return openDialog() != nullptr; }, 10s));
    gui::SessionDialogWindow* dialog = openDialog();
    dialog->hostBox()->setEditText("127.0.0.1");
    Q_EMIT dialog->hostBox()->lineEdit()->editingFinished();
    dialog->portBox()->setText(QString::number(host.port()));
    Q_EMIT dialog->portBox()->editingFinished();
    dialog->button(gui::SessionDialogWindow::Button::Connect)->click();

    ASSERT_TRUE(pumpUntil([&] { return host.synced(); }, 10s));
    ASSERT_TRUE(pumpUntil(
        [&] {
            auto* a = QAccessible::queryAccessibleInterface(window.terminal());
            return a && a->text(QAccessible::Value).contains("HELLO FROM THE HOST");
        },
        10s));

    const std::string appData = test::appDataOf(home.path());
    const std::string bytes = test::readBytes(appData + "/standard.ses");
    sessionfile::SessionFile saved;
    ASSERT_TRUE(saved
                    .load("standard.ses",
                          {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()})
                    .ok);
    EXPECT_EQ(saved.options.text(sessionfile::Field::HostName), "127.0.0.1");
    EXPECT_EQ(saved.options.number(sessionfile::Field::Port), host.port());
    EXPECT_NE(test::readBytes(appData + "/cedar.ini").find("127.0.0.1"), std::string::npos);
}

}  // namespace
}  // namespace cedar
