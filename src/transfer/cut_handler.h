// How the transfer session hands screen records to CUT mode, where the host
// writes coded frames onto the screen and the terminal answers with Enter.
#pragma once

#include "screen/record_hooks.h"

namespace cedar {

class CutHandler {
  public:
    virtual ~CutHandler() = default;
    // While the transfer is ready to start (TR_READY): answers the
    // handshake screen when this record is it.
    virtual void handshake(Bytes record) = 0;
    // While a transfer runs: true when the record was a CUT frame and was
    // handled here.
    virtual bool offerRecord(Bytes record) = 0;
    // The end frame (it may come at any time).
    virtual void endFrame(Bytes record) = 0;
};

}  // namespace cedar
