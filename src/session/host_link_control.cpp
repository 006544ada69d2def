#include "session/host_link_control.h"

#include <utility>

namespace cedar {

HostLinkControl::HostLinkControl(Session& session, Connector& connector, Scheduler& scheduler,
                                 Planner planner, LinkUi* display)
    : planner_(std::move(planner)),
      display_(display),
      link_(session, connector, scheduler, *this) {}

HostLinkControl::~HostLinkControl() {
    events_ = nullptr;
    link_.disconnect();
}

void HostLinkControl::start(const sessionfile::SessionOptions& record) {
    const ConnectionPlan plan = planner_(record);
    secure_ = false;
    link_.connect(plan.connection, plan.telnet);
}

void HostLinkControl::close() {
    link_.disconnect();
    secure_ = false;
    link_.transfer().connectionEnded();
}

void HostLinkControl::showError(const std::string& title, const std::string& text) {
    if (events_ != nullptr) events_->linkMessage(title, text);
}

void HostLinkControl::connectFailed(const std::string& text) {
    secure_ = false;
    if (events_ != nullptr) events_->connectionError(text);
}

void HostLinkControl::tlsFailed(const std::string& text) {
    secure_ = false;
    if (events_ != nullptr) events_->connectionFailed(title::kTlsError, text);
}

void HostLinkControl::certificateFailed(const std::string& text,
                                        const CertificateDetails& details) {
    secure_ = false;
    if (events_ != nullptr) events_->certificateFailed(text, details);
}

void HostLinkControl::sendFailed(int, const std::string& text) {
    // HostLink reports the end of the connection next.
    if (!text.empty() && events_ != nullptr) events_->linkMessage(title::kSendError, text);
}

void HostLinkControl::firstRecord() {
    if (events_ != nullptr) events_->firstRecordArrived();
}

void HostLinkControl::statusChanged() {
    if (display_ != nullptr) display_->statusChanged();
}

void HostLinkControl::screenChanged() {
    if (display_ != nullptr) display_->screenChanged();
}

void HostLinkControl::hostClosed() {
    secure_ = false;
    link_.transfer().connectionEnded();
    if (events_ != nullptr) events_->hostClosed();
}

void HostLinkControl::connected(const ConnectionInfo& info) {
    secure_ = info.tls;
    if (display_ != nullptr) display_->connected(info);
}

}  // namespace cedar
