// The 16-bit key word: one key function, as keyboard, toolbar and keypad
// layout files store it and as every caller hands it to the dispatcher.
//
//   low byte  bit 0     Immediate (carried out even while the keyboard is locked)
//             bits 1-4  Kind (ACTION, EDIT, CHAR, OPER, MACRO; 15 = no function)
//             bits 5-7  layout-file flags (Assigned, Repeat, Num-Lock)
//   high byte function code; for CHAR the display-code character; for MACRO
//             the index into the producing file's macro-name list
#pragma once

#include <cstdint>

namespace cedar::keys {

using KeyWord = std::uint16_t;

enum class Kind : std::uint8_t {
    Action = 0,
    Edit = 1,
    Char = 2,
    Oper = 3,
    Macro = 4,
    None = 15,
};

inline constexpr std::uint8_t kImmediate = 0x01;
inline constexpr std::uint8_t kKindMask = 0x1E;
inline constexpr std::uint8_t kAssigned = 0x20;
inline constexpr std::uint8_t kRepeat = 0x40;
inline constexpr std::uint8_t kNumLockFlag = 0x80;

constexpr KeyWord makeKey(Kind kind, std::uint8_t code, std::uint8_t flags = 0) {
    return static_cast<KeyWord>(code << 8 | (static_cast<unsigned>(kind) << 1) |
                                (flags & ~kKindMask & 0xFF));
}
constexpr Kind kindOf(KeyWord word) {
    return static_cast<Kind>((word & kKindMask) >> 1);
}
constexpr std::uint8_t codeOf(KeyWord word) {
    return static_cast<std::uint8_t>(word >> 8);
}
constexpr std::uint8_t flagsOf(KeyWord word) {
    return static_cast<std::uint8_t>(word & 0xFF);
}
constexpr bool isImmediate(KeyWord word) {
    return (word & kImmediate) != 0;
}

// Kind and code only: the comparison layout lookups and labels use.
constexpr bool sameFunction(KeyWord a, KeyWord b) {
    return kindOf(a) == kindOf(b) && codeOf(a) == codeOf(b);
}

// Attention keys. Codes 31..37 are PA4..PA10 and 38..49 PF25..PF36.
enum class Action : std::uint8_t {
    Attn = 0,
    Clear = 1,
    Enter = 2,
    PA1 = 3,
    PA2 = 4,
    PA3 = 5,
    PF1 = 6,  // PF1..PF24 are 6..29
    PF24 = 29,
    SysReq = 30,
    PA4 = 31,  // PA4..PA10 are 31..37
    PA10 = 37,
    PF25 = 38,  // PF25..PF36 are 38..49
    PF36 = 49,
};
inline constexpr int kActionCount = 50;

// Cursor movement, field editing, selection and clipboard functions.
enum class Edit : std::uint8_t {
    Backspace = 0,
    BackTab = 1,
    CapsLock = 2,
    Copy = 3,
    Cut = 4,
    Delete = 5,
    DeleteWord = 6,
    CursorDown = 7,
    FastDown = 8,
    Dup = 9,
    EndField = 10,
    EraseEOF = 11,
    EraseInput = 12,
    FieldMark = 13,
    Home = 14,
    Insert = 15,
    CursorLeft = 16,
    FastLeft = 17,
    NewLine = 18,
    NoFunction = 19,
    PasteOverlay = 20,
    Reset = 21,
    CursorRight = 22,
    FastRight = 23,
    SelectAll = 24,
    SelectField = 25,
    SelectLine = 26,
    SelectWord = 27,
    Unused28 = 28,
    Tab = 29,
    CursorUp = 30,
    FastUp = 31,
    WordLeft = 32,
    WordRight = 33,
    BottomLine = 34,
    PreviousLine = 35,
    Undo = 36,
    ClearClipboard = 37,
    NumLock = 38,
    PasteRepeat = 39,
    PasteField = 40,
    Paste = 41,
    SelectLocation1 = 42,
    SelectLocation2 = 43,
    PasteContinue = 44,
    PasteWindow = 45,
    CopyAppend = 46,
    EditMenu = 47,
    SelectUp = 48,
    SelectDown = 49,
    SelectLeft = 50,
    SelectRight = 51,
    SelectJCL = 52,
    SelectText = 53,
    PasteJCL = 54,
    LineHome = 55,
    PasteInsert = 56,
    CopyFields = 57,
    Find = 58,
    FindRepeat = 59,
    FindClear = 60,
    PasteFlow = 61,
    PasteByTyping = 62,
    CopyAppendNoCR = 63,
    WordWrap = 64,
    CopyTruncate = 65,
};
inline constexpr int kEditCount = 66;

// Operator functions acting on the session as a whole.
enum class Oper : std::uint8_t {
    CaptureScreens = 0,
    ReceiveFile = 1,
    Options = 2,
    Exit = 3,
    LargerFont = 4,
    NarrowerFont = 5,
    FontOptions = 6,
    ShorterFont = 7,
    SmallerFont = 8,
    TallerFont = 9,
    ThickFont = 10,
    ThinFont = 11,
    WiderFont = 12,
    MoveCursor = 13,
    MoveCursorEnter = 14,
    NewSession = 15,
    NewSessionAsk = 16,
    PrintScreen = 17,
    PrintScreenAsk = 18,
    Unused19 = 19,
    SaveScreen = 20,
    SaveScreenAppend = 21,
    SaveSessionAs = 22,
    ShowAttributes = 23,
    StartupMacro = 24,
    SendFile = 25,
    KeyboardEdit = 26,
    ToolBarEdit = 27,
    Reconnect = 28,
    Cascade = 29,
    MinimizeAll = 30,
    ExitAll = 31,
    MaximizeAll = 32,
    PreviousSession = 33,
    NextSession = 34,
    LocateCursor = 35,
    ReconnectAsk = 36,
    MacroRecord = 37,
    MacroPlay = 38,
    MacroStop = 39,
    MacroPause = 40,
    HelpContents = 41,
    HelpSearch = 42,
    TransferLog = 43,
    Disconnect = 44,
    SaveDebugScreen = 45,
    ToolBar = 46,
    MenuBar = 47,
    KeyPadEdit = 48,
    KeyPad = 49,
    PrintFile = 50,
    MacroDebugWindow = 51,
    CascadeFromHere = 52,
    Minimize = 53,
    Maximize = 54,
    Restore = 55,
    ShowNormal = 56,
    TranslateToggle = 57,
    NextVisibleSession = 58,
    PreviousVisibleSession = 59,
    SaveScreenAsk = 60,
    RestoreAll = 61,
    PrevScreen = 62,
    NextScreen = 63,
};
inline constexpr int kOperCount = 64;

constexpr KeyWord actionKey(Action code, std::uint8_t flags = 0) {
    return makeKey(Kind::Action, static_cast<std::uint8_t>(code), flags);
}
constexpr KeyWord editKey(Edit code, std::uint8_t flags = 0) {
    return makeKey(Kind::Edit, static_cast<std::uint8_t>(code), flags);
}
constexpr KeyWord operKey(Oper code, std::uint8_t flags = 0) {
    return makeKey(Kind::Oper, static_cast<std::uint8_t>(code), flags);
}
constexpr KeyWord charKey(std::uint8_t displayCode, std::uint8_t flags = 0) {
    return makeKey(Kind::Char, displayCode, flags);
}
constexpr KeyWord macroKey(std::uint8_t index, std::uint8_t flags = 0) {
    return makeKey(Kind::Macro, index, flags);
}

// EDIT 19 with the immediate bit clear: unassigned keys, filler entries.
inline constexpr KeyWord kNoFunction = 0x1302;
static_assert(editKey(Edit::NoFunction) == kNoFunction);
static_assert(kindOf(makeKey(Kind::None, 0)) == Kind::None);

}  // namespace cedar::keys
