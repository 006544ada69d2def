// The PC file of an IND$FILE transfer on a POSIX file system: read for an
// upload, created or appended to for a download. Reads and writes are
// blocking calls on a local file, one transfer block (at most the block
// size, 25,000 bytes by default) at a time.
#pragma once

#include <memory>
#include <string>

#include "transfer/transfer_state.h"

namespace cedar::platform {

class PosixTransferFile : public TransferFile {
  public:
    enum class Mode { Read, Create, Append };

    // Opens `path`; nullptr with `error` set (the system's text) on a failure.
    static std::unique_ptr<PosixTransferFile> open(const std::string& path, Mode mode,
                                                   std::string& error);
    ~PosixTransferFile() override;
    PosixTransferFile(const PosixTransferFile&) = delete;
    PosixTransferFile& operator=(const PosixTransferFile&) = delete;

    std::optional<std::size_t> read(std::span<std::uint8_t> buffer) override;
    bool write(std::span<const std::uint8_t> data) override;
    void close() override;
    std::string errorText() const override;

  private:
    explicit PosixTransferFile(int fd) : fd_(fd) {}

    int fd_ = -1;
    int error_ = 0;
};

}  // namespace cedar::platform
