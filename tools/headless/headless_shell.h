// The line protocol of cedar_headless: one command per line in, an answer
// ending with a line "ok" or "error: TEXT" out. The session runs on the
// thread that calls execute(); waits run the event loop meanwhile.
#pragma once

#include <string>
#include <vector>

#include "host/event_loop.h"
#include "session/host_link.h"
#include "session/session.h"

namespace cedar::headless {

struct Options {
    ConnectionOptions connection;
    TelnetConfig telnet;
    int model = 2;
    std::string country;
    std::string countryFile;
    int connectTimeoutSeconds = 30;
};

// Parses the command line; on failure `error` says why.
bool parseCommandLine(const std::vector<std::string>& args, Options& options, std::string& error);
extern const char* const kUsage;

class Shell : private LinkUi {
  public:
    Shell(const Options& options, Session& session, Connector& connector, EventLoop& loop);

    // Runs one command; returns the answer (every line ends with '\n') and
    // sets `quit` when the program should end.
    std::string execute(const std::string& line, bool& quit);

  private:
    void showError(const std::string& title, const std::string& text) override;
    void connected(const ConnectionInfo& info) override;
    void hostClosed() override;

    std::string connect();
    std::string waitUnlock(const std::vector<std::string>& words);
    std::string screen();
    std::string status();

    Options options_;
    Session& session_;
    EventLoop& loop_;
    HostLink link_;
    bool up_ = false;
    std::vector<std::string> errors_;
};

}  // namespace cedar::headless
