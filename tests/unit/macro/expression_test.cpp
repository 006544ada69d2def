// Expressions: precedence, unary operators, types, checked arithmetic, text
// limits, stack limits and function calls through the host.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "macro_test_util.h"

namespace cedar {
namespace {

using test::MacroBench;
using test::num;
using test::txt;

struct ValueCase {
    const char* expression;
    MacroValue expected;
};

void expectValues(const std::vector<ValueCase>& cases) {
    for (const ValueCase& c : cases) {
        SCOPED_TRACE(c.expression);
        MacroBench bench;
        const auto out = bench.eval(c.expression);
        EXPECT_EQ(out.error, MacroError::None);
        EXPECT_EQ(out.value, c.expected);
    }
}

TEST(MacroExpression, PrecedenceAndUnaryOperators) {
    expectValues({
        // Unary operators reach to the end of the expression.
        {"-1 + 2", num(-3)},
        {"(-1) + 2", num(1)},
        {"2 * -3 + 10", num(-26)},
        {"-99999999 - 1", num(-99'999'998)},
        {"5 - -3 - 1", num(7)},
        {"-(1 + 2) * 3", num(-9)},
        {"1 + (-2) * 3", num(-5)},
        {"!0", num(-1)},
        {"!0 + 1", num(-2)},
        {"- - 5", num(5)},
        {"+5", num(5)},
        {"1 = -1", num(0)},
        // Binary precedence: * / // above + - above comparisons above & | ^.
        {"1 + 2 * 3", num(7)},
        {"1 * 2 + 3", num(5)},
        {"2 + 3 * 4 - 5", num(9)},
        {"10 - 4 - 3", num(3)},
        {"100 / 10 / 5", num(2)},
        {"2 * 3 // 4", num(2)},
        {"10 - (2 - 3)", num(11)},
        {"2 * (3 + 4)", num(14)},
        {"((((1))))", num(1)},
        {"1 + 1 = 2", num(1)},
        {"2 = 2 = 2", num(0)},
        {"5 > 3 = 1", num(1)},
        {"3 & 5 = 5", num(1)},
        {"6 | 1 & 3", num(7)},
        {"6 ^ 3 | 1", num(5)},
        {"1 - 2 * 3 ^ 4", num(-1)},
        {"12 & 10", num(8)},
        {"12 | 3", num(15)},
        {"12 ^ 10", num(6)},
        // Division truncates toward zero; the remainder has the left operand's sign.
        {"7 / 2", num(3)},
        {"(0 - 7) / 2", num(-3)},
        {"7 // 3", num(1)},
        {"(0 - 7) // 3", num(-1)},
        {"7 // (0 - 3)", num(1)},
        // Comparisons of numbers.
        {"1 < 2", num(1)},
        {"2 <= 2", num(1)},
        {"3 >= 4", num(0)},
        {"3 > 4", num(0)},
        {"1 != 1", num(0)},
        {"4 == 4", num(1)},
        {"99999999", num(99'999'999)},
        {"", MacroValue{}},
    });
}

TEST(MacroExpression, Texts) {
    expectValues({
        {"\"abc\" = \"ABC\"", num(1)},
        {"\"abc\" == \"ABC\"", num(0)},
        {"\"abc\" == \"abc\"", num(1)},
        {"\"B\" > \"a\"", num(1)},
        {"\"a\" < \"ab\"", num(1)},
        {"\"x\" <= \"X\"", num(1)},
        {"\"abc\" != \"ABD\"", num(1)},
        {"\"abc\" >= \"ABD\"", num(0)},
        // Folding is to upper case: "[" (0x5B) sorts after every letter.
        {"\"[\" > \"a\"", num(1)},
        // Only A-Z and a-z fold.
        {"\"\xE9\" = \"\xC9\"", num(0)},
        {"\"\" = \"\"", num(1)},
        {"\"abc\" + \"def\"", txt("abcdef")},
        {"\"a\" + \"b\" = \"AB\"", num(1)},
        {"\"say \"\"hi\"\"\"", txt("say \"hi\"")},
        {"\"\"", txt("")},
    });
}

TEST(MacroExpression, Truth) {
    // Only a number other than 0 is true; a text never is.
    EXPECT_TRUE(num(1).isTrue());
    EXPECT_TRUE(num(-7).isTrue());
    EXPECT_FALSE(num(0).isTrue());
    EXPECT_FALSE(txt("1").isTrue());
    EXPECT_FALSE(txt("TRUE").isTrue());
    EXPECT_FALSE(MacroValue{}.isTrue());
    MacroBench bench;
    EXPECT_TRUE(bench.eval("\"a\" = \"A\"").value.isTrue());
    EXPECT_FALSE(bench.eval("\"a\"").value.isTrue());
}

TEST(MacroExpression, EndsWhereTwoOperandsMeet) {
    struct Case {
        const char* expression;
        MacroValue expected;
        std::size_t rest;  // where the scanner stands afterwards
    };
    const Case cases[] = {
        {"1 THEN", num(1), 2},        {"(1) 2", num(1), 4},        {"TRUE TO 5", num(1), 5},
        {"\"a\" \"b\"", txt("a"), 4}, {"1 + 2 STEP 3", num(3), 6}, {"1;2", num(1), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expression);
        MacroBench bench;
        const auto out = bench.eval(c.expression);
        EXPECT_EQ(out.error, MacroError::None);
        EXPECT_EQ(out.value, c.expected);
        EXPECT_EQ(out.endPosition, c.rest);
    }
}

TEST(MacroExpression, Errors) {
    struct Case {
        const char* expression;
        MacroError error;
    };
    const Case cases[] = {
        {"99999999 + 1", MacroError::NumericOverflow},
        {"0 - 99999999 - 1", MacroError::NumericOverflow},
        {"99999999 * 2", MacroError::NumericOverflow},
        {"1 / 0", MacroError::NumericOverflow},
        {"1 // 0", MacroError::NumericOverflow},
        {"5 / (3 - 3)", MacroError::NumericOverflow},
        {"\"a\" + 1", MacroError::IncompatibleTypes},
        {"1 + \"a\"", MacroError::IncompatibleTypes},
        {"1 = \"1\"", MacroError::IncompatibleTypes},
        {"* 2", MacroError::IncompatibleTypes},
        {"1 +", MacroError::IncompatibleTypes},
        {"\"a\" - \"b\"", MacroError::InvalidForText},
        {"\"a\" * \"b\"", MacroError::InvalidForText},
        {"\"a\" / \"b\"", MacroError::InvalidForText},
        {"\"a\" // \"b\"", MacroError::InvalidForText},
        {"\"a\" & \"b\"", MacroError::InvalidForText},
        {"\"a\" | \"b\"", MacroError::InvalidForText},
        {"\"a\" ^ \"b\"", MacroError::InvalidForText},
        {"1 =-1", MacroError::UnknownOperator},
        {"1 <> 2", MacroError::UnknownOperator},
        {"1 === 1", MacroError::UnknownOperator},
        {"1 ! 2", MacroError::UnknownOperator},
        {"\"abc", MacroError::UnknownOperator},
        {"\"a\tb\"", MacroError::UnknownOperator},
        {"(1", MacroError::UnbalancedParenthesis},
        {"((1)", MacroError::UnbalancedParenthesis},
        {"1)", MacroError::UnbalancedParenthesis},
        {"1, 2", MacroError::UnbalancedParenthesis},
        {"(1, 2)", MacroError::UnbalancedParenthesis},
        {"-", MacroError::WrongParmCount},
        {"-\"a\"", MacroError::WrongParmType},
        {"!\"a\"", MacroError::WrongParmType},
        {"LEN 1", MacroError::LeftParenthesisExpected},
        {"LEN", MacroError::LeftParenthesisExpected},
        {"nosuch", MacroError::VariableNotFound},
        {"1 + nosuch", MacroError::VariableNotFound},
        {"3 (4)", MacroError::OperandWhereOperationExpected},
        {"TRUE(1)", MacroError::OperandWhereOperationExpected},
        {"123456789", MacroError::NumberTooLong},
        {"1 + 123456789", MacroError::NumberTooLong},
        {"LEN()", MacroError::WrongParmCount},
        {"LEN(\"a\", 1)", MacroError::WrongParmCount},
        {"LEN(1)", MacroError::WrongParmType},
        {"MID(\"a\", 1)", MacroError::WrongParmCount},
        {"MID(\"a\",,1)", MacroError::WrongParmCount},
        {"MID(\"a\", 1,)", MacroError::WrongParmCount},
        {"MID(, 1, 1)", MacroError::WrongParmCount},
        {"DROP(1)", MacroError::WrongParmCount},
        {"IF(1)", MacroError::WrongParmCount},
        {"KEY(\"x\", 1, 2, 3)", MacroError::WrongParmCount},
        {"MESSAGEBOX(\"a\", 1, 2, 3, 4)", MacroError::WrongParmCount},
        {"OPEN(\"a\", \"INPUT\", \"x\")", MacroError::WrongParmType},
        {"EXIT(\"a\")", MacroError::WrongParmType},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expression);
        MacroBench bench;
        EXPECT_EQ(bench.eval(c.expression).error, c.error);
    }
}

TEST(MacroExpression, ErrorColumnIsTheOffendingToken) {
    struct Case {
        const char* expression;
        std::size_t column;
    };
    const Case cases[] = {
        {"1 + 2 =-1", 7},
        {"1 + nosuch", 5},
        {"LEN 1", 5},
        {"2 + 123456789", 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expression);
        MacroBench bench;
        const auto out = bench.eval(c.expression);
        EXPECT_NE(out.error, MacroError::None);
        EXPECT_EQ(out.errorColumn, c.column);
    }
}

// Numbers are computed in 64 bits and checked; nothing overflows silently.
TEST(MacroExpression, CheckedArithmeticOnFunctionResults) {
    constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    struct Case {
        std::int32_t hexdec;  // what HEXDEC returns
        const char* expression;
        MacroError error;
        MacroValue expected;
    };
    const Case cases[] = {
        {kMin, "HEXDEC(\"80000000\") / -1", MacroError::NumericOverflow, {}},
        {kMin, "HEXDEC(\"80000000\") / (0 - 1)", MacroError::NumericOverflow, {}},
        {kMin, "HEXDEC(\"80000000\") * -1", MacroError::NumericOverflow, {}},
        {kMin, "HEXDEC(\"80000000\") - 1", MacroError::NumericOverflow, {}},
        {kMin, "HEXDEC(\"80000000\") // 0", MacroError::NumericOverflow, {}},
        {kMin, "HEXDEC(\"80000000\") / 0", MacroError::NumericOverflow, {}},
        {kMin, "-HEXDEC(\"80000000\")", MacroError::NumericOverflow, {}},
        {kMax, "HEXDEC(\"7FFFFFFF\") + HEXDEC(\"7FFFFFFF\")", MacroError::NumericOverflow, {}},
        {kMax, "HEXDEC(\"7FFFFFFF\") * HEXDEC(\"7FFFFFFF\")", MacroError::NumericOverflow, {}},
        // In range results are fine even from out-of-range operands.
        {kMin, "HEXDEC(\"80000000\") // -1", MacroError::None, num(0)},
        {kMin, "HEXDEC(\"80000000\") / HEXDEC(\"80000000\")", MacroError::None, num(1)},
        {kMin, "HEXDEC(\"80000000\") = HEXDEC(\"80000000\")", MacroError::None, num(1)},
        {kMin, "HEXDEC(\"80000000\") < 0", MacroError::None, num(1)},
        // Function results and unary operators are not range-checked on their own.
        {kMin, "HEXDEC(\"80000000\")", MacroError::None, num(kMin)},
        {kMin, "!HEXDEC(\"80000000\")", MacroError::None, num(kMax)},
        {kMax, "-HEXDEC(\"7FFFFFFF\")", MacroError::None, num(-kMax)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expression);
        MacroBench bench;
        bench.host.results[ReservedWord::HexDec] = num(c.hexdec);
        const auto out = bench.eval(c.expression);
        EXPECT_EQ(out.error, c.error);
        if (c.error == MacroError::None) {
            EXPECT_EQ(out.value, c.expected);
        }
    }
}

TEST(MacroExpression, TextsStayWithin255Bytes) {
    const std::string s200(200, 'a');
    const std::string s55(55, 'b');
    const std::string s56(56, 'b');
    const std::string s255(255, 'c');
    struct Case {
        std::string expression;
        MacroError error;
        std::size_t length;
    };
    const Case cases[] = {
        {"\"" + s255 + "\"", MacroError::None, 255},
        {"\"" + s255 + "c\"", MacroError::TextTooLong, 0},
        {"\"" + std::string(510, '"') + "\"", MacroError::None, 255},
        {"\"" + s200 + "\" + \"" + s55 + "\"", MacroError::None, 255},
        {"\"" + s200 + "\" + \"" + s56 + "\"", MacroError::TextTooLong, 0},
        {"UPPERCASE(\"x\") + \"\"", MacroError::None, 255},
        {"UPPERCASE(\"x\") + \"d\"", MacroError::TextTooLong, 0},
        {"\"" + std::string(5000, 'z') + "\"", MacroError::TextTooLong, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expression.substr(0, 40));
        MacroBench bench;
        bench.host.results[ReservedWord::UpperCase] = txt(s255);
        const auto out = bench.eval(c.expression);
        EXPECT_EQ(out.error, c.error);
        if (c.error == MacroError::None) {
            EXPECT_EQ(out.value.text.size(), c.length);
        }
    }
}

std::string repeat(std::string_view part, int n) {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += part;
    return s;
}

TEST(MacroExpression, DeepExpressionsAreBounded) {
    constexpr int kSlots = ExpressionEvaluator::kStackSlots;
    constexpr int kDepth = ExpressionEvaluator::kMaxDepth;
    struct Case {
        std::string expression;
        MacroError error;
        MacroValue expected;
    };
    const Case cases[] = {
        {repeat("(", kDepth) + "7" + repeat(")", kDepth), MacroError::None, num(7)},
        {repeat("(", kDepth + 1) + "7" + repeat(")", kDepth + 1), MacroError::ScanAreaOverflow, {}},
        {repeat("(", 20000), MacroError::ScanAreaOverflow, {}},
        // Each unary operator holds a slot until the end.
        {repeat("- ", kSlots - 2) + "4", MacroError::None, num(4)},
        {repeat("- ", kSlots - 1) + "4", MacroError::None, num(-4)},
        {repeat("- ", kSlots) + "4", MacroError::ScanAreaOverflow, {}},
        {repeat("! ", 20000) + "4", MacroError::ScanAreaOverflow, {}},
        // Left-associative chains reuse slots.
        {"1" + repeat(" + 1", 5000), MacroError::None, num(5001)},
        // Right-nested groups take a slot per level.
        {repeat("1 + (", 60) + "1" + repeat(")", 60), MacroError::None, num(61)},
        {repeat("1 * 2 + ", 20) + "1", MacroError::None, num(41)},
        {repeat("LEN(STR(", 40) + "1" + repeat("))", 40), MacroError::None, num(1)},
        {repeat("LEN(STR(", 60) + "1" + repeat("))", 60), MacroError::ScanAreaOverflow, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expression.substr(0, 40));
        MacroBench bench;
        bench.host.results[ReservedWord::Str] = txt("1");
        bench.host.results[ReservedWord::Len] = num(1);
        const auto out = bench.eval(c.expression);
        EXPECT_EQ(out.error, c.error);
        if (c.error == MacroError::None) {
            EXPECT_EQ(out.value, c.expected);
        }
    }
}

TEST(MacroExpression, FunctionsReceiveCheckedArguments) {
    struct Case {
        const char* expression;
        ReservedWord word;
        std::vector<MacroValue> args;
    };
    const Case cases[] = {
        {"MID(\"abc\", 2, 1)", ReservedWord::Mid, {txt("abc"), num(2), num(1)}},
        // A unary operator reaches to the end of its argument only.
        {"MID(\"abc\", -1 + 2, 1)", ReservedWord::Mid, {txt("abc"), num(-3), num(1)}},
        {"mid (\"a\" + \"b\", (2), 3 * 4)", ReservedWord::Mid, {txt("ab"), num(2), num(12)}},
        {"KEY(\"PF3\")", ReservedWord::Key, {txt("PF3")}},
        {"KEY(\"x\", 1, \"y\")", ReservedWord::Key, {txt("x"), num(1), txt("y")}},
        {"EXIT()", ReservedWord::Exit, {}},
        {"DROP()", ReservedWord::Drop, {}},
        {"WAIT(5, STATUS = \"UNLOCKED\")", ReservedWord::Wait, {num(5), num(0)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expression);
        MacroBench bench;
        const auto out = bench.eval(c.expression);
        ASSERT_EQ(out.error, MacroError::None);
        ASSERT_EQ(bench.host.calls.size(), 1u);
        EXPECT_EQ(bench.host.calls[0].word, c.word);
        EXPECT_EQ(bench.host.calls[0].args, c.args);
        EXPECT_FALSE(out.value.hasValue());  // the recording host gives no result
    }
}

TEST(MacroExpression, FunctionResultsAndErrorsComeFromTheHost) {
    MacroBench bench;
    bench.host.results[ReservedWord::Mid] = txt("b");
    bench.host.results[ReservedWord::Len] = num(3);
    bench.host.errors[ReservedWord::Open] = MacroError::FileOpenError;

    EXPECT_EQ(bench.eval("MID(\"abc\", 2, 1) + \"!\"").value, txt("b!"));
    EXPECT_EQ(bench.eval("LEN(\"abc\") * 2").value, num(6));
    EXPECT_EQ(bench.eval("OPEN(\"f\", \"INPUT\")").error, MacroError::FileOpenError);
    // Arguments are evaluated inside out, in order.
    bench.host.calls.clear();
    EXPECT_EQ(bench.eval("LEN(MID(\"a\", 1, 1)) + LEN(\"b\")").value, num(6));
    ASSERT_EQ(bench.host.calls.size(), 3u);
    EXPECT_EQ(bench.host.calls[0].word, ReservedWord::Mid);
    EXPECT_EQ(bench.host.calls[1].args, std::vector<MacroValue>{txt("b")});
    EXPECT_EQ(bench.host.calls[2].args, std::vector<MacroValue>{txt("b")});
}

TEST(MacroExpression, SystemVariablesAreReadThroughTheHost) {
    MacroBench bench;
    bench.host.systemValues[SystemVariable::Status] = txt("UNLOCKED");
    bench.host.systemValues[SystemVariable::ScreenWidth] = num(80);

    EXPECT_EQ(bench.eval("STATUS = \"unlocked\"").value, num(1));
    EXPECT_EQ(bench.eval("SCREENWIDTH * 24").value, num(1920));
    // A value the host does not give is 0 or empty, by the variable's type.
    EXPECT_EQ(bench.eval("SCREENHEIGHT").value, num(0));
    EXPECT_EQ(bench.eval("HOSTNAME").value, txt(""));
    // Every read asks again.
    bench.host.systemValues[SystemVariable::Status] = txt("LOCKED");
    EXPECT_EQ(bench.eval("STATUS").value, txt("LOCKED"));
    EXPECT_EQ(bench.host.reads,
              (std::vector<SystemVariable>{SystemVariable::Status, SystemVariable::ScreenWidth,
                                           SystemVariable::ScreenHeight, SystemVariable::HostName,
                                           SystemVariable::Status}));
}

TEST(MacroExpression, CaseValueLists) {
    struct Case {
        const char* list;
        MacroError error;
        std::vector<MacroValue> values;
    };
    const Case cases[] = {
        {"1, 2 + 3, \"a\"", MacroError::None, {num(1), num(5), txt("a")}},
        {"-1, 2", MacroError::None, {num(-1), num(2)}},
        {"7", MacroError::None, {num(7)}},
        {"", MacroError::None, {}},
        {"1,", MacroError::UnbalancedParenthesis, {}},
        {",1", MacroError::UnbalancedParenthesis, {}},
        {"1,,2", MacroError::UnbalancedParenthesis, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list);
        MacroBench bench;
        const std::string text = normaliseMacroText(c.list);
        Scanner scanner(text);
        std::vector<MacroValue> values;
        EXPECT_EQ(bench.evaluator.evaluateList(scanner, values), c.error);
        if (c.error == MacroError::None) {
            EXPECT_EQ(values, c.values);
        }
    }
}

}  // namespace
}  // namespace cedar
