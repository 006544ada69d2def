#include "screen/code_pages.h"

#include <cctype>
#include <cstring>

namespace cedar {

namespace {

constexpr ByteTable kHostToTransferAscii = {
    0x00, 0x01, 0x02, 0x03, 0x9C, 0x09, 0x86, 0x7F, 0x97, 0x8D, 0x8E, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F,
    0x10, 0x11, 0x12, 0x13, 0x9D, 0x85, 0x08, 0x87, 0x18, 0x19, 0x92, 0x8F, 0x1C, 0x1D, 0x1E, 0x1F,
    0x80, 0x81, 0x82, 0x83, 0x84, 0x0A, 0x17, 0x1B, 0x88, 0x89, 0x8A, 0x8B, 0x8C, 0x05, 0x06, 0x07,
    0x90, 0x91, 0x16, 0x93, 0x94, 0x95, 0x96, 0x04, 0x98, 0x99, 0x9A, 0x9B, 0x14, 0x15, 0x9E, 0x1A,
    0x20, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0x5B, 0x2E, 0x3C, 0x28, 0x2B, 0x5D,
    0x26, 0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF, 0xB0, 0xB1, 0x21, 0x24, 0x2A, 0x29, 0x3B, 0x5E,
    0x2D, 0x2F, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0x7C, 0x2C, 0x25, 0x5F, 0x3E, 0x3F,
    0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF, 0xC0, 0xC1, 0xC2, 0x60, 0x3A, 0x23, 0x40, 0x27, 0x3D, 0x22,
    0xC3, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9,
    0xCA, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F, 0x70, 0x71, 0x72, 0xCB, 0xCC, 0xCD, 0xCE, 0xCF, 0xD0,
    0xD1, 0x7E, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7,
    0xD8, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF, 0xE0, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7,
    0x7B, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0xE8, 0xE9, 0xEA, 0xEB, 0xEC, 0xED,
    0x7D, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F, 0x50, 0x51, 0x52, 0xEE, 0xEF, 0xF0, 0xF1, 0xF2, 0xF3,
    0x5C, 0x9F, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5A, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9,
    0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF};

struct AnsiDosPair {
    std::uint8_t ansi;
    std::uint8_t dos;
};
constexpr AnsiDosPair kAnsiToDos[] = {
    {0x7C, 0xB3}, {0xA1, 0xAD}, {0xA2, 0x9B}, {0xA3, 0x9C}, {0xA4, 0x0F}, {0xA5, 0x9D},
    {0xA6, 0x7C}, {0xA7, 0x15}, {0xA8, 0xFE}, {0xAA, 0xA6}, {0xAB, 0xAE}, {0xAC, 0xAA},
    {0xAF, 0xE4}, {0xB0, 0xF8}, {0xB2, 0xFD}, {0xB5, 0xE6}, {0xB6, 0x14}, {0xB7, 0xF9},
    {0xBA, 0xA7}, {0xBB, 0xAF}, {0xBC, 0xAC}, {0xBD, 0xAB}, {0xBF, 0xA8}, {0xC4, 0x8E},
    {0xC5, 0x8F}, {0xC6, 0x92}, {0xC7, 0x80}, {0xC9, 0x90}, {0xD1, 0xA5}, {0xD6, 0x99},
    {0xDC, 0x9A}, {0xDD, 0xD5}, {0xDF, 0xE1}, {0xE0, 0x85}, {0xE1, 0xA0}, {0xE2, 0x83},
    {0xE4, 0x84}, {0xE5, 0x86}, {0xE6, 0x91}, {0xE7, 0x87}, {0xE8, 0x8A}, {0xE9, 0x82},
    {0xEA, 0x88}, {0xEB, 0x89}, {0xEC, 0x8D}, {0xED, 0xA1}, {0xEE, 0x8C}, {0xEF, 0x8B},
    {0xF1, 0xA4}, {0xF2, 0x95}, {0xF3, 0xA2}, {0xF4, 0x93}, {0xF6, 0x94}, {0xF9, 0x97},
    {0xFA, 0xA3}, {0xFB, 0x96}, {0xFC, 0x81}, {0xFF, 0x98}};

enum class Keyword {
    Base,
    Screen,
    Transfer,
    KeyScanCodes,
    KeyLayout,
    KeyScanMods,
    KeyEscapes,
    Country,
    Or,
    CodePage,
    End,
};

struct KeywordName {
    const char* text;
    Keyword keyword;
};
constexpr KeywordName kKeywords[] = {{"BASE", Keyword::Base},
                                     {"SCREEN", Keyword::Screen},
                                     {"TRANSFER", Keyword::Transfer},
                                     {"KEYSCANCODES", Keyword::KeyScanCodes},
                                     {"KEYLAYOUT", Keyword::KeyLayout},
                                     {"KEYSCANMODS", Keyword::KeyScanMods},
                                     {"KEYESCAPES", Keyword::KeyEscapes},
                                     {"COUNTRY", Keyword::Country},
                                     {"OR", Keyword::Or},
                                     {"CODEPAGE", Keyword::CodePage},
                                     {"END", Keyword::End}};

enum class TokenKind { Keyword, Value, LongNumber, Equals, Comma, Other };

struct Token {
    TokenKind kind = TokenKind::Other;
    Keyword keyword = Keyword::End;
    int value = 0;       // Value: 0..255 (hex pair) or 0..999 (decimal); LongNumber: 4-5 digits
    bool valid = false;  // a Value token that parsed
};

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// Reads the tokens of one line (without its end).
class LineTokens {
  public:
    explicit LineTokens(std::string_view line) : line_(line) {}

