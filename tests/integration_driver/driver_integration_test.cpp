// The session driver end to end: the real HostLink, TcpConnector and an
// EventLoop against the loopback test host, with a relay in front of it
// where the test ends connections itself.
#include <gtest/gtest.h>

#include <thread>

#include "cutting_proxy.h"
#include "driver_harness.h"
#include "replay_host.h"

namespace cedar {
namespace {

using namespace std::chrono_literals;
using test::CuttingProxy;
using test::DriverHarness;
using test::ReplayHost;
using test::SessionSetup;

constexpr auto kWait = 15s;
const std::string kTitle(test::kLoopbackTitle);

bool onFirstScreen(DriverHarness& h) {
    return h.row(0) == " " + kTitle && h.status() == SessionStatus::Unlocked;
}

std::string describe(DriverHarness& h) {
    std::string out =
        "status " + std::to_string(static_cast<int>(h.status())) + ", row 0 \"" + h.row(0) + "\"";
    for (const auto& m : h.ui.messages)
        out += "; message [" + m.title + "] " + m.text;
    return out;
}

TEST(DriverEndToEnd, ConnectsShowsTheFirstScreenAndRefreshesTheBackup) {
    ReplayHost host({.records = {test::loopbackFirstScreen()}});
    ASSERT_TRUE(host.start());
    DriverHarness h({.port = host.port()});
    const auto standard = h.files.files["loop.ses"];
    h.files.files["standard.ses"] = standard;
    EXPECT_EQ(h.driver->connect(ConnectMode::User), 1);
    ASSERT_TRUE(h.run([&] { return onFirstScreen(h); }, kWait)) << describe(h);
    // One second after the first record.
    ASSERT_TRUE(h.run([&] { return h.files.files.count("standard.ses.backup") == 1; }, kWait));
    EXPECT_EQ(h.files.files["standard.ses.backup"], standard);
    EXPECT_TRUE(h.ui.messages.empty()) << describe(h);
}

TEST(DriverEndToEnd, AHostCloseWithAutoReconnectComesBackToTheFirstScreen) {
    ReplayHost host({.records = {test::loopbackFirstScreen()}});
    ASSERT_TRUE(host.start());
    CuttingProxy proxy(host.port());
    ASSERT_TRUE(proxy.start());
    DriverHarness h({.port = proxy.port(), .autoReconnect = true});
    h.driver->connect(ConnectMode::User);
    ASSERT_TRUE(h.run([&] { return onFirstScreen(h); }, kWait)) << describe(h);
    proxy.cutCurrent();
    ASSERT_TRUE(h.run([&] { return h.status() == SessionStatus::NotConnected; }, kWait));
    EXPECT_TRUE(h.run([&] { return proxy.connections() == 2 && onFirstScreen(h); }, kWait))
        << describe(h);
    EXPECT_EQ(h.driver->mode(), ConnectMode::AutoReconnect);
    EXPECT_TRUE(h.ui.messages.empty()) << describe(h);
}

TEST(DriverEndToEnd, CloseOnDisconnectEndsTheSessionAfterTheHostCloses) {
    ReplayHost host(
        {.records = {test::loopbackFirstScreen()}, .close = {ReplayHost::CloseAt::AfterSync}});
    ASSERT_TRUE(host.start());
    DriverHarness h({.port = host.port(), .sessionIndex = 20, .closeOnDisconnect = 1});
    h.driver->connect(ConnectMode::User);
    ASSERT_TRUE(h.run([&] { return !h.ui.quits.empty(); }, kWait)) << describe(h);
    EXPECT_EQ(h.ui.quits, (std::vector<int>{0}));
    EXPECT_EQ(h.ui.closeRequests, 1);
    EXPECT_EQ(h.identity.releases, 1);
    EXPECT_EQ(host.connections(), 1);
}

TEST(DriverEndToEnd, RejectedStaysAfterTheHostClosesAndNothingReconnects) {
    ReplayHost::Script script;
    script.negotiation = ReplayHost::Negotiation::Tn3270e;
    script.tn3270e.rejectReason = 0x04;
    script.close = {ReplayHost::CloseAt::AfterSync};
    ReplayHost host(script);
    ASSERT_TRUE(host.start());
    DriverHarness h({.port = host.port(), .tn3270e = true, .autoReconnect = true});
    h.driver->connect(ConnectMode::User);
    ASSERT_TRUE(h.run([&] { return host.clientGone() && !h.control.isOpen(); }, kWait))
        << describe(h);
    // Longer than the staggered delay: no reconnect follows.
    h.run([] { return false; }, 300ms);
    EXPECT_EQ(h.status(), SessionStatus::Rejected);
    EXPECT_EQ(host.connections(), 1);
}

TEST(DriverEndToEnd, ConnectionRefusedOffersRetryThroughTheSessionDialog) {
    int port = 0;
    {
        ReplayHost gone(ReplayHost::Script{});
        ASSERT_TRUE(gone.start());
        port = gone.port();
    }
    DriverHarness h({.port = port});
    h.driver->connect(ConnectMode::User);
    ASSERT_TRUE(h.run([&] { return !h.ui.messages.empty(); }, kWait)) << describe(h);
    EXPECT_EQ(h.ui.messages[0].title, "Cedar TN3270 Connection Error 2");
    EXPECT_EQ(h.ui.messages[0].buttons, MessageButtons::RetryCancel);
    EXPECT_FALSE(h.ui.messages[0].text.empty());
    EXPECT_EQ(h.status(), SessionStatus::NotConnected);
    h.driver->answer(MessageAnswer::Retry);
    EXPECT_EQ(h.ui.dialogs, 1);
    EXPECT_EQ(h.driver->sessionFileName(), "");
}

}  // namespace
}  // namespace cedar
