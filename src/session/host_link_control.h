// HostLink as the session driver's LinkControl: starts and ends HostLink's
// connections from the session record, and turns what HostLink tells its
// LinkUi into the driver's LinkEvents, passing the display's share on to
// another LinkUi.
//
// What HostLink does not report by itself is worked out here:
//  - the first block of a connection: HostLink refreshes the status after
//    every block it receives, and that is the only status refresh it makes
//    while a connection is open;
//  - REJECTED at the host's close: HostLink sets NOTCONNECTED before it
//    reports the close, so the status last seen while the connection was
//    open is put back when it was REJECTED;
//  - which failure a message is: by the titles HostLink gives them
//    ("... Connection Error 2" a connect failure, "... Connection Error 6" a
//    TLS failure, anything else a message only).
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
    // HostLink starts every connection in line mode and keeps the mode to
    // itself; nothing to do between connections.
    void leaveLineMode() override {}
    void secondTick(bool connected) override { link_.sender().secondTick(connected); }

  private:
    // LinkUi
    void showError(const std::string& title, const std::string& text) override;
    void statusChanged() override;
    void screenChanged() override;
    void hostClosed() override;
    void connected(const ConnectionInfo& info) override;

    Session& session_;
    Planner planner_;
    LinkUi* display_;
    LinkEvents* events_ = nullptr;
    bool firstBlockSeen_ = false;
    bool secure_ = false;
    SessionStatus statusWhileOpen_ = SessionStatus::NotConnected;
    HostLink link_;  // last: it reports to this object
};

}  // namespace cedar
