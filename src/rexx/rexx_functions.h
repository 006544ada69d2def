// The REXX external functions that reach the session, carried out on the
// session thread over the macro function library (MacroHost): REXX strings
// in, a REXX string out, the numbered errors for bad arguments. The waits
// (shortwait, wait, waitunlocked) block the task and are the binding's own.
#pragma once

#include <string>
#include <vector>

#include "macro/macro_host.h"
#include "rexx/rexx_arguments.h"
#include "rexx/rexx_errors.h"

namespace cedar {

struct RexxCallResult {
    // A failed call: error None fails it without a message.
    bool failed = false;
    RexxError error = RexxError::None;
    std::string value;

    static RexxCallResult ok(std::string v) { return {false, RexxError::None, std::move(v)}; }
    static RexxCallResult fail(RexxError e) { return {true, e, {}}; }
};

class RexxFunctionLibrary {
  public:
    explicit RexxFunctionLibrary(MacroHost& host) : host_(host) {}

    // Session thread. The argument count has been checked already.
    RexxCallResult call(const RexxFunctionShape& shape, const RexxArguments& args);

  private:
    RexxCallResult getvar(const RexxArguments& args);
    RexxCallResult putvar(const RexxArguments& args);
    RexxCallResult screen(std::string_view name, const RexxArguments& args);
    RexxCallResult key(const RexxArguments& args);
    RexxCallResult transfer(bool send, const RexxArguments& args);
    // getoption and setoption over the option table: any refusal is 1010 or 1009.
    RexxCallResult option(bool set, const RexxArguments& args);
    int rows();
    int columns();
    // A native function whose result is turned into text.
    RexxCallResult forward(ReservedWord word, std::vector<MacroValue> args);

    MacroHost& host_;
};

}  // namespace cedar
