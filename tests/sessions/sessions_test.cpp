// Sessions side by side, with real processes: light fake sessions claim ids
// in a common area of their own (CEDAR_SESSION_GROUP), and cedarmac lists
// them and hands them requests.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "line_process.h"
#include "platform/common_area_posix.h"
#include "platform/window_titles_posix.h"
#include "session/common_area.h"
#include "session/driver_interfaces.h"
#include "session/session_windows.h"

namespace cedar {
namespace {

using test::LineProcess;
using namespace std::chrono_literals;

class Sessions : public ::testing::Test {
  protected:
    void SetUp() override {
        static std::atomic<int> counter{0};
        group_ = "test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        env_ = test::environmentWithout({"CEDAR_SESSION_GROUP="});
        env_.push_back("CEDAR_SESSION_GROUP=" + group_);
        ::setenv("CEDAR_SESSION_GROUP", group_.c_str(), 1);
    }
    void TearDown() override {
        for (auto& p : sessions_)
            p->closeInput();
        for (auto& p : sessions_)
            p->end(LineProcess::Clock::now() + 5s);
        sessions_.clear();
        std::string error;
        if (auto folder = platform::sessionRuntimeFolder(error))
            std::filesystem::remove_all(*folder);
        ::shm_unlink(("/cedar-tn3270-" + std::to_string(::getuid()) + "-" + group_).c_str());
        ::shm_unlink(
            ("/cedar-tn3270-" + std::to_string(::getuid()) + "-" + group_ + "-titles").c_str());
        ::unsetenv("CEDAR_SESSION_GROUP");
    }

    // Starts a fake session; its first line ("claimed X n" or "no id").
    std::string start(const std::string& id = "-", const std::string& file = "fake.ses") {
        auto p = std::make_unique<LineProcess>();
        std::string error;
        EXPECT_TRUE(p->start({CEDAR_FAKE_SESSION, id, file}, env_, error)) << error;
        std::string line;
        EXPECT_EQ(p->readLine(line, LineProcess::Clock::now() + 10s), LineProcess::Read::Line);
        sessions_.push_back(std::move(p));
        return line;
    }
    // The next line session `n` (in start order) printed.
    std::string next(std::size_t n) {
        std::string line;
        if (sessions_.at(n)->readLine(line, LineProcess::Clock::now() + 10s) !=
            LineProcess::Read::Line)
            return "(nothing)";
        return line;
    }
    // The next request line that is not a window-list refresh.
    std::string nextRequest(std::size_t n) {
        for (;;) {
            const std::string line = next(n);
            if (line.rfind("request 400 ", 0) != 0) return line;
        }
    }

    struct Run {
        int exitCode = -1;
        std::string out;
    };
    Run cedarmac(const std::vector<std::string>& args) {
        std::vector<std::string> argv{CEDAR_CEDARMAC};
        argv.insert(argv.end(), args.begin(), args.end());
        LineProcess p;
        std::string error;
        Run r;
        if (!p.start(argv, env_, error)) {
            ADD_FAILURE() << error;
            return r;
        }
        std::string line;
        while (p.readLine(line, LineProcess::Clock::now() + 10s) == LineProcess::Read::Line)
            r.out += line + "\n";
        r.exitCode = p.end(LineProcess::Clock::now() + 5s);
        return r;
    }

