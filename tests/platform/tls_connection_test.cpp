// TcpConnector with TLS against `openssl s_server` on loopback, with
// certificates made for the run: certificate checks, protocol versions,
// client certificates, server name indication, data, and failures.
#include <gtest/gtest.h>

#include <algorithm>

#include "oracles.h"
#include "platform/tcp_connection.h"
#include "test_servers.h"

namespace cedar::test {
namespace {

using Log = std::vector<std::string>;

const std::string kVerifyFailed = "Encryption Error, Host certificate failed verification";
const std::string kExpired = "SSL X509 error - certificate has expired";
const std::string kUnknownIssuer = "SSL X509 error - unable to get local issuer certificate";
const std::string kProtocol =
    "Encryption Error - Please make sure the host supports the specified encryption protocol.  "
    "Note: This version of Cedar only supports TLS encryption methods.";
const std::string kClientCertificate =
    "Encryption Error - Client certificate may be invalid for this host mainframe";

std::string mismatch(const std::string& certName, const std::string& host) {
    return "Certificate host name " + certName + " does not match\nconnection host name " + host;
}

std::span<const std::uint8_t> bytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

class TlsConnection : public ::testing::Test {
  protected:
    void SetUp() override {
        CEDAR_REQUIRE_ORACLE(haveOpensslCommand(), "the openssl command");
        ASSERT_TRUE(certificates().ok) << "could not make the test certificates";
    }
    // Every connection's thread has been joined by the end of a test.
    void TearDown() override {
        connection.reset();
        EXPECT_EQ(threadsNamedAfterExit(TcpConnector::kThreadName), 0);
    }

    static const Certificates& certs() { return certificates(); }

    // Server arguments presenting `cert` (with the leaf key) and, unless
    // empty, the intermediate as its chain.
    static std::vector<std::string> serving(const std::string& cert, bool withChain = true) {
        std::vector<std::string> args = {"-cert", cert, "-key", certs().leafKey};
        if (withChain) {
            args.push_back("-cert_chain");
            args.push_back(certs().intermediateCert);
        }
        return args;
    }

    static ConnectionOptions tlsOptions(const std::string& host, std::uint16_t port) {
        ConnectionOptions options;
        options.host = host;
        options.port = port;
        options.encryption = Encryption::Highest;
        options.caFile = certs().caCert;
        return options;
    }

    // Connects and runs the session until the connection is up or failed.
    void connectAndSettle(const ConnectionOptions& options) {
        connection = connector.connect(options, events, loop);
        ASSERT_TRUE(loop.runUntil([&] { return events.settled(); }, kWait));
    }

    // Sends `line` to an `s_server -rev` and expects it back reversed.
    void expectEcho(const std::string& line) {
        const std::size_t before = events.received.size();
        ASSERT_TRUE(connection->send(bytes(line + "\n")).ok);
        ASSERT_TRUE(loop.runUntil(
            [&] { return events.received.size() >= before + line.size() + 1; }, kWait));
        EXPECT_EQ(events.received.substr(before), std::string(line.rbegin(), line.rend()) + "\n");
    }

    // A failed connection: exactly this message, nothing else, no sending.
    void expectTlsFailure(const std::string& message) {
        loop.drain();
        EXPECT_EQ(events.log, Log{"tlsFailed: " + message});
        EXPECT_EQ(connection->send(bytes("x")).error, socket_error::kNotSocket);
    }