    // Next token; false at the end of the line (or at a character that ends it).
    bool next(Token& token) {
        while (pos_ < line_.size() && isBlank(line_[pos_]))
            ++pos_;
        if (pos_ >= line_.size()) return false;
        const char c = line_[pos_];
        if (c == '=') {
            ++pos_;
            token = {TokenKind::Equals};
            return true;
        }
        if (c == ',') {
            ++pos_;
            token = {TokenKind::Comma};
            return true;
        }
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            pos_ = line_.size();  // any other character ends the line
            return false;
        }
        std::string word;
        while (pos_ < line_.size() && std::isalnum(static_cast<unsigned char>(line_[pos_]))) {
            word += static_cast<char>(std::toupper(static_cast<unsigned char>(line_[pos_])));
            ++pos_;
        }
        token = classify(word);
        return true;
    }

    // The rest of the line after blanks, trailing blanks removed (block and table names).
    std::string rest() {
        while (pos_ < line_.size() && isBlank(line_[pos_]))
            ++pos_;
        std::string_view r = line_.substr(pos_);
        while (!r.empty() && isBlank(r.back()))
            r.remove_suffix(1);
        pos_ = line_.size();
        return std::string(r);
    }

  private:
    static Token classify(const std::string& word) {
        Token t;
        for (const auto& k : kKeywords) {
            if (word == k.text) {
                t.kind = TokenKind::Keyword;
                t.keyword = k.keyword;
                return t;
            }
        }
        t.kind = TokenKind::Value;
        const bool digits =
            word.find_first_not_of("0123456789") == std::string::npos && !word.empty();
        if (word.size() == 2) {
            if (std::isxdigit(static_cast<unsigned char>(word[0])) &&
                std::isxdigit(static_cast<unsigned char>(word[1]))) {
                t.value = std::stoi(word, nullptr, 16);
                t.valid = true;
            }
        } else if (word.size() == 3) {
            if (digits) {
                t.value = std::stoi(word);
                t.valid = true;
            }
        } else if ((word.size() == 4 || word.size() == 5) && digits) {
            // Code page numbers such as 1140 only; a table value never has four digits.
            t.kind = TokenKind::LongNumber;
            t.value = std::stoi(word);
            t.valid = true;
        }
        return t;
    }

    std::string_view line_;
    std::size_t pos_ = 0;
};

enum class Section { None, Screen, Transfer, ScanCodes, KeyLayout, KeyScanMods, KeyEscapes };

class CountryReader {
  public:
    CountryReader(CountryMode mode, const CountrySelection& sel, CodePages& pages,
                  CountryLists* lists)
        : mode_(mode), sel_(sel), pages_(pages), lists_(lists) {}

