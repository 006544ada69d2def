// Several cedar_tn3270 processes side by side on one X display: they claim
// the ids A, B, C in order, /I names a preference, a killed session frees
// its id for the next start, cedarmac lists them and hands one a macro
// request, and a start with every id held ends with its message.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <thread>

#include "child_process.h"
#include "keyboard/key_word.h"
#include "keyboard/layout_file.h"
#include "keyboard/layout_key_names.h"
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

    // Starts a session on a host of its own; `args` go first, `environment`
    // is added to the program's.
    ProgramRun& start(std::vector<std::string> args = {},
                      std::vector<std::string> environment = {}) {
        // Every record the session sends is answered with a keyboard restore.
        hosts_.push_back(std::make_unique<ReplayHost>(ReplayHost::Script{
            .records = {test::RecordBuilder(cmd::kEraseWrite, 0xC3).text("SIDE BY SIDE").bytes()},
            .answer = test::RecordBuilder(cmd::kWrite, 0xC2).bytes()}));
        EXPECT_TRUE(hosts_.back()->start()) << hosts_.back()->error();
        homes_.push_back(std::make_unique<TempFolder>());
        if (operKeys_) writeOperKeys(test::appDataOf(homes_.back()->path()));
        programs_.push_back(std::make_unique<ProgramRun>(CEDAR_TN3270, homes_.back()->path()));
        args.insert(args.end(),
                    {"--host", "127.0.0.1", "--port", std::to_string(hosts_.back()->port())});
        environment.push_back(group_);
        EXPECT_TRUE(programs_.back()->start(args, environment));
        return *programs_.back();
    }

    bool windowOf(char id) {
        return XDesktop::findWindow(std::string("Cedar TN3270 ") + id + " - 127.0.0.1", 30s)
            .has_value();
    }
    // Starts sessions A and B with the operator-function keys and finds
    // their windows; false (with the output as a failure) when one is missing.
    bool startTwoWithOperKeys(std::string& a, std::string& b) {
        operKeys_ = true;
        for (std::string* window : {&a, &b}) {
            start();
            const char id = window == &a ? 'A' : 'B';
            const auto found =
                XDesktop::findWindow(std::string("Cedar TN3270 ") + id + " - 127.0.0.1", 30s);
            if (!found) {
                ADD_FAILURE() << "no window " << id << "\n" << programs_.back()->output();
                return false;
            }
            *window = *found;
        }
        return true;
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

    // The shipped keyboard with Ctrl+F5 as NextSession, Ctrl+F6 as
    // MinimizeAll, Ctrl+F7 as ExitAll and Ctrl+F8 as Cascade, as the user's
    // own keyboard file, beside the shipped session file and a cedar.ini
    // whose cascade puts one window in each column.
    static void writeOperKeys(const std::string& appData) {
        keys::LayoutBlock map(keys::LayoutType::Keyboard);
        const auto bytes = test::readBytes(std::string(CEDAR_DATA_DIR) + "/defaults/standard.key");
        ASSERT_FALSE(map.load({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()},
                              "standard.key"));
        constexpr int kCtrl = 2;
        const auto f5 = keys::keyIndexByName("F5");
        const auto f6 = keys::keyIndexByName("F6");
        const auto f7 = keys::keyIndexByName("F7");
        const auto f8 = keys::keyIndexByName("F8");
        ASSERT_TRUE(f5 && f6 && f7 && f8);
        const std::uint8_t flags = keys::kAssigned | keys::kImmediate;
        ASSERT_TRUE(map.setWord(*f5, kCtrl, keys::operKey(keys::Oper::NextSession, flags)));
        ASSERT_TRUE(map.setWord(*f6, kCtrl, keys::operKey(keys::Oper::MinimizeAll, flags)));
        ASSERT_TRUE(map.setWord(*f7, kCtrl, keys::operKey(keys::Oper::ExitAll, flags)));
        ASSERT_TRUE(map.setWord(*f8, kCtrl, keys::operKey(keys::Oper::Cascade, flags)));
        const auto out = map.fileBytes();
        test::writeBytes(appData + "/standard.key", std::string(out.begin(), out.end()));
        test::writeBytes(appData + "/cedar.ini",
                         "[Cedar]\r\nCascadeStartX=200\r\nCascadeStartY=100\r\n"
                         "CascadeNextX=100\r\nCascadeNextY=0\r\nCascadeMax=1\r\n"
                         "CascadeRestartX=40\r\nCascadeRestartY=300\r\n");
        test::writeBytes(appData + "/standard.ses",
                         test::readBytes(std::string(CEDAR_DATA_DIR) + "/defaults/standard.ses"));
    }

    // The window's _NET_WM_STATE holds `state`, within a few seconds.
    static bool windowStateHas(const std::string& window, const std::string& state,
                               bool expected = true) {
        for (int i = 0; i < 50; ++i) {
            const auto out = XDesktop::run({"xprop", "-id", window, "_NET_WM_STATE"});
            if (out && (out->find(state) != std::string::npos) == expected) return true;
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }
    static bool activeWindowIs(const std::string& window) {
        for (int i = 0; i < 50; ++i) {
            const auto out = XDesktop::run({"xdotool", "getactivewindow"});
            if (out && out->substr(0, out->find_last_not_of("\n") + 1) == window) return true;
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }

    bool operKeys_ = false;
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

    // Requests reach the session named, with their texts: C's host gets
    // the typed text and Enter, B looks for the macro file (it has none).
    ASSERT_TRUE(hosts_[2]->waitForSync(10s));
    auto r = cedarmac({"C", "/S", "Type(\"x\");Key(\"Enter\")"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    ASSERT_TRUE(hosts_[2]->waitForRecords(1, 10s)) << programs_[2]->output();
    EXPECT_EQ(hosts_[2]->clientRecords()[0].front(), 0x7D);  // Enter
    for (int i : {0, 1, 3})
        EXPECT_TRUE(hosts_[i]->clientRecords().empty()) << "host " << i;
    EXPECT_EQ(cedarmac({"b", "runme.mac"}).exitCode, 0);
    EXPECT_TRUE(outputHas(*programs_[1],
                          "message box: Cedar TN3270 - file not found: "
                          "File \"runme.mac\" was not found."))
        << programs_[1]->output();
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

// The operator functions act on the other session's window: its own process
// carries out what the session where the key was pressed asks of it.
TEST_F(SessionsWindowTest, NextSessionAndMinimizeAllReachTheOtherWindow) {
    std::string a, b;
    ASSERT_TRUE(startTwoWithOperKeys(a, b));

    // Both run the same session file: the second window comes to rest
    // (CascadeX, CascadeY) = (22, 22) from where the file puts the first.
    const auto ga = XDesktop::geometry(a);
    const auto gb = XDesktop::geometry(b);
    ASSERT_TRUE(ga && gb);
    EXPECT_EQ(gb->x - ga->x, 22);
    EXPECT_EQ(gb->y - ga->y, 22);

    ASSERT_TRUE(XDesktop::activate(a));
    ASSERT_TRUE(XDesktop::run({"xdotool", "key", "ctrl+F5"}));
    EXPECT_TRUE(activeWindowIs(b)) << programs_[0]->output() << programs_[1]->output();
    // From B the next session wraps round to A.
    ASSERT_TRUE(XDesktop::run({"xdotool", "key", "ctrl+F5"}));
    EXPECT_TRUE(activeWindowIs(a)) << programs_[0]->output() << programs_[1]->output();

    ASSERT_TRUE(XDesktop::run({"xdotool", "key", "ctrl+F6"}));
    EXPECT_TRUE(windowStateHas(a, "_NET_WM_STATE_HIDDEN"));
    EXPECT_TRUE(windowStateHas(b, "_NET_WM_STATE_HIDDEN"));
    // Both sessions go on running.
    EXPECT_EQ(cedarmac({"/W"}).out, "Active List - AB\n");
}

// ExitAll asks once, in the session where it was chosen (the shipped
// session file has ASKBEFORECLOSING on; the test's message boxes answer OK),
// and every session ends without asking.
TEST_F(SessionsWindowTest, ExitAllAsksOnceAndEndsEverySession) {
    std::string a, b;
    ASSERT_TRUE(startTwoWithOperKeys(a, b));

    ASSERT_TRUE(XDesktop::activate(a));
    ASSERT_TRUE(XDesktop::run({"xdotool", "key", "ctrl+F7"}));
    for (auto& p : programs_) {
        const auto status = p->wait(20s);
        ASSERT_TRUE(status) << p->output();
        EXPECT_EQ(*status, 0) << p->output();
    }
    const std::string question = "message box: Cedar TN3270: Ok to close all sessions ?";
    const std::string& first = programs_[0]->output();
    EXPECT_NE(first.find(question), std::string::npos) << first;
    EXPECT_EQ(first.find(question), first.rfind(question)) << first;
    EXPECT_EQ(programs_[1]->output().find("message box:"), std::string::npos)
        << programs_[1]->output();
}

// Cascade moves the other session's window too, starting a new column after
// CascadeMax (1 here) windows.
TEST_F(SessionsWindowTest, CascadeMovesEveryWindow) {
    std::string a, b;
    ASSERT_TRUE(startTwoWithOperKeys(a, b));

    ASSERT_TRUE(XDesktop::activate(a));
    ASSERT_TRUE(XDesktop::run({"xdotool", "key", "ctrl+F8"}));
    // B goes to the second column: (200 + 40, 100 + 300), A to (200, 100).
    bool moved = false;
    std::optional<test::WindowGeometry> ga, gb;
    for (int i = 0; i < 50 && !moved; ++i) {
        std::this_thread::sleep_for(100ms);
        ga = XDesktop::geometry(a);
        gb = XDesktop::geometry(b);
        moved = ga && gb && gb->x - ga->x == 40 && gb->y - ga->y == 300;
    }
    EXPECT_TRUE(moved) << (ga ? ga->x : -1) << "," << (ga ? ga->y : -1) << " and "
                       << (gb ? gb->x : -1) << "," << (gb ? gb->y : -1);
    // The window frame sits round the point each window was moved to.
    ASSERT_TRUE(ga);
    EXPECT_NEAR(ga->x, 200, 30);
    EXPECT_NEAR(ga->y, 100, 60);
}

// Macros handed over by cedarmac play in the session: statements type on
// the host's screen and send it with Enter, a macro file from the user's
// macros folder asks through an edit box and a message box (answered from
// the environment) and writes its DEBUG lines, and the wheel plays its macro.
TEST_F(SessionsWindowTest, MacrosFromCedarmacPlayInTheSession) {
    ProgramRun& program = start({}, {"CEDAR_EDITBOX_ANSWER=Ann"});
    ASSERT_TRUE(windowOf('A')) << program.output();
    const std::string macros = test::appDataOf(homes_.back()->path()) + "/macros";
    std::filesystem::create_directories(macros);
    test::writeBytes(macros + "/greet.mac",
                     "name = EDITBOX(\"Your name?\", \"Who\")\r\n"
                     "a = MESSAGEBOX(name, \"Greeting\", 1, 4)\r\n"
                     "DEBUG(name)\r\n"
                     "DEBUG(a)\r\n");
    ReplayHost& host = *hosts_.back();
    ASSERT_TRUE(host.waitForSync(10s));

    auto r = cedarmac({"A", "/S", "Type(\"x\");Key(\"Enter\")"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    ASSERT_TRUE(host.waitForRecords(1, 10s)) << program.output();
    // Read Modified of the unformatted screen: the AID, the cursor, then
    // "SIDE BY SIDE" with its first character typed over ("xIDE", EBCDIC).
    const auto record = host.clientRecords()[0];
    ASSERT_GE(record.size(), 3u);
    EXPECT_EQ(record[0], 0x7D);
    const std::vector<std::uint8_t> typed{0xA7, 0xC9, 0xC4, 0xC5};
    EXPECT_NE(std::search(record.begin(), record.end(), typed.begin(), typed.end()), record.end())
        << testing::PrintToString(record);

    r = cedarmac({"A", "greet.mac"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    // The boxes answer with the environment's text and the default button (Yes, 6).
    EXPECT_TRUE(outputHas(program, "debug 6")) << program.output();
    const std::string out = program.output();
    const auto edit = out.find("edit box: Who: Your name?");
    const auto box = out.find("message box: Greeting: Ann");
    const auto name = out.find("debug Ann");
    EXPECT_NE(edit, std::string::npos) << out;
    EXPECT_NE(box, std::string::npos) << out;
    EXPECT_NE(name, std::string::npos) << out;
    EXPECT_LT(edit, box);
    EXPECT_LT(box, name);
    EXPECT_TRUE(program.running());

    // The wheel plays its macro (Key("PF8") turning down) once the host has
    // restored the keyboard.
    const auto window = XDesktop::findWindow("Cedar TN3270 A - 127.0.0.1", 10s);
    ASSERT_TRUE(window);
    ASSERT_TRUE(XDesktop::activate(*window));
    ASSERT_TRUE(XDesktop::run({"xdotool", "mousemove", "--window", *window, "200", "150"}));
    ASSERT_TRUE(XDesktop::run({"xdotool", "click", "5"}));
    ASSERT_TRUE(host.waitForRecords(2, 10s)) << program.output();
    EXPECT_EQ(host.clientRecords()[1].front(), 0xF8);  // PF8
}

}  // namespace
}  // namespace cedar
