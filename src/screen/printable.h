// The printable form of a screen position: what screen prints, saved
// screens and the macro screen functions show for it.
#pragma once

#include <cstdint>

#include "screen/presentation_space.h"

namespace cedar {

// The single-byte look-alike of a graphic-escape (character set 0xF1) code.
std::uint8_t graphicEscapeLookAlike(std::uint8_t code);

// The byte shown for `position` given the field attribute in force: a blank
// for an attribute position, a null or a non-display field; the look-alike
// for a graphic-escape position; the display code otherwise.
std::uint8_t printableCode(const PresentationSpace& ps, int position,
                           std::uint8_t attributeInForce);

// The field attribute in force at `position`: that of the nearest attribute
// position at or before it (wrapping from the screen's start to its end); 0
// on a screen without fields.
std::uint8_t attributeInForce(const PresentationSpace& ps, int position);

}  // namespace cedar
