// The session's colours: sixteen palette colours and a brightness make a
// 22-entry palette; colour items name the palette indexes (foreground and
// background) of each kind of thing drawn. Everything painted names a
// palette index, so one palette change recolours the whole window.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "sessionfile/session_options.h"

namespace cedar::display {

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    bool operator==(const Rgb&) const = default;
    static Rgb fromNumber(std::uint32_t rgb) {
        return {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                static_cast<std::uint8_t>(rgb)};
    }
};

inline constexpr int kPaletteSize = 22;
using Palette = std::array<Rgb, kPaletteSize>;

// One colour component under a brightness (128 leaves it unchanged).
std::uint8_t applyBrightness(std::uint8_t component, std::uint8_t brightness);

// Entry 0 is colors[0] unchanged; 1..15 the session colours and 16..21 the
// six fixed button colours, all under the brightness.
Palette buildPalette(const std::array<Rgb, 16>& colors, std::uint8_t brightness);

// The colour data of a session as the display uses it. Item indexes are
// masked to 0..15 when loaded, so a damaged session file never indexes past
// the palette.
struct SessionColors {
    std::array<Rgb, 16> colors{};
    std::uint8_t brightness = 128;
    std::array<std::uint8_t, sessionfile::kColorItems> foreground{};
    std::array<std::uint8_t, sessionfile::kColorItems> background{};

    static SessionColors load(const sessionfile::SessionOptions& options);
    Palette palette() const { return buildPalette(colors, brightness); }
    // Colour byte of an item: background x 16 + foreground.
    std::uint8_t colorByte(int item) const;
    std::uint8_t defaultColorByte() const { return colorByte(sessionfile::kDefaultColorItem); }
};

// Icons 0..7 carry a colour (red x 65536 + green x 256 + blue); 8..11 none.
inline constexpr int kIconCount = 12;
std::optional<std::uint32_t> iconColor(int icon);

// Makes `icon` the session's icon and, for icons 0..7 with `useForBorder`
// when the "Screen Border" background index is 8 or above, that palette
// colour becomes the icon's colour. True when a palette colour changed (the
// caller rebuilds the palette, repaints and saves). Icons outside 0..11 are
// ignored.
bool applyIconColor(int icon, bool useForBorder, sessionfile::SessionOptions& options);

// The /C option: GRAY, RED, YELLOW, GREEN, CYAN, BLUE, MAGENTA or BLACK in
// any case selects icon 0..7 and its border colour. The icon chosen, or
// nothing for an unknown name (then nothing changes).
std::optional<int> colorSchemeByName(std::string_view name, sessionfile::SessionOptions& options);

}  // namespace cedar::display