    std::string group_;
    std::vector<std::string> env_;
    std::vector<std::unique_ptr<LineProcess>> sessions_;
};

TEST_F(Sessions, IdsAreClaimedInOrderAndAKilledSessionFreesItsId) {
    EXPECT_EQ(start(), "claimed A 0");
    EXPECT_EQ(start(), "claimed B 1");
    EXPECT_EQ(start("-", "other.ses"), "claimed C 0");
    EXPECT_EQ(start("B"), "claimed D 2");  // B is held: the first free id
    EXPECT_EQ(start("x"), "claimed X 4");
    ::kill(sessions_[1]->pid(), SIGKILL);
    sessions_[1]->end(LineProcess::Clock::now() + 5s);
    // B's slot still names the dead process, but nobody holds its lock.
    EXPECT_EQ(start(), "claimed B 3");
    EXPECT_EQ(cedarmac({"/W"}).out, "Active List - ABCDX\n");
}

TEST_F(Sessions, ThirtySeventhSessionGetsNoId) {
    for (int i = 0; i < area::kSlotCount; ++i)
        ASSERT_EQ(start().substr(0, 8), std::string("claimed ")) << i;
    EXPECT_EQ(start(), "no id");
    EXPECT_EQ(sessions_.back()->end(LineProcess::Clock::now() + 5s), 1);
}

TEST_F(Sessions, SessionsStartedTogetherNeverShareAnId) {
    for (int round = 0; round < 20; ++round) {
        std::vector<std::unique_ptr<LineProcess>> batch;
        for (int i = 0; i < 8; ++i) {
            auto p = std::make_unique<LineProcess>();
            std::string error;
            ASSERT_TRUE(p->start({CEDAR_FAKE_SESSION, "A"}, env_, error)) << error;
            batch.push_back(std::move(p));
        }
        std::set<std::string> ids;
        for (auto& p : batch) {
            std::string line;
            ASSERT_EQ(p->readLine(line, LineProcess::Clock::now() + 10s), LineProcess::Read::Line);
            ASSERT_EQ(line.substr(0, 8), "claimed ");
            ids.insert(line.substr(8, 1));
        }
        EXPECT_EQ(ids, (std::set<std::string>{"A", "B", "C", "D", "E", "F", "G", "H"}))
            << "round " << round;
        for (auto& p : batch) {
            p->closeInput();
            EXPECT_EQ(p->end(LineProcess::Clock::now() + 5s), 0);
        }
    }
}

TEST_F(Sessions, EveryStartAndEndTellsTheOthersToRefresh) {
    start();
    EXPECT_EQ(next(0), "request 400 0 ");  // its own claim
    start();
    EXPECT_EQ(next(0), "request 400 0 ");  // the second's claim
    const auto second = static_cast<unsigned>(sessions_[1]->pid());
    sessions_[1]->closeInput();
    EXPECT_EQ(sessions_[1]->end(LineProcess::Clock::now() + 5s), 0);
    EXPECT_EQ(next(0), "request 400 " + std::to_string(second) + " ");
}

TEST_F(Sessions, CedarmacHandsRequestsToTheRightSession) {
    start("A");
    start("D");
    EXPECT_EQ(cedarmac({"/w"}).out, "Active List - AD\n");

    auto r = cedarmac({"d", "runme.mac"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(nextRequest(1), "request 410 0 runme.mac");
    // A path is a macro file name, not a flag.
    EXPECT_EQ(cedarmac({"A", "/home/u/x.mac"}).exitCode, 0);
    EXPECT_EQ(nextRequest(0), "request 410 0 /home/u/x.mac");
    // Statements, with the flag before or after the id.
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"A", "/S", "Type(\"x\");Key(\"Enter\")"},
                                               {"/s", "Axyz", "Type(\"x\");Key(\"Enter\")"}}) {
        EXPECT_EQ(cedarmac(args).exitCode, 0);
        EXPECT_EQ(nextRequest(0), "request 411 0 Type(\"x\");Key(\"Enter\")");
    }
    // /W with an id and a text lists, then posts.
    r = cedarmac({"/W", "D", "both.mac"});
    EXPECT_EQ(r.out, "Active List - AD\n");
    EXPECT_EQ(nextRequest(1), "request 410 0 both.mac");
}

TEST_F(Sessions, CedarmacErrors) {
    auto r = cedarmac({"/W"});
    EXPECT_EQ(r.out, "Error 2 - There are no active Cedar windows\n");
    EXPECT_EQ(r.exitCode, 8);
    start("A");
    r = cedarmac({"q", "x"});
    EXPECT_EQ(r.out, "Error - Cedar session q is not currently active\n");
    EXPECT_EQ(r.exitCode, 8);

    // The request field holds 259 characters and the terminator.
    const std::string longest(area::kMaxFieldText, 'm');
    EXPECT_EQ(cedarmac({"A", longest}).exitCode, 0);
    EXPECT_EQ(nextRequest(0), "request 410 0 " + longest);
    r = cedarmac({"A", "/S", longest + "m"});
    EXPECT_EQ(r.exitCode, 8);
    EXPECT_NE(r.out.find("at most 259"), std::string::npos) << r.out;
    // Nothing reached the session: the next request it sees is this one.
    EXPECT_EQ(cedarmac({"A", "after.mac"}).exitCode, 0);
    EXPECT_EQ(nextRequest(0), "request 410 0 after.mac");
}

// Two requests posted before the session reads either arrive both, each with
// its own text.
TEST_F(Sessions, QueuedRequestsKeepTheirTexts) {
    start("A");
    std::string error;
    auto shared = platform::SharedArea::open(error);
    ASSERT_TRUE(shared) << error;
    ::kill(sessions_[0]->pid(), SIGSTOP);
    EXPECT_EQ(shared->postMacro(0, false, "first.mac"), platform::SharedArea::PostResult::Posted);
    EXPECT_EQ(shared->postMacro(0, true, "Key(\"Enter\")"),
              platform::SharedArea::PostResult::Posted);
    ::kill(sessions_[0]->pid(), SIGCONT);
    EXPECT_EQ(nextRequest(0), "request 410 0 first.mac");
    EXPECT_EQ(nextRequest(0), "request 411 0 Key(\"Enter\")");
    EXPECT_EQ(shared->postMacro(5, false, "x"), platform::SharedArea::PostResult::NotRunning);
}

}  // namespace
}  // namespace cedar

