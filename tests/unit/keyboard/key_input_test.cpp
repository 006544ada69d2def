// Keyboard input through the shipped country file and standard keyboard map:
// physical keys to the characters typed, dead keys, Caps Lock and Num Lock,
// the map's shift keys, auto-repeat, the lock check and the wheel.
#include <gtest/gtest.h>

#include "key_input_fixture.h"

namespace cedar::test {
namespace {

using keys::Action;
using keys::actionKey;
using keys::Edit;
using keys::editKey;
using keys::Kind;
using keys::kRepeat;
using keys::makeKey;

struct Typed {
    const char* keyboard;
    int inputCode;
    Mods mods;
    char32_t unshifted;  // what the window system's layout puts on the key
    std::uint8_t expected;
};

std::ostream& operator<<(std::ostream& os, const Typed& t) {
    return os << t.keyboard << " key " << t.inputCode << (t.mods.shift ? " shift" : "")
              << (t.mods.alt ? " altgr" : "");
}

class Layouts : public ::testing::TestWithParam<Typed> {};

TEST_P(Layouts, PhysicalKeyTypesTheCountrysCharacter) {
    const Typed t = GetParam();
    KeyInputFixture f(t.keyboard);
    f.emptyField();
    f.stroke(t.inputCode, t.mods, t.unshifted);
    EXPECT_EQ(f.at(130), t.expected);
    EXPECT_EQ(f.ps().cursor(), 131);
}

constexpr Mods kShift{.shift = true};
constexpr Mods kAltGr{.alt = true};

INSTANTIATE_TEST_SUITE_P(
    EveryKeyboard, Layouts,
    ::testing::Values(
        Typed{"037", input::digit(2), kShift, 0, '@'}, Typed{"037", input::kEqual, kShift, 0, '+'},
        Typed{"037", input::kApostrophe, {}, 0, '\''}, Typed{"037", input::kQ, {}, U'q', 'q'},
        Typed{"1047", input::digit(6), kShift, 0, '^'},
        Typed{"273", input::digit(2), kShift, 0, '"'},
        Typed{"273", input::digit(3), kShift, 0, 0xA7}, Typed{"273", input::kQ, kAltGr, U'q', '@'},
        Typed{"273", input::digit(7), kAltGr, 0, '{'}, Typed{"273", input::kMinus, {}, 0, 0xDF},
        Typed{"273", input::kY, {}, U'z', 'z'}, Typed{"273", input::kZ, kShift, U'y', 'Y'},
        Typed{"273", input::kLeftBrace, kShift, 0, 0xDC},
        Typed{"273", input::kSemicolon, {}, 0, 0xF6}, Typed{"273", input::kLess, {}, 0, '<'},
        Typed{"273", input::kLess, kAltGr, 0, '|'}, Typed{"1141", input::kE, kAltGr, U'e', 0x80},
        Typed{"277", input::kSemicolon, {}, 0, 0xE6}, Typed{"277", input::kApostrophe, {}, 0, 0xF8},
        Typed{"277", input::kLeftBrace, kShift, 0, 0xC5},
        Typed{"278", input::kSemicolon, {}, 0, 0xF6}, Typed{"278", input::kApostrophe, {}, 0, 0xE4},
        Typed{"280", input::kLeftBrace, {}, 0, 0xE8}, Typed{"280", input::kSemicolon, {}, 0, 0xF2},
        Typed{"284", input::kSemicolon, {}, 0, 0xF1},
        Typed{"284", input::kSemicolon, kShift, 0, 0xD1},
        Typed{"285", input::digit(3), kShift, 0, 0xA3},
        Typed{"285", input::kApostrophe, kShift, 0, '@'}, Typed{"297", input::digit(1), {}, 0, '&'},
        Typed{"297", input::digit(1), kShift, 0, '1'}, Typed{"297", input::digit(2), {}, 0, 0xE9},
        Typed{"297", input::digit(0), kAltGr, 0, '@'}, Typed{"297", input::kQ, {}, U'a', 'a'},
        Typed{"297", input::kA, kShift, U'q', 'Q'}, Typed{"297", input::kM, {}, U',', ','},
        Typed{"297", input::kSemicolon, {}, U'm', 'm'},
        Typed{"297", input::kApostrophe, {}, 0, 0xF9}, Typed{"1147", input::kE, kAltGr, U'e', 0x80},
        Typed{"500", input::digit(2), {}, 0, 0xE9}, Typed{"500", input::kM, kShift, U',', '?'},
        Typed{"871", input::kSemicolon, {}, 0, 0xE6},
        Typed{"871", input::kLeftBrace, {}, 0, 0xF0}));

TEST(Layouts, AKeyTheCountryLacksLeavesTheMapsWord) {
    // AltGr+E is the euro sign; code page 273 has none, so the Alt column of
    // E stays without function.
    KeyInputFixture f("273");
    f.emptyField();
    f.stroke(input::kE, kAltGr, U'e');
    EXPECT_EQ(f.at(130), 0);
    EXPECT_EQ(f.ps().cursor(), 130);
}

// --- Dead keys --------------------------------------------------------------

struct Dead {
    const char* keyboard;
    int deadKey;
    Mods deadMods;
    int next;
    Mods nextMods;
    char32_t nextUnshifted;
    std::uint8_t expected;
};

class DeadKeys : public ::testing::TestWithParam<Dead> {};

TEST_P(DeadKeys, ComposeInThePlaceOfTheDeadCharacter) {
    const Dead d = GetParam();
    KeyInputFixture f(d.keyboard);
    f.emptyField();
    f.stroke(d.deadKey, d.deadMods);
    EXPECT_NE(f.at(130), 0);          // the dead character shows ...
    EXPECT_EQ(f.ps().cursor(), 130);  // ... and the cursor waits on it
    f.stroke(d.next, d.nextMods, d.nextUnshifted);
    EXPECT_EQ(f.at(130), d.expected);
    EXPECT_EQ(f.ps().cursor(), 131);
    // The next stroke is not composed: it types what the key types alone.
    f.stroke(d.next, d.nextMods, d.nextUnshifted);
    KeyInputFixture alone(d.keyboard);
    alone.emptyField();
    alone.stroke(d.next, d.nextMods, d.nextUnshifted);
    EXPECT_EQ(f.at(131), alone.at(130));
    EXPECT_EQ(f.ps().cursor(), 132);
}

INSTANTIATE_TEST_SUITE_P(
    FrenchAndGerman, DeadKeys,
    ::testing::Values(Dead{"273", input::kGrave, {}, input::kE, {}, U'e', 0xEA},
                      Dead{"273", input::kEqual, {}, input::kA, {}, U'a', 0xE1},
                      Dead{"273", input::kEqual, kShift, input::kE, kShift, U'e', 0xC8},
                      Dead{"273", input::kGrave, {}, input::kX, {}, U'x', 'x'},
                      Dead{"273", input::kGrave, {}, input::kSpace, {}, 0, '^'},
                      Dead{"297", input::kLeftBrace, {}, input::kE, {}, U'e', 0xEA},
                      Dead{"297", input::kLeftBrace, kShift, input::kE, {}, U'e', 0xEB},
                      Dead{"297", input::kLeftBrace, {}, input::kY, {}, U'y', 'y'},
                      Dead{"1141", input::kGrave, {}, input::kQ, kShift, U'q', 'Q'}));

TEST(DeadKeysAfterAFunction, AFunctionKeyEndsTheWait) {
    KeyInputFixture f("273");
    f.emptyField();
    f.stroke(input::kGrave);
    f.stroke(input::kHome);  // the map's Home: not a character
    EXPECT_FALSE(f.state.deadKeyPending);
    f.ps().setCursor(140);
    f.stroke(input::kE, {}, U'e');
    EXPECT_EQ(f.at(140), 'e');
}

// --- Caps Lock and Num Lock -------------------------------------------------

TEST(CapsLock, LettersTakeTheirShiftColumn) {
    struct Case {
        bool toggleShiftCaps;
        Mods mods;
        std::uint8_t expected;
    };
    const Case cases[] = {{false, {}, 'A'}, {false, kShift, 'A'}, {true, {}, 'A'}};
    for (const auto& c : cases) {
        KeyInputFixture f;
        f.inputSettings.toggleShiftCaps = c.toggleShiftCaps;
        f.emptyField();
        f.input.setLockState(true, false);
        f.stroke(input::kA, c.mods, U'a');
        if (c.toggleShiftCaps) {
            // Unassigned characters come from the window system.
            EXPECT_TRUE(f.input.waitingForChar());
            EXPECT_EQ(keys::codeOf(f.input.currentKey()), 'A');
            f.input.onChar('A');
        }
        EXPECT_EQ(f.at(130), c.expected) << c.toggleShiftCaps << c.mods.shift;
        // Not a letter: Caps Lock changes nothing.
        f.stroke(input::digit(1), c.mods);
        f.input.onChar(c.mods.shift ? '!' : '1');
        EXPECT_EQ(f.at(131), c.mods.shift ? '!' : '1');
    }
}

TEST(CapsLock, WithShiftAndToggleShiftTheLetterIsSmall) {
    KeyInputFixture f;
    f.inputSettings.toggleShiftCaps = true;
    f.input.setLockState(true, false);
    f.down(input::kLeftShift, kShift);
    f.down(input::kA, kShift, U'a');
    EXPECT_EQ(f.input.currentKey(), f.map.word(59, 0));
}

TEST(CapsLock, NationalLettersFollowCapsLockToo) {
    KeyInputFixture f("273");
    f.emptyField();
    f.input.setLockState(true, false);
    f.stroke(input::kSemicolon);
    EXPECT_EQ(f.at(130), 0xD6);  // Ö
}

TEST(CapsLock, ALockKeyMappedElsewhereIsSwitchedBackOff) {
    KeyInputFixture f;
    f.input.setLockState(true, false);
    f.up(input::kCapsLock);  // the map's Caps Lock is EDIT CapsLock: it stays
    EXPECT_EQ(f.inputUi.capsForcedOff, 0);
    EXPECT_TRUE(f.input.capsLockOn());
    f.map.setWord(58, 0, editKey(Edit::Tab));
    f.down(input::kCapsLock);
    f.up(input::kCapsLock);
    EXPECT_EQ(f.inputUi.capsForcedOff, 1);
    EXPECT_FALSE(f.input.capsLockOn());
    f.input.setLockState(false, true);
    f.map.setWord(33, 0, editKey(Edit::Tab));
    f.up(input::kNumLock);
    EXPECT_EQ(f.inputUi.numForcedOff, 1);
}

TEST(NumLock, KeypadKeysTypeDigitsOnlyWithNumLock) {
    KeyInputFixture f("273");
    f.emptyField();
    f.input.setLockState(false, true);
    EXPECT_EQ(f.input.keyIndexOf(f.raw(input::kKeypad4)), 108);
    f.stroke(input::kKeypad7);
    f.stroke(input::kKeypad4);
    f.stroke(input::kKeypadDot);  // the German keypad's decimal comma
    EXPECT_EQ(f.at(130), '7');
    EXPECT_EQ(f.at(131), '4');
    EXPECT_EQ(f.at(132), ',');
    f.input.setLockState(false, false);
    EXPECT_EQ(f.input.keyIndexOf(f.raw(input::kKeypad4)), 71);
    f.stroke(input::kKeypad4);  // the map's cursor left
    EXPECT_EQ(f.ps().cursor(), 132);
}

TEST(KeyIndexes, KeysSharingACodeAreToldApart) {
    KeyInputFixture f;
    struct Case {
        int inputCode;
        int index;
    };
    const Case cases[] = {{input::kEnter, 70},     {input::kKeypadEnter, 90},
                          {input::kLeftShift, 74}, {input::kRightShift, 85},
                          {input::kLeftCtrl, 91},  {97, 95},
                          {input::kLeftAlt, 92},   {input::kRightAlt, 94},
                          {input::kHome, 31},      {input::kKeypad7, 54},
                          {input::kPause, 15},     {input::kNumLock, 33},
                          {input::kPrint, 13},     {input::kLess, 118},
                          {input::kF1, 1},         {125, -1}};
    for (const auto& c : cases)
        EXPECT_EQ(f.input.keyIndexOf(f.raw(c.inputCode)), c.index) << c.inputCode;
    f.inputSettings.keyTronicsKeyboard = true;
    EXPECT_EQ(f.input.keyIndexOf(f.raw(input::kKeypad7)), 31);
}

// --- The map's shift keys, repeat ------------------------------------------

TEST(MapShiftKeys, ReleaseFunctionOnlyWhenPressedAlone) {
    KeyInputFixture f;
    // Caps Lock becomes a shift key for the Alt column; released alone it is PA2.
    f.map.setWord(58, 0, makeKey(Kind::None, 3));
    f.map.setWord(58, 1, actionKey(Action::PA2));
    f.map.setWord(38, 3, keys::charKey('#', keys::kAssigned));
    f.emptyField();

    f.down(input::kCapsLock);
    EXPECT_EQ(f.input.modifierColumn(), 3);
    f.up(input::kCapsLock);
    EXPECT_EQ(f.link.sent, (std::vector<std::string>{"shortRead 6E"}));
    EXPECT_EQ(f.inputUi.shiftStates, (std::vector<int>{3, 0}));

    f.host(RecordBuilder(cmd::kWrite, 0x02));
    f.link.sent.clear();
    f.down(input::kCapsLock);
    f.stroke(input::kQ, {}, U'q');
    f.up(input::kCapsLock);
    EXPECT_EQ(f.at(130), '#');
    EXPECT_TRUE(f.link.sent.empty());
}

TEST(MapShiftKeys, AReleaseFunctionThatRepeatsActsOnPress) {
    KeyInputFixture f;
    f.map.setWord(58, 0, makeKey(Kind::None, 1));
    f.map.setWord(58, 1, editKey(Edit::Tab, kRepeat));
    f.ps().setCursor(130);
    f.down(input::kCapsLock);
    EXPECT_EQ(f.ps().cursor(), 280 + 31);  // Tab to the next input field
    EXPECT_EQ(f.input.modifierColumn(), 0);
}

TEST(Repeat, OnlyRepeatingFunctionsRepeat) {
    KeyInputFixture f;
    f.emptyField();
    f.down(input::kA, {}, U'a');
    f.down(input::kA, {}, U'a', true);  // letters repeat in the standard map
    f.up(input::kA, {}, U'a');
    EXPECT_EQ(f.at(131), 'a');
    f.down(input::kEnter);
    f.down(input::kEnter, {}, 0, true);  // Enter does not
    EXPECT_EQ(f.link.sent.size(), 1u);
    // A key-down after the focus came back is a fresh press.
    f.host(RecordBuilder(cmd::kWrite, 0x02));
    f.input.focusOut();
    f.down(input::kEnter);
    EXPECT_EQ(f.link.sent.size(), 1u);
    f.input.focusIn();
    f.down(input::kEnter, {}, 0, true);
    EXPECT_EQ(f.link.sent.size(), 2u);
}

TEST(KeyUp, AStrayReleaseIsIgnored) {
    KeyInputFixture f;
    f.map.setWord(58, 0, makeKey(Kind::None, 1));
    f.map.setWord(58, 1, actionKey(Action::PA2));
    auto key = f.raw(input::kCapsLock);
    key.previousDown = false;
    f.input.onKeyUp(key);
    EXPECT_TRUE(f.link.sent.empty());
    f.inputSettings.ignoreKeyUp80 = false;
    f.down(input::kCapsLock);
    f.input.onKeyUp(key);
    EXPECT_EQ(f.link.sent.size(), 1u);
}

TEST(KeyScanCode, TheLastKeyDownsCodeInHex) {
    KeyInputFixture f;
    f.down(input::kF1);
    EXPECT_EQ(f.input.lastKeyCodeText(), "70");
    f.down(input::kComma);
    EXPECT_EQ(f.input.lastKeyCodeText(), "BC");
}

// --- Lock check -------------------------------------------------------------

TEST(LockCheck, KeysWhileLockedAreQueuedAndReplayed) {
    KeyInputFixture f;
    f.settings.typeAhead = true;
    f.emptyField();
    f.stroke(input::kEnter);
    ASSERT_EQ(f.status(), SessionStatus::SysLock);
    f.stroke(input::kX, {}, U'x');
    f.stroke(input::kY, {}, U'y');
    EXPECT_EQ(f.state.typeAhead.size(), 2);
    EXPECT_EQ(f.at(130), 0);
    f.host(RecordBuilder(cmd::kWrite, 0x02));
    EXPECT_EQ(f.at(130), 'x');
    EXPECT_EQ(f.at(131), 'y');
}

TEST(LockCheck, WithoutTypeAheadKeysAreRefused) {
    for (bool click : {false, true}) {
        KeyInputFixture f;
        f.settings.keyClickOnError = click;
        f.emptyField();
        f.stroke(input::kEnter);
        f.stroke(input::kX, {}, U'x');
        f.stroke(input::kLeftShift);  // a shift key alone never sounds
        EXPECT_EQ(f.inputUi.errorSounds, click ? 1 : 0);
        f.host(RecordBuilder(cmd::kWrite, 0x02));
        EXPECT_EQ(f.at(130), 0);
    }
}

TEST(LockCheck, AFullQueueSoundsAndAnImmediateKeyEmptiesIt) {
    KeyInputFixture f;
    f.settings.typeAhead = true;
    f.stroke(input::kEnter);
    for (int i = 0; i < keys::TypeAheadQueue::kCapacity; ++i)
        EXPECT_EQ(f.input.submitKey(keys::charKey('a')), KeyOutcome::Queued);
    EXPECT_EQ(f.inputUi.errorSounds, 0);
    EXPECT_EQ(f.input.submitKey(keys::charKey('a')), KeyOutcome::Refused);
    EXPECT_EQ(f.inputUi.errorSounds, 1);
    f.input.submitKey(editKey(Edit::Reset, keys::kImmediate));
    EXPECT_TRUE(f.state.typeAhead.empty());
    EXPECT_EQ(f.status(), SessionStatus::Unlocked);
}

TEST(LockCheck, TheLockedExitMacroSeesTheKeyAndMayTakeIt) {
    for (bool handles : {false, true}) {
        KeyInputFixture f;
        f.settings.typeAhead = true;
        f.macros.lockedExit = true;
        f.macros.lockedExitHandles = handles;
        f.stroke(input::kEnter);
        f.stroke(input::kX, {}, U'x');
        EXPECT_EQ(f.macros.lockedExitRuns, 1);
        EXPECT_EQ(f.input.passedKey(), "C:x");
        EXPECT_EQ(f.state.typeAhead.size(), handles ? 0 : 1);
    }
}

TEST(LockCheck, AutoKeyboardUnlockClearsAnInputError) {
    KeyInputFixture f;
    f.settings.autoKeyboardUnlock = true;
    f.ps().setCursor(1);  // protected
    f.stroke(input::kX, {}, U'x');
    ASSERT_EQ(f.status(), SessionStatus::Protected);
    f.ps().setCursor(130);
    f.stroke(input::kX, {}, U'x');
    EXPECT_EQ(f.status(), SessionStatus::Unlocked);
    EXPECT_EQ(f.at(130), 'x');
}

// --- Macros: Pause, the running-macro question, the wheel --------------------

TEST(Macros, PauseStopsAPlayingMacro) {
    KeyInputFixture f;
    f.macros.macroState = 2;
    f.down(input::kPause);
    EXPECT_EQ(f.deferred.calls, (std::vector<std::string>{"oper 39"}));
    EXPECT_EQ(f.inputUi.messages,
              (std::vector<std::string>{"Macro Stopped: Macro stopped by Break key"}));
}

TEST(Macros, CheckForMacroRunningAsksAndDropsTheKey) {
    for (bool yes : {false, true}) {
        KeyInputFixture f;
        f.inputSettings.checkForMacroRunning = true;
        f.inputUi.answerYes = yes;
        f.macros.macroState = 2;
        f.emptyField();
        f.stroke(input::kX, {}, U'x');
        EXPECT_EQ(f.at(130), 0);
        ASSERT_EQ(f.inputUi.messages.size(), 1u);
        EXPECT_EQ(f.inputUi.messages[0],
                  "Macro Currently Running: Cedar TN3270 macro named 'demo' is currently "
                  "running.\nDid you want to cancel it now?");
        EXPECT_EQ(f.macros.stops, yes ? 1 : 0);
    }
}

// Between the slices of a running macro typed keys are lost; while it waits
// (timed or for a condition) or is paused the user types as usual.
TEST(Macros, KeysTypedWhileAMacroRunsAreDropped) {
    for (std::uint8_t state : {2, 3, 4, 5}) {
        KeyInputFixture f;
        f.macros.macroState = state;
        f.emptyField();
        f.stroke(input::kX, {}, U'x');
        EXPECT_EQ(f.at(130), state == 2 ? 0 : 'x') << int(state);
        EXPECT_TRUE(f.inputUi.messages.empty());
    }
}

TEST(Wheel, DeltasAddUpToStepsThatRunTheStatementsUntrusted) {
    KeyInputFixture f;
    f.macros.present = true;
    for (int i = 0; i < 3; ++i)
        f.input.onMouseWheel(40);  // a touchpad's small deltas
    f.input.onMouseWheel(-240);
    EXPECT_EQ(f.macros.texts,
              (std::vector<std::string>{"untrusted: Key(\"PF7\")", "untrusted: Key(\"PF8\")",
                                        "untrusted: Key(\"PF8\")"}));
}

TEST(Wheel, WheelDelayIgnoresStepsTooSoonAfterTheLast) {
    KeyInputFixture f;
    f.macros.present = true;
    f.inputSettings.wheelDelay = 2;
    f.input.onMouseWheel(120);
    f.scheduler.advance(keys::kWheelTickMs);
    f.input.onMouseWheel(120);  // one tick later: ignored
    f.scheduler.advance(keys::kWheelTickMs);
    f.input.onMouseWheel(120);  // two ticks: runs
    EXPECT_EQ(f.macros.texts.size(), 2u);
}

TEST(Wheel, WithoutMacrosTheWheelSaysSo) {
    KeyInputFixture f;
    f.input.onMouseWheel(120);
    EXPECT_EQ(f.inputUi.unavailable, 1);
}

}  // namespace
}  // namespace cedar::test
