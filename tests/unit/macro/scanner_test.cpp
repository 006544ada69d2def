// The scanner: character classes, tokens, statements and the text as loaded.
#include "macro/scanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "macro/macro_source.h"
#include "macro_test_util.h"
#include "screen/code_pages.h"

namespace cedar {
namespace {

TEST(MacroScanner, CharacterClasses) {
    const ScannerOptions plain;
    const ScannerOptions dollar{'$'};
    struct Case {
        std::uint8_t byte;
        CharClass plain;
        CharClass withDollar;
    };
    const Case cases[] = {
        {'0', CharClass::Digit, CharClass::Digit},
        {'9', CharClass::Digit, CharClass::Digit},
        {'A', CharClass::Letter, CharClass::Letter},
        {'z', CharClass::Letter, CharClass::Letter},
        {'_', CharClass::Letter, CharClass::Letter},
        {'#', CharClass::Letter, CharClass::Letter},
        {'%', CharClass::Letter, CharClass::Letter},
        {'@', CharClass::Letter, CharClass::Letter},
        {0xC0, CharClass::Letter, CharClass::Letter},
        {0xFF, CharClass::Letter, CharClass::Letter},
        {0xBF, CharClass::Special, CharClass::Special},
        {'$', CharClass::Special, CharClass::Letter},
        {'[', CharClass::Special, CharClass::Special},
        {'\r', CharClass::LineEnd, CharClass::LineEnd},
        {'\n', CharClass::Special, CharClass::Special},
        {' ', CharClass::Special, CharClass::Special},
        {'"', CharClass::Special, CharClass::Special},
        {0, CharClass::Special, CharClass::Special},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.byte));
        EXPECT_EQ(charClass(c.byte, plain), c.plain);
        EXPECT_EQ(charClass(c.byte, dollar), c.withDollar);
    }
    // Control bytes and the blank never become letters.
    for (std::uint8_t b : {std::uint8_t{0}, std::uint8_t{0x1A}, std::uint8_t{' '}})
        EXPECT_EQ(charClass(b, ScannerOptions{b}), CharClass::Special);
    EXPECT_EQ(charClass('\r', ScannerOptions{'\r'}), CharClass::LineEnd);
}

TEST(MacroScanner, NationalLetterComesFromTheCodePage) {
    CodePages pages;
    pages.screenTable[0x5B] = '$';
    EXPECT_EQ(scannerOptionsFor(pages).nationalLetter, '$');
    pages.translationMode = TranslationMode::None;
    EXPECT_EQ(scannerOptionsFor(pages).nationalLetter, 0x5B);
}

struct Tok {
    TokenKind kind;
    std::string text;
    std::int32_t number = 0;
    bool operator==(const Tok&) const = default;
};

std::vector<Tok> tokensOf(std::string_view statement, ScannerOptions options = {},
                          MacroError* error = nullptr) {
    const std::string text = normaliseMacroText(statement);
    Scanner scanner(text, 0, options);
    std::vector<Tok> out;
    for (int guard = 0; guard < 1000; ++guard) {
        Token t;
        const MacroError e = scanner.scanToken(t);
        if (error) *error = e;
        if (e != MacroError::None || t.kind == TokenKind::End) break;
        out.push_back({t.kind, t.text.str(), t.number});
    }
    return out;
}

void PrintTo(const Tok& t, std::ostream* os) {
    *os << static_cast<int>(t.kind) << ":" << t.text;
}

