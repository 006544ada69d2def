// The "transfer" command of cedar_headless:
//   transfer send|receive PCFILE HOSTFILE [OPTION ...]
// OPTION (any case): TEXT (default) or BINARY; REPLACE (default) or APPEND;
// TSO (default), CMS or CICS; NOASCII, NOCRLF; LRECL=N; RECFM=F|V;
// BLKSIZE=N; SPACE=P or SPACE=P,S; TRACKS (default) or CYLINDERS;
// PARMS=TEXT (more host options); TIMEOUT=SECONDS (default 600).
#pragma once

#include <string>
#include <vector>

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

}  // namespace cedar::headless
