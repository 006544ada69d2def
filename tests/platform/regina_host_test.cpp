// REXX tasks in the real Regina interpreter over a recording function host:
// SAY and terminal reads, commands, errors, EXECIO through the variable
// pool, waits, stop, pause and command suppression.
#include "platform/regina_host.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/event_loop.h"
#include "test_paths.h"

namespace cedar {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class ReginaHostTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/cedar-regina-XXXXXX";
        folder = ::mkdtemp(tmpl);
        macroHost.systemValues[SystemVariable::ScreenHeight] = MacroValue::ofNumber(24);
        macroHost.systemValues[SystemVariable::ScreenWidth] = MacroValue::ofNumber(80);
    }
    void TearDown() override {
        host.reset();
        fs::remove_all(folder);
    }

    ReginaHost& makeHost() {
        ReginaHost::Callbacks callbacks;
        callbacks.debugLine = [this](const std::string& line) { lines.push_back(line); };
        callbacks.statusChanged = [this] { ++statusChanges; };
        callbacks.keyboardUnlocked = [this] { return unlocked(); };
        callbacks.clipboardText = [this] { return clipboard; };
        callbacks.setClipboard = [this](const std::string& t) { clipboard = t; };
        host = std::make_unique<ReginaHost>(
            loop, RexxErrorTexts(test::readFile(test::dataDir() + "/rexxerr.lst")), library,
            std::move(callbacks), folder);
        return *host;
    }
    bool has(const std::string& line) const {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    bool hasPrefix(const std::string& prefix) const {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
    }
    // Runs the session thread until the task has ended and its lines are in.
    bool runToEnd(std::chrono::milliseconds timeout = 20s) {
        const bool ended = loop.runUntil([&] { return !host->running(); }, timeout);
        loop.runUntil([] { return false; }, 30ms);
        return ended;
    }
    bool runUntilLine(const std::string& line, std::chrono::milliseconds timeout = 10s) {
        return loop.runUntil([&] { return has(line); }, timeout);
    }
    std::string dump() const { return ::testing::PrintToString(lines); }

    EventLoop loop;
    RecordingMacroHost macroHost;
    RexxFunctionLibrary library{macroHost};
    std::unique_ptr<ReginaHost> host;
    std::vector<std::string> lines;
    int statusChanges = 0;
    std::function<bool()> unlocked = [] { return false; };
    std::optional<std::string> clipboard;
    std::string folder;
};

TEST_F(ReginaHostTest, SayTerminalReadsAndUnknownCommands) {
    makeHost();
    ASSERT_TRUE(host->start("say",
                            "/* rexx */\n"
                            "say 'hello'\n"
                            "pull answer\n"
                            "say 'got[' || answer || ']'\n"
                            "'FROB the widget'\n"
                            "say 'after rc=' || rc\n"
                            "return 0\n"));
    EXPECT_EQ(host->statusCharacter(), 'P');
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(host->statusCharacter(), ' ');
    EXPECT_EQ(statusChanges, 2);
    ASSERT_GE(lines.size(), 4u) << dump();
    EXPECT_EQ(lines[0], "hello");
    EXPECT_EQ(lines[1], "got[]");  // nothing read from the process's input
    EXPECT_TRUE(has("Unknown Cedar command - FROB the widget")) << dump();
    EXPECT_TRUE(has("after rc=8")) << dump();
    EXPECT_FALSE(hasPrefix("Return code")) << dump();
}

TEST_F(ReginaHostTest, FunctionsReachTheSessionNeverAShell) {
    // Registrations are per thread: a function the task thread did not
    // register would run as a shell command and give an empty result.
    macroHost.results[ReservedWord::Screen] = MacroValue::ofText("READY");
    macroHost.results[ReservedWord::Attribute] = MacroValue::ofNumber(0xE0);
    macroHost.systemValues[SystemVariable::Status] = MacroValue::ofText("UNLOCKED");
    makeHost();
    ASSERT_TRUE(host->start("functions",
                            "/* rexx */\n"
                            "say '[' || screen(1, 1, 5) || ']'\n"
                            "say attribute(1, 1)\n"
                            "say getvar('status')\n"
                            "call putvar 'cursorpos', '3,7'\n"));
    ASSERT_TRUE(runToEnd());
    EXPECT_TRUE(has("[READY]")) << dump();
    EXPECT_TRUE(has("E0")) << dump();
    EXPECT_TRUE(has("UNLOCKED")) << dump();
    ASSERT_FALSE(macroHost.calls.empty());
    EXPECT_EQ(macroHost.calls[0].word, ReservedWord::Screen);
    ASSERT_EQ(macroHost.calls[0].args.size(), 3u);
    EXPECT_EQ(macroHost.calls[0].args[2].number, 5);
    ASSERT_EQ(macroHost.cursorMoves.size(), 1u);
    EXPECT_EQ(macroHost.cursorMoves[0].row, 2);
    EXPECT_EQ(macroHost.cursorMoves[0].column, 6);
}

