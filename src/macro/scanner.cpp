#include "macro/scanner.h"

#include <array>

#include "screen/code_pages.h"

namespace cedar {

namespace {

constexpr std::array<CharClass, 256> makeBaseClasses() {
    std::array<CharClass, 256> t{};
    for (int b = 0; b < 256; ++b) {
        CharClass c = CharClass::Special;
        if (b >= '0' && b <= '9') {
            c = CharClass::Digit;
        } else if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b == '_' || b == '#' ||
                   b == '%' || b == '@' || b >= 0xC0) {
            c = CharClass::Letter;
        } else if (b == '\r') {
            c = CharClass::LineEnd;
        }
        t[static_cast<std::size_t>(b)] = c;
    }
    return t;
}

constexpr std::array<CharClass, 256> kBaseClasses = makeBaseClasses();

constexpr char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Bytes that end an operator run besides non-special bytes.
constexpr bool endsOperator(std::uint8_t b) {
    return b <= 32 || b == '"' || b == '(' || b == ')' || b == ',' || b == ';';
}

}  // namespace

ScannerOptions scannerOptionsFor(const CodePages& codePages) {
    return ScannerOptions{codePages.hostToDisplay(0x5B)};
}

CharClass charClass(std::uint8_t byte, const ScannerOptions& options) {
    const CharClass base = kBaseClasses[byte];
    if (base == CharClass::Special && byte == options.nationalLetter && byte > 32)
        return CharClass::Letter;
    return base;
}

void Scanner::skipBlanks() {
    while (isMacroBlank(at(pos_)))
        ++pos_;
}

char Scanner::peekNonBlank() const {
    std::size_t i = pos_;
    while (isMacroBlank(at(i)))
        ++i;
    return at(i);
}

MacroError Scanner::scanToken(Token& token) {
    skipBlanks();
    tokenStart_ = pos_;
    token.start = pos_;
    token.number = 0;
    token.text.clear();
    const char first = at(pos_);
    if (first == kMacroCR || first == ';' || first == kMacroEndOfText) {
        token.kind = TokenKind::End;
        return MacroError::None;
    }
    switch (classAt(pos_)) {
        case CharClass::Letter: {
            token.kind = TokenKind::Word;
            std::size_t n = 0;
            while (classAt(pos_) == CharClass::Letter || classAt(pos_) == CharClass::Digit) {
                if (++n > kMaxTokenBytes) return MacroError::NameTooLong;
                const char c = upper(at(pos_++));
                token.text.append(std::string_view(&c, 1));
            }
            return MacroError::None;
        }
        case CharClass::Digit: {
            token.kind = TokenKind::Number;
            std::size_t n = 0;
            std::int32_t value = 0;
            while (classAt(pos_) == CharClass::Digit) {
                if (++n > kMaxNumberDigits) return MacroError::NumberTooLong;
                const char c = at(pos_++);
                value = value * 10 + (c - '0');
                token.text.append(std::string_view(&c, 1));
            }
            token.number = value;
            return MacroError::None;
        }
        case CharClass::LineEnd:
        case CharClass::Special:
            break;
    }
    if (first == '"') {
        token.kind = TokenKind::String;
        bool tooLong = false;
        std::size_t i = pos_ + 1;
        for (;;) {
            const char c = at(i);
            if (c == '"') {
                if (at(i + 1) != '"') {
                    pos_ = i + 1;
                    return tooLong ? MacroError::TextTooLong : MacroError::None;
                }
                ++i;  // a doubled quote stands for one
            } else if (static_cast<std::uint8_t>(c) <= 13 || c == kMacroEndOfText) {
                // Unclosed: the line ends the string, and it is no string at all.
                token.kind = TokenKind::Operator;
                token.text.assign(text_.substr(pos_, std::min(i - pos_, kMaxTokenBytes)));
                pos_ = i;
                return MacroError::None;
            }
            if (!tooLong && !token.text.append(std::string_view(&c, 1))) tooLong = true;
            ++i;
        }
    }
    token.kind = TokenKind::Operator;
    if (first == '(' || first == ')' || first == ',') {
        token.text.assign(std::string_view(&first, 1));
        ++pos_;
        return MacroError::None;
    }
    // A run of special bytes; a control byte is a token of its own.
    token.text.assign(std::string_view(&first, 1));
    ++pos_;
    if (endsOperator(static_cast<std::uint8_t>(first))) return MacroError::None;
    for (std::size_t n = 1;
         classAt(pos_) == CharClass::Special && !endsOperator(static_cast<std::uint8_t>(at(pos_)));
         ++n) {
        if (n >= kMaxTokenBytes) return MacroError::OperatorTooLong;
        const char c = at(pos_++);
        token.text.append(std::string_view(&c, 1));
    }
    return MacroError::None;
}

std::size_t skipMacroBlanks(std::string_view text, std::size_t start) {
    while (start < text.size() && isMacroBlank(text[start]))
        ++start;
    return start;
}

std::size_t statementEnd(std::string_view text, std::size_t start) {
    bool quoted = false;
    for (std::size_t i = start; i < text.size(); ++i) {
        const char c = text[i];
        if (c == kMacroEndOfText || c == kMacroCR) return i;
        if (c == '"') quoted = !quoted;
        if (c == ';' && !quoted) return i;
    }
    return text.size();
}

std::size_t nextStatementStart(std::string_view text, std::size_t start) {
    const auto afterLineEnd = [&](std::size_t cr) {
        return cr + 1 < text.size() && text[cr + 1] == kMacroLF ? cr + 2 : cr + 1;
    };
    const std::size_t end = statementEnd(text, start);
    if (end >= text.size() || text[end] == kMacroEndOfText) return end;
    if (text[end] == kMacroCR) return afterLineEnd(end);
    const std::size_t next = skipMacroBlanks(text, end + 1);
    if (next < text.size() && text[next] == kMacroCR) return afterLineEnd(next);
    return next;
}

}  // namespace cedar
