// cedar_headless's keyboard commands against the loopback test host: a logon
// typed into a user-id field and a non-display password field and sent with
// Enter (the host gets the password, the trace and the screen never show
// it); the answers to input errors and bad commands; keys typed ahead while
// the host has the keyboard locked, replayed at its restore; Reset, which
// acts at once; and a session that does not type ahead.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "headless_process.h"
#include "host/trace.h"
#include "peer_compare.h"
#include "record_builder.h"
#include "replay_host.h"
#include "screen/record_processor.h"
#include "test_paths.h"

namespace cedar {
namespace {

using test::kPeerWait;
using test::RecordBuilder;
using test::ReplayHost;
using Record = std::vector<std::uint8_t>;

// 24x80: user id at row 3 col 17 (positions 176..183), the non-display
// password at row 4 col 17 (256..263); the cursor starts in the user id.
constexpr int kUserId = 176;
constexpr int kPassword = 256;

Record logonScreen() {
    return RecordBuilder(cmd::kEraseWrite, 0xC3)
        .sba(5)
        .sf(0x60)
        .text("CEDAR LOGON")
        .sba(160)
        .sf(0x60)
        .text("USERID   ===>")
        .sba(kUserId - 1)
        .sf(0x40)
        .ic()
        .sba(kUserId + 8)
        .sf(0x60)
        .sba(240)
        .sf(0x60)
        .text("PASSWORD ===>")
        .sba(kPassword - 1)
        .sf(0x4C)
        .sba(kPassword + 8)
        .sf(0x60)
        .bytes();
}

// The 12-bit buffer address of a position (3270 data stream).
Record address(int position) {
    test::TestSession t;
    const auto a = t.ps().encodeBufferAddress(position);
    return {a[0], a[1]};
}

Record cat(std::initializer_list<Record> parts) {
    Record out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

bool contains(const Record& haystack, const Record& needle) {
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) !=
           haystack.end();
}

// The test host with one screen and cedar_headless connected to it.
struct Logon {
    explicit Logon(std::optional<Record> answer = std::nullopt,
                   const std::vector<std::pair<sessionfile::Field, std::int64_t>>& options = {})
        : session(options) {
        ReplayHost::Script s;
        s.records = {logonScreen()};
        s.answer = std::move(answer);
        host = std::make_unique<ReplayHost>(s);
    }
    ::testing::AssertionResult start() {
        if (!session.failure().empty()) return ::testing::AssertionFailure() << session.failure();
        if (!host->start()) return ::testing::AssertionFailure() << host->error();
        std::vector<std::string> args;
        if (!session.path().empty()) args = {"--session", session.path()};
        args.push_back("127.0.0.1:" + std::to_string(host->port()));
        if (!program.start(args)) return ::testing::AssertionFailure() << program.failure();
        for (const char* command : {"connect", "wait unlock 10"}) {
            const auto a = program.command(command);
            if (!a.ok) return ::testing::AssertionFailure() << command << ": " << a.error;
        }
        if (!host->waitForSync(kPeerWait))
            return ::testing::AssertionFailure() << "the screen was not taken in";
        return ::testing::AssertionSuccess();
    }
    std::string error(const std::string& command) { return program.command(command).error; }
    bool ok(const std::string& command) { return program.command(command).ok; }
    std::vector<std::string> lines(const std::string& command) {
        return program.command(command).lines;
    }
    std::string status() {
        const auto l = lines("status");
        return l.empty() ? "" : l[0];
    }

