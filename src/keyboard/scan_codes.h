// Physical keys: set-1 scan codes and the virtual-key codes that the key
// input reads its tables with.
//
// A key is named by its set-1 scan code and the extended flag (the E0
// prefix). Its virtual-key code is the one the key has on a US keyboard,
// with three exceptions the caller applies (see letterVirtualKey): a key that
// types a letter A-Z takes that letter's code whatever its position, so the
// letters of QWERTZ and AZERTY keyboards find their keys; and a key at a US
// letter position that types no letter takes the code of the ";" key (the
// comma of AZERTY, whose M sits where US has ";").
#pragma once

#include <cstdint>
#include <optional>

namespace cedar::keys {

struct ScanCode {
    std::uint8_t code = 0;  // set 1, without the E0 prefix
    bool extended = false;

    bool operator==(const ScanCode&) const = default;
};

// Virtual-key codes the key input treats specially.
namespace vk {
inline constexpr std::uint8_t kBackspace = 0x08;
inline constexpr std::uint8_t kEnter = 0x0D;
inline constexpr std::uint8_t kShift = 0x10;
inline constexpr std::uint8_t kControl = 0x11;
inline constexpr std::uint8_t kAlt = 0x12;
inline constexpr std::uint8_t kPause = 0x13;
inline constexpr std::uint8_t kCapsLock = 0x14;
inline constexpr std::uint8_t kPrintScreen = 0x2C;
inline constexpr std::uint8_t kNumLock = 0x90;
inline constexpr std::uint8_t kSemicolon = 0xBA;
inline constexpr std::uint8_t kNone = 0xFF;
}  // namespace vk

// Scan code of a Linux input-event key code (on X11 the key code less 8);
// nothing for keys without one.
std::optional<ScanCode> scanCodeOfInputCode(int inputCode);

// The US virtual-key code of a key; the keypad's digit keys give their digit
// codes with Num Lock on and their navigation codes with it off. vk::kNone
// for keys without one.
std::uint8_t usVirtualKey(ScanCode key, bool numLockOn);

// The key's virtual-key code when it types `unshifted` without modifiers
// (0 when unknown): a letter a-z or A-Z gives the letter's code; a key at a
// US letter position typing something else gives vk::kSemicolon; otherwise
// `usCode` stands.
std::uint8_t letterVirtualKey(std::uint8_t usCode, char32_t unshifted);

}  // namespace cedar::keys
