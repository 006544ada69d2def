// The opener of transfers' PC files on the local file system.
#pragma once

#include <memory>

#include "transfer/transfer_request.h"

namespace cedar::platform {

// Opens PC files as POSIX files (read, create, append).
std::unique_ptr<TransferFileOpener> makeTransferFileOpener();

}  // namespace cedar::platform
