#include "session/command_line_effects.h"

#include <gtest/gtest.h>

#include "sessionfile/standard_session.h"

namespace cedar {
namespace {

using sessionfile::Field;

TEST(CommandLineEffects, ANewHostIsAddedWithItsOptions) {
    auto session = sessionfile::standardSessionOptions();
    sessionfile::HostList hosts;
    const auto line = parseCommandText("/Hzos.example /P992 /LLU07 /N4 /V4").options;
    const auto fx = applyConnectionOptions(line, session, hosts);
    EXPECT_TRUE(fx.givenOnCommandLine);
    EXPECT_TRUE(fx.saveHostList);
    EXPECT_TRUE(fx.saveSession);
    EXPECT_TRUE(fx.messages.empty());
    const auto* e = hosts.find("zos.example");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->port, 992);
    EXPECT_EQ(e->luName, "LU07");
    EXPECT_EQ(e->securityLevel, 4);
    EXPECT_TRUE(e->tn3270e);
    EXPECT_TRUE(e->validateHostCert) << "a new entry checks certificates";
    EXPECT_TRUE(e->domainMustMatchHost);
    EXPECT_EQ(session.text(Field::HostName), "zos.example");
    EXPECT_EQ(session.number(Field::Port), 992);
    EXPECT_EQ(session.number(Field::TerminalModel), 2);
    ASSERT_TRUE(fx.security.has_value());
    EXPECT_TRUE(fx.security->validateHostCert);
}

TEST(CommandLineEffects, AKnownHostSuppliesItsChoices) {
    auto session = sessionfile::standardSessionOptions();
    auto hosts = sessionfile::HostList::parse(
        "[Cedar]\r\nHostnames=prod\r\nIPnames=10.1.1.1\r\nPortnums=2023\r\nTN3270E=0\r\n"
        "SSL=0\r\nLunames=PRODLU\r\nValidate_Host_Cert=0\r\nDomain_Must_Match_Host=0\r\n");
    const auto fx =
        applyConnectionOptions(parseCommandText("TN3270://prod/").options, session, hosts);
    EXPECT_TRUE(fx.saveHostList);
    EXPECT_EQ(session.text(Field::HostName), "prod");
    EXPECT_EQ(session.number(Field::Port), 2023);
    EXPECT_EQ(session.text(Field::LuName), "PRODLU");
    EXPECT_EQ(hosts.size(), 1u) << "no second entry";
    ASSERT_TRUE(fx.security.has_value());
    EXPECT_FALSE(fx.security->validateHostCert) << "an existing entry keeps what it says";
}

TEST(CommandLineEffects, OptionsWithoutAHost) {
    auto session = sessionfile::standardSessionOptions();
    sessionfile::HostList hosts;
    const auto model = session.number(Field::TerminalModel);
    auto fx = applyConnectionOptions(parseCommandText("/N 6").options, session, hosts);
    EXPECT_EQ(session.number(Field::TerminalModel), model) << "/N 6 leaves the model";
    EXPECT_FALSE(fx.saveHostList);
    fx = applyConnectionOptions(parseCommandText("/V 9").options, session, hosts);
    EXPECT_EQ(session.number(Field::SecurityLevel), 0) << "levels above 5 mean 0";
    fx = applyConnectionOptions(parseCommandText("mysession").options, session, hosts);
    EXPECT_FALSE(fx.givenOnCommandLine);
    EXPECT_FALSE(fx.saveSession);
}

}  // namespace
}  // namespace cedar
