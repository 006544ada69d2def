#include "headless_process.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace cedar::test {

using Clock = LineProcess::Clock;

HeadlessProcess::HeadlessProcess(std::string program, std::string home,
                                 std::chrono::milliseconds timeout)
    : program_(std::move(program)), home_(std::move(home)), timeout_(timeout) {}

HeadlessProcess::~HeadlessProcess() {
    finish();
    if (ownHome_) {
        std::error_code ignored;
        std::filesystem::remove_all(home_, ignored);
    }
}

bool HeadlessProcess::start(const std::vector<std::string>& args) {
    if (home_.empty()) {
        std::string home = "/tmp/cedar-headless-XXXXXX";
        if (mkdtemp(home.data()) == nullptr) {
            failure_ = std::string("mkdtemp: ") + std::strerror(errno);
            return false;
        }
        home_ = home;
        ownHome_ = true;
    }
    // The user's folders come from HOME alone.
    std::vector<std::string> env = environmentWithout({"HOME=", "XDG_"});
    env.push_back("HOME=" + home_);
    std::vector<std::string> argv = {program_};
    argv.insert(argv.end(), args.begin(), args.end());
    return process_.start(argv, env, failure_);
}

HeadlessProcess::Answer HeadlessProcess::command(const std::string& line) {
    Answer answer;
    if (!process_.running()) {
        answer.error = "cedar_headless is not running";
        return answer;
    }
    if (std::string why; !process_.writeLine(line, why)) {
        answer.error = "writing to cedar_headless: " + why;
        return answer;
    }
    const auto deadline = Clock::now() + timeout_;
    for (std::string l; process_.readLine(l, deadline) == LineProcess::Read::Line;) {
        if (l == "ok" || l.rfind("ok ", 0) == 0) {
            answer.ok = true;
            if (l.size() > 3) answer.value = l.substr(3);
            return answer;
        }
        if (l.rfind("error: ", 0) == 0) {
            answer.error = l.substr(7);
            return answer;
        }
        answer.lines.push_back(l);
    }
    answer.error =
        "no answer to \"" + line + "\" within " + std::to_string(timeout_.count()) + " ms";
    return answer;
}

int HeadlessProcess::finish() {
    process_.closeInput();  // end of input: the program ends its session
    return process_.end(Clock::now() + timeout_);
}

int HeadlessProcess::stop() {
    if (process_.running()) {
        std::string ignored;
        process_.writeLine("quit", ignored);
    }
    return finish();
}

}  // namespace cedar::test
