// DFT mode of IND$FILE: the host drives the transfer with structured fields
// of ID 0xD0 (Open, Close, Set Cursor, Get, Insert) and the terminal answers
// each with an AID 0x88 structured-field record.
#pragma once

#include <cstdint>
#include <vector>

#include "screen/code_pages.h"
#include "screen/record_hooks.h"
#include "transfer/transfer_progress.h"
#include "transfer/transfer_state.h"

namespace cedar {

namespace dft {
// The request bytes after the length and 0xD0.
constexpr std::uint8_t kOpen[2] = {0x00, 0x12};
constexpr std::uint8_t kClose[2] = {0x41, 0x12};
constexpr std::uint8_t kSetCursor[2] = {0x45, 0x11};
constexpr std::uint8_t kGet[2] = {0x46, 0x11};
constexpr std::uint8_t kInsertPrefix[2] = {0x47, 0x11};
constexpr std::uint8_t kInsert[2] = {0x47, 0x04};

// Where an Insert's data starts, and the closing message inside the
// Insert that carries it.
constexpr std::size_t kInsertDataOffset = 10;
constexpr std::size_t kMessageOffset = 20;
// Where the closing message's number ("TRANS03") stands, before its text.
constexpr std::size_t kMessageNumberOffset = 10;
constexpr std::size_t kMessageLength = 81;

// Error codes of the error replies.
constexpr std::uint16_t kErrorEndOfFile = 0x2200;
constexpr std::uint16_t kErrorCommandFailed = 0x0100;
constexpr std::uint16_t kErrorInsertFailed = 0x4700;

// The largest data block a reply can carry (its length field counts 16 more).
constexpr int kMaxBlockSize = 0xFFFF - 27;
}  // namespace dft

class DftProtocol {
  public:
    DftProtocol(TransferState& state, TransferLink& link, const CodePages& codePages);

    void setOptions(const TransferOptions& options) { options_ = options; }
    const TransferOptions& options() const { return options_; }

    // One 0xD0 field, whole: its length, the ID and its data.
    void field(Bytes field);

  private:
    void open(Bytes field);
    void close();
    void get();
    void insert(Bytes field);
    void closingMessage(Bytes field);
    // Fills block_ with at most blockSize bytes; false when reading failed.
    bool readBlock();
    void errorReply(std::uint8_t request, std::uint16_t code);
    void acknowledge();

    TransferState& state_;
    TransferLink& link_;
    const CodePages& codePages_;
    TransferOptions options_;
    std::vector<std::uint8_t> reply_;
    std::vector<std::uint8_t> block_;
    // File bytes read but not yet sent: what did not fit once LF became CR LF.
    std::vector<std::uint8_t> pending_;
    std::size_t pendingPos_ = 0;
};

}  // namespace cedar
