// The terminal window's keyboard: Qt key, wheel and focus events handed to
// the key input core (key_input.h).
//
// The widget that owns the keyboard focus forwards its events here, best
// from its event() override (handleEvent), so that Tab and Backtab reach the
// keyboard map instead of Qt's focus chain and key combinations are not
// taken as shortcuts. The widget must have the input method off
// (setAttribute(Qt::WA_InputMethodEnabled, false)): dead keys then arrive
// as keys and the country file composes them.
//
// Caps Lock and Num Lock: the state comes with each key event (XKB's Lock
// and Num Lock modifier bits of the native modifiers, on X11 and Wayland).
// The window system's lock cannot be switched off from here: when the key
// input asks for that (a lock key mapped to another function), the terminal
// treats the lock as off until the window system's lock goes off too.
// Events without native state (synthesized ones) keep a logical state that
// the lock keys toggle.
#pragma once

#include <QEvent>
#include <QKeyEvent>
#include <QWheelEvent>
#include <bitset>

#include "keyboard/key_input.h"
#include "keyboard/qt/qt_keys.h"

namespace cedar::keys::qt {

class KeyboardInput : private KeyInputUi {
  public:
    // `ui`: the rest of the user interface around the keyboard (status line,
    // toolbar, sounds, messages); null does nothing. The context's parts,
    // `macros` and `ui` must outlive this.
    KeyboardInput(const KeyInputContext& context, KeyInputMacros* macros = nullptr,
                  KeyInputUi* ui = nullptr);

    // KeyPress, KeyRelease, ShortcutOverride, Wheel, FocusIn, FocusOut;
    // true when the event was taken (the widget returns true from event()).
    bool handleEvent(QEvent* event);

    bool keyPress(QKeyEvent* event);
    bool keyRelease(QKeyEvent* event);
    void wheel(QWheelEvent* event);
    void focusIn();
    void focusOut();

    KeyInput& core() { return input_; }
    // The lock state the terminal goes by (status line).
    bool capsLockOn() const { return input_.capsLockOn(); }
    bool numLockOn() const { return input_.numLockOn(); }

  private:
    std::optional<RawKey> prepare(const QKeyEvent& event);
    void takeLockState(const QKeyEvent& event);
    std::size_t slot(ScanCode scan) const { return scan.code + (scan.extended ? 256u : 0u); }

    // KeyInputUi: the outer interface, with the locks the terminal overrides.
    void repaintStatusLine() override { ui_->repaintStatusLine(); }
    void shiftStateChanged(int column) override { ui_->shiftStateChanged(column); }
    void playErrorSound() override { ui_->playErrorSound(); }
    void information(std::string_view text, std::string_view title) override {
        ui_->information(text, title);
    }
    bool askYesNo(std::string_view text, std::string_view title) override {
        return ui_->askYesNo(text, title);
    }
    void macrosUnavailable() override { ui_->macrosUnavailable(); }
    void forceCapsLockOff() override;
    void forceNumLockOff() override;

    KeyInputUi defaultUi_;
    KeyInputUi* ui_;
    KeyInput input_;
    UnshiftedCharacters unshifted_;
    std::bitset<512> down_;
    // Logical locks (events without native state) and overridden ones.
    bool logicalCaps_ = false;
    bool logicalNum_ = false;
    bool capsOverridden_ = false;
    bool numOverridden_ = false;
    bool windowCaps_ = false;
    bool windowNum_ = false;
};

}  // namespace cedar::keys::qt
