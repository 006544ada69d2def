// Shared by the layout-file sources: little-endian access and the checks of a
// block's structure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "keyboard/layout_file.h"

namespace cedar::keys::layout_detail {

inline std::uint16_t get16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
inline void set16(std::span<std::uint8_t> b, std::size_t at, unsigned value) {
    b[at] = static_cast<std::uint8_t>(value & 0xFF);
    b[at + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

struct BlockShape {
    std::size_t listOffset = 0;
    std::size_t listEnd = 0;  // just after the closing empty name
    int macroCount = 0;
};

// The macro-name list starting at `offset`: closed within `body`, at most 256 names.
std::optional<BlockShape> checkMacroList(std::span<const std::uint8_t> body, std::size_t offset);
// Where a button block's macro-name list starts, after checking that the
// header and every entry lie before it.
std::optional<std::size_t> checkButtonEntries(std::span<const std::uint8_t> body);
// The whole block of a type.
std::optional<BlockShape> checkBlock(std::span<const std::uint8_t> body, LayoutType type,
                                     int keyCount);

}  // namespace cedar::keys::layout_detail
