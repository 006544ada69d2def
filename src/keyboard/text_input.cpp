#include "keyboard/text_input.h"

#include <cstdint>

namespace cedar::keys {

namespace {

// Code points of Windows-1252's 0x80..0x9F (0 = undefined there).
constexpr char16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char displayCodeOf(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] != 0 && kHigh[i] == cp) return static_cast<char>(0x80 + i);
    return '?';
}

}  // namespace

std::string utf8ToDisplay(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<std::uint8_t>(utf8[i]);
        int length = 0;
        char32_t cp = 0;
        if (lead < 0x80) {
            length = 1;
            cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            cp = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            cp = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            cp = lead & 0x07;
        }
        bool valid = length != 0 && i + static_cast<std::size_t>(length) <= utf8.size();
        for (int k = 1; valid && k < length; ++k) {
            const auto b = static_cast<std::uint8_t>(utf8[i + static_cast<std::size_t>(k)]);
            if ((b & 0xC0) != 0x80) valid = false;
            cp = (cp << 6) | (b & 0x3F);
        }
        if (!valid) {
            out += '?';
            ++i;
            continue;
        }
        i += static_cast<std::size_t>(length);
        if (cp < 0x20 || cp == 0x7F) continue;
        out += displayCodeOf(cp);
    }
    return out;
}

}  // namespace cedar::keys
