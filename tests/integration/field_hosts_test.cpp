// cedar_headless against the loopback test host playing hosts seen in the
// field: a TN3270 server that withdraws TN3270E with WONT after agreeing to
// it, and an ISPF-like panel drawn with Graphic Escape, read back as text.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "headless_process.h"
#include "record_builder.h"
#include "replay_host.h"

namespace cedar {
namespace {

using namespace std::chrono_literals;
using test::ReplayHost;

constexpr std::chrono::milliseconds kWait = 15s;

std::string trimmed(std::string s) {
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

bool has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The TSO logon prompt as a recorded z/OS server sends it, in plain TN3270.
std::vector<std::uint8_t> logonScreen() {
    return test::RecordBuilder(cmd::kEraseWrite, 0xC3)
        .sf(0x60)
        .text("IKJ56700A ENTER USERID -")
        .sba(80)
        .sf(0x40)
        .ic()
        .bytes();
}

// The server agrees to TN3270E (DEVICE-TYPE IS ... CONNECT), takes the
// FUNCTIONS REQUEST, then sends WONT TN3270E and negotiates TN3270. The
// session leaves TN3270E with one WONT, answers the terminal type, shows the
// logon prompt unlocked and sends Enter without a TN3270E header.
TEST(FieldHosts, ServerWithdrawingTn3270eWithWontGetsThroughToTheLogonPrompt) {
    ReplayHost::Script script;
    script.records = {logonScreen()};
    script.negotiation = ReplayHost::Negotiation::Tn3270e;
    script.tn3270e.withdrawAfterFunctionsRequest = true;
    // The negotiation must not rely on the host giving up waiting.
    ReplayHost host(script, {.negotiationTimeout = kWait});
    ASSERT_TRUE(host.start()) << host.error();
    test::HeadlessProcess program(CEDAR_HEADLESS_PROGRAM, {}, kWait);
    ASSERT_TRUE(program.start({"--lu", "TSO00042", "127.0.0.1:" + std::to_string(host.port())}))
        << program.failure();
    for (const char* command : {"connect", "wait unlock 10"}) {
        const auto a = program.command(command);
        ASSERT_TRUE(a.ok) << command << ": " << a.error << "\nclient sent:\n"
                          << ::testing::PrintToString(host.clientLog());
    }
    ASSERT_TRUE(host.waitForSync(kWait));
    const auto screen = program.command("screen");
    ASSERT_TRUE(screen.ok) << screen.error;
    ASSERT_EQ(screen.lines.size(), 24u);
    EXPECT_EQ(trimmed(screen.lines[0]), " IKJ56700A ENTER USERID -");
    const auto status = program.command("status");
    for (const char* line : {"status UNLOCKED", "tn3270e no", "cursor 2,2"})
        EXPECT_TRUE(has(status.lines, line)) << line << "\n"
                                             << ::testing::PrintToString(status.lines);

    EXPECT_EQ(host.clientLog(), (std::vector<std::string>{
                                    "WILL TN3270E",
                                    "SB TN3270E DEVICE-TYPE REQUEST IBM-3278-2-E CONNECT TSO00042",
                                    "SB TN3270E FUNCTIONS REQUEST BIND-IMAGE RESPONSES SYSREQ",
                                    "WONT TN3270E",
                                    "WILL TERMINAL-TYPE",
                                    "SB TERMINAL-TYPE IS IBM-3278-2-E@TSO00042",
                                    "WILL END-OF-RECORD",
                                    "DO END-OF-RECORD",
                                    "WILL BINARY",
                                    "DO BINARY",
                                    "WONT TIMING-MARK",
                                }));
    EXPECT_TRUE(host.negotiated().withdrawn);
    EXPECT_EQ(host.error(), "");

    ASSERT_TRUE(program.command("type IBMUSER").ok);
    ASSERT_TRUE(program.command("key Enter").ok);
    ASSERT_TRUE(host.waitForRecords(1, kWait));
    const auto sent = host.clientRecords().at(0);
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(sent[0], 0x7D) << "the Enter AID first: no TN3270E header in front";
    EXPECT_TRUE(host.clientMessages().empty());
    EXPECT_EQ(program.stop(), 0) << program.diagnostics();
}

// `screen` prints what the operator sees: ISPF's box corners and lines as the
// UTF-8 box-drawing characters, not their code bytes read as Windows-1252.
TEST(FieldHosts, ScreenCommandPrintsGraphicEscapeAsBoxDrawing) {
    ReplayHost host({.records = {test::graphicEscapePanel()}});
    ASSERT_TRUE(host.start()) << host.error();
    test::HeadlessProcess program(CEDAR_HEADLESS_PROGRAM, {}, kWait);
    ASSERT_TRUE(program.start({"--no-tn3270e", "127.0.0.1:" + std::to_string(host.port())}))
        << program.failure();
    for (const char* command : {"connect", "wait unlock 10"}) {
        const auto a = program.command(command);
        ASSERT_TRUE(a.ok) << command << ": " << a.error;
    }
    ASSERT_TRUE(host.waitForSync(kWait));
    const auto screen = program.command("screen");
    ASSERT_TRUE(screen.ok) << screen.error;
    const auto expected = test::graphicEscapePanelText();
    ASSERT_EQ(screen.lines.size(), expected.size());
    for (std::size_t r = 0; r < expected.size(); ++r)
        EXPECT_EQ(trimmed(screen.lines[r]), expected[r]) << "row " << r;
    EXPECT_EQ(program.stop(), 0) << program.diagnostics();
}

}  // namespace
}  // namespace cedar
