// The narrow interfaces through which the key functions reach the rest of
// the session: the host connection, the display and other user-interface
// parts, the macro recorder, and the key functions that later subsystems
// carry out (clipboard, selection, find, operator functions, macro keys).
// Each has do-nothing defaults, so the keyboard core runs alone in tests.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "keyboard/key_word.h"

namespace cedar::keys {

using ByteSpan = std::span<const std::uint8_t>;

// Who asked for a key function. Every source that can send an attention key
// goes through the keyboard-lock check; only the type-ahead replay is exempt
// (the host has just unlocked the keyboard for it).
enum class KeySource : std::uint8_t {
    Keyboard,
    Toolbar,
    Keypad,
    Menu,
    Mouse,
    Macro,
    Paste,
    TypeaheadReplay,
    Internal,
};

// What became of a key word handed to performKey.
enum class KeyOutcome : std::uint8_t {
    Performed,  // carried out (possibly ending in an input error)
    Queued,     // the keyboard was locked: kept in the type-ahead queue
    Refused,    // the keyboard was locked and the key was not kept
};

// The host connection as the key functions use it.
class KeyboardLink {
  public:
    virtual ~KeyboardLink() = default;
    // The read-modified reply for `aid` (3270 data stream), framed, traced,
    // transaction timer started.
    virtual void sendReadModified(std::uint8_t /*aid*/) {}
    // A record holding only the AID, framed, traced, timer started.
    virtual void sendShortRead(std::uint8_t /*aid*/) {}
    // A record through the attention path (a record that starts with IAC
    // goes out unframed), traced, timer started.
    virtual void sendAid(ByteSpan /*record*/) {}
    // Bytes straight onto the connection, traced as sent data.
    virtual void sendRaw(ByteSpan /*bytes*/) {}
    // Pairs of hexadecimal digits as bytes straight onto the connection, traced.
    virtual void sendHexString(std::string_view /*hex*/) {}
    // The operator acted: keep-alives start over.
    virtual void operatorActed() {}

    virtual bool tn3270eMode() const { return false; }
    // Line-mode (NVT) terminal in force before 3270 mode was negotiated.
    virtual bool lineMode() const { return false; }
    // The host has taken over echoing (Telnet ECHO).
    virtual bool hostEchoes() const { return false; }
    // TN3270E SSCP-LU session: input is a character string.
    virtual bool sscpLuMode() const { return false; }
    // Shows bytes the operator sent on the line-mode screen.
    virtual void echoLineMode(ByteSpan /*bytes*/) {}
};

// The display and other parts of the user interface.
class KeyboardUi {
  public:
    virtual ~KeyboardUi() = default;
    // Before every key function: the keypad hides its button help (unless a
    // drag-and-drop move runs) and an edit context menu left open closes.
    virtual void beforeKey() {}
    // A mouse drag still in progress over a selection ends; true if one did.
    virtual bool endMouseDrag() { return false; }
    // Removes the selection; true when there was one.
    virtual bool removeSelection() { return false; }
    virtual void cancelLocateCursorFlash() {}
    virtual void repaintStatusLine() {}
    // The session's "Keyclick on Error" sound.
    virtual void playErrorSound() {}
    // An earlier screen is shown: go back to the live screen.
    virtual void returnToLiveScreen() {}
    // Runs an exit macro ("protect.ext") when it was present at start and no
    // macro is running; true when it ran.
    virtual bool runExitMacro(std::string_view /*fileName*/) { return false; }
};

// The macro recorder as the dispatcher writes into it.
class KeyRecorder {
  public:
    virtual ~KeyRecorder() = default;
    // Recording and not paused.
    virtual bool recording() const { return false; }
    // The REXX dialect is being written.
    virtual bool rexxDialect() const { return false; }
    // Appends one line; the caller supplies CR LF.
    virtual void writeLine(std::string_view /*line*/) {}
    // The function's name from the key list (ACTION, EDIT, OPER key words).
    virtual std::string functionName(KeyWord /*word*/) const { return {}; }
    // The name of a MACRO key's macro in the list `selector` chose.
    virtual std::string macroName(std::uint8_t /*index*/, std::uint8_t /*selector*/) const {
        return {};
    }
};

// Key functions that belong to later subsystems: clipboard, selection and
// find (EDIT codes), operator functions (OPER) and macro keys (MACRO).
class DeferredKeyFunctions {
  public:
    virtual ~DeferredKeyFunctions() = default;
    // An EDIT function of the clipboard, selection or find subsystems;
    // `selectionExisted`: a selection was there before the key removed it.
    virtual void edit(Edit /*code*/, bool /*selectionExisted*/) {}
    virtual void oper(std::uint8_t /*code*/) {}
    virtual void macroKey(std::uint8_t /*index*/, std::uint8_t /*selector*/) {}
    // The clipboard's text (display code), for paste in line mode.
    virtual std::optional<std::string> clipboardText() { return std::nullopt; }
};

}  // namespace cedar::keys