    CountingLoop loop;
    RecordingEvents events;
    TcpConnector connector;
    std::unique_ptr<Connection> connection;
};

// --- The certificate matrix -------------------------------------------------

// Validation on accepts only a chain that verifies; the name check uses the
// certificate's subjectAltName and is independent of validation.
TEST_F(TlsConnection, CertificateMatrixAcceptsOrRefusesTheHostCertificate) {
    enum Served { ChainViaCaFile, SelfSigned, Expired, WrongName, UnknownCa, ServedCount };
    struct Case {
        Served served;
        bool validate;
        bool nameCheck;
        std::string expected;  // "" = accepted
        std::string host = "localhost";
    };
    const std::string wrongName = mismatch("wrong.example", "localhost");
    const Case cases[] = {
        {ChainViaCaFile, true, true, ""},
        {ChainViaCaFile, true, false, ""},
        {ChainViaCaFile, false, true, ""},
        {ChainViaCaFile, false, false, ""},
        {ChainViaCaFile, true, true, "", "127.0.0.1"},
        {ChainViaCaFile, true, true, "", "LocalHost"},
        {SelfSigned, true, true, kVerifyFailed},
        {SelfSigned, true, false, kVerifyFailed},
        {SelfSigned, false, true, ""},
        {SelfSigned, false, false, ""},
        {Expired, true, true, kExpired},
        {Expired, true, false, kExpired},
        {Expired, false, true, ""},
        {Expired, false, false, ""},
        {WrongName, true, true, wrongName},
        {WrongName, true, false, ""},
        {WrongName, false, true, wrongName},
        {WrongName, false, false, ""},
        {WrongName, true, true, mismatch("wrong.example", "127.0.0.1"), "127.0.0.1"},
        {UnknownCa, true, true, kUnknownIssuer},
        {UnknownCa, true, false, kUnknownIssuer},
        {UnknownCa, false, true, ""},
        {UnknownCa, false, false, ""},
    };
    const char* const servedNames[] = {"chain via CA file", "self-signed", "expired", "wrong name",
                                       "unknown CA"};

    // One server per certificate, taking the connections of its cases in turn.
    std::unique_ptr<OpensslServer> servers[ServedCount];
    for (int served = 0; served < ServedCount; ++served) {
        std::vector<std::string> args;
        switch (served) {
            case ChainViaCaFile:
                args = serving(certs().leafCert);
                break;
            case SelfSigned:
                args = serving(certs().selfSignedCert, false);
                break;
            case Expired:
                args = serving(certs().expiredCert);
                break;
            case WrongName:
                args = serving(certs().wrongNameCert);
                break;
            default:
                args = serving(certs().rogueLeafCert, false);
                break;
        }
        const auto count = std::count_if(std::begin(cases), std::end(cases),
                                         [&](const Case& c) { return c.served == served; });
        servers[served] = std::make_unique<OpensslServer>(args, static_cast<int>(count));
        ASSERT_TRUE(servers[served]->ok()) << servers[served]->output();
    }

    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(servedNames[c.served]) + ", host " + c.host +
                     (c.validate ? ", validate" : "") + (c.nameCheck ? ", name check" : ""));
        events = RecordingEvents();
        ConnectionOptions options = tlsOptions(c.host, servers[c.served]->port());
        options.validateHostCertificate = c.validate;
        options.hostNameMustMatch = c.nameCheck;
        connectAndSettle(options);
        if (!c.expected.empty()) {
            expectTlsFailure(c.expected);
        } else if (events.log == Log{"up"}) {
            const ConnectionInfo& info = *events.info;
            EXPECT_TRUE(info.tls);
            EXPECT_EQ(info.tlsProtocol, "TLSv1.3");
            EXPECT_FALSE(info.tlsCipher.empty());
            EXPECT_GE(info.tlsCipherBits, 128);
            EXPECT_EQ(info.tlsNote, "");
            EXPECT_EQ(info.peerAddress, "127.0.0.1");
            EXPECT_NE(info.peerSubject.find("CN="), std::string::npos) << info.peerSubject;
            EXPECT_FALSE(info.peerIssuer.empty());
            expectEcho("certificate accepted");
        } else {
            ADD_FAILURE() << "not accepted: " << events.failure();
        }
        connection.reset();
    }
}

// --- Protocol versions --------------------------------------------------------

