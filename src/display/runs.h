// The runs of a row: neighbouring cells that share colour, highlighting and
// character set, each painted with one fill and one text call. Built from
// the presentation space's planes; the display codes stay Windows-1252
// bytes here and become glyphs only where they are drawn.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "screen/presentation_space.h"

namespace cedar::display {

// Bits of a highlight byte as painting reads it.
namespace paint_hl {
constexpr std::uint8_t kBlink = 0x01;
constexpr std::uint8_t kReverse = 0x02;
constexpr std::uint8_t kUnderscore = 0x04;
constexpr std::uint8_t kMark = 0x80;  // Find match or selection
}  // namespace paint_hl

struct PaintSettings {
    std::uint8_t defaultColorByte = 0x04;  // item "Default Color"
    std::uint8_t findForeground = 6;       // foreground index of "Find Highlighting"
    bool history = false;                  // a screen from the history is shown: background 9
    bool blinkBlank = false;               // this tick blanks blinking text (BLINKINGTEXT 0)
    bool allUpperCase = false;             // ALLUPPERCASE
    bool showAttributes = false;           // ShowAttributes mode: "." at attribute positions
    bool displayByField = false;           // DisplayByField: attribute cells filled with colour 0
    bool wang = false;                     // "Wang": only codes up to 0x0A are blanks
};

struct Run {
    int row = 0;
    int column = 0;
    int count = 0;
    std::uint8_t foreground = 0;  // palette indexes after Find, HISTORY and reverse video
    std::uint8_t background = 0;
    bool graphicEscape = false;  // the graphic-escape face instead of the session face
    bool underline = false;
    bool fillOnly = false;  // DisplayByField: a fill in `background`, no text
    std::string bytes;      // display codes, `count` of them (empty when fillOnly)
    bool operator==(const Run&) const = default;
};

// The field values painting carries from position to position.
struct FieldPaint {
    std::uint8_t color = 0;
    std::uint8_t highlight = 0;
    bool nonDisplay = false;
};

// The field in force just before `position`: the nearest attribute position
// before it, searching back and wrapping from the end of the screen. No
// field on an unformatted screen.
FieldPaint fieldBefore(const PresentationSpace& ps, int position);

// Palette indexes for a run's colour and highlight bytes.
struct CellColors {
    std::uint8_t foreground;
    std::uint8_t background;
};
CellColors runColors(std::uint8_t colorByte, std::uint8_t highlight, const PaintSettings& s);

// Runs of rows first..last (inclusive, clamped to the screen), in row order
// and left to right; the DisplayByField fills follow each row's runs.
std::vector<Run> paintRows(const PresentationSpace& ps, const PaintSettings& s, int firstRow,
                           int lastRow);

// The colour byte a position is painted with (its own, its field's, or the default).
std::uint8_t effectiveColorByte(const PresentationSpace& ps, const PaintSettings& s, int position);

}  // namespace cedar::display
