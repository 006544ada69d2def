// The lines a transfer adds to its progress window and the end of a
// transfer, shared by the DFT and CUT protocols.
#pragma once

#include <string>
#include <string_view>

#include "display/byte_count.h"
#include "transfer/transfer_state.h"

namespace cedar {

// Settings the transfer layer reads.
struct TransferOptions {
    bool removeHex1A = false;  // "RemoveHex1A": a download block's last 0x1A is dropped
    display::BigNumberFormat byteFormat = display::BigNumberFormat::Plain;  // "BigNumberFormat"
    display::NumberSeparators separators{};
};

// "Bytes transferred = N" (CICS: N in plain digits).
std::string progressText(const TransferState& state, const TransferOptions& options);
void showProgress(const TransferState& state, TransferLink& link, const TransferOptions& options);

// Closes and lets go of the PC file, if one is open.
void closeFile(TransferState& state);

// Ends the transfer: closes the PC file, the session becomes UNLOCKED,
// completionState 2, and the host's closing message goes to the progress
// window ("File transfer complete" with the byte count), then an empty line.
// `number`: the message's number when it came apart from the text (DFT);
// the state keeps the two together as the host's closing message.
void completeTransfer(TransferState& state, TransferLink& link, std::string_view closingMessage,
                      const TransferOptions& options, std::string_view number = {});

// The host's closing message tells of a failure: an IND$FILE message
// number other than TRANS03 and TRANS04 (complete, complete with records
// segmented), such as "TRANS13 Error writing file". Any other text (CICS
// says "File transfer complete") is no failure.
bool closingMessageReportsFailure(std::string_view message);

// A transfer a macro started is still to be waited for: it runs, or it has
// ended and the host's screen after it (which clears the completion mark
// and restores the keyboard) is still to come. The caller knows whether a
// connection is left to bring that screen.
bool transferAwaitsHost(const TransferState& state, bool keyboardLocked);

// A failure that ends the transfer on the PC side: the file is closed, the
// text kept for the window, which stays open.
void failTransfer(TransferState& state, TransferLink& link, std::string_view text);

}  // namespace cedar
