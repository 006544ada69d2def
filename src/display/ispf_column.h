// The data column of an ISPF edit or browse panel under the cursor: the
// column of the edited or browsed file that the status line's position text
// shows in place of the screen column (MODIFYCOLINISPFEDIT).
#pragma once

#include <optional>

#include "screen/presentation_space.h"

namespace cedar::display {

// The data column (from 1) for a cursor at `row`, `column` (from 0), when the
// screen shows an ISPF edit or browse panel whose data area holds the cursor;
// nothing otherwise. Only 80- and 132-column screens are examined:
// - 80 columns: split lines (".  .  .  ." in columns 1 to 10) above the
//   cursor start the cursor's logical screen after them; the panel title
//   ("EDIT", "VIEW", "BROWSE", ...) at its row 2 or row 0 and the first
//   column number of the title line give the data column;
// - 132 columns: the title at row 2 or row 0 of the screen, or, when a "."
//   within the first 30 columns of row 3 marks a second panel side by side
//   whose title stands at row 2 two columns right of it, that panel alone.
std::optional<int> ispfDataColumn(const PresentationSpace& ps, int row, int column);

}  // namespace cedar::display
