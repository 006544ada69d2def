// The dispatcher: the keyboard-lock check for every source, type-ahead and
// its replay, the attention keys and what they send, Reset, Undo, the
// earlier-screen view and line mode.
#include <cctype>

#include "keyboard_fixture.h"

namespace cedar::test {
namespace {

using keys::Action;
using keys::actionKey;
using keys::charKey;
using keys::Edit;
using keys::editKey;
using keys::kImmediate;

const KeyWord kEnter = actionKey(Action::Enter);
const KeyWord kTab = editKey(Edit::Tab);

// A host Write that only restores the keyboard.
RecordBuilder restore() {
    return RecordBuilder(cmd::kWrite, 0x02);
}

TEST(LockCheck, EverySourceButTheReplayWaitsWhileLocked) {
    const KeySource checked[] = {KeySource::Keyboard, KeySource::Toolbar, KeySource::Keypad,
                                 KeySource::Menu,     KeySource::Mouse,   KeySource::Macro,
                                 KeySource::Paste,    KeySource::Internal};
    for (KeySource source : checked) {
        KeyboardFixture f;
        f.load(Screen::Form);
        f.key(kEnter, source);  // the first attention key goes out and locks the keyboard
        ASSERT_EQ(f.status(), SessionStatus::SysLock);
        EXPECT_EQ(f.key(kEnter, source), KeyOutcome::Refused) << static_cast<int>(source);
        EXPECT_EQ(f.link.sent.size(), 1u) << "a second AID went out while one was in flight";
    }
    KeyboardFixture f;
    f.load(Screen::Form);
    f.status() = SessionStatus::SysLock;
    EXPECT_EQ(f.key(kEnter, KeySource::TypeaheadReplay), KeyOutcome::Performed);
    EXPECT_EQ(f.link.sent, std::vector<std::string>{"readModified 7D"});
}

struct LockCase {
    const char* name;
    SessionStatus status;
    KeyWord word;
    bool typeAhead;
    KeyOutcome outcome;
};

const LockCase kLockCases[] = {
    {"unlocked", SessionStatus::Unlocked, kTab, false, KeyOutcome::Performed},
    {"not connected", SessionStatus::NotConnected, kTab, false, KeyOutcome::Performed},
    {"syslock refuses", SessionStatus::SysLock, kTab, false, KeyOutcome::Refused},
    {"syslock queues", SessionStatus::SysLock, kTab, true, KeyOutcome::Queued},
    {"typing waits too", SessionStatus::SysLock, charKey('a'), true, KeyOutcome::Queued},
    {"after an input error", SessionStatus::Protected, kTab, true, KeyOutcome::Queued},
    {"printing", SessionStatus::Locked, kEnter, false, KeyOutcome::Refused},
    {"immediate", SessionStatus::SysLock, editKey(Edit::Tab, kImmediate), false,
     KeyOutcome::Performed},
    {"immediate attention key", SessionStatus::SysLock, actionKey(Action::PA1, kImmediate), false,
     KeyOutcome::Performed},
    {"operator functions", SessionStatus::SysLock, keys::operKey(keys::Oper::LargerFont), false,
     KeyOutcome::Performed},
    {"no-function word", SessionStatus::SysLock, keys::kNoFunction, true, KeyOutcome::Performed},
    {"earlier screen, editing", SessionStatus::History, kTab, false, KeyOutcome::Refused},
};

class LockMatrix : public ::testing::TestWithParam<LockCase> {};

TEST_P(LockMatrix, RunsQueuesOrRefuses) {
    const LockCase& c = GetParam();
    KeyboardFixture f;
    f.load(Screen::Form);
    f.settings.typeAhead = c.typeAhead;
    f.status() = c.status;
    EXPECT_EQ(f.key(c.word), c.outcome);
    const bool ran = c.outcome == KeyOutcome::Performed;
    if (c.word == kTab || c.word == charKey('a')) {
        EXPECT_EQ(f.ps().cursor() != 6, ran);
    }
    EXPECT_EQ(f.state.typeAhead.size(), c.outcome == KeyOutcome::Queued ? 1 : 0);
}

std::string caseName(const ::testing::TestParamInfo<LockCase>& param) {
    std::string name;
    for (const char* p = param.param.name; *p; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Keyboard, LockMatrix, ::testing::ValuesIn(kLockCases), caseName);

TEST(TypeAhead, HoldsTenTwentyThreeKeys) {
    KeyboardFixture f;
    f.load(Screen::Form);
    f.settings.typeAhead = true;
    f.settings.keyClickOnError = true;
    f.status() = SessionStatus::SysLock;
    for (int i = 0; i < keys::TypeAheadQueue::kCapacity; ++i)
        ASSERT_EQ(f.key(charKey('a')), KeyOutcome::Queued) << i;
    EXPECT_EQ(f.ui.errorSounds, 0);
    EXPECT_EQ(f.key(charKey('b')), KeyOutcome::Refused);
    EXPECT_EQ(f.ui.errorSounds, 1);
    EXPECT_EQ(f.state.typeAhead.size(), 1023);
}

TEST(TypeAhead, ReplayStopsAfterTheFirstAttentionKey) {
    KeyboardFixture f;
    f.load(Screen::Form);
    f.settings.typeAhead = true;
    f.status() = SessionStatus::SysLock;
    f.keys("Tab '78' Enter 'q'");
    EXPECT_EQ(f.state.typeAhead.size(), 5);
    EXPECT_TRUE(f.link.sent.empty());

    f.host(restore());  // replays Tab, 7, 8, Enter
    EXPECT_EQ(f.field(20), "78...");
    EXPECT_EQ(f.link.sent, std::vector<std::string>{"readModified 7D"});
    EXPECT_EQ(f.status(), SessionStatus::SysLock);
    EXPECT_EQ(f.state.typeAhead.size(), 1);

    f.host(restore());  // and the rest at the next restore
    EXPECT_EQ(f.field(20), "78q..");
    EXPECT_TRUE(f.state.typeAhead.empty());
    EXPECT_EQ(f.status(), SessionStatus::Unlocked);
}

TEST(TypeAhead, ReplayStopsAfterAnyKeyThatSentAnAid) {
    KeyboardFixture f;
    f.load(Screen::Form);
    f.status() = SessionStatus::SysLock;
    // Keyboard input queues every kind; MoveCursorEnter ends in an Enter.
    f.state.typeAhead.push(keys::operKey(keys::Oper::MoveCursorEnter));
    f.state.typeAhead.push(charKey('b'));
    f.host(restore());
    EXPECT_EQ(f.deferred.calls, std::vector<std::string>{"oper 14"});
    EXPECT_EQ(f.link.sent, std::vector<std::string>{"readModified 7D"});
    EXPECT_EQ(f.state.typeAhead.size(), 1);
}

struct AidCase {
    int code;
    const char* sent;
    std::uint8_t aid;
};

// The AID of every attention key: the table of the 3270 keys, and the
// configured AIDs of PA4-PA10 (A1..A7) and PF25-PF36 (B1..BC) sent alone.
const AidCase kAidCases[] = {
    {0, "hex FFF3", 0x60},         {1, "shortRead 6D", 0x6D},     {2, "readModified 7D", 0x7D},
    {3, "shortRead 6C", 0x6C},     {4, "shortRead 6E", 0x6E},     {5, "shortRead 6B", 0x6B},
    {6, "readModified F1", 0xF1},  {7, "readModified F2", 0xF2},  {8, "readModified F3", 0xF3},
    {9, "readModified F4", 0xF4},  {10, "readModified F5", 0xF5}, {11, "readModified F6", 0xF6},
    {12, "readModified F7", 0xF7}, {13, "readModified F8", 0xF8}, {14, "readModified F9", 0xF9},
    {15, "readModified 7A", 0x7A}, {16, "readModified 7B", 0x7B}, {17, "readModified 7C", 0x7C},
    {18, "readModified C1", 0xC1}, {19, "readModified C2", 0xC2}, {20, "readModified C3", 0xC3},
    {21, "readModified C4", 0xC4}, {22, "readModified C5", 0xC5}, {23, "readModified C6", 0xC6},
    {24, "readModified C7", 0xC7}, {25, "readModified C8", 0xC8}, {26, "readModified C9", 0xC9},
    {27, "readModified 4A", 0x4A}, {28, "readModified 4B", 0x4B}, {29, "readModified 4C", 0x4C},
    {30, "hex FFF5", 0x12},        {31, "raw A1 FF EF", 0xA1},    {32, "raw A2 FF EF", 0xA2},
    {33, "raw A3 FF EF", 0xA3},    {34, "raw A4 FF EF", 0xA4},    {35, "raw A5 FF EF", 0xA5},
    {36, "raw A6 FF EF", 0xA6},    {37, "raw A7 FF EF", 0xA7},    {38, "raw B1 FF EF", 0xB1},
    {39, "raw B2 FF EF", 0xB2},    {40, "raw B3 FF EF", 0xB3},    {41, "raw B4 FF EF", 0xB4},
    {42, "raw B5 FF EF", 0xB5},    {43, "raw B6 FF EF", 0xB6},    {44, "raw B7 FF EF", 0xB7},
    {45, "raw B8 FF EF", 0xB8},    {46, "raw B9 FF EF", 0xB9},    {47, "raw BA FF EF", 0xBA},
    {48, "raw BB FF EF", 0xBB},    {49, "raw BC FF EF", 0xBC},
};

TEST(AttentionKeys, EveryActionCodeSendsItsAid) {
    for (const AidCase& c : kAidCases) {
        KeyboardFixture f;
        for (int i = 0; i < 7; ++i)
            f.settings.paAids[i] = static_cast<std::uint8_t>(0xA1 + i);
        for (int i = 0; i < 12; ++i)
            f.settings.pfAids[i] = static_cast<std::uint8_t>(0xB1 + i);
        f.load(Screen::Form);
        f.t.session.aid.current = 0x12;  // SysReq leaves it alone
        f.key(actionKey(static_cast<Action>(c.code)));
        EXPECT_EQ(f.link.sent, std::vector<std::string>{c.sent}) << "code " << c.code;
        EXPECT_EQ(f.t.session.aid.current, c.aid) << "code " << c.code;
        EXPECT_EQ(f.status(), SessionStatus::SysLock) << "code " << c.code;
        EXPECT_TRUE(f.t.session.aid.outstanding);
    }
}

TEST(AttentionKeys, CodesWithoutAFunctionNeitherSendNorLock) {
    KeyboardFixture f;
    f.load(Screen::Form);
    f.key(keys::makeKey(keys::Kind::Action, 50));
    EXPECT_TRUE(f.link.sent.empty());
    EXPECT_EQ(f.status(), SessionStatus::Unlocked);
}

struct AttnCase {
    bool tn3270e;
    int method;
    bool reset;
    const char* sent;
    std::uint8_t aid;
    SessionStatus status;
};

TEST(AttentionKeys, AttnByModeMethodAndReset) {
    const AttnCase cases[] = {
        {true, 0, false, "hex FFF4", 0x60, SessionStatus::SysLock},
        {true, 1, false, "hex FFF4", 0x60, SessionStatus::SysLock},
        {false, 0, false, "hex FFF3", 0x60, SessionStatus::SysLock},
        {false, 1, false, "aid FF F3", 0x6E, SessionStatus::SysLock},
        {false, 2, false, "raw FF F4", 0x60, SessionStatus::SysLock},
        {false, 0, true, "hex FFF3", 0x60, SessionStatus::Unlocked},
    };
    for (const AttnCase& c : cases) {
        KeyboardFixture f;
        f.load(Screen::Form);
        f.link.tn3270e = c.tn3270e;
        f.settings.attentionMethod = c.method;
        f.settings.attentionReset = c.reset;
        f.keys("Attn");
        EXPECT_EQ(f.link.sent, std::vector<std::string>{c.sent});
        EXPECT_EQ(f.t.session.aid.current, c.aid);
        EXPECT_EQ(f.status(), c.status);
    }
}

TEST(AttentionKeys, Pf25SendsItsConfiguredAidAloneOrAReadModifiedReply) {
    struct Case {
        bool tn3270e;
        bool extended;
        std::uint8_t aid;
        const char* sent;
    } cases[] = {
        {false, false, 0xF1, "raw F1 FF EF"},    {true, false, 0xF1, "raw 00 00 00 00 00 F1 FF EF"},
        {false, true, 0xF1, "readModified F1"},  {true, true, 0xF1, "readModified F1"},
        {false, false, 0xFF, "raw FF FF FF EF"},  // a data byte 0xFF is doubled on the wire
    };
    for (const Case& c : cases) {
        KeyboardFixture f;
        f.load(Screen::Form);
        f.settings.pfAids[0] = c.aid;
        f.settings.extendedKeys = c.extended;
        f.link.tn3270e = c.tn3270e;
        f.keys("PF25");
        EXPECT_EQ(f.link.sent, std::vector<std::string>{c.sent});
        EXPECT_EQ(f.t.session.aid.current, c.aid);
    }
}

TEST(AttentionKeys, SysReqByMode) {
    KeyboardFixture f;
    f.settings.sysreqTn3270 = "FFF2";
    f.load(Screen::Form);
    f.keys("SysReq");
    f.link.tn3270e = true;
    f.key(actionKey(Action::SysReq), KeySource::TypeaheadReplay);
    EXPECT_EQ(f.link.sent, (std::vector<std::string>{"hex FFF2", "hex FFF5"}));
}

TEST(AttentionKeys, ClearErasesTheScreenBeforeItsShortRead) {
    KeyboardFixture f;
    f.load(Screen::Form);
    f.ps().setCursor(200);
    f.keys("Clear");
    EXPECT_EQ(f.link.sent, std::vector<std::string>{"shortRead 6D"});
    EXPECT_FALSE(f.ps().screenFormatted);
    EXPECT_EQ(f.row(0), "");
    EXPECT_EQ(f.ps().cursor(), 0);
}

TEST(AttentionKeys, CommonStepsInsertModeAndWordWrap) {
    ScreenSettings s;
    s.wordWrapDefault = true;
    KeyboardFixture f(s);
    f.load(Screen::Form);
    f.keys("WordWrap Insert");
    ASSERT_FALSE(f.ps().wordWrap);
    ASSERT_TRUE(f.ps().insertMode);
    f.keys("Enter");
    EXPECT_TRUE(f.ps().wordWrap);  // back to "WordWrapDefault"
    EXPECT_TRUE(f.ps().insertMode);

    f.host(restore());
    f.settings.resetInsertOnActionKey = true;
    f.keys("PF3");
    EXPECT_FALSE(f.ps().insertMode);
}

TEST(AttentionKeys, WhileAnEarlierScreenIsShownNothingIsSent) {
    KeyboardFixture f;
    f.load(Screen::Form);
    f.status() = SessionStatus::History;
    EXPECT_EQ(f.key(kEnter), KeyOutcome::Performed);
    EXPECT_EQ(f.ui.liveScreenReturns, 1);
    EXPECT_TRUE(f.link.sent.empty());
    EXPECT_FALSE(f.t.session.aid.outstanding);
}

TEST(Reset, UnlocksUnlessPrintingWithNoResetClock) {
    const KeyWord reset = editKey(Edit::Reset, kImmediate);
    struct Case {
        SessionStatus before;
        bool noResetClock;
        SessionStatus after;
        bool insertAfter;
    } cases[] = {
        {SessionStatus::Protected, false, SessionStatus::Unlocked, false},
        {SessionStatus::SysLock, false, SessionStatus::Unlocked, false},
        {SessionStatus::Locked, false, SessionStatus::Unlocked, false},
        {SessionStatus::Locked, true, SessionStatus::Locked, true},
        {SessionStatus::NotConnected, false, SessionStatus::NotConnected, false},
    };
    for (const Case& c : cases) {
        KeyboardFixture f;
        f.load(Screen::Form);
        f.ps().insertMode = true;
        f.settings.noResetClock = c.noResetClock;
        f.status() = c.before;
        f.key(reset);
        EXPECT_EQ(f.status(), c.after);
        EXPECT_EQ(f.ps().insertMode, c.insertAfter);
    }
}

TEST(Undo, AlternatesBetweenTheHostScreenAndTheOperatorsChanges) {
    KeyboardFixture f;
    f.status() = SessionStatus::NotConnected;
    f.keys("Undo");  // nothing to go back to yet
    EXPECT_FALSE(f.state.redoImage.taken());

    f.load(Screen::Form);
    f.keys("'xyz' Tab");
    f.keys("Undo");
    EXPECT_EQ(f.field(5), "abcdefghij");
    EXPECT_FALSE(f.modified(5));
    EXPECT_EQ(f.ps().cursor(), 6);
    f.keys("Undo");
    EXPECT_EQ(f.field(5), "xyzdefghij");
    EXPECT_TRUE(f.modified(5));
    EXPECT_EQ(f.ps().cursor(), 21);
    f.keys("Undo");
    EXPECT_EQ(f.field(5), "abcdefghij");
    // Any other key arms Undo again: the next Undo goes back to the host's screen.
    f.keys("'Q' Undo");
    EXPECT_EQ(f.field(5), "abcdefghij");
}

TEST(LineMode, KeysGoStraightToTheConnection) {
    KeyboardFixture f;
    f.link.line = true;
    f.status() = SessionStatus::Unlocked;
    f.deferred.clipboard = "hi";
    f.keys("'a' Enter Backspace Tab Paste PF3");
    EXPECT_EQ(f.link.sent,
              (std::vector<std::string>{"raw 61", "raw 0D 0A", "raw 08", "raw 68", "raw 69"}));
    EXPECT_EQ(f.link.echoed, (std::vector<std::string>{"61", "0D 0A", "68", "69"}));
    EXPECT_EQ(f.status(), SessionStatus::Unlocked);

    f.link.echoes = true;
    f.link.sent.clear();
    f.keys("'b'");
    EXPECT_EQ(f.link.sent, std::vector<std::string>{"raw 62"});
    EXPECT_EQ(f.link.echoed.size(), 4u);
}

TEST(Dispatcher, ClipboardAndOperatorFunctionsGoToTheirSubsystems) {
    KeyboardFixture f;
    f.load(Screen::Form);
    f.keys("Copy");
    f.key(keys::operKey(keys::Oper::PrintScreen));
    f.state.macroListSelector = 2;
    f.key(keys::macroKey(5));
    f.keys("Tab");
    EXPECT_EQ(f.deferred.calls, (std::vector<std::string>{"edit 3", "oper 17", "macro 5/2"}));
    EXPECT_EQ(f.state.macroListSelector, 0);  // cleared by the next key of another kind
    EXPECT_EQ(f.link.operatorActs, 4);        // keep-alives start over at every key
}

}  // namespace
}  // namespace cedar::test
