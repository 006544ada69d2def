// The TLS client side of a host connection, through OpenSSL 3: the context for
// a host entry's choices, the messages of a failed handshake, the check of the
// host certificate after the handshake, and what is reported once it is up.
#pragma once

#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <cstdint>
#include <memory>
#include <string>

#include "host/connection.h"

namespace cedar::platform {

struct SslCtxFree {
    void operator()(SSL_CTX* ctx) const { SSL_CTX_free(ctx); }
};
struct SslFree {
    void operator()(SSL* ssl) const { SSL_free(ssl); }
};
struct X509Free {
    void operator()(X509* cert) const { X509_free(cert); }
};
using SslCtxPtr = std::unique_ptr<SSL_CTX, SslCtxFree>;
using SslPtr = std::unique_ptr<SSL, SslFree>;
using X509Ptr = std::unique_ptr<X509, X509Free>;

struct ClientContext {
    SslCtxPtr ctx;      // null when `error` is set
    std::string error;  // the message for events.tlsFailed
    std::string note;   // ConnectionInfo::tlsNote
};

// Builds the context for `options` (encryption other than None): protocol
// versions, cipher list and suites, SSL_OP_ALL | SSL_OP_LEGACY_SERVER_CONNECT,
// the CA file and the system trust store, the client certificate and key.
// Peer verification is left to checkHostCertificate (SSL_VERIFY_NONE).
ClientContext createClientContext(const ConnectionOptions& options);

// The message for a failed SSL_connect. `sslError` is SSL_get_error's result.
std::string handshakeFailureMessage(int sslError, bool withClientCertificate);

// After the handshake: "" when the host certificate is accepted, otherwise
// the message. With options.validateHostCertificate only a chain that
// verified (X509_V_OK) passes; with options.hostNameMustMatch the certificate
// must name `host` (see certificateMatchesHost).
std::string checkHostCertificate(SSL* ssl, const std::string& host,
                                 const ConnectionOptions& options);

// OpenSSL's host check (RFC 6125): subjectAltName entries first, the subject
// CN only when there is no DNS entry; whole names, case-insensitive, a
// wildcard only as the whole left-most label. IP literals are compared with
// the certificate's IP address entries.
bool certificateMatchesHost(X509* cert, const std::string& host);

// The name a certificate is issued for, for messages: its first DNS
// subjectAltName, else its first IP address entry, else its subject CN,
// else "unknown".
std::string certificateName(X509* cert);

// What the user is shown of `cert` before trusting it for `host` and `port`
// (`problem` left empty).
CertificateDetails certificateDetails(X509* cert, const std::string& host, std::uint16_t port);

// The SHA-256 fingerprint of `cert`'s DER form, "AB:CD:...".
std::string sha256Fingerprint(X509* cert);

// Protocol, cipher, bits, subject and issuer of an established connection.
void describeTls(SSL* ssl, ConnectionInfo& info);

}  // namespace cedar::platform
