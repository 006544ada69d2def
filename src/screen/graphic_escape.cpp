#include "screen/graphic_escape.h"

#include <array>

namespace cedar {

namespace {

struct Entry {
    std::uint8_t code;
    char32_t unicode;
};

// Code page 310. The underscored letters A..Z have no single code point and
// are shown as their capitals.
constexpr Entry kEntries[] = {
    {0x40, U' '},      {0x70, U'\u25CA'}, {0x71, U'\u2227'}, {0x72, U'\u00A8'}, {0x73, U'\u233B'},
    {0x74, U'\u2378'}, {0x75, U'\u2377'}, {0x76, U'\u22A2'}, {0x77, U'\u22A3'}, {0x78, U'\u2228'},
    {0x80, U'\u223C'}, {0x8A, U'\u2191'}, {0x8B, U'\u2193'}, {0x8C, U'\u2264'}, {0x8D, U'\u2308'},
    {0x8E, U'\u230A'}, {0x8F, U'\u2192'}, {0x90, U'\u2395'}, {0x91, U'\u258C'}, {0x92, U'\u2590'},
    {0x93, U'\u2580'}, {0x94, U'\u2584'}, {0x95, U'\u2588'}, {0x9A, U'\u2283'}, {0x9B, U'\u2282'},
    {0x9C, U'\u00A4'}, {0x9D, U'\u25CB'}, {0x9E, U'\u00B1'}, {0x9F, U'\u2190'}, {0xA0, U'\u00AF'},
    {0xA1, U'\u00B0'}, {0xA2, U'\u2500'}, {0xA3, U'\u2219'}, {0xAA, U'\u2229'}, {0xAB, U'\u222A'},
    {0xAC, U'\u22A5'}, {0xAD, U'['},      {0xAE, U'\u2265'}, {0xAF, U'\u2218'}, {0xB0, U'\u237A'},
    {0xB1, U'\u220A'}, {0xB2, U'\u2373'}, {0xB3, U'\u2374'}, {0xB4, U'\u2375'}, {0xB6, U'\u00D7'},
    {0xB7, U'\\'},     {0xB8, U'\u00F7'}, {0xBA, U'\u2207'}, {0xBB, U'\u2206'}, {0xBC, U'\u22A4'},
    {0xBD, U']'},      {0xBE, U'\u2260'}, {0xBF, U'\u2502'}, {0xC0, U'{'},      {0xC2, U'+'},
    {0xC3, U'\u220E'}, {0xC4, U'\u2514'}, {0xC5, U'\u250C'}, {0xC6, U'\u251C'}, {0xC7, U'\u2534'},
    {0xC8, U'\u00A7'}, {0xCA, U'\u2372'}, {0xCB, U'\u2371'}, {0xCC, U'\u2337'}, {0xCD, U'\u233D'},
    {0xCE, U'\u2342'}, {0xCF, U'\u2349'}, {0xD0, U'}'},      {0xD2, U'-'},      {0xD3, U'\u253C'},
    {0xD4, U'\u2518'}, {0xD5, U'\u2510'}, {0xD6, U'\u2524'}, {0xD7, U'\u252C'}, {0xD8, U'\u00B6'},
    {0xDA, U'\u2336'}, {0xDB, U'!'},      {0xDC, U'\u2352'}, {0xDD, U'\u234B'}, {0xDE, U'\u235E'},
    {0xDF, U'\u235D'}, {0xE0, U'\u2261'}, {0xEA, U'\u2340'}, {0xEB, U'\u233F'}, {0xEC, U'\u2355'},
    {0xED, U'\u234E'}, {0xF0, U'\u2070'}, {0xF1, U'\u00B9'}, {0xF2, U'\u00B2'}, {0xF3, U'\u00B3'},
    {0xF4, U'\u2074'}, {0xF5, U'\u2075'}, {0xF6, U'\u2076'}, {0xF7, U'\u2077'}, {0xF8, U'\u2078'},
    {0xF9, U'\u2079'}, {0xFB, U'\u2359'}, {0xFC, U'\u235F'}, {0xFD, U'\u234E'},
};

constexpr std::array<char32_t, 256> buildTable() {
    std::array<char32_t, 256> t{};
    const char* const letters1 = "ABCDEFGHI";
    const char* const letters2 = "JKLMNOPQR";
    const char* const letters3 = "STUVWXYZ";
    for (int i = 0; i < 9; ++i) {
        t[static_cast<std::size_t>(0x41 + i)] = static_cast<char32_t>(letters1[i]);
        t[static_cast<std::size_t>(0x51 + i)] = static_cast<char32_t>(letters2[i]);
    }
    for (int i = 0; i < 8; ++i)
        t[static_cast<std::size_t>(0x62 + i)] = static_cast<char32_t>(letters3[i]);
    for (int i = 0; i < 9; ++i)  // subscript digits 1..9
        t[static_cast<std::size_t>(0xE1 + i)] = static_cast<char32_t>(0x2081 + i);
    for (const auto& e : kEntries)
        t[e.code] = e.unicode;
    return t;
}

constexpr std::array<char32_t, 256> kTable = buildTable();

}  // namespace

char32_t graphicEscapeToUnicode(std::uint8_t code) {
    return kTable[code];
}

}  // namespace cedar
