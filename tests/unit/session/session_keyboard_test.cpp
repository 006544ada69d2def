// The keyboard wired into the session: key functions send through the host
// link, the host's keyboard restore replays the type-ahead queue and takes
// the Undo image, the earlier session events keep their calls, and in line
// mode typed characters go out raw, traced and echoed.
#include "session/session_keyboard.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "fake_connector.h"
#include "host/trace.h"
#include "manual_scheduler.h"
#include "memory_sink.h"
#include "record_builder.h"

namespace cedar {
namespace {

using namespace telnet;
using keys::KeyOutcome;
using keys::KeySource;
using Bytes_ = std::vector<std::uint8_t>;

constexpr auto kKeyboard = KeySource::Keyboard;

struct Harness {
    Harness() {
        t.session.keyboardSettings.typeAhead = true;
        ConnectionOptions options;
        options.host = "host";
        link.connect(options, {});
        connector.up();
    }
    // Ends line mode (RFC 885 end of record) and shows a screen.
    void show(Bytes_ record) {
        connector.receive({kIac, kDo, kOptEndOfRecord});
        host(std::move(record));
    }
    void host(Bytes_ record) {
        record.insert(record.end(), {kIac, kEor});
        connector.receive(record);
    }
    Bytes_ lastSent() const { return connector.current->sent.back(); }
    KeyOutcome key(keys::KeyWord word) { return keyboard.performKey(word, kKeyboard); }
    KeyOutcome type(char c) { return key(keys::charKey(static_cast<std::uint8_t>(c))); }
    // The first three positions of the form's input field, nulls as '.'.
    std::string field() {
        std::string out;
        for (int p = 6; p < 9; ++p)
            out += t.ps().characters()[p] == 0 ? '.' : static_cast<char>(t.ps().characters()[p]);
        return out;
    }

