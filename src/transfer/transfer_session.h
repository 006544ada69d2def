// The session's side of an IND$FILE transfer: takes the 0xD0 structured
// fields (DFT mode) and the screen records of a running transfer (CUT mode,
// the host's read commands) and answers them through the TransferLink. It
// owns no state of its own beyond the protocols: the transfer lives in the
// session's TransferState.
#pragma once

#include "screen/code_pages.h"
#include "screen/structured_fields.h"
#include "transfer/cut_handler.h"
#include "transfer/dft.h"
#include "transfer/transfer_progress.h"
#include "transfer/transfer_state.h"

namespace cedar {

class TransferSession : public DftHandler, public TransferHook {
  public:
    TransferSession(TransferState& state, TransferLink& link, const CodePages& codePages);

    void setOptions(const TransferOptions& options) { dft_.setOptions(options); }
    const TransferOptions& options() const { return dft_.options(); }
    // CUT mode's frames go here; nullptr: none (CUT records are then shown
    // as ordinary screens).
    void setCut(CutHandler* cut) { cut_ = cut; }

    // DftHandler
    void processDftField(Bytes field) override;
    bool cancelRequested() const override { return state_.cancelRequested; }
    void keepErrorText(std::string_view text) override;

    // TransferHook
    void checkHandshake(Bytes record) override;
    void cutFrame(Bytes record) override;
    bool offerRecord(Bytes record) override;
    bool takeCompletion() override;

  private:
    TransferState& state_;
    TransferLink& link_;
    DftProtocol dft_;
    CutHandler* cut_ = nullptr;
};

}  // namespace cedar
