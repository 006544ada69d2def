#include "program_run.h"

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "child_process.h"

namespace cedar::test {

namespace fs = std::filesystem;

ProgramRun::ProgramRun(std::string program, std::string home)
    : program_(std::move(program)),
      home_(std::move(home)),
      outputPath_(home_ + "/.program-output") {}

ProgramRun::~ProgramRun() {
    if (pid_ > 0) stopProcess(pid_, std::chrono::milliseconds(2000));
    removeSessionGroup(fs::path(home_).filename().string());
}

void removeSessionGroup(const std::string& group) {
    if (group.empty()) return;
    const std::string uid = std::to_string(::getuid());
    ::shm_unlink(("/cedar-tn3270-" + uid + "-" + group).c_str());
    ::shm_unlink(("/cedar-tn3270-" + uid + "-" + group + "-titles").c_str());
    std::error_code ec;
    fs::remove_all("/run/user/" + uid + "/cedar-tn3270/" + group, ec);
    fs::remove_all("/tmp/cedar-tn3270-" + uid + "/" + group, ec);
}

bool ProgramRun::start(const std::vector<std::string>& args,
                       const std::vector<std::string>& environment) {
    std::vector<std::string> argv = {
        "env", "HOME=" + home_, "CEDAR_MESSAGE_BOXES=1", "XDG_RUNTIME_DIR=" + home_,
        // Sessions of a test of their own: ids
        // start at A whatever else runs.
        "CEDAR_SESSION_GROUP=" + std::filesystem::path(home_).filename().string()};
    argv.insert(argv.end(), environment.begin(), environment.end());
    argv.push_back(program_);
    argv.insert(argv.end(), args.begin(), args.end());
    SpawnOptions options;
    options.outputPath = outputPath_;
    pid_ = spawnProcess(argv, options);
    return pid_ > 0;
}

std::optional<int> ProgramRun::wait(std::chrono::milliseconds limit) {
    if (pid_ <= 0) return std::nullopt;
    const int status = reapProcess(pid_, limit);
    pid_ = -1;
    if (status < 0) return std::nullopt;
    return status;
}

bool ProgramRun::running() const {
    return pid_ > 0 && ::kill(pid_, 0) == 0;
}

std::string ProgramRun::output() const {
    return readBytes(outputPath_);
}

TempFolder::TempFolder() {
    char name[] = "/tmp/cedar-app-XXXXXX";
    if (::mkdtemp(name) != nullptr) path_ = name;
}

TempFolder::~TempFolder() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
}

std::string appDataOf(const std::string& home) {
    return home + "/Documents/Larkfield/CedarTN3270";
}

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeBytes(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

}  // namespace cedar::test
