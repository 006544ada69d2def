#include "platform/transfer_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace cedar::platform {

std::unique_ptr<PosixTransferFile> PosixTransferFile::open(const std::string& path, Mode mode,
                                                           std::string& error) {
    int flags = O_CLOEXEC;
    switch (mode) {
        case Mode::Read:
            flags |= O_RDONLY;
            break;
        case Mode::Create:
            flags |= O_WRONLY | O_CREAT | O_TRUNC;
            break;
        case Mode::Append:
            flags |= O_WRONLY | O_CREAT | O_APPEND;
            break;
    }
    int fd;
    do {
        fd = ::open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    return std::unique_ptr<PosixTransferFile>(new PosixTransferFile(fd));
}

PosixTransferFile::~PosixTransferFile() {
    close();
}

std::optional<std::size_t> PosixTransferFile::read(std::span<std::uint8_t> buffer) {
    if (fd_ < 0) {
        error_ = EBADF;
        return std::nullopt;
    }
    for (;;) {
        const ssize_t n = ::read(fd_, buffer.data(), buffer.size());
        if (n >= 0) return static_cast<std::size_t>(n);
        if (errno == EINTR) continue;
        error_ = errno;
        return std::nullopt;
    }
}

bool PosixTransferFile::write(std::span<const std::uint8_t> data) {
    if (fd_ < 0) {
        error_ = EBADF;
        return false;
    }
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd_, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            error_ = errno;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void PosixTransferFile::close() {
    if (fd_ < 0) return;
    // A delayed write error (a full disk on a network file system) shows here.
    if (::close(fd_) != 0 && errno != EINTR) error_ = errno;
    fd_ = -1;
}

std::string PosixTransferFile::errorText() const {
    return error_ != 0 ? std::strerror(error_) : std::string();
}

}  // namespace cedar::platform
