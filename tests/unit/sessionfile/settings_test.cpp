#include "sessionfile/settings.h"

#include <gtest/gtest.h>

namespace cedar {
namespace {

TEST(Settings, DefaultsWithoutAFile) {
    const Settings s = readSettings("");
    EXPECT_EQ(s.lastSession, "standard.ses");
    EXPECT_EQ(s.keepAliveTime, 240);
    EXPECT_EQ(s.keepAlive, 0xF1);
    EXPECT_EQ(s.setSockOpt, 3);
    EXPECT_EQ(s.timeoutDialog, 1);
    EXPECT_EQ(s.termTypes[3], "IBM-3278-5-E");
    EXPECT_EQ(s.wheelUp, "Key(\"PF7\")");
    EXPECT_EQ(s.wheelDelay, -1);
    EXPECT_EQ(s.copyBufferBytes(), 64064u);
    EXPECT_EQ(s.replyCodepage, 1);
    EXPECT_EQ(s.ignoreKeyUp80, 1);
}

TEST(Settings, HandEditedValues) {
    const Settings s = readSettings(
        "[Cedar]\r\n"
        "CopyBufferSize=10\r\n"
        "TermType2=ibm-3279-2-e\r\n"
        "TermTypeUser=IBM-DYNAMIC-WITH-A-VERY-LONG-NAME\r\n"
        "KeepAlive=f6\r\n"
        "PA4=6b\r\n"
        "PF36=zz\r\n"
        "IgnoreInvalidSBA=1\r\n"
        "Wang=1\r\n"
        "LastSession=" +
        std::string(300, 'x') + "\r\n");
    EXPECT_EQ(s.copyBufferBytes(), 10064u);
    EXPECT_EQ(s.termTypes[0], "IBM-3279-2-E") << "terminal types are sent in upper case";
    EXPECT_EQ(s.termTypes[4].size(), 19u);
    EXPECT_EQ(s.keepAlive, 0xF6);
    EXPECT_EQ(s.paAids[0], 0x6B);
    EXPECT_EQ(s.pfAids[11], 0x00);
    EXPECT_EQ(s.lastSession.size(), 259u);
    const auto screen = s.screenSettings();
    EXPECT_TRUE(screen.ignoreInvalidSba);
    EXPECT_TRUE(screen.wang);
    EXPECT_FALSE(screen.cmdChaining);
}

// Values that would do harm as written are kept within a working range.
TEST(Settings, HarmfulValuesAreClamped) {
    struct Case {
        const char* line;
        int Settings::*field;
        int expected;
    } cases[] = {
        {"CopyBufferSize=-5", &Settings::copyBufferSize, 1},
        {"CopyBufferSize=99999999999", &Settings::copyBufferSize, 100000},
        {"KeepAliveTime=-1", &Settings::keepAliveTime, 0},
        {"SetSockOpt=255", &Settings::setSockOpt, 3},
        {"MinFontWidth=0", &Settings::minFontWidth, 1},
        {"CascadeMax=0", &Settings::cascadeMax, 1},
        {"WheelDelay=-100", &Settings::wheelDelay, -1},
        {"BigNumberFormat=7", &Settings::bigNumberFormat, 2},
        {"BeepPitchLow=1", &Settings::beepPitchLow, 37},
    };
    for (const auto& c : cases) {
        const Settings s = readSettings(std::string("[Cedar]\r\n") + c.line + "\r\n");
        EXPECT_EQ(s.*c.field, c.expected) << c.line;
    }
    const Settings s = readSettings("[Cedar]\r\nMinFontWidth=50\r\nMaxFontWidth=10\r\n");
    EXPECT_GE(s.maxFontWidth, s.minFontWidth);
}

}  // namespace
}  // namespace cedar
