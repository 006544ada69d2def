// Recording with cedar_headless against the loopback test host: a logon
// (typed user id, Tab, a password with a double quote in a non-display
// field, Enter, then the next screen) recorded as a macro, saved, and
// played back with "macro FILE" to a fresh host, which must receive the
// same bytes as the recorded session sent.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "headless_process.h"
#include "record_builder.h"
#include "replay_host.h"
#include "screen/record_hooks.h"

namespace cedar {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::RecordBuilder;

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Row 2: USERID and an 8-character input field; row 3: PASSWORD and a
// non-display input field. The WCC restores the keyboard.
std::vector<std::uint8_t> logonPanel() {
    RecordBuilder r(cmd::kEraseWrite, 0xC3);
    r.sba(0).sf(0x60).text("CEDAR LOGON");
    r.sba(80).sf(0x60).text("USERID").sba(88).sf(0x40).ic().sba(97).sf(0x60);
    r.sba(160).sf(0x60).text("PASSWORD").sba(170).sf(0x4C).sba(179).sf(0x60);
    return r.bytes();
}

// The answer to every record the client sends: a new screen with one input
// field, keyboard restored.
std::vector<std::uint8_t> welcomePanel() {
    RecordBuilder r(cmd::kEraseWrite, 0xC3);
    r.sba(0).sf(0x60).text("WELCOME").sba(80).sf(0x40).ic().sba(100).sf(0x60);
    return r.bytes();
}

test::ReplayHost::Script logonScript() {
    return {.records = {logonPanel()}, .answer = welcomePanel()};
}

class HeadlessRecord : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/cedar-headless-record-XXXXXX";
        home_ = ::mkdtemp(tmpl);
        macros_ = home_ + "/Documents/Larkfield/CedarTN3270/macros";
        fs::create_directories(macros_);
    }
    void TearDown() override {
        ::chmod(macros_.c_str(), 0755);
        fs::remove_all(home_);
    }

    // A connected cedar_headless on `host` with the keyboard unlocked.
    bool open(test::HeadlessProcess& p, const test::ReplayHost& host) {
        if (!p.start({"127.0.0.1:" + std::to_string(host.port()), "--no-tn3270e"})) {
            ADD_FAILURE() << p.failure();
            return false;
        }
        for (const char* command : {"connect", "wait unlock 10"}) {
            const auto a = p.command(command);
            if (!a.ok) {
                ADD_FAILURE() << command << ": " << a.error << "\n" << p.diagnostics();
                return false;
            }
        }
        return true;
    }

    // Records the logon into FILE (with `rexx`: the REXX dialect); the
    // records the host received.
    std::vector<test::ReplayHost::Record> recordLogon(const std::string& file, bool rexx) {
        test::ReplayHost host(logonScript());
        EXPECT_TRUE(host.start()) << host.error();
        test::HeadlessProcess p(CEDAR_HEADLESS, home_, 20s);
        if (!open(p, host)) return {};
        auto a = p.command("record start " + file + (rexx ? " rexx" : ""));
        EXPECT_TRUE(a.ok) << a.error;
        EXPECT_EQ(a.lines, std::vector<std::string>{"recording " + file + ".mac"});
        for (const std::string command :
             {"type macuser", "key Tab", "type se\"cret", "key Enter", "wait unlock 10",
              "type done", "key Enter", "wait unlock 10"}) {
            a = p.command(command);
            EXPECT_TRUE(a.ok) << command << ": " << a.error;
        }
        a = p.command("record stop");
        EXPECT_TRUE(a.ok) << a.error;
        EXPECT_EQ(a.lines, std::vector<std::string>{"message Macro Recorded: Macro saved as " +
                                                    file + ".mac, containing 12 statements"});
        EXPECT_TRUE(host.waitForRecords(2, 5s));
        EXPECT_EQ(p.stop(), 0);
        return host.clientRecords();
    }

    std::string home_;
    std::string macros_;
};

