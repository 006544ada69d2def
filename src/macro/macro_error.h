// Macro errors: every failure of the macro language is one numbered error
// from a fixed table; the number is what the user sees.
#pragma once

#include <cstdint>
#include <string_view>

namespace cedar {

enum class MacroError : std::int16_t {
    None = -1,  // no error
    Unknown = 0,
    NameTooLong = 1,
    NumberTooLong = 2,
    NumericOverflow = 3,
    OperatorTooLong = 4,
    IfWithoutEndIf = 5,
    UnknownKeyword = 6,
    UnknownParameter = 7,
    UnexpectedText = 8,
    WhileWithoutEndWhile = 9,
    VariableNotFound = 10,
    UnknownOperator = 11,
    UnbalancedParenthesis = 12,
    IncompatibleTypes = 13,
    InvalidForText = 14,
    UnknownFunction = 15,
    WrongParmCount = 16,
    WrongParmType = 17,
    OperandWhereOperationExpected = 18,
    NoFileHandles = 19,
    InvalidOpenAction = 20,
    FileOpenError = 21,
    FileNotOpen = 22,
    RecordTooLong = 23,
    InvalidFileHandle = 24,
    EndOfFile = 25,
    LeftParenthesisExpected = 26,
    InvalidDebugWindowParm = 27,
    VariableNameTooLong = 28,
    ReadOnlySystemVariable = 29,
    InvalidKeyFunction = 30,
    WaitTimeout = 31,
    VariableTableOverflow = 32,
    CursorKeyNeedsPosition = 33,
    InvalidSessionParm = 34,
    ElseWithoutIf = 35,
    EndIfWithoutIf = 36,
    InvalidScanTableAddress = 37,
    EndWhileWithoutWhile = 38,
    CaseWithoutSelect = 39,
    DefaultWithoutSelect = 40,
    EndSelectWithoutSelect = 41,
    NextWithoutFor = 42,
    ForWithoutAssignment = 43,
    ForWithoutTo = 44,
    ForNotNumeric = 45,
    OnlyStepAfterTo = 46,
    StepIsZero = 47,
    NextVariableMismatch = 48,
    TextTooLong = 49,
    BreakOutsideLoop = 50,
    ContinueOutsideLoop = 51,
    ScanAreaOverflow = 52,
    GotoNeedsLabel = 53,
    LabelNotFound = 54,
    TransferParmError = 55,
    ReservedWordAsVariable = 56,
    FileWriteError = 57,
    GetOnOutputFile = 58,
    PutOnInputFile = 59,
    ClipboardFull = 60,
    InvalidParameterValue = 61,
    CallNeedsSubroutine = 62,
    GotoNeedsPlainLabel = 63,
    ReturnOutsideSubroutine = 64,
    RecursiveCall = 65,
    RunSessionNotOpen = 66,
    InvalidSessionId = 67,
    // Not an error: RUN has loaded a nested macro and the run loop goes on in it.
    NestedMacroLoaded = 1000,
};

// The number shown to the user (-1 for None).
constexpr int macroErrorNumber(MacroError error) {
    return static_cast<int>(error);
}

// True for the numbers of the error table (0 to 67).
constexpr bool isMacroError(MacroError error) {
    return macroErrorNumber(error) >= 0 && macroErrorNumber(error) <= 67;
}

// The table text of an error ("Unknown Error - ..." for a number outside the table).
std::string_view macroErrorText(MacroError error);

}  // namespace cedar
