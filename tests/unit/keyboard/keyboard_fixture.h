// A session on an 8 x 40 screen with the key dispatcher wired in: fakes for
// the host link, the user interface, the recorder and the deferred key
// functions that log what they were asked, the host's keyboard restore
// routed to the dispatcher, and the fixture screens the tests share.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "keyboard/keyboard_controller.h"
#include "record_builder.h"

namespace cedar::test {

using keys::KeyOutcome;
using keys::KeySource;
using keys::KeyWord;

// Hexadecimal bytes separated by blanks: "F1 FF EF".
std::string hexBytes(keys::ByteSpan bytes);

class FakeLink : public keys::KeyboardLink {
  public:
    std::vector<std::string> sent;  // "readModified 7D", "shortRead 6D", "aid FF F3", ...
    std::vector<std::string> echoed;
    int operatorActs = 0;
    bool tn3270e = false;
    bool line = false;
    bool echoes = false;
    bool sscpLu = false;

    void sendReadModified(std::uint8_t aid) override { log("readModified", aid); }
    void sendShortRead(std::uint8_t aid) override { log("shortRead", aid); }
    void sendAid(keys::ByteSpan record) override { sent.push_back("aid " + hexBytes(record)); }
    void sendRaw(keys::ByteSpan bytes) override { sent.push_back("raw " + hexBytes(bytes)); }
    void sendHexString(std::string_view hex) override { sent.push_back("hex " + std::string(hex)); }
    void operatorActed() override { ++operatorActs; }
    bool tn3270eMode() const override { return tn3270e; }
    bool lineMode() const override { return line; }
    bool hostEchoes() const override { return echoes; }
    bool sscpLuMode() const override { return sscpLu; }
    void echoLineMode(keys::ByteSpan bytes) override { echoed.push_back(hexBytes(bytes)); }

  private:
    void log(const char* what, std::uint8_t aid);
};

class FakeUi : public keys::KeyboardUi {
  public:
    int errorSounds = 0;
    int liveScreenReturns = 0;
    std::vector<std::string> exitMacros;
    // What the "protect.ext" exit macro does when it runs; none: it is absent.
    std::function<void()> protectExit;

    void playErrorSound() override { ++errorSounds; }
    void returnToLiveScreen() override { ++liveScreenReturns; }
    bool runExitMacro(std::string_view fileName) override {
        exitMacros.emplace_back(fileName);
        if (!protectExit) return false;
        protectExit();
        return true;
    }
};

class FakeRecorder : public keys::KeyRecorder {
  public:
    bool on = false;
    bool rexx = false;
    std::vector<std::string> lines;
    std::map<KeyWord, std::string> names;

    bool recording() const override { return on; }
    bool rexxDialect() const override { return rexx; }
    void writeLine(std::string_view line) override { lines.emplace_back(line); }
    std::string functionName(KeyWord word) const override;
    std::string macroName(std::uint8_t index, std::uint8_t selector) const override {
        return "macro" + std::to_string(index) + "/" + std::to_string(selector);
    }
};

class FakeDeferred : public keys::DeferredKeyFunctions {
  public:
    std::vector<std::string> calls;
    std::optional<std::string> clipboard;

    void edit(keys::Edit code, bool selectionExisted) override {
        calls.push_back("edit " + std::to_string(static_cast<int>(code)) +
                        (selectionExisted ? " selection" : ""));
    }
    void oper(std::uint8_t code) override { calls.push_back("oper " + std::to_string(code)); }
    void macroKey(std::uint8_t index, std::uint8_t selector) override {
        calls.push_back("macro " + std::to_string(index) + "/" + std::to_string(selector));
    }
    std::optional<std::string> clipboardText() override { return clipboard; }
};

// The fixture screens, written by the host with an Erase/Write that
// restores the keyboard.
enum class Screen {
    // Fields: 0 protected "Name"; 5 unprotected, 6..15, "abcdefghij" (full);
    // 16 autoskip "Num"; 20 numeric, 21..25, "12"; 26 protected "Pw";
    // 30 non-display unprotected, 31..38; 39 protected, 40..118, "Protected
    // text" at 40; 119 unprotected, 120..279 (rows 3 to 6), "hello world" at
    // 120; 280 protected "Footer"; 310 unprotected, 311..319, "end" (ends in
    // the last position). Cursor at 6.
    Form,
    // A field that wraps from the last row to the first: 290 unprotected,
    // 291..319 and 0..9, all 39 positions "x"; 10 protected "Title";
    // 100 and 140 unprotected, 180 protected. Cursor at 291.
    Wrap,
    // Fields without input: 0 protected "Read only", 100 protected.
    NoInput,
    // No fields: "hello world" at 0, "end" at 300.
    Plain,
    // Word wrap rows: rows 0 and 1 an unprotected field at column 0 and a
    // protected one at column 20 (19 columns wide); rows 2 to 6 one
    // unprotected field at column 0 each (39 columns); row 7 protected at
    // column 0, unprotected at column 5. Cursor at 81.
    Paragraphs,
};

// Key sequences: function names (Tab, Enter, EraseEOF, ...) and quoted text
// typed character by character, separated by blanks: "Tab 'ab c' EraseEOF".
std::vector<KeyWord> parseKeys(const std::string& sequence);
KeyWord keyByName(const std::string& name);

struct KeyboardFixture : SessionEvents {
    explicit KeyboardFixture(ScreenSettings screenSettings = {});

    // Applies a host record; its keyboard restore reaches the dispatcher.
    void host(Bytes record) { t.apply(record); }
    void load(Screen screen);
    // Performs each key of a sequence; returns the last outcome.
    KeyOutcome keys(const std::string& sequence, KeySource source = KeySource::Keyboard);
    KeyOutcome key(KeyWord word, KeySource source = KeySource::Keyboard) {
        return controller.performKey(word, source);
    }

    // The characters of the field whose attribute is at `attribute`, nulls as
    // ".", up to the next attribute position.
    std::string field(int attribute);
    bool modified(int attribute) { return (ps().attributes()[attribute] & 0x01) != 0; }
    PresentationSpace& ps() { return t.ps(); }
    SessionStatus& status() { return t.session.status; }
    std::string row(int r) { return t.row(r); }

    // SessionEvents
    void keyboardRestored() override { controller.keyboardRestored(); }
    void replayTypeAhead() override { controller.drainTypeahead(); }

    ScreenSettings screenSettings;
    TestSession t;
    keys::KeyboardSettings settings;
    keys::KeyboardState state;
    FakeLink link;
    FakeUi ui;
    FakeRecorder recorder;
    FakeDeferred deferred;
    keys::KeyboardController controller;
};

}  // namespace cedar::test
