// Fuzzes the CUT-mode transfer: host frames of any shape fed to the protocol
// as the session would (handshake at TR_READY, every record while a transfer
// is ready or runs, the end frame at any time), with a PC file to upload
// from and to download into, and the frame decoder on its own.
//
// Input: byte 0 selects the host type, binary or text, CR before LF, and the
// screen size; byte 1 selects cancel and failing reads or writes; bytes 2
// and 3 the length of the file an upload reads (its bytes are a pattern);
// then host records separated by IAC EOR (0xFF 0xEF).
//
// Checked: no data frame the terminal decodes writes more than the screen
// holds; every upload frame fits the screen, carries a checksum and length
// that agree with its data, and all upload frames decode to exactly the
// file's bytes, in order, as the transfer sent them.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "screen/code_pages.h"
#include "transfer/cut_codec.h"
#include "transfer/cut_protocol.h"

namespace {

using Data = std::vector<std::uint8_t>;

const cedar::CodePages& identityPages() {
    static const cedar::CodePages pages = [] {
        cedar::CodePages p;
        for (int i = 0; i < 256; ++i) {
            const auto b = static_cast<std::uint8_t>(i);
            p.screenTable[b] = p.displayToHostTable[b] = b;
            p.transferTable[b] = p.transferToPcTable[b] = b;
        }
        return p;
    }();
    return pages;
}

// What the PC file did; it outlives the file, which a transfer's end closes.
struct FileSide {
    std::size_t length = 0;
    std::size_t at = 0;
    bool failRead = false, failWrite = false;
    std::size_t positions = 0;

    static std::uint8_t byteAt(std::size_t i) {
        return static_cast<std::uint8_t>(i * 37 + (i >> 8));
    }
};

struct FuzzFile : cedar::TransferFile {
    explicit FuzzFile(FileSide& side) : s(side) {}
    FileSide& s;

    std::optional<std::size_t> read(std::span<std::uint8_t> buffer) override {
        if (s.failRead) return std::nullopt;
        const std::size_t n = std::min(buffer.size(), s.length - s.at);
        for (std::size_t i = 0; i < n; ++i)
            buffer[i] = FileSide::byteAt(s.at + i);
        s.at += n;
        return n;
    }
    bool write(std::span<const std::uint8_t> data) override {
        if (data.size() > s.positions) __builtin_trap();
        return !s.failWrite;
    }
    void close() override {}
    std::string errorText() const override { return "failed"; }
};

struct FuzzLink : cedar::TransferLink {
    cedar::SessionStatus current = cedar::SessionStatus::TransferReady;
    std::size_t capacity = 0;
    Data uploaded;  // what the data frames carried, decoded
    std::uint8_t shift = cedar::cut::kNoShift;

    void sendRecord(std::span<const std::uint8_t> r) override {
        static constexpr std::uint8_t kData[] = {0x7D, 0x40, 0xC4, 0x11, 0x40, 0xC2, 0xC1};
        if (r.size() < 11 || !std::equal(std::begin(kData), std::end(kData), r.begin())) return;
        if (r.size() == 13 && r[8] == 0xE5) return;  // end of file
        const auto coded = r.subspan(11);
        if (coded.size() > capacity) __builtin_trap();
        const auto header =
            cedar::cut::frameHeader(cedar::cut::checksum(coded), coded.size(), identityPages());
        if (!std::equal(header.begin(), header.end(), r.begin() + 8)) __builtin_trap();
        const auto d = cedar::cut::decode(coded, shift, coded.size(), identityPages(), uploaded);
        if (d.error != cedar::cut::DecodeError::None) __builtin_trap();
    }
    void resendLastRecord() override {}
    void pressPa1() override {}
    cedar::SessionStatus status() const override { return current; }
    void setStatus(cedar::SessionStatus s) override { current = s; }
    void progressLine(std::string_view) override {}
};

bool isEndFrame(const Data& r) {
    static constexpr std::uint8_t kEnd[] = {0x11, 0x5D, 0x7F, 0x11, 0x40,
                                            0x40, 0xC3, 0x81, 0x81, 0x94};
    return r.size() >= 12 && std::equal(std::begin(kEnd), std::end(kEnd), r.begin() + 2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const std::uint8_t setup = data[0], faults = data[1];
    const std::size_t fileLength = (std::size_t{data[2]} << 8 | data[3]) * 3;

    static constexpr int kScreens[] = {24 * 80, 32 * 80, 43 * 80, 27 * 132, 2 * 10};
    const int positions = kScreens[(setup >> 4) % 5];

    cedar::TransferState state;
    state.hostType = static_cast<cedar::TransferHostType>(setup % 3);
    state.uploadBinary = state.downloadBinary = (setup & 0x04) != 0;
    state.uploadLfToCrLf = (setup & 0x08) != 0;
    state.direction =
        (faults & 0x01) ? cedar::TransferDirection::Upload : cedar::TransferDirection::Download;
    FileSide file;
    file.length = fileLength;
    file.failRead = (faults & 0x02) != 0;
    file.failWrite = (faults & 0x04) != 0;
    file.positions = static_cast<std::size_t>(positions);
    state.file = std::make_unique<FuzzFile>(file);
    state.cancelRequested = (faults & 0x08) != 0;

    FuzzLink link;
    link.capacity = cedar::CutProtocol::uploadCapacity(positions);
    cedar::CutProtocol cut(state, link, identityPages());
    cut.configure({positions, cedar::display::BigNumberFormat::Grouped,
                   cedar::display::NumberSeparators::cLocale()});

    // Every record, as the session's record dispatcher hands it over.
    Data record;
    std::size_t readBefore = 0;
    auto apply = [&] {
        if (link.current == cedar::SessionStatus::TransferReady) cut.handshake(record);
        if (isEndFrame(record)) {
            link.current = cedar::SessionStatus::TransferReady;
            cut.endFrame(record);
        } else if (link.current >= cedar::SessionStatus::TransferReady) {
            cut.offerRecord(record);
        }
        cut.takeCompletion();
        // The decoded uploads are the file's bytes (CR before LF when asked).
        if (file.at != readBefore || !link.uploaded.empty()) {
            Data expected;
            for (std::size_t i = 0; i < file.at; ++i) {
                if (FileSide::byteAt(i) == '\n' && state.uploadLfToCrLf) expected.push_back('\r');
                expected.push_back(FileSide::byteAt(i));
            }
            if (link.uploaded.size() > expected.size() ||
                !std::equal(link.uploaded.begin(), link.uploaded.end(), expected.begin()))
                __builtin_trap();
            readBefore = file.at;
        }
        record.clear();
    };
    for (std::size_t i = 4; i < size; ++i) {
        if (data[i] == 0xFF && i + 1 < size && data[i + 1] == 0xEF) {
            apply();
            ++i;
        } else {
            record.push_back(data[i]);
        }
    }
    if (!record.empty()) apply();

    // The decoder alone over the whole input, bounded by a small frame.
    Data out;
    std::uint8_t shift = data[0];
    cedar::cut::decode(std::span<const std::uint8_t>(data + 4, size - 4), shift, 64,
                       identityPages(), out);
    if (out.size() > 64) __builtin_trap();
    return 0;
}
