// The TLS information dialog's fields from a live TLS connection to
// `openssl s_server` on loopback, serving a certificate with a full subject.
#include <gtest/gtest.h>

#include <map>

#include "display/tls_info.h"
#include "oracles.h"
#include "platform/tcp_connection.h"
#include "platform/tls_library.h"
#include "test_servers.h"

namespace cedar::test {
namespace {

TEST(TlsInformation, FieldsOfALiveConnection) {
    CEDAR_REQUIRE_ORACLE(haveOpensslCommand(), "the openssl command");
    ASSERT_TRUE(certificates().ok);
    const std::string cert = makeSelfSigned(
        "status_subject", "/C=US/ST=Oregon/L=Springfield/O=Cedar Tests/OU=Status Line/CN=localhost",
        "DNS:localhost,IP:127.0.0.1");
    ASSERT_FALSE(cert.empty());
    OpensslServer server({"-cert", cert, "-key", certificates().leafKey});
    ASSERT_TRUE(server.ok()) << server.output();

    ConnectionOptions options;
    options.host = "127.0.0.1";
    options.port = server.port();
    options.encryption = Encryption::Highest;
    options.validateHostCertificate = false;
    CountingLoop loop;
    RecordingEvents events;
    TcpConnector connector;
    auto connection = connector.connect(options, events, loop);
    ASSERT_TRUE(loop.runUntil([&] { return events.settled(); }, kWait));
    ASSERT_TRUE(events.info.has_value()) << events.failure();

    display::TlsInformation info;
    info.libraryVersion = platform::tlsLibraryVersion();
    info.connection = *events.info;
    info.port = server.port();
    info.security.caCert = "ca.pem";
    std::map<std::string, std::string> shown;
    for (const auto& field : display::tlsInformationFields(info))
        shown[field.label] = field.value;

    EXPECT_EQ(shown["OpenSSL Version:"].rfind("OpenSSL 3", 0), 0u) << shown["OpenSSL Version:"];
    EXPECT_EQ(shown["Protocol:"], "TLSv1.3");
    EXPECT_NE(shown["Encryption:"].find(" bits"), std::string::npos);
    EXPECT_EQ(shown["Issued By:"], "Cedar Tests");  // self-signed: the issuer is the subject
    EXPECT_EQ(shown["Organization:"], "Cedar Tests");
    EXPECT_EQ(shown["Department:"], "Status Line");
    EXPECT_EQ(shown["Country:"], "US");
    EXPECT_EQ(shown["State/Province:"], "Oregon");
    EXPECT_EQ(shown["City:"], "Springfield");
    EXPECT_EQ(shown["Domain:"], "localhost");
    EXPECT_EQ(shown["Distinguished Name:"], "unknown");
    EXPECT_EQ(shown["Host IP Address:"], "127.0.0.1");
    EXPECT_EQ(shown["Port Number:"], std::to_string(server.port()));
    EXPECT_EQ(shown["Validate Host Certificate:"], "No");
    connection.reset();
}

}  // namespace
}  // namespace cedar::test
