// The X display a window test runs on (xvfb-run gives it DISPLAY) with a
// light window manager, so that activating, resizing and closing windows
// behave as on a desktop, and the X tools (xdotool, wmctrl) that act on it
// as a user would. Every wait is bounded.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace cedar::test {

struct WindowGeometry {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

class XDesktop {
  public:
    XDesktop() = default;
    ~XDesktop();
    XDesktop(const XDesktop&) = delete;
    XDesktop& operator=(const XDesktop&) = delete;

    // Whether DISPLAY is set and openbox, xdotool and wmctrl are installed.
    static bool available();
    // Starts openbox and waits until it manages the display; false with `error`.
    bool start(std::string& error);
    // One window manager for the whole test program (an X display has one),
    // started by the first call; false with `error` when it could not start.
    static bool startShared(std::string& error);

    // Runs an X tool to its end (at most `limit`) and returns its standard
    // output; nothing when it failed. `pump` runs meanwhile (a test that
    // hosts the window in its own process keeps its event loop going).
    static std::optional<std::string> run(
        const std::vector<std::string>& argv,
        std::chrono::milliseconds limit = std::chrono::seconds(10),
        const std::function<void()>& pump = {});
    // The id of a visible window whose title contains `title`.
    static std::optional<std::string> findWindow(const std::string& title,
                                                 std::chrono::milliseconds limit,
                                                 const std::function<void()>& pump = {});
    static std::optional<WindowGeometry> geometry(const std::string& window,
                                                  const std::function<void()>& pump = {});
    // The window has the input focus (activated through the window manager).
    static bool activate(const std::string& window, const std::function<void()>& pump = {});

  private:
    pid_t manager_ = -1;
};

}  // namespace cedar::test