// Everything after the header's time stamp line.
std::string body(const std::string& text, std::size_t headerLines) {
    std::size_t at = 0;
    for (std::size_t i = 0; i < headerLines && at != std::string::npos; ++i)
        at = text.find("\r\n", at) + 2;
    return text.substr(at);
}

TEST_F(HeadlessRecord, ARecordedLogonPlaysBackTheSameBytes) {
    const auto recorded = recordLogon("logon", false);
    ASSERT_EQ(recorded.size(), 2u);
    // The password went out with its quote, and the second screen's text after it.
    const auto password = test::ebcdic("se\"cret");
    EXPECT_NE(std::search(recorded[0].begin(), recorded[0].end(), password.begin(), password.end()),
              recorded[0].end());

    const std::string text = readText(macros_ + "/logon.mac");
    EXPECT_EQ(text.substr(0, 59), "*********************************************************\r\n");
    EXPECT_NE(text.find("\r\n* logon.mac\r\n* Cedar TN3270 macro generated on 20"),
              std::string::npos);
    EXPECT_EQ(body(text, 5),
              "Wait(20,Status=\"Unlocked\")\r\n"
              "Type(\"macuser\")\r\n"
              "Key(\"Tab\")\r\n"
              "Type(\"se\"\"cret\")\r\n"
              "Key(\"Enter\")\r\n"
              "Wait(20,Status=\"Unlocked\")\r\n"
              "Type(\"done\")\r\n"
              "Key(\"Enter\")\r\n");

    test::ReplayHost host(logonScript());
    ASSERT_TRUE(host.start()) << host.error();
    test::HeadlessProcess p(CEDAR_HEADLESS, home_, 20s);
    ASSERT_TRUE(open(p, host));
    const auto a = p.command("macro logon");
    EXPECT_TRUE(a.ok) << a.error << "\n" << p.diagnostics();
    EXPECT_TRUE(host.waitForRecords(2, 5s));
    EXPECT_EQ(host.clientRecords(), recorded);
    EXPECT_EQ(p.stop(), 0);
}

TEST_F(HeadlessRecord, TheRexxDialectRecordsAndPlaysBackTheSameBytes) {
    const auto recorded = recordLogon("logonrx", true);
    ASSERT_EQ(recorded.size(), 2u);
    const std::string text = readText(macros_ + "/logonrx.mac");
    EXPECT_EQ(text.substr(0, 62),
              "/* rexx ***************************************************/\r\n");
    EXPECT_NE(text.find("\r\n/* Cedar TN3270 macro generated on 20"), std::string::npos);
    EXPECT_EQ(body(text, 4),
              "WaitUnlocked(20)\r\n"
              "Type(\"macuser\")\r\n"
              "Key(\"Tab\")\r\n"
              "Type(\"se\"\"cret\")\r\n"
              "Key(\"Enter\")\r\n"
              "WaitUnlocked(20)\r\n"
              "Type(\"done\")\r\n"
              "Key(\"Enter\")\r\n");

    // Played through Regina, the REXX macro sends what the recorded session sent.
    test::ReplayHost host(logonScript());
    ASSERT_TRUE(host.start()) << host.error();
    test::HeadlessProcess p(CEDAR_HEADLESS, home_, 20s);
    ASSERT_TRUE(open(p, host));
    const auto a = p.command("macro logonrx");
    EXPECT_TRUE(a.ok) << a.error << "\n" << p.diagnostics();
    EXPECT_TRUE(host.waitForRecords(2, 5s));
    EXPECT_EQ(host.clientRecords(), recorded);
    EXPECT_EQ(p.stop(), 0);
}

