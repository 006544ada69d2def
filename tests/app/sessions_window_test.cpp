// Several cedar_tn3270 processes side by side on one X display: they claim
// the ids A, B, C in order, /I names a preference, a killed session frees
// its id for the next start, cedarmac lists them and hands one a macro
// request, and a start with every id held ends with its message.
#include <gtest/gtest.h>
#include <signal.h>

#include <memory>
#include <thread>

#include "child_process.h"
#include "line_process.h"
#include "oracles.h"
#include "program_run.h"
#include "record_builder.h"
#include "replay_host.h"
#include "x_desktop.h"

namespace cedar {
namespace {

using test::ProgramRun;
using test::ReplayHost;
using test::TempFolder;
using test::XDesktop;
using namespace std::chrono_literals;

class SessionsWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CEDAR_REQUIRE_ORACLE(XDesktop::available(),
                             "an X display (xvfb-run), openbox, xdotool, wmctrl");
        std::string error;
        ASSERT_TRUE(XDesktop::startShared(error)) << error;
        group_ = "CEDAR_SESSION_GROUP=windows-" + std::to_string(::getpid());
    }
    void TearDown() override {
        for (auto& p : programs_)
            if (p->running()) ::kill(p->pid(), SIGKILL);
        for (auto& p : programs_)
            p->wait(5s);
        programs_.clear();
        test::removeSessionGroup(group_.substr(group_.find('=') + 1));
    }

    // Starts a session on a host of its own; `args` go first.
    ProgramRun& start(std::vector<std::string> args = {}) {
        hosts_.push_back(std::make_unique<ReplayHost>(ReplayHost::Script{
            .records = {
                test::RecordBuilder(cmd::kEraseWrite, 0xC3).text("SIDE BY SIDE").bytes()}}));
        EXPECT_TRUE(hosts_.back()->start()) << hosts_.back()->error();
        homes_.push_back(std::make_unique<TempFolder>());
        programs_.push_back(std::make_unique<ProgramRun>(CEDAR_TN3270, homes_.back()->path()));
        args.insert(args.end(),
                    {"--host", "127.0.0.1", "--port", std::to_string(hosts_.back()->port())});
        EXPECT_TRUE(programs_.back()->start(args, {group_}));
        return *programs_.back();
    }

    bool windowOf(char id) {
        return XDesktop::findWindow(std::string("Cedar TN3270 ") + id + " - 127.0.0.1", 30s)
            .has_value();
    }

    struct Run {
        int exitCode = -1;
        std::string out;
    };
    Run cedarmac(const std::vector<std::string>& args) {
        std::vector<std::string> argv{CEDAR_CEDARMAC};
        argv.insert(argv.end(), args.begin(), args.end());
        auto env = test::environmentWithout({"CEDAR_SESSION_GROUP="});
        env.push_back(group_);
        test::LineProcess p;
        std::string error;
        Run r;
        if (!p.start(argv, env, error)) return r;
        std::string line;
        while (p.readLine(line, test::LineProcess::Clock::now() + 10s) ==
               test::LineProcess::Read::Line)
            r.out += line + "\n";
        r.exitCode = p.end(test::LineProcess::Clock::now() + 5s);
        return r;
    }

    // Waits until the program's output holds `text`.
    static bool outputHas(const ProgramRun& p, const std::string& text) {
        for (int i = 0; i < 100; ++i) {
            if (p.output().find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }

    std::string group_;
    std::vector<std::unique_ptr<ReplayHost>> hosts_;
    std::vector<std::unique_ptr<TempFolder>> homes_;
    std::vector<std::unique_ptr<ProgramRun>> programs_;
};

TEST_F(SessionsWindowTest, IdsRequestsAndAKilledSession) {
    for (char id : {'A', 'B', 'C'}) {
        start();
        ASSERT_TRUE(windowOf(id)) << programs_.back()->output();
    }
    start({"/I", "B"});
    ASSERT_TRUE(windowOf('D')) << programs_.back()->output();
    EXPECT_EQ(cedarmac({"/W"}).out, "Active List - ABCD\n");

    // Requests reach the session named, with their texts.
    auto r = cedarmac({"C", "/S", "Type(\"x\");Key(\"Enter\")"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(outputHas(*programs_[2], "macro statements: Type(\"x\");Key(\"Enter\")"))
        << programs_[2]->output();
    EXPECT_EQ(cedarmac({"b", "runme.mac"}).exitCode, 0);
    EXPECT_TRUE(outputHas(*programs_[1], "macro file: runme.mac")) << programs_[1]->output();
    EXPECT_EQ(programs_[2]->output().find("runme.mac"), std::string::npos);
    r = cedarmac({"Q", "x"});
    EXPECT_EQ(r.out, "Error - Cedar session Q is not currently active\n");
    EXPECT_EQ(r.exitCode, 8);

    // SIGKILL leaves no time to release: the id is free all the same.
    ::kill(programs_[1]->pid(), SIGKILL);
    programs_[1]->wait(5s);
    EXPECT_EQ(cedarmac({"/W"}).out, "Active List - ACD\n");
    start();
    EXPECT_TRUE(windowOf('B')) << programs_.back()->output();
}

TEST_F(SessionsWindowTest, AStartWithEveryIdHeldEndsWithItsMessage) {
    std::vector<std::unique_ptr<test::LineProcess>> fakes;
    auto env = test::environmentWithout({"CEDAR_SESSION_GROUP="});
    env.push_back(group_);
    for (int i = 0; i < 36; ++i) {
        auto p = std::make_unique<test::LineProcess>();
        std::string error;
        ASSERT_TRUE(p->start({CEDAR_FAKE_SESSION}, env, error)) << error;
        std::string line;
        ASSERT_EQ(p->readLine(line, test::LineProcess::Clock::now() + 10s),
                  test::LineProcess::Read::Line);
        ASSERT_EQ(line.rfind("claimed", 0), 0u) << line;
        fakes.push_back(std::move(p));
    }
    ProgramRun& program = start();
    const auto status = program.wait(30s);
    ASSERT_TRUE(status) << program.output();
    EXPECT_NE(*status, 0);
    // Message boxes go to standard error with their line ends written as a backslash and "n".
    EXPECT_NE(program.output().find("message box: Cedar TN3270 Error: There are 36 sessions "
                                    "already active,\\nwhich is the maximum number."),
              std::string::npos)
        << program.output();
    for (auto& p : fakes)
        p->closeInput();
}

}  // namespace
}  // namespace cedar
