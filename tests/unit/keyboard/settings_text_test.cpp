// Where the keyboard's settings come from, and text typed from outside.
#include <gtest/gtest.h>

#include "keyboard/keyboard_settings.h"
#include "keyboard/text_input.h"
#include "sessionfile/session_options.h"
#include "sessionfile/settings.h"

namespace cedar::test {
namespace {

using sessionfile::Field;

TEST(KeyboardSettings, FromTheSessionFile) {
    sessionfile::SessionOptions options;
    options.setNumber(Field::TypeAhead, 1);
    options.setNumber(Field::KeyClickOnError, 1);
    options.setNumber(Field::InsertCursorBackspace, 2);
    options.setNumber(Field::SkipAtEndOfField, 1);
    keys::KeyboardSettings settings;
    settings.enableAutoSkip = true;  // the session file says off
    keys::applySessionOptions(settings, options);
    EXPECT_TRUE(settings.typeAhead);
    EXPECT_TRUE(settings.keyClickOnError);
    EXPECT_EQ(settings.insertCursorBackspace, 2);
    EXPECT_EQ(settings.normalCursorBackspace, 0);
    EXPECT_TRUE(settings.skipAtEndOfField);
    EXPECT_FALSE(settings.enableAutoSkip);
}

TEST(KeyboardSettings, FromCedarIni) {
    const Settings program = readSettings(
        "[Cedar]\r\nAttentionMethod=2\r\nAttentionReset=1\r\nPF25=F1\r\nPA10=6e\r\n"
        "ExtendedKeys=1\r\nNoResetClock=1\r\nAttnTN3270=FFF4\r\nRecordWait=5\r\n");
    keys::KeyboardSettings settings;
    keys::applyProgramSettings(settings, program);
    EXPECT_EQ(settings.attentionMethod, 2);
    EXPECT_TRUE(settings.attentionReset);
    EXPECT_EQ(settings.pfAids[0], 0xF1);
    EXPECT_EQ(settings.paAids[6], 0x6E);
    EXPECT_TRUE(settings.extendedKeys);
    EXPECT_TRUE(settings.noResetClock);
    EXPECT_EQ(settings.attnTn3270, "FFF4");
    EXPECT_EQ(settings.sysreqTn3270, "FFF5");
    EXPECT_EQ(settings.recordWait, 5);
}

TEST(TextInput, Utf8BecomesDisplayCode) {
    EXPECT_EQ(keys::utf8ToDisplay("abc"), "abc");
    EXPECT_EQ(keys::utf8ToDisplay("\xC3\xA9\xE2\x82\xAC"), "\xE9\x80");  // é and the euro sign
    EXPECT_EQ(keys::utf8ToDisplay("\xE4\xB8\xAD"), "?");                 // not in the code page
    EXPECT_EQ(keys::utf8ToDisplay("a\tb\n"), "ab");                      // no control characters
    EXPECT_EQ(keys::utf8ToDisplay("\xC3"), "?");                         // cut short
    EXPECT_EQ(keys::utf8ToDisplay("\xFF"
                                  "a"),
              "?a");
}

}  // namespace
}  // namespace cedar::test
