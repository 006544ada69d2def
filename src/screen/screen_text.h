// Plain-text views of the presentation space: what the operator sees, the
// field list and the cursor. Used by the replay tool, the headless session
// and tests.
#pragma once

#include <string>
#include <vector>

#include "screen/presentation_space.h"

namespace cedar {

// The printable display code of a position: nulls, attribute positions and
// the characters of non-display fields become blanks.
std::vector<std::string> screenRows(const PresentationSpace& ps);

struct FieldInfo {
    int position;            // the attribute position
    std::uint8_t attribute;  // without the 0x80 marker
    int length;              // character positions up to the next attribute
};
std::vector<FieldInfo> fieldList(const PresentationSpace& ps);

// "row,column" of the cursor, both counted from 1, and a one-line field summary.
std::string describeField(const FieldInfo& field, const PresentationSpace& ps);

// Windows-1252 display codes to UTF-8 for a terminal.
std::string cp1252ToUtf8(const std::string& text);

// The rows of screenRows() as UTF-8, as the operator sees them: display codes
// read as Windows-1252, and characters of the graphic-escape set (Graphic
// Escape, or character set 0xF1) as their box-drawing or APL characters; a
// code of that set without a character of its own is a blank.
std::vector<std::string> screenRowsUtf8(const PresentationSpace& ps);

}  // namespace cedar
