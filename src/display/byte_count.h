// Byte counts as the status line and the transfer progress show them, in the
// three BigNumberFormat modes.
#pragma once

#include <cstdint>
#include <string>

namespace cedar::display {

// The separators a count is written with. What the user reads takes them
// from the user's locale (one byte each; the caller maps a separator that
// has no single-byte form to a blank); what files and traces keep uses
// cLocale().
struct NumberSeparators {
    char group = ',';
    char decimal = '.';

    static constexpr NumberSeparators cLocale() { return {',', '.'}; }
};

enum class BigNumberFormat : std::uint8_t {
    Plain = 0,    // 1234567
    Grouped = 1,  // 1,234,567
    Scaled = 2,   // 1.234K, 1.234M
};

// The text of `count` in `mode`. Grouped and Scaled read a negative count as
// its digits after a "-" (Scaled then writes it plainly). Scaled writes 1000
// as "1.000K", and from a thousand millions on the whole millions in full
// followed by "M".
std::string formatByteCount(std::int64_t count, BigNumberFormat mode,
                            const NumberSeparators& separators);

}  // namespace cedar::display
