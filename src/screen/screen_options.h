// The program settings and session options that change how host data is
// applied to the presentation space. The session fills these from cedar.ini
// and the session file; the data-stream code only reads them.
#pragma once

#include <array>
#include <cstdint>

namespace cedar {

struct ScreenSettings {
    bool ignoreInvalidSba = false;      // "IgnoreInvalidSBA"
    bool ignoreInvalidWrite = false;    // "IgnoreInvalidWrite"
    bool cmdChaining = false;           // "CmdChaining"
    bool wang = false;                  // "Wang"
    bool colorModifyField = false;      // "ColorModifyField"
    bool wordWrapAlways = false;        // "WordWrapAlways"
    bool wordWrapDefault = false;       // "WordWrapDefault"
    bool alwaysUpdateTranTime = false;  // "AlwaysUpdateTranTime"
};

// Colour items of the session: for item i the palette index of its foreground
// and background. Items 0..15 are the host colours 0xF0..0xFF, 16..19 the four
// field classes (unprotected/protected x normal/intensified), 20 the default.
struct ColorItems {
    std::array<std::uint8_t, 32> foreground{};
    std::array<std::uint8_t, 32> background{};

    static constexpr int kLowUnprotected = 16;
    static constexpr int kHighUnprotected = 17;
    static constexpr int kLowProtected = 18;
    static constexpr int kHighProtected = 19;
    static constexpr int kDefaultColor = 20;

    // Colour byte of an item: background index x 16 + foreground index.
    std::uint8_t colorByte(int item) const {
        return static_cast<std::uint8_t>(((background[item] & 0x0F) << 4) |
                                         (foreground[item] & 0x0F));
    }

    // A set where every item is distinguishable; sessions load their own.
    static ColorItems defaults();
};

// Session options the data stream consults.
struct ScreenSessionOptions {
    int defaultRows = 24;
    int defaultColumns = 80;
    int modelIndex = 0;  // 0..3 = models 2..5, 4 = user-defined size
    int userRows = 24;
    int userColumns = 80;
    bool convertNullsToBlanks = false;  // "CONVERTNULLSTOBLANKS"
    ColorItems colors = ColorItems::defaults();
};

}  // namespace cedar
