// The session's macro player on the driver's wait timer (a manual clock)
// and the record processor's keyboard restores.
#include "session/macro_runner.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "driver_fakes.h"

namespace cedar {
namespace {

struct RecordingUi : MacroRunnerUi {
    std::vector<int> errors;
    std::vector<int> ended;
    void macroError(const MacroErrorReport& r) override { errors.push_back(r.number); }
    void macroEnded(int code) override { ended.push_back(code); }
};

struct RunnerRig {
    // `seed` fills the macros folder before the runner looks for its exit macros.
    explicit RunnerRig(const std::function<void(MemoryMacroFiles&)>& seed = {}) {
        if (seed) seed(files);
        file.adopt(sessionfile::standardSessionOptions());
        runner = std::make_unique<SessionMacroRunner>(session, clock, files, host, ui);
        driver = std::make_unique<SessionDriver>(
            SessionDriver::Parts{session, file, settings, clock, link, driverUi, store,
                                 settingsStore, *runner, identity},
            SessionDriver::Start{"work.ses", true, ""});
        runner->setDriver(driver.get());
    }
    ~RunnerRig() {
        driver.reset();
        runner.reset();
    }
    std::optional<int> number(const char* name) {
        const MacroVariable* v = runner->variables().find(name);
        if (!v || !v->value.isNumber()) return std::nullopt;
        return v->value.number;
    }
    void restoreKeyboard() {
        session.status = SessionStatus::Unlocked;
        session.records.hooks().events->keyboardRestored();
    }

