#include "keyboard/qt/keyboard_input.h"

namespace cedar::keys::qt {

namespace {

constexpr ScanCode kPrintScreen{0x37, true};
constexpr ScanCode kCapsLock{0x3A, false};
constexpr ScanCode kNumLock{0x45, true};

}  // namespace

KeyboardInput::KeyboardInput(const KeyInputContext& context, KeyInputMacros* macros, KeyInputUi* ui)
    : ui_(ui != nullptr ? ui : &defaultUi_), input_(context, macros, this) {}

bool KeyboardInput::handleEvent(QEvent* event) {
    switch (event->type()) {
        case QEvent::ShortcutOverride: {
            // Every key is the terminal's, except what the menu takes.
            auto* key = static_cast<QKeyEvent*>(event);
            const auto scan = scanCodeOf(*key);
            if (!scan) return false;
            RawKey raw = rawKeyOf(*key, *scan, input_.numLockOn(), unshifted_);
            if (input_.menuTakesKey(raw)) return false;
            event->accept();
            return true;
        }
        case QEvent::KeyPress:
            return keyPress(static_cast<QKeyEvent*>(event));
        case QEvent::KeyRelease:
            return keyRelease(static_cast<QKeyEvent*>(event));
        case QEvent::Wheel:
            wheel(static_cast<QWheelEvent*>(event));
            return true;
        case QEvent::FocusIn:
            focusIn();
            return false;  // the widget's own handling goes on
        case QEvent::FocusOut:
            focusOut();
            return false;
        default:
            return false;
    }
}

void KeyboardInput::takeLockState(const QKeyEvent& event) {
    bool caps = logicalCaps_;
    bool num = logicalNum_;
    if (const auto state = lockStateOf(event)) {
        caps = state->capsLock;
        num = state->numLock;
    }
    // A lock the key input switched off stays off until the window
    // system's goes off too.
    if (capsOverridden_ && !caps) capsOverridden_ = false;
    if (numOverridden_ && !num) numOverridden_ = false;
    windowCaps_ = caps;
    windowNum_ = num;
    input_.setLockState(caps && !capsOverridden_, num && !numOverridden_);
}

std::optional<RawKey> KeyboardInput::prepare(const QKeyEvent& event) {
    const auto scan = scanCodeOf(event);
    if (!scan) return std::nullopt;
    takeLockState(event);
    return rawKeyOf(event, *scan, input_.numLockOn(), unshifted_);
}

bool KeyboardInput::keyPress(QKeyEvent* event) {
    const auto scan = scanCodeOf(*event);
    if (!scan) return false;
    auto raw = prepare(*event);
    if (input_.menuTakesKey(*raw)) return false;
    event->accept();
    if (*scan == kPrintScreen) return true;  // it acts on release
    if (!event->isAutoRepeat() && lockStateOf(*event) == std::nullopt) {
        if (*scan == kCapsLock) logicalCaps_ = !logicalCaps_;
        if (*scan == kNumLock) logicalNum_ = !logicalNum_;
    }
    down_.set(slot(*scan));
    input_.onKeyDown(*raw);
    if (input_.waitingForChar()) {
        // The window system's character, or the map's when it gave none
        // (a dead key).
        const QString text = event->text();
        std::uint8_t c = text.size() == 1 ? displayCodeOf(text[0].unicode()) : 0;
        if (c == 0) c = codeOf(input_.currentKey());
        input_.onChar(c);
    }
    return true;
}

bool KeyboardInput::keyRelease(QKeyEvent* event) {
    const auto scan = scanCodeOf(*event);
    if (!scan) return false;
    event->accept();
    // X11 repeats a held key as release and press pairs: the press says
    // it repeats, the release is not one.
    if (event->isAutoRepeat()) return true;
    auto raw = prepare(*event);
    if (input_.menuTakesKey(*raw)) return false;
    raw->previousDown = down_.test(slot(*scan)) || *scan == kPrintScreen;
    down_.reset(slot(*scan));
    input_.onKeyUp(*raw);
    return true;
}

void KeyboardInput::wheel(QWheelEvent* event) {
    event->accept();
    input_.onMouseWheel(event->angleDelta().y());
}

void KeyboardInput::focusIn() {
    down_.reset();
    input_.focusIn();
}

void KeyboardInput::focusOut() {
    down_.reset();
    input_.focusOut();
}

void KeyboardInput::forceCapsLockOff() {
    logicalCaps_ = false;
    if (windowCaps_) capsOverridden_ = true;
    ui_->forceCapsLockOff();
    ui_->repaintStatusLine();
}

void KeyboardInput::forceNumLockOff() {
    logicalNum_ = false;
    if (windowNum_) numOverridden_ = true;
    ui_->forceNumLockOff();
}

}  // namespace cedar::keys::qt
