#include "session/host_link_control.h"

#include <string_view>
#include <utility>

namespace cedar {

namespace {

bool endsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

}  // namespace

HostLinkControl::HostLinkControl(Session& session, Connector& connector, Scheduler& scheduler,
                                 Planner planner, LinkUi* display)
    : session_(session),
      planner_(std::move(planner)),
      display_(display),
      link_(session, connector, scheduler, *this) {}

HostLinkControl::~HostLinkControl() {
    events_ = nullptr;
    link_.disconnect();
}

void HostLinkControl::start(const sessionfile::SessionOptions& record) {
    const ConnectionPlan plan = planner_(record);
    firstBlockSeen_ = false;
    secure_ = false;
    statusWhileOpen_ = SessionStatus::Connecting;
    link_.connect(plan.connection, plan.telnet);
}

void HostLinkControl::close() {
    link_.disconnect();
    secure_ = false;
}

void HostLinkControl::showError(const std::string& title, const std::string& text) {
    if (events_ == nullptr) return;
    if (endsWith(title, "Connection Error 2")) {
        events_->connectionError(text);
    } else if (endsWith(title, "Connection Error 6")) {
        events_->connectionFailed(title, text);
    } else {
        events_->linkMessage(title, text);
    }
}

void HostLinkControl::statusChanged() {
    if (link_.connected()) {
        statusWhileOpen_ = session_.status;
        if (!firstBlockSeen_) {
            firstBlockSeen_ = true;
            if (events_ != nullptr) events_->firstRecordArrived();
        }
    }
    if (display_ != nullptr) display_->statusChanged();
}

void HostLinkControl::screenChanged() {
    if (display_ != nullptr) display_->screenChanged();
}

void HostLinkControl::hostClosed() {
    secure_ = false;
    if (statusWhileOpen_ == SessionStatus::Rejected) session_.status = SessionStatus::Rejected;
    statusWhileOpen_ = SessionStatus::NotConnected;
    if (events_ != nullptr) events_->hostClosed();
}

void HostLinkControl::connected(const ConnectionInfo& info) {
    secure_ = info.tls;
    if (display_ != nullptr) display_->connected(info);
}

}  // namespace cedar
