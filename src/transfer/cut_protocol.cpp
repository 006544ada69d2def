#include "transfer/cut_protocol.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "screen/code_pages.h"
#include "screen/presentation_space.h"

namespace cedar {
namespace {

using Record = std::span<const std::uint8_t>;

constexpr std::uint8_t kReadModified = 0xF6;
constexpr std::uint8_t kReadModifiedCcw = 0x06;
constexpr std::uint8_t kSba = 0x11;
constexpr std::uint8_t kHostDollar = 0x5B;

// The screen that asks a terminal whether it can take CUT-mode frames
// (after command and WCC).
constexpr std::array<std::uint8_t, 16> kHandshake = {
    0x11, 0x5D, 0x7F, 0x1D, 0x40, 0x11, 0xD9, 0x40, 0x1D, 0xC8, 0x5C, 0x5C, 0x5C, 0x1D, 0x40, 0x13};
// Enter with the cursor at position 1605.
constexpr std::array<std::uint8_t, 3> kHandshakeReply = {0x7D, 0xD9, 0xC5};
// Enter with the cursor at 1915, and an SBA to 1915: "frame received".
constexpr std::array<std::uint8_t, 6> kAcknowledge = {0x7D, 0x5D, 0x7B, 0x11, 0x5D, 0x7B};

// Frame prefixes after command and WCC: TSO and CMS address the frame at
// 1919 then 0; CICS at 0.
constexpr std::array<std::uint8_t, 6> kTsoPrefix = {0x11, 0x5D, 0x7F, 0x11, 0x40, 0x40};
constexpr std::array<std::uint8_t, 3> kCicsPrefix = {0x11, 0x40, 0x40};

constexpr std::uint8_t kTypeData = 0xC1;     // data to the PC
constexpr std::uint8_t kTypeRequest = 0xC2;  // the host asks for data
constexpr std::uint8_t kTypeControl = 0xC3;  // start, end, end with a message
constexpr std::array<std::uint8_t, 3> kStartMark = {0x81, 0x81, 0x81};
constexpr std::array<std::uint8_t, 3> kEndMark = {0x81, 0x81, 0x94};

// The upload frame's answer: Enter, cursor at 4, SBA to 2, "A" (CICS: cursor
// at 0). The end-of-file answer carries "Vac" and a filler in the 0x5C shift.
constexpr std::array<std::uint8_t, 7> kDataReply = {0x7D, 0x40, 0xC4, 0x11, 0x40, 0xC2, 0xC1};
constexpr std::array<std::uint8_t, 7> kCicsEofReply = {0x7D, 0x40, 0x40, 0x11, 0x40, 0xC2, 0xC1};
constexpr std::array<std::uint8_t, 5> kEofMark = {0xE5, 0x81, 0x83, 0x5C, 0xA9};

// The upload frame is written from buffer address 2: five characters (the
// frame type, the frame id and the three header characters) and the data,
// which must stop before the screen's last position.
constexpr int kUploadOverhead = 2 + 5 + 1;

constexpr std::size_t kReadChunk = 4096;

template <std::size_t N>
bool startsWith(Record r, std::size_t at, const std::array<std::uint8_t, N>& bytes) {
    return r.size() >= at + N && std::memcmp(r.data() + at, bytes.data(), N) == 0;
}

}  // namespace

CutProtocol::CutProtocol(TransferState& state, TransferLink& link, const CodePages& codePages)
    : state_(state), link_(link), codePages_(codePages) {}

std::size_t CutProtocol::uploadCapacity(int positions) {
    const int room = positions - kUploadOverhead;
    return static_cast<std::size_t>(
        std::clamp<int>(room, 2, static_cast<int>(cut::kMaxEncodedLength)));
}

void CutProtocol::handshake(Record record) {
    if (startsWith(record, 2, kHandshake)) link_.sendRecord(kHandshakeReply);
}

int CutProtocol::positions() const {
    return screen_ != nullptr ? screen_->positions() : settings_.screenPositions;
}

CutProtocol::Parsed CutProtocol::parse(Record r) const {
    const bool cics = state_.hostType == TransferHostType::Cics;
    const std::size_t type = cics ? 5 : 8;
    if (cics ? !startsWith(r, 2, kCicsPrefix) : !startsWith(r, 2, kTsoPrefix)) return {};
    if (r.size() <= type) return {};
    Parsed p;
    switch (r[type]) {
        case kTypeData:
            p.frame = Frame::DataToPc;
            p.dataOffset = type + 5;
            break;
        case kTypeRequest:
            if (r.size() <= type + 4) return {};  // no frame id
            p.frame = Frame::RequestFromPc;
            p.idOffset = type + 4;
            break;
        case kTypeControl:
            p.frame = startsWith(r, type + 1, kStartMark) ? Frame::Start
                      : startsWith(r, type + 1, kEndMark) ? Frame::End
                                                          : Frame::EndWithMessage;
            p.messageOffset = cics ? 13 : 12;
            break;
        default:
            return {};
    }
    return p;
}

bool CutProtocol::offerRecord(Record record) {
    if (record.empty()) return false;
    if (record[0] == kReadModified || record[0] == kReadModifiedCcw) {
        if (link_.status() < SessionStatus::TransferData) return false;
        link_.resendLastRecord();  // the host lost our answer
        return true;
    }
    const Parsed p = parse(record);
    switch (p.frame) {
        case Frame::None:
            return false;
        case Frame::Start:
            start();
            acknowledge();
            return true;
        case Frame::DataToPc:
            if (link_.status() == SessionStatus::TransferReady) start();  // no start frame came
            receiveData(record, p.dataOffset);
            return true;
        case Frame::RequestFromPc:
            if (link_.status() == SessionStatus::TransferReady) start();
            sendData(record[p.idOffset]);
            return true;
        case Frame::End:
        case Frame::EndWithMessage:
            acknowledge();
            complete(record, p.messageOffset);
            return true;
    }
    return false;
}

void CutProtocol::endFrame(Record record) {
    acknowledge();
    complete(record, state_.hostType == TransferHostType::Cics ? 13 : 12);
}

bool CutProtocol::takeCompletion() {
    const bool c = completed_;
    completed_ = false;
    return c;
}

void CutProtocol::start() {
    // A new transfer begins at TR_READY; a start frame in the middle of one
    // (the host starting over) keeps what was read and not yet sent.
    if (link_.status() == SessionStatus::TransferReady) dropPending();
    link_.setStatus(SessionStatus::TransferData);
    state_.blockNumber = 0;
    state_.bytesTransferred = 0;
    state_.cutShift = cut::kNoShift;
    encoder_.reset();
}

void CutProtocol::dropPending() {
    pending_.clear();
    pendingPos_ = 0;
    endOfFile_ = false;
}

void CutProtocol::acknowledge() {
    link_.sendRecord(kAcknowledge);
}

void CutProtocol::receiveData(Record record, std::size_t offset) {
    scratch_.clear();
    const auto capacity = static_cast<std::size_t>(std::max(positions(), 0));
    const auto result = cut::decode(record.subspan(std::min(offset, record.size())),
                                    state_.cutShift, capacity, codePages_, scratch_);
    if (result.error != cut::DecodeError::None) {
        abortTransfer("File transfer stopped: the host sent a frame that cannot be decoded (" +
                      std::string(cut::describe(result.error)) + ")");
        return;
    }
    if (!state_.downloadBinary)
        for (auto& b : scratch_)
            b = codePages_.transferToPcTable[b];
    if (state_.cancelRequested) {
        abortTransfer("File transfer cancelled");
        return;
    }
    if (state_.file && !state_.file->write(scratch_)) {
        abortTransfer(state_.file->errorText());
        return;
    }
    state_.bytesTransferred += scratch_.size();
    showProgress();
    acknowledge();
}

bool CutProtocol::fillPending(std::size_t want) {
    if (pendingPos_ > 0) {
        pending_.erase(pending_.begin(),
                       pending_.begin() + static_cast<std::ptrdiff_t>(pendingPos_));
        pendingPos_ = 0;
    }
    std::array<std::uint8_t, kReadChunk> chunk;
    while (!endOfFile_ && pending_.size() < want) {
        const auto n = state_.file->read(chunk);
        if (!n) return false;
        if (*n == 0) {
            endOfFile_ = true;
            break;
        }
        for (std::size_t i = 0; i < *n; ++i) {
            if (chunk[i] == '\n' && state_.uploadLfToCrLf)
                pending_.push_back(state_.uploadBinary ? '\r' : codePages_.transferTable['\r']);
            pending_.push_back(state_.uploadBinary ? chunk[i] : codePages_.transferTable[chunk[i]]);
        }
    }
    return true;
}

void CutProtocol::sendData(std::uint8_t frameId) {
    if (state_.cancelRequested) {
        abortTransfer("File transfer cancelled");
        return;
    }
    const std::size_t room = uploadCapacity(positions());
    if (state_.file && !fillPending(room)) {
        abortTransfer(state_.file->errorText());
        return;
    }
    const auto unsent = std::span<const std::uint8_t>(pending_).subspan(pendingPos_);
    if (unsent.empty()) {
        // End of file (or no file to read: the host still gets its answer).
        std::vector<std::uint8_t> reply(
            state_.hostType == TransferHostType::Cics ? kCicsEofReply.begin() : kDataReply.begin(),
            state_.hostType == TransferHostType::Cics ? kCicsEofReply.end() : kDataReply.end());
        reply.push_back(frameId);
        reply.insert(reply.end(), kEofMark.begin(), kEofMark.end());
        link_.sendRecord(reply);
        link_.setStatus(SessionStatus::TransferMessage);
        return;
    }
    scratch_.assign(kDataReply.begin(), kDataReply.end());
    scratch_.push_back(frameId);
    const std::size_t headerAt = scratch_.size();
    scratch_.resize(headerAt + 3);
    const std::size_t dataAt = scratch_.size();
    const std::size_t taken = encoder_.encode(unsent, room, scratch_);
    const std::size_t length = scratch_.size() - dataAt;
    const auto header = cut::frameHeader(
        cut::checksum(std::span<const std::uint8_t>(scratch_).subspan(dataAt)), length, codePages_);
    std::copy(header.begin(), header.end(),
              scratch_.begin() + static_cast<std::ptrdiff_t>(headerAt));
    pendingPos_ += taken;
    state_.bytesTransferred += taken;
    link_.sendRecord(scratch_);
    showProgress();
}

void CutProtocol::complete(Record record, std::size_t messageOffset) {
    std::string message;
    for (std::size_t i = messageOffset; i < record.size(); ++i) {
        const std::uint8_t b = record[i];
        if (b == kSba || b == kHostDollar || b == 0x00) break;
        message.push_back(static_cast<char>(codePages_.hostToDisplay(b)));
    }
    while (!message.empty() && message.back() == ' ')
        message.pop_back();
    dropPending();
    completed_ = true;
    completeTransfer(state_, link_, message, progressOptions());
}

void CutProtocol::abortTransfer(const std::string& text) {
    dropPending();
    failTransfer(state_, link_, text);
    // CUT mode ends the transfer here; PA1 makes the host stop its side.
    state_.direction = TransferDirection::None;
    link_.setStatus(SessionStatus::Unlocked);
    state_.completionState = 2;
    completed_ = true;
    link_.pressPa1();
}

TransferOptions CutProtocol::progressOptions() const {
    TransferOptions options;
    options.byteFormat = settings_.numberFormat;
    options.separators = settings_.separators;
    return options;
}

void CutProtocol::showProgress() {
    cedar::showProgress(state_, link_, progressOptions());
}

}  // namespace cedar
