// Qt key events in the key input's terms: the physical key, its virtual-key
// code and the window system's lock state.
#pragma once

#include <QKeyEvent>
#include <array>
#include <optional>

#include "keyboard/key_input.h"

namespace cedar::keys::qt {

// The physical key of an event: from the native scan code (on X11 and
// Wayland the XKB key code, the Linux input code + 8), or, for events
// without one (synthesized ones), from the Qt key.
std::optional<ScanCode> scanCodeOf(const QKeyEvent& event);

// Caps Lock and Num Lock as the window system reported them with the event
// (XKB's Lock and Mod2 bits of the native modifiers); nothing when the
// event carries no native state.
struct LockState {
    bool capsLock = false;
    bool numLock = false;
};
std::optional<LockState> lockStateOf(const QKeyEvent& event);

// A character as the display code (Windows-1252) has it; 0 when it has none.
std::uint8_t displayCodeOf(char32_t c);

// What each physical key types without modifiers, learned from the events:
// letters decide a key's virtual-key code (QWERTZ, AZERTY).
class UnshiftedCharacters {
  public:
    // Learns from an event without modifiers; then the key's unshifted
    // character, or what the event's Qt key says of a letter, or 0.
    char32_t of(const QKeyEvent& event, ScanCode scan);

  private:
    std::array<char32_t, 512> known_{};
};

// The key message of an event.
RawKey rawKeyOf(const QKeyEvent& event, ScanCode scan, bool numLockOn,
                UnshiftedCharacters& unshifted);

}  // namespace cedar::keys::qt
