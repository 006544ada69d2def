// The REXX error texts: the layout of rexxerr.lst and the shipped file.
#include "rexx/rexx_errors.h"

#include <gtest/gtest.h>

#include <string>

#include "test_paths.h"

namespace cedar {
namespace {

TEST(RexxErrorTexts, LayoutOfTheFile) {
    // First line skipped even when it looks like an entry; CR LF line ends;
    // any one separator; malformed lines ignored; a later line wins.
    const RexxErrorTexts texts(
        "1001 heading that looks like an entry\r\n"
        "1002 Out of range\r\n"
        "1003\tWrong count\n"
        "12 short number\n"
        "10x4 not digits\n"
        "1005\n"
        "\n"
        "1006:Unknown key\n"
        "1006 Unknown key function");
    struct Case {
        int number;
        const char* message;
    } cases[] = {
        {1001, "Error 1000 - Unknown REXX error occurred"},
        {1002, "Error 1002 - Out of range"},
        {1003, "Error 1003 - Wrong count"},
        {1005, "Error 1000 - Unknown REXX error occurred"},
        {1006, "Error 1006 - Unknown key function"},
        {12, "Error 1000 - Unknown REXX error occurred"},
        {-5, "Error 1000 - Unknown REXX error occurred"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(texts.message(c.number), c.message) << c.number;
    EXPECT_EQ(texts.size(), 3u);
}

TEST(RexxErrorTexts, SmallNumbersArePaddedAndEmptyTextKept) {
    const RexxErrorTexts texts("heading\n0042 Small\n1007 \n");
    EXPECT_EQ(texts.message(42), "Error 0042 - Small");
    EXPECT_EQ(texts.message(1007), "Error 1007 - ");
}

TEST(RexxErrorTexts, WithoutAFileEveryMessageIsTheUnknownOne) {
    const RexxErrorTexts none;
    EXPECT_EQ(none.message(RexxError::WaitTimedOut), "Error 1000 - Unknown REXX error occurred");
    const RexxErrorTexts headingOnly("only a heading");
    EXPECT_EQ(headingOnly.message(RexxError::BadValue), "Error 1000 - Unknown REXX error occurred");
}

TEST(RexxErrorTexts, ShippedFileHoldsEveryNumber) {
    const RexxErrorTexts texts(test::readFile(test::dataDir() + "/rexxerr.lst"));
    const std::string unknown = "Error 1000 - Unknown REXX error occurred";
    EXPECT_EQ(texts.message(RexxError::Unknown), unknown);
    for (int number = 1001; number <= 1018; ++number) {
        const std::string message = texts.message(number);
        char head[32];
        std::snprintf(head, sizeof head, "Error %04d - ", number);
        EXPECT_EQ(message.rfind(head, 0), 0u) << message;
        EXPECT_GT(message.size(), std::string(head).size() + 5) << message;
    }
}

}  // namespace
}  // namespace cedar
