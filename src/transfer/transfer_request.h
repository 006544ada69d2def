// The start of one transfer from the send or receive dialog, a macro or
// cedar_headless: the PC path, the PC file opened, the IND$FILE command
// typed into the host session with Enter, and the session's status
// TR_READY until the host's program answers (DFT or CUT mode then carry
// the data).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "keyboard/keyboard_controller.h"
#include "transfer/transfer_command.h"
#include "transfer/transfer_state.h"
#include "transfer/transfer_wildcards.h"

namespace cedar {

// Opens PC files for a transfer (platform/ implements it).
class TransferFileOpener {
  public:
    enum class Mode { Read, Create, Append };
    virtual ~TransferFileOpener() = default;
    // nullptr with `error` set (the system's text) on a failure.
    virtual std::unique_ptr<TransferFile> open(const std::string& path, Mode mode,
                                               std::string& error) = 0;
};

// What the start of a request reads and reports: the session's status
// and the progress window's line.
class TransferRequestLink {
  public:
    virtual ~TransferRequestLink() = default;
    virtual SessionStatus status() const = 0;
    virtual void setStatus(SessionStatus status) = 0;
    virtual void progressLine(std::string_view line) = 0;
};

// The session's transfer link in that role.
class TransferLinkForRequest : public TransferRequestLink {
  public:
    explicit TransferLinkForRequest(TransferLink& link) : link_(link) {}
    SessionStatus status() const override { return link_.status(); }
    void setStatus(SessionStatus status) override { link_.setStatus(status); }
    void progressLine(std::string_view line) override { link_.progressLine(line); }

  private:
    TransferLink& link_;
};

struct TransferRequest {
    TransferDirection direction = TransferDirection::Upload;
    std::string pcFolder;
    std::string pcName;
    // The host name as it goes into the command (see hostFileName()).
    std::string hostName;
    // UPPROGRAM or DOWNPROGRAM.
    std::string program = "IND$FILE";
    TransferCommandOptions command;
    bool binary = false;
    // The setting "UploadConvertLFtoCRLF".
    bool convertLfToCrLf = false;
};

// The PC path of a request: a name starting with "/" or "\\" or holding
// ":" is taken as it is, otherwise the folder and the name. nullopt (and
// `error` set) when it is longer than 256 characters or empty.
std::optional<std::string> transferPcPath(std::string_view folder, std::string_view name,
                                          TransferMessage& error);

struct TransferStartContext {
    TransferState& state;
    keys::KeyboardController& keyboard;
    TransferRequestLink& link;
    TransferFileOpener& files;
    // The display character of host code 0x5B.
    std::uint8_t hostDollar = '$';
};

struct TransferStart {
    enum class Kind {
        Started,    // the command went to the host
        Refused,    // nothing started; `message` is for a message box
        FileError,  // the PC file could not be opened: the progress line says why
    } kind = Kind::Refused;
    TransferMessage message;
    std::string pcPath;
    std::string command;  // as typed
};

TransferStart startTransferRequest(const TransferRequest& request, TransferStartContext& context);

// The user cancelled the running transfer: the protocol is asked to stop
// (it answers the host and closes the PC file) and the log says so. A
// transfer the host's program has not taken up yet (no data or closing
// message has come) ends at once. Nothing when no transfer runs.
void cancelTransferRequest(TransferState& state, TransferRequestLink& link);

}  // namespace cedar
