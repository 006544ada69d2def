// What to connect to, worked out from a session file, the host list and the
// command line: the host's address, port, TN3270E, LU name, TLS choice and
// certificate files, and the terminal model.
#pragma once

#include <optional>
#include <string>

#include "host/connection.h"
#include "host/telnet_layer.h"
#include "session/session.h"
#include "sessionfile/host_list.h"
#include "sessionfile/session_options.h"
#include "sessionfile/settings.h"

namespace cedar {

struct ConnectionPlan {
    ConnectionOptions connection;
    TelnetConfig telnet;
    int modelIndex = 0;  // 0..3 = models 2..5, 4 = user-defined
    int userRows = 24;
    int userColumns = 80;
    std::string hostName;        // as the user knows it (the host list's name)
    bool hostListEntry = false;  // the host list knew the host
};

// Both name the certificates folder's trusted-hosts file (certificate_trust.h)
// as the connection's trust file when `certsFolder` is not empty.
//
// From a loaded session file; the host list entry named like the session's
// host supplies the connection choices the file does not hold.
ConnectionPlan planFromSession(const sessionfile::SessionOptions& session,
                               const sessionfile::HostList& hosts, const Settings& settings,
                               const std::string& certsFolder);

// From a host name typed by the user: the host list's entry of that name,
// or a new entry's choices (both certificate checks on).
ConnectionPlan planFromHost(const std::string& hostName, const sessionfile::HostList& hosts,
                            const Settings& settings, const std::string& certsFolder);

// Puts the plan's terminal model into the session's size options, so that
// the connection offers the terminal type and alternate size the record
// asks for now (a macro or the SESSION dialog may have changed it since the
// start). True when they changed.
bool settleModel(Session& session, const ConnectionPlan& plan);

// The TLS choice of a host entry's security level (0..4; other levels: none).
Encryption encryptionOfLevel(int securityLevel);

}  // namespace cedar
