#include "macro/text_functions.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>
#include <string>

namespace cedar {

namespace {

std::int32_t numberArg(std::span<const MacroValue> args, std::size_t i, std::int32_t missing = 0) {
    return i < args.size() && args[i].isNumber() ? args[i].number : missing;
}

std::string_view textArg(std::span<const MacroValue> args, std::size_t i) {
    return i < args.size() && args[i].isText() ? args[i].text.view() : std::string_view{};
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::int32_t clampToInt32(std::int64_t n) {
    if (n > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (n < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(n);
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::string timeDate(std::string_view format, const TextFunctionContext& context) {
    if (format.empty() || !context.localTime) return {};
    const std::tm now = context.localTime();
    const std::string fmt(format);
    std::array<char, 241> out{};
    // The format comes from the macro; any conversion it names is formatted
    // by the library, and a result longer than 240 bytes gives no text.
    const std::size_t n = std::strftime(out.data(), out.size(), fmt.c_str(), &now);
    return std::string(out.data(), n);
}

}  // namespace

std::string_view macroMid(std::string_view text, std::int32_t start, std::int32_t length) {
    if (start < 1 || length < 0 || static_cast<std::size_t>(start) > text.size()) return {};
    return text.substr(static_cast<std::size_t>(start) - 1, static_cast<std::size_t>(length));
}

std::int32_t macroVal(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::int64_t n = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        if (n <= std::numeric_limits<std::int32_t>::max()) n = n * 10 + (text[i] - '0');
    return clampToInt32(negative ? -n : n);
}

std::int32_t macroHexDec(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        hexDigit(text[i + 2]) >= 0)
        i += 2;  // the "0x" prefix

    std::uint64_t n = 0;
    for (; i < text.size() && hexDigit(text[i]) >= 0; ++i)
        n = std::min<std::uint64_t>(n * 16 + static_cast<std::uint64_t>(hexDigit(text[i])),
                                    0xFFFFFFFFu);
    auto bits = static_cast<std::uint32_t>(n);
    if (negative) bits = 0u - bits;
    return static_cast<std::int32_t>(bits);
}

std::int32_t macroInstr(std::int32_t start, std::string_view text, std::string_view find,
                        bool fixInstr) {
    if (start < 0 || static_cast<std::size_t>(start) > text.size()) return 0;
    const std::size_t at = text.substr(static_cast<std::size_t>(start)).find(find);
    if (at == std::string_view::npos) return 0;
    const auto found = static_cast<std::int32_t>(at) + 1;
    return fixInstr ? found + start : found;
}

std::string macroHex(std::int32_t number, std::int32_t digits) {
    char buffer[9];
    std::snprintf(buffer, sizeof buffer, "%08X", static_cast<std::uint32_t>(number));
    std::string hex(buffer, 8);
    if (digits >= 1 && digits <= 8) hex.erase(0, static_cast<std::size_t>(8 - digits));
    return hex;
}

std::int32_t macroRandomScale(std::int32_t n, int r) {
    return static_cast<std::int32_t>(static_cast<std::int64_t>(n) * r / 32767);
}

bool isTextFunction(ReservedWord word) {
    switch (word) {
        case ReservedWord::Not:
        case ReservedWord::Mid:
        case ReservedWord::Left:
        case ReservedWord::Right:
        case ReservedWord::Str:
        case ReservedWord::Val:
        case ReservedWord::Chr:
        case ReservedWord::Asc:
        case ReservedWord::Len:
        case ReservedWord::Trim:
        case ReservedWord::UpperCase:
        case ReservedWord::LowerCase:
        case ReservedWord::InStr:
        case ReservedWord::Hex:
        case ReservedWord::HexDec:
        case ReservedWord::DataType:
        case ReservedWord::Rnd:
        case ReservedWord::TimeDate:
            return true;
        default:
            return false;
    }
}

MacroError callTextFunction(ReservedWord word, std::span<const MacroValue> args, MacroValue& result,
                            const TextFunctionContext& context) {
    const std::string_view t = textArg(args, 0);
    const auto clampCount = [&](std::int32_t n) {
        return n < 0 ? std::size_t{0} : std::min(static_cast<std::size_t>(n), t.size());
    };
    switch (word) {
        case ReservedWord::Not:
            result = MacroValue::ofNumber(numberArg(args, 0) == 0 ? 1 : 0);
            break;
        case ReservedWord::Mid:
            result = MacroValue::ofText(macroMid(t, numberArg(args, 1), numberArg(args, 2)));
            break;
        case ReservedWord::Left:
            result = MacroValue::ofText(t.substr(0, clampCount(numberArg(args, 1))));
            break;
        case ReservedWord::Right: {
            const std::size_t n = clampCount(numberArg(args, 1));
            result = MacroValue::ofText(t.substr(t.size() - n));
            break;
        }
        case ReservedWord::Str:
            result = MacroValue::ofText(std::to_string(numberArg(args, 0)));
            break;
        case ReservedWord::Val:
            result = MacroValue::ofNumber(macroVal(t));
            break;
        case ReservedWord::Chr: {
            const char c = static_cast<char>(numberArg(args, 0) & 0xFF);
            result = MacroValue::ofText(c == 0 ? std::string_view{} : std::string_view(&c, 1));
            break;
        }
        case ReservedWord::Asc:
            result = MacroValue::ofNumber(t.empty() ? 0 : static_cast<unsigned char>(t[0]));
            break;
        case ReservedWord::Len:
            result = MacroValue::ofNumber(static_cast<std::int32_t>(t.size()));
            break;
        case ReservedWord::Trim: {
            const std::size_t first = t.find_first_not_of(' ');
            result = MacroValue::ofText(first == std::string_view::npos
                                            ? std::string_view{}
                                            : t.substr(first, t.find_last_not_of(' ') - first + 1));
            break;
        }
        case ReservedWord::UpperCase:
        case ReservedWord::LowerCase: {
            std::string s(t);
            for (char& c : s)
                c = word == ReservedWord::UpperCase ? upper(c) : lower(c);
            result = MacroValue::ofText(s);
            break;
        }
        case ReservedWord::InStr:
            result = MacroValue::ofNumber(macroInstr(numberArg(args, 0), textArg(args, 1),
                                                     textArg(args, 2), context.fixInstr));
            break;
        case ReservedWord::Hex:
            result = MacroValue::ofText(macroHex(numberArg(args, 0), numberArg(args, 1)));
            break;
        case ReservedWord::HexDec:
            result = MacroValue::ofNumber(macroHexDec(t));
            break;
        case ReservedWord::DataType: {
            std::string s(t);
            for (char& c : s) {
                const CharClass k = charClass(static_cast<std::uint8_t>(c), context.scanner);
                c = k == CharClass::Letter ? 'A' : k == CharClass::Digit ? 'N' : 'S';
            }
            result = MacroValue::ofText(s);
            break;
        }
        case ReservedWord::Rnd: {
            const int r = context.random15 ? context.random15() : 0;
            result =
                MacroValue::ofNumber(macroRandomScale(numberArg(args, 0), std::clamp(r, 0, 32767)));
            break;
        }
        case ReservedWord::TimeDate:
            result = MacroValue::ofText(timeDate(t, context));
            break;
        default:
            return MacroError::UnknownFunction;
    }
    return MacroError::None;
}

}  // namespace cedar