    CountryLoadReport run(std::string_view text) {
        if (text.size() > 65535) text = text.substr(0, 65535);
        if (!text.empty() && text.back() == '\x1A') text.remove_suffix(1);
        if (mode_ == CountryMode::Keyboard) {
            pages_.keyLayout[0].bytes[0] = 0xFF;
            pages_.keyScanModifiers[0].key = 0xFF;
            pages_.keyEscapes[0].bytes[0] = 0xFF;
        }
        if (mode_ == CountryMode::Dialog && lists_ != nullptr) {
            *lists_ = CountryLists{};
            lists_->keyboards.emplace_back();
        }
        std::size_t pos = 0;
        while (pos < text.size() && !ended_) {
            std::size_t end = pos;
            while (end < text.size() && text[end] != '\r' && text[end] != '\n')
                ++end;
            line(text.substr(pos, end - pos));
            pos = end;
            if (pos < text.size() && text[pos] == '\r') ++pos;
            if (pos < text.size() && text[pos] == '\n') ++pos;
        }
        finishBlock();
        if (mode_ != CountryMode::Dialog) {
            pages_.rebuildInverseScreenTable();
            pages_.rebuildInverseTransferTable();
        }
        if (mode_ == CountryMode::Screen && baseScreenSeen_) {
            report_.screenValues = baseScreenCount_;
            report_.screenTableShort = baseScreenCount_ < 256;
        }
        return report_;
    }

  private:
    void line(std::string_view text) {
        if (text.empty() || text[0] == '*') return;
        LineTokens tokens(text);
        Token t;
        std::vector<Token> values;  // values of a block line
        while (tokens.next(t)) {
            if (t.kind == TokenKind::Keyword) {
                keyword(t.keyword, tokens);
                if (ended_) return;
                continue;
            }
            if (section_ == Section::KeyEscapes && inBlock_ && selected_) {
                escapeToken(t);
                continue;
            }
            if (inBase_) {
                if (t.kind == TokenKind::Value && t.valid) baseValue(t.value);
            } else if (inBlock_ && selected_) {
                values.push_back(t);
            }
        }
        if (!values.empty()) blockLine(values);
    }

    void keyword(Keyword k, LineTokens& tokens) {
        switch (k) {
            case Keyword::Base:
                finishBlock();
                inBase_ = true;
                inBlock_ = false;
                section_ = Section::None;
                break;
            case Keyword::Country:
                finishBlock();
                inBase_ = false;
                inBlock_ = true;
                selected_ = false;
                section_ = Section::None;
                blockNames_.clear();
                blockHasScreen_ = blockHasKeyboard_ = false;
                blockCodePage_ = 0;
                addName(tokens.rest());
                break;
            case Keyword::Or:
                if (inBlock_) addName(tokens.rest());
                break;
            case Keyword::CodePage:
                codePage(tokens);
                break;
            case Keyword::End:
                ended_ = true;
                break;
            case Keyword::Screen:
                startSection(Section::Screen);
                if (inBlock_) blockHasScreen_ = true;
                break;
            case Keyword::Transfer: {
                const std::string name = tokens.rest();
                startSection(Section::Transfer);
                transferSelected_ = mode_ == CountryMode::Screen && name == sel_.pcCodePage;
                if (transferSelected_ && inBase_) report_.pcCodePageFound = true;
                if (mode_ == CountryMode::Dialog && lists_ != nullptr && !name.empty())
                    lists_->pcCodePages.push_back(name);
                break;
            }
            case Keyword::KeyScanCodes:
                startSection(Section::ScanCodes);
                if (inBlock_) blockHasKeyboard_ = true;
                break;
            case Keyword::KeyLayout:
                startSection(Section::KeyLayout);
                if (inBlock_) blockHasKeyboard_ = true;
                break;
            case Keyword::KeyScanMods:
                startSection(Section::KeyScanMods);
                if (inBlock_) blockHasKeyboard_ = true;
                break;
            case Keyword::KeyEscapes:
                startSection(Section::KeyEscapes);
                escape_ = {};
                if (inBlock_) blockHasKeyboard_ = true;
                break;
        }
    }

