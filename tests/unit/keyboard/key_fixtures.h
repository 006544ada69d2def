// Builders of key-list and layout-file bytes for the tests.
#pragma once

#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "keyboard/layout_file.h"

namespace cedar::keys::test {

using Bytes = std::vector<std::uint8_t>;

// A copy whose heap block is exactly its size, so a read past the end is caught
// by AddressSanitizer.
inline Bytes exact(const Bytes& b) {
    return Bytes(b.begin(), b.end());
}

inline Bytes readData(const std::string& name) {
    std::ifstream in(std::string(CEDAR_KEYS_DATA_DIR) + "/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

inline void put16(Bytes& b, std::size_t at, unsigned v) {
    b[at] = static_cast<std::uint8_t>(v & 0xFF);
    b[at + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
}

inline Bytes headerBytes(LayoutType type, const std::string& version = "V1.26") {
    auto h = layoutHeader(type);
    Bytes out(h.begin(), h.end());
    std::copy(version.begin(), version.end(), out.begin() + 6 + layoutTypeName(type).size() + 1);
    return out;
}

// The NUL-separated list ended by an empty name.
inline Bytes macroList(const std::vector<std::string>& names) {
    Bytes out;
    for (const auto& n : names) {
        out.insert(out.end(), n.begin(), n.end());
        out.push_back(0);
    }
    out.push_back(0);
    return out;
}

// A keyboard file: `keys` entries, each word (key << 8 | column) so that words are
// distinguishable, then `tail` (normally a macro list).
inline Bytes keyboardFile(const std::string& version, int keys, const Bytes& tail) {
    Bytes out = headerBytes(LayoutType::Keyboard, version);
    const std::size_t map = out.size();
    out.resize(map + static_cast<std::size_t>(keys) * 8);
    for (int k = 0; k < keys; ++k)
        for (int c = 0; c < 4; ++c)
            put16(out, map + static_cast<std::size_t>(k * 8 + c * 2),
                  editKey(Edit::Tab, kAssigned) + static_cast<unsigned>(c));
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
}

inline Bytes buttonEntry(std::uint8_t flags, int x, int y, std::array<KeyWord, 4> words,
                         std::size_t pictureBytes = 8) {
    Bytes e(kButtonPictureOffset + pictureBytes, 0xAB);
    e[0] = flags;
    e[1] = 0;
    put16(e, 2, static_cast<unsigned>(x));
    put16(e, 4, static_cast<unsigned>(y));
    put16(e, 6, static_cast<unsigned>(e.size()));
    for (std::size_t c = 0; c < 4; ++c)
        put16(e, 8 + c * 2, words[c]);
    return e;
}

// A button block (without header): flags, count, list offset, entries, list.
inline Bytes buttonBlock(std::uint8_t flags, const std::vector<Bytes>& entries, const Bytes& list) {
    Bytes b(kButtonBlockHeaderSize, 0);
    b[0] = flags;
    b[1] = static_cast<std::uint8_t>(entries.size());
    for (const Bytes& e : entries)
        b.insert(b.end(), e.begin(), e.end());
    put16(b, 2, static_cast<unsigned>(b.size()));
    b.insert(b.end(), list.begin(), list.end());
    return b;
}

inline Bytes withHeader(LayoutType type, const Bytes& block, const std::string& version = "V1.26") {
    Bytes out = headerBytes(type, version);
    out.insert(out.end(), block.begin(), block.end());
    return out;
}

}  // namespace cedar::keys::test
