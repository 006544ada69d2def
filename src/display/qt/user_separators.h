// The separators of the user's locale for what the user reads (byte counts
// on the status line and in transfer progress), as single bytes.
#pragma once

#include <QLocale>

#include "display/byte_count.h"

namespace cedar::display::qt {

// The first character of the locale's group and decimal separators. Spaces
// of every width become a blank and typographic apostrophes "'"; any other
// character outside Latin-1 (an Arabic comma) becomes a blank for the group
// and "." for the decimal point.
NumberSeparators userSeparators(const QLocale& locale = QLocale());

}  // namespace cedar::display::qt
