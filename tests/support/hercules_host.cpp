#include "hercules_host.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "child_process.h"

namespace cedar::test {

namespace {

sockaddr_in loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

}  // namespace

int freeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return 0;
    sockaddr_in a = loopback(0);
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
        socklen_t len = sizeof a;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0) port = ntohs(a.sin_port);
    }
    ::close(fd);
    return port;
}

bool portAccepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return false;
    sockaddr_in a = loopback(port);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

bool portListening(int port) {
    char local[16];
    std::snprintf(local, sizeof local, ":%04X", static_cast<unsigned>(port));
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);  // the heading
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, localAddress, remoteAddress, state;
        fields >> slot >> localAddress >> remoteAddress >> state;
        const bool address = localAddress.rfind("0100007F", 0) == 0 ||  // 127.0.0.1
                             localAddress.rfind("00000000", 0) == 0;    // 0.0.0.0
        if (address && localAddress.size() == 13 && localAddress.substr(8) == local &&
            state == "0A")  // TCP_LISTEN
            return true;
    }
    return false;
}

std::string HerculesHost::deviceName(int index) {
    char name[8];
    std::snprintf(name, sizeof name, "%04X", 0x10 + index);
    return name;
}

bool HerculesHost::available() {
    return ::access("/usr/bin/hercules", X_OK) == 0;
}

bool HerculesHost::start(std::string& error, int devices) {
    if (!available()) {
        error = "hercules is not installed";
        return false;
    }
    char tmpl[] = "/tmp/cedar-hercules-XXXXXX";
    if (::mkdtemp(tmpl) == nullptr) {
        error = "cannot make a temporary folder";
        return false;
    }
    dir_ = tmpl;
    logPath_ = dir_ + "/hercules.log";
    for (int attempt = 0; attempt < 3; ++attempt) {
        port_ = freeLoopbackPort();
        {
            std::ofstream cnf(dir_ + "/test.cnf");
            cnf << "CPUSERIAL 000611\nCPUMODEL 3090\nMAINSIZE 16\nNUMCPU 1\nMAXCPU 1\n"
                   "ARCHMODE S/370\nCNSLPORT 127.0.0.1:"
                << port_ << "\n";
            for (int d = 0; d < devices; ++d)
                cnf << "00" << std::hex << 0x10 + d << std::dec << " 3270\n";
        }
        std::filesystem::remove(logPath_);
        SpawnOptions spawn;
        spawn.outputPath = logPath_;
        spawn.stdinPipe = true;  // kept open: hercules ends when its console input ends
        spawn.workingDirectory = dir_;
        pid_ = spawnProcess({"/usr/bin/hercules", "-f", "test.cnf", "-d"}, spawn, &stdinPipe_);
        if (pid_ < 0) {
            error = "cannot start hercules";
            stop();
            return false;
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (std::chrono::steady_clock::now() < deadline) {
            if (portListening(port_)) return true;
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                break;  // it died (the port may have been taken): try again
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        end();
    }
    std::ifstream log(logPath_);
    std::ostringstream text;
    text << log.rdbuf();
    error = "hercules did not start:\n" + text.str();
    stop();
    return false;
}

void HerculesHost::stop() {
    end();
    if (!dir_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
        dir_.clear();
        logPath_.clear();
    }
}

void HerculesHost::end() {
    if (stdinPipe_ >= 0) {
        ::close(stdinPipe_);
        stdinPipe_ = -1;
    }
    if (pid_ > 0) {
        stopProcess(pid_, std::chrono::seconds(5));
        pid_ = -1;
    }
}

}  // namespace cedar::test
