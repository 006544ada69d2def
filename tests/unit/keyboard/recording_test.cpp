// The macro statements written for key functions while recording.
#include "keyboard_fixture.h"

namespace cedar::test {
namespace {

using keys::Oper;
using keys::operKey;
using Lines = std::vector<std::string>;

struct RecordingTest : ::testing::Test {
    RecordingTest() {
        f.load(Screen::Form);
        f.recorder.on = true;
        f.state.restoresSinceKey = 0;  // recording starts here
        f.recorder.names[operKey(Oper::MoveCursorEnter)] = "MoveCursorEnter";
        f.recorder.names[operKey(Oper::MacroRecord)] = "MacroRecord";
    }
    void restores(int n) {
        for (int i = 0; i < n; ++i)
            f.host(RecordBuilder(cmd::kWrite, 0x02));
    }
    KeyboardFixture f;
};

TEST_F(RecordingTest, NativeDialect) {
    f.keys("'a\"b' Enter");
    EXPECT_EQ(f.recorder.lines, (Lines{"Type(\"a\"\"b\")\r\n", "Key(\"Enter\")\r\n"}));

    f.recorder.lines.clear();
    restores(1);
    f.keys("'c'");
    EXPECT_EQ(f.recorder.lines, (Lines{"Wait(20,Status=\"Unlocked\")\r\n"}));

    // Two restores: the wait also checks where the cursor stood before the key.
    f.recorder.lines.clear();
    restores(2);
    f.keys("Tab");
    EXPECT_EQ(f.recorder.lines,
              (Lines{"Type(\"c\")\r\n", "Wait(20,Status=\"Unlocked\" & CursorPos = \"1,11\")\r\n",
                     "Key(\"Tab\")\r\n"}));

    // Positioned functions: by the cursor, or where the mouse put it.
    f.recorder.lines.clear();
    f.keys("SelectField");
    f.state.keyFromMouse = true;
    f.keys("SelectField");
    EXPECT_EQ(f.recorder.lines, (Lines{"Key(\"SelectField\",CursorRow,CursorCol)\r\n",
                                       "Key(\"SelectField\",1,22)\r\n"}));

    // MoveCursorEnter's Enter is not recorded on its own; the recorder's own
    // keys are not recorded at all; macro keys are executed by name.
    f.recorder.lines.clear();
    f.key(operKey(Oper::MoveCursorEnter));
    f.key(operKey(Oper::MacroRecord));
    f.state.macroListSelector = 1;
    f.key(keys::macroKey(3));
    EXPECT_EQ(f.recorder.lines,
              (Lines{"Key(\"MoveCursorEnter\",1,22)\r\n", "Execute (\"macro3/1\")\r\n"}));
    EXPECT_EQ(f.link.sent.back(), "readModified 7D");
}

TEST_F(RecordingTest, RexxDialectAndRecordWait) {
    f.recorder.rexx = true;
    f.settings.recordWait = 7;
    restores(1);
    f.keys("Tab");
    restores(3);
    f.keys("Tab");
    EXPECT_EQ(f.recorder.lines,
              (Lines{"WaitUnlocked(7)\r\n", "Key(\"Tab\")\r\n",
                     "Wait(7,\"getvar('status')='UNLOCKED' & getvar('cursorpos')='1,22'\")\r\n",
                     "Key(\"Tab\")\r\n"}));
}

TEST_F(RecordingTest, TypedTextIsWrittenOnceMoreThanEightyCharactersWait) {
    f.load(Screen::Plain);
    f.state.restoresSinceKey = 0;
    f.keys("'" + std::string(80, 'k') + "'");
    EXPECT_TRUE(f.recorder.lines.empty());
    f.keys("'m'");
    EXPECT_EQ(f.recorder.lines, (Lines{"Type(\"" + std::string(80, 'k') + "m\")\r\n"}));
    f.keys("'n'");
    f.controller.flushRecordedTyping();
    EXPECT_EQ(f.recorder.lines.back(), "Type(\"n\")\r\n");
}

TEST_F(RecordingTest, NothingIsWrittenWhileNotRecording) {
    f.recorder.on = false;
    f.keys("'ab' Enter");
    EXPECT_TRUE(f.recorder.lines.empty());
}

}  // namespace
}  // namespace cedar::test
