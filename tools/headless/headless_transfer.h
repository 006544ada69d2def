// The "transfer" command of cedar_headless:
//   transfer send|receive PCFILE HOSTFILE [OPTION ...]
// OPTION (any case): TEXT (default) or BINARY; REPLACE (default) or APPEND;
// TSO (default), CMS or CICS; NOASCII, NOCRLF; LRECL=N; RECFM=F|V;
// BLKSIZE=N; SPACE=P or SPACE=P,S; TRACKS (default) or CYLINDERS;
// PARMS=TEXT (more host options); TIMEOUT=SECONDS (default 600).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "keyboard/keyboard_controller.h"
#include "session/macro_services.h"
#include "session/session.h"
#include "sessionfile/session_options.h"
#include "sessionfile/settings.h"
#include "transfer/transfer_request.h"

namespace cedar::headless {

struct TransferCommandLine {
    TransferRequest request;
    int timeoutSeconds = 600;
};

// `words` starts with "transfer". False with `error` set on a bad command.
bool parseTransferCommand(const std::vector<std::string>& words, TransferCommandLine& command,
                          std::string& error);

extern const char* const kTransferUsage;

// SENDFILE and RECEIVEFILE of the macros cedar_headless plays: the
// transfer starts at once with the values the session file keeps for the
// dialog of its direction, the macro's in their place (the kept values stay
// as they are). It is pending while transferAwaitsHost() says so and the
// connection lasts, so that a next transfer's command goes into the host's
// screen after this one. A start that is refused or whose PC file cannot be
// opened becomes a line of the answer.
class HeadlessMacroTransfers : public MacroTransfers {
  public:
    struct Parts {
        Session& session;
        const sessionfile::SessionOptions& options;
        keys::KeyboardController& keyboard;
        const Settings& settings;
        TransferFileOpener* files = nullptr;  // nullptr: no transfers
        std::function<void(std::string)> note;
        // The connection is up (a transfer whose connection ended is over).
        std::function<bool()> connected;
    };
    explicit HeadlessMacroTransfers(Parts parts) : parts_(std::move(parts)) {}

    bool startTransfer(const MacroTransferRequest& request) override;
    bool transferPending() const override;
    // The macro was stopped: its transfer is cancelled (one the host has
    // not taken up yet ends at once).
    void abandonTransfer() override;
    // XFERADDSTG: the entry is shown as "entry NAME".
    void addHostListEntry(const std::string& entry) override;

  private:
    Parts parts_;
    bool started_ = false;
};

}  // namespace cedar::headless
