// The coding of file data in CUT-mode frames, as the host sees it: every
// terminal byte travels as a displayable 3270 code, preceded by a shift
// character (0x5C, 0x5E, 0x7D or 0x7E) whenever its shift class differs from
// the previous byte's. The checksum and the length travel as characters of a
// 64-character alphabet.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace cedar::hostside::cut {

using Bytes = std::vector<std::uint8_t>;

// The shift class and code of one terminal byte.
std::uint8_t shiftOf(std::uint8_t byte);
std::uint8_t codeOf(std::uint8_t byte);

// Terminal bytes to frame bytes.
Bytes encode(std::span<const std::uint8_t> data);
// Frame bytes back to terminal bytes; nothing when a code has no byte in its
// shift class or a code comes before any shift. In the 0x5E class every code
// stands for itself (terminals send more bytes that way than the table's).
// `shift` is the shift in force before the first byte (0: none yet) and is
// left at the last one: a terminal may carry it from one frame to the next.
std::optional<Bytes> decode(std::span<const std::uint8_t> encoded, std::uint8_t& shift);

// XOR of the encoded bytes.
std::uint8_t checksum(std::span<const std::uint8_t> encoded);
// The host code of a six-bit value in the frame alphabet, and back (-1 when
// the code is not in the alphabet).
std::uint8_t alphabetCode(std::uint8_t sixBits);
int alphabetValue(std::uint8_t code);

// Lowercase letters that number the host's request frames: b, c, ... z, a, b ...
std::uint8_t frameId(unsigned sequence);

}  // namespace cedar::hostside::cut
