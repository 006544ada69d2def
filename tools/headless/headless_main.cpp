// cedar_headless: one session without a display, driven by commands on
// standard input (see headless_shell.h and the README).
#include <cstdio>
#include <deque>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

#include "headless_shell.h"
#include "platform/tcp_connection.h"

namespace {

constexpr int kStartupFailure = 8;

// Lines from standard input, read on a thread of their own so that the
// session keeps taking in host data while no command is pending.
class InputLines {
  public:
    explicit InputLines(cedar::EventLoop& loop) : loop_(loop) {
        std::thread([this] {
            for (std::string line; std::getline(std::cin, line);)
                push(line, false);
            push("", true);
        }).detach();  // a blocked read of stdin cannot be cancelled; it ends with the process
    }
    bool pop(std::string& line, bool& eof) {
        std::lock_guard lock(mutex_);
        if (lines_.empty()) return false;
        line = lines_.front().first;
        eof = lines_.front().second;
        lines_.pop_front();
        return true;
    }

  private:
    void push(const std::string& line, bool eof) {
        {
            std::lock_guard lock(mutex_);
            lines_.emplace_back(line, eof);
        }
        loop_.wake();
    }
    cedar::EventLoop& loop_;
    std::mutex mutex_;
    std::deque<std::pair<std::string, bool>> lines_;
};

}  // namespace

int main(int argc, char** argv) {
    cedar::headless::Options options;
    std::string error;
    if (!cedar::headless::parseCommandLine({argv + 1, argv + argc}, options, error)) {
        std::fprintf(stderr, "cedar_headless: %s\n%s", error.c_str(), cedar::headless::kUsage);
        return kStartupFailure;
    }
    if (options.countryFile.empty()) options.countryFile = CEDAR_DEFAULT_COUNTRY_FILE;
    std::ifstream in(options.countryFile, std::ios::binary);
    if (!in) {
        std::fprintf(stderr,
                     "cedar_headless: File \"country.lst\" was not found.\nYou may need to "
                     "re-install Cedar. (%s)\n",
                     options.countryFile.c_str());
        return kStartupFailure;
    }
    std::ostringstream text;
    text << in.rdbuf();

    cedar::ScreenSessionOptions screenOptions;
    screenOptions.modelIndex = options.model - 2;
    cedar::Session session({}, screenOptions);
    const auto report =
        cedar::loadCountryText(text.str(), cedar::CountryMode::Screen,
                               {options.country, "ANSI 1252", ""}, session.codePages);
    if (!options.country.empty() && !report.screenCountryFound) {
        std::fprintf(stderr, "cedar_headless: no country \"%s\" in %s\n", options.country.c_str(),
                     options.countryFile.c_str());
        return kStartupFailure;
    }

    cedar::EventLoop loop;
    cedar::TcpConnector connector;
    cedar::headless::Shell shell(options, session, connector, loop);
    InputLines input(loop);
    bool quit = false;
    while (!quit) {
        std::string line;
        bool eof = false;
        if (!input.pop(line, eof)) {
            loop.runOnce(200);
            continue;
        }
        if (eof) line = "quit";
        const std::string answer = shell.execute(line, quit);
        std::fputs(answer.c_str(), stdout);
        std::fflush(stdout);
    }
    return 0;
}
