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
    // Its console log (gone after stop()).
    const std::string& log() const { return logPath_; }
    // The device number of the `index`th 3270 device ("0010", "0011", ...):
    // as the LU name of a TN3270 client ("IBM-3278-2-E@0011") it picks that
    // device. A device stays bound once a client has had it, so each client
    // needs a device of its own.
    static std::string deviceName(int index);

  private:
    void end();  // ends the process, keeps the folder

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
// Whether a socket listens on 127.0.0.1:port (or on every IPv4 address),
// read from /proc/net/tcp without connecting to it.
bool portListening(int port);

}  // namespace cedar::test
