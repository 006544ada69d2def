#include "x_desktop.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "child_process.h"

namespace cedar::test {

namespace {

using Clock = std::chrono::steady_clock;

bool onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (::access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    return false;
}

std::string tempOutput() {
    char name[] = "/tmp/cedar-xtool-XXXXXX";
    const int fd = ::mkstemp(name);
    if (fd >= 0) ::close(fd);
    return name;
}

}  // namespace

XDesktop::~XDesktop() {
    if (manager_ > 0) stopProcess(manager_, std::chrono::milliseconds(2000));
}

bool XDesktop::available() {
    const char* display = std::getenv("DISPLAY");
    return display != nullptr && *display != '\0' && onPath("openbox") && onPath("xdotool") &&
           onPath("wmctrl");
}

bool XDesktop::start(std::string& error) {
    manager_ = spawnProcess({"openbox", "--sm-disable"});
    if (manager_ < 0) {
        error = "openbox could not be started";
        return false;
    }
    // wmctrl -m names the window manager once one runs.
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < deadline) {
        const auto out = run({"wmctrl", "-m"}, std::chrono::seconds(2));
        if (out && out->find("Openbox") != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    error = "openbox did not take over the display";
    return false;
}

bool XDesktop::startShared(std::string& error) {
    static XDesktop desktop;
    static std::string startError;
    static const bool started = desktop.start(startError);
    error = startError;
    return started;
}

std::optional<std::string> XDesktop::run(const std::vector<std::string>& argv,
                                         std::chrono::milliseconds limit,
                                         const std::function<void()>& pump) {
    const std::string out = tempOutput();
    SpawnOptions options;
    options.outputPath = out;
    const pid_t pid = spawnProcess(argv, options);
    if (pid < 0) {
        std::remove(out.c_str());
        return std::nullopt;
    }
    int status = -1;
    const auto deadline = Clock::now() + limit;
    bool ended = false;
    while (Clock::now() < deadline) {
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            ended = true;
            break;
        }
        if (pump) pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!ended) stopProcess(pid, std::chrono::milliseconds(500));
    std::ifstream in(out);
    std::stringstream text;
    text << in.rdbuf();
    std::remove(out.c_str());
    if (!ended || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return text.str();
}

std::optional<std::string> XDesktop::findWindow(const std::string& title,
                                                std::chrono::milliseconds limit,
                                                const std::function<void()>& pump) {
    const auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
        const auto out = run({"xdotool", "search", "--onlyvisible", "--name", title},
                             std::chrono::seconds(5), pump);
        if (out && !out->empty()) return out->substr(0, out->find('\n'));
        if (pump) pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return std::nullopt;
}

std::optional<WindowGeometry> XDesktop::geometry(const std::string& window,
                                                 const std::function<void()>& pump) {
    const auto out =
        run({"xdotool", "getwindowgeometry", "--shell", window}, std::chrono::seconds(5), pump);
    if (!out) return std::nullopt;
    WindowGeometry g;
    std::stringstream lines(*out);
    for (std::string line; std::getline(lines, line);) {
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = line.substr(0, eq);
        const int value = std::atoi(line.c_str() + eq + 1);
        if (key == "X") g.x = value;
        if (key == "Y") g.y = value;
        if (key == "WIDTH") g.width = value;
        if (key == "HEIGHT") g.height = value;
    }
    return g;
}

bool XDesktop::activate(const std::string& window, const std::function<void()>& pump) {
    if (!run({"xdotool", "windowactivate", "--sync", window}, std::chrono::seconds(5), pump))
        return false;
    const auto focused = run({"xdotool", "getactivewindow"}, std::chrono::seconds(5), pump);
    return focused && focused->substr(0, focused->find('\n')) == window;
}

}  // namespace cedar::test
