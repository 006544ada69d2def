// Typing word wrap on rows that are one field each (39 columns), narrow
// rows, a single row, deleting mode, and the two ways word wrap must not
// lose text: a reflow that does not fit and a word longer than a row.
#include <algorithm>

#include "keyboard_fixture.h"

namespace cedar::test {
namespace {

std::string typed(const std::string& text) {
    return "'" + text + "'";
}

struct WordWrapTest : ::testing::Test {
    WordWrapTest() {
        f.load(Screen::Paragraphs);
        f.keys("WordWrap");
    }
    // Writes text into the rows without touching the modified-data tags.
    void prefill(std::initializer_list<std::pair<int, std::string>> rows) {
        RecordBuilder r(cmd::kWrite, 0x02);
        for (const auto& [row, text] : rows)
            r.sba(row * 40 + 1).text(text);
        f.host(r);
    }
    KeyboardFixture f;
};

TEST_F(WordWrapTest, AWordReachingTheLastColumnMovesToTheNextRow) {
    ASSERT_TRUE(f.ps().wordWrap);
    f.keys(typed(std::string(33, 'a') + " hello"));
    EXPECT_EQ(f.row(2), " " + std::string(33, 'a'));
    EXPECT_EQ(f.row(3), " hello");
    // The cursor follows the moved word, and insert mode is on.
    EXPECT_EQ(f.ps().cursor(), 126);
    EXPECT_TRUE(f.ps().insertMode);
    EXPECT_TRUE(f.modified(80));
    EXPECT_TRUE(f.modified(120));
    f.keys("'s'");
    EXPECT_EQ(f.row(3), " hellos");
}

TEST_F(WordWrapTest, ABlankInTheLastColumnTakesTheCursorToTheNextRow) {
    f.keys(typed(std::string(38, 'b') + " c"));
    EXPECT_EQ(f.row(2), " " + std::string(38, 'b'));
    EXPECT_EQ(f.row(3), " c");
    EXPECT_EQ(f.ps().cursor(), 122);
    EXPECT_FALSE(f.ps().insertMode);
}

TEST_F(WordWrapTest, NarrowRowsAndSingleRowsNeverWrap) {
    f.ps().setCursor(1);  // rows 0 and 1: 19 columns
    f.keys("'aaa bbb ccc ddd eee'");
    EXPECT_EQ(f.row(0), " aaa bbb ccc ddd eee");
    EXPECT_EQ(f.row(1), "");
    EXPECT_EQ(f.ps().cursor(), 20);

    f.ps().setCursor(286);  // row 7 has no row below of the same layout
    f.keys("'aaaa bbbb cccc dddd eeee ffff gggg'");
    EXPECT_EQ(f.row(7), " Cmd  aaaa bbbb cccc dddd eeee ffff gggg");
    EXPECT_EQ(f.ps().cursor(), 0);
    EXPECT_FALSE(f.ps().insertMode);
}

TEST_F(WordWrapTest, DeletingPullsTheParagraphUp) {
    prefill({{2, "one two"}, {3, "three four"}});
    f.ps().setCursor(81);
    f.keys("Delete");
    EXPECT_EQ(f.row(2), " ne two three four");
    EXPECT_EQ(f.row(3), "");
    EXPECT_EQ(f.ps().cursor(), 81);
    EXPECT_TRUE(f.modified(80));
    EXPECT_TRUE(f.modified(120));
}

TEST_F(WordWrapTest, AKeystrokeWhoseTextWouldNotFitIsRefusedWhole) {
    const std::string line = "aaaaaa bbbbbbb ccccccc ddddddd eeeeeee";  // 38 columns
    ASSERT_EQ(line.size(), 38u);
    prefill({{2, line}, {3, line}, {4, line}, {5, line}, {6, line}});
    f.ps().setCursor(119);  // the last column of row 2
    const PresentationSpace::Image before = f.ps().image();

    f.keys("'z'");

    EXPECT_EQ(f.status(), SessionStatus::InsertOverflow);
    EXPECT_EQ(f.state.savedStatus, SessionStatus::Unlocked);
    EXPECT_EQ(f.ps().cursor(), 119);
    EXPECT_FALSE(f.ps().insertMode);
    EXPECT_TRUE(f.ps().image().characters == before.characters);
    EXPECT_TRUE(f.ps().image().attributes == before.attributes);  // no MDT either
    for (int row = 2; row <= 6; ++row)
        EXPECT_EQ(f.row(row), " " + line) << row;
}

TEST_F(WordWrapTest, AWordLongerThanARowIsBrokenNotLost) {
    prefill({{2, "abc d"}, {3, "e f"}, {4, "g h"}, {5, "i j"}, {6, std::string(39, 'x')}});
    f.ps().setCursor(81);
    f.keys("Delete");
    EXPECT_EQ(f.status(), SessionStatus::Unlocked);
    EXPECT_EQ(f.row(2), " bc d e f g h i j");
    EXPECT_EQ(f.row(3), " " + std::string(38, 'x'));
    EXPECT_EQ(f.row(4), " x");
    EXPECT_EQ(f.row(5), "");
    EXPECT_EQ(f.row(6), "");
    const auto& chars = f.ps().characters();
    EXPECT_EQ(std::count(chars.begin(), chars.begin() + 320, 'x'), 39);
}

TEST(WordWrap, NeverWritesIntoAProtectedField) {
    KeyboardFixture f;
    // Row 1: an input field from row 0 up to column 30; rows 2 and 3 have the
    // same layout, but their first 30 columns (empty) belong to protected
    // fields.
    f.host(RecordBuilder(cmd::kEraseWrite, 0xC3)
               .sba(39)
               .sf(0x40)
               .sba(70)
               .sf(0x60)
               .sba(110)
               .sf(0x60)
               .sba(150)
               .sf(0x60)
               .sba(40)
               .ic());
    // The last "f" reaches the field's last column.
    f.keys("WordWrap 'aaaa bbbb cccc dddd eeee fffff'");
    EXPECT_EQ(f.row(1), "aaaa bbbb cccc dddd eeee fffff");
    EXPECT_EQ(f.row(2), "");
    EXPECT_EQ(f.ps().cursor(), 70);
    EXPECT_EQ(f.status(), SessionStatus::Unlocked);
}

TEST(WordWrap, WordWrapAlwaysCannotBeSwitchedOff) {
    ScreenSettings s;
    s.wordWrapAlways = true;
    KeyboardFixture f(s);
    f.load(Screen::Paragraphs);
    f.keys("WordWrap " + typed(std::string(33, 'a') + " hello"));
    EXPECT_EQ(f.row(3), " hello");
}

}  // namespace
}  // namespace cedar::test
