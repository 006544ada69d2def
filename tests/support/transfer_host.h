// A TN3270 host on 127.0.0.1 with the host's IND$FILE program: it shows one
// screen with an input line, starts a transfer when an IND$FILE command is
// typed there, and keeps its data sets in a store the test reads and fills.
// One client at a time, served on the host's own thread; stop() (also run
// by the destructor) wakes that thread, closes the sockets and joins it.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "data_sets.h"
#include "ind_file_host.h"

namespace cedar::test {

class TransferHost {
  public:
    TransferHost() = default;
    TransferHost(const TransferHost&) = delete;
    TransferHost& operator=(const TransferHost&) = delete;
    ~TransferHost() { stop(); }

    // Listens on a port the system picks. False with `error` when it cannot.
    bool start(std::string& error, bool tn3270e = true);
    void stop();
    int port() const { return port_; }

    hostside::DataSetStore& store() { return store_; }
    // What the next transfer plays (taken when its command arrives).
    void setOptions(const hostside::IndFileOptions& options);
    // How long the host waits between a transfer's closing message and the
    // screen after it (0: none), as a busy host may.
    void setScreenDelay(std::chrono::milliseconds delay);
    // The results of the transfers so far, oldest first.
    std::vector<hostside::IndFileResult> results() const;
    // Waits (bounded) until `count` transfers have ended and the screen after
    // the last of them has been sent.
    bool waitForResults(std::size_t count, std::chrono::milliseconds limit) const;

  private:
    void run();
    void serve(int fd);

    hostside::DataSetStore store_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    hostside::IndFileOptions options_;
    std::chrono::milliseconds screenDelay_{0};
    std::vector<hostside::IndFileResult> results_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    int listenFd_ = -1, wakeRead_ = -1, wakeWrite_ = -1;
    int port_ = 0;
    bool tn3270e_ = true;
};

// The host's screen: a title, the message of the last transfer and an input
// line (row 22) with the cursor in it.
std::vector<std::uint8_t> transferScreen(const std::string& message);

}  // namespace cedar::test
