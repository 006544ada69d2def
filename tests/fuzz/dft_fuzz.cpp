// Fuzzes the DFT transfer fields (Open, Close, Set Cursor, Get, Insert and
// anything else with ID 0xD0) through the transfer session, uploading from
// and downloading to files in memory.
//
// Input: byte 0 selects the transfer's settings (direction, binary, LF to
// CR LF, RemoveHex1A, host type, a small block size), byte 1 how many bytes
// of the rest are the PC file to upload and when cancel is pressed; then
// fields, each as on the wire: a 2-byte length counting itself, 0xD0, data.
//
// Checked after every reply: its length field covers exactly its bytes; a
// data block never exceeds the block size; the byte count never exceeds
// what was read from the file (upload) or given in Inserts (download).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "screen/code_pages.h"
#include "transfer/transfer_session.h"

namespace {

using cedar::SessionStatus;

class CheckingLink : public cedar::TransferLink {
  public:
    explicit CheckingLink(const cedar::TransferState& state) : state_(state) {}
    void sendRecord(std::span<const std::uint8_t> r) override {
        if (r.size() < 3 || r[0] != 0x88) __builtin_trap();
        const std::size_t length = (std::size_t{r[1]} << 8) | r[2];
        if (length + 1 != r.size()) __builtin_trap();
        if (r.size() > 17 && r[4] == 0x46 && r[5] == 0x05 &&
            r.size() - 17 > static_cast<std::size_t>(std::max(state_.blockSize, 2)))
            __builtin_trap();
        last_.assign(r.begin(), r.end());
    }
    void resendLastRecord() override {}
    void pressPa1() override {}
    SessionStatus status() const override { return status_; }
    void setStatus(SessionStatus s) override {
        if (s != SessionStatus::TransferData && s != SessionStatus::TransferMessage &&
            s != SessionStatus::Unlocked)
            __builtin_trap();
        status_ = s;
    }
    void progressLine(std::string_view) override {}

  private:
    const cedar::TransferState& state_;
    SessionStatus status_ = SessionStatus::TransferReady;
    std::vector<std::uint8_t> last_;
};

class MemoryFile : public cedar::TransferFile {
  public:
    MemoryFile(std::span<const std::uint8_t> content, std::size_t& read, std::size_t& written)
        : content_(content), read_(read), written_(written) {}
    std::optional<std::size_t> read(std::span<std::uint8_t> buffer) override {
        const std::size_t n = std::min(buffer.size(), content_.size() - pos_);
        std::copy_n(content_.begin() + static_cast<std::ptrdiff_t>(pos_), n, buffer.begin());
        pos_ += n;
        read_ += n;
        return n;
    }
    bool write(std::span<const std::uint8_t> data) override {
        written_ += data.size();
        return true;
    }
    void close() override {}
    std::string errorText() const override { return "error"; }

  private:
    std::span<const std::uint8_t> content_;
    std::size_t pos_ = 0;
    std::size_t& read_;
    std::size_t& written_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::uint8_t settings = data[0];
    const std::uint8_t split = data[1];
    std::span<const std::uint8_t> rest(data + 2, size - 2);
    const std::size_t fileBytes = std::min<std::size_t>(rest.size(), (split & 0x0F) * 8u);
    const auto content = rest.first(fileBytes);
    rest = rest.subspan(fileBytes);
    const int cancelAt = split >> 4;  // field number at which cancel is pressed; 0: never

    cedar::CodePages pages;
    for (int i = 0; i < 256; ++i) {
        pages.transferTable[i] = static_cast<std::uint8_t>(i ^ 0x20);
        pages.transferToPcTable[i] = static_cast<std::uint8_t>(i ^ 0x20);
    }
    cedar::TransferState state;
    CheckingLink link(state);
    cedar::TransferSession session(state, link, pages);
    std::size_t read = 0, written = 0;
    state.direction =
        (settings & 0x01) ? cedar::TransferDirection::Download : cedar::TransferDirection::Upload;
    state.uploadBinary = state.downloadBinary = (settings & 0x02) != 0;
    state.uploadLfToCrLf = (settings & 0x04) != 0;
    state.hostType =
        (settings & 0x08) ? cedar::TransferHostType::Cics : cedar::TransferHostType::Tso;
    state.blockSize = (settings & 0x10) ? 25000 : (settings >> 5);  // 0..7: the smallest blocks
    state.file = std::make_unique<MemoryFile>(content, read, written);
    session.setOptions({(settings & 0x80) != 0, cedar::display::BigNumberFormat::Scaled, {}});

    std::size_t given = 0;  // bytes the Inserts carried, their headers included
    int fieldNumber = 0;
    while (rest.size() >= 2) {
        std::size_t length = (std::size_t{rest[0]} << 8) | rest[1];
        if (length < 2 || length > rest.size()) length = rest.size();
        const auto field = rest.first(length);
        rest = rest.subspan(length);
        if (++fieldNumber == cancelAt) state.cancelRequested = true;
        given += field.size();
        session.processDftField(field);
        // LF to CR LF can at most double what was read.
        if (state.bytesTransferred > 2 * read + given) __builtin_trap();
        session.takeCompletion();
    }
    return 0;
}
