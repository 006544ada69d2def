// Keyboard input on the keyboard fixture's session: the shipped country file
// and standard keyboard map, a selected keyboard country, and fakes for the
// macro system and the user interface around the keyboard.
#pragma once

#include <string>
#include <vector>

#include "keyboard/key_input.h"
#include "keyboard_fixture.h"
#include "manual_scheduler.h"

namespace cedar::test {

class FakeMacros : public keys::KeyInputMacros {
  public:
    bool present = false;  // a macro system is there
    std::uint8_t macroState = 0;
    bool lockedExit = false;
    bool lockedExitHandles = false;
    int stops = 0;
    int lockedExitRuns = 0;
    std::vector<std::string> texts;  // runText calls, "untrusted: ..." or "trusted: ..."

    bool available() const override { return present; }
    std::uint8_t state() const override { return macroState; }
    std::string currentName() const override { return "demo"; }
    void stop() override { ++stops; }
    bool runText(const std::string& statements, bool trusted) override {
        texts.push_back((trusted ? "trusted: " : "untrusted: ") + statements);
        return present;
    }
    bool lockedExitPresent() const override { return lockedExit; }
    bool runLockedExit() override {
        ++lockedExitRuns;
        return lockedExitHandles;
    }
};

class FakeInputUi : public keys::KeyInputUi {
  public:
    std::vector<int> shiftStates;
    std::vector<std::string> messages;  // "title: text"
    int errorSounds = 0;
    int unavailable = 0;
    int capsForcedOff = 0;
    int numForcedOff = 0;
    bool answerYes = false;

    void shiftStateChanged(int column) override { shiftStates.push_back(column); }
    void playErrorSound() override { ++errorSounds; }
    void information(std::string_view text, std::string_view title) override {
        messages.push_back(std::string(title) + ": " + std::string(text));
    }
    bool askYesNo(std::string_view text, std::string_view title) override {
        messages.push_back(std::string(title) + ": " + std::string(text));
        return answerYes;
    }
    void macrosUnavailable() override { ++unavailable; }
    void forceCapsLockOff() override { ++capsForcedOff; }
    void forceNumLockOff() override { ++numForcedOff; }
};

// Linux input key codes of the keys the tests press.
namespace input {
inline constexpr int kEsc = 1, kMinus = 12, kEqual = 13, kBackspace = 14, kTab = 15, kQ = 16,
                     kW = 17, kE = 18, kY = 21, kLeftBrace = 26, kEnter = 28, kLeftCtrl = 29,
                     kA = 30, kSemicolon = 39, kApostrophe = 40, kGrave = 41, kLeftShift = 42,
                     kZ = 44, kX = 45, kM = 50, kComma = 51, kRightShift = 54, kLeftAlt = 56,
                     kSpace = 57, kCapsLock = 58, kF1 = 59, kNumLock = 69, kKeypad7 = 71,
                     kKeypad4 = 75, kKeypadDot = 83, kLess = 86, kKeypadEnter = 96, kRightAlt = 100,
                     kPause = 119, kPrint = 99, kHome = 102;
inline constexpr int digit(int n) {
    return n == 0 ? 11 : 1 + n;
}
}  // namespace input

struct Mods {
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
};

struct KeyInputFixture : KeyboardFixture {
    // `keyboard`: the keyboard country (a block name of country.lst).
    explicit KeyInputFixture(const std::string& keyboard = "037");

    // The key message of a physical key; `unshifted`: what the key types on
    // the window system's layout (letters decide the virtual-key code).
    keys::RawKey raw(int inputCode, Mods mods = {}, char32_t unshifted = 0) const;
    // Press and release, with the modifiers held (their own keys included):
    // Shift, the left Ctrl, and AltGr (the right Alt key) for `alt`.
    void stroke(int inputCode, Mods mods = {}, char32_t unshifted = 0);
    void down(int inputCode, Mods mods = {}, char32_t unshifted = 0, bool repeat = false);
    void up(int inputCode, Mods mods = {}, char32_t unshifted = 0);
    // The field at 119 (positions 120..279) emptied, the cursor at 130.
    void emptyField();
    std::uint8_t at(int position) { return ps().characters()[position]; }

    CodePages pages;
    keys::LayoutBlock map{keys::LayoutType::Keyboard};
    keys::KeyInputSettings inputSettings;
    FakeMacros macros;
    FakeInputUi inputUi;
    ManualScheduler scheduler;
    keys::KeyInput input;
};

}  // namespace cedar::test
