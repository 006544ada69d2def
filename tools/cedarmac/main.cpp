// cedarmac: tells a running session to play a macro file or macro
// statements, or lists the ids of the running sessions.
#include <cstdio>
#include <string>
#include <vector>

#include "cedarmac_args.h"
#include "platform/common_area_posix.h"

using namespace cedar;

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const cedarmac::Command cmd = cedarmac::parseArguments(args);
    if (cmd.action == cedarmac::Action::Help) {
        std::fputs(cedarmac::helpText().c_str(), stdout);
        return cmd.exitCode;
    }
    // The request field holds 259 characters and its terminator: refuse a
    // longer text rather than cut it.
    if (cmd.hasId && cmd.text.size() > area::kMaxFieldText) {
        std::printf("Error - the macro text is %zu characters long; at most %zu are allowed\n",
                    cmd.text.size(), area::kMaxFieldText);
        return cedarmac::kFailed;
    }
    std::string error;
    auto shared = platform::SharedArea::open(error);
    if (!shared) {
        std::printf("Error - %s\n", error.c_str());
        return cedarmac::kFailed;
    }
    if (cmd.list) {
        const auto owners = shared->owners();
        std::string ids;
        if (owners)
            for (int i = 0; i < area::kSlotCount; ++i)
                if ((*owners)[static_cast<std::size_t>(i)] != 0) ids += area::idOfIndex(i);
        if (ids.empty()) {
            std::printf("Error 2 - There are no active Cedar windows\n");
            return cedarmac::kFailed;
        }
        std::printf("Active List - %s\n", ids.c_str());
    }
    if (cmd.hasId && !cmd.text.empty()) {
        const auto r = shared->postMacro(area::indexOfId(cmd.id), cmd.statements, cmd.text);
        if (r != platform::SharedArea::PostResult::Posted) {
            std::printf("Error - Cedar session %c is not currently active\n", cmd.id);
            return cedarmac::kFailed;
        }
    }
    return cedarmac::kOk;
}
