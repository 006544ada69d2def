#include "display/colors.h"

#include <gtest/gtest.h>

#include "sessionfile/standard_session.h"

namespace cedar::display {
namespace {

using sessionfile::Field;

TEST(Brightness, Formula) {
    struct Case {
        int c, b, expected;
    };
    const Case cases[] = {
        {200, 128, 200}, {200, 64, 100},  {255, 0, 0}, {201, 127, 199},
        {100, 255, 255}, {100, 200, 187}, {0, 129, 2}, {255, 200, 255},
    };
    for (const auto& c : cases)
        EXPECT_EQ(applyBrightness(static_cast<std::uint8_t>(c.c), static_cast<std::uint8_t>(c.b)),
                  c.expected)
            << c.c << " at " << c.b;
}

TEST(Palette, TwentyTwoEntriesColourZeroUnchanged) {
    std::array<Rgb, 16> colors{};
    for (int i = 0; i < 16; ++i)
        colors[static_cast<std::size_t>(i)] = {static_cast<std::uint8_t>(16 * i), 128, 255};
    const auto p = buildPalette(colors, 64);
    EXPECT_EQ(p[0], colors[0]);  // COLOR0 never takes the brightness
    EXPECT_EQ(p[15], (Rgb{120, 64, 127}));
    EXPECT_EQ(p[16], (Rgb{0xE7 / 2, 0xC5 / 2, 0x9E / 2}));
    EXPECT_EQ(p[21], (Rgb{0x18 / 2, 0x3A / 2, 0x61 / 2}));
    const auto mid = buildPalette(colors, 128);
    EXPECT_EQ(mid[7], colors[7]);
    EXPECT_EQ(mid[20], Rgb::fromNumber(0x537199));
}

TEST(SessionColors, ItemIndexesAreMaskedWhenLoaded) {
    auto options = sessionfile::standardSessionOptions();
    options.setItemColors(sessionfile::kDefaultColorItem, 0xF3, 0x2A);  // a damaged file
    options.setItemColors(7, 0x7E, 0x81);
    const auto c = SessionColors::load(options);
    EXPECT_EQ(c.foreground[sessionfile::kDefaultColorItem], 0x03);
    EXPECT_EQ(c.background[sessionfile::kDefaultColorItem], 0x0A);
    EXPECT_EQ(c.defaultColorByte(), 0xA3);
    EXPECT_EQ(c.colorByte(7), 0x1E);
    for (int i = 0; i < sessionfile::kColorItems; ++i) {
        EXPECT_LT(c.foreground[static_cast<std::size_t>(i)], 16);
        EXPECT_LT(c.background[static_cast<std::size_t>(i)], 16);
    }
    EXPECT_EQ(c.colors[1],
              Rgb::fromNumber(static_cast<std::uint32_t>(options.number(Field::Color1))));
}

TEST(IconColor, BorderTakesTheIconColourOnlyFromIndexEight) {
    auto options = sessionfile::standardSessionOptions();
    options.setItemColors(sessionfile::kScreenBorderItem, 7, 12);
    const auto before3 = options.number(Field::Color3);
    EXPECT_TRUE(applyIconColor(1, true, options));
    EXPECT_EQ(options.number(Field::Color12), 0x800000);
    EXPECT_EQ(options.number(Field::Icon), 0x81);

    options.setItemColors(sessionfile::kScreenBorderItem, 7, 3);
    EXPECT_FALSE(applyIconColor(5, true, options));
    EXPECT_EQ(options.number(Field::Color3), before3);
    EXPECT_EQ(options.number(Field::Icon), 0x85);

    options.setItemColors(sessionfile::kScreenBorderItem, 7, 12);
    const auto before12 = options.number(Field::Color12);
    EXPECT_FALSE(applyIconColor(9, true, options));  // no colour: only the icon
    EXPECT_FALSE(applyIconColor(2, false, options));
    EXPECT_EQ(options.number(Field::Color12), before12);
    EXPECT_EQ(options.number(Field::Icon), 0x82);
    const auto snapshot = options;
    EXPECT_FALSE(applyIconColor(12, true, options));
    EXPECT_FALSE(applyIconColor(-1, true, options));
    EXPECT_EQ(options, snapshot);
}

TEST(ColorScheme, ByNameInAnyCase) {
    auto options = sessionfile::standardSessionOptions();
    options.setItemColors(sessionfile::kScreenBorderItem, 7, 9);
    EXPECT_EQ(colorSchemeByName("magenta", options), 6);
    EXPECT_EQ(options.number(Field::Color9), 0x800080);
    EXPECT_EQ(colorSchemeByName("Gray", options), 0);
    EXPECT_EQ(options.number(Field::Color9), 0x404040);
    const auto snapshot = options;
    for (const char* unknown : {"PURPLE", "", "GREY", "RED "})
        EXPECT_EQ(colorSchemeByName(unknown, options), std::nullopt) << unknown;
    EXPECT_EQ(options, snapshot);
}

}  // namespace
}  // namespace cedar::display
