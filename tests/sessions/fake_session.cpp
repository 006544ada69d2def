// A light stand-in for a running session: claims an id in the common area
// (argument 1: the requested id character or "-", argument 2: the session
// file name), prints "claimed X" (or "no id"), then prints every request it
// receives as "request <code> <parameter> <text>" until it is ended by
// REQ_SHUTDOWN, a signal, or its standard input closing. Like a real
// session it publishes its window title ("fake X") in the title block, and
// marks its "window" minimized or not as the window requests ask.
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/common_area_posix.h"
#include "platform/window_titles_posix.h"

using namespace cedar;

int main(int argc, char** argv) {
    const char requested = argc > 1 && argv[1][0] != '-' ? argv[1][0] : 0;
    const std::string file = argc > 2 ? argv[2] : "fake.ses";
    std::string error;
    auto area = platform::SharedArea::open(error);
    if (!area) {
        std::printf("error %s\n", error.c_str());
        return 2;
    }
    auto socket = platform::RequestSocket::open(area->folder(), error);
    if (!socket) {
        std::printf("error %s\n", error.c_str());
        return 2;
    }
    auto titles = platform::SharedWindowTitles::open(area->folder(), error);
    if (!titles) {
        std::printf("error %s\n", error.c_str());
        return 2;
    }
    platform::SharedSessionIdentity identity(std::move(area));
    const auto claim = identity.claim(requested, file);
    if (claim.index == area::kNoIndex) {
        std::printf("no id\n");
        std::fflush(stdout);
        return 1;
    }
    const std::string title = std::string("fake ") + area::idOfIndex(claim.index);
    titles->publish(claim.index, title, false);
    std::printf("claimed %c %d\n", area::idOfIndex(claim.index), claim.sameFileCount);
    std::fflush(stdout);
    for (;;) {
        pollfd p[2] = {{socket->fd(), POLLIN, 0}, {0, POLLIN, 0}};
        if (::poll(p, 2, -1) < 0) continue;
        if (p[1].revents != 0) {
            char c;
            if (::read(0, &c, 1) <= 0) break;
        }
        while (auto r = socket->receive()) {
            // Published before the request is reported, so that a reader
            // who saw the report finds the new state.
            if (r->code == request::kMinimizeWindow || r->code == request::kRestoreWindow ||
                r->code == request::kActivateWindow)
                titles->publish(claim.index, title, r->code == request::kMinimizeWindow);
            std::printf("request %x %llu %s\n", static_cast<unsigned>(r->code),
                        static_cast<unsigned long long>(r->parameter), r->text.c_str());
            std::fflush(stdout);
            if (r->code == request::kShutdown) return 0;
        }
    }
    return 0;
}