    test::TestSession t;
    test::FakeConnector connector;
    test::ManualScheduler scheduler;
    LinkUi ui;
    HostLink link{t.session, connector, scheduler, ui};
    SessionKeyboard keyboard{t.session, link};
};

// "NAME" protected, an unprotected field at 5 (data 6..15), protected at 16.
Bytes_ form() {
    return test::RecordBuilder(0xF5, 0xC3)
        .sf(0x60)
        .text("NAME")
        .sf(0x40)
        .ic()
        .sba(16)
        .sf(0x60)
        .bytes();
}

TEST(SessionKeyboard, TheHostsRestoreReplaysKeysTypedAhead) {
    Harness h;
    h.show(form());
    ASSERT_EQ(h.t.session.status, SessionStatus::Unlocked);
    EXPECT_EQ(h.type('A'), KeyOutcome::Performed);
    EXPECT_EQ(h.key(keys::actionKey(keys::Action::Enter)), KeyOutcome::Performed);
    EXPECT_EQ(h.t.session.status, SessionStatus::SysLock);
    EXPECT_EQ(h.lastSent(), (Bytes_{0x7D, 0x40, 0xC7, 0x11, 0x40, 0xC6, 0xC1, kIac, kEor}))
        << "Enter: the AID, the cursor, the field \"A\", framed";

    // Locked: typed ahead.
    EXPECT_EQ(h.type('B'), KeyOutcome::Queued);
    EXPECT_EQ(h.key(keys::makeKey(keys::Kind::Action, 8)), KeyOutcome::Queued);  // PF3
    EXPECT_EQ(h.type('C'), KeyOutcome::Queued);
    const std::size_t sentBefore = h.connector.current->sent.size();

    // A write that restores the keyboard and keeps the modified data tags:
    // "B" is typed, PF3 goes out and locks again, "C" waits for the next restore.
    h.host({0xF1, 0x02});
    ASSERT_EQ(h.connector.current->sent.size(), sentBefore + 1);
    EXPECT_EQ(h.lastSent(), (Bytes_{0xF3, 0x40, 0xC8, 0x11, 0x40, 0xC6, 0xC1, 0xC2, kIac, kEor}));
    EXPECT_EQ(h.t.session.status, SessionStatus::SysLock);
    EXPECT_EQ(h.t.session.keyboard.typeAhead.size(), 1);
    h.host({0xF1, 0x02});
    EXPECT_EQ(h.field(), "ABC");
    EXPECT_EQ(h.t.session.status, SessionStatus::Unlocked);
    EXPECT_TRUE(h.t.session.keyboard.typeAhead.empty());
}

TEST(SessionKeyboard, UndoReturnsToTheScreenOfTheLastRestore) {
    Harness h;
    h.show(form());
    for (char c : std::string("XYZ"))
        h.type(c);
    EXPECT_EQ(h.field(), "XYZ");
    h.key(keys::editKey(keys::Edit::Undo));
    EXPECT_EQ(h.field(), "...") << "the screen as the host restored the keyboard";
    EXPECT_EQ(h.t.ps().cursor(), 6);
    h.key(keys::editKey(keys::Edit::Undo));
    EXPECT_EQ(h.field(), "XYZ") << "Undo again: the operator's screen";

    // A restore after more typing takes the new image.
    h.host({0xF1, 0x02});
    h.type('!');
    h.key(keys::editKey(keys::Edit::Undo));
    EXPECT_EQ(h.field(), "XYZ");
}

// Events installed before the keyboard still get every call; once the
// keyboard is gone they are installed again.
TEST(SessionKeyboard, EarlierSessionEventsKeepTheirCalls) {
    test::TestSession t;
    test::RecordingHooks earlier;
    t.session.records.setHooks(earlier.hooks());
    test::FakeConnector connector;
    test::ManualScheduler scheduler;
    LinkUi ui;
    HostLink link(t.session, connector, scheduler, ui);
    auto keyboard = std::make_unique<SessionKeyboard>(t.session, link);
    t.session.keyboardSettings.typeAhead = true;
    t.session.status = SessionStatus::SysLock;
    keyboard->performKey(keys::charKey('Q'), kKeyboard);             // typed ahead
    t.apply(test::RecordBuilder(0xF5, 0xC7).sf(0x40).ic().bytes());  // restore, alarm
    EXPECT_EQ(t.ps().characters()[1], 'Q') << "replayed";
    EXPECT_EQ(earlier.calls,
              (std::vector<std::string>{"alarm", "keyboardRestored", "replayTypeAhead"}));

    keyboard.reset();
    EXPECT_EQ(t.session.records.hooks().events, static_cast<SessionEvents*>(&earlier));
    t.apply(test::RecordBuilder(0xF1, 0x02).bytes());
    EXPECT_EQ(earlier.count("keyboardRestored"), 2);
}

// Before 3270 mode the session is a line-mode terminal: characters and
// Enter go out as they are, traced; they show on the screen until the host
// takes over echoing.
TEST(SessionKeyboard, LineModeSendsRawTracesAndEchoes) {
    Harness h;
    test::MemorySink sink;
    test::FixedClock clock;
    Trace trace(sink, clock, 'A', "Jan  1 2026");
    h.link.setTrace(&trace);
    trace.start();
    ASSERT_TRUE(h.link.protocol().lineMode);
    h.t.session.status = SessionStatus::Unlocked;
    h.type('h');
    h.type('i');
    h.key(keys::actionKey(keys::Action::Enter));
    const auto& sent = h.connector.current->sent;
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0], (Bytes_{'h'}));
    EXPECT_EQ(sent[1], (Bytes_{'i'}));
    EXPECT_EQ(sent[2], (Bytes_{0x0D, 0x0A}));
    EXPECT_EQ(h.t.row(0).substr(0, 2), "hi") << "echoed";
    EXPECT_EQ(h.t.ps().cursor(), 80) << "the echoed CR LF starts the next line";

    h.connector.receive({kIac, kWill, kOptEcho});  // the host echoes from now on
    const auto cursor = h.t.ps().cursor();
    h.type('x');
    EXPECT_EQ(h.lastSent(), (Bytes_{'x'}));
    EXPECT_EQ(h.t.ps().cursor(), cursor) << "no local echo";
    trace.stop();

    TraceFile file;
    std::string error;
    ASSERT_TRUE(parseTrace(sink.files[traceFileName('A')], file, error)) << error;
    std::vector<Bytes_> traced;
    for (const auto& r : file.records)
        if (r.type == static_cast<std::uint8_t>(TraceType::DataSent)) traced.push_back(r.body);
    ASSERT_GE(traced.size(), 4u);
    EXPECT_EQ(traced[0], (Bytes_{'h'}));
    EXPECT_EQ(traced[2], (Bytes_{0x0D, 0x0A}));
    EXPECT_EQ(traced.back(), (Bytes_{'x'}));
}

}  // namespace
}  // namespace cedar
