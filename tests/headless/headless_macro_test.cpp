// cedar_headless plays macros against the loopback test host: "run" and
// "macro" answer when the macro ends, a waiting macro wakes at the host's
// keyboard restore, and macro errors come back as "error: N TEXT".
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "headless_process.h"
#include "record_builder.h"
#include "replay_host.h"

namespace cedar {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class HeadlessMacro : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/cedar-headless-macro-XXXXXX";
        home_ = ::mkdtemp(tmpl);
        appData_ = home_ + "/Documents/Larkfield/CedarTN3270";
        fs::create_directories(appData_ + "/macros");
    }
    void TearDown() override { fs::remove_all(home_); }
    void writeMacro(const std::string& name, const std::string& text) {
        std::ofstream(appData_ + "/macros/" + name, std::ios::binary) << text;
    }

    std::string home_;
    std::string appData_;
};

TEST_F(HeadlessMacro, RunAndMacroAgainstTheLoopbackHost) {
    test::ReplayHost host({.records = {test::loopbackFirstScreen()}});
    ASSERT_TRUE(host.start()) << host.error();
    writeMacro("sum.mac",
               "* adds 1 to 4\r\nn = 0\r\nFOR i = 1 TO 4\r\nn = n + i\r\nNEXT i\r\n"
               "CONTROL(1)\r\nm = n\r\nEXIT n\r\n");
    writeMacro("broken.mac", "x = 1\r\ny = (x + 1\r\n");
    const std::string outside = home_ + "/outside.mac";
    std::ofstream(outside) << "RUN(\"sum\")\nCONTROL(1)\nz = m\n";

    test::HeadlessProcess p(CEDAR_HEADLESS, home_, 20s);
    ASSERT_TRUE(p.start({"127.0.0.1:" + std::to_string(host.port()), "--no-tn3270e"}))
        << p.failure();
    for (const char* command : {"connect", "wait unlock 10"}) {
        const auto a = p.command(command);
        ASSERT_TRUE(a.ok) << command << ": " << a.error << "\n" << p.diagnostics();
    }

    // The keyboard is unlocked: the wait ends at once.
    auto a = p.command("run WAITUNLOCKED(5); CONTROL(1); x = 1");
    EXPECT_TRUE(a.ok) << a.error;
    EXPECT_EQ(a.lines, std::vector<std::string>{"debug x = 1"});

    a = p.command("macro sum");
    EXPECT_TRUE(a.ok) << a.error;
    EXPECT_EQ(a.lines, (std::vector<std::string>{"debug m = n", "debug EXIT n"}));

    // By path, running a macro of the Macros folder nested; the trace the
    // nested macro switched on stays on in its caller.
    a = p.command("macro " + outside);
    EXPECT_TRUE(a.ok) << a.error;
    EXPECT_EQ(a.lines, (std::vector<std::string>{"debug m = n", "debug EXIT n", "debug CONTROL(1)",
                                                 "debug z = m"}));

    a = p.command("macro broken");
    EXPECT_FALSE(a.ok);
    EXPECT_EQ(a.error, "12 Unbalanced parenthesis");
    a = p.command("macro nothing-here");
    EXPECT_FALSE(a.ok);
    EXPECT_NE(a.error.find("nothing-here.mac"), std::string::npos) << a.error;
    a = p.command("run GOTO away");
    EXPECT_EQ(a.error, "54 Label not found");

    // Enter locks the keyboard; the macro waits until the host's next
    // write restores it, and goes on then.
    ASSERT_TRUE(p.command("key Enter").ok);
    a = p.command("run WAITUNLOCKED(1)");
    EXPECT_EQ(a.error, "31 Timeout while waiting for condition to be true");
    auto restore = std::async(std::launch::async, [&] {
        std::this_thread::sleep_for(300ms);
        return host.send(test::loopbackFirstScreen());
    });
    a = p.command("run WAITUNLOCKED(10); CONTROL(1); y = 2");
    EXPECT_TRUE(restore.get());
    EXPECT_TRUE(a.ok) << a.error;
    EXPECT_EQ(a.lines, std::vector<std::string>{"debug y = 2"});
    EXPECT_EQ(p.stop(), 0);
}

