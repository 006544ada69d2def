// The table of reserved words: every statement keyword and built-in function
// of the macro language, identified by its slot number, with the parameter
// list each function's arguments are checked against.
#pragma once

#include <cstdint>
#include <string_view>

#include "macro/macro_value.h"

namespace cedar {

enum class ReservedWord : std::uint8_t {
    None = 0,
    UnaryPlus = 1,
    UnaryMinus = 2,
    UnaryNot = 3,  // "!": bitwise complement
    Not = 4,
    Mid,
    Left,
    Right,
    Str,
    Open,
    Close,
    Get,
    Put,
    Control,
    Wait,
    Type,
    Key,
    Debug,
    Screen,
    Attribute,
    Color,
    Hilite,
    OnScreen,
    Hex,
    TimeDate,
    WinExec,
    Session,
    If = 27,
    Else,
    EndIf,
    While,
    EndWhile,
    Select,
    Case,
    Default,
    EndSelect,
    For,
    Next,
    Break,
    Continue,
    Exit = 40,
    Goto = 41,
    SendFile,
    ReceiveFile,
    MessageBox,
    Chr,
    Val,
    Len,
    InStr,
    Trim,
    Eof,
    EditBox,
    UpperCase,
    LowerCase,
    GetIni,
    PutIni,
    SetOption,
    GetOption,
    ShortWait,
    Run,
    Call = 60,
    Return = 61,
    ShellExecute,
    DebugWindow,
    PlaySound,
    Defined,
    Asc,
    Beep,
    RawData,
    XferAddStg,
    DataType,
    Drop,
    Rnd,
    HexDec,
    WaitUnlocked = 74,
    // The line the recorder writes for a macro key; plays the macro as RUN does.
    Execute = 75,
};

inline constexpr int kReservedWordSlots = 76;  // slot 0 is empty

// The slot of an upper-case word, or ReservedWord::None.
ReservedWord lookUpReservedWord(std::string_view upperWord);

// The word's spelling ("" for an empty slot).
std::string_view reservedWordName(ReservedWord word);

// IF to GOTO, CALL and RETURN: the words the interpreter executes as statements.
constexpr bool isStatementKeyword(ReservedWord word) {
    const auto n = static_cast<int>(word);
    return (n >= 27 && n <= 41) || n == 60 || n == 61;
}

// One parameter of a function: which types it accepts and whether it may be left out.
struct ParameterMask {
    bool number = false;
    bool text = false;
    bool optional = false;

    bool accepts(ValueType type) const {
        return (type == ValueType::Number && number) || (type == ValueType::Text && text);
    }
};

// The parameter list of a word: up to ten masks, optional ones last.
struct ParameterList {
    static constexpr int kMaxParameters = 10;
    ParameterMask masks[kMaxParameters]{};
    int count = 0;
    int required = 0;
};

const ParameterList& parameterList(ReservedWord word);

}  // namespace cedar
