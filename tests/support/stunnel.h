// stunnel (Debian package "stunnel4") as the TLS front of a plain loopback
// host in tests: each service accepts TLS on 127.0.0.1 (a free port) with
// its own certificate and forwards the plain bytes to 127.0.0.1:connectPort.
// It runs in the foreground as our child, its configuration and log in a
// temporary folder; stop() (also run by the destructor) ends it, reaps it and
// removes the folder.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace cedar::test {

class Stunnel {
  public:
    // The stunnel program (/usr/bin/stunnel4 or /usr/bin/stunnel), or "".
    static std::string program();
    static bool available() { return !program().empty(); }

    struct Service {
        std::string certFile;  // PEM: the certificate (and any chain) it presents
        std::string keyFile;   // PEM: its key
        int connectPort = 0;   // the plain host on 127.0.0.1
    };

    Stunnel() = default;
    ~Stunnel() { stop(); }
    Stunnel(const Stunnel&) = delete;
    Stunnel& operator=(const Stunnel&) = delete;

    // Starts stunnel and waits (bounded) until every service listens. False,
    // with the reason and stunnel's log in `error`, when it did not come up.
    bool start(const std::vector<Service>& services, std::string& error);
    void stop();
    // The TLS port of service `index` (in the order given to start()).
    int port(std::size_t index = 0) const;
    pid_t pid() const { return pid_; }
    // What stunnel logged so far.
    std::string log() const;

  private:
    void end();  // ends the process, keeps the folder

    pid_t pid_ = -1;
    std::string dir_;
    std::vector<int> ports_;
};

}  // namespace cedar::test
