// The host name check and the handshake failure texts of the TLS client,
// without a network: certificates made with the openssl command and loaded
// from PEM.
#include "platform/tls_client.h"

#include <gtest/gtest.h>
#include <openssl/pem.h>

#include <cstdio>

#include "oracles.h"
#include "test_servers.h"

namespace cedar::test {
namespace {

platform::X509Ptr loadCertificate(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) return nullptr;
    platform::X509Ptr cert(PEM_read_X509(file, nullptr, nullptr, nullptr));
    std::fclose(file);
    return cert;
}

TEST(TlsHostNameCheck, FollowsRfc6125) {
    CEDAR_REQUIRE_ORACLE(haveOpensslCommand(), "the openssl command");
    ASSERT_TRUE(certificates().ok);
    struct Host {
        const char* host;
        bool matches;
    };
    struct Case {
        const char* file;
        const char* subject;
        const char* altNames;
        const char* certName;  // what the mismatch message names
        std::vector<Host> hosts;
    };
    const Case cases[] = {
        {"wildcard",
         "/CN=ignored.example.com",
         "DNS:*.example.com",
         "*.example.com",
         {{"www.example.com", true},
          {"WWW.Example.COM", true},
          {"a.b.example.com", false},  // one label only
          {"example.com", false},
          {"ignored.example.com", true}}},
        {"alt-name-before-cn",
         "/CN=other.example.com",
         "DNS:host.example.com",
         "host.example.com",
         {{"host.example.com", true}, {"HOST.EXAMPLE.COM", true}, {"other.example.com", false}}},
        {"cn-only",
         "/O=Cedar/CN=mainframe.example.com",
         "",
         "mainframe.example.com",
         {{"MainFrame.Example.Com", true},
          {"mainframe.example", false},         // shorter
          {"mainframe.example.com.au", false},  // longer
          {"xmainframe.example.com", false}}},
        {"partial-wildcard",
         "/CN=partial",
         "DNS:w*.example.com",
         "w*.example.com",
         {{"www.example.com", false}}},
        {"addresses",
         "/CN=10.1.2.3",
         "IP:10.1.2.3,IP:::1",
         "10.1.2.3",
         {{"10.1.2.3", true},
          {"10.1.2.4", false},
          {"::1", true},
          {"0:0:0:0:0:0:0:1", true},
          {"::2", false}}},
        // An address is never taken from the CN.
        {"address-in-cn", "/CN=10.9.8.7", "", "10.9.8.7", {{"10.9.8.7", false}}},
        {"nameless", "/O=Cedar Nameless", "", "unknown", {{"localhost", false}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = makeSelfSigned(c.file, c.subject, c.altNames);
        ASSERT_FALSE(path.empty());
        platform::X509Ptr cert = loadCertificate(path);
        ASSERT_TRUE(cert);
        EXPECT_EQ(platform::certificateName(cert.get()), c.certName);
        for (const Host& h : c.hosts)
            EXPECT_EQ(platform::certificateMatchesHost(cert.get(), h.host), h.matches) << h.host;
    }
    EXPECT_FALSE(platform::certificateMatchesHost(nullptr, "localhost"));
    EXPECT_EQ(platform::certificateName(nullptr), "unknown");
}

TEST(TlsHandshakeFailure, MessageDependsOnTheErrorKindAndTheClientCertificate) {
    const std::string protocol =
        "Encryption Error - Please make sure the host supports the specified encryption "
        "protocol.  Note: This version of Cedar only supports TLS encryption methods.";
    const std::string clientCert =
        "Encryption Error - Client certificate may be invalid for this host mainframe";
    struct Case {
        int kind;
        bool withClientCertificate;
        std::string expected;
    };
    const Case cases[] = {
        {SSL_ERROR_SSL, false, protocol},
        {SSL_ERROR_SSL, true, clientCert},
        {SSL_ERROR_SYSCALL, false, protocol},
        {SSL_ERROR_SYSCALL, true, clientCert},
        {SSL_ERROR_ZERO_RETURN, false, protocol},
        {SSL_ERROR_WANT_X509_LOOKUP, false, "Error code 4 returned from OpenSSL connect routine"},
        {SSL_ERROR_WANT_X509_LOOKUP, true, "Error code 4 returned from OpenSSL connect routine"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::handshakeFailureMessage(c.kind, c.withClientCertificate), c.expected)
            << "kind " << c.kind << (c.withClientCertificate ? " with" : " without")
            << " client certificate";
}

}  // namespace
}  // namespace cedar::test
