// cedarmac's command line: what the arguments ask for, and the texts it
// prints. No I/O here; main.cpp carries the result out.
#pragma once

#include <string>
#include <vector>

namespace cedar::cedarmac {

enum class Action {
    Help,  // print the help text, then exit with `exitCode`
    Run,   // list and/or post as the flags say
};

struct Command {
    Action action = Action::Help;
    int exitCode = 8;         // for Help
    bool list = false;        // /W
    bool statements = false;  // /S
    bool hasId = false;
    char id = 0;       // as typed
    std::string text;  // the macro file name or statements
};

// Reads the arguments (without the program name). Only an argument of
// exactly two characters beginning with "/" is a flag, so that a path such as
// /home/u/x.mac is a macro file name.
Command parseArguments(const std::vector<std::string>& args);

const std::string& helpText();

// Exit codes.
constexpr int kOk = 0;
constexpr int kFailed = 8;

}  // namespace cedar::cedarmac
