// The Regina side of a REXX task: registering our functions, the CEDAR
// environment and the exits on the calling thread, running a program, and
// the variable pool of the running program. Everything here acts on the
// calling thread's interpreter.
#pragma once

#include <optional>
#include <string>

#include "platform/regina_host.h"

namespace cedar {

struct ReginaHost::Task {
    ReginaHost* host = nullptr;
    int slot = -1;
    std::atomic<bool>* haltReady = nullptr;  // set once the interpreter is set up here
};

namespace regina {

struct ProgramEnd {
    long startCode = 0;        // the start call's own code: negative when the program did not parse
    int returnCode = 0;        // the program's return code
    bool errorTraced = false;  // the interpreter wrote an error through the trace output
};

// Registers everything on this thread, runs the program and deregisters.
ProgramEnd runTaskProgram(ReginaHost::Task& task, const std::string& name,
                          const std::string& source);
// Runs "return " + expression on this thread (inside a running task) and
// gives the result read as a number; nothing when it fails.
std::optional<long> evaluate(const std::string& expression);

// The interpreter's own text of an error number ("" when it has none).
std::string errorText(long number);

// The variable pool of the program running on this thread.
bool setVariable(const std::string& name, const std::string& value);
std::optional<std::string> fetchVariable(const std::string& name);
void dropVariable(const std::string& name);

}  // namespace regina
}  // namespace cedar
