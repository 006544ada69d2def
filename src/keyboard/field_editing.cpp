// The EDIT key functions: cursor movement and field editing. The clipboard,
// selection and find functions go to the deferred functions.
#include "keyboard/cursor_moves.h"
#include "keyboard/keyboard_controller.h"

namespace cedar::keys {

namespace {

constexpr std::uint8_t kWangFill = 0x0B;

// The selection functions keep the selection they work on.
bool keepsSelection(Edit code) {
    return code >= Edit::EditMenu && code <= Edit::SelectRight;
}

void copyPosition(PresentationSpace& ps, int from, int to) {
    ps.characters()[to] = ps.characters()[from];
    ps.colors()[to] = ps.colors()[from];
    ps.highlights()[to] = ps.highlights()[from];
    ps.charsets()[to] = ps.charsets()[from];
    ps.mark(to);
}

void clearPosition(PresentationSpace& ps, int p, std::uint8_t fill) {
    ps.characters()[p] = fill;
    ps.colors()[p] = 0;
    ps.highlights()[p] = 0;
    ps.charsets()[p] = 0;
    ps.mark(p);
}

}  // namespace

std::uint8_t KeyboardController::fillCharacter(int field) const {
    if (!ps_.settings().wang || field < 0) return 0;
    return (ps_.attributes()[field] & 0x40) == 0 ? kWangFill : 0;
}

void KeyboardController::moveCursor(int to) {
    if (to < 0 || to >= ps_.positions() || to == ps_.cursor()) return;
    ps_.setCursor(to);
}

void KeyboardController::editKey(Edit code) {
    const bool selectionExisted = keepsSelection(code) ? false : ui_->removeSelection();
    ui_->cancelLocateCursorFlash();
    const int cursor = ps_.cursor();
    switch (code) {
        case Edit::Backspace:
            backspace();
            break;
        case Edit::BackTab:
            moveCursor(backTabFrom(ps_, cursor));
            break;
        case Edit::Delete:
            if (selectionExisted)
                deferred_->edit(code, true);
            else
                deleteKey();
            break;
        case Edit::DeleteWord:
            deleteWord();
            break;
        case Edit::CursorDown:
            moveCursor(ps_.nextRow(cursor));
            break;
        case Edit::FastDown:
            moveCursor(ps_.nextRow(ps_.nextRow(cursor)));
            break;
        case Edit::Dup:
            typeCharacter(0x8E);
            break;
        case Edit::EndField:
            moveCursor(endFieldFrom(ps_, cursor));
            break;
        case Edit::EraseEOF:
            eraseEndOfField();
            break;
        case Edit::EraseInput:
            eraseInput();
            break;
        case Edit::FieldMark:
            typeCharacter(0x8F);
            break;
        case Edit::Home:
            moveCursor(homePosition(ps_));
            break;
        case Edit::Insert:
            insertKey();
            break;
        case Edit::CursorLeft:
            moveCursor(ps_.previousAddress(cursor));
            break;
        case Edit::FastLeft:
            moveCursor(ps_.previousAddress(ps_.previousAddress(cursor)));
            break;
        case Edit::NewLine:
            moveCursor(newLineFrom(ps_, cursor));
            break;
        case Edit::Reset:
            reset();
            break;
        case Edit::CursorRight:
            moveCursor(ps_.nextAddress(cursor));
            break;
        case Edit::FastRight:
            moveCursor(ps_.nextAddress(ps_.nextAddress(cursor)));
            break;
        case Edit::Tab:
            moveCursor(tabFrom(ps_, cursor));
            break;
        case Edit::CursorUp:
            moveCursor(ps_.previousRow(cursor));
            break;
        case Edit::FastUp:
            moveCursor(ps_.previousRow(ps_.previousRow(cursor)));
            break;
        case Edit::WordLeft:
            moveCursor(wordLeftFrom(ps_, cursor));
            break;
        case Edit::WordRight:
            moveCursor(wordRightFrom(ps_, cursor));
            break;
        case Edit::BottomLine:
            moveCursor(bottomLine(ps_));
            break;
        case Edit::PreviousLine:
            moveCursor(previousLineFrom(ps_, cursor));
            break;
        case Edit::Undo:
            undo();
            break;
        case Edit::LineHome:
            moveCursor(lineHomeFrom(ps_, cursor));
            break;
        case Edit::WordWrap:
            toggleWordWrap();
            break;
        case Edit::CapsLock:  // the operating system's Caps Lock and Num Lock keep working
        case Edit::NumLock:
        case Edit::NoFunction:
        case Edit::Unused28:
            break;
        default:
            deferred_->edit(code, selectionExisted);
            break;
    }
}

void KeyboardController::eraseEndOfField() {
    const int p = ps_.cursor();
    if (!editCheck(p)) return;  // protected field or attribute position: nothing, no error
    const int field = fieldOf(ps_, p);
    const std::uint8_t fill = fillCharacter(field);
    const int n = ps_.positions();
    if (field < 0) {
        for (int q = p; q < n; ++q)
            clearPosition(ps_, q, fill);
        return;
    }
    // To the end of the field, round the end of the screen when the field
    // continues at position 0.
    int q = p;
    for (int steps = 0; steps < n && !ps_.isAttribute(q); ++steps) {
        clearPosition(ps_, q, fill);
        q = ps_.nextAddress(q);
    }
}

void KeyboardController::eraseInput() {
    ps_.eraseAllUnprotected();
    ps_.markAll();
    moveCursor(homePosition(ps_));
}

void KeyboardController::deleteKey() {
    beginKeystroke();
    state_.lastTypingPosition = ps_.cursor();
    const bool allowed = editCheck(ps_.cursor());
    if (allowed) deleteAt(ps_.cursor());
    ps_.markAll();
    // A protected field's text is never reflowed.
    if (allowed) wrapAfterKey(WrapMode::Deleting);
}

void KeyboardController::deleteAt(int p) {
    const int field = fieldOf(ps_, p);
    const int last = fieldLastPosition(ps_, p);
    for (int q = p; q != last;) {
        const int next = ps_.nextAddress(q);
        copyPosition(ps_, next, q);
        q = next;
    }
    clearPosition(ps_, last, fillCharacter(field));
}

void KeyboardController::deleteWord() {
    beginKeystroke();
    const int cursor = ps_.cursor();
    state_.lastTypingPosition = cursor;
    if (!editCheck(cursor)) {
        ps_.markAll();
        return;
    }
    const int n = ps_.positions();
    const auto& chars = ps_.characters();
    int p = cursor;
    for (int steps = 0; steps < n && chars[p] > 0x20; ++steps)
        p = ps_.previousAddress(p);
    p = ps_.nextAddress(p);
    // Only inside the cursor's field: from a blank at a field's end the
    // position after it is the next field's attribute.
    const int field = fieldOf(ps_, cursor);
    if (!ps_.isAttribute(p) && fieldOf(ps_, p) == field) {
        for (int steps = 0; steps < n && chars[p] > 0x20; ++steps)
            deleteAt(p);
        deleteAt(p);  // and the character that followed the word
    }
    ps_.markAll();
    wrapAfterKey(WrapMode::Deleting);
}

void KeyboardController::backspace() {
    const int style =
        ps_.insertMode ? settings_.insertCursorBackspace : settings_.normalCursorBackspace;
    const int p = ps_.previousAddress(ps_.cursor());
    if (style == 0) {
        moveCursor(p);
        return;
    }
    if (style != 1 && style != 2) return;
    if (ps_.isAttribute(p) || inProtectedField(ps_, p)) {
        inputError(SessionStatus::Protected);
        return;
    }
    moveCursor(p);
    if (style == 1) {
        deleteKey();
        return;
    }
    // Destructive: a blank in place of the character, nothing moves.
    const int field = fieldOf(ps_, p);
    if (field >= 0) ps_.attributes()[field] |= fa::kModified;
    ps_.characters()[p] = 0x20;
    ps_.mark(p);
}

void KeyboardController::insertKey() {
    if (ps_.settings().wang) {
        wangInsert();
        return;
    }
    ps_.insertMode = settings_.toggleInsertKey ? !ps_.insertMode : true;
    ps_.listener().cursorMoved();  // the cursor takes its insert shape
    ui_->repaintStatusLine();
}

void KeyboardController::wangInsert() {
    const int p = ps_.cursor();
    const int field = fieldOf(ps_, p);
    if (field < 0 || ps_.isAttribute(p) || fa::isProtected(ps_.attributes()[field])) return;
    const int last = fieldLastPosition(ps_, p);
    if (ps_.characters()[last] > 0x20) {
        inputError(SessionStatus::InsertOverflow);
        return;
    }
    for (int q = last; q != p;) {
        const int previous = ps_.previousAddress(q);
        copyPosition(ps_, previous, q);
        q = previous;
    }
    clearPosition(ps_, p, (ps_.attributes()[field] & 0x40) != 0 ? 0x20 : kWangFill);
    ps_.attributes()[field] |= fa::kModified;
}

void KeyboardController::toggleWordWrap() {
    if (!ps_.settings().wordWrapAlways) ps_.wordWrap = !ps_.wordWrap;
    ui_->repaintStatusLine();
}

}  // namespace cedar::keys
