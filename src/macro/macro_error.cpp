#include "macro/macro_error.h"

#include <array>

namespace cedar {

namespace {

constexpr std::array<std::string_view, 68> kErrorTexts = {
    "Unknown Error - Contact Cedar TN3270 Support",
    "Keyword or Variable name is too long",
    "Numeric constant is too many characters",
    "Numeric overflow during evaluation",
    "Special character string is too long",
    "If without Endif was seen",
    "Unknown keyword seen",
    "Unknown parameter seen",
    "Unexpected text seen",
    "While without EndWhile was seen",
    "Variable or function not found",
    "Unknown operator",
    "Unbalanced parenthesis",
    "Incompatible variable type for operation",
    "Operation invalid for text variable types",
    "Unknown function",
    "Invalid number of parms for function",
    "Invalid type of parm for function",
    "Operand seen where an operation was expected",
    "No more available file handles",
    "Invalid open-file action",
    "File open error",
    "File is not open",
    "Record too long",
    "Invalid file handle",
    "End of file",
    "Left parenthesis expected to follow function name",
    "Invalid DebugWindow parm",
    "Variable name is too long",
    "Reserved system variable cannot be altered",
    "Invalid Key Function",
    "Timeout while waiting for condition to be true",
    "Variable table overflow",
    "Cursor move key functions need row,col parms",
    "NextSession parm invalid",
    "Else was seen without a previous If",
    "EndIf was seen without a previous If",
    "Internal error - Invalid scan table address",
    "EndWhile was seen without a previous While",
    "Case was seen without a previous Select",
    "Default was seen without a previous Select",
    "EndSelect was seen without a previous Select",
    "Next was seen without a previous For",
    "Assignment not seen on a For statement",
    "For statement was seen without To parameter",
    "For statement must be all numeric values",
    "Step is the only statement that can follow To",
    "Value for Step cannot be zero",
    "Next variable does not match previous For",
    "String variable too long (more than 255 bytes)",
    "Break invalid outside of For/While block",
    "Continue invalid outside of For/While block",
    "Scan area overflow.  Program may be too large",
    "Goto can only have a label",
    "Label not found",
    "File Transfer parm error.  See Help info for an example",
    "Variable name is a reserved word or function name",
    "An error occurred while writing to a file",
    "Get function cannot be used for file open for output",
    "Put function cannot be used for file open for input",
    "Clipboard is full",
    "Invalid Parameter Value",
    "Call function does not specify a subroutine address",
    "Goto statement does not specify a label address",
    "Return seen outside of subroutine",
    "Attempt to call a subroutine recursively",
    "Session id specified on Run statement is not an open window",
    "Session id invalid, must be A-Z or 0-9",
};

}  // namespace

std::string_view macroErrorText(MacroError error) {
    if (!isMacroError(error)) return kErrorTexts[0];
    return kErrorTexts[static_cast<std::size_t>(macroErrorNumber(error))];
}

}  // namespace cedar