// SIGINT is the Break key of a terminal: it stops a macro that loops or
// waits, and the program goes on taking commands.
TEST_F(HeadlessMacro, InterruptStopsAPlayingMacro) {
    test::HeadlessProcess p(CEDAR_HEADLESS, home_, 20s);
    ASSERT_TRUE(p.start({"127.0.0.1:9"})) << p.failure();
    for (const char* statements : {"x = 0; WHILE 1; x = x + 1; ENDWHILE", "WAIT(60)"}) {
        SCOPED_TRACE(statements);
        auto interrupt = std::async(std::launch::async, [&] {
            std::this_thread::sleep_for(300ms);
            return ::kill(p.pid(), SIGINT);
        });
        const auto started = std::chrono::steady_clock::now();
        const auto a = p.command(std::string("run ") + statements);
        EXPECT_EQ(interrupt.get(), 0);
        EXPECT_EQ(a.error, "Macro stopped by Break key");
        EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
    }
    const auto a = p.command("run CONTROL(1); y = 1");
    EXPECT_TRUE(a.ok) << a.error;
    EXPECT_EQ(a.lines, std::vector<std::string>{"debug y = 1"});
    EXPECT_EQ(p.stop(), 0);
}

// GETOPTION and SETOPTION in a real process: a change holds from one
// macro to the next, refused values answer their errors, and a change that
// needs a new connection says so and connects again.
TEST_F(HeadlessMacro, OptionsChangeTheRecordInForce) {
    test::ReplayHost host({.records = {test::loopbackFirstScreen()}});
    ASSERT_TRUE(host.start()) << host.error();
    const std::string address = "127.0.0.1:" + std::to_string(host.port());
    test::HeadlessProcess p(CEDAR_HEADLESS, home_, 20s);
    ASSERT_TRUE(p.start({address, "--no-tn3270e"})) << p.failure();
    for (const char* command : {"connect", "wait unlock 10"}) {
        const auto a = p.command(command);
        ASSERT_TRUE(a.ok) << command << ": " << a.error << "\n" << p.diagnostics();
    }
    auto a =
        p.command(R"(run SETOPTION("DISPLAY", "ALARM", 1); SETOPTION("font", "size", "10 x 20"))");
    ASSERT_TRUE(a.ok) << a.error;
    a = p.command(R"(run DEBUG(GETOPTION("Display", "Alarm")); s = GETOPTION("FONT", "SIZE"); )"
                  R"(SETOPTION("FONT", "SIZE", s); DEBUG(GETOPTION("FONT", "HEIGHT")))");
    EXPECT_TRUE(a.ok) << a.error;
    EXPECT_EQ(a.lines, (std::vector<std::string>{"debug 1", "debug 10 x 20"}));

    const std::pair<const char*, const char*> refused[] = {
        {R"(run SETOPTION("DISPLAY", "ALARM", 2))", "61 Invalid Parameter Value"},
        {R"(run SETOPTION("DISPLAY", "ALARM", "2"))", "17 Invalid type of parm for function"},
        {R"(run SETOPTION("GENERAL", "SCREENBUFFERS", 1))", "61 Invalid Parameter Value"},
        {R"(run x = GETOPTION("NOPAGE", "ALARM"))", "6 Unknown keyword seen"},
    };
    for (const auto& [command, error] : refused) {
        a = p.command(command);
        EXPECT_EQ(a.error, error) << command;
    }
    a = p.command(R"(run DEBUG(GETOPTION("DISPLAY", "ALARM")))");
    EXPECT_EQ(a.lines, std::vector<std::string>{"debug 1"}) << "a refused value changed it";

    a = p.command(R"(run SETOPTION("GENERAL", "HOSTNAME", ")" + address + R"("))");
    EXPECT_TRUE(a.ok) << a.error;
    EXPECT_EQ(a.lines, std::vector<std::string>{
                           "message Cedar TN3270 Connection/Session Change: A Reconnect is "
                           "necessary to put your changes into effect."});
    // The session connects again at once.
    a = p.command("status");
    ASSERT_FALSE(a.lines.empty());
    EXPECT_EQ(a.lines[0], "status CONNECTING");
    EXPECT_EQ(p.stop(), 0);
}

}  // namespace
}  // namespace cedar
