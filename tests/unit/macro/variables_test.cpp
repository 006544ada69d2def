// The variable table and the assignment statement.
#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "macro_test_util.h"

namespace cedar {
namespace {

using test::MacroBench;
using test::num;
using test::txt;

TEST(MacroVariables, PredefinedEntriesInOrder) {
    VariableTable table;
    ASSERT_EQ(table.size(), VariableTable::kPredefined);
    ASSERT_EQ(predefinedVariables().size(), 50u);
    struct Row {
        int index;
        const char* name;
        bool system;
        bool writable;
        MacroValue value;
    };
    const Row rows[] = {
        {0, "TRUE", false, false, num(1)},         {1, "FALSE", false, false, num(0)},
        {2, "TRACEMESSAGE", false, false, num(1)}, {3, "FONTSIZE", true, false, txt("")},
        {13, "STATUS", true, false, txt("")},      {14, "CURSORCOL", true, true, num(0)},
        {15, "CURSORROW", true, true, num(0)},     {16, "CURSORPOS", true, true, txt("")},
        {17, "VERSION", true, false, txt("")},     {48, "TERMMODE", true, false, num(0)},
        {49, "MACRONAME", true, false, txt("")},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const MacroVariable& v = table.at(r.index);
        EXPECT_EQ(v.name, r.name);
        EXPECT_EQ(v.isSystem(), r.system);
        EXPECT_EQ(v.isWritable(), r.writable);
        EXPECT_EQ(v.value, r.value);
        EXPECT_EQ(table.find(r.name), &v);
        if (r.system) {
            EXPECT_EQ(static_cast<int>(v.systemId), r.index + 1);
        }
    }
    int system = 0;
    int writable = 0;
    for (int i = 0; i < table.size(); ++i) {
        system += table.at(i).isSystem() ? 1 : 0;
        writable += table.at(i).isWritable() ? 1 : 0;
    }
    EXPECT_EQ(system, 47);
    EXPECT_EQ(writable, 3);
}

TEST(MacroVariables, Assignments) {
    struct Case {
        std::vector<const char*> statements;
        const char* name;
        MacroValue expected;
    };
    const Case cases[] = {
        {{"x = 5"}, "X", num(5)},
        {{"x = 5", "x = \"a\""}, "X", txt("a")},
        {{"x = \"a\"", "x = 1"}, "X", num(1)},
        // A new variable has no value: "+" and "-" after it are unary.
        {{"x = x + 1"}, "X", num(1)},
        {{"x = x - 1"}, "X", num(-1)},
        {{"x = 2", "x = x + 1"}, "X", num(3)},
        {{"x = -1 + 2"}, "X", num(-3)},
        // The "=" of an assignment is read on its own.
        {{"x =-1"}, "X", num(-1)},
        {{"TRUE = 0"}, "TRUE", num(0)},
        {{"TRACEMESSAGE = \"off\""}, "TRACEMESSAGE", txt("off")},
        {{"x = 99999999"}, "X", num(99'999'999)},
        {{"abcdefghijklmnop = 1"}, "ABCDEFGHIJKLMNOP", num(1)},
        {{"MixedCase = 3", "y = mixedcase * 2"}, "Y", num(6)},
        {{"x = \"a\" = \"A\""}, "X", num(1)},
        {{"_#%@x9 = 4"}, "_#%@X9", num(4)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.statements.back());
        MacroBench bench;
        for (const char* s : c.statements)
            ASSERT_EQ(bench.run(s).error, MacroError::None) << s;
        EXPECT_EQ(bench.valueOf(c.name), c.expected);
    }
}

TEST(MacroVariables, AssignmentErrors) {
    struct Case {
        const char* statement;
        MacroError error;
        const char* created;  // a name left defined without a value, or nullptr
    };
    const Case cases[] = {
        {"STATUS = 1", MacroError::ReadOnlySystemVariable, nullptr},
        {"MACRONAME = \"x\"", MacroError::ReadOnlySystemVariable, nullptr},
        {"LEN = 1", MacroError::ReservedWordAsVariable, nullptr},
        {"drop = 1", MacroError::ReservedWordAsVariable, nullptr},
        {"abcdefghijklmnopq = 1", MacroError::VariableNameTooLong, nullptr},
        {"abcdefghijklmnopqrstuvwxyzabcd = 1", MacroError::VariableNameTooLong, nullptr},
        {"abcdefghijklmnopqrstuvwxyzabcde = 1", MacroError::NameTooLong, nullptr},
        {"x = HEXDEC(\"80000000\")", MacroError::NumericOverflow, "X"},
        {"x = 1 / 0", MacroError::NumericOverflow, "X"},
        {"x = y", MacroError::VariableNotFound, "X"},
        {"x = \"a\" + 1", MacroError::IncompatibleTypes, "X"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.statement);
        MacroBench bench;
        bench.host.results[ReservedWord::HexDec] = num(std::numeric_limits<std::int32_t>::min());
        EXPECT_EQ(bench.run(c.statement).error, c.error);
        if (c.created) {
            const MacroVariable* v = bench.variables.find(c.created);
            ASSERT_NE(v, nullptr);
            EXPECT_EQ(v->type(), ValueType::None);
        }
        EXPECT_EQ(bench.variables.size(), VariableTable::kPredefined + (c.created ? 1 : 0));
    }
}

TEST(MacroVariables, ValuelessAndUnknownNames) {
    MacroBench bench;
    EXPECT_EQ(bench.eval("z").error, MacroError::VariableNotFound);
    ASSERT_EQ(bench.run("y = 1 / 0").error, MacroError::NumericOverflow);
    // y now exists without a value: reading it gives no value, no error.
    const auto y = bench.eval("y");
    EXPECT_EQ(y.error, MacroError::None);
    EXPECT_FALSE(y.value.hasValue());
    EXPECT_EQ(bench.eval("y + 1").value, num(1));
    EXPECT_EQ(bench.eval("y * 1").error, MacroError::IncompatibleTypes);
    // A failed assignment leaves an assigned variable as it was.
    ASSERT_EQ(bench.run("y = 5").error, MacroError::None);
    ASSERT_EQ(bench.run("y = 99999999 + 1").error, MacroError::NumericOverflow);
    EXPECT_EQ(bench.valueOf("Y"), num(5));
}

TEST(MacroVariables, TableHoldsAtMost3744) {
    VariableTable table;
    MacroVariable* v = nullptr;
    for (int i = table.size(); i < VariableTable::kCapacity; ++i)
        ASSERT_EQ(table.create("V" + std::to_string(i), v), MacroError::None) << i;
    EXPECT_EQ(table.size(), 3744);
    EXPECT_EQ(table.blocks(), 16);
    EXPECT_EQ(table.create("ONEMORE", v), MacroError::VariableTableOverflow);
    EXPECT_EQ(v, nullptr);
    // Existing names are still found, and creating one again is no new entry.
    EXPECT_EQ(table.create("V3000", v), MacroError::None);
    EXPECT_EQ(v, table.find("V3000"));
    EXPECT_EQ(table.indexOf(*v), 3000);
    EXPECT_EQ(table.find("TRUE"), &table.at(0));

    // An assignment to a new name then fails, and an existing one still works.
    RecordingMacroHost host;
    ExpressionEvaluator evaluator(table, host);
    EXPECT_EQ(test::runStatement(evaluator, "newname = 1").error,
              MacroError::VariableTableOverflow);
    EXPECT_EQ(test::runStatement(evaluator, "v100 = 7").error, MacroError::None);
    EXPECT_EQ(test::valueOf(table, "V100"), num(7));

    table.reset();
    EXPECT_EQ(table.size(), VariableTable::kPredefined);
    EXPECT_EQ(table.blocks(), 1);
    EXPECT_EQ(table.find("V100"), nullptr);
}

TEST(MacroVariables, ResetRestoresThePredefinedValues) {
    MacroBench bench;
    ASSERT_EQ(bench.run("TRUE = 0").error, MacroError::None);
    ASSERT_EQ(bench.run("mine = 1").error, MacroError::None);
    bench.variables.reset();
    EXPECT_EQ(bench.valueOf("TRUE"), num(1));
    EXPECT_EQ(bench.variables.find("MINE"), nullptr);
}

TEST(MacroVariables, OutliveTheMacroThatSetThem) {
    VariableTable session;
    NullMacroHost host;
    {
        ExpressionEvaluator first(session, host);
        ASSERT_EQ(test::runStatement(first, "handoff = \"from the first\"").error,
                  MacroError::None);
    }
    ExpressionEvaluator second(session, host);
    EXPECT_EQ(test::evaluateText(second, "handoff").value, txt("from the first"));
}

TEST(MacroVariables, CursorVariablesMoveTheCursor) {
    using Move = RecordingMacroHost::CursorMove;
    struct Case {
        const char* statement;
        MacroError error;
        std::optional<Move> move;
    };
    const Case cases[] = {
        {"CURSORROW = 5", MacroError::None, Move{4, std::nullopt}},
        {"CURSORCOL = 10", MacroError::None, Move{std::nullopt, 9}},
        {"CURSORPOS = \"3,7\"", MacroError::None, Move{2, 6}},
        {"CURSORPOS = \" 3, 7\"", MacroError::None, Move{2, 6}},
        {"CURSORPOS = \"-2,+5\"", MacroError::None, Move{-3, 4}},
        {"CURSORPOS = \"12x,4y\"", MacroError::None, Move{11, 3}},
        {"CURSORPOS = \"99999999999999,1\"", MacroError::None, Move{999'999'999, 0}},
        {"CURSORPOS = \"37\"", MacroError::None, std::nullopt},
        {"CURSORPOS = 5", MacroError::None, std::nullopt},
        // A text has the number 0: the column before the first.
        {"CURSORROW = \"a\"", MacroError::None, Move{-1, std::nullopt}},
        {"CURSORROW = 99999999 + 1", MacroError::NumericOverflow, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.statement);
        MacroBench bench;
        EXPECT_EQ(bench.run(c.statement).error, c.error);
        if (c.move) {
            ASSERT_EQ(bench.host.cursorMoves.size(), 1u);
            EXPECT_EQ(bench.host.cursorMoves[0].row, c.move->row);
            EXPECT_EQ(bench.host.cursorMoves[0].column, c.move->column);
        } else {
            EXPECT_TRUE(bench.host.cursorMoves.empty());
        }
    }
}

// A function may rebuild the table while an assignment evaluates.
class DroppingHost : public RecordingMacroHost {
  public:
    explicit DroppingHost(VariableTable& table) : table_(table) {}
    MacroError callFunction(ReservedWord word, std::span<const MacroValue> args,
                            MacroValue& result) override {
        if (word == ReservedWord::Drop) table_.reset();
        return RecordingMacroHost::callFunction(word, args, result);
    }

  private:
    VariableTable& table_;
};

TEST(MacroVariables, DropDuringAnAssignment) {
    VariableTable table;
    DroppingHost host(table);
    ExpressionEvaluator evaluator(table, host);
    for (int i = 0; i < 500; ++i)  // spill into more blocks
        ASSERT_EQ(test::runStatement(evaluator, "v" + std::to_string(i) + " = 1").error,
                  MacroError::None);
    ASSERT_EQ(test::runStatement(evaluator, "v499 = DROP() + 2").error, MacroError::None);
    EXPECT_EQ(test::valueOf(table, "V499"), num(2));
    EXPECT_EQ(table.find("V1"), nullptr);
    EXPECT_EQ(table.size(), VariableTable::kPredefined + 1);
}

}  // namespace
}  // namespace cedar
