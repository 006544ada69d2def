// Set-1 scan codes and their US virtual-key codes.
#include "keyboard/scan_codes.h"

#include <array>

namespace cedar::keys {

namespace {

// Virtual-key codes of the scan codes without the E0 prefix (0 = none).
constexpr std::array<std::uint8_t, 0x59> kPlain = {
    // 00-0F: -, Esc, 1..0, - =, Backspace, Tab
    0x00, 0x1B, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x30, 0xBD, 0xBB, 0x08, 0x09,
    // 10-1F: Q..P, [ ], Enter, Ctrl, A S
    0x51, 0x57, 0x45, 0x52, 0x54, 0x59, 0x55, 0x49, 0x4F, 0x50, 0xDB, 0xDD, 0x0D, 0x11, 0x41, 0x53,
    // 20-2F: D..L, ; ' `, left Shift, \, Z X C V
    0x44, 0x46, 0x47, 0x48, 0x4A, 0x4B, 0x4C, 0xBA, 0xDE, 0xC0, 0x10, 0xDC, 0x5A, 0x58, 0x43, 0x56,
    // 30-3F: B N M , . /, right Shift, keypad *, Alt, Space, Caps Lock, F1..F5
    0x42, 0x4E, 0x4D, 0xBC, 0xBE, 0xBF, 0x10, 0x6A, 0x12, 0x20, 0x14, 0x70, 0x71, 0x72, 0x73, 0x74,
    // 40-4F: F6..F10, Pause, Scroll Lock, keypad 7 8 9 - 4 5 6 + 1
    0x75, 0x76, 0x77, 0x78, 0x79, 0x13, 0x91, 0x24, 0x26, 0x21, 0x6D, 0x25, 0x0C, 0x27, 0x6B, 0x23,
    // 50-58: keypad 2 3 0 ., -, -, the key left of Z, F11, F12
    0x28, 0x22, 0x2D, 0x2E, 0x00, 0x00, 0xE2, 0x7A, 0x7B};

// The keypad keys with Num Lock on: scan code -> digit code.
struct KeypadDigit {
    std::uint8_t scan;
    std::uint8_t code;
};
constexpr std::array<KeypadDigit, 11> kKeypadDigits = {{{0x47, 0x67},
                                                        {0x48, 0x68},
                                                        {0x49, 0x69},
                                                        {0x4B, 0x64},
                                                        {0x4C, 0x65},
                                                        {0x4D, 0x66},
                                                        {0x4F, 0x61},
                                                        {0x50, 0x62},
                                                        {0x51, 0x63},
                                                        {0x52, 0x60},
                                                        {0x53, 0x6E}}};

// Scan codes with the E0 prefix.
struct Extended {
    std::uint8_t scan;
    std::uint8_t code;
};
constexpr std::array<Extended, 19> kExtended = {{
    {0x1C, 0x0D},  // keypad Enter
    {0x1D, 0x11},  // right Ctrl
    {0x35, 0x6F},  // keypad /
    {0x37, 0x2C},  // Print Screen
    {0x38, 0x12},  // right Alt
    {0x45, 0x90},  // Num Lock
    {0x47, 0x24},  // Home
    {0x48, 0x26},  // Up
    {0x49, 0x21},  // Page Up
    {0x4B, 0x25},  // Left
    {0x4D, 0x27},  // Right
    {0x4F, 0x23},  // End
    {0x50, 0x28},  // Down
    {0x51, 0x22},  // Page Down
    {0x52, 0x2D},  // Insert
    {0x53, 0x2E},  // Delete
    {0x5B, 0x5B},  // left Windows
    {0x5C, 0x5C},  // right Windows
    {0x5D, 0x5D},  // Menu
}};

// Linux input key codes that differ from their scan code.
struct InputKey {
    int input;
    ScanCode scan;
};
constexpr std::array<InputKey, 21> kInputKeys = {{
    {69, {0x45, true}},    // Num Lock
    {96, {0x1C, true}},    // keypad Enter
    {97, {0x1D, true}},    // right Ctrl
    {98, {0x35, true}},    // keypad /
    {99, {0x37, true}},    // Print Screen
    {100, {0x38, true}},   // right Alt
    {102, {0x47, true}},   // Home
    {103, {0x48, true}},   // Up
    {104, {0x49, true}},   // Page Up
    {105, {0x4B, true}},   // Left
    {106, {0x4D, true}},   // Right
    {107, {0x4F, true}},   // End
    {108, {0x50, true}},   // Down
    {109, {0x51, true}},   // Page Down
    {110, {0x52, true}},   // Insert
    {111, {0x53, true}},   // Delete
    {119, {0x45, false}},  // Pause
    {125, {0x5B, true}},   // left Windows
    {126, {0x5C, true}},   // right Windows
    {127, {0x5D, true}},   // Menu
    {84, {0x00, false}},   // (none)
}};

bool usLetterPosition(std::uint8_t code) {
    return code >= 'A' && code <= 'Z';
}

}  // namespace

std::optional<ScanCode> scanCodeOfInputCode(int inputCode) {
    for (const auto& k : kInputKeys)
        if (k.input == inputCode)
            return k.scan.code == 0 ? std::nullopt : std::optional<ScanCode>(k.scan);
    // The main block, F1-F12 and the keypad keep their set-1 codes.
    if (inputCode >= 1 && inputCode <= 88 && inputCode != 84 && inputCode != 85)
        return ScanCode{static_cast<std::uint8_t>(inputCode), false};
    return std::nullopt;
}

std::uint8_t usVirtualKey(ScanCode key, bool numLockOn) {
    if (key.extended) {
        for (const auto& e : kExtended)
            if (e.scan == key.code) return e.code;
        return vk::kNone;
    }
    if (numLockOn)
        for (const auto& d : kKeypadDigits)
            if (d.scan == key.code) return d.code;
    if (key.code >= kPlain.size() || kPlain[key.code] == 0) return vk::kNone;
    return kPlain[key.code];
}

std::uint8_t letterVirtualKey(std::uint8_t usCode, char32_t unshifted) {
    if (unshifted >= U'a' && unshifted <= U'z') return static_cast<std::uint8_t>(unshifted - 0x20);
    if (unshifted >= U'A' && unshifted <= U'Z') return static_cast<std::uint8_t>(unshifted);
    if (usLetterPosition(usCode) && unshifted != 0) return vk::kSemicolon;
    return usCode;
}

}  // namespace cedar::keys
