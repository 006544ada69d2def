// The session's IND$FILE transfer on the real send path: the transfer
// protocols answer the host through the host link's sender (framed, traced,
// kept as the last record sent), change the session's status and report
// progress to whoever shows it. The record processor's transfer hook and the
// structured fields' DFT handler point here for as long as it lives.
//
// Everything runs on the session thread. The PC file is read or written
// there too, one transfer block (at most the block size, 25,000 bytes by
// default) per host request: a local file's read or write of that size
// is short next to the host's round trip.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "host/host_sender.h"
#include "screen/structured_fields.h"
#include "session/session.h"
#include "transfer/cut_protocol.h"
#include "transfer/transfer_dialog_values.h"
#include "transfer/transfer_session.h"

namespace cedar {

namespace sessionfile {
class SessionOptions;
}
struct Settings;

// What the transfer reads from the session file ("DFT Mode",
// TRANSFERBLOCKSIZE, up to 25,000) and the program settings (ReplyCodepage,
// RemoveHex1A, BigNumberFormat).
struct TransferConfiguration {
    StructuredFieldOptions structuredFields;
    TransferOptions transfer;
    int blockSize = 25000;
};
TransferConfiguration transferConfiguration(const sessionfile::SessionOptions& options,
                                            const Settings& settings,
                                            const display::NumberSeparators& separators,
                                            char sessionId);

// The request for a transfer of a dialog's values in this session: the
// host program (UPPROGRAM or DOWNPROGRAM) and its additional parameters
// from the session record, and the setting "UploadConvertLFtoCRLF".
TransferRequest sessionTransferRequest(const TransferDialogValues& values,
                                       TransferDirection direction,
                                       const sessionfile::SessionOptions& options,
                                       const Settings& settings);

class SessionTransfer : private TransferLink, private TransferHook {
  public:
    SessionTransfer(Session& session, HostSender& sender, StructuredFields& structuredFields);
    ~SessionTransfer() override;
    SessionTransfer(const SessionTransfer&) = delete;
    SessionTransfer& operator=(const SessionTransfer&) = delete;

    TransferSession& protocol() { return protocol_; }
    // The link the CUT protocol answers the host through.
    TransferLink& link() { return *this; }
    void setOptions(const TransferOptions& options);
    // The structured fields' options and the transfer's settings; the block
    // size announced in the DDM query reply becomes the transfer's.
    void configure(const TransferConfiguration& configuration);
    int blockSize() const { return blockSize_; }
    // CUT mode's PA1 (key word 0x0301, immediate), performed by the keyboard.
    void setPa1Key(std::function<void()> pa1) { pa1_ = std::move(pa1); }
    // The status line is drawn again.
    void setStatusChanged(std::function<void()> changed) { statusChanged_ = std::move(changed); }
    // The progress window and transfer.log take the lines.
    void setProgressSink(std::function<void(std::string_view)> sink) {
        progress_ = std::move(sink);
    }
    // At the end of the first write after a transfer ended: the progress
    // window closes unless `keepWindow` (an error to read) says otherwise.
    void setCompletionSink(std::function<void(bool keepWindow)> sink) {
        completion_ = std::move(sink);
    }

    // The connection ended (the host closed it, or it was closed): a
    // running transfer fails with kConnectionEnded and its end is reported,
    // as is the end of one that waited for the host's screen after it.
    void connectionEnded();
    static constexpr std::string_view kConnectionEnded = "The connection ended during the transfer";

  private:
    // TransferLink
    void sendRecord(std::span<const std::uint8_t> record) override;
    void resendLastRecord() override;
    void pressPa1() override;
    SessionStatus status() const override { return session_.status; }
    void setStatus(SessionStatus status) override;
    void progressLine(std::string_view line) override;
    // TransferHook: the protocols', and the completion told to the window.
    void checkHandshake(Bytes record) override { protocol_.checkHandshake(record); }
    void cutFrame(Bytes record) override { protocol_.cutFrame(record); }
    bool offerRecord(Bytes record) override { return protocol_.offerRecord(record); }
    bool takeCompletion() override;

    Session& session_;
    HostSender& sender_;
    StructuredFields& structuredFields_;
    TransferSession protocol_;
    CutProtocol cut_;
    std::vector<std::uint8_t> resend_;
    int blockSize_ = 25000;
    std::function<void()> pa1_;
    std::function<void()> statusChanged_;
    std::function<void(std::string_view)> progress_;
    std::function<void(bool)> completion_;
};

}  // namespace cedar
