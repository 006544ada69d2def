// The pre-scan: block links, labels and their errors, and the table's limits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "macro/macro_source.h"
#include "macro/scan_table.h"
#include "macro_test_util.h"

namespace cedar {
namespace {

struct Scanned {
    MacroError error = MacroError::None;
    MacroChain chain;
    MacroContext& context() { return *chain.current(); }
    ScanTable& table() { return chain.current()->scanTable; }
};

Scanned preScanText(std::string_view text) {
    Scanned s;
    s.error = loadMacroText(s.chain, text, {}, "test.mac").error;
    return s;
}

std::string lines(const std::vector<std::string>& ls) {
    std::string out;
    for (std::size_t i = 0; i < ls.size(); ++i)
        out += (i ? "\r\n" : "") + ls[i];
    return out;
}

struct Link {
    int statement;
    ScanKind kind;
    int depth;
    int partner;
    int end;
};

void expectTable(ScanTable& table, const std::vector<Link>& links) {
    ASSERT_EQ(table.size(), static_cast<int>(links.size()));
    for (std::size_t i = 0; i < links.size(); ++i) {
        SCOPED_TRACE("entry " + std::to_string(i + 1));
        const ScanEntry& e = table[static_cast<int>(i) + 1];
        EXPECT_EQ(e.statementNumber, links[i].statement);
        EXPECT_EQ(e.kind, links[i].kind);
        EXPECT_EQ(e.depth, links[i].depth);
        EXPECT_EQ(e.partner, links[i].partner);
        EXPECT_EQ(e.end, links[i].end);
    }
    EXPECT_EQ(table.entry(table.size() + 1), nullptr);
    EXPECT_EQ(table.entry(0), nullptr);
}

TEST(MacroPreScan, LinksBlocks) {
    auto s = preScanText(lines({
        "x = 1",           // 1
        "IF x = 1",        // 2  e1
        "  WHILE x < 5",   // 3  e2
        "    x = x + 1",   // 4
        "    IF x = 3",    // 5  e3
        "      CONTINUE",  // 6  e4
        "    ELSE",        // 7  e5
        "      BREAK",     // 8  e6
        "    ENDIF",       // 9  e7
        "  ENDWHILE",      // 10 e8
        "ENDIF",           // 11 e9
        "SELECT x",        // 12 e10
        "CASE 1, 2",       // 13 e11
        "  BREAK",         // 14 e12
        "DEFAULT",         // 15 e13
        "ENDSELECT",       // 16 e14
        "select x",        // 17 e15
        "case 3",          // 18 e16
        "endselect",       // 19 e17
        "FOR i = 1 TO 3",  // 20 e18
        "  CONTINUE",      // 21 e19
        "NEXT i",          // 22 e20
    }));
    ASSERT_EQ(s.error, MacroError::None);
    using K = ScanKind;
    // clang-format off
    expectTable(s.table(), {
        {2, K::If, 1, 0, 9},
        {3, K::While, 2, 0, 8},
        {5, K::If, 3, 5, 7},
        {6, K::Continue, 3, 2, 0},
        {7, K::Else, 3, 0, 7},
        {8, K::Break, 3, 2, 0},
        {9, K::EndIf, 3, 0, 0},
        {10, K::EndWhile, 2, 2, 0},
        {11, K::EndIf, 1, 0, 0},
        {12, K::Select, 1, 0, 14},
        {13, K::Case, 1, 10, 14},
        {14, K::Break, 1, 10, 0},
        {15, K::Default, 1, 10, 14},
        {16, K::EndSelect, 1, 0, 0},
        {17, K::Select, 1, 0, 17},
        {18, K::Case, 1, 15, 17},
        {19, K::EndSelect, 1, 0, 0},
        {20, K::For, 1, 0, 20},
        {21, K::Continue, 1, 18, 0},
        {22, K::Next, 1, 18, 0},
    });
    // clang-format on
    // Entry texts point at the statements.
    EXPECT_EQ(s.context().text.substr(s.table()[2].text, 5), "WHILE");
    EXPECT_EQ(s.context().statementStart, 0u);
    EXPECT_EQ(s.context().statementNumber, 1);
}

TEST(MacroPreScan, LinksLabelsAndSubroutines) {
    auto s = preScanText(lines({
        "GOTO skip",          // 1 e1
        "CALL sub",           // 2 e2
        "skip: TYPE(\"x\")",  // 3 e3
        "EXIT",               // 4
        "sub: SUBROUTINE",    // 5 e4
        "RETURN",             // 6 e5
        "Other: subroutine",  // 7 e6
        "  CALL SUB",         // 8 e7
        "  RETURN",           // 9 e8
        "GOTO nowhere",       // 10 e9
    }));
    ASSERT_EQ(s.error, MacroError::None);
    using K = ScanKind;
    // clang-format off
    expectTable(s.table(), {
        {1, K::Goto, 0, 0, 3},
        {2, K::Call, 0, 0, 4},
        {3, K::Label, 0, 0, 0},
        {5, K::Subroutine, 0, 0, 0},
        {6, K::Return, 0, 0, 4},
        {7, K::Subroutine, 0, 0, 0},
        {8, K::Call, 0, 0, 4},
        {9, K::Return, 0, 0, 6},
        {10, K::Goto, 0, 0, 0},
    });
    // clang-format on
    // A GOTO lands on the label's line, which carries the TYPE statement.
    const ScanEntry& label = s.table()[s.table()[1].end];
    EXPECT_EQ(s.context().text.substr(label.text, 15), "skip: TYPE(\"x\")");
}

TEST(MacroPreScan, StatementBehindALabelSharesItsNumber) {
    auto s = preScanText("a: IF 1\r\nb: c: ENDIF\r\nGOTO c");
    ASSERT_EQ(s.error, MacroError::None);
    using K = ScanKind;
    // clang-format off
    expectTable(s.table(), {
        {1, K::Label, 0, 0, 0},
        {1, K::If, 1, 0, 5},
        {2, K::Label, 1, 0, 0},
        {2, K::Label, 1, 0, 0},
        {2, K::EndIf, 1, 0, 0},
        {3, K::Goto, 0, 0, 4},
    });
    // clang-format on
    EXPECT_EQ(s.table().findEntry(1), 1);
    EXPECT_EQ(s.table().findEntry(1, ScanKind::If), 2);
    EXPECT_EQ(s.table().findEntry(2, ScanKind::EndIf), 5);
    EXPECT_EQ(s.table().findEntry(3), 6);
    EXPECT_EQ(s.table().findEntry(4), 0);
    EXPECT_EQ(s.context().text.substr(s.table()[2].text, 4), "IF 1");
}

TEST(MacroPreScan, CountsStatementsAsTheInterpreterDoes) {
    struct Case {
        const char* text;
        std::vector<int> numbers;  // statement numbers of the entries
    };
    const Case cases[] = {
        {"a=1;b=2\r\n\r\n* c\r\nIF 1\r\nENDIF", {5, 6}},
        // A ";" ends a comment; what follows on the line is a statement.
        {"* note; IF 1\r\nENDIF", {2, 3}},
        {"* note \"; IF 1\"\r\nIF 1;ENDIF", {2, 3}},
        {"IF 1 ; ; ENDIF", {1, 3}},
        {"  \t IF 1\r\n\tENDIF  ", {1, 2}},
        {"IF 1\nENDIF\n", {1, 2}},
        {"IF 1\rENDIF", {1, 2}},
        {"IF 1\x1A\r\nENDIF", {1}},
        // Words that only start like keywords are no keywords.
        {"IFX = 1\r\nENDIFS = 2\r\nIF(1)", {3}},
        {"\"IF\"\r\n5 IF", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        auto s = preScanText(c.text);
        EXPECT_EQ(s.error, MacroError::None);
        std::vector<int> numbers;
        for (int i = 1; i <= s.table().size(); ++i)
            numbers.push_back(s.table()[i].statementNumber);
        EXPECT_EQ(numbers, c.numbers);
    }
}

TEST(MacroPreScan, LabelsMatchWithoutCaseAndTheFirstWins) {
    auto s = preScanText("Here:\r\nhere:\r\nGOTO HERE");
    ASSERT_EQ(s.error, MacroError::None);
    EXPECT_EQ(s.table()[3].end, 1);
}

TEST(MacroPreScan, Errors) {
    struct Case {
        std::string text;
        MacroError error;
        int line;
        const char* statement;
    };
    const Case cases[] = {
        {"ELSE", MacroError::ElseWithoutIf, 1, "ELSE"},
        {"x = 1; ELSE", MacroError::ElseWithoutIf, 1, "ELSE"},
        {"IF 1\r\nENDIF\r\nELSE", MacroError::ElseWithoutIf, 3, "ELSE"},
        {"x=1\r\n  ENDIF", MacroError::EndIfWithoutIf, 2, "ENDIF"},
        {"IF 1\r\nWHILE 1\r\nENDIF", MacroError::EndIfWithoutIf, 3, "ENDIF"},
        {"ENDWHILE", MacroError::EndWhileWithoutWhile, 1, "ENDWHILE"},
        {"WHILE 1\r\nIF 1\r\nENDWHILE", MacroError::EndWhileWithoutWhile, 3, "ENDWHILE"},
        {"FOR i = 1 TO 2\r\nENDWHILE", MacroError::EndWhileWithoutWhile, 2, "ENDWHILE"},
        {"CASE 1", MacroError::CaseWithoutSelect, 1, "CASE 1"},
        {"SELECT 1\r\nENDSELECT\r\nCASE 1", MacroError::CaseWithoutSelect, 3, "CASE 1"},
        {"DEFAULT", MacroError::DefaultWithoutSelect, 1, "DEFAULT"},
        {"ENDSELECT", MacroError::EndSelectWithoutSelect, 1, "ENDSELECT"},
        {"NEXT i", MacroError::NextWithoutFor, 1, "NEXT i"},
        {"BREAK", MacroError::BreakOutsideLoop, 1, "BREAK"},
        {"WHILE 1\r\nENDWHILE\r\nBREAK", MacroError::BreakOutsideLoop, 3, "BREAK"},
        {"IF 1\r\n  BREAK\r\nENDIF", MacroError::BreakOutsideLoop, 2, "BREAK"},
        {"CONTINUE", MacroError::ContinueOutsideLoop, 1, "CONTINUE"},
        {"SELECT x\r\nCONTINUE\r\nENDSELECT", MacroError::ContinueOutsideLoop, 2, "CONTINUE"},
        {"RETURN", MacroError::ReturnOutsideSubroutine, 1, "RETURN"},
        {"GOTO 5", MacroError::GotoNeedsLabel, 1, "GOTO 5"},
        {"GOTO", MacroError::GotoNeedsLabel, 1, "GOTO"},
        {"CALL \"x\"", MacroError::GotoNeedsLabel, 1, "CALL \"x\""},
        {"GOTO " + std::string(31, 'l'), MacroError::NameTooLong, 1, nullptr},
        {"s: SUBROUTINE\r\nGOTO s", MacroError::GotoNeedsPlainLabel, 2, "GOTO s"},
        {"l:\r\n\r\nCALL l", MacroError::CallNeedsSubroutine, 3, "CALL l"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        auto s = preScanText(c.text);
        EXPECT_EQ(s.error, c.error);
        const MacroErrorLocation where = locateMacroError(s.context());
        EXPECT_EQ(where.line, c.line);
        if (c.statement) {
            EXPECT_EQ(where.statement, c.statement);
        }
    }
}

TEST(MacroPreScan, UnclosedBlocksAreLeftToTheInterpreter) {
    for (const char* text : {"IF 1", "WHILE 1", "FOR i = 1 TO 2", "SELECT 1", "GOTO nowhere",
                             "CALL nowhere", "IF 1\r\nELSE"}) {
        SCOPED_TRACE(text);
        auto s = preScanText(text);
        EXPECT_EQ(s.error, MacroError::None);
        ASSERT_GE(s.table().size(), 1);
        EXPECT_EQ(s.table()[1].end, 0);
    }
}

TEST(MacroPreScan, DeepNestingKeepsItsDepth) {
    constexpr int kDepth = 300;
    std::vector<std::string> ls{"WHILE 1"};
    for (int i = 0; i < kDepth; ++i)
        ls.push_back("IF 1");
    ls.push_back("BREAK");
    for (int i = 0; i < kDepth; ++i)
        ls.push_back("ENDIF");
    ls.push_back("ENDWHILE");
    auto s = preScanText(lines(ls));
    ASSERT_EQ(s.error, MacroError::None);
    ScanTable& t = s.table();
    const int innermost = kDepth + 1;
    EXPECT_EQ(t[innermost].depth, kDepth + 1);
    EXPECT_EQ(t[innermost].end, innermost + 2);  // the first ENDIF after BREAK
    EXPECT_EQ(t[2].end, t.size() - 1);           // the outermost IF, the last ENDIF
    EXPECT_EQ(t[innermost + 1].kind, ScanKind::Break);
    EXPECT_EQ(t[innermost + 1].partner, 1);
    EXPECT_EQ(t[1].end, t.size());
}

TEST(MacroPreScan, TableHoldsAtMost23402Entries) {
    const auto gotos = [](int n) {
        std::string text;
        for (int i = 0; i < n; ++i)
            text += "GOTO x\r\n";
        return text;
    };
    auto full = preScanText(gotos(ScanTable::kMaxEntries));
    EXPECT_EQ(full.error, MacroError::None);
    EXPECT_EQ(full.table().size(), ScanTable::kMaxEntries);

    auto over = preScanText(gotos(ScanTable::kMaxEntries + 1));
    EXPECT_EQ(over.error, MacroError::ScanAreaOverflow);
    EXPECT_EQ(locateMacroError(over.context()).line, ScanTable::kMaxEntries + 1);
}

TEST(MacroPreScan, MacroHoldsAtMost32767Statements) {
    const auto statements = [](int n) {
        std::string text = "x=1";
        for (int i = 1; i < n; ++i)
            text += ";x=1";
        return text;
    };
    EXPECT_EQ(preScanText(statements(ScanTable::kMaxStatements)).error, MacroError::None);
    EXPECT_EQ(preScanText(statements(ScanTable::kMaxStatements + 1)).error,
              MacroError::ScanAreaOverflow);
}

TEST(MacroPreScan, ScanningAgainGivesTheSameTable) {
    auto s = preScanText("IF 1\r\nELSE\r\nENDIF\r\nl: GOTO l");
    ASSERT_EQ(s.error, MacroError::None);
    const int size = s.table().size();
    s.context().statementStart = 5;
    ASSERT_EQ(preScan(s.context(), {}), MacroError::None);
    EXPECT_EQ(s.table().size(), size);
    EXPECT_EQ(s.table()[5].end, 4);
    EXPECT_EQ(s.context().statementStart, 0u);
}

}  // namespace
}  // namespace cedar
