#include "display/qt/glyphs.h"

#include "screen/graphic_escape.h"

namespace cedar::display::qt {

namespace {

// Windows-1252 0x80..0x9F; 0 where the code page leaves a byte unassigned
// (0x81, 0x8D, 0x8F, 0x90, 0x9D), which the terminal shows as a blank.
constexpr char32_t kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

}  // namespace

CellGlyph sessionGlyph(std::uint8_t c) {
    if (c == kDupCode) return {U'*', true};
    if (c == kFieldMarkCode) return {U';', true};
    if (c < 0x20) return {};
    if (c >= 0x80 && c < 0xA0) {
        const char32_t u = kHigh[c - 0x80];
        return {u != 0 ? u : U' ', false};
    }
    return {static_cast<char32_t>(c), false};
}

CellGlyph graphicEscapeGlyph(std::uint8_t code) {
    const char32_t u = graphicEscapeToUnicode(code);
    return {u != 0 ? u : U' ', false};
}

}  // namespace cedar::display::qt
