// The text, number, random and time functions, called as the evaluator
// calls them (arguments already of the right types).
#include "macro/text_functions.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <limits>
#include <vector>

#include "macro_test_util.h"

namespace cedar {
namespace {

MacroValue N(std::int32_t n) {
    return MacroValue::ofNumber(n);
}
MacroValue T(std::string_view t) {
    return MacroValue::ofText(t);
}

MacroValue call(ReservedWord word, std::initializer_list<MacroValue> args,
                const TextFunctionContext& context = {}) {
    std::vector<MacroValue> v(args);
    MacroValue result;
    EXPECT_TRUE(isTextFunction(word));
    EXPECT_EQ(callTextFunction(word, v, result, context), MacroError::None);
    return result;
}

struct Row {
    ReservedWord word;
    std::vector<MacroValue> args;
    MacroValue expected;
};

TEST(TextFunctions, Table) {
    using W = ReservedWord;
    const std::vector<Row> rows = {
        {W::Not, {N(0)}, N(1)},
        {W::Not, {N(-5)}, N(0)},
        {W::Mid, {T("abcdef"), N(3), N(2)}, T("cd")},
        {W::Mid, {T("abc"), N(5), N(1)}, T("")},
        {W::Mid, {T("abc"), N(0), N(2)}, T("")},
        {W::Mid, {T("abc"), N(2), N(-1)}, T("")},
        {W::Mid, {T("abc"), N(2), N(100)}, T("bc")},
        {W::Mid, {T("abc"), N(3), N(1)}, T("c")},
        {W::Left, {T("abc"), N(10)}, T("abc")},
        {W::Left, {T("abc"), N(-3)}, T("")},
        {W::Left, {T("abc"), N(2)}, T("ab")},
        {W::Right, {T("abc"), N(-1)}, T("")},
        {W::Right, {T("abc"), N(2)}, T("bc")},
        {W::Right, {T("abc"), N(99)}, T("abc")},
        {W::Str, {N(-42)}, T("-42")},
        {W::Val, {T("  -12ab")}, N(-12)},
        {W::Val, {T("+7")}, N(7)},
        {W::Val, {T("x1")}, N(0)},
        {W::Val, {T("99999999999999999999")}, N(std::numeric_limits<std::int32_t>::max())},
        {W::Val, {T("-99999999999999999999")}, N(std::numeric_limits<std::int32_t>::min())},
        {W::Chr, {N(0x141)}, T("A")},
        {W::Chr, {N(0)}, T("")},
        {W::Asc, {T("\xF0x")}, N(0xF0)},
        {W::Asc, {T("")}, N(0)},
        {W::Len, {T("abcd")}, N(4)},
        {W::Trim, {T("  a b  ")}, T("a b")},
        {W::Trim, {T("   ")}, T("")},
        {W::Trim, {T("\ta ")}, T("\ta")},
        {W::UpperCase, {T("aZ1\xe4")}, T("AZ1\xe4")},
        {W::LowerCase, {T("aZ1\xc4")}, T("az1\xc4")},
        {W::Hex, {N(255)}, T("000000FF")},
        {W::Hex, {N(255), N(2)}, T("FF")},
        {W::Hex, {N(255), N(9)}, T("000000FF")},
        {W::Hex, {N(255), N(0)}, T("000000FF")},
        {W::Hex, {N(-1), N(4)}, T("FFFF")},
        {W::HexDec, {T("ff zz")}, N(255)},
        {W::HexDec, {T("  0x1A")}, N(26)},
        {W::HexDec, {T("zz")}, N(0)},
        {W::HexDec, {T("FFFFFFFF")}, N(-1)},
        {W::HexDec, {T("123456789ABCDEF")}, N(-1)},  // saturates, never wraps silently
        {W::DataType, {T("a1-")}, T("ANS")},
        {W::DataType, {T("Z9 .")}, T("ANSS")},
    };
    for (const Row& row : rows) {
        MacroValue result;
        ASSERT_EQ(callTextFunction(row.word, row.args, result, {}), MacroError::None);
        EXPECT_EQ(result, row.expected)
            << reservedWordName(row.word) << " row " << (&row - rows.data());
    }
}

TEST(TextFunctions, InstrRelativeAndFixedModes) {
    struct Case {
        std::int32_t start;
        std::string_view text, find;
        std::int32_t relative, fixed;
    };
    const Case cases[] = {
        {0, "abcabc", "c", 3, 3}, {3, "abcabc", "c", 3, 6}, {3, "abc", "x", 0, 0},
        {4, "abc", "a", 0, 0},    {-1, "abc", "a", 0, 0},   {1, "abcabc", "a", 3, 4},
        {0, "abc", "abcd", 0, 0}, {3, "abc", "", 1, 4},
    };
    for (const Case& c : cases) {
        TextFunctionContext relative, fixed;
        fixed.fixInstr = true;
        EXPECT_EQ(call(ReservedWord::InStr, {N(c.start), T(c.text), T(c.find)}, relative),
                  N(c.relative))
            << c.start << " " << c.text << " " << c.find;
        EXPECT_EQ(call(ReservedWord::InStr, {N(c.start), T(c.text), T(c.find)}, fixed), N(c.fixed))
            << c.start << " " << c.text << " " << c.find;
    }
}

TEST(TextFunctions, DataTypeFollowsTheNationalLetter) {
    TextFunctionContext context;
    EXPECT_EQ(call(ReservedWord::DataType, {T("$a")}, context), T("SA"));
    context.scanner.nationalLetter = '$';
    EXPECT_EQ(call(ReservedWord::DataType, {T("$a")}, context), T("AA"));
}

TEST(TextFunctions, RndScalesInSixtyFourBits) {
    TextFunctionContext context;
    int r = 32767;
    context.random15 = [&] { return r; };
    // n × r overflows 32 bits for large n; the result must still be n.
    EXPECT_EQ(call(ReservedWord::Rnd, {N(99'999'999)}, context), N(99'999'999));
    EXPECT_EQ(call(ReservedWord::Rnd, {N(-1000)}, context), N(-1000));
    r = 0;
    EXPECT_EQ(call(ReservedWord::Rnd, {N(99'999'999)}, context), N(0));
    r = 16384;
    EXPECT_EQ(call(ReservedWord::Rnd, {N(100)}, context), N(50));
    r = 1'000'000;  // an out-of-range source is clamped
    EXPECT_EQ(call(ReservedWord::Rnd, {N(10)}, context), N(10));
}

TEST(TextFunctions, TimeDateFormatsTheInjectedTime) {
    TextFunctionContext context;
    context.localTime = [] {
        std::tm t{};
        t.tm_year = 2026 - 1900;
        t.tm_mon = 1;
        t.tm_mday = 3;
        t.tm_hour = 4;
        t.tm_min = 5;
        t.tm_sec = 6;
        return t;
    };
    EXPECT_EQ(call(ReservedWord::TimeDate, {T("%Y-%m-%d %H:%M:%S")}, context),
              T("2026-02-03 04:05:06"));
    EXPECT_EQ(call(ReservedWord::TimeDate, {T("")}, context), T(""));
    // A result longer than 240 bytes gives no text rather than a cut one.
    std::string longFormat;
    for (int i = 0; i < 25; ++i)
        longFormat += "%Y-%m-%d ";
    EXPECT_EQ(call(ReservedWord::TimeDate, {T(longFormat)}, context), T(""));
    EXPECT_EQ(call(ReservedWord::TimeDate, {T("x%")}, context).type, ValueType::Text);
}

TEST(TextFunctions, OtherWordsAreNotTextFunctions) {
    EXPECT_FALSE(isTextFunction(ReservedWord::Open));
    MacroValue result;
    EXPECT_EQ(callTextFunction(ReservedWord::Screen, {}, result, {}), MacroError::UnknownFunction);
}

}  // namespace
}  // namespace cedar