    Session session;
    sessionfile::SessionFile file;
    Settings settings;
    test::ManualScheduler clock;
    test::FakeLink link{session};
    test::FakeUi driverUi;
    test::FakeStore store;
    test::FakeSettingsStore settingsStore;
    test::FakeIdentity identity;
    MemoryMacroFiles files;
    RecordingMacroHost host;
    RecordingUi ui;
    std::unique_ptr<SessionMacroRunner> runner;
    std::unique_ptr<SessionDriver> driver;
};

TEST(SessionMacroRunnerTest, TimedWaitRunsOnTheDriversTimer) {
    RunnerRig rig;
    rig.runner->runText("WAIT(2)\nx = 1\nEXIT 4");
    EXPECT_EQ(rig.runner->state(), 5);
    EXPECT_TRUE(rig.driver->macroWaitRunning());
    rig.clock.advance(1999);
    EXPECT_FALSE(rig.number("X"));
    rig.clock.advance(1);
    EXPECT_EQ(rig.number("X"), 1);
    EXPECT_EQ(rig.runner->state(), 0);
    EXPECT_EQ(rig.ui.ended, std::vector<int>{4});
    EXPECT_FALSE(rig.driver->macroWaitRunning());
}

TEST(SessionMacroRunnerTest, ConditionWaitWakesAtTheKeyboardRestoreOrTimesOut) {
    RunnerRig rig;
    rig.session.status = SessionStatus::SysLock;
    rig.runner->runText("WAITUNLOCKED(5)\ny = 1");
    EXPECT_EQ(rig.runner->state(), 4);
    rig.clock.advance(3000);
    rig.restoreKeyboard();
    EXPECT_FALSE(rig.number("Y"));  // the wake-up is posted, never run inside the event
    rig.clock.runPosted();
    EXPECT_EQ(rig.number("Y"), 1);
    EXPECT_FALSE(rig.driver->macroWaitRunning());

    rig.session.status = SessionStatus::SysLock;
    rig.runner->runText("WAITUNLOCKED(1)\nz = 1");
    rig.clock.advance(1000);
    EXPECT_EQ(rig.ui.errors, std::vector<int>{31});
    EXPECT_FALSE(rig.number("Z"));
    EXPECT_EQ(rig.runner->state(), 0);
}

TEST(SessionMacroRunnerTest, StartupMacroKeyFunctionPlaysTheSessionsStartupMacro) {
    RunnerRig rig;
    rig.files.add(MacroFolder::Macros, "logon.mac", "s = 1");
    std::string name = "(none)";
    rig.runner->setStartupMacro([&name] { return name; });
    rig.runner->runStartupMacro();
    EXPECT_FALSE(rig.number("S"));
    name = "logon";
    rig.runner->runStartupMacro();
    EXPECT_EQ(rig.number("S"), 1);
    EXPECT_EQ(rig.runner->currentName(), "logon");
}

TEST(SessionMacroRunnerTest, APostedWakeUpOutlivingThePlayerDoesNothing) {
    RunnerRig rig;
    rig.session.status = SessionStatus::SysLock;
    rig.runner->runText("WAITUNLOCKED(5)");
    rig.restoreKeyboard();
    const SessionEvents* installed = rig.session.records.hooks().events;
    rig.driver.reset();
    rig.runner.reset();
    // The player took itself out of the record processor's events ...
    EXPECT_NE(rig.session.records.hooks().events, installed);
    // ... and its posted burst finds it gone (under ASan: no use after free).
    rig.clock.runPosted();
}

// The exit macros play only when they were in the macros folder at start and
// no macro is loaded; the session's own events start them after the record
// that caused them, the keys' ones at once.
TEST(SessionMacroRunnerTest, ExitMacrosPlayOnTheirEventsWhenPresent) {
    using Exit = SessionMacroRunner::ExitMacro;
    RunnerRig rig([](MemoryMacroFiles& f) {
        f.add(MacroFolder::Macros, "protect.ext", "p = 5");
        f.add(MacroFolder::Macros, "locked.ext", "EXIT 1");
        f.add(MacroFolder::Macros, "unlocked.ext", "u = 7");
    });
    EXPECT_TRUE(rig.runner->runExitMacro(Exit::Protect));
    EXPECT_EQ(rig.number("P"), 5);
    EXPECT_TRUE(rig.runner->runExitMacro(Exit::Locked));
    EXPECT_FALSE(rig.runner->runExitMacro(Exit::SessionManager));  // not in the folder

    // A playing macro keeps the restore to itself.
    rig.runner->runText("WAIT(5)");
    rig.restoreKeyboard();
    rig.clock.runPosted();
    EXPECT_FALSE(rig.number("U"));
    rig.clock.advance(5000);
    EXPECT_EQ(rig.runner->state(), 0);

    rig.restoreKeyboard();
    EXPECT_FALSE(rig.number("U"));  // not from inside the record processor
    rig.clock.runPosted();
    EXPECT_EQ(rig.number("U"), 7);

    // A locked.ext that ends with 0 leaves the key to the keyboard.
    RunnerRig zero([](MemoryMacroFiles& f) { f.add(MacroFolder::Macros, "locked.ext", "x = 1"); });
    EXPECT_FALSE(zero.runner->runExitMacro(Exit::Locked));
    EXPECT_EQ(zero.number("X"), 1);
    zero.restoreKeyboard();
    zero.clock.runPosted();
    EXPECT_FALSE(zero.number("U"));
}

// A long burst lets the event loop run every slice and goes on from a
// posted call, so the window stays alive and Break can be pressed.
TEST(SessionMacroRunnerTest, ALongBurstYieldsToTheEventLoopAndGoesOn) {
    RunnerRig rig;
    // Every function call takes a millisecond of the session's clock.
    struct TickingHost : RecordingMacroHost {
        explicit TickingHost(test::ManualScheduler& c) : clock(c) {}
        MacroError callFunction(ReservedWord, std::span<const MacroValue>,
                                MacroValue& result) override {
            clock.advance(1);
            result = MacroValue::ofNumber(1);
            return MacroError::None;
        }
        test::ManualScheduler& clock;
    } ticking(rig.clock);
    rig.runner->setFunctionHost(ticking);

    rig.runner->runText("n = 0\nWHILE n < 1000\nn = n + LEN(\"a\")\nENDWHILE\nEXIT 5");
    EXPECT_EQ(rig.runner->state(), 2);  // still running, between slices
    const auto first = rig.number("N");
    ASSERT_TRUE(first);
    EXPECT_GT(*first, 0);
    EXPECT_LT(*first, 1000);
    for (int i = 0; i < 100 && rig.runner->state() != 0; ++i)
        rig.clock.runPosted();
    EXPECT_EQ(rig.number("N"), 1000);
    EXPECT_EQ(rig.ui.ended, std::vector<int>{5});
}

}  // namespace
}  // namespace cedar

namespace cedar {
namespace {

struct SilentRecorderUi : MacroRecorderUi {
    int saveMacroFile(const std::string&, std::string_view) override { return 0; }
};

// The status line's mark: a recording shows as state 1 (3 paused) while no
// macro plays; a playing macro shows its own state.
TEST(SessionMacroRunnerTest, ARecordingShowsInTheStateWhileNoMacroPlays) {
    RunnerRig rig;
    keys::KeyList keyList;
    SilentRecorderUi ui;
    MacroRecorder recorder(ui, keyList);
    rig.runner->setRecorder(&recorder);
    EXPECT_EQ(rig.runner->state(), 0);
    MacroRecorder::Start start;
    start.name = "r";
    recorder.start(start);
    EXPECT_EQ(rig.runner->state(), 1);
    recorder.togglePause();
    EXPECT_EQ(rig.runner->state(), 3);
    rig.runner->runText("WAIT(2)");
    EXPECT_EQ(rig.runner->state(), 5);
    rig.clock.advance(2000);
    EXPECT_EQ(rig.runner->state(), 3);
    recorder.stop();
    EXPECT_EQ(rig.runner->state(), 0);
}

}  // namespace
}  // namespace cedar