TEST_F(HeadlessRecord, PauseDiscardAndAFailedSave) {
    test::ReplayHost host(logonScript());
    ASSERT_TRUE(host.start()) << host.error();
    test::HeadlessProcess p(CEDAR_HEADLESS, home_, 20s);
    ASSERT_TRUE(open(p, host));

    EXPECT_EQ(p.command("record stop").error, "not recording");
    EXPECT_EQ(p.command("record start").error,
              "usage: record start FILE [rexx] | record pause | record stop");

    // Paused keys are left out.
    ASSERT_TRUE(p.command("record start paused").ok);
    EXPECT_EQ(p.command("record pause").lines, std::vector<std::string>{"paused"});
    ASSERT_TRUE(p.command("type xx").ok);
    EXPECT_EQ(p.command("record pause").lines, std::vector<std::string>{"recording"});
    ASSERT_TRUE(p.command("type ab").ok);
    ASSERT_TRUE(p.command("record stop").ok);
    EXPECT_EQ(body(readText(macros_ + "/paused.mac"), 6), "Type(\"ab\")\r\n");

    // A macro started while recording ends the recording unsaved.
    ASSERT_TRUE(p.command("record start dropped").ok);
    auto a = p.command("run x = 1");
    EXPECT_TRUE(a.ok) << a.error;
    EXPECT_EQ(a.lines, std::vector<std::string>{"recording discarded"});
    EXPECT_FALSE(fs::exists(macros_ + "/dropped.mac"));

    // A folder that cannot be written: the save fails with errno and nothing is written.
    if (::geteuid() != 0) {
        ASSERT_EQ(::chmod(macros_.c_str(), 0555), 0);
        ASSERT_TRUE(p.command("record start locked").ok);
        a = p.command("record stop");
        EXPECT_EQ(a.error, "File Save Error: Error 13 while saving locked.mac");
        EXPECT_FALSE(fs::exists(macros_ + "/locked.mac"));
    }
    EXPECT_EQ(p.stop(), 0);
}

// The line a macro key writes plays the macro it names, as RUN does, in both
// dialects: the recording goes on when that macro has ended.
TEST_F(HeadlessRecord, AnExecuteLinePlaysItsMacro) {
    std::ofstream(macros_ + "/daily.mac", std::ios::binary) << "CONTROL(1)\r\nday = 7\r\n";
    std::ofstream(macros_ + "/keyed.mac", std::ios::binary)
        << "x = 1\r\nExecute (\"daily\")\r\nCONTROL(1)\r\ny = day\r\n";
    std::ofstream(macros_ + "/keyedrx.mac", std::ios::binary)
        << "/* rexx */\r\nsay 'before'\r\nExecute (\"daily\")\r\nsay 'after' rc\r\n"
        << "Execute (\"absent\")\r\nsay 'missing' rc\r\n";
    test::HeadlessProcess p(CEDAR_HEADLESS, home_, 20s);
    ASSERT_TRUE(p.start({"127.0.0.1:9"})) << p.failure();
    auto a = p.command("macro keyed");
    EXPECT_TRUE(a.ok) << a.error;
    EXPECT_EQ(a.lines,
              (std::vector<std::string>{"debug day = 7", "debug CONTROL(1)", "debug y = day"}));
    // A missing macro is reported as RUN reports it, and the caller goes on.
    a = p.command("run Execute (\"absent\"); CONTROL(1); z = 2");
    EXPECT_TRUE(a.ok) << a.error;
    ASSERT_EQ(a.lines.size(), 2u);
    EXPECT_NE(a.lines[0].find("absent.mac"), std::string::npos) << a.lines[0];
    EXPECT_EQ(a.lines[1], "debug z = 2");

    a = p.command("macro keyedrx");
    EXPECT_TRUE(a.ok) << a.error << "\n" << p.diagnostics();
    // A missing macro: the message, and rc 1 (which REXX traces as a failed command).
    ASSERT_EQ(a.lines.size(), 7u) << ::testing::PrintToString(a.lines);
    EXPECT_EQ(a.lines[0], "debug before");
    EXPECT_EQ(a.lines[1], "debug day = 7");
    EXPECT_EQ(a.lines[2], "debug after 0");
    EXPECT_NE(a.lines[3].find("absent.mac"), std::string::npos) << a.lines[3];
    EXPECT_EQ(a.lines[5], "debug        +++ RC=1 +++");
    EXPECT_EQ(a.lines[6], "debug missing 1");
    EXPECT_EQ(p.stop(), 0);
}

}  // namespace
}  // namespace cedar
