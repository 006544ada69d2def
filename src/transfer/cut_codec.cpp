#include "transfer/cut_codec.h"

#include "screen/code_pages.h"
#include "screen/presentation_space.h"

namespace cedar::cut {
namespace {

constexpr int kNoByte = -1;

constexpr std::size_t classIndex(std::uint8_t shift) {
    switch (shift) {
        case kShiftControl:
            return 0;
        case kShiftIdentity:
            return 1;
        case kShift7D:
            return 2;
        default:
            return 3;
    }
}

// For each class, the PC byte of each code (kNoByte where the class has none).
using DecodeTables = std::array<std::array<std::int16_t, 256>, 4>;

constexpr DecodeTables buildDecodeTables() {
    DecodeTables t{};
    for (auto& table : t)
        for (auto& e : table)
            e = kNoByte;
    for (int b = 0; b < 256; ++b) {
        const auto i = static_cast<std::size_t>(b);
        t[classIndex(kShiftClass[i])][kCode[i]] = static_cast<std::int16_t>(b);
    }
    return t;
}

constexpr bool codesDistinctInEachClass() {
    std::array<std::array<bool, 256>, 4> seen{};
    for (std::size_t b = 0; b < 256; ++b) {
        bool& s = seen[classIndex(kShiftClass[b])][kCode[b]];
        if (s) return false;
        s = true;
    }
    return true;
}

constexpr bool identityClassKeepsItsBytes() {
    for (std::size_t b = 0; b < 256; ++b)
        if (kShiftClass[b] == kShiftIdentity && kCode[b] != b) return false;
    return true;
}

static_assert(codesDistinctInEachClass(), "a class holds the same code twice");
static_assert(identityClassKeepsItsBytes(), "a byte of the 0x5E class is coded as another");
static_assert(kAlphabet.size() == 64);

constexpr DecodeTables kDecode = buildDecodeTables();

bool isShift(std::uint8_t b) {
    return b == kShiftControl || b == kShiftIdentity || b == kShift7D || b == kShift7E;
}

}  // namespace

std::size_t Encoder::encode(std::span<const std::uint8_t> pc, std::size_t room,
                            std::vector<std::uint8_t>& out) {
    std::size_t taken = 0;
    for (std::uint8_t b : pc) {
        const std::uint8_t cls = kShiftClass[b];
        const std::size_t need = cls == shift_ ? 1 : 2;
        if (need > room) break;
        if (cls != shift_) out.push_back(cls);
        out.push_back(kCode[b]);
        shift_ = cls;
        room -= need;
        ++taken;
    }
    return taken;
}

std::uint8_t checksum(std::span<const std::uint8_t> encoded) {
    std::uint8_t sum = 0;
    for (std::uint8_t b : encoded)
        sum ^= b;
    return sum;
}

std::array<std::uint8_t, 3> frameHeader(std::uint8_t sum, std::size_t length,
                                        const CodePages& codePages) {
    auto host = [&](std::size_t six) {
        return codePages.displayToHost(static_cast<std::uint8_t>(kAlphabet[six & 0x3F]));
    };
    return {host(sum), host(length >> 6), host(length)};
}

DecodeResult decode(std::span<const std::uint8_t> data, std::uint8_t& shift, std::size_t capacity,
                    const CodePages& codePages, std::vector<std::uint8_t>& out) {
    const std::size_t start = out.size();
    for (std::size_t i = 0; i < data.size(); ++i) {
        const std::uint8_t b = data[i];
        if (b == kEndOfData) break;
        if (b == kRepeat) {
            if (i + 3 >= data.size()) return {DecodeError::ShortRepeat, i};
            const int stop = PresentationSpace::decodeAddressBytes(data[i + 1], data[i + 2]);
            const std::size_t written = out.size() - start;
            if (stop < 0 || static_cast<std::size_t>(stop) < written ||
                static_cast<std::size_t>(stop) > capacity)
                return {DecodeError::RepeatOutOfRange, i};
            out.insert(out.end(), static_cast<std::size_t>(stop) - written,
                       codePages.hostToDisplay(data[i + 3]));
            i += 3;
            continue;
        }
        if (isShift(b)) {
            shift = b;
            continue;
        }
        if (shift == kNoShift) return {DecodeError::NoShift, i};
        if (shift == kShiftControl && b == kControlFiller) continue;
        const std::int16_t pc = shift == kShiftIdentity ? b : kDecode[classIndex(shift)][b];
        if (pc == kNoByte) return {DecodeError::UnknownCode, i};
        if (out.size() - start >= capacity) return {DecodeError::TooLong, i};
        out.push_back(static_cast<std::uint8_t>(pc));
    }
    return {};
}

std::string_view describe(DecodeError error) {
    switch (error) {
        case DecodeError::None:
            return "no error";
        case DecodeError::NoShift:
            return "data before any shift character";
        case DecodeError::UnknownCode:
            return "a character that is not a code of its shift";
        case DecodeError::ShortRepeat:
            return "a repeat order cut short";
        case DecodeError::RepeatOutOfRange:
            return "a repeat to an address outside the frame";
        case DecodeError::TooLong:
            return "more data than the screen holds";
    }
    return "unknown error";
}

}  // namespace cedar::cut
