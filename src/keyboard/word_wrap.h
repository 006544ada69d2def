// Typing word wrap: text typed into a block of rows that share their field
// layout flows from row to row like a paragraph.
//
// Around the position p of the last typing or deleting key (row r): the
// block is row r and the rows below it whose attribute layout equals row
// r's, restricted to the columns between the attribute positions around p
// (at least 20 columns, at least 2 rows). The range is the part of the block
// that belongs to the paragraph: it ends at a row that is blank (or starts
// with a null), or before a row with no blank at all. A reflow collects the
// range's text and lays it out again from row r, moving every word that
// would touch the last column to the next row; that column stays blank.
//
// A reflow never loses text: when the text does not fit the range, nothing
// is changed and the result says so (the caller refuses the keystroke). A
// word longer than a row is broken at the row's end.
#pragma once

#include "screen/presentation_space.h"

namespace cedar::keys {

enum class WrapMode {
    Typing,    // after a typed character: reflows only when a word reached the last column
    Deleting,  // after Delete, DeleteWord and the deleting Backspace: always reflows
};

struct WrapResult {
    enum class Kind {
        None,         // nothing to do: no block, no range, or nothing reached the last column
        CursorMoved,  // a blank typed into the last column: the cursor goes to the next row
        Reflowed,     // the range's text was laid out again
        Overflow,     // the text would not fit: the screen is unchanged
    };
    Kind kind = Kind::None;
    int cursor = -1;              // the new cursor, or -1 when it stays
    bool switchInsertOn = false;  // the cursor followed a moved word
};

WrapResult wordWrap(PresentationSpace& ps, int p, WrapMode mode);

}  // namespace cedar::keys
