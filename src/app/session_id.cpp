// The session's id among the running sessions of the user, and the requests
// other processes (other sessions, cedarmac) post to it.
#include <QSocketNotifier>
#include <cstdio>

#include "app/main_window.h"
#include "app/message_boxes.h"

namespace cedar::app {

bool MainWindow::claimSessionId() {
    AppCore& c = *core_;
    std::string error;
    auto shared = platform::SharedArea::open(error);
    if (!shared) {
        askNow(this, "Cedar TN3270 Error", error);
        return false;
    }
    c.requests = platform::RequestSocket::open(shared->folder(), error);
    if (!c.requests) {
        askNow(this, "Cedar TN3270 Error", error);
        return false;
    }
    c.titles = platform::SharedWindowTitles::open(shared->folder(), error);
    if (!c.titles) {
        askNow(this, "Cedar TN3270 Error", error);
        return false;
    }
    c.identity = std::make_unique<platform::SharedSessionIdentity>(std::move(shared));
    const std::string wanted = c.line.value(Opt::Id);
    const auto claim = c.identity->claim(wanted.size() == 1 ? wanted[0] : 0, c.sessionFile);
    if (claim.index == area::kNoIndex) {
        char text[96];
        std::snprintf(text, sizeof text,
                      "There are %d sessions already active,\nwhich is the maximum number.",
                      area::kSlotCount);
        askNow(this, "Cedar TN3270 Error", text);
        return false;
    }
    c.sameFileCount = claim.sameFileCount;
    publishWindowState();
    // Requests are read on the event loop, never waited for.
    auto* notifier = new QSocketNotifier(c.requests->fd(), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] { readSessionRequests(); });
    return true;
}

void MainWindow::readSessionRequests() {
    AppCore& c = *core_;
    while (auto r = c.requests->receive()) {
        if (windowRequest(r->code, r->parameter)) continue;
        if (!c.driver) continue;
        // A macro request carries its text; it stands in for the slot's
        // request field, which a later request may already have overwritten.
        const bool macro = r->code == request::kRunMacroFile || r->code == request::kRunMacroText;
        if (macro) c.identity->setRequestText(r->text);
        c.driver->sessionRequest(r->code, static_cast<std::uintptr_t>(r->parameter));
        c.identity->setRequestText(std::nullopt);
    }
}

}  // namespace cedar::app
