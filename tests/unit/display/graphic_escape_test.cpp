#include "screen/graphic_escape.h"

#include <gtest/gtest.h>

#include <set>

namespace cedar {
namespace {

TEST(GraphicEscape, BoxDrawingPieces) {
    struct Case {
        std::uint8_t code;
        char32_t unicode;
    };
    const Case cases[] = {
        {0xC5, U'\u250C'}, {0xD5, U'\u2510'}, {0xC4, U'\u2514'}, {0xD4, U'\u2518'},
        {0xA2, U'\u2500'}, {0xBF, U'\u2502'}, {0xD3, U'\u253C'}, {0xC6, U'\u251C'},
        {0xD6, U'\u2524'}, {0xD7, U'\u252C'}, {0xC7, U'\u2534'},
    };
    for (const auto& c : cases)
        EXPECT_EQ(graphicEscapeToUnicode(c.code), c.unicode) << std::hex << int{c.code};
}

TEST(GraphicEscape, AplSymbolsAndUnassignedCodes) {
    EXPECT_EQ(graphicEscapeToUnicode(0x90), U'\u2395');  // quad
    EXPECT_EQ(graphicEscapeToUnicode(0xB0), U'\u237A');  // alpha
    EXPECT_EQ(graphicEscapeToUnicode(0xBA), U'\u2207');  // del
    EXPECT_EQ(graphicEscapeToUnicode(0x41), U'A');       // underscored A shown as A
    EXPECT_EQ(graphicEscapeToUnicode(0x69), U'Z');
    EXPECT_EQ(graphicEscapeToUnicode(0x00), 0u);
    EXPECT_EQ(graphicEscapeToUnicode(0xFF), 0u);
    // Nothing maps into the control range, and box pieces are never letters.
    for (int c = 0; c < 256; ++c) {
        const char32_t u = graphicEscapeToUnicode(static_cast<std::uint8_t>(c));
        EXPECT_TRUE(u == 0 || u >= 0x20) << c;
        EXPECT_FALSE(u >= 0x80 && u < 0xA0) << c;
    }
}

}  // namespace
}  // namespace cedar
