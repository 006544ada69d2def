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
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

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
        int in[2];
        if (::pipe(in) != 0) {
            error = "cannot make a pipe";
            return false;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(in[0], 0);
            const int log = ::open(logPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (log >= 0) {
                ::dup2(log, 1);
                ::dup2(log, 2);
            }
            ::close(in[1]);
            ::chdir(dir_.c_str());
            ::execl("/usr/bin/hercules", "hercules", "-f", "test.cnf", "-d",
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(in[0]);
        stdinPipe_ = in[1];  // kept open: hercules ends when its console input ends
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (std::chrono::steady_clock::now() < deadline) {
            if (portAccepts(port_)) return true;
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                break;  // it died (the port may have been taken): try again
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        stop();
    }
    error = "hercules did not start; see " + logPath_;
    return false;
}

void HerculesHost::stop() {
    if (stdinPipe_ >= 0) {
        ::close(stdinPipe_);
        stdinPipe_ = -1;
    }
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        int status = 0;
        while (::waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() >= deadline) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        pid_ = -1;
    }
}

}  // namespace cedar::test
