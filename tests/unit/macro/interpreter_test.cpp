// The interpreter: control flow, waits against a manual timer and simulated
// keyboard restores, nested and remote RUN, and start requests that arrive
// while a burst is on the stack.
#include "macro/interpreter.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "interpreter_fakes.h"

namespace cedar {
namespace {

using test::FakeMacroEnvironment;

struct Fixture {
    FakeMacroEnvironment env;
    RecordingMacroHost host;
    VariableTable variables;
    MacroInterpreter interpreter{env, host, variables};

    std::optional<int> number(const std::string& name) {
        const MacroVariable* v = variables.find(name);
        if (!v || !v->value.isNumber()) return std::nullopt;
        return v->value.number;
    }
};

struct FlowRow {
    const char* name;
    const char* source;
    int error;  // -1: none
    std::vector<std::pair<const char*, int>> numbers;
    std::vector<const char*> unset = {};
};

TEST(MacroInterpreterTest, ControlFlowTable) {
    const std::vector<FlowRow> rows = {
        {"select takes the first matching case and does not fall through",
         "x = 0\nSELECT 2\nCASE 1\nx = 1\nCASE 3, 2\nx = x + 10\nCASE 2\nx = x + 100\n"
         "DEFAULT\nx = x + 1000\nENDSELECT\ny = 1",
         -1,
         {{"X", 10}, {"Y", 1}}},
        {"a number selector skips text values; default taken",
         "SELECT 1\nCASE \"1\"\nx = 1\nDEFAULT\nx = 2\nENDSELECT",
         -1,
         {{"X", 2}}},
        {"a text selector matches ignoring case",
         "SELECT \"abc\"\nCASE \"x\", \"ABC\"\nx = 1\nENDSELECT",
         -1,
         {{"X", 1}}},
        {"nothing matches: after the ENDSELECT",
         "x = 0\nSELECT 9\nCASE 1\nx = 1\nENDSELECT\ny = 2",
         -1,
         {{"X", 0}, {"Y", 2}}},
        {"for with the limit below the start counts down",
         "n = 0\nFOR i = 5 TO 1\nn = n + 1\nNEXT i",
         -1,
         {{"N", 5}, {"I", 0}}},
        {"for whose limit is already passed runs its body once",
         "n = 0\nFOR i = 1 TO 0 STEP 1\nn = n + 1\nNEXT i",
         -1,
         {{"N", 1}, {"I", 2}}},
        {"for with a step; the variable ends past the limit",
         "n = 0\nFOR i = 1 TO 10 STEP 4\nn = n + i\nNEXT i",
         -1,
         {{"N", 15}, {"I", 13}}},
        {"step zero", "FOR i = 1 TO 3 STEP 0\nNEXT i", 47, {}},
        {"for without to", "FOR i = 1\nNEXT i", 44, {}},
        {"for without assignment", "FOR i 1 TO 3\nNEXT i", 43, {}},
        {"for with text", "FOR i = \"a\" TO 3\nNEXT i", 45, {}},
        {"text after to that is not step", "FOR i = 1 TO 3 BY 2\nNEXT i", 46, {}},
        {"next names another variable", "j = 0\nFOR i = 1 TO 3\nNEXT j", 48, {}},
        {"while with break and continue",
         "i = 0\nn = 0\nWHILE i < 10 DO\ni = i + 1\nIF i = 3\nCONTINUE\nENDIF\nIF i = 6\nBREAK\n"
         "ENDIF\nn = n + 1\nENDWHILE",
         -1,
         {{"I", 6}, {"N", 4}}},
        {"if with else and trailing text",
         "IF 1 = 2 THEN\nx = 1\nELSE\nx = 2\nENDIF\nIF 1 THEN\ny = 3\nELSE\ny = 4\nENDIF",
         -1,
         {{"X", 2}, {"Y", 3}}},
        {"recursive call", "CALL s\nEXIT\ns: SUBROUTINE\nCALL s\nRETURN", 65, {}},
        {"call from another subroutine and return to each caller",
         "x = 0\nCALL a\nx = x + 1\nEXIT\na: SUBROUTINE\nCALL b\nx = x + 10\nRETURN\n"
         "b: SUBROUTINE\nx = x + 100\nRETURN",
         -1,
         {{"X", 111}}},
        {"the same subroutine called twice",
         "x = 0\nCALL a\nCALL a\nEXIT\na: SUBROUTINE\nx = x + 1\nRETURN",
         -1,
         {{"X", 2}}},
        {"falling into a subroutine ends the macro without error",
         "x = 1\ns: SUBROUTINE\nx = 2\nRETURN",
         -1,
         {{"X", 1}}},
        {"return outside a running subroutine", "GOTO l\ns: SUBROUTINE\nl: RETURN", 64, {}},
        {"missing goto label found only at run time",
         "x = 1\nIF x = 2\nGOTO nowhere\nENDIF\n"
         "GOTO nowhere",
         54,
         {{"X", 1}}},
        {"goto runs the statement behind the label",
         "x = 0\nGOTO l\nx = 5\nl: x = x + 1",
         -1,
         {{"X", 1}}},
        {"exit ends the macro at once", "x = 1\nEXIT 3\nx = 2", -1, {{"X", 1}}},
        {"a statement that is not a word", "5 = 3", 6, {}},
        {"text after an expression statement", "x = 1\nCONTROL(0) 2", 8, {}},
        {"comments and empty statements", "* a comment\n\n  ;x = 4", -1, {{"X", 4}}},
        {"the macro's own functions: DEFINED and DROP",
         "a = 1\nd1 = DEFINED(\"a\")\nDROP()\nd2 = DEFINED(\"A\")",
         -1,
         {{"D2", 0}},
         {"D1", "A"}},
    };
    for (const FlowRow& row : rows) {
        SCOPED_TRACE(row.name);
        Fixture f;
        EXPECT_EQ(f.interpreter.runMacroText(row.source), MacroInterpreter::StartResult::Started);
        EXPECT_EQ(f.env.lastError(), row.error);
        EXPECT_EQ(f.interpreter.state(), MacroState::Idle);
        EXPECT_FALSE(f.interpreter.loaded());
        for (const auto& [name, value] : row.numbers)
            EXPECT_EQ(f.number(name), value) << name;
        for (const char* name : row.unset)
            EXPECT_EQ(f.variables.find(name), nullptr) << name;
    }
}

TEST(MacroInterpreterTest, ErrorReportNamesTheLineAndColumn) {
    Fixture f;
    f.interpreter.runMacroText("x = 1\ny = 2\nx = y + \"a\"");
    ASSERT_EQ(f.env.errors.size(), 1u);
    const MacroErrorReport& r = f.env.errors[0];
    EXPECT_EQ(r.number, 13);
    EXPECT_EQ(r.line, 3);
    EXPECT_NE(r.message.find("x = y + \"a\""), std::string::npos);
    EXPECT_TRUE(f.env.ended.empty());
}

TEST(MacroInterpreterTest, ExitCodeOfTheRootAndTheTrace) {
    Fixture f;
    struct Lines : MacroDebugWindow {
        std::vector<std::string> lines;
        void debugLine(std::string_view text) override { lines.emplace_back(text); }
    } window;
    f.interpreter.setDebugWindow(&window);
    f.interpreter.runMacroText("CONTROL(1)\nx = 2 ; EXIT x + 5");
    EXPECT_EQ(f.env.ended, std::vector<int>{7});
    EXPECT_EQ(f.interpreter.exitCode(), 7);
    EXPECT_EQ(window.lines, (std::vector<std::string>{"x = 2 ", "EXIT x + 5"}));
}

TEST(MacroInterpreterTest, NestedAndRemoteRun) {
    Fixture f;
    f.env.files.add(MacroFolder::Macros, "child.mac", "y = 7\nEXIT 3\ny = 8");
    f.env.files.add(MacroFolder::Macros, "rx.mac", "/* REXX */\nsay 'hi'");
    f.env.openSessions = "C";
    f.interpreter.runMacroText(
        "RUN(\"child.mac\")\nz = 1\nRUN(\"missing\")\nRUN(\"rx\")\nRUN(\"job.mac\", \"c\")\n"
        "w = 2");
    EXPECT_EQ(f.env.lastError(), -1);
    EXPECT_EQ(f.number("Y"), 7);
    EXPECT_EQ(f.number("Z"), 1);
    EXPECT_EQ(f.number("W"), 2);
    EXPECT_EQ(f.env.notFound, std::vector<std::string>{"missing.mac"});
    EXPECT_EQ(f.env.rexx, std::vector<std::string>{"rx.mac"});
    EXPECT_EQ(f.env.remoteRuns, std::vector<std::string>{"C:job"});
    EXPECT_EQ(f.env.ended, std::vector<int>{3});

    struct Row {
        const char* statement;
        int error;
    };
    for (const Row& row : {Row{"RUN(\"x\", \"?\")", 67}, Row{"RUN(\"x\", \"\")", 67},
                           Row{"RUN(\"x\", \"b\")", 66}}) {
        SCOPED_TRACE(row.statement);
        Fixture g;
        g.interpreter.runMacroText(row.statement);
        EXPECT_EQ(g.env.lastError(), row.error);
    }
}

TEST(MacroInterpreterTest, NestedRunErrorsAreReportedInTheNestedMacro) {
    Fixture f;
    f.env.files.add(MacroFolder::Macros, "bad.mac", "a = 1\nb = a + \"x\"");
    f.env.files.add(MacroFolder::Macros, "self.mac", "RUN(\"self\")");
    f.interpreter.runMacroText("RUN(\"bad\")\nc = 1");
    ASSERT_EQ(f.env.errors.size(), 1u);
    EXPECT_EQ(f.env.errors[0].fileName, "bad.mac");
    EXPECT_EQ(f.env.errors[0].line, 2);
    EXPECT_FALSE(f.variables.find("C"));
    // A macro that runs itself is stopped, not left to eat memory.
    f.interpreter.runMacro("self");
    EXPECT_EQ(f.env.lastError(), 52);
    EXPECT_FALSE(f.interpreter.loaded());
}

TEST(MacroInterpreterTest, ConditionAlreadyTrueStartsNoTimer) {
    Fixture f;
    f.env.unlocked = true;
    f.interpreter.runMacroText("WAIT(10, 1 = 1)\nWAITUNLOCKED(3)\nx = 1");
    EXPECT_EQ(f.env.timerStarts, 0);
    EXPECT_EQ(f.number("X"), 1);
    EXPECT_EQ(f.interpreter.state(), MacroState::Idle);
}

TEST(MacroInterpreterTest, ConditionWaitWakesAtRestoresAndTimesOut) {
    Fixture f;
    f.interpreter.runMacroText("WAITUNLOCKED(2)\nx = 1");
    EXPECT_EQ(f.interpreter.state(), MacroState::WaitingForCondition);
    ASSERT_TRUE(f.env.timer);
    EXPECT_EQ(*f.env.timer, std::chrono::milliseconds(2000));
    // A restore with the keyboard still locked: evaluated again, the
    // timeout still counted from the first evaluation.
    f.interpreter.keyboardRestored();
    f.interpreter.keyboardRestored();
    EXPECT_EQ(f.env.posts, 1);
    f.env.drain(f.interpreter);
    EXPECT_EQ(f.interpreter.state(), MacroState::WaitingForCondition);
    EXPECT_EQ(f.env.timerStarts, 1);
    f.env.expire(f.interpreter);
    EXPECT_EQ(f.env.lastError(), 31);
    EXPECT_FALSE(f.number("X"));
    EXPECT_FALSE(f.interpreter.loaded());

    Fixture g;
    g.interpreter.runMacroText("WAITUNLOCKED(2)\nx = 1");
    g.env.unlocked = true;
    g.interpreter.keyboardRestored();
    g.env.drain(g.interpreter);
    EXPECT_EQ(g.number("X"), 1);
    EXPECT_FALSE(g.env.timer);  // killed when the condition came true
    EXPECT_EQ(g.interpreter.state(), MacroState::Idle);
}

TEST(MacroInterpreterTest, RestoreDuringTheStatementBeforeTheWait) {
    // The keyboard comes back while the macro is still busy before its
    // WAITUNLOCKED: the wait sees the condition true and never starts.
    Fixture f;
    struct UnlockingHost : RecordingMacroHost {
        FakeMacroEnvironment* env = nullptr;
        MacroInterpreter* interpreter = nullptr;
        MacroError callFunction(ReservedWord word, std::span<const MacroValue> args,
                                MacroValue& result) override {
            env->unlocked = true;
            interpreter->keyboardRestored();
            return RecordingMacroHost::callFunction(word, args, result);
        }
    } host;
    host.env = &f.env;
    host.interpreter = &f.interpreter;
    f.interpreter.setFunctionHost(host);
    f.interpreter.runMacroText("KEY(\"enter\")\nWAITUNLOCKED(5)\nx = 1");
    EXPECT_EQ(f.number("X"), 1);
    EXPECT_EQ(f.env.timerStarts, 0);
    EXPECT_EQ(f.env.posts, 0);
}

TEST(MacroInterpreterTest, TimedWaitPauseAndResumeWaitsTheFullTimeAgain) {
    Fixture f;
    f.interpreter.runMacroText("SHORTWAIT(25)\nWAIT(5)\nx = 1");
    EXPECT_EQ(f.interpreter.state(), MacroState::TimedWait);
    EXPECT_EQ(*f.env.timer, std::chrono::milliseconds(250));
    f.env.expire(f.interpreter);
    f.env.drain(f.interpreter);
    EXPECT_EQ(*f.env.timer, std::chrono::milliseconds(5000));

    f.interpreter.togglePause();
    EXPECT_EQ(f.interpreter.state(), MacroState::Paused);
    EXPECT_EQ(macroStatusChar(f.interpreter.state()), 'X');
    EXPECT_FALSE(f.env.timer);
    f.interpreter.keyboardRestored();  // no wake-up while paused
    f.env.drain(f.interpreter);
    EXPECT_EQ(f.interpreter.state(), MacroState::Paused);

    f.interpreter.togglePause();
    f.env.drain(f.interpreter);
    EXPECT_EQ(f.interpreter.state(), MacroState::TimedWait);
    EXPECT_EQ(*f.env.timer, std::chrono::milliseconds(5000));
    EXPECT_EQ(f.env.timerStarts, 3);
    EXPECT_FALSE(f.number("X"));
    f.env.expire(f.interpreter);
    f.env.drain(f.interpreter);
    EXPECT_EQ(f.number("X"), 1);
    EXPECT_EQ(f.interpreter.state(), MacroState::Idle);
}

// SENDFILE and RECEIVEFILE start a transfer once and the macro waits for
// its end: a keyboard restore while it runs, a pause and resume, leave it
// waiting without a second start; the end goes on to the next line. A stop
// while it waits ends the macro and tells the host to let go of the
// transfer, and the next macro's transfer starts anew.
TEST(MacroInterpreterTest, ATransferIsStartedOnceAndWaitedFor) {
    Fixture f;
    struct TransferHost : RecordingMacroHost {
        bool pending = false;
        int starts = 0;
        MacroError callFunction(ReservedWord word, std::span<const MacroValue> args,
                                MacroValue& result) override {
            if (word == ReservedWord::SendFile || word == ReservedWord::ReceiveFile) {
                ++starts;
                pending = true;
            }
            return RecordingMacroHost::callFunction(word, args, result);
        }
        bool transferPending() override { return pending; }
        void transferAbandoned() override { ++abandons; }
        int abandons = 0;
    } host;
    f.interpreter.setFunctionHost(host);
    f.interpreter.runMacroText(
        "x = 1\nSENDFILE(\"a\", \"B\")\nx = 2\nRECEIVEFILE(\"B\", \"c\")\nx = 3");
    EXPECT_EQ(host.starts, 1);
    EXPECT_EQ(f.number("X"), 1);
    EXPECT_EQ(f.interpreter.state(), MacroState::WaitingForCondition);
    EXPECT_EQ(macroStatusChar(f.interpreter.state()), 'P');  // a macro playing
    EXPECT_FALSE(f.env.timer);                               // no time limit

    f.interpreter.keyboardRestored();
    f.env.drain(f.interpreter);
    f.interpreter.togglePause();
    f.interpreter.togglePause();
    f.env.drain(f.interpreter);
    EXPECT_EQ(host.starts, 1);
    EXPECT_EQ(f.number("X"), 1);
    EXPECT_EQ(f.interpreter.state(), MacroState::WaitingForCondition);

    host.pending = false;
    f.interpreter.transferEnded();
    f.env.drain(f.interpreter);
    EXPECT_EQ(host.starts, 2);  // RECEIVEFILE's
    EXPECT_EQ(f.number("X"), 2);
    host.pending = false;
    f.interpreter.keyboardRestored();
    f.env.drain(f.interpreter);
    EXPECT_EQ(f.number("X"), 3);
    EXPECT_EQ(f.interpreter.state(), MacroState::Idle);

    // Stopped while it waits; a new macro starts its own transfer.
    f.interpreter.runMacroText("SENDFILE(\"a\", \"B\")\nx = 4");
    EXPECT_EQ(host.starts, 3);
    EXPECT_EQ(host.abandons, 0);  // the transfers before ended
    f.interpreter.stop();
    EXPECT_EQ(f.interpreter.state(), MacroState::Idle);
    EXPECT_EQ(host.abandons, 1);  // the host lets go of it
    host.pending = false;
    f.interpreter.runMacroText("SENDFILE(\"a\", \"B\")\nx = 5");
    EXPECT_EQ(host.starts, 4);
    host.pending = false;
    f.interpreter.transferEnded();
    f.env.drain(f.interpreter);
    EXPECT_EQ(f.number("X"), 5);

    // A start that fails is the macro's error; nothing waits.
    host.errors[ReservedWord::SendFile] = MacroError::TransferParmError;
    f.interpreter.runMacroText("SENDFILE(\"a\", \"B\")\nx = 6");
    EXPECT_EQ(f.env.lastError(), macroErrorNumber(MacroError::TransferParmError));
    EXPECT_EQ(f.number("X"), 5);
    EXPECT_EQ(f.interpreter.state(), MacroState::Idle);
}

TEST(MacroInterpreterTest, PauseByTheMacroItselfGoesOnAfterItsStatement) {
    Fixture f;
    struct PausingHost : RecordingMacroHost {
        MacroInterpreter* interpreter = nullptr;
        MacroError callFunction(ReservedWord word, std::span<const MacroValue> args,
                                MacroValue& result) override {
            interpreter->setPendingAdvance();
            interpreter->togglePause();
            return RecordingMacroHost::callFunction(word, args, result);
        }
    } host;
    host.interpreter = &f.interpreter;
    f.interpreter.setFunctionHost(host);
    f.interpreter.runMacroText("x = 0\nKEY(\"pause\")\nx = x + 1");
    EXPECT_EQ(f.interpreter.state(), MacroState::Paused);
    EXPECT_EQ(f.number("X"), 0);
    f.interpreter.setFunctionHost(f.host);
    f.interpreter.togglePause();
    f.env.drain(f.interpreter);
    EXPECT_EQ(f.number("X"), 1);
    EXPECT_EQ(f.host.calls.size(), 0u);  // the KEY was not run again
}

TEST(MacroInterpreterTest, BreakCheckStopsTheLoop) {
    Fixture f;
    f.env.files.add(MacroFolder::Macros, "loop.mac", "WHILE 1\nENDWHILE");
    struct BreakingHost : RecordingMacroHost {
        FakeMacroEnvironment* env = nullptr;
        MacroError callFunction(ReservedWord word, std::span<const MacroValue> args,
                                MacroValue& result) override {
            if (calls.size() == 50) env->breakNow = true;
            return RecordingMacroHost::callFunction(word, args, result);
        }
    } host;
    host.env = &f.env;
    f.interpreter.setFunctionHost(host);
    f.interpreter.runMacroText("WHILE 1\nBEEP(1, 1)\nENDWHILE");
    EXPECT_EQ(f.env.breaks, 1);
    EXPECT_EQ(host.calls.size(), 51u);
    EXPECT_FALSE(f.interpreter.loaded());
}

// A start request arriving while a function of the running macro is open
// (a message box running the event loop) must not free the contexts the
// suspended burst still reads. Run under ASan.
TEST(MacroInterpreterTest, StartRequestWhileAFunctionIsOpenIsQueued) {
    Fixture f;
    f.env.files.add(MacroFolder::Macros, "other.mac", "y = 2");
    struct ModalHost : RecordingMacroHost {
        MacroInterpreter* interpreter = nullptr;
        std::vector<MacroInterpreter::StartResult> results;
        MacroError callFunction(ReservedWord word, std::span<const MacroValue> args,
                                MacroValue& result) override {
            if (word == ReservedWord::MessageBox) {
                results.push_back(interpreter->runMacro("other"));
                results.push_back(interpreter->runMacroText("q = 9"));
                results.push_back(interpreter->runEventMacro("other"));
                result = MacroValue::ofNumber(1);
            }
            return RecordingMacroHost::callFunction(word, args, result);
        }
    } host;
    host.interpreter = &f.interpreter;
    f.interpreter.setFunctionHost(host);
    // A long statement text after the call: a freed context would be read.
    f.interpreter.runMacroText(
        "a = MESSAGEBOX(\"hello\", \"title\", 0) + 0 + 0 + 0\nz = 1\n"
        "WAIT(1)\nz = 2");
    using R = MacroInterpreter::StartResult;
    EXPECT_EQ(host.results, (std::vector<R>{R::Queued, R::Queued, R::Refused}));
    EXPECT_EQ(f.number("A"), 1);
    EXPECT_EQ(f.number("Z"), 1);
    EXPECT_EQ(f.interpreter.queuedStarts(), 2u);
    // The burst has yielded at the WAIT: the queued requests replace the chain in order.
    f.env.drain(f.interpreter);
    EXPECT_EQ(f.number("Y"), 2);
    EXPECT_EQ(f.number("Q"), 9);
    EXPECT_EQ(f.number("Z"), 1);
    EXPECT_EQ(f.interpreter.queuedStarts(), 0u);
    EXPECT_EQ(f.interpreter.state(), MacroState::Idle);
    EXPECT_FALSE(f.env.timer);
}

TEST(MacroInterpreterTest, StopFromInsideAFunctionEndsAfterTheStatement) {
    Fixture f;
    struct CancellingHost : RecordingMacroHost {
        MacroInterpreter* interpreter = nullptr;
        MacroError callFunction(ReservedWord word, std::span<const MacroValue> args,
                                MacroValue& result) override {
            interpreter->stopChain();  // an EditBox cancelled
            return RecordingMacroHost::callFunction(word, args, result);
        }
    } host;
    host.interpreter = &f.interpreter;
    f.interpreter.setFunctionHost(host);
    f.interpreter.runMacroText("a = EDITBOX(\"p\", \"t\", \"d\") + \"\"\nz = 1");
    EXPECT_FALSE(f.number("Z"));
    EXPECT_FALSE(f.interpreter.loaded());
    EXPECT_EQ(f.interpreter.state(), MacroState::Idle);
    EXPECT_TRUE(f.env.ended.empty());
}

TEST(MacroInterpreterTest, EventMacrosOnlyWhenNothingIsLoaded) {
    Fixture f;
    f.env.files.add(MacroFolder::Macros, "unlocked.ext", "u = 1");
    using R = MacroInterpreter::StartResult;
    EXPECT_EQ(f.interpreter.runEventMacro("protect.ext"), R::NotFound);
    EXPECT_TRUE(f.env.notFound.empty());  // a missing exit macro is not reported
    f.interpreter.runMacroText("WAIT(1)");
    EXPECT_EQ(f.interpreter.runEventMacro("unlocked.ext"), R::Refused);
    f.interpreter.stop();
    EXPECT_EQ(f.interpreter.runEventMacro("unlocked.ext"), R::Started);
    EXPECT_EQ(f.number("U"), 1);
    EXPECT_EQ(f.interpreter.currentName(), "unlocked.ext");
}

}  // namespace
}  // namespace cedar
