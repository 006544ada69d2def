// performKey: the lock check, line mode, the dispatch by kind and the
// recording of every key function; the keyboard restore and the type-ahead
// replay.
#include "keyboard/keyboard_controller.h"

namespace cedar::keys {

namespace {

// Clipboard functions that continue a paste sequence instead of starting one.
bool continuesPasteSequence(Edit code) {
    switch (code) {
        case Edit::PasteOverlay:
        case Edit::Reset:
        case Edit::PasteRepeat:
        case Edit::PasteField:
        case Edit::Paste:
        case Edit::PasteJCL:
        case Edit::PasteInsert:
        case Edit::PasteByTyping:
            return true;
        default:
            return false;
    }
}

// Kinds whose functions touch the screen or the host and therefore wait
// while the keyboard is locked.
bool lockedOut(Kind kind) {
    return kind == Kind::Action || kind == Kind::Edit || kind == Kind::Char;
}

}  // namespace

KeyboardController::KeyboardController(const KeyboardContext& context,
                                       const KeyboardServices& services)
    : ps_(context.screen),
      status_(context.status),
      records_(context.records),
      aid_(context.aid),
      state_(context.state),
      settings_(context.settings) {
    setServices(services);
}

void KeyboardController::setServices(const KeyboardServices& services) {
    link_ = services.link != nullptr ? services.link : &defaultLink_;
    ui_ = services.ui != nullptr ? services.ui : &defaultUi_;
    recorder_ = services.recorder != nullptr ? services.recorder : &defaultRecorder_;
    deferred_ = services.deferred != nullptr ? services.deferred : &defaultDeferred_;
    statements_.setRecorder(*recorder_);
}

bool KeyboardController::locked() const {
    return status_ != SessionStatus::Unlocked && status_ != SessionStatus::NotConnected;
}

KeyOutcome KeyboardController::lockCheck(KeyWord word, KeySource source) {
    if (source == KeySource::TypeaheadReplay || isImmediate(word) || !lockedOut(kindOf(word)))
        return KeyOutcome::Performed;
    // The next key clears an input error.
    if (settings_.autoKeyboardUnlock &&
        (status_ == SessionStatus::Protected || status_ == SessionStatus::InsertOverflow)) {
        status_ = state_.savedStatus;
        ui_->repaintStatusLine();
    }
    if (!locked()) return KeyOutcome::Performed;
    if (settings_.typeAhead && state_.typeAhead.push(word)) return KeyOutcome::Queued;
    if (settings_.keyClickOnError) ui_->playErrorSound();
    return KeyOutcome::Refused;
}

KeyOutcome KeyboardController::performKey(KeyWord word, KeySource source) {
    ui_->beforeKey();
    const Kind kind = kindOf(word);
    const std::uint8_t code = codeOf(word);
    if (kind == Kind::None || (kind == Kind::Edit && code == static_cast<int>(Edit::NoFunction)))
        return KeyOutcome::Performed;
    // While an earlier screen is shown an attention key only returns to the
    // live screen; nothing is sent.
    if (status_ == SessionStatus::History && kind == Kind::Action) {
        ui_->returnToLiveScreen();
        return KeyOutcome::Performed;
    }
    const KeyOutcome outcome = lockCheck(word, source);
    if (outcome != KeyOutcome::Performed) return outcome;

    if (kind != Kind::Edit ||
        (code != static_cast<int>(Edit::Reset) && code != static_cast<int>(Edit::Undo)))
        state_.undoArmed = true;
    if (kind != Kind::Edit || !continuesPasteSequence(static_cast<Edit>(code))) {
        state_.pasteRingIndex = 0;
        state_.pasteSequenceStart = true;
    }
    link_->operatorActed();
    if (kind != Kind::Macro) state_.macroListSelector = 0;
    if (ui_->endMouseDrag()) state_.keyFromMouse = false;

    if (link_->lineMode()) {
        lineModeKey(word);
        state_.restoresSinceKey = 0;
        return KeyOutcome::Performed;
    }

    state_.autoSkipped = false;
    const int cursorBefore = ps_.cursor();
    dispatch(word);
    if (!recordingSuspended_) recordKey(word, cursorBefore);
    state_.restoresSinceKey = 0;

    if (kind == Kind::Oper && code == static_cast<int>(Oper::MoveCursorEnter)) {
        // The Enter stands alone in a recording: the Key statement of
        // MoveCursorEnter already stands for it.
        const bool suspended = recordingSuspended_;
        recordingSuspended_ = true;
        performKey(actionKey(Action::Enter), KeySource::Internal);
        recordingSuspended_ = suspended;
    }
    return KeyOutcome::Performed;
}

void KeyboardController::dispatch(KeyWord word) {
    const std::uint8_t code = codeOf(word);
    switch (kindOf(word)) {
        case Kind::Action:
            attentionKey(code);
            break;
        case Kind::Edit:
            editKey(static_cast<Edit>(code));
            break;
        case Kind::Char:
            ui_->removeSelection();
            ui_->cancelLocateCursorFlash();
            typeCharacter(code);
            break;
        case Kind::Oper:
            deferred_->oper(code);
            break;
        case Kind::Macro:
            deferred_->macroKey(code, state_.macroListSelector);
            break;
        default:
            break;
    }
}

void KeyboardController::lineModeKey(KeyWord word) {
    const std::uint8_t code = codeOf(word);
    switch (kindOf(word)) {
        case Kind::Action:
            if (code == static_cast<int>(Action::Enter)) {
                const std::uint8_t crlf[] = {0x0D, 0x0A};
                link_->sendRaw(crlf);
                if (!link_->hostEchoes()) link_->echoLineMode(crlf);
            }
            break;
        case Kind::Edit:
            if (code == static_cast<int>(Edit::Backspace)) {
                const std::uint8_t bs[] = {0x08};
                link_->sendRaw(bs);
            } else if (code == static_cast<int>(Edit::Paste)) {
                if (auto text = deferred_->clipboardText()) {
                    for (char c : *text)
                        performKey(charKey(static_cast<std::uint8_t>(c)), KeySource::Paste);
                }
            }
            break;
        case Kind::Char: {
            const std::uint8_t byte[] = {code};
            link_->sendRaw(byte);
            if (!link_->hostEchoes()) link_->echoLineMode(byte);
            break;
        }
        case Kind::Oper:
            deferred_->oper(code);
            break;
        case Kind::Macro:
            deferred_->macroKey(code, state_.macroListSelector);
            break;
        default:
            break;
    }
}

void KeyboardController::recordKey(KeyWord word, int cursorBefore) {
    if (!recorder_->recording()) return;
    const auto before = ps_.rowColumnOf(cursorBefore);
    const auto after = ps_.rowColumnOf(ps_.cursor());
    RecordedKey key;
    key.word = word;
    key.restores = state_.restoresSinceKey;
    key.rowBefore = before.row + 1;
    key.columnBefore = before.column + 1;
    key.rowAfter = after.row + 1;
    key.columnAfter = after.column + 1;
    key.keyFromMouse = state_.keyFromMouse;
    key.macroListSelector = state_.macroListSelector;
    statements_.record(key, settings_.recordWait);
}

void KeyboardController::keyboardRestored() {
    ++state_.restoresSinceKey;
    state_.unlockImage.take(ps_);
    state_.undoArmed = true;
    state_.pasteSequenceStart = true;
}

void KeyboardController::drainTypeahead() {
    while (auto word = state_.typeAhead.pop()) {
        const std::uint64_t attentions = state_.attentionsSent;
        performKey(*word, KeySource::TypeaheadReplay);
        // An attention key locks the keyboard again; the rest waits for the
        // host's next restore. (A key of another kind may send one too, as
        // MoveCursorEnter does.)
        if (kindOf(*word) == Kind::Action || state_.attentionsSent != attentions) break;
    }
}

std::size_t KeyboardController::typeText(std::string_view displayText, KeySource source) {
    std::size_t performed = 0;
    for (char c : displayText) {
        if (performKey(charKey(static_cast<std::uint8_t>(c)), source) == KeyOutcome::Performed)
            ++performed;
    }
    return performed;
}

}  // namespace cedar::keys