    void startSection(Section s) {
        section_ = s;
        baseIndex_ = 0;
        if (s == Section::Screen && inBase_ && mode_ == CountryMode::Screen) {
            baseScreenSeen_ = true;
            baseScreenCount_ = 0;
        }
    }

    void addName(const std::string& name) {
        if (blockNames_.size() < 10) blockNames_.push_back(name.substr(0, 31));
        const std::string& wanted =
            mode_ == CountryMode::Keyboard ? sel_.keyboardCountry : sel_.screenCountry;
        if (mode_ != CountryMode::Dialog && name == wanted) {
            selected_ = true;
            if (mode_ == CountryMode::Screen) report_.screenCountryFound = true;
        }
    }

    void finishBlock() {
        if (!inBlock_ || mode_ != CountryMode::Dialog || lists_ == nullptr) return;
        for (const auto& n : blockNames_) {
            if (blockHasScreen_) lists_->screenCountries.push_back({n, blockCodePage_});
            if (blockHasKeyboard_) lists_->keyboards.push_back(n);
        }
        blockNames_.clear();
        inBlock_ = false;
    }

    void codePage(LineTokens& tokens) {
        Token t;
        int numbers[2] = {0, 0};
        int count = 0;
        while (count < 2 && tokens.next(t)) {
            if (t.kind == TokenKind::Keyword) break;
            if ((t.kind == TokenKind::Value || t.kind == TokenKind::LongNumber) && t.valid) {
                numbers[count++] = t.value;
            }
        }
        if (!inBlock_ || count == 0) return;
        blockCodePage_ = numbers[0];
        if (mode_ == CountryMode::Screen && selected_) {
            pages_.hostCodePage = numbers[0];
            pages_.hostCharacterSet = count > 1 && numbers[1] != 0 ? numbers[1] : 697;
        }
    }

    void baseValue(int value) {
        const auto v = static_cast<std::uint8_t>(value);
        switch (section_) {
            case Section::Screen:
                if (mode_ != CountryMode::Screen) return;
                if (baseIndex_ < 256) {
                    pages_.screenTable[baseIndex_++] = v;
                    baseScreenCount_ = baseIndex_;
                }
                break;
            case Section::Transfer:
                if (!transferSelected_) return;
                if (baseIndex_ < 256) pages_.transferTable[baseIndex_++] = v;
                break;
            case Section::ScanCodes:
                if (mode_ != CountryMode::Keyboard) return;
                if (baseIndex_ < 256) pages_.scanCodeTable[baseIndex_++] = v;
                break;
            default:
                break;
        }
    }

    // A line of a selected block: values (and separators) of the line.
    void blockLine(const std::vector<Token>& tokens) {
        std::vector<int> v;
        for (const auto& t : tokens)
            if (t.kind == TokenKind::Value && t.valid) v.push_back(t.value & 0xFF);
        if (v.empty()) return;
        switch (section_) {
            case Section::Screen: {
                if (mode_ != CountryMode::Screen || v.size() < 2) return;
                const auto h = static_cast<std::uint8_t>(v[0]);
                const auto d = static_cast<std::uint8_t>(v[1]);
                pages_.screenTable[h] = d;
                const std::uint8_t p = sel_.pcCodePage.rfind("DOS", 0) == 0 ? ansiToDos(d) : d;
                pages_.transferTable[p] = kHostToTransferAscii[h];
                break;
            }
            case Section::KeyLayout: {
                if (mode_ != CountryMode::Keyboard || v.size() < 2) return;
                if (layoutCount_ >= CodePages::kKeyLayoutRecords) return;
                auto& r = pages_.keyLayout[layoutCount_].bytes;
                r = {};
                r[0] = static_cast<std::uint8_t>(v[0]);
                r[1] = r[2] = r[3] = static_cast<std::uint8_t>(v[1]);
                if (v.size() > 2) r[2] = static_cast<std::uint8_t>(v[2]);
                if (v.size() > 3) r[3] = static_cast<std::uint8_t>(v[3]);
                pages_.keyLayout[++layoutCount_].bytes[0] = 0xFF;
                break;
            }
            case Section::KeyScanMods: {
                if (mode_ != CountryMode::Keyboard || v.size() < 2) return;
                if (scanModCount_ >= CodePages::kKeyScanModRecords) return;
                pages_.keyScanModifiers[scanModCount_] = {static_cast<std::uint8_t>(v[0]),
                                                          static_cast<std::uint8_t>(v[1])};
                pages_.keyScanModifiers[++scanModCount_].key = 0xFF;
                break;
            }
            default:
                break;
        }
    }

