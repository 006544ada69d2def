// The transfers macros ask for: SENDFILE(pcFile, hostFile, option...) and
// RECEIVEFILE(hostFile, pcFile, option...). The dialog of the direction
// runs unattended with these values in place of its own, which it gets
// back afterwards.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "macro/macro_value.h"
#include "transfer/transfer_dialog_values.h"
#include "transfer/transfer_state.h"

namespace cedar {

struct MacroTransferRequest {
    TransferDirection direction = TransferDirection::Upload;
    std::string pcFile;
    std::string hostFile;
    // Unset: the dialog's own choice stays.
    std::optional<bool> binary;
    std::optional<bool> append;
    std::optional<TransferHostType> hostType;
    // Any other word: more options for the host (the last such word; empty
    // when none was given).
    std::string hostOptions;
};

// Reads the arguments; nullopt when fewer than two were given (the macro
// error "File Transfer parm error"). `allowSwap`: the setting
// AllowSendReceiveSwap, which exchanges the names when the one in the host
// name's place looks like a PC path (it holds ":", "\" or "/") and the
// other does not.
std::optional<MacroTransferRequest> macroTransferRequest(TransferDirection direction,
                                                         std::span<const MacroValue> args,
                                                         bool allowSwap);

// The dialog's values with the macro's in their place: the two names, the
// mode when given (Text switches ASCII and CRLF on and Binary both off, as
// in the dialog), Append, the host type, and the additional parameters
// (cleared when the macro gave none). The list level does not apply: a
// macro names its data set in full.
TransferDialogValues macroDialogValues(const MacroTransferRequest& request,
                                       TransferDialogValues values);

}  // namespace cedar
