#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace cedar::platform {

namespace fs = std::filesystem;

std::optional<std::string> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool isFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool makeDirectories(const std::string& path) {
    std::error_code ec;
    fs::create_directories(path, ec);
    return isDirectory(path);
}

namespace {

bool writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
}

}  // namespace

bool writeFileAtomic(const std::string& path, const std::string& bytes, std::string& error) {
    const std::string folder = folderOf(path);
    if (!isDirectory(folder) && !makeDirectories(folder)) {
        error = "Cannot create folder " + folder + ": " + std::strerror(errno);
        return false;
    }
    std::string tmpl = path + ".XXXXXX";
    const int fd = ::mkstemp(tmpl.data());
    if (fd < 0) {
        error = "Cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    // Keep the permissions of a file being replaced.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        ::fchmod(fd, st.st_mode & 07777);
    else
        ::fchmod(fd, 0644);
    const bool ok = writeAll(fd, bytes) && ::fsync(fd) == 0;
    const int saved = errno;
    ::close(fd);
    if (!ok || ::rename(tmpl.c_str(), path.c_str()) != 0) {
        error = "Cannot write " + path + ": " + std::strerror(ok ? errno : saved);
        ::unlink(tmpl.c_str());
        return false;
    }
    // Make the rename itself durable.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool editFileLocked(const std::string& path,
                    const std::function<std::string(const std::string&)>& edit,
                    std::string& error) {
    const std::string folder = folderOf(path);
    if (!isDirectory(folder) && !makeDirectories(folder)) {
        error = "Cannot create folder " + folder;
        return false;
    }
    // A lock file beside the file: the file itself is replaced by rename, so
    // a lock on it would not be seen by the next writer.
    const std::string lockPath = path + ".lock";
    const int lock = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lock < 0) {
        error = "Cannot lock " + path + ": " + std::strerror(errno);
        return false;
    }
    while (::flock(lock, LOCK_EX) != 0) {
        if (errno != EINTR) {
            error = "Cannot lock " + path + ": " + std::strerror(errno);
            ::close(lock);
            return false;
        }
    }
    const std::string before = readFile(path).value_or("");
    const std::string after = edit(before);
    const bool ok = after == before || writeFileAtomic(path, after, error);
    ::flock(lock, LOCK_UN);
    ::close(lock);
    return ok;
}

std::optional<std::string> resolveFile(const std::string& folder, const std::string& name,
                                       std::string& error) {
    std::string n = name;
    for (char& c : n)
        if (c == '\\') c = '/';
    if (n.size() >= 2 && std::isalpha(static_cast<unsigned char>(n[0])) && n[1] == ':')
        n = n.substr(2);  // a drive letter means nothing here
    const std::string path = !n.empty() && n[0] == '/' ? n : folder + "/" + n;
    if (path.size() > kMaxPath) {
        error = "The file name is longer than " + std::to_string(kMaxPath) + " characters: " + path;
        return std::nullopt;
    }
    if (isFile(path)) return path;
    // One entry of the same name in another letter case.
    const std::string dirPath = folderOf(path);
    const std::string leaf = path.substr(path.find_last_of('/') + 1);
    DIR* dir = ::opendir(dirPath.c_str());
    if (dir == nullptr) return std::nullopt;
    std::optional<std::string> found;
    int matches = 0;
    while (const dirent* e = ::readdir(dir)) {
        const std::string entry = e->d_name;
        if (entry.size() != leaf.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < leaf.size() && same; ++i)
            same = std::tolower(static_cast<unsigned char>(entry[i])) ==
                   std::tolower(static_cast<unsigned char>(leaf[i]));
        if (same) {
            ++matches;
            found = dirPath + "/" + entry;
        }
    }
    ::closedir(dir);
    if (matches > 1) {
        error = "Several files match " + leaf + " in " + dirPath + " apart from letter case";
        return std::nullopt;
    }
    if (found && !isFile(*found)) return std::nullopt;
    return found;
}

bool seedAppData(const Folders& folders, std::string& error) {
    if (isDirectory(folders.appData)) return true;
    // The new folder is filled under a temporary name beside it and renamed
    // into place, so a start that fails half-way (full disk, unreadable
    // defaults) never leaves a half-seeded folder that later starts would
    // take for the user's own.
    const fs::path target(folders.appData);
    const fs::path parent = target.parent_path();
    if (!parent.empty() && !makeDirectories(parent.string())) {
        error = "Cannot create folder " + parent.string();
        return false;
    }
    std::string pattern = (parent / (target.filename().string() + ".new-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        error = "Cannot create folder " + folders.appData + ": " + std::strerror(errno);
        return false;
    }
    const fs::path staging(pattern);
    std::error_code ec;
    auto fail = [&](const std::string& text) {
        error = text;
        fs::remove_all(staging, ec);
        return false;
    };
    for (const char* sub : {"macros", "certs"})
        if (!fs::create_directories(staging / sub, ec) && ec)
            return fail("Cannot create folder " + (target / sub).string());
    // The whole defaults tree: files and folders, overwriting the two
    // folders made above where the tree has them too.
    const fs::path defaults = fs::path(folders.programData) / "defaults";
    if (isDirectory(defaults.string())) {
        fs::copy(defaults, staging,
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
        if (ec) return fail("Cannot copy " + defaults.string() + ": " + ec.message());
    }
    // mkdtemp made it 0700, which it keeps: it holds the user's host list,
    // certificates and keys.
    if (std::rename(staging.c_str(), target.c_str()) != 0) {
        const int saved = errno;
        fs::remove_all(staging, ec);
        // Another session of the user seeded it at the same moment.
        if (isDirectory(folders.appData)) return true;
        error = "Cannot create folder " + folders.appData + ": " + std::strerror(saved);
        return false;
    }
    return true;
}

std::optional<std::string> SystemEnvironment::variable(const std::string& name) const {
    const char* v = std::getenv(name.c_str());
    return v == nullptr ? std::nullopt : std::optional<std::string>(v);
}

std::optional<std::string> SystemEnvironment::userDirsFile() const {
    return readFile(configHomeFolder(*this) + "/user-dirs.dirs");
}

std::vector<std::string> filesWithExtension(const std::string& folder,
                                            const std::string& extension) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        const std::string name = it->path().filename().string();
        if (name.size() <= extension.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < extension.size() && same; ++i)
            same = std::tolower(
                       static_cast<unsigned char>(name[name.size() - extension.size() + i])) ==
                   std::tolower(static_cast<unsigned char>(extension[i]));
        if (same) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string programDataFolder(const std::string& buildTreeData) {
    char buffer[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n > 0) {
        buffer[n] = '\0';
        const fs::path exe(buffer);
        const fs::path installed = exe.parent_path().parent_path() / "share" / "cedar-tn3270";
        if (isDirectory(installed.string())) return installed.string();
    }
    return buildTreeData;
}

}  // namespace cedar::platform
