// The keyboard's lock check and the mouse wheel.
#include <cstdio>

#include "keyboard/key_input.h"

namespace cedar::keys {

namespace {

bool noFunction(KeyWord word) {
    const Kind kind = kindOf(word);
    return kind == Kind::None ||
           (kind == Kind::Edit && codeOf(word) == static_cast<int>(Edit::NoFunction));
}

}  // namespace

KeyOutcome KeyInput::submitKey(KeyWord word) {
    // Words that do nothing (a shift key, an unassigned key) are not checked:
    // they would only sound the error on a locked keyboard.
    if (noFunction(word)) return KeyOutcome::Performed;
    const Kind kind = kindOf(word);
    const int code = codeOf(word);

    if (settings_.checkForMacroRunning && macroPlaying() &&
        (kind == Kind::Char ? code : lastVirtualKey_) > 10) {
        const std::string name = macros_->currentName();
        char text[200];
        std::snprintf(text, sizeof text,
                      "Cedar TN3270 macro named '%s' is currently running.\nDid you want to "
                      "cancel it now?",
                      name.c_str());
        if (ui_->askYesNo(text, kMacroRunningTitle)) macros_->stop();
        return KeyOutcome::Refused;
    }
    // A key typed while a macro's statements run (a long burst lets the event
    // loop run between its slices) is dropped, as keys typed during a burst
    // always are; Pause still stops the macro before it gets here.
    if (macros_->state() == 2) return KeyOutcome::Refused;

    if (!isImmediate(word)) {
        if (keyboardSettings_.autoKeyboardUnlock &&
            (status_ == SessionStatus::Protected || status_ == SessionStatus::InsertOverflow)) {
            status_ = state_.savedStatus;
            ui_->repaintStatusLine();
        }
        if (controller_.locked()) {
            if (macros_->lockedExitPresent() && macros_->state() == 0) {
                const KeyList empty;
                passedKey_ = keyText(keyList_ != nullptr ? *keyList_ : empty, word,
                                     [this](int i) { return map_.macroNameAt(i); });
                if (macros_->runLockedExit()) return KeyOutcome::Refused;
            }
            if (keyboardSettings_.typeAhead) {
                if (state_.typeAhead.push(word)) return KeyOutcome::Queued;
                ui_->playErrorSound();
                return KeyOutcome::Refused;
            }
            if (keyboardSettings_.keyClickOnError) ui_->playErrorSound();
            return KeyOutcome::Refused;
        }
    } else if (kind != Kind::Oper && code != 0x21 && code != 0x22) {
        state_.typeAhead.clear();
    }
    return controller_.performKey(word, KeySource::Keyboard);
}

void KeyInput::runMacroText(const std::string& statements) {
    if (!macros_->available() || !macros_->runText(statements, false)) ui_->macrosUnavailable();
}

void KeyInput::onMouseWheel(int delta) {
    // Touchpads send small deltas: a step is a sum of 120 either way.
    wheelSum_ += delta;
    while (wheelSum_ >= kWheelStep || wheelSum_ <= -kWheelStep) {
        const bool up = wheelSum_ > 0;
        wheelSum_ += up ? -kWheelStep : kWheelStep;
        const std::int64_t now = scheduler_ != nullptr ? scheduler_->nowMs() : 0;
        if (settings_.wheelDelay != -1 && wheelUsed_ &&
            (now - lastWheelMs_) / kWheelTickMs < settings_.wheelDelay)
            continue;
        const std::string& statements = up ? settings_.wheelUp : settings_.wheelDown;
        runMacroText(statements.substr(0, 1000));
        wheelUsed_ = true;
        lastWheelMs_ = now;
    }
}

}  // namespace cedar::keys
