// The opener of transfers' PC files on the local file system.
#pragma once

#include <memory>

#include "transfer/transfer_request.h"

namespace cedar::platform {

// nullptr when this build has no PC file access for transfers.
std::unique_ptr<TransferFileOpener> makeTransferFileOpener();

}  // namespace cedar::platform
