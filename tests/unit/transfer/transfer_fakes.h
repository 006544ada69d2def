// A TransferLink that records what the transfer layer asks of the session,
// and a TransferFile over bytes in memory that can be told to fail.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "transfer/transfer_state.h"

namespace cedar::test {

using ByteVector = std::vector<std::uint8_t>;

class RecordingLink : public TransferLink {
  public:
    void sendRecord(std::span<const std::uint8_t> record) override {
        sent.emplace_back(record.begin(), record.end());
    }
    void resendLastRecord() override {
        ++resends;
        if (!sent.empty()) sent.push_back(sent.back());
    }
    void pressPa1() override { ++pa1; }
    SessionStatus status() const override { return current; }
    void setStatus(SessionStatus s) override { current = s; }
    void progressLine(std::string_view line) override { lines.emplace_back(line); }

    SessionStatus current = SessionStatus::TransferReady;
    std::vector<ByteVector> sent;
    std::vector<std::string> lines;
    int resends = 0;
    int pa1 = 0;
};

class MemoryFile : public TransferFile {
  public:
    explicit MemoryFile(ByteVector content = {}) : content_(std::move(content)) {}

    std::optional<std::size_t> read(std::span<std::uint8_t> buffer) override {
        if (failRead) return std::nullopt;
        std::size_t n = std::min(buffer.size(), content_.size() - readPos_);
        if (readChunk > 0) n = std::min(n, readChunk);
        std::copy_n(content_.begin() + static_cast<std::ptrdiff_t>(readPos_), n, buffer.begin());
        readPos_ += n;
        return n;
    }
    bool write(std::span<const std::uint8_t> data) override {
        if (failWrite) return false;
        written->insert(written->end(), data.begin(), data.end());
        return true;
    }
    void close() override { ++*closes; }
    std::string errorText() const override { return "No space left on device"; }

    bool failRead = false;
    bool failWrite = false;
    std::size_t readChunk = 0;  // a read returns at most this many bytes; 0: no limit
    // Kept outside the file, which the transfer destroys when it closes it.
    std::shared_ptr<int> closes = std::make_shared<int>(0);
    std::shared_ptr<ByteVector> written = std::make_shared<ByteVector>();

  private:
    ByteVector content_;
    std::size_t readPos_ = 0;
};

}  // namespace cedar::test
