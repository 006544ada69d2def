// Remote print and remote macro data: the host sends text in structured
// fields (ID 0x0F, type 0x1F) for the PC to print or to run as a macro. The
// data is kept in a file of the session until the next Erase/Write, which
// closes the file and prints it or starts it.
#pragma once

#include <cstdint>
#include <string>

#include "screen/record_hooks.h"

namespace cedar {

enum class RemoteActionKind : std::uint8_t { PcPrint, Macro };

// Where the data goes. The default keeps nothing and never fails.
class RemoteActionStore {
  public:
    virtual ~RemoteActionStore() = default;
    // Creates the session's file for the action (replacing an old one);
    // false when it cannot be created.
    virtual bool create(RemoteActionKind /*kind*/) { return true; }
    // Appends display-code data; false, with the system's error text in
    // `error`, when the write fails.
    virtual bool append(Bytes /*data*/, std::string& /*error*/) { return true; }
    // Closes the file, then prints it or starts it as a macro.
    virtual void complete(RemoteActionKind /*kind*/) {}
};

// The name of the session's file for an action: "cdr$x$exec.mac" (macro) or
// "cdr$x$prnt.txt" (print), x being the session id. The files themselves are
// written by platform/remote_action_files.h.
inline std::string remoteActionFileName(RemoteActionKind kind, char sessionId) {
    std::string name = kind == RemoteActionKind::Macro ? "cdr$x$exec.mac" : "cdr$x$prnt.txt";
    name[4] = sessionId;
    return name;
}

}  // namespace cedar
