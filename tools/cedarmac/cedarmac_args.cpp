#include "cedarmac_args.h"

#include <cctype>

namespace cedar::cedarmac {

namespace {

Command help(int code) {
    Command c;
    c.action = Action::Help;
    c.exitCode = code;
    return c;
}

bool isFlag(const std::string& a) {
    return a.size() == 2 && a[0] == '/';
}

}  // namespace

Command parseArguments(const std::vector<std::string>& args) {
    if (args.empty()) return help(kFailed);
    Command c;
    c.action = Action::Run;
    c.exitCode = kOk;
    for (const std::string& a : args) {
        if (isFlag(a)) {
            switch (std::toupper(static_cast<unsigned char>(a[1]))) {
                case '?':
                case 'H':
                    return help(kOk);
                case 'S':
                    c.statements = true;
                    break;
                case 'W':
                    c.list = true;
                    break;
                default:
                    return help(kFailed);
            }
            continue;
        }
        if (!c.hasId) {
            if (a.empty() || !std::isalnum(static_cast<unsigned char>(a[0]))) return help(kFailed);
            c.hasId = true;
            c.id = a[0];
        } else if (c.text.empty()) {
            c.text = a;
        } else {
            return help(kFailed);
        }
    }
    if (!c.list && (!c.hasId || c.text.empty())) return help(kFailed);
    return c;
}

const std::string& helpText() {
    static const std::string text =
        "The cedarmac command is a way to tell a Cedar TN3270 to run a macro file or macro "
        "statements.\n\n"
        "   cedarmac C runme.mac\n"
        "   cedarmac D /S 'Type(\"Type text and press Enter\");Key(\"Enter\")'\n\n"
        "Flags are:\n"
        "     /S       - second parameter contains macro statements, not a macro file name\n"
        "     /? or /H - display this help text\n\n"
        "First parameter (session id) must be A-Z or 0-9 and must be an active Cedar window id\n"
        "Second parameter (macro filename or string) must be in quotes if it contains blanks\n"
        "Put macro statements in single quotes so that the shell passes their double quotes "
        "unchanged (see example above)\n\n"
        "Errors:\n"
        "     Error 1 - Cedar session X is not currently active\n"
        "     Error 2 - There are no active Cedar windows\n";
    return text;
}

}  // namespace cedar::cedarmac