namespace cedar {
namespace {

// The titles and minimized flags each session publishes, as another session
// reads them for its window list and the visible-session functions.
TEST_F(Sessions, WindowTitlesAndMinimizedStatesAreSeenByTheOthers) {
    ASSERT_EQ(start(), "claimed A 0");
    ASSERT_EQ(start(), "claimed B 1");
    ASSERT_EQ(start(), "claimed C 2");
    std::string error;
    auto shared = platform::SharedArea::open(error);
    ASSERT_TRUE(shared) << error;
    auto titles = platform::SharedWindowTitles::open(shared->folder(), error);
    ASSERT_TRUE(titles) << error;
    auto owners = shared->owners();
    ASSERT_TRUE(owners);
    auto states = titles->read(*owners);
    ASSERT_TRUE(states);
    EXPECT_EQ((*states)[0], (area::WindowState{"fake A", false}));
    EXPECT_EQ((*states)[2], (area::WindowState{"fake C", false}));

    // B is minimized by a request, as MinimizeAll or a switch would post it.
    ASSERT_TRUE(shared->post((*owners)[1], {request::kMinimizeWindow, 0, {}}));
    EXPECT_EQ(nextRequest(1), "request 421 0 ");
    states = titles->read(*owners);
    ASSERT_TRUE(states);
    EXPECT_TRUE((*states)[1].minimized);
    area::OperContext c{*owners, 0, *states, {}, {}};
    auto plan = area::planSessionOper(area::SessionOper::NextVisibleSession, c);
    EXPECT_EQ(plan.steps, (std::vector<area::WindowStep>{{2, area::WindowAction::Activate}}));
    plan = area::planSessionOper(area::SessionOper::NextSession, c);
    EXPECT_EQ(plan.steps, (std::vector<area::WindowStep>{{1, area::WindowAction::Activate}}));

    // Killed, C leaves its entry behind; a new session on its id publishes
    // its own, and until then nobody reads the old one as the new one's.
    const auto oldC = (*owners)[2];
    ::kill(sessions_[2]->pid(), SIGKILL);
    sessions_[2]->end(LineProcess::Clock::now() + 5s);
    owners = shared->owners();
    ASSERT_TRUE(owners);
    EXPECT_EQ((*owners)[2], 0u);
    EXPECT_EQ((*titles->read(*owners))[2], area::WindowState{});
    area::OwnerTable reused = *owners;
    reused[2] = oldC + 1;  // another process on the id, not yet published
    EXPECT_EQ((*titles->read(reused))[2], area::WindowState{});
    ASSERT_EQ(start(), "claimed C 2");
    owners = shared->owners();
    EXPECT_EQ((*titles->read(*owners))[2], (area::WindowState{"fake C", false}));
}

TEST_F(Sessions, ATitleBlockOthersCanReadIsRefused) {
    const std::string name =
        "/cedar-tn3270-" + std::to_string(::getuid()) + "-" + group_ + "-titles";
    const int fd = ::shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::fchmod(fd, 0644), 0);
    ::close(fd);
    std::string error;
    auto folder = platform::sessionRuntimeFolder(error);
    ASSERT_TRUE(folder) << error;
    EXPECT_EQ(platform::SharedWindowTitles::open(*folder, error), nullptr);
    EXPECT_EQ(error, "the common area belongs to someone else");
}

}  // namespace
}  // namespace cedar