    // KEYESCAPES: k x y l1, .. ln = r1, .. rm =, reading over line ends.
    void escapeToken(const Token& t) {
        if (mode_ != CountryMode::Keyboard) return;
        if (t.kind == TokenKind::Equals) {
            if (escape_.stage == 1) {
                escape_.stage = 2;
            } else if (escape_.stage == 2) {
                commitEscape();
            }
            return;
        }
        if (t.kind != TokenKind::Value || !t.valid) return;
        const auto v = static_cast<std::uint8_t>(t.value);
        auto& r = escape_.record.bytes;
        if (escape_.stage == 0) {
            r[escape_.header++] = v;
            if (escape_.header == 3) escape_.stage = 1;
        } else if (escape_.stage == 1) {
            r[4 + escape_.first++] = v;
            if (escape_.first == 8) escape_.stage = 2;
        } else {
            r[12 + escape_.second++] = v;
            if (escape_.second == 8) commitEscape();
        }
    }

    void commitEscape() {
        escape_.record.bytes[3] = static_cast<std::uint8_t>(escape_.first);
        if (escapeCount_ < CodePages::kKeyEscapeRecords) {
            pages_.keyEscapes[escapeCount_] = escape_.record;
            pages_.keyEscapes[++escapeCount_].bytes[0] = 0xFF;
        }
        escape_ = {};
    }

    struct EscapeState {
        KeyEscapeRecord record;
        int stage = 0;  // 0 header, 1 first list, 2 second list
        int header = 0;
        int first = 0;
        int second = 0;
    };

    CountryMode mode_;
    const CountrySelection& sel_;
    CodePages& pages_;
    CountryLists* lists_;
    CountryLoadReport report_;

    bool ended_ = false;
    bool inBase_ = false;
    bool inBlock_ = false;
    bool selected_ = false;
    bool transferSelected_ = false;
    Section section_ = Section::None;
    int baseIndex_ = 0;
    bool baseScreenSeen_ = false;
    int baseScreenCount_ = 0;

    std::vector<std::string> blockNames_;
    bool blockHasScreen_ = false;
    bool blockHasKeyboard_ = false;
    int blockCodePage_ = 0;

    std::size_t layoutCount_ = 0;
    std::size_t scanModCount_ = 0;
    std::size_t escapeCount_ = 0;
    EscapeState escape_;
};

}  // namespace

const ByteTable& hostToTransferAscii() {
    return kHostToTransferAscii;
}

std::uint8_t ansiToDos(std::uint8_t c) {
    for (const auto& p : kAnsiToDos)
        if (p.ansi == c) return p.dos;
    return c;
}

std::size_t CodePages::hostToDisplayString(char* text) const {
    std::size_t n = 0;
    for (; text[n] != '\0'; ++n)
        text[n] = static_cast<char>(hostToDisplay(static_cast<std::uint8_t>(text[n])));
    return n;
}

void CodePages::rebuildInverseScreenTable() {
    displayToHostTable.fill(0);
    for (int h = 0; h < 256; ++h)
        if (screenTable[h] != 0) displayToHostTable[screenTable[h]] = static_cast<std::uint8_t>(h);
}

void CodePages::rebuildInverseTransferTable() {
    for (int c = 0; c < 256; ++c)
        transferToPcTable[transferTable[c]] = static_cast<std::uint8_t>(c);
}

CountryLoadReport loadCountryText(std::string_view text, CountryMode mode,
                                  const CountrySelection& selection, CodePages& pages,
                                  CountryLists* lists) {
    CountryReader reader(mode, selection, pages, lists);
    return reader.run(text);
}

}  // namespace cedar
