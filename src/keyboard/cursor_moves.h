// Where the cursor-movement key functions put the cursor. Pure functions of
// the presentation space: each takes the cursor position and returns the
// new one; none of them changes the screen. All position arithmetic wraps
// around the screen.
#pragma once

#include "screen/presentation_space.h"

namespace cedar::keys {

// Tab: the first position of the next input field (empty fields are
// skipped), or 0 when there is none.
int tabFrom(const PresentationSpace& ps, int cursor);
// BackTab: the first position of the input field that holds the position
// before the cursor, or of the previous one from a field's first position;
// 0 when there is none.
int backTabFrom(const PresentationSpace& ps, int cursor);
// Home: the first input field of the screen, or 0.
int homePosition(const PresentationSpace& ps);
// NewLine: column 0 of the next row, moved on to an input field when it is
// an attribute position or lies in a protected field.
int newLineFrom(const PresentationSpace& ps, int cursor);
// EndField: just after the last non-blank character of the field (on an
// unformatted screen, of the screen).
int endFieldFrom(const PresentationSpace& ps, int cursor);
// WordLeft and WordRight: the first character of the previous or next word
// (a word is a run of characters above 0x20; fields do not matter).
int wordLeftFrom(const PresentationSpace& ps, int cursor);
int wordRightFrom(const PresentationSpace& ps, int cursor);
// LineHome: the first input position of the cursor's row, if on that row.
int lineHomeFrom(const PresentationSpace& ps, int cursor);
// PreviousLine: the first input position of the nearest row above.
int previousLineFrom(const PresentationSpace& ps, int cursor);
// BottomLine: the first input position of the lowest row that has one.
int bottomLine(const PresentationSpace& ps);

// The last position of the field that holds `position`: the position before
// the next attribute position, wrapping round the screen; on an unformatted
// screen, the last position of the screen.
int fieldLastPosition(const PresentationSpace& ps, int position);
// The attribute position of the field holding `position`, or -1 on an
// unformatted screen. Unlike PresentationSpace::findField it changes nothing.
int fieldOf(const PresentationSpace& ps, int position);
// `position` lies in a protected field (or is a protected attribute position).
bool inProtectedField(const PresentationSpace& ps, int position);

}  // namespace cedar::keys