TEST_F(ReginaHostTest, FunctionErrorsAreNumberedAndTrappable) {
    makeHost();
    struct Case {
        const char* call;
        const char* message;
    };
    const Case cases[] = {
        {"screen(0, 1)", "Error 1002 - "},
        {"screen('x', 1)", "Error 1001 - "},
        {"screen(1, 75, 10)", "Error 1002 - "},
        {"getvar('nosuch')", "Error 1004 - "},
        {"putvar('status', 1)", "Error 1005 - "},
        {"wait(0)", "Error 1002 - "},
        {"getoption(1, 'x')", "Error 1010 - "},
        {"setoption(1, 'x', 2)", "Error 1009 - "},
        {"type()", "Error 1002 - "},
        {"screen(1)", "Error 1003 - "},
    };
    for (const Case& c : cases) {
        lines.clear();
        ASSERT_TRUE(host->start("errors", std::string("/* rexx */\nsignal on syntax\nx = ") +
                                              c.call +
                                              "\nsay 'not reached'\nexit\n"
                                              "syntax: say 'trapped' rc\n"));
        ASSERT_TRUE(runToEnd()) << c.call;
        EXPECT_TRUE(hasPrefix(c.message)) << c.call << " " << dump();
        EXPECT_TRUE(has("trapped 40")) << c.call << " " << dump();
        EXPECT_FALSE(has("not reached")) << c.call;
    }
}

TEST_F(ReginaHostTest, ParseAndRunTimeErrorsBecomeDebugLines) {
    makeHost();
    ASSERT_TRUE(host->start("runtime", "/* rexx */\nx = 1 + 'a'\nsay 'not reached'\n"));
    ASSERT_TRUE(runToEnd());
    EXPECT_FALSE(has("not reached"));
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
        return l.find("41") != std::string::npos;
    })) << dump();

    lines.clear();
    ASSERT_TRUE(host->start("parse", "/* rexx */\nsay 'unterminated\n"));
    ASSERT_TRUE(runToEnd());
    EXPECT_TRUE(has("REXX error 6 in parse: Unmatched \"/*\" or quote")) << dump();
    EXPECT_TRUE(hasPrefix("Return code from REXX is -")) << dump();
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST_F(ReginaHostTest, ExecioMovesLongLinesWhole) {
    makeHost();
    // 2,000 lines of 3,000 bytes each, every line different at both ends.
    ASSERT_TRUE(host->start("execio",
                            "/* rexx */\n"
                            "do i = 1 to 2000\n"
                            "  out.i = right(i, 5, '0') || copies('x', 2990) || right(i, 5, '0')\n"
                            "end\n"
                            "out.0 = 2000\n"
                            "'EXECIO * DISKW big.txt (STEM out.'\n"
                            "say 'write rc' rc\n"
                            "'EXECIO * DISKR big.txt (STEM in.'\n"
                            "say 'read rc' rc 'lines' in.0\n"
                            "bad = 0\n"
                            "do i = 1 to in.0\n"
                            "  if in.i \\== out.i then bad = bad + 1\n"
                            "end\n"
                            "say 'different' bad\n"));
    ASSERT_TRUE(runToEnd(60s));
    EXPECT_TRUE(has("write rc 0")) << dump();
    EXPECT_TRUE(has("read rc 0 lines 2000")) << dump();
    EXPECT_TRUE(has("different 0")) << dump();
    const std::string file = readAll(folder + "/big.txt");
    EXPECT_EQ(file.size(), 2000u * 3000u + 1999u);
}

