#include "platform/trace_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "platform/files.h"

namespace cedar::platform {

bool FolderTraceSink::create(const std::string& name) {
    if (!isDirectory(folder_) && !makeDirectories(folder_)) {
        error_ = errno;
        return false;
    }
    // Trace files may hold host data: readable by their owner only.
    const int fd = ::open(pathOf(name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        error_ = errno;
        return false;
    }
    ::close(fd);
    return true;
}

bool FolderTraceSink::append(const std::string& name, Bytes bytes) {
    const int fd = ::open(pathOf(name).c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) {
        error_ = errno;
        return false;
    }
    std::size_t done = 0;
    bool ok = true;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            error_ = errno;
            ok = false;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return ok;
}

std::string LocalTraceClock::timeText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

}  // namespace cedar::platform
