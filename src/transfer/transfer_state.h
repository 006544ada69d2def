// The state of one IND$FILE transfer and the narrow interfaces through which
// the protocol layers (DFT structured fields, CUT screen frames) reach the
// PC file, the host and the progress window. One transfer at a time; the
// state belongs to the session and lives on the session thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "screen/session_status.h"

namespace cedar {

enum class TransferDirection : std::uint8_t { None = 0, Upload = 1, Download = 2 };
enum class TransferHostType : std::uint8_t { Tso = 0, Cms = 1, Cics = 2 };

// The PC side of a transfer, opened by the request (platform/ implements it).
class TransferFile {
  public:
    virtual ~TransferFile() = default;
    // Up to buffer.size() bytes; 0 at end of file; nullopt on a failure
    // (errorText() then says why).
    virtual std::optional<std::size_t> read(std::span<std::uint8_t> buffer) = 0;
    // False on a failure (errorText() says why).
    virtual bool write(std::span<const std::uint8_t> data) = 0;
    virtual void close() = 0;
    virtual std::string errorText() const = 0;
};

// What the protocol layers ask of the session.
class TransferLink {
  public:
    virtual ~TransferLink() = default;
    // One inbound record (AID first), framed, traced and kept as the last
    // record sent so that a host's Read Modified can have it again.
    virtual void sendRecord(std::span<const std::uint8_t> record) = 0;
    virtual void resendLastRecord() = 0;
    // The PA1 key, immediately (CUT mode's way to stop the host).
    virtual void pressPa1() = 0;
    virtual SessionStatus status() const = 0;
    // Sets the status and refreshes the status line.
    virtual void setStatus(SessionStatus status) = 0;
    // A line for the progress window's status line and transfer.log.
    virtual void progressLine(std::string_view line) = 0;
};

struct TransferState {
    TransferDirection direction = TransferDirection::None;
    TransferHostType hostType = TransferHostType::Tso;
    bool uploadBinary = false;
    bool downloadBinary = false;
    bool uploadLfToCrLf = false;  // CR before every LF while uploading
    std::uint32_t blockNumber = 0;
    std::uint64_t bytesTransferred = 0;
    int blockSize = 25000;  // TRANSFERBLOCKSIZE
    bool cancelRequested = false;
    int completionState = 0;  // 2 when the transfer has ended
    bool keepWindow = false;  // an error: the progress window stays open
    std::uint8_t cutShift = 0;
    std::unique_ptr<TransferFile> file;
    std::string errorText;       // the failure shown in the progress window
    std::string closingMessage;  // the host's, once the transfer has ended

    bool running() const { return direction != TransferDirection::None; }
};

}  // namespace cedar
