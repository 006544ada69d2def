// Display codes to the characters the terminal face draws. Display codes
// are Windows-1252 bytes, except the 3270 symbols the keyboard writes (DUP
// 0x8E, FIELD MARK 0x8F), which are drawn as the overscored asterisk and
// semicolon a 3270 shows, and the graphic-escape set, which goes through the
// screen module's code page 310 table.
#pragma once

#include <cstdint>

namespace cedar::display::qt {

struct CellGlyph {
    char32_t character = U' ';  // blank when the code has no character
    bool overscore = false;     // a line over the cell's top (DUP, FIELD MARK)
};

inline constexpr std::uint8_t kDupCode = 0x8E;
inline constexpr std::uint8_t kFieldMarkCode = 0x8F;

CellGlyph sessionGlyph(std::uint8_t displayCode);
CellGlyph graphicEscapeGlyph(std::uint8_t code);

}  // namespace cedar::display::qt
