// Typing (kind CHAR, Dup and FieldMark), the edit check shared with the
// deleting functions, input errors, auto-skip, and the word wrap that
// follows typing and deleting keys.
#include <string_view>

#include "keyboard/cursor_moves.h"
#include "keyboard/keyboard_controller.h"

namespace cedar::keys {

namespace {

constexpr std::uint8_t kDup = 0x8E;

// What a numeric field accepts with the numeric lock on and Shift not held.
constexpr std::string_view kNumericCharacters = "0123456789!@#$%^&*()_-+{}|<>,.?";

// Upper case of a display-code (Windows-1252) letter.
std::uint8_t upperCase(std::uint8_t c) {
    if (c >= 'a' && c <= 'z') return static_cast<std::uint8_t>(c - 0x20);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<std::uint8_t>(c - 0x20);
    return c;
}

bool isInputError(SessionStatus status) {
    return status == SessionStatus::Protected || status == SessionStatus::InsertOverflow;
}

}  // namespace

bool KeyboardController::editCheck(int p) {
    if (link_->sscpLuMode()) {
        ps_.mark(p);  // the SSCP-LU reply sends the marked input
        return true;
    }
    if (ps_.isAttribute(p)) return false;
    const int field = fieldOf(ps_, p);
    if (field < 0) return true;
    auto& attribute = ps_.attributes()[field];
    if (fa::isProtected(attribute)) return false;
    attribute |= fa::kModified;
    return true;
}

bool KeyboardController::numericLockRefuses(std::uint8_t c) {
    if (!settings_.numericFieldLock || state_.shiftDown) return false;
    const int field = fieldOf(ps_, ps_.cursor());
    if (field < 0) return false;
    const std::uint8_t attribute = ps_.attributes()[field];
    if ((attribute & fa::kNumeric) == 0 || fa::isProtected(attribute)) return false;
    return c != kDup && kNumericCharacters.find(static_cast<char>(c)) == std::string_view::npos;
}

void KeyboardController::inputError(SessionStatus error) {
    if (settings_.keyClickOnError) ui_->playErrorSound();
    if (status_ == SessionStatus::NotConnected) return;
    // A second error in a row keeps the status the first one saved, so that
    // Reset and AUTOKEYBOARDUNLOCK still find the way back.
    if (!isInputError(status_)) state_.savedStatus = status_;
    status_ = error;
    ui_->repaintStatusLine();
}

bool KeyboardController::inputErrorRetry() {
    if (settings_.keyClickOnError) ui_->playErrorSound();
    if (!isInputError(status_)) state_.savedStatus = status_;
    if (status_ == SessionStatus::NotConnected) return false;
    if (!exitMacroTried_) {
        exitMacroTried_ = true;
        if (ui_->runExitMacro("protect.ext") && editCheck(ps_.cursor())) return true;
    }
    status_ = SessionStatus::Protected;
    ui_->repaintStatusLine();
    return false;
}

void KeyboardController::typeCharacter(std::uint8_t c) {
    beginKeystroke();
    exitMacroTried_ = false;
    state_.lastTypingPosition = ps_.cursor();

    const int fieldBefore = fieldOf(ps_, ps_.cursor());
    const std::uint8_t attributeBefore = fieldBefore >= 0 ? ps_.attributes()[fieldBefore] : 0;
    if (numericLockRefuses(c) || !editCheck(ps_.cursor())) {
        if (!inputErrorRetry()) return;
        state_.lastTypingPosition = ps_.cursor();  // the exit macro may have moved it
    }
    const int p = ps_.cursor();
    auto& chars = ps_.characters();

    if (!ps_.settings().wang && ps_.insertMode) {
        const int last = fieldLastPosition(ps_, p);
        if (chars[last] > 0x20) {
            // No room: the field stays as it was, modified-data tag included.
            if (fieldBefore >= 0 && fieldOf(ps_, p) == fieldBefore)
                ps_.attributes()[fieldBefore] = attributeBefore;
            inputError(SessionStatus::InsertOverflow);
            return;
        }
        for (int q = last; q != p;) {
            const int previous = ps_.previousAddress(q);
            chars[q] = chars[previous];
            ps_.colors()[q] = ps_.colors()[previous];
            ps_.highlights()[q] = ps_.highlights()[previous];
            ps_.charsets()[q] = ps_.charsets()[previous];
            ps_.mark(q);
            q = previous;
        }
    }

    if (settings_.prefixInputWithSpaces) {
        const int columns = ps_.columns();
        // Nulls left of the character on its row become blanks; column 0 never.
        for (int q = p - 1; q >= 0 && p % columns >= 2 && q % columns >= 1; --q) {
            if (chars[q] != 0 || ps_.isAttribute(q)) break;
            chars[q] = 0x20;
            ps_.mark(q);
        }
    }

    const int field = fieldOf(ps_, p);
    const std::uint8_t attribute = field >= 0 ? ps_.attributes()[field] : 0;
    std::uint8_t stored = c;
    if ((settings_.allUpperCase && settings_.allUpperCaseInput) ||
        (ps_.settings().wang && (attribute & 0x02) != 0))
        stored = upperCase(c);
    chars[p] = stored;
    ps_.colors()[p] = 0;
    ps_.highlights()[p] = 0;
    ps_.charsets()[p] = 0;
    ps_.mark(p);

    if (!state_.deadKeyPending) moveCursor(ps_.nextAddress(p));
    if (!ps_.insertMode && c != kDup) autoSkipAfterTyping();
    wrapAfterKey(WrapMode::Typing);
    if (c == kDup) moveCursor(tabFrom(ps_, ps_.cursor()));
}

void KeyboardController::autoSkipAfterTyping() {
    const int q = ps_.cursor();
    if (!ps_.isAttribute(q)) return;
    const std::uint8_t attribute = ps_.attributes()[q];
    if ((settings_.enableAutoSkip && fa::isAutoSkip(attribute)) || settings_.autoSkipAllFields) {
        moveCursor(tabFrom(ps_, q));
        state_.autoSkipped = true;
        return;
    }
    if (!settings_.skipAtEndOfField) return;
    // Over consecutive attribute positions, up to the end of the screen.
    for (int s = q; s < ps_.positions(); ++s) {
        const std::uint8_t a = ps_.attributes()[s];
        if (a == 0) {
            moveCursor(s);
            return;
        }
        if (!fa::isProtected(a)) {
            moveCursor(ps_.nextAddress(s));
            state_.autoSkipped = true;
            return;
        }
        if (fa::isAutoSkip(a) && settings_.enableAutoSkip) {
            moveCursor(tabFrom(ps_, s));
            state_.autoSkipped = true;
            return;
        }
    }
}

bool KeyboardController::wordWrapOn() const {
    return ps_.wordWrap || ps_.settings().wordWrapAlways;
}

void KeyboardController::beginKeystroke() {
    keystroke_.active = wordWrapOn();
    if (!keystroke_.active) return;
    keystroke_.screen.take(ps_);
    keystroke_.insertMode = ps_.insertMode;
    keystroke_.lastTypingPosition = state_.lastTypingPosition;
    keystroke_.autoSkipped = state_.autoSkipped;
}

void KeyboardController::wrapAfterKey(WrapMode mode) {
    if (!wordWrapOn()) return;
    const WrapResult result = wordWrap(ps_, state_.lastTypingPosition, mode);
    switch (result.kind) {
        case WrapResult::Kind::None:
            break;
        case WrapResult::Kind::CursorMoved:
            moveCursor(result.cursor);
            break;
        case WrapResult::Kind::Reflowed:
            if (result.cursor >= 0) moveCursor(result.cursor);
            if (result.switchInsertOn && !ps_.insertMode) {
                ps_.insertMode = true;
                ps_.listener().cursorMoved();
                ui_->repaintStatusLine();
            }
            break;
        case WrapResult::Kind::Overflow:
            // The text would not fit: the keystroke is refused as a whole.
            if (keystroke_.active) {
                keystroke_.screen.restoreTo(ps_);
                ps_.insertMode = keystroke_.insertMode;
                state_.lastTypingPosition = keystroke_.lastTypingPosition;
                state_.autoSkipped = keystroke_.autoSkipped;
            }
            inputError(SessionStatus::InsertOverflow);
            break;
    }
    keystroke_.active = false;
}

}  // namespace cedar::keys
