// Hercules (the S/370 emulator, Debian package "hercules") as a real TN3270
// host for tests: started on a free loopback port with a few 3270 devices
// and no operating system, so it answers with its logo screen.
#pragma once

#include <sys/types.h>

#include <string>

namespace cedar::test {

class HerculesHost {
  public:
    // Whether the hercules program is installed.
    static bool available();

    HerculesHost() = default;
    HerculesHost(const HerculesHost&) = delete;
    HerculesHost& operator=(const HerculesHost&) = delete;
    ~HerculesHost() { stop(); }

    // Starts hercules and waits (bounded) until its console port accepts
    // connections. False with `error` set when it did not come up.
    bool start(std::string& error, int devices = 4);
    void stop();
    int port() const { return port_; }
    const std::string& log() const { return logPath_; }

  private:
    pid_t pid_ = -1;
    int stdinPipe_ = -1;
    int port_ = 0;
    std::string dir_;
    std::string logPath_;
};

// A free TCP port on 127.0.0.1 (bound and released; the caller binds it next).
int freeLoopbackPort();
// Whether something accepts connections on 127.0.0.1:port.
bool portAccepts(int port);

}  // namespace cedar::test
