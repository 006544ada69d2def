#include "s3270_peer.h"

#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

namespace cedar::test {

using Clock = LineProcess::Clock;

bool S3270Peer::available() {
    return access(kProgram, X_OK) == 0;
}

S3270Peer::S3270Peer() : S3270Peer(Options{}) {}

S3270Peer::S3270Peer(Options options) : options_(std::move(options)) {}

S3270Peer::~S3270Peer() {
    quit();
}

bool S3270Peer::start() {
    if (running()) return true;
    // The environment with LANG=C.UTF-8 and no LC_* overriding it.
    std::vector<std::string> env = environmentWithout({"LANG=", "LC_"});
    env.emplace_back("LANG=C.UTF-8");
    return process_.start({kProgram, "-model", "3279-" + std::to_string(options_.model) + "-E",
                           "-codepage", options_.codePage},
                          env, error_);
}

S3270Peer::Answer S3270Peer::action(const std::string& line) {
    Answer answer;
    if (!running()) {
        answer.failure = "s3270 is not running";
        return answer;
    }
    const auto deadline = Clock::now() + options_.actionTimeout;
    if (std::string why; !process_.writeLine(line, why)) {
        answer.failure = "writing to s3270: " + why;
        return answer;
    }
    std::string previous;
    for (;;) {
        std::string l;
        const LineProcess::Read r = process_.readLine(l, deadline);
        if (r == LineProcess::Read::Timeout) {
            answer.failure = "no answer from s3270 to " + line + " within " +
                             std::to_string(options_.actionTimeout.count()) + " ms";
            return answer;
        }
        if (r == LineProcess::Read::Eof) {
            answer.failure = "s3270 closed its output during " + line;
            return answer;
        }
        if (l.rfind("data:", 0) == 0) {
            l.erase(0, 5);
            if (!l.empty() && l.front() == ' ') l.erase(0, 1);
            answer.data.push_back(std::move(l));
        } else if (l == "ok" || l == "error") {
            answer.ok = l == "ok";
            answer.status = previous;
            return answer;
        } else {
            previous = l;
        }
    }
}

void S3270Peer::quit() {
    if (running()) {
        // It exits on Quit() (or on end of input).
        std::string ignored;
        process_.writeLine("Quit()", ignored);
        process_.closeInput();
    }
    process_.end(Clock::now() + options_.quitTimeout);
}

}  // namespace cedar::test
