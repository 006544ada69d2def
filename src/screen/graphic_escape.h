// Characters written by Graphic Escape (the APL / text graphics set, code
// page 310) as Unicode code points: the box-drawing pieces and the APL
// symbols. The display draws them from the 3270 face; the text outputs
// (copy, screen text, saved screens) use the same table.
#pragma once

#include <cstdint>

namespace cedar {

// The Unicode code point for a graphic-escape code, or 0 when the code has no
// character of its own in the set (the caller shows it as a blank).
char32_t graphicEscapeToUnicode(std::uint8_t code);

}  // namespace cedar
