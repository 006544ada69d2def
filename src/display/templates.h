// Template expansion for the window title (WINDOWTITLE), the status text
// (STATUSLINE) and the border text (BORDERTEXT): "&NAME" references to macro
// variables, "&&" for an ampersand, and strftime-style time fields.
#pragma once

#include <cstddef>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "macro/macro_value.h"
#include "macro/scanner.h"

namespace cedar::display {

inline constexpr std::size_t kMaxTemplateText = 239;

// The value of a macro variable by its upper-case name (system variables
// computed as they are read), or nothing for an unknown name.
using TemplateLookup = std::function<std::optional<MacroValue>(std::string_view upperName)>;

// Expands `text`:
// - "&&" gives "&";
// - "&" and a name (the longest run of letters and digits as the macro
//   scanner classes them) gives the variable's value: a number in decimal, a
//   text as it is; a "." right after a known name ends the reference and is
//   dropped. An unknown name gives nothing and a "." after it stays. An "&"
//   not followed by a name stays as it is;
// - "%" sequences of the template's own text become fields of `localTime`
//   ("%%" a per cent sign). A "%" that comes from a variable's value is never
//   read as a time field, and an unknown sequence stays as written.
// The result holds at most kMaxTemplateText bytes; a longer one is cut.
std::string expandTemplate(std::string_view text, const TemplateLookup& lookup,
                           const std::tm& localTime, const ScannerOptions& scanner = {});

// One time field ("%H", "%d", ...) of `localTime`; nothing when `conversion` is not
// a conversion strftime knows.
std::optional<std::string> timeField(char conversion, const std::tm& localTime);

}  // namespace cedar::display
