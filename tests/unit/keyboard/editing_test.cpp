// Cursor movement, field editing and typing: key sequences on the fixture
// screens with the cursor, field contents, modified-data tags and status
// they leave.
#include <cctype>
#include <set>

#include "keyboard/cursor_moves.h"
#include "keyboard_fixture.h"

namespace cedar::test {
namespace {

enum Option : unsigned {
    kAutoSkip = 1u << 0,
    kSkipAtEnd = 1u << 1,
    kAutoSkipAll = 1u << 2,
    kNumericLock = 1u << 3,
    kPrefix = 1u << 4,
    kUpper = 1u << 5,
    kBackspaceDelete = 1u << 6,
    kBackspaceDestruct = 1u << 7,
    kToggleInsert = 1u << 8,
    kShiftHeld = 1u << 9,
    kNotConnected = 1u << 10,
};

struct KeyCase {
    const char* name;
    Screen screen;
    unsigned options;
    int start;  // cursor before the keys
    const char* keys;
    int cursor;  // expected cursor
    // Field contents from the attribute position on (a prefix; nulls as ".").
    std::vector<std::pair<int, std::string>> fields;
    std::set<int> modified;  // attribute positions with the MDT set; all others clear
    SessionStatus status = SessionStatus::Unlocked;
};

const std::string kDots30(30, '.');

const KeyCase kCases[] = {
    // Cursor movement.
    {"Tab skips protected and autoskip fields", Screen::Form, 0, 6, "Tab", 21, {}, {}},
    {"Tab visits every input field and wraps",
     Screen::Form,
     0,
     6,
     "Tab Tab Tab Tab Tab",
     6,
     {},
     {}},
    {"BackTab inside a field goes to its start", Screen::Form, 0, 9, "BackTab", 6, {}, {}},
    {"BackTab from the second position", Screen::Form, 0, 7, "BackTab", 6, {}, {}},
    {"BackTab from the first position wraps to the last field",
     Screen::Form,
     0,
     6,
     "BackTab",
     311,
     {},
     {}},
    {"Home", Screen::Form, 0, 200, "Home", 6, {}, {}},
    {"EndField in a full field", Screen::Form, 0, 6, "EndField", 15, {}, {}},
    {"EndField after the last character", Screen::Form, 0, 120, "EndField", 131, {}, {}},
    {"EndField from a protected field tabs first", Screen::Form, 0, 45, "EndField", 131, {}, {}},
    {"WordRight, WordLeft across fields",
     Screen::Form,
     0,
     40,
     "WordRight WordLeft WordLeft",
     27,
     {},
     {}},
    {"NewLine skips a protected row", Screen::Form, 0, 6, "NewLine", 120, {}, {}},
    {"LineHome", Screen::Form, 0, 135, "LineHome", 120, {}, {}},
    {"LineHome on a row without input stays", Screen::Form, 0, 50, "LineHome", 50, {}, {}},
    {"PreviousLine twice", Screen::Form, 0, 165, "PreviousLine PreviousLine", 120, {}, {}},
    {"BottomLine", Screen::Form, 0, 6, "BottomLine", 311, {}, {}},
    {"cursor keys wrap round the screen", Screen::Form, 0, 0, "Left Up FastRight Down", 1, {}, {}},
    {"Tab without input fields", Screen::NoInput, 0, 50, "Tab", 0, {}, {}},
    {"BackTab without input fields", Screen::NoInput, 0, 50, "BackTab", 0, {}, {}},
    {"Home without input fields", Screen::NoInput, 0, 50, "Home", 0, {}, {}},

    // Erasing and deleting.
    {"EraseEOF", Screen::Form, 0, 8, "EraseEOF", 8, {{5, "ab........"}}, {5}},
    {"EraseEOF in a protected field",
     Screen::Form,
     0,
     45,
     "EraseEOF",
     45,
     {{39, "Protected text"}},
     {}},
    {"EraseEOF through the end of the screen",
     Screen::Wrap,
     0,
     300,
     "EraseEOF",
     300,
     {{290, std::string(9, 'x') + kDots30}},
     {290}},
    {"EraseInput",
     Screen::Form,
     0,
     200,
     "EraseInput",
     6,
     {{5, ".........."},
      {20, "....."},
      {119, "..........."},
      {310, "........."},
      {39, "Protected text"}},
     {}},
    {"Delete", Screen::Form, 0, 6, "Delete", 6, {{5, "bcdefghij."}}, {5}},
    {"Delete in the field ending in the last position",
     Screen::Form,
     0,
     312,
     "Delete",
     312,
     {{310, "ed......."}},
     {310}},
    {"Delete in a protected field",
     Screen::Form,
     0,
     45,
     "Delete",
     45,
     {{39, "Protected text"}},
     {}},
    {"DeleteWord takes the blank after the word",
     Screen::Form,
     0,
     122,
     "DeleteWord",
     122,
     {{119, "world......"}},
     {119}},
    {"DeleteWord in the last word",
     Screen::Form,
     0,
     127,
     "DeleteWord",
     127,
     {{119, "hello ......"}},
     {119}},
    {"Backspace moves left", Screen::Form, 0, 8, "Backspace", 7, {{5, "abcdefghij"}}, {}},
    {"Backspace deletes",
     Screen::Form,
     kBackspaceDelete,
     8,
     "Backspace",
     7,
     {{5, "acdefghij."}},
     {5}},
    {"Backspace destructs",
     Screen::Form,
     kBackspaceDestruct,
     8,
     "Backspace",
     7,
     {{5, "a cdefghij"}},
     {5}},
    {"Backspace off a field's start",
     Screen::Form,
     kBackspaceDelete,
     6,
     "Backspace",
     6,
     {{5, "abcdefghij"}},
     {},
     SessionStatus::Protected},

    // Typing.
    {"typing overwrites", Screen::Form, 0, 6, "'xyz'", 9, {{5, "xyzdefghij"}}, {5}},
    {"typing into a protected field",
     Screen::Form,
     0,
     45,
     "'x'",
     45,
     {{39, "Protected text"}},
     {},
     SessionStatus::Protected},
    {"typing onto an attribute position",
     Screen::Form,
     0,
     16,
     "'x'",
     16,
     {{16, "Num"}},
     {},
     SessionStatus::Protected},
    {"typing while not connected",
     Screen::Form,
     kNotConnected,
     45,
     "'x'",
     45,
     {},
     {},
     SessionStatus::NotConnected},
    {"insert makes room", Screen::Form, 0, 311, "Insert 'X'", 312, {{310, "Xend....."}}, {310}},
    {"insert into a full field",
     Screen::Form,
     0,
     6,
     "Insert 'X'",
     6,
     {{5, "abcdefghij"}},
     {},
     SessionStatus::InsertOverflow},
    {"TOGGLEINSERTKEY",
     Screen::Form,
     kToggleInsert,
     311,
     "Insert Insert 'X'",
     312,
     {{310, "Xnd......"}},
     {310}},
    {"insert mode never auto-skips",
     Screen::Form,
     kAutoSkipAll,
     25,
     "Insert '9'",
     26,
     {{20, "12..9"}},
     {20}},
    {"end of field without auto-skip", Screen::Form, 0, 15, "'Q'", 16, {{5, "abcdefghiQ"}}, {5}},
    {"ENABLEAUTOSKIP over an autoskip field",
     Screen::Form,
     kAutoSkip,
     15,
     "'Q'",
     21,
     {{5, "abcdefghiQ"}},
     {5}},
    {"SKIPATENDOFFIELD onto a protected field",
     Screen::Form,
     kSkipAtEnd,
     25,
     "'9'",
     27,
     {{20, "12..9"}},
     {20}},
    {"AutoSkipAllFields", Screen::Form, kAutoSkipAll, 25, "'9'", 31, {{20, "12..9"}}, {20}},
    {"the last position of the screen",
     Screen::Form,
     0,
     319,
     "'Z'",
     0,
     {{310, "end.....Z"}},
     {310}},
    {"the last position with SKIPATENDOFFIELD",
     Screen::Form,
     kSkipAtEnd,
     319,
     "'Z'",
     1,
     {{310, "end.....Z"}},
     {310}},
    {"typing on past the end of the screen",
     Screen::Wrap,
     0,
     319,
     "'ab'",
     1,
     {{290, std::string(28, 'x') + "ab" + std::string(9, 'x')}},
     {290}},
    {"numeric lock refuses a letter",
     Screen::Form,
     kNumericLock,
     21,
     "'A'",
     21,
     {{20, "12..."}},
     {},
     SessionStatus::Protected},
    {"numeric lock accepts digits and signs",
     Screen::Form,
     kNumericLock,
     21,
     "'-5,'",
     24,
     {{20, "-5,.."}},
     {20}},
    {"numeric lock with Shift held",
     Screen::Form,
     kNumericLock | kShiftHeld,
     21,
     "'A'",
     22,
     {{20, "A2..."}},
     {20}},
    {"PREFIXINPUTWITHSPACES",
     Screen::Form,
     kPrefix,
     135,
     "'x'",
     136,
     {{119, "hello world    x."}},
     {119}},
    {"ALLUPPERCASE", Screen::Form, kUpper, 6, "'ab'", 8, {{5, "ABcdefghij"}}, {5}},
    {"Dup",
     Screen::Form,
     0,
     21,
     "Dup",
     31,
     {{20,
       "\x8E"
       "2..."}},
     {20}},
    {"FieldMark", Screen::Form, 0, 31, "FieldMark", 32, {{30, "\x8F......."}}, {30}},
};

class KeySequences : public ::testing::TestWithParam<KeyCase> {};

TEST_P(KeySequences, LeaveScreenCursorAndStatus) {
    const KeyCase& c = GetParam();
    KeyboardFixture f;
    const unsigned o = c.options;
    f.settings.enableAutoSkip = o & kAutoSkip;
    f.settings.skipAtEndOfField = o & kSkipAtEnd;
    f.settings.autoSkipAllFields = o & kAutoSkipAll;
    f.settings.numericFieldLock = o & kNumericLock;
    f.settings.prefixInputWithSpaces = o & kPrefix;
    f.settings.allUpperCase = f.settings.allUpperCaseInput = o & kUpper;
    f.settings.normalCursorBackspace = (o & kBackspaceDelete)     ? 1
                                       : (o & kBackspaceDestruct) ? 2
                                                                  : 0;
    f.settings.toggleInsertKey = o & kToggleInsert;
    f.state.shiftDown = o & kShiftHeld;
    f.load(c.screen);
    ASSERT_EQ(f.status(), SessionStatus::Unlocked);
    if (o & kNotConnected) f.status() = SessionStatus::NotConnected;
    f.ps().setCursor(c.start);

    f.keys(c.keys);

    EXPECT_EQ(f.ps().cursor(), c.cursor);
    for (const auto& [attribute, text] : c.fields)
        EXPECT_EQ(f.field(attribute).substr(0, text.size()), text) << "field at " << attribute;
    for (int p = 0; p < f.ps().positions(); ++p) {
        if (!f.ps().isAttribute(p)) continue;
        EXPECT_EQ(f.modified(p), c.modified.count(p) != 0) << "MDT of field at " << p;
    }
    EXPECT_EQ(f.status(), c.status);
    if (c.status == SessionStatus::Protected || c.status == SessionStatus::InsertOverflow) {
        EXPECT_EQ(f.state.savedStatus, SessionStatus::Unlocked);
    }
}

std::string caseName(const ::testing::TestParamInfo<KeyCase>& param) {
    std::string name;
    for (const char* p = param.param.name; *p; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Keyboard, KeySequences, ::testing::ValuesIn(kCases), caseName);

TEST(UnformattedScreen, EraseEofEndFieldAndPreviousLine) {
    KeyboardFixture f;
    f.load(Screen::Plain);
    // EndField: after the last character of the screen.
    f.keys("EndField");
    EXPECT_EQ(f.ps().cursor(), 303);
    // EraseEOF clears to the last position and stops there.
    f.ps().setCursor(6);
    f.keys("EraseEOF");
    EXPECT_EQ(f.row(0), "hello");
    EXPECT_EQ(f.row(7), "");
    EXPECT_NE(f.ps().characters()[0], 0);
    // Typing anywhere is allowed; PreviousLine goes to column 0 of the row above.
    f.keys("'X' PreviousLine");
    EXPECT_EQ(f.row(0), "hello X");
    EXPECT_EQ(f.ps().cursor(), 280);
    EXPECT_EQ(f.status(), SessionStatus::Unlocked);
}

TEST(SscpLu, EveryPositionAcceptsInputAndIsMarked) {
    KeyboardFixture f;
    f.load(Screen::Form);
    f.link.sscpLu = true;
    f.ps().changed().fill(0);
    f.ps().setCursor(45);  // a protected field: no fields in an SSCP-LU session
    f.keys("'ok'");
    EXPECT_EQ(f.field(39).substr(0, 14), "Proteoked text");
    EXPECT_EQ(f.ps().changed()[45], 1);
    EXPECT_EQ(f.status(), SessionStatus::Unlocked);
}

TEST(ProtectExit, RunsOnceAndTheKeyTriesAgain) {
    KeyboardFixture f;
    f.load(Screen::Form);
    // The exit macro moves the cursor into an input field: the character lands there.
    f.ui.protectExit = [&] { f.ps().setCursor(120); };
    f.ps().setCursor(45);
    f.keys("'J'");
    EXPECT_EQ(f.field(119).substr(0, 3), "Jel");
    EXPECT_EQ(f.ps().cursor(), 121);
    EXPECT_EQ(f.status(), SessionStatus::Unlocked);
    ASSERT_EQ(f.ui.exitMacros.size(), 1u);
    EXPECT_EQ(f.ui.exitMacros[0], "protect.ext");

    // An exit macro that leaves the cursor where it was: one run, then PROTECTED.
    f.ui.protectExit = [] {};
    f.ui.exitMacros.clear();
    f.ps().setCursor(45);
    f.keys("'J'");
    EXPECT_EQ(f.ui.exitMacros.size(), 1u);
    EXPECT_EQ(f.status(), SessionStatus::Protected);
}

TEST(InputErrors, SoundOnlyWithKeyClickAndKeepTheFirstSavedStatus) {
    KeyboardFixture f;
    f.load(Screen::Form);
    f.ps().setCursor(45);
    f.keys("'x'");
    EXPECT_EQ(f.ui.errorSounds, 0);
    f.settings.keyClickOnError = true;
    // A replayed key may fail again while PROTECTED: Reset must still find UNLOCKED.
    f.key(keys::charKey('y'), KeySource::TypeaheadReplay);
    EXPECT_EQ(f.ui.errorSounds, 1);
    EXPECT_EQ(f.state.savedStatus, SessionStatus::Unlocked);
    // AUTOKEYBOARDUNLOCK: the next key returns to the saved status and runs.
    f.settings.autoKeyboardUnlock = true;
    f.keys("Tab");
    EXPECT_EQ(f.status(), SessionStatus::Unlocked);
    EXPECT_EQ(f.ps().cursor(), 120);
}

TEST(Wang, FillCharactersAndInsert) {
    ScreenSettings wang;
    wang.wang = true;
    KeyboardFixture f(wang);
    f.load(Screen::Form);
    // Attribute 0x40 keeps bit 0x40: erasing leaves nulls; the insert key
    // inserts a blank.
    f.ps().setCursor(311);
    f.keys("Insert");
    EXPECT_EQ(f.field(310),
              "\x20"
              "end.....");
    EXPECT_TRUE(f.modified(310));
    // Insert mode is not switched on, and typing does not shift.
    EXPECT_FALSE(f.ps().insertMode);
    // A field attribute without bit 0x40 (host byte 0x00 = unprotected) gets 0x0B.
    f.host(RecordBuilder(cmd::kWrite, 0x02).sba(310).sf(0x00).sba(315).raw({0x13}));
    f.keys("EraseEOF");
    EXPECT_EQ(f.ps().characters()[315], 0x0B);
    EXPECT_EQ(f.ps().characters()[319], 0x0B);
    f.ps().setCursor(311);
    f.keys("Delete");
    EXPECT_EQ(f.ps().characters()[319], 0x0B);
}

TEST(Typing, ADeadKeyStaysForTheCharacterThatCompletesIt) {
    KeyboardFixture f;
    f.load(Screen::Form);
    f.state.deadKeyPending = true;
    f.keys("'^'");
    EXPECT_EQ(f.ps().cursor(), 6);
    f.state.deadKeyPending = false;  // keyboard input composed the next character
    f.keys("'\xEA'");
    EXPECT_EQ(f.field(5),
              "\xEA"
              "bcdefghij");
    EXPECT_EQ(f.ps().cursor(), 7);
}

TEST(Typing, TypeTextCountsWhatWasCarriedOut) {
    KeyboardFixture f;
    f.load(Screen::Form);
    EXPECT_EQ(f.controller.typeText("xy"), 2u);
    EXPECT_EQ(f.field(5), "xycdefghij");
    f.status() = SessionStatus::SysLock;
    EXPECT_EQ(f.controller.typeText("zz"), 0u);
    EXPECT_EQ(f.field(5), "xycdefghij");
}

TEST(CursorMoves, BackTabGivesUpWhenEveryInputFieldIsEmpty) {
    KeyboardFixture f;
    // Two unprotected attributes side by side: an input field with no positions.
    f.host(RecordBuilder(cmd::kEraseWrite, 0xC3).sba(50).sf(0x40).sf(0x60));
    ASSERT_EQ(f.ps().inputFieldCount, 1);
    EXPECT_EQ(keys::backTabFrom(f.ps(), 200), 0);
    EXPECT_EQ(keys::tabFrom(f.ps(), 200), 0);
}

}  // namespace
}  // namespace cedar::test
