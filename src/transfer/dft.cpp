#include "transfer/dft.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace cedar {

namespace {

constexpr std::uint8_t kAidStructuredField = 0x88;
constexpr std::uint8_t kFileTransferId = 0xD0;
constexpr std::uint8_t kCr = 0x0D, kLf = 0x0A, kSub = 0x1A;
constexpr char kCancelled[] = "File transfer cancelled";

bool is(Bytes field, const std::uint8_t (&request)[2]) {
    return field[3] == request[0] && field[4] == request[1];
}

bool endsWith(Bytes field, std::string_view text) {
    return field.size() >= text.size() &&
           std::memcmp(field.data() + field.size() - text.size(), text.data(), text.size()) == 0;
}

void put16(std::vector<std::uint8_t>& out, std::size_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

}  // namespace

DftProtocol::DftProtocol(TransferState& state, TransferLink& link, const CodePages& codePages)
    : state_(state), link_(link), codePages_(codePages) {}

void DftProtocol::field(Bytes field) {
    if (field.size() < 5 || field[2] != kFileTransferId) return;
    if (is(field, dft::kOpen))
        open(field);
    else if (is(field, dft::kClose))
        close();
    else if (is(field, dft::kGet))
        get();
    else if (is(field, dft::kInsert))
        insert(field);
    // Set Cursor (45 11) and the field that comes before an Insert (47 11)
    // want no answer; neither does anything unknown.
}

void DftProtocol::open(Bytes field) {
    const std::uint8_t reply[] = {kAidStructuredField, 0x00, 0x05, kFileTransferId, 0x00, 0x09};
    link_.sendRecord(reply);
    if (!state_.running()) return;
    if (endsWith(field, "FT:DATA")) {
        state_.blockNumber = 0;
        state_.bytesTransferred = 0;
        pending_.clear();
        pendingPos_ = 0;
        link_.setStatus(SessionStatus::TransferData);
    } else if (endsWith(field, "FT:MSG ")) {
        // The message is numbered on its own, from 1, as the data blocks were.
        state_.blockNumber = 0;
        link_.setStatus(SessionStatus::TransferMessage);
    }
}

void DftProtocol::close() {
    const std::uint8_t reply[] = {kAidStructuredField, 0x00, 0x05, kFileTransferId, 0x41, 0x09};
    link_.sendRecord(reply);
    closeFile(state_);
}

void DftProtocol::errorReply(std::uint8_t request, std::uint16_t code) {
    const std::uint8_t reply[] = {kAidStructuredField,
                                  0x00,
                                  0x09,
                                  kFileTransferId,
                                  request,
                                  0x08,
                                  0x69,
                                  0x04,
                                  static_cast<std::uint8_t>(code >> 8),
                                  static_cast<std::uint8_t>(code)};
    link_.sendRecord(reply);
}

bool DftProtocol::readBlock() {
    const std::size_t limit =
        static_cast<std::size_t>(std::clamp(state_.blockSize, 2, dft::kMaxBlockSize));
    block_.clear();
    if (!state_.file) return true;
    if (!state_.uploadLfToCrLf) {
        block_.resize(limit);
        std::size_t filled = 0;
        while (filled < limit) {
            const auto n = state_.file->read(std::span(block_).subspan(filled));
            if (!n) return false;
            if (*n == 0) break;
            filled += std::min(*n, limit - filled);
        }
        block_.resize(filled);
        return true;
    }
    // A CR goes before every LF; a pair that would not fit waits for the
    // next block, so that no block outgrows what the host was told.
    while (block_.size() < limit) {
        if (pendingPos_ == pending_.size()) {
            pending_.resize(limit);
            const auto n = state_.file->read(pending_);
            if (!n) {
                pending_.clear();
                pendingPos_ = 0;
                return false;
            }
            pending_.resize(std::min(*n, limit));
            pendingPos_ = 0;
            if (pending_.empty()) break;
        }
        const std::uint8_t b = pending_[pendingPos_];
        if (b == kLf) {
            if (block_.size() + 2 > limit) break;
            block_.push_back(kCr);
        }
        block_.push_back(b);
        ++pendingPos_;
    }
    return true;
}

void DftProtocol::get() {
    if (state_.cancelRequested) {
        errorReply(0x46, dft::kErrorCommandFailed);
        failTransfer(state_, link_, kCancelled);
        return;
    }
    if (!readBlock()) {
        const std::string error = state_.file ? state_.file->errorText() : std::string();
        errorReply(0x46, dft::kErrorCommandFailed);
        failTransfer(state_, link_, error);
        return;
    }
    if (block_.empty()) {
        errorReply(0x46, dft::kErrorEndOfFile);
        return;
    }
    ++state_.blockNumber;
    state_.bytesTransferred += block_.size();

    const std::size_t n = block_.size();
    reply_.clear();
    reply_.reserve(n + 17);
    reply_.push_back(kAidStructuredField);
    put16(reply_, n + 16);
    reply_.insert(reply_.end(), {kFileTransferId, 0x46, 0x05, 0x63, 0x06});
    put32(reply_, state_.blockNumber);
    reply_.insert(reply_.end(), {0xC0, 0x80, 0x61});
    put16(reply_, n + 5);
    // Text goes through the transfer table on its way into the reply.
    if (state_.uploadBinary) {
        reply_.insert(reply_.end(), block_.begin(), block_.end());
    } else {
        const std::size_t at = reply_.size();
        reply_.resize(at + n);
        const auto& table = codePages_.transferTable;
        for (std::size_t i = 0; i < n; ++i)
            reply_[at + i] = table[block_[i]];
    }
    link_.sendRecord(reply_);
    showProgress(state_, link_, options_);
}

void DftProtocol::insert(Bytes field) {
    const SessionStatus status = link_.status();
    if (status == SessionStatus::TransferData) {
        Bytes data =
            field.size() > dft::kInsertDataOffset ? field.subspan(dft::kInsertDataOffset) : Bytes{};
        if (!state_.downloadBinary) {
            block_.resize(data.size());
            const auto& table = codePages_.transferToPcTable;
            for (std::size_t i = 0; i < data.size(); ++i)
                block_[i] = table[data[i]];
            if (options_.removeHex1A && !block_.empty() && block_.back() == kSub) block_.pop_back();
            data = block_;
        }
        if (state_.cancelRequested || (state_.file && !state_.file->write(data))) {
            const std::string error =
                state_.cancelRequested ? std::string(kCancelled) : state_.file->errorText();
            errorReply(0x47, dft::kErrorInsertFailed);
            failTransfer(state_, link_, error);
            return;
        }
        state_.bytesTransferred += data.size();
        acknowledge();
        showProgress(state_, link_, options_);
        return;
    }
    acknowledge();
    if (status == SessionStatus::TransferMessage) closingMessage(field);
}

void DftProtocol::closingMessage(Bytes field) {
    // The field's bytes from `from`, at most `length` of them and never past
    // the field, cut at the host's "$", in PC code, without trailing blanks.
    const auto textAt = [&](std::size_t from, std::size_t length) {
        std::string text;
        for (std::size_t i = from; i < std::min(field.size(), from + length) && field[i] != '$';
             ++i)
            text.push_back(static_cast<char>(codePages_.transferToPcTable[field[i]]));
        while (!text.empty() && (text.back() == ' ' || text.back() == '\0'))
            text.pop_back();
        return text;
    };
    // The message number ("TRANS03   ") comes before the text shown; it
    // tells whether the host's side succeeded.
    completeTransfer(
        state_, link_, textAt(dft::kMessageOffset, dft::kMessageLength), options_,
        textAt(dft::kMessageNumberOffset, dft::kMessageOffset - dft::kMessageNumberOffset));
    if (state_.hostType == TransferHostType::Cics) state_.blockNumber = 0;
}

void DftProtocol::acknowledge() {
    ++state_.blockNumber;
    reply_.clear();
    reply_.insert(reply_.end(),
                  {kAidStructuredField, 0x00, 0x0B, kFileTransferId, 0x47, 0x05, 0x63, 0x06});
    put32(reply_, state_.blockNumber);
    link_.sendRecord(reply_);
}

}  // namespace cedar