TEST_F(TlsConnection, EncryptionChoicePinsTheProtocolVersion) {
    const std::vector<std::string> legacy10 = {"-tls1", "-cipher", "DEFAULT:@SECLEVEL=0"};
    const std::vector<std::string> legacy11 = {"-tls1_1", "-cipher", "DEFAULT:@SECLEVEL=0"};
    struct Case {
        const char* name;
        Encryption encryption;
        std::vector<std::string> serverArgs;
        std::string protocol;  // "" = fails with kProtocol
        bool note;             // a security level note is expected
    };
    const Case cases[] = {
        {"highest against any", Encryption::Highest, {}, "TLSv1.3", false},
        {"1.2 against any", Encryption::Tls12, {}, "TLSv1.2", false},
        {"1.2 against 1.3 only", Encryption::Tls12, {"-tls1_3"}, "", false},
        {"1.0 against 1.0", Encryption::Tls10, legacy10, "TLSv1", true},
        {"1.1 against 1.1", Encryption::Tls11, legacy11, "TLSv1.1", true},
        {"1.0 against 1.2 only", Encryption::Tls10, {"-tls1_2"}, "", false},
        // Highest keeps the library's minimum and security level.
        {"highest against 1.0 only", Encryption::Highest, legacy10, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        events = RecordingEvents();
        std::vector<std::string> args = serving(certs().leafCert);
        args.insert(args.end(), c.serverArgs.begin(), c.serverArgs.end());
        OpensslServer server(args);
        ASSERT_TRUE(server.ok()) << server.output();
        ConnectionOptions options = tlsOptions("localhost", server.port());
        options.encryption = c.encryption;
        connectAndSettle(options);
        if (c.protocol.empty()) {
            expectTlsFailure(kProtocol);
        } else {
            ASSERT_EQ(events.log, Log{"up"});
            EXPECT_EQ(events.info->tlsProtocol, c.protocol);
            EXPECT_EQ(!events.info->tlsNote.empty(), c.note) << events.info->tlsNote;
            expectEcho("pinned");
        }
        connection.reset();
    }
}

// --- Client certificates --------------------------------------------------------

TEST_F(TlsConnection, ClientCertificateIsPresentedAndItsRejectionExplained) {
    struct Case {
        const char* name;
        std::string cert;
        std::string key;
        std::string expected;  // "" = accepted
    };
    const Case cases[] = {
        {"trusted certificate", certs().clientCert, certs().clientKey, ""},
        {"certificate from an unknown CA", certs().rogueClientCert, certs().clientKey,
         kClientCertificate},
        {"no certificate", "", "", kProtocol},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        events = RecordingEvents();
        // TLS 1.2, where the host refuses a client certificate during the
        // handshake (TLS 1.3 refuses it after the client has finished).
        std::vector<std::string> args = serving(certs().leafCert);
        args.insert(args.end(),
                    {"-tls1_2", "-Verify", "1", "-CAfile", certs().caCert, "-verify_return_error"});
        OpensslServer server(args);
        ASSERT_TRUE(server.ok()) << server.output();
        ConnectionOptions options = tlsOptions("localhost", server.port());
        options.clientCertFile = c.cert;
        options.clientKeyFile = c.key;
        connectAndSettle(options);
        if (c.expected.empty()) {
            ASSERT_EQ(events.log, Log{"up"});
            expectEcho("client certificate accepted");
        } else {
            expectTlsFailure(c.expected);
        }
        connection.reset();
    }
}

TEST_F(TlsConnection, FilesAndSettingsThatCannotBeLoadedEndTheConnection) {
    const std::string missing = certs().dir + "/missing.pem";
    struct Case {
        const char* name;
        std::string caFile;
        std::string clientCert;
        std::string clientKey;
        std::string cipherList;
        std::string cipherSuites;
        std::string expected;
    };
    const std::string notPem = certs().notPem;
    const Case cases[] = {
        {"CA file not PEM", notPem, "", "", "", "",
         "Error loading CA certificate file '" + notPem +
             "'\n\nThis may mean the file is not a properly formatted PEM certificate."},
        {"CA file missing", missing, "", "", "", "",
         "Error loading CA certificate file '" + missing +
             "'\n\nThis may mean the file is not a properly formatted PEM certificate."},
        {"client certificate not PEM", "", notPem, certs().clientKey, "", "",
         "Error loading client certificate file '" + notPem +
             "'.\n\nThis may mean the file is not a properly formatted PEM certificate."},
        {"client key not PEM", "", certs().clientCert, notPem, "", "",
         "Error loading client private key file '" + notPem +
             "'.\n\nThis may mean the file is not a properly formatted PEM private key,\nor "
             "that it doesn't match the specified client certificate."},
        {"client key of another certificate", "", certs().clientCert, certs().leafKey, "", "",
         "Error loading client private key file '" + certs().leafKey +
             "'.\n\nThis may mean the file is not a properly formatted PEM private key,\nor "
             "that it doesn't match the specified client certificate."},
        {"unknown cipher list", "", "", "", "NO-SUCH-CIPHER", "",
         "Error setting the cipher list 'NO-SUCH-CIPHER'"},
        {"unknown cipher suites", "", "", "", "", "TLS_NO_SUCH_SUITE",
         "Error setting the TLS 1.3 cipher suites 'TLS_NO_SUCH_SUITE'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        events = RecordingEvents();
        Listener listener;
        ASSERT_TRUE(listener.ok());
        ConnectionOptions options = tlsOptions("localhost", listener.port());
        options.caFile = c.caFile;
        options.clientCertFile = c.clientCert;
        options.clientKeyFile = c.clientKey;
        options.cipherList = c.cipherList;
        options.cipherSuites = c.cipherSuites;
        connectAndSettle(options);
        expectTlsFailure(c.expected);
        PeerSocket host = listener.accept();
        ASSERT_TRUE(host.valid());
        std::string sent;
        EXPECT_TRUE(host.readUntilClosed(&sent));
        EXPECT_EQ(sent, "");  // no handshake was started
        connection.reset();
    }
}

TEST_F(TlsConnection, CipherSettingsChooseTheCipher) {
    struct Case {
        Encryption encryption;
        std::string cipherList;
        std::string cipherSuites;
        std::string cipher;
    };
    const Case cases[] = {
        {Encryption::Highest, "", "TLS_CHACHA20_POLY1305_SHA256", "TLS_CHACHA20_POLY1305_SHA256"},
        {Encryption::Highest, "", "TLS_AES_128_GCM_SHA256", "TLS_AES_128_GCM_SHA256"},
        {Encryption::Tls12, "ECDHE-ECDSA-AES128-SHA256", "", "ECDHE-ECDSA-AES128-SHA256"},
    };
    OpensslServer server(serving(certs().leafCert), static_cast<int>(std::size(cases)));
    ASSERT_TRUE(server.ok()) << server.output();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cipher);
        events = RecordingEvents();
        ConnectionOptions options = tlsOptions("localhost", server.port());
        options.encryption = c.encryption;
        options.cipherList = c.cipherList;
        options.cipherSuites = c.cipherSuites;
        connectAndSettle(options);
        ASSERT_EQ(events.log, Log{"up"});
        EXPECT_EQ(events.info->tlsCipher, c.cipher);
        connection.reset();
    }
}

