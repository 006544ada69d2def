#include "keyboard/qt/qt_keys.h"

namespace cedar::keys::qt {

namespace {

// XKB modifier bits of the native modifiers.
constexpr quint32 kXkbLock = 0x02;
constexpr quint32 kXkbMod2 = 0x10;  // Num Lock
constexpr int kXkbKeycodeOffset = 8;

// Scan codes of Qt keys, for events that carry no native scan code.
struct QtKeyScan {
    int key;
    ScanCode scan;
};
constexpr QtKeyScan kQtKeys[] = {
    {Qt::Key_Escape, {0x01, false}},    {Qt::Key_Backspace, {0x0E, false}},
    {Qt::Key_Tab, {0x0F, false}},       {Qt::Key_Backtab, {0x0F, false}},
    {Qt::Key_Return, {0x1C, false}},    {Qt::Key_Enter, {0x1C, true}},
    {Qt::Key_Space, {0x39, false}},     {Qt::Key_Home, {0x47, true}},
    {Qt::Key_Up, {0x48, true}},         {Qt::Key_PageUp, {0x49, true}},
    {Qt::Key_Left, {0x4B, true}},       {Qt::Key_Right, {0x4D, true}},
    {Qt::Key_End, {0x4F, true}},        {Qt::Key_Down, {0x50, true}},
    {Qt::Key_PageDown, {0x51, true}},   {Qt::Key_Insert, {0x52, true}},
    {Qt::Key_Delete, {0x53, true}},     {Qt::Key_Minus, {0x0C, false}},
    {Qt::Key_Equal, {0x0D, false}},     {Qt::Key_Comma, {0x33, false}},
    {Qt::Key_Period, {0x34, false}},    {Qt::Key_Slash, {0x35, false}},
    {Qt::Key_Semicolon, {0x27, false}}, {Qt::Key_Apostrophe, {0x28, false}},
    {Qt::Key_Shift, {0x2A, false}},     {Qt::Key_Control, {0x1D, false}},
    {Qt::Key_Alt, {0x38, false}},       {Qt::Key_CapsLock, {0x3A, false}},
    {Qt::Key_NumLock, {0x45, true}},    {Qt::Key_Pause, {0x45, false}},
    {Qt::Key_Print, {0x37, true}},      {Qt::Key_ScrollLock, {0x46, false}},
};
constexpr char kLetterRow[] = "QWERTYUIOPASDFGHJKLZXCVBNM";
constexpr std::uint8_t kLetterScan[] = {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18,
                                        0x19, 0x1E, 0x1F, 0x20, 0x21, 0x22, 0x23, 0x24, 0x25,
                                        0x26, 0x2C, 0x2D, 0x2E, 0x2F, 0x30, 0x31, 0x32};

// Windows-1252 bytes 80-9F.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

std::optional<ScanCode> fromQtKey(int key) {
    for (const auto& k : kQtKeys)
        if (k.key == key) return k.scan;
    if (key >= Qt::Key_F1 && key <= Qt::Key_F10)
        return ScanCode{static_cast<std::uint8_t>(0x3B + key - Qt::Key_F1), false};
    if (key == Qt::Key_F11) return ScanCode{0x57, false};
    if (key == Qt::Key_F12) return ScanCode{0x58, false};
    if (key >= Qt::Key_1 && key <= Qt::Key_9)
        return ScanCode{static_cast<std::uint8_t>(0x02 + key - Qt::Key_1), false};
    if (key == Qt::Key_0) return ScanCode{0x0B, false};
    for (int i = 0; kLetterRow[i] != '\0'; ++i)
        if (key == kLetterRow[i]) return ScanCode{kLetterScan[i], false};
    return std::nullopt;
}

char32_t lowerLatin1(char32_t c) {
    if ((c >= U'A' && c <= U'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
    return c;
}

}  // namespace

std::optional<ScanCode> scanCodeOf(const QKeyEvent& event) {
    const quint32 native = event.nativeScanCode();
    if (native > kXkbKeycodeOffset) return scanCodeOfInputCode(static_cast<int>(native) - 8);
    return fromQtKey(event.key());
}

std::optional<LockState> lockStateOf(const QKeyEvent& event) {
    if (event.nativeScanCode() == 0) return std::nullopt;
    const quint32 mods = event.nativeModifiers();
    return LockState{(mods & kXkbLock) != 0, (mods & kXkbMod2) != 0};
}

std::uint8_t displayCodeOf(char32_t c) {
    if (c >= 0x20 && c < 0x7F) return static_cast<std::uint8_t>(c);
    if (c >= 0xA0 && c <= 0xFF) return static_cast<std::uint8_t>(c);
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] != 0 && kCp1252High[i] == c) return static_cast<std::uint8_t>(0x80 + i);
    return 0;
}

char32_t UnshiftedCharacters::of(const QKeyEvent& event, ScanCode scan) {
    const std::size_t slot = scan.code + (scan.extended ? 256u : 0u);
    const auto mods = event.modifiers() & ~Qt::KeypadModifier;
    const QString text = event.text();
    if (mods == Qt::NoModifier && text.size() == 1 && text[0].unicode() >= 0x20)
        known_[slot] = lowerLatin1(text[0].unicode());
    if (known_[slot] != 0) return known_[slot];
    const int key = event.key();
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<char32_t>(U'a' + key - Qt::Key_A);
    return 0;
}

RawKey rawKeyOf(const QKeyEvent& event, ScanCode scan, bool numLockOn,
                UnshiftedCharacters& unshifted) {
    RawKey key;
    key.scan = scan;
    key.virtualKey = letterVirtualKey(usVirtualKey(scan, numLockOn), unshifted.of(event, scan));
    const auto mods = event.modifiers();
    key.shift = (mods & Qt::ShiftModifier) != 0;
    key.ctrl = (mods & Qt::ControlModifier) != 0;
    key.alt = (mods & Qt::AltModifier) != 0;
    key.previousDown = event.isAutoRepeat();
    return key;
}

}  // namespace cedar::keys::qt
