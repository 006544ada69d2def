#include "display/templates.h"

#include <array>

namespace cedar::display {

namespace {

// The conversions of C and POSIX strftime without modifiers.
constexpr std::string_view kTimeConversions = "aAbBcCdDeFgGhHIjmMnprRStTuUVwWxXyYzZ%";

bool isNameByte(char c, const ScannerOptions& options) {
    const CharClass k = charClass(static_cast<std::uint8_t>(c), options);
    return k == CharClass::Letter || k == CharClass::Digit;
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Appends the template's own text with its time fields expanded.
void appendLiteral(std::string& out, std::string_view literal, const std::tm& localTime) {
    for (std::size_t i = 0; i < literal.size(); ++i) {
        const char c = literal[i];
        if (c == '%' && i + 1 < literal.size()) {
            if (auto field = timeField(literal[i + 1], localTime)) {
                out += *field;
                ++i;
                continue;
            }
        }
        out += c;
    }
}

}  // namespace

std::optional<std::string> timeField(char conversion, const std::tm& localTime) {
    if (conversion == '\0' || kTimeConversions.find(conversion) == std::string_view::npos)
        return std::nullopt;
    const std::array<char, 3> format = {'%', conversion, '\0'};
    std::array<char, 128> buffer{};
    const std::size_t n = std::strftime(buffer.data(), buffer.size(), format.data(), &localTime);
    return std::string(buffer.data(), n);
}

std::string expandTemplate(std::string_view text, const TemplateLookup& lookup,
                           const std::tm& localTime, const ScannerOptions& scanner) {
    std::string out;
    std::size_t literalStart = 0;
    std::size_t i = 0;
    // Stops early once the result is long enough to be cut anyway.
    while (i < text.size() && out.size() <= kMaxTemplateText) {
        if (text[i] != '&') {
            ++i;
            continue;
        }
        appendLiteral(out, text.substr(literalStart, i - literalStart), localTime);
        if (i + 1 < text.size() && text[i + 1] == '&') {
            out += '&';
            i += 2;
            literalStart = i;
            continue;
        }
        std::size_t end = i + 1;
        while (end < text.size() && isNameByte(text[end], scanner))
            ++end;
        if (end == i + 1) {  // no name: the "&" is text
            out += '&';
            literalStart = i = end;
            continue;
        }
        std::string name;
        name.reserve(end - i - 1);
        for (std::size_t k = i + 1; k < end; ++k)
            name += upper(text[k]);
        std::optional<MacroValue> value = lookup ? lookup(name) : std::nullopt;
        if (value) {
            if (value->isNumber())
                out += std::to_string(value->number);
            else if (value->isText())
                out += value->text.view();
            if (end < text.size() && text[end] == '.') ++end;
        }
        literalStart = i = end;
    }
    if (literalStart < text.size() && out.size() <= kMaxTemplateText)
        appendLiteral(out, text.substr(literalStart, i - literalStart), localTime);
    if (out.size() > kMaxTemplateText) out.resize(kMaxTemplateText);
    return out;
}

}  // namespace cedar::display
