#include "platform/remote_action_files.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace cedar::platform {

RemoteActionFiles::RemoteActionFiles(std::string macroFolder, std::string printFolder,
                                     char sessionId)
    : macroFolder_(std::move(macroFolder)),
      printFolder_(std::move(printFolder)),
      sessionId_(sessionId) {}

RemoteActionFiles::~RemoteActionFiles() {
    close();
}

std::string RemoteActionFiles::path(RemoteActionKind kind) const {
    const std::string& folder = kind == RemoteActionKind::Macro ? macroFolder_ : printFolder_;
    return (std::filesystem::path(folder) / remoteActionFileName(kind, sessionId_)).string();
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

}  // namespace cedar::platform
