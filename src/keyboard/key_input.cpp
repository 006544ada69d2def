// Keyboard input: translation of a physical key to a key word, the map's
// shift keys, dead keys, Caps Lock and Num Lock, and the key messages.
#include "keyboard/key_input.h"

#include <algorithm>

#include "keyboard/layout_key_names.h"

namespace cedar::keys {

namespace {

constexpr int kPrintScreenIndex = 13;

// A letter of the display code (Windows-1252): a-z, A-Z and the accented
// letters, whose capitals Caps Lock gives too.
bool isLetter(std::uint8_t c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
    return c >= 0xC0 && c != 0xD7 && c != 0xF7;
}

std::string hex2(std::uint8_t v) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[v >> 4], kDigits[v & 0x0F]};
}

// Virtual-key codes that are read with the extended flag or its absence.
bool keypadNavigation(std::uint8_t code) {
    return code == 0x0C || (code >= 0x21 && code <= 0x28) || code == 0x2D || code == 0x2E;
}

}  // namespace

KeyInput::KeyInput(const KeyInputContext& context, KeyInputMacros* macros, KeyInputUi* ui)
    : controller_(context.controller),
      status_(context.status),
      state_(context.state),
      keyboardSettings_(context.keyboardSettings),
      map_(context.keyboardMap),
      tables_(context.countryTables),
      settings_(context.settings),
      keyList_(context.keyList),
      scheduler_(context.scheduler),
      macros_(macros != nullptr ? macros : &defaultMacros_),
      ui_(ui != nullptr ? ui : &defaultUi_) {}

void KeyInput::setLockState(bool capsLockOn, bool numLockOn) {
    capsLockOn_ = capsLockOn;
    numLockOn_ = numLockOn;
}

void KeyInput::focusIn() {
    hasFocus_ = true;
    firstKeyAfterFocus_ = true;
}

void KeyInput::focusOut() {
    hasFocus_ = false;
    // Keys released elsewhere never report here: a map shift key held when
    // the focus went would otherwise stay held.
    heldShiftKey_ = -1;
    waitingForChar_ = false;
    setModifierColumn(0);
}

int KeyInput::resolveIndex(std::uint8_t code, const RawKey& key) const {
    for (const auto& remap : tables_.keyScanModifiers) {
        if (remap.key == 0xFF) break;
        if (remap.key == code) {
            code = remap.value;
            break;
        }
    }
    if (tables_.scanCodeTable[code] == 0xFF) return -1;
    if (key.scan.extended) {
        if (code == vk::kEnter || code == vk::kControl || code == vk::kAlt) code += 0xA0;
    } else if (!settings_.keyTronicsKeyboard && keypadNavigation(code)) {
        code += 0xA0;
    }
    if (code == vk::kShift && key.scan.code == 0x36) code = 0xB0;
    const int index = tables_.scanCodeTable[code];
    // An index the map has no entry for is an unused key.
    if (index == 0xFF || index >= map_.keyCount()) return -1;
    const int locked = numLockOn_ ? numLockIndex(index) : index;
    return locked < map_.keyCount() ? locked : index;
}

int KeyInput::keyIndexOf(const RawKey& key) const {
    if (key.virtualKey == vk::kNone) return -1;
    return resolveIndex(key.virtualKey, key);
}

int KeyInput::translateKey(bool down, const RawKey& key) {
    if (down) {
        lastVirtualKey_ = key.virtualKey;
        lastKeyCodeText_ = hex2(key.virtualKey);
    }
    const int index = resolveIndex(key.virtualKey, key);
    if (index < 0) {
        currentKey_ = kNoFunction;
        return index;
    }
    int column = modifierColumn_;
    const KeyWord plain = map_.word(index, 0);
    if (capsLockOn_ && kindOf(plain) == Kind::Char && isLetter(codeOf(plain))) {
        if (column == 0)
            column = 1;
        else if (column == 1 && settings_.toggleShiftCaps)
            column = 0;
    }
    if (kindOf(plain) == Kind::None) {
        // A shift key: nothing when pressed; its Shift word is what it does
        // when released alone, at once when that word repeats.
        const KeyWord release = map_.word(index, 1);
        currentKey_ = plain;
        if (down || index == kPrintScreenIndex) keyUpCode_ = release;
        if ((flagsOf(release) & kRepeat) != 0 || index == kPrintScreenIndex) {
            currentKey_ = release;
            if (down) keyUpCode_ = kNoFunction;
            column = 0;
        }
        if (!down) return index;
    } else {
        currentKey_ = map_.word(index, column);
        if (!down) return index;
        // Any other key cancels a shift key's release function.
        keyUpCode_ = kNoFunction;
    }
    deadKeys(index, column);
    return index;
}

