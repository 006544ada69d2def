// What the expression evaluator needs from the rest of the session: calling
// a built-in function, reading a system variable and moving the cursor.
#pragma once

#include <map>
#include <optional>
#include <span>
#include <vector>

#include "macro/macro_error.h"
#include "macro/macro_value.h"
#include "macro/reserved_words.h"
#include "macro/variables.h"

namespace cedar {

class MacroHost {
  public:
    virtual ~MacroHost() = default;

    // Carries out a built-in function. The arguments have already been
    // checked against the word's parameter list; unary operators never come
    // here. A function without a result leaves `result` without a value.
    // Returns None or the macro error.
    virtual MacroError callFunction(ReservedWord word, std::span<const MacroValue> args,
                                    MacroValue& result) = 0;

    // The current value of a system variable. A value without a type is
    // taken as 0 or the empty text, as the variable's type is.
    virtual MacroValue readSystemVariable(SystemVariable id) = 0;

    // Moves the cursor (row and column from 0; nullopt = keep). The values
    // may lie outside the screen: the session keeps the cursor on it.
    virtual void moveCursor(std::optional<int> row, std::optional<int> column) = 0;

    // A file transfer that SENDFILE or RECEIVEFILE started is still running:
    // the macro waits for its end before it goes on.
    virtual bool transferPending() { return false; }
    // The macro that waited for that transfer was stopped.
    virtual void transferAbandoned() {}
};

// A host that does nothing: functions have no result, system variables are
// 0 or empty.
class NullMacroHost : public MacroHost {
  public:
    MacroError callFunction(ReservedWord, std::span<const MacroValue>, MacroValue&) override {
        return MacroError::None;
    }
    MacroValue readSystemVariable(SystemVariable) override { return {}; }
    void moveCursor(std::optional<int>, std::optional<int>) override {}
};

// A host that records what is asked of it and answers from tables (tests,
// fuzzing, benchmarks).
class RecordingMacroHost : public MacroHost {
  public:
    struct Call {
        ReservedWord word = ReservedWord::None;
        std::vector<MacroValue> args;
    };
    struct CursorMove {
        std::optional<int> row;
        std::optional<int> column;
    };

    // What a function returns (none: no value) and the error it gives.
    std::map<ReservedWord, MacroValue> results;
    std::map<ReservedWord, MacroError> errors;
    std::map<SystemVariable, MacroValue> systemValues;

    std::vector<Call> calls;
    std::vector<SystemVariable> reads;
    std::vector<CursorMove> cursorMoves;
    // Stop recording after this many entries of each kind (fuzzing keeps memory bounded).
    std::size_t recordLimit = 100'000;

    MacroError callFunction(ReservedWord word, std::span<const MacroValue> args,
                            MacroValue& result) override {
        if (calls.size() < recordLimit) calls.push_back({word, {args.begin(), args.end()}});
        if (auto e = errors.find(word); e != errors.end()) return e->second;
        if (auto r = results.find(word); r != results.end()) result = r->second;
        return MacroError::None;
    }
    MacroValue readSystemVariable(SystemVariable id) override {
        if (reads.size() < recordLimit) reads.push_back(id);
        const auto it = systemValues.find(id);
        return it == systemValues.end() ? MacroValue{} : it->second;
    }
    void moveCursor(std::optional<int> row, std::optional<int> column) override {
        if (cursorMoves.size() < recordLimit) cursorMoves.push_back({row, column});
    }
};

}  // namespace cedar