// --- Server name indication, data, end of connection ------------------------------

TEST_F(TlsConnection, SendsServerNameIndicationForHostNamesOnly) {
    // The server answers a client that names "localhost" with its second
    // (self-signed) certificate, any other client with the first.
    struct Case {
        std::string host;
        std::string issuer;
    };
    const Case cases[] = {{"localhost", "CN=localhost"},
                          {"127.0.0.1", "CN=Cedar Test Intermediate"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.host);
        events = RecordingEvents();
        std::vector<std::string> args = serving(certs().leafCert);
        args.insert(args.end(), {"-cert2", certs().selfSignedCert, "-key2", certs().leafKey,
                                 "-servername", "localhost"});
        OpensslServer server(args);
        ASSERT_TRUE(server.ok()) << server.output();
        ConnectionOptions options = tlsOptions(c.host, server.port());
        options.validateHostCertificate = false;
        connectAndSettle(options);
        ASSERT_EQ(events.log, Log{"up"});
        EXPECT_EQ(events.info->peerIssuer, c.issuer);
        connection.reset();
    }
}

TEST_F(TlsConnection, CarriesDataBothWaysAndReportsTheHostsClose) {
    OpensslServer server(serving(certs().leafCert));
    ASSERT_TRUE(server.ok()) << server.output();
    connectAndSettle(tlsOptions("localhost", server.port()));
    ASSERT_EQ(events.log, Log{"up"});
    EXPECT_EQ(events.info->peerSubject, "CN=localhost");
    EXPECT_EQ(events.info->peerIssuer, "CN=Cedar Test Intermediate");

    // Many records at once, while the reader thread takes in the echoes.
    std::string lines;
    std::string expected;
    for (int i = 0; i < 400; ++i) {
        const std::string line = "record " + std::to_string(i) + " of the TLS round trip";
        lines += line + "\n";
        expected += std::string(line.rbegin(), line.rend()) + "\n";
    }
    for (std::size_t at = 0; at < lines.size(); at += 1000)
        ASSERT_TRUE(connection->send(bytes(lines.substr(at, 1000))).ok);
    ASSERT_TRUE(loop.runUntil([&] { return events.received.size() >= expected.size(); }, kWait));
    EXPECT_TRUE(events.received == expected);

    // "CLOSE" makes s_server -rev end the connection.
    ASSERT_TRUE(connection->send(bytes("CLOSE\n")).ok);
    ASSERT_TRUE(loop.runUntil([&] { return events.ended(); }, kWait));
    loop.drain();
    EXPECT_EQ(events.log, (Log{"up", "data", "closed"}));
    EXPECT_EQ(connection->send(bytes("x")).error, socket_error::kNotSocket);
}

TEST_F(TlsConnection, CloseDuringTheHandshakeEndsQuietly) {
    // A host that accepts the TCP connection but never answers the hello.
    Listener listener;
    ASSERT_TRUE(listener.ok());
    connection = connector.connect(tlsOptions("localhost", listener.port()), events, loop);
    PeerSocket host = listener.accept();
    ASSERT_TRUE(host.valid());
    const std::string hello = host.read(3);
    ASSERT_EQ(hello.size(), 3U);
    EXPECT_EQ(hello[0], '\x16');  // a TLS handshake record
    const SendResult early = connection->send(bytes("too early"));
    EXPECT_FALSE(early.ok);
    EXPECT_EQ(early.error, socket_error::kNotSocket);
    connection->close();
    EXPECT_TRUE(host.readUntilClosed());
    loop.drain();
    EXPECT_EQ(events.log, Log{});
}

}  // namespace
}  // namespace cedar::test
