#include "display/byte_count.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace cedar::display {

namespace {

// `value` with three decimals, C-locale digits and point (single precision,
// as the count's scale is shown).
std::string threeDecimals(float value) {
    std::array<char, 64> buffer{};
    const auto r = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                 std::chars_format::fixed, 3);
    return std::string(buffer.data(), r.ptr);
}

std::string grouped(std::int64_t count, char group) {
    const bool negative = count < 0;
    // The magnitude of the smallest int64 does not fit an int64.
    std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(count) : static_cast<std::uint64_t>(count);
    const std::string digits = std::to_string(magnitude);
    std::string out = negative ? "-" : "";
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += group;
        out += digits[i];
    }
    return out;
}

}  // namespace

std::string formatByteCount(std::int64_t count, BigNumberFormat mode,
                            const NumberSeparators& separators) {
    switch (mode) {
        case BigNumberFormat::Grouped:
            return grouped(count, separators.group);
        case BigNumberFormat::Scaled: {
            if (count < 1000) return std::to_string(count);
            if (count < 1'000'000) {
                // The "K" form keeps its "." whatever the locale.
                std::string text = threeDecimals(static_cast<float>(count) / 1000.0f);
                text.resize(std::min<std::size_t>(text.size(), 5));
                return text + "K";
            }
            std::string text = threeDecimals(static_cast<float>(count) / 1'000'000.0f);
            // The point is the formatter's own "."; when the whole millions
            // take four digits or more, they are written in full before "M"
            // (cutting them would understate the count).
            const std::size_t point = text.find('.');
            std::string out = point >= 4 ? text.substr(0, point) : text.substr(0, 5);
            out += 'M';
            for (char& c : out)
                if (c == '.') c = separators.decimal;
            return out;
        }
        case BigNumberFormat::Plain:
        default:
            return std::to_string(count);
    }
}

}  // namespace cedar::display
