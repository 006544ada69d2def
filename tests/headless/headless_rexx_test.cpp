// REXX macros through cedar_headless: "macro FILE" runs them as tasks in the
// Regina interpreter against cedar_demo_host. A table of programs, each with
// the debug lines it must give; and Break stopping a task.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

#include "child_process.h"
#include "headless_process.h"

namespace cedar {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class HeadlessRexx : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/cedar-headless-rexx-XXXXXX";
        home_ = ::mkdtemp(tmpl);
        appData_ = home_ + "/Documents/Larkfield/CedarTN3270";
        fs::create_directories(appData_ + "/macros");
    }
    void TearDown() override {
        if (demo_ > 0) test::stopProcess(demo_, 2s);
        fs::remove_all(home_);
    }
    void writeMacro(const std::string& name, const std::string& text) {
        std::ofstream(appData_ + "/macros/" + name, std::ios::binary) << text;
    }
    static bool contains(const std::vector<std::string>& lines, const std::string& part) {
        for (const auto& l : lines)
            if (l.find(part) != std::string::npos) return true;
        return false;
    }

    std::string home_;
    std::string appData_;
    pid_t demo_ = -1;
};

struct Program {
    const char* name;
    const char* text;
    std::vector<std::string> expected;  // parts of debug lines, each present
    std::vector<std::string> absent;    // parts no line may hold
};

const Program kPrograms[] = {
    {"logon",
     "/* REXX: logs on with the keys */\n"
     "call waitunlocked 10\n"
     "call type 'macuser'\n"
     "key('Tab')\n"
     "type('secret')\n"
     "key('Enter')\n"
     "call waitunlocked 10\n"
     "say 'menu' onscreen('main menu')\n"
     "say 'row' getvar('onscreenrow') 'unlocked' getvar('status')\n"
     "say 'attr' length(attribute(1, 1))\n",
     {"debug menu 1", "debug row ", " unlocked UNLOCKED", "debug attr 2"},
     {"Unknown Cedar command", "sh:"}},
    {"scrape",
     "/* rexx */\n"
     "do r = 1 to 3\n"
     "  s.r = screen(r, 1, 40)\n"
     "end\n"
     "s.0 = 3\n"
     "'EXECIO * DISKW scraped.txt (STEM s.'\n"
     "say 'wrote' rc\n"
     "'EXECIO * DISKR scraped.txt (STEM back.'\n"
     "same = back.0 = 3 & back.1 == s.1 & back.3 == s.3\n"
     "say 'read' rc back.0 same\n",
     {"debug wrote 0", "debug read 0 3 1"},
     {"Error"}},
    {"unknown",
     "/* rexx */\n'LOGON now'\nsay 'went on' rc\n",
     {"debug Unknown Cedar command - LOGON now", "debug went on 8"},
     {}},
    {"trapped",
     "/* rexx */\nsignal on syntax\nx = screen(99, 1)\nsay 'not reached'\nexit\n"
     "syntax: say 'trapped' rc 'at' sigl\n",
     {"debug Error 1002 - ", "debug trapped 40 at 3"},
     {"not reached"}},
    {"broken",
     "/* rexx */\nsay 'never\n",
     {"debug REXX error 6 in ", "debug Return code from REXX is -6"},
     {"never"}},
    {"suppress",
     "/* rexx */\nx = screen(1, 1, 10)\no.1 = 'kept'\no.0 = 1\n"
     "'EXECIO * DISKW kept.txt (STEM o.'\nsay 'rc' rc\n",
     {"debug rc 0"},
     {}},
};

TEST_F(HeadlessRexx, ProgramsAgainstTheDemoHost) {
    for (const Program& program : kPrograms)
        writeMacro(std::string(program.name) + ".mac", program.text);
    const int port = test::startListeningProgram({CEDAR_DEMO_HOST}, home_ + "/demo.log", demo_);
    ASSERT_GT(port, 0) << readText(home_ + "/demo.log");
    test::HeadlessProcess p(CEDAR_HEADLESS, home_, 60s);
    ASSERT_TRUE(p.start({"127.0.0.1:" + std::to_string(port)})) << p.failure();
    const auto connected = p.command("connect");
    ASSERT_TRUE(connected.ok) << connected.error << "\n" << p.diagnostics();
    for (const Program& program : kPrograms) {
        SCOPED_TRACE(program.name);
        const auto a = p.command(std::string("macro ") + program.name);
        EXPECT_TRUE(a.ok) << a.error << "\n" << p.diagnostics();
        for (const auto& part : program.expected)
            EXPECT_TRUE(contains(a.lines, part)) << part << "\n"
                                                 << ::testing::PrintToString(a.lines);
        for (const auto& part : program.absent)
            EXPECT_FALSE(contains(a.lines, part)) << part << "\n"
                                                  << ::testing::PrintToString(a.lines);
    }
    EXPECT_EQ(readText(home_ + "/Documents/kept.txt"), "kept");
    const std::string scraped = readText(home_ + "/Documents/scraped.txt");
    EXPECT_EQ(std::count(scraped.begin(), scraped.end(), '\n'), 2) << scraped;
    EXPECT_EQ(p.stop(), 0);
}

// SIGINT is the Break key: it stops a task that computes or waits, and the
// program goes on taking commands.
TEST_F(HeadlessRexx, BreakStopsATask) {
    writeMacro("spin.mac", "/* rexx */\ni = 0\ndo forever\n  i = i + 1\nend\n");
    writeMacro("sleep.mac", "/* rexx */\ncall wait 60\nsay 'not reached'\n");
    writeMacro("hello.mac", "/* rexx */\nsay 'hello'\n");
    test::HeadlessProcess p(CEDAR_HEADLESS, home_, 30s);
    ASSERT_TRUE(p.start({"127.0.0.1:9"})) << p.failure();
    for (const char* name : {"spin", "sleep"}) {
        SCOPED_TRACE(name);
        auto interrupt = std::async(std::launch::async, [&] {
            std::this_thread::sleep_for(400ms);
            return ::kill(p.pid(), SIGINT);
        });
        const auto started = std::chrono::steady_clock::now();
        const auto a = p.command(std::string("macro ") + name);
        EXPECT_EQ(interrupt.get(), 0);
        EXPECT_EQ(a.error, "Macro stopped by Break key");
        EXPECT_FALSE(contains(a.lines, "not reached"));
        EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
    }
    const auto a = p.command("macro hello");
    EXPECT_TRUE(a.ok) << a.error;
    EXPECT_EQ(a.lines, std::vector<std::string>{"debug hello"});
    EXPECT_EQ(p.stop(), 0);
}

}  // namespace
}  // namespace cedar
