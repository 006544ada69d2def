#include "display/qt/terminal_accessible.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QProcess>

#include "display/qt/terminal_view.h"
#include "host/telnet_layer.h"
#include "oracles.h"
#include "recording.h"
#include "screen/host_screen.h"
#include "screen/screen_text.h"
#include "screen_fixture.h"
#include "session/session.h"
#include "sessionfile/standard_session.h"
#include "test_paths.h"

namespace cedar::display::qt {
namespace {

using test::SmallScreen;

ViewOptions standardOptions() {
    return ViewOptions::load(sessionfile::standardSessionOptions());
}

QAccessibleInterface* accessibleOf(TerminalView& view) {
    return QAccessible::queryAccessibleInterface(&view);
}

TEST(TerminalAccessible, RowsAsTextCursorAsCaretFieldKind) {
    SmallScreen s(3, 8);
    s.field(0, fa::kProtected).text(1, "Name").field(5, 0).text(6, "ab");
    s.field(8, fa::kNumeric).text(9, "42").field(12, fa::kNonDisplay).text(13, "pw").field(15, 0);
    s.graphicEscape(16, 0xC5).graphicEscape(17, 0xA2).text(18, "\x8e");
    TerminalView view(s.ps(), standardOptions(), {10, 20});
    QAccessibleInterface* a = accessibleOf(view);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->role(), QAccessible::Terminal);
    QAccessibleTextInterface* t = a->textInterface();
    ASSERT_NE(t, nullptr);
    const QString expected = QStringLiteral(" Name ab\n 42     \n\u250C\u2500*     ");
    EXPECT_EQ(a->text(QAccessible::Value), expected);
    EXPECT_EQ(t->characterCount(), expected.size());
    EXPECT_EQ(t->text(9, 12), QStringLiteral(" 42"));
    EXPECT_EQ(t->text(-5, 3), QStringLiteral(" Na"));
    EXPECT_EQ(t->text(20, 999), expected.mid(20));

    struct Case {
        int cursor;
        const char* description;
        bool readOnly;
        int caret;
    };
    const Case cases[] = {
        {2, "protected field", true, 2},
        {7, "input field", false, 7},
        {10, "numeric input field", false, 11},
        {8, "protected field", true, 9},  // on the attribute position itself
        {14, "input field", false, 15},
    };
    for (const auto& c : cases) {
        s.ps().setCursor(c.cursor);
        view.cursorMoved();
        EXPECT_EQ(a->text(QAccessible::Description), QString::fromLatin1(c.description))
            << c.cursor;
        EXPECT_EQ(a->state().readOnly, c.readOnly) << c.cursor;
        EXPECT_EQ(t->cursorPosition(), c.caret) << c.cursor;
    }
    SmallScreen unformatted(2, 4);
    TerminalView plain(unformatted.ps(), standardOptions(), {10, 20});
    EXPECT_EQ(accessibleOf(plain)->text(QAccessible::Description),
              QStringLiteral("unformatted screen"));
}

TEST(TerminalAccessible, CharacterRectanglesFollowTheCells) {
    SmallScreen s(2, 5);
    TerminalView view(s.ps(), standardOptions(), {10, 20});
    auto* t = accessibleOf(view)->textInterface();
    const QRect r = t->characterRect(6 + 2);  // row 1, column 2
    EXPECT_EQ(r.size(), QSize(10, 20));
    EXPECT_EQ(view.mapFromGlobal(r.topLeft()), QPoint(20, 20));
    EXPECT_EQ(t->offsetAtPoint(view.mapToGlobal(QPoint(25, 30))), 8);
    EXPECT_EQ(t->characterRect(5), QRect());  // the line break
    EXPECT_EQ(t->offsetAtPoint(view.mapToGlobal(QPoint(999, 5))), -1);
}

// The text a screen reader gets is the text cedar_replay prints for the same recording.
TEST(TerminalAccessible, SameTextAsTheReplayTool) {
    const auto dir = cedar::test::recordingsDir();
    CEDAR_REQUIRE_ORACLE(dir, "the recordings folder (../shared/fixtures/recordings)");
    const std::string countryText = cedar::test::readFile(cedar::test::dataDir() + "/country.lst");
    for (const char* file : {"ibmlink.trc", "login.trc", "sruvm.trc", "vampstream.txt",
                             "hercules-3.13-logo.trc", "all_chars.trc", "ibmlink_help.trc"}) {
        const std::string path = *dir + "/" + file;
        const auto blocks = recording::parseRecording(cedar::test::readFile(path));
        ScreenSessionOptions options;
        options.modelIndex = recording::announcedModel(blocks).value_or(2) - 2;
        Session session({}, options);
        loadCountryText(countryText, CountryMode::Screen, {"", "ANSI 1252", ""}, session.codePages);
        // Through the Telnet layer, as the replay tool and a live session take them.
        class Ignore : public TelnetEvents {
            void sendRaw(std::span<const std::uint8_t>) override {}
        } events;
        ProtocolState state;
        HostScreen screen(session.screen, session.records, session.codePages, session.status);
        TelnetLayer telnet(state, session.codePages, session.status, screen, events);
        telnet.setConfig({.tn3270eAllowed = true, .luName = ""});
        telnet.setTerminalType(
            session.models[static_cast<std::size_t>(options.modelIndex)].terminalType);
        telnet.connectionStarted();
        for (const auto& b : blocks)
            if (b.direction == recording::Direction::FromHost) telnet.dataReceived(b.bytes);
        TerminalView view(session.screen, standardOptions(), {9, 18});

        QProcess replay;
        replay.start(QStringLiteral(CEDAR_REPLAY_PROGRAM),
                     {QString::fromStdString(path), QStringLiteral("--text-only")});
        ASSERT_TRUE(replay.waitForFinished(30000)) << file;
        QString printed = QString::fromUtf8(replay.readAllStandardOutput());
        if (printed.endsWith(QLatin1Char('\n'))) printed.chop(1);
        EXPECT_EQ(accessibleOf(view)->text(QAccessible::Value), printed) << file;
    }
}

}  // namespace
}  // namespace cedar::display::qt
