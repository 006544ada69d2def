// A 3270 host for tests: listens on 127.0.0.1 (a port the system picks),
// serves one client at a time, negotiates plain TN3270 (RFC 1576: terminal
// type per RFC 1091, end of record per RFC 885, binary per RFC 856), sends a
// scripted list of 3270 records and logs every byte the client sends.
//
// Each record goes out with 0xFF doubled and IAC EOR appended. After the last
// record the host can send IAC DO TIMING-MARK (RFC 860): a client answers it
// (WILL or WONT) only after it has processed every byte before it, so once the
// answer is in, the client's screen holds all the records. waitForSync()
// blocks, bounded in time, until then.
//
// The host runs on its own thread; stop() (also run by the destructor) wakes
// it, closes the sockets and joins it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace cedar::test {

class ReplayHost {
  public:
    using Record = std::vector<std::uint8_t>;

    struct Script {
        std::vector<Record> records;  // 3270 records, without Telnet framing
        bool timingMarkAfterRecords = true;
    };

    struct Options {
        // How long the host waits for each answer during negotiation before it
        // carries on without it.
        std::chrono::milliseconds negotiationTimeout{5000};
    };

    explicit ReplayHost(Script script);
    ReplayHost(Script script, Options options);
    ~ReplayHost();
    ReplayHost(const ReplayHost&) = delete;
    ReplayHost& operator=(const ReplayHost&) = delete;

    // Binds 127.0.0.1 port 0 and starts the thread. False (see error()) when
    // the socket cannot be set up.
    bool start();
    // Wakes the thread, closes every socket and joins. Safe to call twice.
    void stop();
    int port() const { return port_; }

    // Waits until the client of the current connection answered the timing
    // mark sent after the last record. False on timeout, when the client went
    // away first, or when the script sends no timing mark.
    bool waitForSync(std::chrono::milliseconds timeout);

    // What the client sent on the current (or last) connection: every byte as
    // received, its terminal type, and the 3270 records it sent (framing
    // removed, 0xFF undoubled).
    std::vector<std::uint8_t> clientBytes() const;
    std::string terminalType() const;
    std::vector<Record> clientRecords() const;
    int connections() const;
    // Problems met on the way (negotiation answers that never came, socket
    // errors); empty when all went to plan.
    std::string error() const;

  private:
    struct Connection;
    void run();
    void serve(int fd);
    void noteError(const std::string& text);

    Script script_;
    Options options_;
    int listenFd_ = -1;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    int port_ = 0;
    std::thread thread_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool synced_ = false;
    bool clientGone_ = false;
    int connections_ = 0;
    std::vector<std::uint8_t> clientBytes_;
    std::string terminalType_;
    std::vector<Record> clientRecords_;
    std::string error_;
};

}  // namespace cedar::test
