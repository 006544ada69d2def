#include "display/colors.h"

#include <cctype>
#include <string>

namespace cedar::display {

namespace {

using sessionfile::Field;

constexpr std::array<std::uint32_t, 6> kButtonColors = {0xE7C59E, 0xAC8E66, 0xCBB8A3,
                                                        0x8C6F4F, 0x537199, 0x183A61};
constexpr std::array<std::uint32_t, 8> kIconColors = {0x404040, 0x800000, 0x808000, 0x008000,
                                                      0x008080, 0x000080, 0x800080, 0x000000};
constexpr std::array<std::string_view, 8> kSchemeNames = {"GRAY", "RED",  "YELLOW",  "GREEN",
                                                          "CYAN", "BLUE", "MAGENTA", "BLACK"};

Field colorField(int index) {
    return static_cast<Field>(static_cast<int>(Field::Color0) + index);
}

}  // namespace

std::uint8_t applyBrightness(std::uint8_t component, std::uint8_t brightness) {
    const int c = component;
    const int b = brightness;
    if (b <= 128) return static_cast<std::uint8_t>(c * b / 128);
    return static_cast<std::uint8_t>(c + (255 - c) * (b - 128) / 127);
}

Palette buildPalette(const std::array<Rgb, 16>& colors, std::uint8_t brightness) {
    Palette p{};
    auto adjust = [brightness](Rgb c) {
        return Rgb{applyBrightness(c.r, brightness), applyBrightness(c.g, brightness),
                   applyBrightness(c.b, brightness)};
    };
    p[0] = colors[0];
    for (std::size_t i = 1; i < 16; ++i)
        p[i] = adjust(colors[i]);
    for (std::size_t i = 0; i < kButtonColors.size(); ++i)
        p[16 + i] = adjust(Rgb::fromNumber(kButtonColors[i]));
    return p;
}

SessionColors SessionColors::load(const sessionfile::SessionOptions& options) {
    SessionColors c;
    for (int i = 0; i < 16; ++i)
        c.colors[static_cast<std::size_t>(i)] =
            Rgb::fromNumber(static_cast<std::uint32_t>(options.number(colorField(i))));
    c.brightness = static_cast<std::uint8_t>(options.number(Field::Brightness));
    for (int i = 0; i < sessionfile::kColorItems; ++i) {
        c.foreground[static_cast<std::size_t>(i)] = options.itemForeground(i) & 0x0F;
        c.background[static_cast<std::size_t>(i)] = options.itemBackground(i) & 0x0F;
    }
    return c;
}

std::uint8_t SessionColors::colorByte(int item) const {
    const auto i = static_cast<std::size_t>(item & 0x1F);
    return static_cast<std::uint8_t>(((background[i] & 0x0F) << 4) | (foreground[i] & 0x0F));
}

std::optional<std::uint32_t> iconColor(int icon) {
    if (icon < 0 || icon >= static_cast<int>(kIconColors.size())) return std::nullopt;
    return kIconColors[static_cast<std::size_t>(icon)];
}

bool applyIconColor(int icon, bool useForBorder, sessionfile::SessionOptions& options) {
    if (icon < 0 || icon >= kIconCount) return false;
    options.setNumber(Field::Icon, icon + 0x80);
    const auto color = iconColor(icon);
    const int border = options.itemBackground(sessionfile::kScreenBorderItem) & 0x0F;
    if (!color || !useForBorder || border < 8) return false;
    options.setNumber(colorField(border), *color);
    return true;
}

std::optional<int> colorSchemeByName(std::string_view name, sessionfile::SessionOptions& options) {
    std::string upper(name);
    for (char& ch : upper)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    for (std::size_t i = 0; i < kSchemeNames.size(); ++i) {
        if (upper != kSchemeNames[i]) continue;
        applyIconColor(static_cast<int>(i), true, options);
        return static_cast<int>(i);
    }
    return std::nullopt;
}

}  // namespace cedar::display