void KeyInput::deadKeys(int index, int column) {
    const Kind kind = kindOf(currentKey_);
    if (kind != Kind::Char) {
        if (kind != Kind::None) state_.deadKeyPending = false;
        return;
    }
    std::uint8_t c = codeOf(currentKey_);
    if (state_.deadKeyPending) {
        for (const auto& entry : tables_.keyEscapes) {
            const auto& b = entry.bytes;
            if (b[0] == 0xFF) break;
            if (b[2] != deadKeyChar_ || b[3] == 0) continue;
            const int n = std::min<int>(b[3], 8);
            for (int i = 0; i < n; ++i) {
                // A composition without its result (a short second list) is none.
                if (c == b[4 + i] && b[12 + i] != 0) {
                    c = b[12 + i];
                    break;
                }
            }
        }
        state_.deadKeyPending = false;
        currentKey_ = charKey(c, flagsOf(currentKey_));
        return;
    }
    for (const auto& entry : tables_.keyEscapes) {
        const auto& b = entry.bytes;
        if (b[0] == 0xFF) break;
        if (b[0] == index && b[1] == column && b[2] == c) {
            state_.deadKeyPending = true;
            deadKeyChar_ = c;
            return;
        }
    }
}

void KeyInput::setModifierColumn(int column) {
    if (column == modifierColumn_) return;
    modifierColumn_ = column;
    ui_->repaintStatusLine();
    ui_->shiftStateChanged(column);
}

void KeyInput::refreshModifiers(const RawKey& key) {
    shiftDown_ = key.shift;
    ctrlDown_ = key.ctrl;
    altDown_ = key.alt;
    state_.shiftDown = key.shift;
    int column = key.alt ? 3 : key.ctrl ? 2 : key.shift ? 1 : 0;
    if (heldShiftKey_ >= 0) column = heldShiftColumn_;
    setModifierColumn(column);
}

void KeyInput::applyShiftState(bool down, int index) {
    if (kindOf(currentKey_) != Kind::None) return;
    if (down) {
        heldShiftKey_ = index;
        heldShiftColumn_ = codeOf(currentKey_) & 3;
        setModifierColumn(heldShiftColumn_);
    } else {
        if (heldShiftKey_ == index) heldShiftKey_ = -1;
        setModifierColumn(0);
    }
}

bool KeyInput::macroPlaying() const {
    return macros_->state() >= 2;
}

void KeyInput::onKeyDown(const RawKey& raw) {
    if (raw.virtualKey == vk::kNone || !hasFocus_) return;
    RawKey key = raw;
    if (firstKeyAfterFocus_) {
        key.previousDown = false;
        firstKeyAfterFocus_ = false;
    }
    if (key.virtualKey == vk::kPause && macroPlaying()) {
        controller_.performKey(operKey(Oper::MacroStop, kImmediate), KeySource::Internal);
        macros_->stop();
        ui_->information(kMacroStoppedText, kMacroStoppedTitle);
        return;
    }
    refreshModifiers(key);
    const int index = translateKey(true, key);
    applyShiftState(true, index);
    ui_->repaintStatusLine();
    if (key.previousDown && (flagsOf(currentKey_) & kRepeat) == 0 &&
        key.virtualKey != vk::kPrintScreen)
        return;
    waitingForChar_ = false;
    if (settings_.toggleShiftCaps && kindOf(currentKey_) == Kind::Char &&
        (flagsOf(currentKey_) & kAssigned) == 0) {
        // The window system's character follows (its own Shift and Caps Lock).
        waitingForChar_ = true;
        return;
    }
    submitKey(currentKey_);
}

void KeyInput::onKeyUp(const RawKey& raw) {
    if (settings_.ignoreKeyUp80 && !raw.previousDown) return;
    if (raw.virtualKey == vk::kPrintScreen) {
        // Print Screen reports its release only.
        RawKey key = raw;
        key.previousDown = false;
        onKeyDown(key);
        return;
    }
    if (raw.virtualKey == vk::kNone || !hasFocus_ || waitingForChar_) return;
    const int index = translateKey(false, raw);
    if (raw.virtualKey == vk::kCapsLock) {
        if (!sameFunction(currentKey_, editKey(Edit::CapsLock))) {
            ui_->forceCapsLockOff();
            capsLockOn_ = false;
        }
        ui_->repaintStatusLine();
    } else if (raw.virtualKey == vk::kNumLock) {
        if (!sameFunction(currentKey_, editKey(Edit::NumLock))) {
            ui_->forceNumLockOff();
            numLockOn_ = false;
        }
    }
    const bool shiftKey = kindOf(currentKey_) == Kind::None;
    applyShiftState(false, index);
    if (shiftKey) submitKey(keyUpCode_);
}

void KeyInput::onChar(std::uint8_t displayCode) {
    if (!waitingForChar_) return;
    // The character came: the key's release is an ordinary one again.
    waitingForChar_ = false;
    submitKey(charKey(displayCode));
}

bool KeyInput::menuTakesKey(const RawKey& key) {
    if (!settings_.useAltForMenu || !key.alt) return false;
    if (key.scan.code == 0x44 && !key.scan.extended) return false;  // F10
    keyUpCode_ = kNoFunction;
    return true;
}

}  // namespace cedar::keys