    test::TempSessionFile session;
    std::unique_ptr<ReplayHost> host;
    test::HeadlessProcess program{CEDAR_HEADLESS_PROGRAM, {}, kPeerWait};
};

TEST(HeadlessKeyboard, LogsOnAndTheTraceMasksThePassword) {
    Logon logon(RecordBuilder(cmd::kEraseWrite, 0xC3).text("READY").bytes());
    ASSERT_TRUE(logon.start());
    const auto trace = logon.program.command("trace start");
    ASSERT_TRUE(trace.ok) << trace.error;
    ASSERT_EQ(trace.lines.size(), 1u);
    ASSERT_EQ(trace.lines[0].rfind("trace ", 0), 0u);
    const std::string tracePath = trace.lines[0].substr(6);

    ASSERT_TRUE(logon.ok("type IBMUSER"));
    ASSERT_TRUE(logon.ok("key Tab"));
    ASSERT_TRUE(logon.ok("type S3CRET"));
    const auto screen = logon.lines("screen");
    ASSERT_GE(screen.size(), 4u);
    EXPECT_EQ(screen[2].substr(16, 7), "IBMUSER");
    EXPECT_EQ(screen[3].find("S3CRET"), std::string::npos) << "a non-display field shows nothing";
    ASSERT_TRUE(logon.ok("key Enter"));
    ASSERT_TRUE(logon.host->waitForRecords(1, kPeerWait));
    ASSERT_TRUE(logon.ok("wait unlock 10"));
    EXPECT_EQ(logon.lines("screen").at(0).substr(0, 5), "READY");
    ASSERT_TRUE(logon.ok("trace stop"));

    const Record sent = cat({{0x7D},
                             address(kPassword + 6),
                             {0x11},
                             address(kUserId),
                             test::ebcdic("IBMUSER"),
                             {0x11},
                             address(kPassword),
                             test::ebcdic("S3CRET")});
    ASSERT_EQ(logon.host->clientRecords().size(), 1u);
    EXPECT_EQ(test::hexOf(logon.host->clientRecords()[0]), test::hexOf(sent))
        << "AID, cursor, each modified field by its address";

    TraceFile file;
    std::string error;
    const std::string bytes = test::readFile(tracePath);
    ASSERT_TRUE(parseTrace(Record(bytes.begin(), bytes.end()), file, error)) << error;
    std::vector<Record> replies;
    for (const auto& r : file.records)
        if (r.type == static_cast<std::uint8_t>(TraceType::DataSent) && !r.body.empty() &&
            r.body[0] == 0x7D)
            replies.push_back(r.body);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_TRUE(contains(replies[0], test::ebcdic("IBMUSER")));
    EXPECT_TRUE(contains(replies[0], cat({address(kPassword), test::ebcdic("XXXXXX")})))
        << test::hexOf(replies[0]);
    EXPECT_FALSE(contains(replies[0], test::ebcdic("S3CRET")));
    EXPECT_EQ(replies[0].size(), sent.size() + 2) << "the frame: the record and IAC EOR";
}

TEST(HeadlessKeyboard, AnswersInputErrorsAndBadCommands) {
    Logon logon;
    ASSERT_TRUE(logon.start());
    EXPECT_EQ(logon.error("key NoSuchKey"), "Invalid Key Function");
    EXPECT_EQ(logon.error("key"), "usage: key NAME [ROW COL]");
    EXPECT_EQ(logon.error("key Tab 1 1"), "Tab takes no row and column");
    EXPECT_EQ(logon.error("key MoveCursor 3"), "Cursor move key functions need row,col parms");
    EXPECT_EQ(logon.error("key MoveCursor 25 1"), "row 25 column 1 is off the 24x80 screen");
    EXPECT_EQ(logon.error("type"), "usage: type TEXT");
    EXPECT_EQ(logon.error("cursor 1"), "usage: cursor ROW COL");
    EXPECT_EQ(logon.error("key Copy"), "Copy is not available in cedar_headless");
    EXPECT_EQ(logon.error("key PrintScreen"), "PrintScreen is not available in cedar_headless");

    // Into the protected title: refused, and the keyboard stays locked
    // until Reset.
    ASSERT_TRUE(logon.ok("key movecursor 1 8"));
    EXPECT_EQ(logon.error("type OK"), "input error at character 1 of 2, status PROTECTED");
    EXPECT_EQ(logon.status(), "status PROTECTED");
    ASSERT_TRUE(logon.ok("key Reset"));
    EXPECT_EQ(logon.status(), "status UNLOCKED");

    // A full field in insert mode.
    ASSERT_TRUE(logon.ok("key MoveCursor 3 17"));
    ASSERT_TRUE(logon.ok("type ABCDEFGH"));
    ASSERT_TRUE(logon.ok("key MoveCursor 3 18"));
    ASSERT_TRUE(logon.ok("key Insert"));
    EXPECT_EQ(logon.error("key Dup"), "input error, status INSERTOVERFLOW");
    ASSERT_TRUE(logon.ok("key Reset"));
    EXPECT_EQ(logon.lines("screen").at(2).substr(16, 8), "ABCDEFGH") << "nothing moved";
    EXPECT_TRUE(logon.host->clientRecords().empty()) << "nothing was sent";
}

// While the host has the keyboard locked, keys wait in the type-ahead queue
// (the standard session types ahead); the host's restore replays them up to
// the next attention key. Reset acts at once.
TEST(HeadlessKeyboard, KeysTypedAheadAreReplayedAtTheRestore) {
    Logon logon;
    ASSERT_TRUE(logon.start());
    ASSERT_TRUE(logon.ok("key MoveCursor 4 17"));
    ASSERT_TRUE(logon.ok("type PW"));
    ASSERT_TRUE(logon.ok("key Enter"));
    EXPECT_EQ(logon.status(), "status SYSLOCK");
    const auto queued = logon.program.command("type AB");
    EXPECT_TRUE(queued.ok) << queued.error;
    EXPECT_EQ(queued.lines, std::vector<std::string>{"queued 2"});
    EXPECT_EQ(logon.lines("key PF3"), std::vector<std::string>{"queued"});
    EXPECT_EQ(logon.lines("key Tab"), std::vector<std::string>{"queued"});
    EXPECT_EQ(logon.error("cursor 1 1"), "the keyboard is locked");
    ASSERT_TRUE(logon.host->waitForRecords(1, kPeerWait));

    // The host restores the keyboard: "AB" is typed, PF3 goes out, Tab waits.
    logon.host->send({cmd::kWrite, 0x02});
    ASSERT_TRUE(logon.host->waitForRecords(2, kPeerWait));
    const Record pf3 = logon.host->clientRecords()[1];
    EXPECT_EQ(
        test::hexOf(pf3),
        test::hexOf(cat(
            {{0xF3}, address(kPassword + 4), {0x11}, address(kPassword), test::ebcdic("PWAB")})));
    EXPECT_EQ(logon.status(), "status SYSLOCK");
    ASSERT_TRUE(logon.ok("key Reset")) << "immediate: carried out while locked";
    EXPECT_EQ(logon.status(), "status UNLOCKED");
    const auto cursor = logon.lines("status");
    EXPECT_NE(std::find(cursor.begin(), cursor.end(), "cursor 4,21"), cursor.end())
        << "Tab is still queued, not replayed";
}

TEST(HeadlessKeyboard, WithoutTypeAheadALockedKeyboardRefusesKeys) {
    Logon logon(std::nullopt, {{sessionfile::Field::TypeAhead, 0}});
    ASSERT_TRUE(logon.start());
    ASSERT_TRUE(logon.ok("key Enter"));
    EXPECT_EQ(logon.error("type AB"), "the keyboard is locked: 0 of 2 characters taken");
    EXPECT_EQ(logon.error("key Tab"), "the keyboard is locked");
    ASSERT_TRUE(logon.host->waitForRecords(1, kPeerWait));
    logon.host->send({cmd::kWrite, 0x02});
    ASSERT_TRUE(logon.ok("wait unlock 10"));
    ASSERT_TRUE(logon.ok("type AB"));
    EXPECT_EQ(logon.lines("screen").at(2).substr(16, 2), "AB");
    EXPECT_EQ(logon.host->clientRecords().size(), 1u);
}

TEST(HeadlessKeyboard, AttentionKeysNeedAConnection) {
    test::HeadlessProcess program(CEDAR_HEADLESS_PROGRAM, {}, kPeerWait);
    ASSERT_TRUE(program.start({"127.0.0.1:1"})) << program.failure();
    EXPECT_EQ(program.command("key Enter").error, "not connected");
    EXPECT_EQ(program.command("key PF1").error, "not connected");
}

}  // namespace
}  // namespace cedar
