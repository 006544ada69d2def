#include "platform/macro_file_access.h"

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "platform/files.h"

namespace cedar::platform {

namespace {

class StdioStream : public MacroFileStream {
  public:
    explicit StdioStream(std::FILE* file) : file_(file) {}
    ~StdioStream() override { std::fclose(file_); }
    StdioStream(const StdioStream&) = delete;
    StdioStream& operator=(const StdioStream&) = delete;

    std::optional<std::string> readLine(std::size_t maxBytes) override {
        std::string line;
        int c = EOF;
        bool any = false;
        while (line.size() < maxBytes && (c = std::fgetc(file_)) != EOF) {
            any = true;
            if (c == '\n') break;
            line.push_back(static_cast<char>(c));
        }
        if (!any) return std::nullopt;
        if (c != '\n' && line.size() == maxBytes) {
            // A line of exactly maxBytes: its line end belongs to it.
            const int next = std::fgetc(file_);
            if (next != '\n' && next != EOF) std::ungetc(next, file_);
            if (next == '\n') c = '\n';
        }
        // Files written on Windows end their lines in CR LF.
        if (c == '\n' && !line.empty() && line.back() == '\r') line.pop_back();
        return line;
    }

    bool write(std::string_view bytes) override {
        return std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size() &&
               std::fflush(file_) == 0;
    }

  private:
    std::FILE* file_;
};

std::string parentOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? std::string() : path.substr(0, slash);
}

}  // namespace

std::string MacroFolderFiles::pathOf(std::string_view name) const {
    std::string n(name);
    for (char& c : n)
        if (c == '\\') c = '/';
    if (n.size() >= 2 && ((n[0] >= 'A' && n[0] <= 'Z') || (n[0] >= 'a' && n[0] <= 'z')) &&
        n[1] == ':')
        n.erase(0, 2);
    return !n.empty() && n[0] == '/' ? n : folder_ + "/" + n;
}

std::unique_ptr<MacroFileStream> MacroFolderFiles::open(std::string_view name, MacroFileMode mode) {
    lastError_ = EINVAL;
    if (name.empty() || name.find('\0') != std::string_view::npos) return nullptr;
    std::string error;
    const std::string path = resolveFile(folder_, std::string(name), error).value_or(pathOf(name));
    const char* how = mode == MacroFileMode::Input    ? "rb"
                      : mode == MacroFileMode::Output ? "wb"
                                                      : "ab";
    if (mode == MacroFileMode::Input && !isFile(path)) {
        // A folder of that name is no file either.
        lastError_ = isDirectory(path) ? EISDIR : ENOENT;
        return nullptr;
    }
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), how);
    int openErrno = errno;
    if (file == nullptr && mode != MacroFileMode::Input) {
        const std::string parent = parentOf(path);
        if (!parent.empty() && !isDirectory(parent) && makeDirectories(parent)) {
            errno = 0;
            file = std::fopen(path.c_str(), how);
            openErrno = errno;
        }
    }
    if (file == nullptr) {
        lastError_ = openErrno != 0 ? openErrno : EIO;
        return nullptr;
    }
    lastError_ = 0;
    return std::make_unique<StdioStream>(file);
}

std::optional<std::string> MacroFolderSource::readMacroFile(MacroFolder folder,
                                                            const std::string& fileName) const {
    if (fileName.empty() || fileName.find('\0') != std::string::npos) return std::nullopt;
    // Folder names, Windows path forms and letter case as the file handles read them.
    const auto readIn = [&fileName](const std::string& base) -> std::optional<std::string> {
        std::string error;
        const std::string path =
            resolveFile(base, fileName, error).value_or(MacroFolderFiles(base).pathOf(fileName));
        if (!isFile(path)) return std::nullopt;
        return readFile(path);
    };
    if (folder == MacroFolder::RemoteMacros) return readIn(remote_);
    // (A full path names the same file in either folder.)
    auto text = readIn(macros_);
    if (!text && !shipped_.empty()) text = readIn(shipped_);
    return text;
}

std::string shippedMacrosFolder(const std::string& programData) {
    return programData + "/macros";
}

int saveMacroFile(const std::string& macrosFolder, std::string_view fileName,
                  std::string_view text) {
    if (fileName.empty() || fileName.find('\0') != std::string_view::npos) return EINVAL;
    const std::string path = MacroFolderFiles(macrosFolder).pathOf(fileName);
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return errno != 0 ? errno : EIO;
    errno = 0;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    int error = written ? 0 : (errno != 0 ? errno : EIO);
    if (std::fclose(file) != 0 && error == 0) error = errno != 0 ? errno : EIO;
    if (error != 0) std::remove(path.c_str());
    return error;
}

std::string localTimestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

}  // namespace cedar::platform
