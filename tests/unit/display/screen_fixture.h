// A small presentation space for display tests, filled position by position.
#pragma once

#include <string_view>

#include "screen/presentation_space.h"

namespace cedar::display::test {

class SmallScreen {
  public:
    SmallScreen(int rows, int columns) : ps_(settings_) {
        ScreenSessionOptions o;
        o.defaultRows = rows;
        o.defaultColumns = columns;
        ps_.configureSizes(o, defaultScreenModels());
        ps_.eraseScreen(SizeMode::Default);
    }
    PresentationSpace& ps() { return ps_; }
    ScreenSettings& settings() { return settings_; }

    // A field attribute (stored with the 0x80 marker) with its colour byte.
    SmallScreen& field(int p, std::uint8_t attribute, std::uint8_t color = 0,
                       std::uint8_t highlight = 0) {
        at(ps_.attributes(), p) = static_cast<std::uint8_t>(attribute | fa::kMarker);
        at(ps_.colors(), p) = color;
        at(ps_.highlights(), p) = highlight;
        at(ps_.characters(), p) = ' ';
        return *this;
    }
    SmallScreen& text(int p, std::string_view s) {
        for (char c : s)
            at(ps_.characters(), p++) = static_cast<std::uint8_t>(c);
        return *this;
    }
    SmallScreen& color(int p, std::uint8_t c) {
        at(ps_.colors(), p) = c;
        return *this;
    }
    SmallScreen& highlight(int p, std::uint8_t h) {
        at(ps_.highlights(), p) = h;
        return *this;
    }
    SmallScreen& graphicEscape(int p, std::uint8_t code) {
        at(ps_.characters(), p) = code;
        at(ps_.charsets(), p) = kGraphicEscapeCharset;
        return *this;
    }

  private:
    static std::uint8_t& at(PresentationSpace::Plane& plane, int p) {
        return plane[static_cast<std::size_t>(p)];
    }
    ScreenSettings settings_;
    PresentationSpace ps_;
};

}  // namespace cedar::display::test
