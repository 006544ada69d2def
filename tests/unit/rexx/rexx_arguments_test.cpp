// Arguments of the REXX functions: number reading, defaults, ranges and
// argument counts.
#include "rexx/rexx_arguments.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace cedar {
namespace {

TEST(RexxArguments, ReadNumber) {
    struct Case {
        const char* text;
        std::optional<int> value;
    } cases[] = {
        {"12", 12},
        {"  12", 12},
        {"+7", 7},
        {" -3", -3},
        {"007", 7},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"2147483648", std::nullopt},
        {"99999999999999999999999", std::nullopt},
        {"12 ", std::nullopt},  // digits must fill the rest
        {"1 2", std::nullopt},
        {"- 3", std::nullopt},
        {"1.5", std::nullopt},
        {"0x10", std::nullopt},
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"+", std::nullopt},
        {"\t5", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(readRexxNumber(c.text), c.value) << '"' << c.text << '"';
}

TEST(RexxArguments, NumberArgumentDefaultsRangesAndErrors) {
    const RexxArguments args = {std::string("5"), std::nullopt, std::string(""), std::string("x"),
                                std::string("81")};
    struct Case {
        std::size_t index;
        std::optional<int> fallback;
        RexxError unreadable;
        RexxError error;
        int value;
    } cases[] = {
        {0, std::nullopt, RexxError::BadValue, RexxError::None, 5},
        {1, 10, RexxError::BadValue, RexxError::None, 10},  // absent: default
        {2, 20, RexxError::BadValue, RexxError::None, 20},  // empty: default
        {1, std::nullopt, RexxError::NumberUnreadable, RexxError::NumberUnreadable, 0},
        {3, 7, RexxError::NumberUnreadable, RexxError::NumberUnreadable, 0},
        {3, std::nullopt, RexxError::BadValue, RexxError::BadValue, 0},
        {4, std::nullopt, RexxError::NumberUnreadable, RexxError::BadValue, 81},  // > 80
        {9, 3, RexxError::BadValue, RexxError::None, 3},  // beyond the end: absent
    };
    for (const auto& c : cases) {
        RexxNumber n = rexxNumberArgument(args, c.index, c.fallback, 1, 80, c.unreadable);
        EXPECT_EQ(n.error, c.error) << c.index;
        if (n.error == RexxError::None || n.error == RexxError::BadValue) {
            EXPECT_EQ(n.value, c.value) << c.index;
        }
    }
    // A default outside the range is still checked.
    EXPECT_EQ(rexxNumberArgument(args, 1, 0, 1, 80).error, RexxError::BadValue);
}

TEST(RexxArguments, TheFunctionTable) {
    const auto& shapes = rexxFunctionShapes();
    EXPECT_EQ(shapes.size(), 27u);
    std::set<std::string_view> names;
    for (const auto& s : shapes) {
        names.insert(s.name);
        EXPECT_LE(s.minArguments, s.maxArguments) << s.name;
        for (char c : s.name)
            EXPECT_TRUE(c >= 'a' && c <= 'z') << s.name;
    }
    EXPECT_EQ(names.size(), shapes.size());
    EXPECT_EQ(findRexxFunction("SCREEN"), nullptr);  // registered in lower case
    EXPECT_EQ(findRexxFunction("nosuch"), nullptr);

    struct Case {
        const char* name;
        std::size_t count;
        RexxError error;
    } cases[] = {
        {"screen", 1, RexxError::ArgumentCount},
        {"screen", 2, RexxError::None},
        {"screen", 3, RexxError::None},
        {"screen", 4, RexxError::ArgumentCount},
        {"messagebox", 0, RexxError::None},
        {"messagebox", 5, RexxError::ArgumentCount},
        {"shellexecute", 1, RexxError::ArgumentCount},
        {"shellexecute", 5, RexxError::None},
        {"sendfile", 1, RexxError::ArgumentCount},
        {"sendfile", 9, RexxError::None},
        {"getvar", 0, RexxError::ArgumentCount},
        {"setoption", 3, RexxError::None},
        {"shortwait", 0, RexxError::None},
    };
    for (const auto& c : cases) {
        const RexxFunctionShape* shape = findRexxFunction(c.name);
        ASSERT_NE(shape, nullptr) << c.name;
        RexxArguments args(c.count, std::string("1"));
        EXPECT_EQ(checkRexxArgumentCount(*shape, args), c.error) << c.name << ' ' << c.count;
    }
}

}  // namespace
}  // namespace cedar
