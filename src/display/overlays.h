// What is drawn over the painted screen: the cursor in its shapes and sizes,
// the ruler lines, the selection outline, the locate animation, the cursor's
// colours, and the border band text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "display/colors.h"

namespace cedar::display {

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Rect&) const = default;
    bool empty() const { return width <= 0 || height <= 0; }
};

struct CellSize {
    int width = 0;
    int height = 0;
    bool operator==(const CellSize&) const = default;
};

// RULER bits.
inline constexpr int kRulerHorizontal = 1;
inline constexpr int kRulerVertical = 2;

struct CursorStyle {
    int shape = 0;  // 0 horizontal bar (cell bottom), 1 vertical bar (cell left edge)
    int size = 0;   // 0..2: 1..3 pixels; 3..6: cell / 8, / 4, / 2, whole cell
    int blink = 0;  // 0 none, 1 slow, 2 fast
};

// Bar thickness for a size value along a cell dimension (at least 1 pixel).
int cursorThickness(int size, int cellDimension);

// The cursor rectangle of cell (column, row).
Rect cursorRect(CellSize cell, int column, int row, const CursorStyle& style, int ruler,
                bool testRulerFix);

// Ruler lines through the cursor cell, one pixel thick, across the terminal
// (columns x rows cells). Empty when the RULER bit is off.
Rect horizontalRuler(CellSize cell, int row, int columns, int ruler, bool testRulerFix);
Rect verticalRuler(CellSize cell, int column, int rows, int ruler);

// The lines TestRulerFix adds with RULER bit 0: along the left edge down to
// the terminal height and along the bottom to the terminal width + 1.
struct RulerFixLines {
    Rect left;
    Rect bottom;
};
RulerFixLines rulerFixLines(CellSize cell, int columns, int rows);

// The outline of a selection box whose corner cells are given (in either
// order); it runs on the cell edges with the larger corner included.
Rect selectionOutline(CellSize cell, int column1, int row1, int column2, int row2);

// The locate animation's rectangle at step 0..5: the cursor cell, grown by
// 0, 2, 4, 6, 4, 2 pixels on every side with LOCATECURSOR 1.
Rect locateRect(CellSize cell, int column, int row, int step, int locateMode);
inline constexpr int kLocateSteps = 6;

// Cursor blink: whether tick 0..5 of a second toggles the cursor.
bool cursorBlinkToggles(int blink, int tick);

// How the cursor cell is coloured for CURSORCOLOR 0..5.
struct CursorPaint {
    enum class Kind { Invert, TwoColor, Xor };
    Kind kind = Kind::Invert;
    // TwoColor: cell pixels in the cell's own background become `background`,
    // the others `text`.
    Rgb background;
    Rgb text;
    // Xor: palette index combined with the cell.
    int xorIndex = 0;
};
// `cellColorByte` is the colour byte painted at the cursor (mode 1), or that
// of its field's attribute position, else the default (mode 2). Colour bytes
// 0..15 look up the foreground of host colour item 0..15; any other byte
// uses its own foreground nibble.
CursorPaint cursorPaint(int cursorColor, std::uint8_t cellColorByte, const SessionColors& colors,
                        const Palette& palette);

// The border band text for BORDERTEXT (already expanded): a leading "." is
// dropped and the rest shown once; otherwise as many copies, each followed by
// five blanks, as fit with every copy ending within 390 characters. Never
// longer than 390 characters: a longer text is cut there.
inline constexpr std::size_t kBorderTextLimit = 390;
std::string borderBandText(std::string_view text);

}  // namespace cedar::display
