// Arguments of the REXX external functions: strings, an omitted argument
// absent. Number arguments, argument counts and the functions' table.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rexx/rexx_errors.h"

namespace cedar {

using RexxArguments = std::vector<std::optional<std::string>>;

// A number argument: optional leading blanks, an optional sign and decimal
// digits filling the rest of the text. Anything else, an empty text or a
// value beyond the range of int gives nothing.
std::optional<int> readRexxNumber(std::string_view text);

// The argument at index as text; absent (or beyond the end) gives nothing.
std::optional<std::string_view> rexxArgument(const RexxArguments& args, std::size_t index);

struct RexxNumber {
    RexxError error = RexxError::None;
    int value = 0;
};

// The number argument at index. An absent or empty argument takes fallback,
// or without one fails with unreadable; text that does not read as a number
// fails with unreadable; a value outside [min, max] fails with 1002.
RexxNumber rexxNumberArgument(const RexxArguments& args, std::size_t index,
                              std::optional<int> fallback, int min, int max,
                              RexxError unreadable = RexxError::BadValue);

// The external functions under their registered (lower-case) names, with the
// numbers of arguments each accepts; a call outside them fails with 1003.
struct RexxFunctionShape {
    std::string_view name;
    std::size_t minArguments;
    std::size_t maxArguments;
};
const std::vector<RexxFunctionShape>& rexxFunctionShapes();
const RexxFunctionShape* findRexxFunction(std::string_view name);

// 1003 when the call's argument count lies outside the function's range.
RexxError checkRexxArgumentCount(const RexxFunctionShape& shape, const RexxArguments& args);

}  // namespace cedar
