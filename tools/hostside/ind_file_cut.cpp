// The host's CUT exchange: frames written to the screen with Erase/Write,
// answered by the terminal with Enter.
//
//   start    C3 81 81 81                terminal: Enter at 1915 (acknowledge)
//   to PC    C1 id sum len len data     terminal: acknowledge
//   from PC  C2 (field) C1 id           terminal: Enter, C1 id sum len len data,
//                                       or C1 id E5 81 83 5C A9 at end of file
//   end      C3 xx xx xx message        terminal: acknowledge
// TSO first shows a handshake screen the terminal answers with Enter. A
// terminal that presses an attention key (PA1) instead cancels the transfer.
#include <algorithm>

#include "cut_codec.h"
#include "ebcdic.h"
#include "ind_file_host.h"

namespace cedar::hostside {

namespace {

constexpr std::uint8_t kEraseWrite = 0xF5;
constexpr std::uint8_t kEnter = 0x7D;
constexpr std::uint8_t kReadModified = 0xF6;
constexpr std::size_t kArea = 100;       // the frame area a short frame clears
constexpr std::size_t kCapacity = 1900;  // encoded bytes from position 5, short of 1914
const Bytes kEndOfFile{0xE5, 0x81, 0x83, 0x5C, 0xA9};
// The acknowledgement field at 1914: attribute, four input positions with
// the cursor, then an attribute at 1919.
const Bytes kAckField{0x11, 0x5D, 0x7A, 0x1D, 0xC1, 0x13, 0x00, 0x00, 0x00, 0x00, 0x1D, 0x7C};

}  // namespace

Bytes IndFileHost::cutFrame(std::span<const std::uint8_t> area, bool input, bool pad) const {
    Bytes out{kEraseWrite, 0xC2};
    if (!cics()) out.insert(out.end(), {0x11, 0x5D, 0x7F});
    out.insert(out.end(), {0x11, 0x40, 0x40});
    out.insert(out.end(), area.begin(), area.end());
    if (input) return out;
    for (std::size_t i = area.size(); pad && i < kArea; ++i)
        out.push_back(i == 4 ? 0x40 : 0x00);
    out.insert(out.end(), kAckField.begin(), kAckField.end());
    return out;
}

void IndFileHost::cutBegin(std::vector<Bytes>& out) {
    if (!store_.acceptsName(command_.name)) {
        cutFinish(false, "TRANS13 - Invalid data set name " + command_.name, out);
        return;
    }
    if (!command_.put) {
        auto set = store_.get(command_.name);
        if (!set) {
            cutFinish(false, "TRANS13 - Data set " + command_.name + " not found", out);
            return;
        }
        data_ = std::move(set->bytes);
    }
    const bool tso = options_.system == IndFileOptions::System::Tso ||
                     (options_.system == IndFileOptions::System::Auto && !command_.parenthesised);
    if (tso && options_.tsoHandshake) {
        state_ = State::Handshake;
        out.push_back({kEraseWrite, 0xC2, 0x11, 0x5D, 0x7F, 0x1D, 0x40, 0x11, 0xD9, 0x40, 0x1D,
                       0xC8, 0x5C, 0x5C, 0x5C, 0x1D, 0x40, 0x13});
        return;
    }
    state_ = State::CutStart;
    out.push_back(cutFrame(Bytes{0xC3, 0x81, 0x81, 0x81}, false));
}

void IndFileHost::cutNextData(std::vector<Bytes>& out) {
    if (hostCancels()) {
        cutFinish(false,
                  "TRANS13 - File transfer canceled by the host after " + std::to_string(block_) +
                      " frames",
                  out);
        return;
    }
    state_ = State::CutData;
    if (command_.put) {
        // Ask for the next frame.
        const std::uint8_t id = cut::frameId(frames_++);
        lastFrame_ = {0xC2, 0x1D, 0xC1, 0xC1, id,   0x13, 0x81,
                      0x81, 0x81, 0x11, 0x5D, 0x7F, 0x1D, 0x7C};
        out.push_back(cutFrame(lastFrame_, true));
        return;
    }
    if (offset_ >= data_.size()) {
        cutFinish(true, completion(), out);
        return;
    }
    // As many bytes as fit the screen once encoded.
    Bytes encoded;
    std::uint8_t shift = 0;
    std::size_t n = 0;
    while (offset_ + n < data_.size()) {
        const std::uint8_t b = data_[offset_ + n];
        const std::size_t need = cut::shiftOf(b) != shift ? 2 : 1;
        if (encoded.size() + need > kCapacity) break;
        if (need == 2) encoded.push_back(cut::shiftOf(b));
        shift = cut::shiftOf(b);
        encoded.push_back(cut::codeOf(b));
        ++n;
    }
    offset_ += n;
    const std::uint8_t sum = cut::checksum(encoded);
    Bytes area{0xC1, cut::frameId(frames_++), cut::alphabetCode(sum & 0x3F),
               cut::alphabetCode(static_cast<std::uint8_t>(encoded.size() >> 6)),
               cut::alphabetCode(static_cast<std::uint8_t>(encoded.size() & 0x3F))};
    area.insert(area.end(), encoded.begin(), encoded.end());
    // Unpadded: the terminal reads the data up to the acknowledgement
    // field's SBA, as the erased screen holds nothing else.
    out.push_back(cutFrame(area, false, false));
}

void IndFileHost::cutFinish(bool ok, const std::string& message, std::vector<Bytes>& out) {
    ok_ = ok;
    message_ = message;
    state_ = State::CutEnd;
    // An upload's closing message comes with 96 81 89 (as CMS sends it), a
    // download's with the end of data 81 81 94.
    Bytes area = ok && command_.put ? Bytes{0xC3, 0x96, 0x81, 0x89} : Bytes{0xC3, 0x81, 0x81, 0x94};
    const Bytes text = toEbcdic(message.substr(0, kArea - area.size()));
    area.insert(area.end(), text.begin(), text.end());
    out.push_back(cutFrame(area, false));
}

void IndFileHost::cutReceive(std::span<const std::uint8_t> record, std::vector<Bytes>& out) {
    if (state_ == State::CutEnd) {
        end();
        return;
    }
    if (state_ == State::CutRetransmit) {
        if (!std::equal(record.begin(), record.end(), lastReply_.begin(), lastReply_.end())) {
            cutFinish(false, "TRANS13 - File transfer failed: the record sent again differs", out);
            return;
        }
        cutNextData(out);
        return;
    }
    if (record[0] != kEnter) {
        // PA1 or another attention key: the terminal gives up.
        cutFinish(false, "TRANS13 - File transfer canceled by the terminal", out);
        return;
    }
    lastReply_.assign(record.begin(), record.end());
    switch (state_) {
        case State::Handshake:
            state_ = State::CutStart;
            out.push_back(cutFrame(Bytes{0xC3, 0x81, 0x81, 0x81}, false));
            return;
        case State::CutStart:
            shift_ = 0;
            cutNextData(out);
            return;
        case State::CutData:
            break;
        default:
            end();
            return;
    }
    if (command_.put) {
        // 7D cursor cursor 11 40 C2 C1 id then end of file, or sum len len data.
        const std::size_t at = 8;
        if (record.size() < at + 3 || record[3] != 0x11 || record[6] != 0xC1 ||
            record[7] != lastFrame_[4]) {
            cutFinish(false, "TRANS13 - File transfer failed: bad frame from the terminal", out);
            return;
        }
        const auto rest = record.subspan(at);
        if (std::equal(rest.begin(), rest.end(), kEndOfFile.begin(), kEndOfFile.end())) {
            cutFinish(true, completion(), out);
            return;
        }
        const int sum = cut::alphabetValue(rest[0]);
        const int high = cut::alphabetValue(rest[1]), low = cut::alphabetValue(rest[2]);
        const auto encoded = rest.subspan(3);
        const auto decoded = cut::decode(encoded, shift_);
        if (sum < 0 || high < 0 || low < 0 ||
            static_cast<std::size_t>(high * 64 + low) != encoded.size() ||
            (cut::checksum(encoded) & 0x3F) != sum || !decoded) {
            cutFinish(false, "TRANS13 - File transfer failed: bad frame from the terminal", out);
            return;
        }
        data_.insert(data_.end(), decoded->begin(), decoded->end());
    }
    ++block_;
    if (options_.readModifiedAfter.count(block_) != 0) {
        state_ = State::CutRetransmit;
        out.push_back({kReadModified});
        return;
    }
    cutNextData(out);
}

}  // namespace cedar::hostside
