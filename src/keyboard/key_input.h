// Keyboard input: physical key presses and releases, typed characters and
// the mouse wheel, turned into key words through the country file's keyboard
// tables (KEYSCANCODES, KEYSCANMODS, KEYESCAPES) and the keyboard map, and
// handed to the key dispatcher after the keyboard-lock check.
//
// The window system's adapter describes each key as a RawKey; everything
// else (the tables, the state of the modifiers and locks, dead keys, the
// map's own shift keys, type-ahead) is decided here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/scheduler.h"
#include "keyboard/key_list.h"
#include "keyboard/keyboard_controller.h"
#include "keyboard/layout_file.h"
#include "keyboard/scan_codes.h"
#include "screen/code_pages.h"

namespace cedar::keys {

// One key message of the window system.
struct RawKey {
    ScanCode scan;
    // The virtual-key code (scan_codes.h: the US one, letters by what they type).
    std::uint8_t virtualKey = vk::kNone;
    // Key-down: the key was already down (auto-repeat). Key-up: the key was
    // seen going down (a key-up without it is a stray one).
    bool previousDown = false;
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
};

// Program settings and session options of keyboard input (the lock-check
// ones, TYPEAHEAD, KEYCLICKONERROR and AUTOKEYBOARDUNLOCK, are the
// dispatcher's KeyboardSettings).
struct KeyInputSettings {
    bool toggleShiftCaps = false;            // TOGGLESHIFT/CAPS
    bool useAltForMenu = false;              // USEALTFORMENU
    bool keyTronicsKeyboard = false;         // "KeyTronicsKeyboard"
    bool ignoreKeyUp80 = true;               // "IgnoreKeyUp80"
    bool checkForMacroRunning = false;       // "CheckForMacroRunning"
    std::string wheelUp = "Key(\"PF7\")";    // "WheelUp"
    std::string wheelDown = "Key(\"PF8\")";  // "WheelDown"
    int wheelDelay = -1;                     // "WheelDelay", 166 ms ticks; -1 none
};

// The macro system as keyboard input uses it. The defaults stand for a
// program without macros: nothing runs and every call says so.
class KeyInputMacros {
  public:
    virtual ~KeyInputMacros() = default;
    virtual bool available() const { return false; }
    // 0 none, 1 recording, 2 and above a macro is playing (or paused, waiting).
    virtual std::uint8_t state() const { return 0; }
    virtual std::string currentName() const { return {}; }
    virtual void stop() {}
    // Runs macro statements; `trustedKeys` false sends their Key statements
    // through the lock check. False when they could not be run.
    virtual bool runText(const std::string& /*statements*/, bool /*trustedKeys*/) { return false; }
    // The "locked.ext" exit macro was present at start.
    virtual bool lockedExitPresent() const { return false; }
    // Runs "locked.ext"; true when it marked the key as handled.
    virtual bool runLockedExit() { return false; }
};

// The user interface around the keyboard.
class KeyInputUi {
  public:
    virtual ~KeyInputUi() = default;
    virtual void repaintStatusLine() {}
    // The shift column changed (0 none, 1 Shift, 2 Ctrl, 3 Alt): the toolbar
    // shows that state's buttons.
    virtual void shiftStateChanged(int /*column*/) {}
    virtual void playErrorSound() {}
    virtual void information(std::string_view /*text*/, std::string_view /*title*/) {}
    virtual bool askYesNo(std::string_view /*text*/, std::string_view /*title*/) { return false; }
    // A macro was asked for and there is no macro system.
    virtual void macrosUnavailable() {}
    // Switch the window system's Caps Lock or Num Lock off.
    virtual void forceCapsLockOff() {}
    virtual void forceNumLockOff() {}
};

inline constexpr std::string_view kMacroStoppedText = "Macro stopped by Break key";
inline constexpr std::string_view kMacroStoppedTitle = "Macro Stopped";
inline constexpr std::string_view kMacroRunningTitle = "Macro Currently Running";
// Ticks of the main window's timer that WheelDelay counts.
inline constexpr int kWheelTickMs = 166;
inline constexpr int kWheelStep = 120;

struct KeyInputContext {
    KeyboardController& controller;
    SessionStatus& status;
    KeyboardState& state;
    const KeyboardSettings& keyboardSettings;
    const LayoutBlock& keyboardMap;
    const CodePages& countryTables;
    const KeyInputSettings& settings;
    const KeyList* keyList = nullptr;      // for the text form of refused keys
    const Scheduler* scheduler = nullptr;  // for WheelDelay
};

class KeyInput {
  public:
    explicit KeyInput(const KeyInputContext& context, KeyInputMacros* macros = nullptr,
                      KeyInputUi* ui = nullptr);
    KeyInput(const KeyInput&) = delete;
    KeyInput& operator=(const KeyInput&) = delete;

