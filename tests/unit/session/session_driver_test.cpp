// The session driver on a manual clock: connection requests, the first-record
// timer, host closes, connect time-outs, connection errors, requests of other
// processes, closing and the end of the session.
#include "session/session_driver.h"

#include <gtest/gtest.h>

#include "driver_fakes.h"

namespace cedar {
namespace {

using sessionfile::Field;
using test::DriverRig;
using M = ConnectMode;

// ---------------------------------------------------------------------------
// Connection requests.

TEST(SessionDriverConnect, ReloadsTheFileStartsTheLinkAndWritesLastSession) {
    DriverRig r;
    r.setOption(Field::ConnectionTimeout, 12);
    EXPECT_EQ(r.d().connect(M::User), 1);
    EXPECT_EQ(r.store.loads, (std::vector<std::string>{"work.ses"}));
    EXPECT_EQ(r.link.started, (std::vector<std::string>{"MVS1"}));
    EXPECT_EQ(r.session.status, SessionStatus::Connecting);
    EXPECT_EQ(r.d().connectCountdown(), 12);
    EXPECT_EQ(r.settingsStore.lastSessions, (std::vector<std::string>{"work.ses"}));
    EXPECT_EQ(r.ui.requested, 1);
    EXPECT_TRUE(r.ui.dialogs.empty());
}

TEST(SessionDriverConnect, AFileThatCannotBeReloadedStartsNothing) {
    DriverRig r({"gone.ses", true, ""});
    EXPECT_EQ(r.d().connect(M::User), 0);
    EXPECT_TRUE(r.link.started.empty());
    EXPECT_TRUE(r.settingsStore.lastSessions.empty());
    EXPECT_EQ(r.ui.requested, 0);
    EXPECT_FALSE(r.d().connectionStarted());
}

TEST(SessionDriverConnect, NoSessionSaveKeepsTheHostValuesInForce) {
    for (const int noSessionSave : {0, 1}) {
        DriverRig r;
        r.settings.noSessionSave = noSessionSave;
        r.file.options.setText(Field::HostName, "TYPED");
        r.file.options.setText(Field::IpName, "typed.example");
        r.file.options.setText(Field::LuName, "LU42");
        r.file.options.setNumber(Field::Port, 992);
        r.d().connect(M::User);
        const bool kept = noSessionSave != 0;
        EXPECT_EQ(r.file.options.text(Field::HostName), kept ? "TYPED" : "MVS1") << noSessionSave;
        EXPECT_EQ(r.file.options.text(Field::IpName), kept ? "typed.example" : "MVS1.example");
        EXPECT_EQ(r.file.options.number(Field::Port), kept ? 992 : 23);
        EXPECT_EQ(r.link.started.back(), kept ? "TYPED" : "MVS1");
    }
}

TEST(SessionDriverConnect, AReconnectInForceKeepsTheChangedRecord) {
    DriverRig r;
    r.d().connect(M::User);
    r.file.options.setText(Field::HostName, "CHANGED");
    EXPECT_EQ(r.d().reconnectInForce(), 1);
    EXPECT_EQ(r.store.loads.size(), 1u) << "the file was read again";
    EXPECT_EQ(r.link.started, (std::vector<std::string>{"MVS1", "CHANGED"}));
    EXPECT_EQ(r.file.options.text(Field::HostName), "CHANGED");
    EXPECT_EQ(r.session.status, SessionStatus::Connecting);
    EXPECT_EQ(r.ui.requested, 2);

    DriverRig none({"", false, ""});
    EXPECT_EQ(none.d().reconnectInForce(), 1);
    EXPECT_EQ(none.ui.dialogs.size(), 1u);
    EXPECT_TRUE(none.link.started.empty());
}

TEST(SessionDriverConnect, WithoutAFileTheSessionDialogDecides) {
    DriverRig r({"", false, ""});
    r.session.status = SessionStatus::NotConnected;
    EXPECT_EQ(r.d().connect(M::User), 1);
    EXPECT_EQ(r.session.status, SessionStatus::Start);
    ASSERT_EQ(r.ui.dialogs.size(), 1u);
    EXPECT_TRUE(r.d().dialogOpen());
    // A second request while it is open opens no second dialog.
    r.d().connect(M::User);
    EXPECT_EQ(r.ui.dialogs.size(), 1u);

    r.d().sessionDialogClosed(false);
    EXPECT_TRUE(r.link.started.empty());
    EXPECT_EQ(r.session.status, SessionStatus::Start);
    EXPECT_TRUE(r.settingsStore.lastSessions.empty());

    r.d().connect(M::User);
    r.d().sessionDialogClosed(true, "other.ses");
    EXPECT_EQ(r.link.started.size(), 1u);
    EXPECT_EQ(r.d().sessionFileName(), "other.ses");
    EXPECT_TRUE(r.d().sessionLoaded());
    EXPECT_EQ(r.settingsStore.lastSessions, (std::vector<std::string>{"other.ses"}));
}

// ---------------------------------------------------------------------------
// The first record of a connection.

TEST(SessionDriverFirstRecord, OneSecondLaterBackupAndMacrosOncePerConnection) {
    DriverRig r({"work.ses", true, "LOGON"});
    r.d().connect(M::User);
    r.d().firstRecordArrived();
    r.d().firstRecordArrived();  // later blocks of the same connection
    r.clock.advance(999);
    EXPECT_EQ(r.store.backups, 0);
    EXPECT_TRUE(r.macros.log.empty());
    r.clock.advance(1);
    EXPECT_EQ(r.store.backups, 1);
    EXPECT_EQ(r.macros.log, (std::vector<std::string>{"file LOGON", "startup"}));
    r.clock.advance(5000);
    EXPECT_EQ(r.store.backups, 1);

    // The next connection: the backup and STARTUPMACRO again, /M not.
    r.d().connect(M::User);
    r.d().firstRecordArrived();
    r.clock.advance(1000);
    EXPECT_EQ(r.store.backups, 2);
    EXPECT_EQ(r.macros.log, (std::vector<std::string>{"file LOGON", "startup", "startup"}));
}

TEST(SessionDriverFirstRecord, NoMacroOnReconnectSkipsStartupMacroOnlyOnAutomaticReconnects) {
    struct Case {
        int setting;
        ConnectMode mode;
        bool runs;
    };
    for (const Case c : {Case{0, M::User, true}, Case{0, M::AutoReconnect, true},
                         Case{1, M::User, true}, Case{1, M::AutoReconnect, false}}) {
        DriverRig r;
        r.settings.noMacroOnReconnect = c.setting;
        r.d().connect(c.mode);
        r.d().firstRecordArrived();
        r.clock.advance(1000);
        EXPECT_EQ(r.macros.log.size(), c.runs ? 1u : 0u) << c.setting;
        EXPECT_EQ(r.store.backups, 1);
    }
}

TEST(SessionDriverFirstRecord, AConnectionThatEndsFirstRunsNoStartOfConnectionWork) {
    DriverRig r;
    r.d().connect(M::User);
    r.d().firstRecordArrived();
    r.clock.advance(500);
    r.link.hostEnds();
    r.clock.advance(5000);
    EXPECT_EQ(r.store.backups, 0);
    EXPECT_TRUE(r.macros.log.empty());
}

// ---------------------------------------------------------------------------
// The host closes the connection.

TEST(SessionDriverHostClosed, StaggeredSaveThenReconnectCloseOrNothing) {
    struct Case {
        const char* name;
        int autoReconnect;
        int closeOnDisconnect;
        int index;
        std::int64_t delay;
        int starts;  // connections started in all
        int closes;  // close requests
    };
    const Case cases[] = {
        {"nothing", 0, 0, 0, 370, 1, 0},
        {"reconnect, session 9", 1, 0, 35, 20, 2, 0},
        {"close on disconnect, session B", 0, 1, 1, 360, 1, 1},
        {"AUTORECONNECT wins over CloseOnDisconnect", 1, 1, 2, 350, 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DriverRig r;
        r.identity.id = c.index;
        r.settings.closeOnDisconnect = c.closeOnDisconnect;
        r.setOption(Field::AutoReconnect, c.autoReconnect);
        r.connected();
        r.link.hostEnds();
        EXPECT_EQ(r.session.status, SessionStatus::NotConnected);
        EXPECT_FALSE(r.link.secureFlag);
        EXPECT_GE(r.link.lineModeLeft, 1);
        r.clock.advance(c.delay - 1);
        EXPECT_TRUE(r.store.saves.empty());
        EXPECT_EQ(r.link.started.size(), 1u);
        r.clock.advance(1);
        ASSERT_EQ(r.store.saves.size(), 1u);
        EXPECT_FALSE(r.store.saves[0].explicitSave);
        EXPECT_EQ(r.link.started.size(), static_cast<std::size_t>(c.starts));
        EXPECT_EQ(r.ui.closeRequests, c.closes);
        if (c.starts == 2) {
            EXPECT_EQ(r.d().mode(), M::AutoReconnect);
        }
    }
}

TEST(SessionDriverHostClosed, RejectedStaysAndNothingFollows) {
    DriverRig r;
    r.setOption(Field::AutoReconnect, 1);
    r.settings.closeOnDisconnect = 1;
    r.d().connect(M::User);
    r.session.status = SessionStatus::Rejected;
    r.link.hostEnds();
    EXPECT_EQ(r.session.status, SessionStatus::Rejected);
    r.clock.advance(5000);
    EXPECT_EQ(r.session.status, SessionStatus::Rejected);
    EXPECT_TRUE(r.store.saves.empty());
    EXPECT_EQ(r.link.started.size(), 1u);
    EXPECT_EQ(r.ui.closeRequests, 0);
}

TEST(SessionDriverHostClosed, AConnectRequestDuringTheDelaySavesFirstAndReplacesTheReconnect) {
    DriverRig r;
    r.setOption(Field::AutoReconnect, 1);
    r.connected();
    r.link.hostEnds();
    r.clock.advance(100);
    r.d().connect(M::User);
    EXPECT_EQ(r.store.saves.size(), 1u);
    EXPECT_EQ(r.link.started.size(), 2u);
    r.clock.advance(1000);
    EXPECT_EQ(r.link.started.size(), 2u);  // no second reconnect
    EXPECT_EQ(r.d().mode(), M::User);
}

TEST(SessionDriverHostClosed, NotLoadedSessionIsNeverSaved) {
    DriverRig r({"", false, ""});
    r.setOption(Field::AutoReconnect, 0);
    r.d().connect(M::User);
    r.d().sessionDialogClosed(true);  // connected from the record, no file
    r.link.hostEnds();
    r.clock.advance(1000);
    r.d().endSession();
    r.clock.advance(1000);
    EXPECT_TRUE(r.store.saves.empty());
    EXPECT_EQ(r.ui.quits, (std::vector<int>{0}));
}

// The command line's choices hold through every reload of the session file
// (which brings the record's own values back) and never reach the record.
TEST(SessionDriverOverrides, HoldThroughReloadsAndStayOutOfTheRecord) {
    struct Case {
        const char* name;
        int recordReconnect;
        std::optional<bool> reconnect;
        std::optional<int> timeout;
        std::size_t starts;  // after a host close
        int countdown;
    };
    const Case cases[] = {
        {"record only", 1, std::nullopt, std::nullopt, 2, 30},
        {"reconnect on over the record's off", 0, true, 7, 2, 7},
        {"reconnect off over the record's on", 1, false, std::nullopt, 1, 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DriverRig r;
        r.identity.id = 35;
        r.setOption(Field::AutoReconnect, c.recordReconnect);
        r.d().setOverrides({c.timeout, c.reconnect});
        r.connected();
        EXPECT_EQ(r.d().connectCountdown(), c.countdown);
        r.link.hostEnds();
        EXPECT_TRUE(r.d().hostClosePending());
        r.clock.advance(20);
        EXPECT_FALSE(r.d().hostClosePending());
        EXPECT_EQ(r.link.started.size(), c.starts);
        if (c.starts == 2) {
            EXPECT_EQ(r.d().connectCountdown(), c.countdown) << "after the reload";
        }
        EXPECT_EQ(r.file.options.number(Field::AutoReconnect), c.recordReconnect);
        EXPECT_EQ(r.file.options.number(Field::ConnectionTimeout), 30);
    }
}

TEST(SessionDriverDisconnect, EndsTheConnectionAndWhatWouldHaveFollowedIt) {
    DriverRig r;
    r.setOption(Field::AutoReconnect, 1);
    r.connected();
    r.session.screen.characters()[0] = 'X';
    r.d().disconnect();
    EXPECT_EQ(r.link.closes, 1);
    EXPECT_EQ(r.session.status, SessionStatus::NotConnected);
    EXPECT_FALSE(r.link.secureFlag);
    EXPECT_EQ(r.link.lineModeLeft, 1);
    EXPECT_NE(r.session.screen.characters()[0], 'X');
    r.clock.advance(5000);
    EXPECT_EQ(r.store.backups, 0) << "the first-record timer went with the connection";
    EXPECT_TRUE(r.store.saves.empty());
    EXPECT_EQ(r.link.started.size(), 1u);

    // During the delay after a host close: the save now, no reconnect later.
    r.connected();
    r.link.hostEnds();
    r.clock.advance(100);
    r.d().disconnect();
    EXPECT_EQ(r.store.saves.size(), 1u);
    EXPECT_FALSE(r.d().hostClosePending());
    r.clock.advance(5000);
    EXPECT_EQ(r.link.started.size(), 2u);
    EXPECT_EQ(r.session.status, SessionStatus::NotConnected);
}

// ---------------------------------------------------------------------------
// Connect time-out.

TEST(SessionDriverTimeout, UserRequestReportsAndRetryFollowsTimeoutDialog) {
    struct Case {
        int timeoutDialog;
        MessageAnswer answer;
    };
    for (const Case c : {Case{1, MessageAnswer::Retry}, Case{0, MessageAnswer::Retry},
                         Case{1, MessageAnswer::Cancel}}) {
        SCOPED_TRACE(testing::Message() << "TimeoutDialog " << c.timeoutDialog << " answer "
                                        << static_cast<int>(c.answer));
        DriverRig r;
        r.settings.timeoutDialog = c.timeoutDialog;
        r.setOption(Field::ConnectionTimeout, 3);
        r.d().connect(M::User);
        r.clock.advance(2000);
        EXPECT_EQ(r.d().connectCountdown(), 1);
        EXPECT_TRUE(r.ui.messages.empty());
        r.clock.advance(1000);
        EXPECT_EQ(r.session.status, SessionStatus::NotConnected);
        EXPECT_EQ(r.link.closes, 1);
        ASSERT_EQ(r.ui.messages.size(), 1u);
        EXPECT_EQ(
            r.ui.messages[0],
            (DriverMessage{"Cedar TN3270 Connection Error 1", "Timeout while connecting to MVS1",
                           MessageIcon::Warning, MessageButtons::RetryCancel}));
        r.d().answer(c.answer);
        if (c.answer == MessageAnswer::Cancel) {
            EXPECT_EQ(r.ui.windowShown, 1);
            EXPECT_EQ(r.link.started.size(), 1u);
            EXPECT_EQ(r.d().sessionFileName(), "work.ses");
        } else if (c.timeoutDialog != 0) {
            // The dialog opens on the file chosen before; the name is gone.
            EXPECT_EQ(r.ui.dialogs, (std::vector<std::string>{"work.ses"}));
            EXPECT_EQ(r.d().sessionFileName(), "");
            EXPECT_EQ(r.link.started.size(), 1u);
        } else {
            EXPECT_TRUE(r.ui.dialogs.empty());
            EXPECT_EQ(r.store.loads.size(), 2u);
            EXPECT_EQ(r.link.started.size(), 2u);
            EXPECT_EQ(r.d().mode(), M::User);
        }
    }
}

TEST(SessionDriverTimeout, AutomaticReconnectTimesOutSilently) {
    DriverRig r;
    r.setOption(Field::ConnectionTimeout, 2);
    r.d().connect(M::AutoReconnect);
    r.clock.advance(10000);
    EXPECT_EQ(r.session.status, SessionStatus::NotConnected);
    EXPECT_TRUE(r.ui.messages.empty());
    EXPECT_EQ(r.link.started.size(), 1u);
    EXPECT_EQ(r.link.closes, 1);
}

TEST(SessionDriverTimeout, OnlyTheConnectingStatusCountsDown) {
    DriverRig r;
    r.setOption(Field::ConnectionTimeout, 2);
    r.d().connect(M::User);
    r.session.status = SessionStatus::Connected;  // the first block came in
    r.clock.advance(10000);
    EXPECT_TRUE(r.ui.messages.empty());
    EXPECT_EQ(r.d().connectCountdown(), 2);
    EXPECT_EQ(r.link.closes, 0);
}

// ---------------------------------------------------------------------------
// Connection errors and the messages of the link.

TEST(SessionDriverConnectionError, RetryGoesThroughTheSessionDialog) {
    for (const auto answer : {MessageAnswer::Retry, MessageAnswer::Cancel}) {
        DriverRig r;
        r.d().connect(M::User);
        r.link.open = false;
        r.link.events->connectionError("Host not found");
        EXPECT_EQ(r.session.status, SessionStatus::NotConnected);
        ASSERT_EQ(r.ui.messages.size(), 1u);
        EXPECT_EQ(r.ui.messages[0].title, "Cedar TN3270 Connection Error 2");
        EXPECT_EQ(r.ui.messages[0].text, "Host not found");
        EXPECT_EQ(r.ui.messages[0].buttons, MessageButtons::RetryCancel);
        r.d().answer(answer);
        const bool retry = answer == MessageAnswer::Retry;
        EXPECT_EQ(r.d().sessionFileName(), retry ? "" : "work.ses");
        EXPECT_EQ(r.ui.dialogs, retry ? std::vector<std::string>{""} : std::vector<std::string>{});
        EXPECT_FALSE(r.d().messagePending());
    }
}

TEST(SessionDriverConnectionError, MessagesAreShownOneAtATime) {
    DriverRig r;
    r.d().connect(M::User);
    r.link.events->linkMessage("Cedar TN3270 Connection Error 3", "Device type rejected");
    r.link.events->connectionError("Connection refused");
    ASSERT_EQ(r.ui.messages.size(), 1u);
    r.d().answer(MessageAnswer::Ok);
    ASSERT_EQ(r.ui.messages.size(), 2u);
    EXPECT_EQ(r.ui.messages[1].title, "Cedar TN3270 Connection Error 2");
    r.d().answer(MessageAnswer::Cancel);
    EXPECT_FALSE(r.d().messagePending());
    r.d().answer(MessageAnswer::Retry);  // nothing is asked: ignored
    EXPECT_TRUE(r.ui.dialogs.empty());
}

// ---------------------------------------------------------------------------
// Requests of other processes.

TEST(SessionDriverRequests, RequestTextMustEndInsideTheField) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> field;
        std::optional<std::string> text;
    };
    auto withNul = [](std::string s, std::size_t size) {
        std::vector<std::uint8_t> f(s.begin(), s.end());
        f.resize(size, 0);
        return f;
    };
    const std::string max(259, 'm');
    const Case cases[] = {
        {"short text", withNul("MAC1", 260), "MAC1"},
        {"259 characters and the NUL", withNul(max, 260), max},
        {"260 bytes without NUL", std::vector<std::uint8_t>(260, 'x'), std::nullopt},
        {"259 bytes, no room for a NUL", std::vector<std::uint8_t>(259, 'x'), std::nullopt},
        {"NUL only after the field", withNul(std::string(1001, 'y'), 1002), std::nullopt},
        {"empty field", {}, std::nullopt},
        {"empty text", withNul("", 260), ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(requestText(c.field), c.text) << c.name;
}

TEST(SessionDriverRequests, MacroRequestsRunFromTheSlotAndBadOnesAreIgnored) {
    DriverRig r;
    r.identity.setRequest("PAYROLL");
    r.d().sessionRequest(request::kRunMacroFile);
    r.identity.setRequest("Key(\"PF3\")");
    r.d().sessionRequest(request::kRunMacroText);
    // Ignored: no NUL in the field, a macro text too long, an empty text, an
    // unreadable common area, codes that are not ours.
    r.identity.field = std::vector<std::uint8_t>(260, 'x');
    r.d().sessionRequest(request::kRunMacroFile);
    r.identity.field = std::vector<std::uint8_t>(1001, 'y');
    r.identity.field->push_back(0);
    r.d().sessionRequest(request::kRunMacroText);
    r.identity.setRequest("");
    r.d().sessionRequest(request::kRunMacroFile);
    r.identity.field.reset();
    r.d().sessionRequest(request::kRunMacroText);
    r.identity.setRequest("X");
    r.d().sessionRequest(0x401);
    r.d().sessionRequest(request::kRefreshWindowList, 0x1234);
    EXPECT_EQ(r.macros.log, (std::vector<std::string>{"file PAYROLL", "text Key(\"PF3\")"}));
    EXPECT_EQ(r.identity.refreshes, (std::vector<std::uintptr_t>{0x1234}));
    EXPECT_FALSE(r.d().ending());
}

TEST(SessionDriverRequests, WaitWhileAMessageIsOpenWithTheirTextsOfArrival) {
    DriverRig r;
    r.d().connect(M::User);
    r.link.events->connectionError("Connection refused");
    ASSERT_TRUE(r.d().messagePending());
    r.identity.setRequest("FIRST");
    r.d().sessionRequest(request::kRunMacroFile);
    r.identity.setRequest("SECOND");  // the slot is overwritten later
    r.d().sessionRequest(request::kRunMacroText);
    r.d().sessionRequest(request::kShutdown);
    r.d().sessionRequest(request::kRefreshWindowList);  // at once
    EXPECT_TRUE(r.macros.log.empty());
    EXPECT_EQ(r.identity.refreshes.size(), 1u);
    EXPECT_EQ(r.d().deferredCount(), 3u);
    EXPECT_FALSE(r.d().ending());

    r.d().answer(MessageAnswer::Cancel);
    EXPECT_EQ(r.macros.log, (std::vector<std::string>{"file FIRST", "text SECOND"}));
    EXPECT_TRUE(r.d().ending());
    r.clock.advance(370);
    EXPECT_EQ(r.ui.quits, (std::vector<int>{0}));
}

TEST(SessionDriverRequests, AFloodWhileAMessageIsOpenIsCut) {
    DriverRig r;
    r.link.events->linkMessage("Send Error", "broken pipe");
    r.identity.setRequest("M");
    for (int i = 0; i < 1000; ++i)
        r.d().sessionRequest(request::kRunMacroFile);
    EXPECT_EQ(r.d().deferredCount(), SessionDriver::kMaxDeferred);
    r.d().answer(MessageAnswer::Ok);
    EXPECT_EQ(r.macros.log.size(), SessionDriver::kMaxDeferred);
}

TEST(SessionDriverRequests, ShutdownRunsTheShutDownMacroOnceThenEnds) {
    DriverRig r;
    r.settingsStore.shutDown = "BYE";
    r.d().sessionRequest(request::kShutdown);
    EXPECT_EQ(r.macros.log, (std::vector<std::string>{"file BYE"}));
    EXPECT_FALSE(r.d().ending());
    r.d().sessionRequest(request::kShutdown);  // BYE is the current macro now
    EXPECT_TRUE(r.d().ending());
    EXPECT_TRUE(r.ui.messages.empty());  // never asks
}

// ---------------------------------------------------------------------------
// Closing and the end of the session.

TEST(SessionDriverClose, WangShutDownMacroAndTheQuestion) {
    {
        DriverRig r;  // Wang refuses while connected, allows when not
        r.settings.wang = 1;
        r.connected();
        r.d().close();
        EXPECT_FALSE(r.d().ending());
        r.session.status = SessionStatus::NotConnected;
        r.d().close();
        EXPECT_TRUE(r.d().ending());
    }
    {
        DriverRig r;  // ShutDownMacro runs instead; the second close closes
        r.settingsStore.shutDown = "BYE";
        r.d().close();
        EXPECT_EQ(r.macros.log, (std::vector<std::string>{"file BYE"}));
        EXPECT_EQ(r.ui.destroyed, 0);
        r.d().close();
        EXPECT_EQ(r.ui.destroyed, 1);
    }
    {
        DriverRig r;  // no macro can be played: the close goes ahead at once
        r.settingsStore.shutDown = "BYE";
        r.macros.canPlay = false;
        r.d().close();
        EXPECT_EQ(r.ui.destroyed, 1);
        DriverRig s;
        s.settingsStore.shutDown = "BYE";
        s.macros.canPlay = false;
        s.d().sessionRequest(request::kShutdown);
        EXPECT_TRUE(s.d().ending());
    }
    struct Ask {
        bool connectionStarted;
        SessionStatus status;
        bool asks;
    };
    for (const Ask a : {Ask{false, SessionStatus::NotConnected, true},
                        Ask{true, SessionStatus::NotConnected, false},
                        Ask{true, SessionStatus::Unlocked, true}}) {
        DriverRig r;
        r.identity.id = 2;
        r.setOption(Field::AskBeforeClosing, 1);
        if (a.connectionStarted) r.d().connect(M::User);
        r.session.status = a.status;
        r.d().close();
        if (!a.asks) {
            EXPECT_EQ(r.ui.destroyed, 1);
            continue;
        }
        ASSERT_EQ(r.ui.messages.size(), 1u);
        EXPECT_EQ(r.ui.messages[0],
                  (DriverMessage{"Cedar TN3270", "Ok to close session C ?", MessageIcon::Question,
                                 MessageButtons::OkCancel}));
        r.d().close();  // asked again while the question is open
        r.d().answer(MessageAnswer::Cancel);
        EXPECT_EQ(r.ui.destroyed, 0);
        EXPECT_FALSE(r.d().ending());
        EXPECT_EQ(r.ui.messages.size(), 1u);
        r.d().close();
        r.d().answer(MessageAnswer::Ok);
        EXPECT_EQ(r.ui.destroyed, 1);
        EXPECT_TRUE(r.d().ending());
    }
}

TEST(SessionDriverEnd, RunsOnceAfterTheStaggeredDelay) {
    DriverRig r;
    r.identity.id = 0;
    r.connected();
    r.d().close();
    r.d().close();
    r.d().endSession();
    r.d().sessionRequest(request::kShutdown);
    EXPECT_EQ(r.link.closes, 1);
    r.clock.advance(369);
    EXPECT_TRUE(r.store.saves.empty());
    EXPECT_TRUE(r.ui.quits.empty());
    r.clock.advance(1);
    ASSERT_EQ(r.store.saves.size(), 1u);
    EXPECT_TRUE(r.store.saves[0].explicitSave);
    EXPECT_EQ(r.identity.releases, 1);
    EXPECT_EQ(r.ui.destroyed, 1);
    EXPECT_EQ(r.ui.released, 1);
    EXPECT_EQ(r.ui.quits, (std::vector<int>{0}));
    EXPECT_TRUE(r.d().ended());
    // Nothing runs any more: no tick, no connection, no request.
    EXPECT_EQ(r.clock.timerCount(), 0u);
    EXPECT_EQ(r.d().connect(M::User), 0);
    r.link.hostEnds();
    r.clock.advance(5000);
    EXPECT_EQ(r.store.saves.size(), 1u);
    EXPECT_EQ(r.link.started.size(), 1u);
}

TEST(SessionDriverEnd, AFailedStartUpNeitherSavesNorReleasesAnUnclaimedId) {
    DriverRig r({"work.ses", false, ""});
    r.identity.id = SessionIdentity::kNoIndex;
    r.d().endSession();
    r.clock.advance(370);
    EXPECT_TRUE(r.store.saves.empty());
    EXPECT_EQ(r.identity.releases, 0);
    EXPECT_EQ(r.ui.quits, (std::vector<int>{0}));
}

TEST(SessionDriverEnd, AHostCloseDuringTheEndNeitherSavesTwiceNorReconnects) {
    DriverRig r;
    r.identity.id = 35;
    r.setOption(Field::AutoReconnect, 1);
    r.connected();
    r.link.hostEnds();  // the staggered save and reconnect are waiting
    r.d().endSession();
    r.clock.advance(1000);
    EXPECT_EQ(r.store.saves.size(), 1u);
    EXPECT_TRUE(r.store.saves[0].explicitSave);
    EXPECT_EQ(r.link.started.size(), 1u);
}

// ---------------------------------------------------------------------------
// The tick.

TEST(SessionDriverTick, MacroStatusCharacterBlinksWithTheMacroState) {
    struct Case {
        std::uint8_t state;
        char mark;
    };
    for (const Case c : {Case{1, 'R'}, Case{2, 'P'}, Case{3, 'X'}, Case{4, 'P'}, Case{5, 'P'}}) {
        DriverRig r;
        r.macros.macroState = c.state;
        std::string seen;
        for (int i = 0; i < 6; ++i) {
            r.clock.advance(166);
            seen += r.d().macroStatusChar();
        }
        // Ticks 1..5 then 0.
        EXPECT_EQ(seen, std::string("  ") + c.mark + c.mark + c.mark + ' ') << int(c.state);
        r.macros.macroState = 0;
        r.clock.advance(166 * 4);
        EXPECT_EQ(r.d().macroStatusChar(), ' ');
    }
}

TEST(SessionDriverTick, KeepAliveStepOnceASecondWithTheConnectedFlag) {
    DriverRig r;
    r.d().connect(M::User);
    r.clock.advance(996);
    r.session.status = SessionStatus::Unlocked;
    r.clock.advance(996);
    r.session.status = SessionStatus::Rejected;
    r.clock.advance(996);
    EXPECT_EQ(r.link.seconds, (std::vector<bool>{false, true, true}));
    EXPECT_EQ(r.ui.ticks.size(), 18u);
    EXPECT_EQ(r.d().tickNumber(), 0);
}

TEST(SessionDriverTick, MacroWaitTimerEndsTheWait) {
    struct Case {
        std::uint8_t state;
        std::vector<std::string> log;
    };
    const Case cases[] = {{0, {}},
                          {1, {}},
                          {4, {"clear", "timeout"}},
                          {5, {"clear", "resume"}},
                          {2, {"clear", "resume"}}};
    for (const Case& c : cases) {
        DriverRig r;
        r.macros.macroState = c.state;
        r.d().startMacroWait(std::chrono::milliseconds(500));
        EXPECT_TRUE(r.d().macroWaitRunning());
        r.clock.advance(499);
        EXPECT_TRUE(r.macros.log.empty());
        r.clock.advance(1);
        EXPECT_EQ(r.macros.log, c.log) << int(c.state);
        EXPECT_FALSE(r.d().macroWaitRunning());
    }
    DriverRig r;
    r.macros.macroState = 4;
    r.d().startMacroWait(std::chrono::milliseconds(500));
    r.d().stopMacroWait();
    r.clock.advance(1000);
    EXPECT_TRUE(r.macros.log.empty());
}

}  // namespace
}  // namespace cedar