TEST(MacroScanner, Tokens) {
    using K = TokenKind;
    struct Case {
        const char* text;
        std::vector<Tok> tokens;
    };
    const Case cases[] = {
        {"abc_1 = 12", {{K::Word, "ABC_1"}, {K::Operator, "="}, {K::Number, "12", 12}}},
        {"  \tx", {{K::Word, "X"}}},
        {"a<=b", {{K::Word, "A"}, {K::Operator, "<="}, {K::Word, "B"}}},
        {"x =-1", {{K::Word, "X"}, {K::Operator, "=-"}, {K::Number, "1", 1}}},
        {"x = -1", {{K::Word, "X"}, {K::Operator, "="}, {K::Operator, "-"}, {K::Number, "1", 1}}},
        {"f(-a,b)",
         {{K::Word, "F"},
          {K::Operator, "("},
          {K::Operator, "-"},
          {K::Word, "A"},
          {K::Operator, ","},
          {K::Word, "B"},
          {K::Operator, ")"}}},
        {"((", {{K::Operator, "("}, {K::Operator, "("}}},
        {"+)", {{K::Operator, "+"}, {K::Operator, ")"}}},
        {"*\"a\"", {{K::Operator, "*"}, {K::String, "a"}}},
        {"\"x\"\"y\"", {{K::String, "x\"y"}}},
        {"\"\"", {{K::String, ""}}},
        {"\"a;b\"", {{K::String, "a;b"}}},
        {"12ab", {{K::Number, "12", 12}, {K::Word, "AB"}}},
        {"00000007", {{K::Number, "00000007", 7}}},
        {"99999999", {{K::Number, "99999999", 99'999'999}}},
        {"a ; b", {{K::Word, "A"}}},
        {"\xC9t\xE9", {{K::Word, "\xC9T\xE9"}}},
        {"$x", {{K::Operator, "$"}, {K::Word, "X"}}},
        // An unclosed string is an operator token (reported as error 11).
        {"\"abc", {{K::Operator, "\"abc"}}},
        // A tab ends a string as the line end does (and is then a blank).
        {"\"ab\tc\"", {{K::Operator, "\"ab"}, {K::Word, "C"}, {K::Operator, "\""}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(tokensOf(c.text), c.tokens);
    }
    // Control bytes are tokens of one byte each.
    EXPECT_EQ(tokensOf(std::string_view("a\0\x01+", 4)),
              (std::vector<Tok>{{K::Word, "A"},
                                {K::Operator, std::string(1, '\0')},
                                {K::Operator, "\x01"},
                                {K::Operator, "+"}}));
    EXPECT_EQ(tokensOf("$x", ScannerOptions{'$'}), (std::vector<Tok>{{K::Word, "$X"}}));
}

TEST(MacroScanner, TokenLimits) {
    struct Case {
        std::string text;
        MacroError error;
    };
    const Case cases[] = {
        {std::string(30, 'a'), MacroError::None},
        {std::string(31, 'a'), MacroError::NameTooLong},
        {"a" + std::string(29, '9'), MacroError::None},
        {"a" + std::string(30, '9'), MacroError::NameTooLong},
        {"12345678", MacroError::None},
        {"123456789", MacroError::NumberTooLong},
        {"000000001", MacroError::NumberTooLong},
        {std::string(30, '+'), MacroError::None},
        {std::string(31, '+'), MacroError::OperatorTooLong},
        {"\"" + std::string(255, 's') + "\"", MacroError::None},
        {"\"" + std::string(256, 's') + "\"", MacroError::TextTooLong},
        {"\"" + std::string(100000, 's') + "\"", MacroError::TextTooLong},
        {"\"" + std::string(100000, 's'), MacroError::None},  // unclosed: an operator token
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 40));
        MacroError error = MacroError::None;
        tokensOf(c.text, {}, &error);
        EXPECT_EQ(error, c.error);
    }
}

