// The macro scanner: character classes, tokens, and how statements are cut
// out of a macro's text.
//
// The text a scanner reads is a macro's normalised text (macro_source.h):
// lines end in CR LF and the text ends in CR LF 0x1A. The scanner never reads
// outside the view it is given: past its end it sees 0x1A.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "macro/macro_error.h"
#include "macro/macro_value.h"

namespace cedar {

struct CodePages;

inline constexpr char kMacroEndOfText = 0x1A;
inline constexpr char kMacroCR = '\r';
inline constexpr char kMacroLF = '\n';

// Words, operator tokens and the token buffer hold at most this many bytes.
inline constexpr std::size_t kMaxTokenBytes = 30;
// A numeric constant has at most this many digits.
inline constexpr std::size_t kMaxNumberDigits = 8;

enum class CharClass : std::uint8_t { Digit, Letter, LineEnd, Special };

struct ScannerOptions {
    // The byte the active code page shows for host byte 0x5B; it counts as
    // a letter ("$" with the US code page). 0 = none. Control bytes and the
    // blank are never letters.
    std::uint8_t nationalLetter = 0;
};

// The options for the code pages in force.
ScannerOptions scannerOptionsFor(const CodePages& codePages);

CharClass charClass(std::uint8_t byte, const ScannerOptions& options);

constexpr bool isMacroBlank(char c) {
    return c == ' ' || c == '\t';
}

enum class TokenKind : std::uint8_t {
    End,       // CR, ";" or 0x1A: the statement ends here; the position does not move
    Word,      // a letter followed by letters and digits, in upper case
    Number,    // a run of digits; `number` holds its value
    String,    // the text between double quotes, doubled quotes undone
    Operator,  // a run of special bytes (also an unclosed string)
};

struct Token {
    TokenKind kind = TokenKind::End;
    MacroText text;
    std::int32_t number = 0;
    std::size_t start = 0;  // text position where the token begins

    bool isWord(std::string_view upper) const {
        return kind == TokenKind::Word && text.view() == upper;
    }
    bool isOperator(std::string_view op) const {
        return kind == TokenKind::Operator && text.view() == op;
    }
    // A word, number or string.
    bool isOperand() const {
        return kind == TokenKind::Word || kind == TokenKind::Number || kind == TokenKind::String;
    }
};

class Scanner {
  public:
    explicit Scanner(std::string_view text, std::size_t position = 0, ScannerOptions options = {})
        : text_(text), pos_(position), tokenStart_(position), options_(options) {}

    // Reads the next token. Errors: 1 (word over 30 bytes), 2 (number over
    // 8 digits), 4 (operator over 30 bytes), 49 (string over 255 bytes).
    // On an error tokenStart() is the start of the offending token.
    MacroError scanToken(Token& token);

    std::size_t position() const { return pos_; }
    // Moves the position; tokenStart() keeps pointing at the last token.
    void setPosition(std::size_t position) { pos_ = position; }
    // Start of the last token read (the column of an error).
    std::size_t tokenStart() const { return tokenStart_; }
    void setTokenStart(std::size_t position) { tokenStart_ = position; }

    void skipBlanks();
    // The byte at the position (0x1A past the end).
    char peek() const { return at(pos_); }
    // The next byte that is not a blank, without moving.
    char peekNonBlank() const;

    std::string_view text() const { return text_; }
    const ScannerOptions& options() const { return options_; }

  private:
    char at(std::size_t i) const { return i < text_.size() ? text_[i] : kMacroEndOfText; }
    CharClass classAt(std::size_t i) const {
        return charClass(static_cast<std::uint8_t>(at(i)), options_);
    }

    std::string_view text_;
    std::size_t pos_;
    std::size_t tokenStart_;
    ScannerOptions options_;
};

// Statements. A statement ends at a CR, at a ";" outside double quotes or at
// the 0x1A.

// The position of the byte that ends the statement starting at `start`.
std::size_t statementEnd(std::string_view text, std::size_t start);
// Where the statement after the one starting at `start` begins (the 0x1A
// itself when there is none).
std::size_t nextStatementStart(std::string_view text, std::size_t start);
// `start` moved past blanks.
std::size_t skipMacroBlanks(std::string_view text, std::size_t start);

}  // namespace cedar
