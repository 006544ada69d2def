// Hand-built key events as X11 delivers them (QTest's key clicks carry no
// scan code): the XKB key code, the XKB modifier state, the Qt key and the
// text the layout gives, sent to a terminal widget stand-in that forwards
// its events to a KeyboardInput.
#pragma once

#include <QString>
#include <QWidget>
#include <string>
#include <vector>

#include "keyboard/qt/keyboard_input.h"

namespace cedar::test {

// One physical key as a layout reports it.
struct PhysicalKey {
    int inputCode;  // Linux input code (XKB key code - 8)
    int qtKey;      // what Qt reports the layout's symbol as
    QString text;   // the text of the event ("" for dead keys)
};

struct Held {
    bool shift = false;
    bool altGr = false;
    bool alt = false;       // the left Alt key
    bool capsLock = false;  // the window system's lock state
    bool numLock = false;
};

// The terminal widget as far as the keyboard goes.
class KeyboardWidget : public QWidget {
  public:
    explicit KeyboardWidget(keys::qt::KeyboardInput& input);
    bool event(QEvent* e) override;

  private:
    keys::qt::KeyboardInput& input_;
};

// XKB modifier state bits.
quint32 nativeState(const Held& held);

// Sends a press (or an X11 auto-repeat press) and returns whether it was taken.
bool press(QWidget& w, const PhysicalKey& key, const Held& held, bool autoRepeat = false);
bool release(QWidget& w, const PhysicalKey& key, const Held& held);
// Presses the modifier keys held, presses and releases the key, releases them.
void stroke(QWidget& w, const PhysicalKey& key, const Held& held = {});

namespace keys_us {
extern const PhysicalKey kShift, kAltGr, kAlt, kEnter, kTab, kCapsLock, kNumLock, kPrint, kF1, kA,
    kE, kX;
}

}  // namespace cedar::test
