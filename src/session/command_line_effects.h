// What the connection options of the command line do to the session and the
// host list at start: /H (or a tn3270:// URL) picks or adds a host list
// entry, and /L, /P, /E, /N, /V and /C adjust the session.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "session/command_line.h"
#include "sessionfile/host_list.h"
#include "sessionfile/session_file.h"
#include "sessionfile/session_options.h"

namespace cedar {

struct CommandLineEffects {
    bool givenOnCommandLine = false;  // connect straight away, no SESSION dialog
    bool saveHostList = false;        // an entry was found or added
    bool saveSession = false;         // an option changed the session (explicit save)
    std::optional<sessionfile::HostSecurity> security;   // certificate files and checks
    std::string colorScheme;                             // /C, applied by the display
    std::vector<sessionfile::HostListMessage> messages;  // what could not be stored
};

CommandLineEffects applyConnectionOptions(const CommandLine& line,
                                          sessionfile::SessionOptions& session,
                                          sessionfile::HostList& hosts);

}  // namespace cedar
