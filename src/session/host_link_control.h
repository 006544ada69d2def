// HostLink as the session driver's LinkControl: starts and ends HostLink's
// connections from the session record, and turns what HostLink tells its
// LinkUi into the driver's LinkEvents, passing the display's share
// (statusChanged, screenChanged, connected) on to another LinkUi.
#pragma once

#include <functional>

#include "host/connection.h"
#include "host/scheduler.h"
#include "session/connection_plan.h"
#include "session/driver_interfaces.h"
#include "session/host_link.h"
#include "session/session.h"

namespace cedar {

class HostLinkControl : public LinkControl, private LinkUi {
  public:
    // What to connect to for a session record (planFromSession with the host
    // list, the settings and the certificate folder, in the program). It may
    // also settle the screen model the record asks for.
    using Planner = std::function<ConnectionPlan(const sessionfile::SessionOptions&)>;

    // `display` gets statusChanged, screenChanged and connected (may be nullptr).
    HostLinkControl(Session& session, Connector& connector, Scheduler& scheduler, Planner planner,
                    LinkUi* display = nullptr);
    ~HostLinkControl() override;

    HostLink& link() { return link_; }

    // LinkControl
    void setEvents(LinkEvents* events) override { events_ = events; }
    void start(const sessionfile::SessionOptions& record) override;
    void close() override;
    bool isOpen() const override { return link_.connected(); }
    bool secure() const override { return secure_; }
    void clearSecure() override { secure_ = false; }
    void leaveLineMode() override { link_.leaveLineMode(); }
    void secondTick(bool connected) override { link_.sender().secondTick(connected); }

  private:
    // LinkUi
    void showError(const std::string& title, const std::string& text) override;
    void connectFailed(const std::string& text) override;
    void tlsFailed(const std::string& text) override;
    void certificateFailed(const std::string& text, const CertificateDetails& details) override;
    void sendFailed(int error, const std::string& text) override;
    void firstRecord() override;
    void statusChanged() override;
    void screenChanged() override;
    void hostClosed() override;
    void connected(const ConnectionInfo& info) override;

    Planner planner_;
    LinkUi* display_;
    LinkEvents* events_ = nullptr;
    bool secure_ = false;
    HostLink link_;  // last: it reports to this object
};

}  // namespace cedar
