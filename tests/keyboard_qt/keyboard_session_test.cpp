// Physical keys of each keyboard typed into an input field through the
// terminal widget, and the bytes the loopback host receives after Enter.
#include <gtest/gtest.h>

#include "loopback_terminal.h"

namespace cedar::test {
namespace {

struct Stroke {
    PhysicalKey key;
    Held held = {};
};

struct LayoutCase {
    const char* keyboard;
    std::vector<Stroke> strokes;
    std::vector<std::uint8_t> host;  // the field's bytes, code page 037
};

std::ostream& operator<<(std::ostream& os, const LayoutCase& c) {
    return os << c.keyboard;
}

constexpr Held kShift{.shift = true};
constexpr Held kAltGr{.altGr = true};

const PhysicalKey kDeadCircumflexDe{41, Qt::Key_Dead_Circumflex, ""};
const PhysicalKey kDeadCircumflexFr{26, Qt::Key_Dead_Circumflex, ""};
const PhysicalKey kDeadDiaeresisFr{26, Qt::Key_Dead_Diaeresis, ""};

class TypingTable : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(TypingTable, TheHostReceivesWhatTheKeysType) {
    const LayoutCase& c = GetParam();
    LoopbackTerminal term(c.keyboard);
    ASSERT_TRUE(term.started) << term.host.error();
    for (const auto& s : c.strokes)
        stroke(term.widget, s.key, s.held);
    stroke(term.widget, keys_us::kEnter);
    EXPECT_EQ(term.fieldData(1), c.host);
}

INSTANTIATE_TEST_SUITE_P(
    EveryKeyboard, TypingTable,
    ::testing::Values(
        LayoutCase{"037",
                   {{{3, Qt::Key_At, "@"}, kShift}, {{40, Qt::Key_Apostrophe, "'"}}, {keys_us::kA}},
                   {0x7C, 0x7D, 0x81}},
        LayoutCase{"Germany/Austria 273",
                   {{{3, Qt::Key_QuoteDbl, "\""}, kShift},
                    {{21, Qt::Key_Z, "z"}},
                    {{44, Qt::Key_Y, "y"}},
                    {{12, Qt::Key_ssharp, "\u00df"}},
                    {{16, Qt::Key_At, "@"}, kAltGr},
                    {kDeadCircumflexDe},
                    {keys_us::kE},
                    {{39, Qt::Key_Odiaeresis, "\u00f6"}}},
                   {0x7F, 0xA9, 0xA8, 0x59, 0x7C, 0x52, 0xCC}},
        LayoutCase{"France 297",
                   {{{2, Qt::Key_Ampersand, "&"}},
                    {{2, Qt::Key_1, "1"}, kShift},
                    {{3, Qt::Key_Eacute, "\u00e9"}},
                    {{30, Qt::Key_Q, "q"}},
                    {{50, Qt::Key_Comma, ","}},
                    {{39, Qt::Key_M, "m"}},
                    {kDeadCircumflexFr},
                    {keys_us::kE},
                    {kDeadDiaeresisFr, kShift},
                    {keys_us::kE}},
                   {0x50, 0xF1, 0x51, 0x98, 0x6B, 0x94, 0x52, 0x53}},
        LayoutCase{"Spain/Latin America 284",
                   {{{39, Qt::Key_Ntilde, "\u00f1"}}, {{39, Qt::Key_Ntilde, "\u00d1"}, kShift}},
                   {0x49, 0x69}},
        LayoutCase{"Finland/Sweden 278", {{{40, Qt::Key_Adiaeresis, "\u00e4"}}}, {0x43}},
        LayoutCase{"United Kingdom 285", {{{4, Qt::Key_sterling, "\u00a3"}, kShift}}, {0xB1}},
        LayoutCase{"Italy 280", {{{26, Qt::Key_Egrave, "\u00e8"}}}, {0x54}},
        LayoutCase{"Denmark/Norway 277", {{{39, Qt::Key_AE, "\u00e6"}}}, {0x9C}},
        LayoutCase{"Iceland 871", {{{26, Qt::Key_ETH, "\u00f0"}}}, {0x8C}},
        LayoutCase{"International 500", {{{3, Qt::Key_Eacute, "\u00e9"}}}, {0x51}}));

TEST(TypeAhead, KeysWhileTheHostHasTheKeyboardAreReplayed) {
    for (bool typeAhead : {true, false}) {
        LoopbackTerminal term("037");
        ASSERT_TRUE(term.started);
        term.t.session.keyboardSettings.typeAhead = typeAhead;
        stroke(term.widget, keys_us::kA);
        stroke(term.widget, keys_us::kEnter);
        ASSERT_EQ(term.fieldData(1), (std::vector<std::uint8_t>{0x81}));
        ASSERT_EQ(term.t.session.status, SessionStatus::SysLock);
        stroke(term.widget, keys_us::kX);
        stroke(term.widget, keys_us::kE);
        EXPECT_EQ(term.at(11), 0);
        // The host answers: a Write that restores the keyboard.
        term.host.send(RecordBuilder(cmd::kWrite, 0x02).bytes());
        ASSERT_TRUE(term.run([&] { return term.t.session.status == SessionStatus::Unlocked; }));
        stroke(term.widget, keys_us::kEnter);
        const std::vector<std::uint8_t> replayed = {0x81, 0xA7, 0x85};
        const std::vector<std::uint8_t> refused = {0x81};
        EXPECT_EQ(term.fieldData(2), typeAhead ? replayed : refused) << typeAhead;
    }
}

}  // namespace
}  // namespace cedar::test
