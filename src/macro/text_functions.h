// The built-in functions that compute on their arguments alone: texts,
// numbers, random numbers and the formatted time.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <span>

#include "macro/macro_error.h"
#include "macro/macro_value.h"
#include "macro/reserved_words.h"
#include "macro/scanner.h"

namespace cedar {

struct TextFunctionContext {
    // DATATYPE classifies bytes as the scanner does.
    ScannerOptions scanner;
    // The FixInstrFunction setting: INSTR counts a found position from the
    // first byte of the text rather than from the first byte searched.
    bool fixInstr = false;
    // RND's source: a number drawn uniformly from 0 to 32767.
    std::function<int()> random15;
    // TIMEDATE's time: the local time now.
    std::function<std::tm()> localTime;
};

// True for the words callTextFunction carries out.
bool isTextFunction(ReservedWord word);

// Carries out one of those words on arguments already checked against its
// parameter list. Every result is a value; none of them fails.
MacroError callTextFunction(ReservedWord word, std::span<const MacroValue> args, MacroValue& result,
                            const TextFunctionContext& context);

// The pieces, for callers that need them on their own.
std::string_view macroMid(std::string_view text, std::int32_t start, std::int32_t length);
std::int32_t macroVal(std::string_view text);
std::int32_t macroHexDec(std::string_view text);
std::int32_t macroInstr(std::int32_t start, std::string_view text, std::string_view find,
                        bool fixInstr);
std::string macroHex(std::int32_t number, std::int32_t digits);
// n × r / 32767 for r in 0 ... 32767, computed without overflow.
std::int32_t macroRandomScale(std::int32_t n, int r);

}  // namespace cedar