TEST_F(ReginaHostTest, ExecioFailuresAndTheClipboard) {
    clipboard = "one\r\ntwo\r\nthree";
    makeHost();
    ASSERT_TRUE(host->start("clip",
                            "/* rexx */\n"
                            "'EXECIO * CLIPR (STEM c.'\n"
                            "say 'clip' rc c.0 c.1 c.3\n"
                            "c.2 = 'TWO'\n"
                            "'EXECIO * CLIPW (STEM c.'\n"
                            "'EXECIO * DISKR nosuch.txt (STEM x.'\n"
                            "say 'missing' rc\n"
                            "'EXECIO * DISKR x.txt'\n"
                            "say 'nostem' rc\n"
                            "drop n.\n"
                            "'EXECIO * DISKW out.txt (STEM n.'\n"
                            "say 'nocount' rc\n"));
    ASSERT_TRUE(runToEnd());
    EXPECT_TRUE(has("clip 0 3 one three")) << dump();
    EXPECT_EQ(clipboard, "one\r\nTWO\r\nthree\r\n");
    EXPECT_TRUE(has("missing 1000")) << dump();
    EXPECT_TRUE(hasPrefix("Error 1015 - ")) << dump();
    EXPECT_TRUE(has("nostem 1000")) << dump();
    EXPECT_TRUE(hasPrefix("Error 1018 - ")) << dump();
    EXPECT_TRUE(has("nocount 1000")) << dump();
    EXPECT_TRUE(hasPrefix("Error 1017 - ")) << dump();
    EXPECT_TRUE(has("Error executing subcommand EXECIO * DISKR x.txt - rc=1000")) << dump();
}

TEST_F(ReginaHostTest, AFunctionClauseIsNotACommandButTheNextCommandRuns) {
    macroHost.results[ReservedWord::Screen] = MacroValue::ofText("SCREEN TXT");
    makeHost();
    ASSERT_TRUE(host->start("suppress",
                            "/* rexx */\n"
                            "key('Enter')\n"
                            "x = screen(1, 1, 10)\n"
                            "o.1 = x\n"
                            "o.0 = 1\n"
                            "'EXECIO * DISKW kept.txt (STEM o.'\n"
                            "say 'rc' rc\n"));
    ASSERT_TRUE(runToEnd());
    EXPECT_TRUE(has("rc 0")) << dump();
    EXPECT_FALSE(hasPrefix("Unknown Cedar command")) << dump();
    EXPECT_EQ(readAll(folder + "/kept.txt"), "SCREEN TXT");
    ASSERT_FALSE(macroHost.calls.empty());
    EXPECT_EQ(macroHost.calls[0].word, ReservedWord::Key);
}

TEST_F(ReginaHostTest, StopEndsABusyLoopAWaitAndAHaltTrap) {
    makeHost();
    const char* programs[] = {
        "/* rexx */\ni = 0\ndo forever\n  i = i + 1\nend\n",
        "/* rexx */\nsay 'waiting'\ncall wait 60\nsay 'not reached'\n",
        "/* rexx */\nsignal on halt\ndo forever\n  nop\nend\n"
        "halt: say 'waiting'\ndo forever\n  nop\nend\n",
    };
    for (const char* program : programs) {
        lines.clear();
        ASSERT_TRUE(host->start("stop", program));
        if (std::string(program).find("'waiting'") != std::string::npos &&
            std::string(program).find("signal") == std::string::npos) {
            ASSERT_TRUE(runUntilLine("waiting"));
        } else {
            loop.runUntil([] { return false; }, 200ms);
        }
        const auto started = std::chrono::steady_clock::now();
        host->stopAll();
        ASSERT_TRUE(runToEnd(10s)) << program;
        EXPECT_LT(std::chrono::steady_clock::now() - started, 5s) << program;
        EXPECT_FALSE(has("not reached"));
        // The interpreter's own report of the halt, and no second one of ours.
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
            return l.find("Program interrupted") != std::string::npos;
        })) << dump();
        EXPECT_FALSE(hasPrefix("REXX error ")) << dump();
    }
}

TEST_F(ReginaHostTest, StartingAnotherMacroEndsTheRunningOne) {
    makeHost();
    ASSERT_TRUE(host->start("first", "/* rexx */\ndo forever\n  nop\nend\n"));
    loop.runUntil([] { return false; }, 100ms);
    ASSERT_TRUE(host->start("second", "/* rexx */\nsay 'second ran'\n"));
    ASSERT_TRUE(runToEnd(10s));
    EXPECT_TRUE(has("second ran")) << dump();
}

TEST_F(ReginaHostTest, PauseHoldsTheTaskAtItsNextCall) {
    makeHost();
    ASSERT_TRUE(
        host->start("pause", "/* rexx */\nsay 'first'\ncall shortwait 300\nsay 'second'\n"));
    ASSERT_TRUE(runUntilLine("first"));
    host->setPaused(true);
    EXPECT_TRUE(host->paused());
    loop.runUntil([] { return false; }, 800ms);
    EXPECT_FALSE(has("second")) << dump();
    EXPECT_TRUE(host->running());
    host->setPaused(false);
    ASSERT_TRUE(runToEnd());
    EXPECT_TRUE(has("second")) << dump();
}

