#include "session/connection_plan.h"

#include <gtest/gtest.h>

#include "sessionfile/standard_session.h"

namespace cedar {
namespace {

using sessionfile::Field;

const char* const kIni =
    "[Cedar]\r\n"
    "Hostnames=prod,test\r\n"
    "IPnames=zos.example.com,10.0.0.9\r\n"
    "Portnums=992,23\r\n"
    "TN3270E=1,0\r\n"
    "Lunames=LU01,\r\n"
    "SSL=5,0\r\n"  // code 5 is TLS 1.2
    "CA_Certs=corp-ca,\r\n"
    "Client_Certs=,\r\n"
    "Client_Keys=,\r\n"
    "Validate_Host_Cert=1,0\r\n"
    "Domain_Must_Match_Host=1,0\r\n";

TEST(ConnectionPlan, FromAHostListName) {
    const auto hosts = sessionfile::HostList::parse(kIni);
    const auto plan = planFromHost("prod", hosts, readSettings(kIni), "/home/u/certs");
    EXPECT_TRUE(plan.hostListEntry);
    EXPECT_EQ(plan.connection.host, "zos.example.com");
    EXPECT_EQ(plan.connection.port, 992);
    EXPECT_EQ(plan.connection.encryption, Encryption::Tls12);
    EXPECT_EQ(plan.connection.caFile, "/home/u/certs/corp-ca.pem");
    EXPECT_TRUE(plan.connection.validateHostCertificate);
    EXPECT_TRUE(plan.telnet.tn3270eAllowed);
    EXPECT_EQ(plan.telnet.luName, "LU01");
}

TEST(ConnectionPlan, ANewHostStartsWithBothCertificateChecks) {
    const auto plan = planFromHost("unknown.example", {}, readSettings(""), "/c");
    EXPECT_FALSE(plan.hostListEntry);
    EXPECT_EQ(plan.connection.host, "unknown.example");
    EXPECT_EQ(plan.connection.port, 23);
    EXPECT_TRUE(plan.connection.validateHostCertificate);
    EXPECT_TRUE(plan.connection.hostNameMustMatch);
}

TEST(ConnectionPlan, FromASessionFileWithItsHostListEntry) {
    auto session = sessionfile::standardSessionOptions();
    ASSERT_TRUE(session.setText(Field::HostName, "prod"));
    ASSERT_TRUE(session.setNumber(Field::Port, 23));
    ASSERT_TRUE(session.setNumber(Field::TerminalModel, 2));
    const auto hosts = sessionfile::HostList::parse(kIni);
    const auto plan = planFromSession(session, hosts, readSettings(kIni), "/c");
    EXPECT_TRUE(plan.hostListEntry);
    EXPECT_EQ(plan.connection.port, 992) << "the host list entry supplies the port";
    EXPECT_EQ(plan.connection.caFile, "/c/corp-ca.pem");
    EXPECT_EQ(plan.modelIndex, 2);

    // A session whose host is not listed keeps its own choices.
    ASSERT_TRUE(session.setText(Field::HostName, "elsewhere"));
    ASSERT_TRUE(session.setNumber(Field::Port, 2323));
    const auto own = planFromSession(session, hosts, readSettings(kIni), "/c");
    EXPECT_FALSE(own.hostListEntry);
    EXPECT_EQ(own.connection.port, 2323);
    EXPECT_EQ(own.connection.host, "elsewhere");
}

TEST(SettleModel, TheAlternateSizeIsThePlannedModels) {
    Session session;
    ConnectionPlan plan;
    plan.modelIndex = 3;  // model 5: 27 x 132
    EXPECT_TRUE(settleModel(session, plan));
    session.screen.eraseScreen(SizeMode::Alternate);
    EXPECT_EQ(session.screen.rows(), 27);
    EXPECT_EQ(session.screen.columns(), 132);
    EXPECT_FALSE(settleModel(session, plan)) << "nothing changed";

    plan.modelIndex = 4;  // a user-defined size
    plan.userRows = 40;
    plan.userColumns = 100;
    EXPECT_TRUE(settleModel(session, plan));
    session.screen.eraseScreen(SizeMode::Alternate);
    EXPECT_EQ(session.screen.rows(), 40);
    EXPECT_EQ(session.screen.columns(), 100);
}

}  // namespace
}  // namespace cedar
