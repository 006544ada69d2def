#include "platform/program_start.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <thread>

extern char** environ;

namespace cedar::platform {

namespace {

bool isExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool sameWord(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != b[i]) return false;
    return i == a.size() && b[i] == '\0';
}

std::string trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::string SpawnedPrograms::pathOf(const std::string& name) const {
    std::string n = name;
    for (char& c : n)
        if (c == '\\') c = '/';
    if (n.size() >= 2 && std::isalpha(static_cast<unsigned char>(n[0])) && n[1] == ':')
        n.erase(0, 2);
    if (n.empty() || n[0] == '/' || folder_.empty()) return n;
    return folder_ + "/" + n;
}

std::vector<std::string> SpawnedPrograms::argumentsOf(const std::string& commandLine) const {
    const std::string whole = trimmed(commandLine);
    if (whole.find('"') == std::string::npos && isExecutableFile(pathOf(whole))) return {whole};
    return splitCommandLine(commandLine);
}

bool SpawnedPrograms::spawn(const std::vector<std::string>& args) const {
    if (args.empty() || args[0].empty()) return false;
    std::vector<std::string> owned = args;
    // A program named by a path (with a folder) is found from the working
    // folder, as the command line's user expects; a bare name through PATH.
    if (owned[0].find_first_of("/\\") != std::string::npos) owned[0] = pathOf(owned[0]);
    std::vector<char*> argv;
    for (std::string& a : owned)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!folder_.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder_.c_str());
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // The program gets its own process group: the terminal's signals are not its.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    pid_t pid = 0;
    const int rc = ::posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (rc != 0) return false;
    // Reaped in the background: the session thread never waits for it.
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

bool SpawnedPrograms::start(const std::string& commandLine) {
    return spawn(argumentsOf(commandLine));
}

int SpawnedPrograms::shellExecute(const std::string& operation, const std::string& file,
                                  const std::string& parameters) {
    constexpr int kStarted = 33, kFileNotFound = 2, kNoAssociation = 31, kOutOfResources = 0;
    if (!operation.empty() && !sameWord(operation, "open") && !sameWord(operation, "explore"))
        return kNoAssociation;
    if (file.empty()) return kFileNotFound;
    const bool address = file.find("://") != std::string::npos || file.rfind("mailto:", 0) == 0;
    std::vector<std::string> args;
    if (address) {
        args = {opener_, file};
    } else {
        const std::string path = pathOf(file);
        if (!exists(path)) return kFileNotFound;
        if (isExecutableFile(path)) {
            args = {path};
            for (std::string& p : splitCommandLine(parameters))
                args.push_back(std::move(p));
        } else {
            args = {opener_, path};
        }
    }
    return spawn(args) ? kStarted : kOutOfResources;
}

}  // namespace cedar::platform
