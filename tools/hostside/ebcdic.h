// The host side's view of 3270 bytes: EBCDIC code page 037 for the printable
// ASCII characters, and buffer addresses in the 12- and 14-bit forms of the
// 3270 data stream. Shared by the demo host and the test hosts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cedar::hostside {

// Code page 037 of printable ASCII; other characters become "?".
std::uint8_t toEbcdic(char ascii);
std::vector<std::uint8_t> toEbcdic(std::string_view ascii);
// Code page 037 back to ASCII; codes without a printable ASCII character
// (nulls among them) become blanks.
char fromEbcdic(std::uint8_t code);
std::string fromEbcdic(const std::uint8_t* data, std::size_t length);

// The address bytes of `position`: the 12-bit form up to 4095 unless
// `fourteenBit`, else the 14-bit form.
std::vector<std::uint8_t> encodeAddress(int position, bool fourteenBit = false);
// The graphic code of a six-bit value (field attributes, 12-bit addresses).
std::uint8_t graphicCode(std::uint8_t sixBits);
// Either form back to a position.
int decodeAddress(std::uint8_t first, std::uint8_t second);

}  // namespace cedar::hostside
