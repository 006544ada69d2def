#include "keyboard_events.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace cedar::test {

namespace {

constexpr int kXkbOffset = 8;

Qt::KeyboardModifiers qtModifiers(const Held& held) {
    Qt::KeyboardModifiers m;
    if (held.shift) m |= Qt::ShiftModifier;
    if (held.altGr) m |= Qt::GroupSwitchModifier;
    if (held.alt) m |= Qt::AltModifier;
    return m;
}

bool send(QWidget& w, QEvent::Type type, const PhysicalKey& key, const Held& held,
          bool autoRepeat) {
    QKeyEvent e(type, key.qtKey, qtModifiers(held),
                static_cast<quint32>(key.inputCode + kXkbOffset), 0, nativeState(held), key.text,
                autoRepeat);
    QCoreApplication::sendEvent(&w, &e);
    return e.isAccepted();
}

}  // namespace

namespace keys_us {
const PhysicalKey kShift{42, Qt::Key_Shift, ""};
const PhysicalKey kAltGr{100, Qt::Key_AltGr, ""};
const PhysicalKey kAlt{56, Qt::Key_Alt, ""};
const PhysicalKey kEnter{28, Qt::Key_Return, "\r"};
const PhysicalKey kTab{15, Qt::Key_Tab, "\t"};
const PhysicalKey kCapsLock{58, Qt::Key_CapsLock, ""};
const PhysicalKey kNumLock{69, Qt::Key_NumLock, ""};
const PhysicalKey kPrint{99, Qt::Key_Print, ""};
const PhysicalKey kF1{59, Qt::Key_F1, ""};
const PhysicalKey kA{30, Qt::Key_A, "a"};
const PhysicalKey kE{18, Qt::Key_E, "e"};
const PhysicalKey kX{45, Qt::Key_X, "x"};
}  // namespace keys_us

KeyboardWidget::KeyboardWidget(keys::qt::KeyboardInput& input) : input_(input) {
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setFocusPolicy(Qt::StrongFocus);
}

bool KeyboardWidget::event(QEvent* e) {
    if (input_.handleEvent(e)) return true;
    return QWidget::event(e);
}

quint32 nativeState(const Held& held) {
    quint32 s = 0;
    if (held.shift) s |= 0x01;
    if (held.capsLock) s |= 0x02;
    if (held.numLock) s |= 0x10;
    if (held.alt) s |= 0x08;    // Mod1
    if (held.altGr) s |= 0x80;  // Mod5: ISO level 3
    return s;
}

bool press(QWidget& w, const PhysicalKey& key, const Held& held, bool autoRepeat) {
    return send(w, QEvent::KeyPress, key, held, autoRepeat);
}

bool release(QWidget& w, const PhysicalKey& key, const Held& held) {
    return send(w, QEvent::KeyRelease, key, held, false);
}

void stroke(QWidget& w, const PhysicalKey& key, const Held& held) {
    Held now{.capsLock = held.capsLock, .numLock = held.numLock};
    if (held.shift) {
        press(w, keys_us::kShift, now);
        now.shift = true;
    }
    if (held.alt) {
        press(w, keys_us::kAlt, now);
        now.alt = true;
    }
    if (held.altGr) {
        press(w, keys_us::kAltGr, now);
        now.altGr = true;
    }
    press(w, key, now);
    release(w, key, now);
    if (held.altGr) {
        release(w, keys_us::kAltGr, now);
        now.altGr = false;
    }
    if (held.alt) {
        release(w, keys_us::kAlt, now);
        now.alt = false;
    }
    if (held.shift) release(w, keys_us::kShift, now);
}

}  // namespace cedar::test
