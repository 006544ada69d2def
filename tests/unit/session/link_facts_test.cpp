#include "session/link_facts.h"

#include <gtest/gtest.h>

#include "fake_connector.h"
#include "manual_scheduler.h"
#include "record_builder.h"

namespace cedar {
namespace {

class Identity : public SessionIdentity {
  public:
    int index() const override { return 1; }
};

TEST(LinkFacts, ConnectionVariablesFollowTheLink) {
    test::TestSession t;
    test::FakeConnector connector;
    test::ManualScheduler scheduler;
    LinkUi ui;
    HostLink link(t.session, connector, scheduler, ui);
    LinkFacts facts(link);
    sessionfile::SessionOptions options;
    Identity identity;
    SystemVariables variables(t.session, options, identity, facts);
    const auto text = [&](SystemVariable id) { return variables.systemValue(id).text.str(); };

    EXPECT_EQ(text(SystemVariable::HostAddr), "");
    EXPECT_EQ(text(SystemVariable::IpVersion), "");
    ConnectionOptions connect;
    connect.host = "host";
    link.connect(connect, {});
    connector.up();
    EXPECT_EQ(text(SystemVariable::HostAddr), "127.0.0.1");
    EXPECT_EQ(text(SystemVariable::IpVersion), "IPv4");
    EXPECT_EQ(text(SystemVariable::TnMode), "TN3270");
    EXPECT_EQ(text(SystemVariable::Ssl), "");
    connector.hostCloses();
    EXPECT_EQ(text(SystemVariable::HostAddr), "");

    facts.shift = 3;
    facts.scanCode = 0xE0;
    EXPECT_EQ(variables.systemValue(SystemVariable::ShiftKey), MacroValue::ofNumber(3));
    EXPECT_EQ(text(SystemVariable::KeyScanCode), "E0");
    EXPECT_EQ(text(SystemVariable::WindowIdList), "B");
}

}  // namespace
}  // namespace cedar
