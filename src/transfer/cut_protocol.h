// IND$FILE in CUT mode: the host writes coded frames onto the screen and the
// terminal answers each with Enter and, for an upload, coded data. The
// session's transfer layer hands every record it is offered while a transfer
// is ready or running to this class, which answers through the TransferLink.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "display/byte_count.h"
#include "transfer/cut_codec.h"
#include "transfer/cut_handler.h"
#include "transfer/transfer_progress.h"
#include "transfer/transfer_state.h"

namespace cedar {

struct CodePages;
class PresentationSpace;

struct CutSettings {
    int screenPositions = 24 * 80;  // rows x columns, when no screen is attached
    display::BigNumberFormat numberFormat = display::BigNumberFormat::Plain;
    display::NumberSeparators separators = display::NumberSeparators::cLocale();
};

class CutProtocol : public CutHandler {
  public:
    CutProtocol(TransferState& state, TransferLink& link, const CodePages& codePages);

    void configure(const CutSettings& settings) { settings_ = settings; }
    // The screen whose size bounds the frames (read at every frame, so an
    // alternate size counts).
    void attachScreen(const PresentationSpace& screen) { screen_ = &screen; }

    // At TR_READY: answers the host's handshake screen (which is still shown
    // as an ordinary screen).
    void handshake(Bytes record) override;
    // While a transfer is ready or runs: true when the record was a CUT frame
    // or a read command asking for the last answer again, and was handled.
    bool offerRecord(Bytes record) override;
    // The end frame, which ends a transfer whenever it arrives.
    void endFrame(Bytes record) override;
    // True once after a transfer ended here (completion or abort).
    bool takeCompletion();

    // The encoded bytes an upload frame may carry on a screen of `positions`.
    static std::size_t uploadCapacity(int positions);

  private:
    enum class Frame : std::uint8_t { None, Start, End, DataToPc, RequestFromPc, EndWithMessage };
    struct Parsed {
        Frame frame = Frame::None;
        std::size_t dataOffset = 0;     // data to PC
        std::size_t idOffset = 0;       // request from PC
        std::size_t messageOffset = 0;  // end, end with message
    };
    Parsed parse(std::span<const std::uint8_t> record) const;

    void start();
    void receiveData(std::span<const std::uint8_t> record, std::size_t offset);
    void sendData(std::uint8_t frameId);
    void complete(std::span<const std::uint8_t> record, std::size_t messageOffset);
    void acknowledge();
    void abortTransfer(const std::string& text);
    bool fillPending(std::size_t want);
    void dropPending();
    void showProgress();
    TransferOptions progressOptions() const;
    int positions() const;

    TransferState& state_;
    TransferLink& link_;
    const CodePages& codePages_;
    CutSettings settings_;
    const PresentationSpace* screen_ = nullptr;
    cut::Encoder encoder_;
    // PC bytes read and converted but not yet sent; a repeated start frame
    // keeps them, so the file still goes out in order.
    std::vector<std::uint8_t> pending_;
    std::size_t pendingPos_ = 0;
    bool endOfFile_ = false;
    bool completed_ = false;
    std::vector<std::uint8_t> scratch_;
};

}  // namespace cedar
