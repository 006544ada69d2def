#include "screen/remote_action.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace cedar {

RemoteActionFiles::RemoteActionFiles(std::string macroFolder, std::string printFolder,
                                     char sessionId)
    : macroFolder_(std::move(macroFolder)),
      printFolder_(std::move(printFolder)),
      sessionId_(sessionId) {}

RemoteActionFiles::~RemoteActionFiles() {
    close();
}

std::string RemoteActionFiles::fileName(RemoteActionKind kind, char sessionId) {
    std::string name = kind == RemoteActionKind::Macro ? "cdr$x$exec.mac" : "cdr$x$prnt.txt";
    name[4] = sessionId;
    return name;
}

std::string RemoteActionFiles::path(RemoteActionKind kind) const {
    const std::string& folder = kind == RemoteActionKind::Macro ? macroFolder_ : printFolder_;
    return (std::filesystem::path(folder) / fileName(kind, sessionId_)).string();
}

void RemoteActionFiles::close() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
}

bool RemoteActionFiles::create(RemoteActionKind kind) {
    close();
    file_ = std::fopen(path(kind).c_str(), "wb");
    return file_ != nullptr;
}

bool RemoteActionFiles::append(Bytes data, std::string& error) {
    if (file_ == nullptr) {
        error = std::strerror(EBADF);
        return false;
    }
    errno = 0;
    if (std::fwrite(data.data(), 1, data.size(), file_) == data.size() && std::fflush(file_) == 0)
        return true;
    error = std::strerror(errno != 0 ? errno : EIO);
    return false;
}

void RemoteActionFiles::complete(RemoteActionKind kind) {
    close();
    if (completion_) completion_(kind, path(kind));
}

}  // namespace cedar