    // The window system's Caps Lock and Num Lock, before each key message.
    void setLockState(bool capsLockOn, bool numLockOn);
    bool capsLockOn() const { return capsLockOn_; }
    bool numLockOn() const { return numLockOn_; }

    void focusIn();
    void focusOut();
    bool hasFocus() const { return hasFocus_; }

    void onKeyDown(const RawKey& key);
    void onKeyUp(const RawKey& key);
    // A character of the key whose key-down waits for it (TOGGLESHIFT/CAPS).
    void onChar(std::uint8_t displayCode);
    // A wheel turn; `delta` in eighths of a degree (120 a notch).
    void onMouseWheel(int delta);
    // With USEALTFORMENU on, Alt combinations (but F10) belong to the menu:
    // true for such a key, which then is not passed here.
    bool menuTakesKey(const RawKey& key);

    // The lock check, then the dispatcher (trusted).
    KeyOutcome submitKey(KeyWord word);

    // Resolves a key to its key index (or -1 for an unused one) as a
    // key-down would, without changing anything.
    int keyIndexOf(const RawKey& key) const;

    int modifierColumn() const { return modifierColumn_; }
    KeyWord currentKey() const { return currentKey_; }
    KeyWord keyUpCode() const { return keyUpCode_; }
    bool waitingForChar() const { return waitingForChar_; }
    // KEYSCANCODE: the last key-down's virtual-key code, two hexadecimal digits.
    const std::string& lastKeyCodeText() const { return lastKeyCodeText_; }
    // PASSEDKEY: the text form of the last key the locked keyboard refused.
    const std::string& passedKey() const { return passedKey_; }

  private:
    int translateKey(bool down, const RawKey& key);
    int resolveIndex(std::uint8_t code, const RawKey& key) const;
    void deadKeys(int index, int column);
    void applyShiftState(bool down, int index);
    void setModifierColumn(int column);
    void refreshModifiers(const RawKey& key);
    bool macroPlaying() const;
    void runMacroText(const std::string& statements);

    KeyboardController& controller_;
    SessionStatus& status_;
    KeyboardState& state_;
    const KeyboardSettings& keyboardSettings_;
    const LayoutBlock& map_;
    const CodePages& tables_;
    const KeyInputSettings& settings_;
    const KeyList* keyList_;
    const Scheduler* scheduler_;
    KeyInputMacros defaultMacros_;
    KeyInputUi defaultUi_;
    KeyInputMacros* macros_;
    KeyInputUi* ui_;

    int modifierColumn_ = 0;
    // The map's shift key held down (its key index), or -1.
    int heldShiftKey_ = -1;
    int heldShiftColumn_ = 0;
    KeyWord currentKey_ = kNoFunction;
    KeyWord keyUpCode_ = kNoFunction;
    std::uint8_t deadKeyChar_ = 0;
    bool waitingForChar_ = false;
    bool capsLockOn_ = false;
    bool numLockOn_ = false;
    bool shiftDown_ = false;
    bool ctrlDown_ = false;
    bool altDown_ = false;
    bool hasFocus_ = true;
    bool firstKeyAfterFocus_ = false;
    std::uint8_t lastVirtualKey_ = 0;
    std::string lastKeyCodeText_;
    std::string passedKey_;
    int wheelSum_ = 0;
    bool wheelUsed_ = false;
    std::int64_t lastWheelMs_ = 0;
};

}  // namespace cedar::keys