TEST(MacroScanner, EndTokenDoesNotMove) {
    for (const char* statement : {"", "   ", ";x", " ; x"}) {
        SCOPED_TRACE(statement);
        const std::string text = normaliseMacroText(statement);
        Scanner scanner(text);
        Token t;
        ASSERT_EQ(scanner.scanToken(t), MacroError::None);
        EXPECT_EQ(t.kind, TokenKind::End);
        const std::size_t at = scanner.position();
        ASSERT_EQ(scanner.scanToken(t), MacroError::None);
        EXPECT_EQ(t.kind, TokenKind::End);
        EXPECT_EQ(scanner.position(), at);
    }
    // A scanner given a view without the closing 0x1A sees one past its end.
    Scanner bare("x");
    Token t;
    ASSERT_EQ(bare.scanToken(t), MacroError::None);
    ASSERT_EQ(bare.scanToken(t), MacroError::None);
    EXPECT_EQ(t.kind, TokenKind::End);
    Scanner openString("\"abc");
    ASSERT_EQ(openString.scanToken(t), MacroError::None);
    EXPECT_EQ(t.kind, TokenKind::Operator);
}

TEST(MacroScanner, TextAsLoaded) {
    struct Case {
        std::string raw;
        std::string text;
    };
    const Case cases[] = {
        {"a=1\r\nb=2\r\n", "a=1\r\nb=2\r\n\r\n\x1A"},
        {"a=1\nb=2", "a=1\r\nb=2\r\n\x1A"},
        {"a=1\rb=2", "a=1\r\nb=2\r\n\x1A"},
        {"a=1\r\n\nb=2", "a=1\r\n\r\nb=2\r\n\x1A"},
        {"a=1\x1A", "a=1\r\n\x1A"},
        {"a=1\r\n\x1A", "a=1\r\n\r\n\x1A"},
        {"a=1\x1A"
         "b=2\r\n",
         "a=1\r\n\x1A"},
        {"", "\r\n\x1A"},
        {"\x1A", "\r\n\x1A"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.raw);
        EXPECT_EQ(normaliseMacroText(c.raw), c.text);
    }
}

// Statement starts, in order, as the interpreter steps through a text.
std::vector<std::string> statementsOf(std::string_view raw) {
    const std::string text = normaliseMacroText(raw);
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (pos < text.size() && text[pos] != kMacroEndOfText) {
        out.push_back(text.substr(pos, statementEnd(text, pos) - pos));
        const std::size_t next = nextStatementStart(text, pos);
        if (next <= pos) break;
        pos = next;
    }
    return out;
}

TEST(MacroScanner, Statements) {
    struct Case {
        const char* raw;
        std::vector<std::string> statements;
    };
    const Case cases[] = {
        {"a=1;b=2", {"a=1", "b=2"}},
        {"a=1;  b=2\r\nc=3", {"a=1", "b=2", "c=3"}},
        {"a=1;  \r\nc=3", {"a=1", "c=3"}},
        {"a=1\nb=2", {"a=1", "b=2"}},
        {"a=1\r\n\r\nb=2", {"a=1", "", "b=2"}},
        {"a=1;;b=2", {"a=1", "", "b=2"}},
        {"x=\"a;b\";c", {"x=\"a;b\"", "c"}},
        // A ";" ends a comment: what follows is a statement.
        {"* note; x=1\r\ny=2", {"* note", "x=1", "y=2"}},
        {"* say \"a;b\"; x=1", {"* say \"a;b\"", "x=1"}},
        {"last", {"last"}},
        {"a\x1A b", {"a"}},
        // The line end put behind the text makes one empty statement.
        {"", {""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.raw);
        EXPECT_EQ(statementsOf(c.raw), c.statements);
    }
}

TEST(MacroScanner, AdvanceCountsEveryStatement) {
    MacroContext context;
    context.text = normaliseMacroText("a=1;b=2\r\n\r\n* c; d=4\r\ne: f=6");
    std::vector<int> numbers;
    while (!context.atEnd()) {
        numbers.push_back(context.statementNumber);
        advanceStatement(context);
    }
    EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3, 4, 5, 6}));
    // At the end it stays at the 0x1A.
    const std::size_t end = context.statementStart;
    advanceStatement(context);
    EXPECT_EQ(context.statementStart, end);
}

}  // namespace
}  // namespace cedar