TEST_F(ReginaHostTest, WaitUnlockedWakesOnARestoreEvenOneBeforeItLooked) {
    makeHost();
    // The restore comes between the task marking its wait and looking at
    // the keyboard: the wait must end then, not time out.
    unlocked = [this] {
        host->keyboardRestored();
        return false;
    };
    ASSERT_TRUE(host->start("race", "/* rexx */\ncall waitunlocked 30\nsay 'woke'\n"));
    ASSERT_TRUE(runUntilLine("woke", 5s)) << dump();

    // A wait that timed out leaves nothing behind: the next one waits for
    // the next restore.
    unlocked = [] { return false; };
    lines.clear();
    ASSERT_TRUE(host->start("again",
                            "/* rexx */\nsignal on syntax name next\ncall waitunlocked 1\n"
                            "next:\nsay 'timed out'\ncall waitunlocked 30\nsay 'second'\n"));
    ASSERT_TRUE(runUntilLine("timed out", 10s)) << dump();
    EXPECT_TRUE(hasPrefix("Error 1008 - ")) << dump();
    loop.runUntil([] { return false; }, 400ms);
    EXPECT_FALSE(has("second"));
    host->keyboardRestored();
    ASSERT_TRUE(runToEnd(5s));
    EXPECT_TRUE(has("second")) << dump();
}

TEST_F(ReginaHostTest, AThousandWaitsEachWokenByARestoreAroundItsStart) {
    makeHost();
    // Odd waits: the restore comes while the task looks at the keyboard;
    // even waits: it is posted and comes just after, whichever the task is
    // doing then. Not one of them may sleep to its time-out.
    int looks = 0;
    unlocked = [&] {
        if (++looks % 2 == 1)
            host->keyboardRestored();
        else
            loop.post([&] { host->keyboardRestored(); });
        return false;
    };
    ASSERT_TRUE(host->start("race",
                            "/* rexx */\ndo i = 1 to 1000\n  call waitunlocked 30\nend\n"
                            "say 'done' i - 1\n"));
    ASSERT_TRUE(runToEnd(60s)) << dump();
    EXPECT_EQ(looks, 1000);
    EXPECT_TRUE(has("done 1000")) << dump();
    EXPECT_FALSE(hasPrefix("Error 1008")) << dump();
}

TEST_F(ReginaHostTest, WaitTestsItsConditionOnTheTaskAtEachRestore) {
    macroHost.results[ReservedWord::OnScreen] = MacroValue::ofNumber(0);
    makeHost();
    ASSERT_TRUE(host->start("cond",
                            "/* rexx */\nsay 'r' wait(30, \"onscreen('READY')\")\n"
                            "say 'r' wait(1, \"onscreen('NEVER') = 2\")\n"));
    loop.runUntil([] { return false; }, 300ms);
    host->keyboardRestored();  // not there yet: the wait goes on
    loop.runUntil([] { return false; }, 300ms);
    EXPECT_FALSE(hasPrefix("r ")) << dump();
    macroHost.results[ReservedWord::OnScreen] = MacroValue::ofNumber(1);
    host->keyboardRestored();
    ASSERT_TRUE(runToEnd(10s));
    ASSERT_GE(lines.size(), 3u) << dump();
    EXPECT_EQ(lines[0], "r 1");
    EXPECT_TRUE(hasPrefix("Error 1008 - ")) << dump();
    EXPECT_EQ(lines.back(), "r 0");
}

extern "C" void markerHandler(int) {}

bool processKeepsItsHandlers() {
    for (int signal : {SIGHUP, SIGINT, SIGTERM}) {
        struct sigaction now {};
        sigaction(signal, nullptr, &now);
        if (now.sa_handler != markerHandler) return false;
    }
    return true;
}

// The interpreter puts handlers of its own on SIGHUP, SIGINT and SIGTERM;
// the program's Break key and ending must stay with the program, while a
// task runs and after it.
TEST_F(ReginaHostTest, TheProcessKeepsItsSignalHandlers) {
    struct sigaction marker {
    }, old[3];
    marker.sa_handler = markerHandler;
    sigemptyset(&marker.sa_mask);
    const int signals[] = {SIGHUP, SIGINT, SIGTERM};
    for (int i = 0; i < 3; ++i)
        sigaction(signals[i], &marker, &old[i]);
    makeHost();
    ASSERT_TRUE(host->start("signals", "/* rexx */\nsay 'started'\ncall wait 60\n"));
    ASSERT_TRUE(runUntilLine("started"));
    EXPECT_TRUE(processKeepsItsHandlers());
    host->stopAll();
    ASSERT_TRUE(runToEnd(10s));
    EXPECT_TRUE(processKeepsItsHandlers());
    for (int i = 0; i < 3; ++i)
        sigaction(signals[i], &old[i], nullptr);
}

}  // namespace
}  // namespace cedar
