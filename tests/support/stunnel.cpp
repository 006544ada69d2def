#include "stunnel.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "child_process.h"
#include "hercules_host.h"

extern char** environ;

namespace cedar::test {

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

std::string Stunnel::program() {
    for (const char* path : {"/usr/bin/stunnel4", "/usr/bin/stunnel"})
        if (access(path, X_OK) == 0) return path;
    return {};
}

int Stunnel::port(std::size_t index) const {
    return index < ports_.size() ? ports_[index] : 0;
}

std::string Stunnel::log() const {
    if (dir_.empty()) return {};
    std::ifstream in(dir_ + "/stunnel.log");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Stunnel::start(const std::vector<Service>& services, std::string& error) {
    stop();
    const std::string path = program();
    if (path.empty()) {
        error = "stunnel is not installed";
        return false;
    }
    if (services.empty()) {
        error = "no service to run";
        return false;
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/cedar-stunnel-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        error = "cannot make a temporary folder";
        return false;
    }
    dir_ = pattern;
    const std::string config = dir_ + "/stunnel.conf";
    const std::string logFile = dir_ + "/stunnel.log";

    // A port picked free may be taken before stunnel binds it: then stunnel
    // ends at once and the next attempt takes other ports.
    for (int attempt = 0; attempt < 3; ++attempt) {
        ports_.clear();
        {
            std::ofstream out(config);
            out << "foreground = yes\npid =\nsyslog = no\ndebug = 5\n";
            for (std::size_t i = 0; i < services.size(); ++i) {
                const int p = freeLoopbackPort();
                ports_.push_back(p);
                out << "[service" << i << "]\naccept = 127.0.0.1:" << p
                    << "\nconnect = 127.0.0.1:" << services[i].connectPort
                    << "\ncert = " << services[i].certFile << "\nkey = " << services[i].keyFile
                    << "\n";
            }
        }
        SpawnOptions spawn;
        spawn.outputPath = logFile;
        const pid_t pid = spawnProcess({path, config}, spawn);
        if (pid < 0) {
            error = "cannot start " + path;
            stop();
            return false;
        }
        pid_ = pid;

        const auto deadline = Clock::now() + std::chrono::seconds(15);
        bool died = false;
        while (Clock::now() < deadline) {
            bool all = true;
            for (int p : ports_)
                all = all && portListening(p);
            if (all) return true;
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                died = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!died) break;  // hung rather than failed: no point in trying again
    }
    error = "stunnel did not start:\n" + log();
    stop();
    return false;
}

void Stunnel::end() {
    if (pid_ <= 0) return;
    stopProcess(pid_, std::chrono::seconds(5));
    pid_ = -1;
}

void Stunnel::stop() {
    end();
    ports_.clear();
    if (!dir_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
        dir_.clear();
    }
}

}  // namespace cedar::test
