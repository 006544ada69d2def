#include "platform/appdata_files.h"

#include <cctype>
#include <cerrno>

#include "platform/files.h"
#include "sessionfile/session_file.h"

namespace cedar::platform {

namespace {

bool sameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string leafOf(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
}

}  // namespace

void AppDataFolderFiles::mapName(std::string name, std::string path) {
    mappedName_ = std::move(name);
    mappedPath_ = std::move(path);
}

std::string AppDataFolderFiles::pathOf(const std::string& name) const {
    if (!mappedName_.empty() && sameName(name, mappedName_)) return mappedPath_;
    std::string error;
    if (const auto found = resolveFile(folder_, name, error)) return *found;
    return folder_ + "/" + name;
}

std::optional<std::vector<std::uint8_t>> AppDataFolderFiles::read(const std::string& name) {
    const auto text = readFile(pathOf(name));
    if (!text) return std::nullopt;
    return std::vector<std::uint8_t>(text->begin(), text->end());
}

bool AppDataFolderFiles::write(const std::string& name, std::span<const std::uint8_t> bytes,
                               int& error) {
    std::string message;
    errno = 0;
    if (writeFileAtomic(pathOf(name), std::string(bytes.begin(), bytes.end()), message))
        return true;
    error = errno != 0 ? errno : EIO;
    return false;
}

bool locateSessionFile(const std::string& given, AppDataFolderFiles& files, std::string& name,
                       std::string& error) {
    if (given.find('/') != std::string::npos || isFile(given)) {
        if (!isFile(given)) {
            error = sessionfile::notFoundMessage(given, files.folder());
            return false;
        }
        name = leafOf(given);
        files.mapName(name, given);
        return true;
    }
    const std::string wanted = sessionfile::withSesExtension(given);
    const auto found = resolveFile(files.folder(), wanted, error);
    if (!found) {
        if (error.empty()) error = sessionfile::notFoundMessage(wanted, files.folder());
        return false;
    }
    name = leafOf(*found);
    return true;
}

}  // namespace cedar::platform
