// The printable form of a position: blanks for what the operator cannot
// read, look-alikes for the graphic-escape set, and the field attribute in
// force found backwards across the screen's wrap.
#include "screen/printable.h"

#include <gtest/gtest.h>

namespace cedar {
namespace {

TEST(Printable, LookAlikeTableSamples) {
    const struct {
        std::uint8_t code, lookAlike;
    } cases[] = {
        {0x00, 0x20}, {0x1F, 0x20}, {0x41, 0x41}, {0x51, 0x4A}, {0x62, 0x53}, {0x70, 0x4F},
        {0x85, 0x7C}, {0xA5, 0xA5}, {0xC0, 0x7B}, {0xD1, 0x29}, {0xEB, 0x5C}, {0xFF, 0xFF},
    };
    for (const auto& c : cases)
        EXPECT_EQ(graphicEscapeLookAlike(c.code), c.lookAlike) << int(c.code);
}

TEST(Printable, PositionsAndTheAttributeInForce) {
    PresentationSpace ps{ScreenSettings{}};
    const int last = ps.positions() - 1;
    EXPECT_EQ(attributeInForce(ps, 5), 0) << "a screen without fields";
    ps.attributes()[last - 1] = fa::kMarker | fa::kNonDisplay;  // wraps to the start
    ps.attributes()[10] = fa::kMarker;
    ps.characters()[3] = 'S';
    ps.characters()[11] = 'V';
    ps.characters()[12] = 0x85;
    ps.charsets()[12] = kGraphicEscapeCharset;
    EXPECT_EQ(attributeInForce(ps, 3), fa::kMarker | fa::kNonDisplay);
    EXPECT_EQ(attributeInForce(ps, 11), fa::kMarker);
    EXPECT_EQ(attributeInForce(ps, -4), attributeInForce(ps, 0))
        << "off the screen reads position 0";
    EXPECT_EQ(printableCode(ps, 3, attributeInForce(ps, 3)), ' ');
    EXPECT_EQ(printableCode(ps, 10, fa::kMarker), ' ') << "the attribute position";
    EXPECT_EQ(printableCode(ps, 11, fa::kMarker), 'V');
    EXPECT_EQ(printableCode(ps, 12, fa::kMarker), 0x7C);
    EXPECT_EQ(printableCode(ps, 13, fa::kMarker), ' ') << "a null";
    EXPECT_EQ(printableCode(ps, ps.positions(), fa::kMarker), ' ');
}

}  // namespace
}  // namespace cedar
