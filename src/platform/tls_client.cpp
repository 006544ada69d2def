#include "platform/tls_client.h"

#include <arpa/inet.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <span>
#include <string_view>

#include "platform/socket_util.h"

namespace cedar::platform {

namespace {

struct GeneralNamesFree {
    void operator()(GENERAL_NAMES* names) const { GENERAL_NAMES_free(names); }
};
using GeneralNamesPtr = std::unique_ptr<GENERAL_NAMES, GeneralNamesFree>;

struct BioFree {
    void operator()(BIO* bio) const { BIO_free(bio); }
};

std::string asn1Text(const ASN1_STRING* value) {
    unsigned char* utf8 = nullptr;
    const int length = ASN1_STRING_to_UTF8(&utf8, value);
    if (length < 0) return {};
    std::string text(reinterpret_cast<const char*>(utf8), static_cast<std::size_t>(length));
    OPENSSL_free(utf8);
    return text;
}

std::string ipText(const ASN1_OCTET_STRING* address) {
    const int length = ASN1_STRING_length(address);
    const unsigned char* bytes = ASN1_STRING_get0_data(address);
    char text[INET6_ADDRSTRLEN] = {};
    if (length == 4 && inet_ntop(AF_INET, bytes, text, sizeof text) != nullptr) return text;
    if (length == 16 && inet_ntop(AF_INET6, bytes, text, sizeof text) != nullptr) return text;
    return {};
}

std::string nameText(const X509_NAME* name) {
    if (name == nullptr) return {};
    std::unique_ptr<BIO, BioFree> bio(BIO_new(BIO_s_mem()));
    if (!bio) return {};
    // RFC 2253 order and escaping, but UTF-8 left as it is.
    const unsigned long flags = XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB;
    if (X509_NAME_print_ex(bio.get(), name, 0, flags) < 0) return {};
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &data);
    if (length <= 0 || data == nullptr) return {};
    return std::string(data, static_cast<std::size_t>(length));
}

// RFC 5280 times; OpenSSL's own text for anything else.
std::string timeText(const ASN1_TIME* time) {
    if (time == nullptr) return {};
    const int type = ASN1_STRING_type(time);
    const std::string_view raw(reinterpret_cast<const char*>(ASN1_STRING_get0_data(time)),
                               static_cast<std::size_t>(ASN1_STRING_length(time)));
    if (type == V_ASN1_UTCTIME || type == V_ASN1_GENERALIZEDTIME)
        if (auto text = certificateTimeText(raw, type == V_ASN1_GENERALIZEDTIME)) return *text;
    std::unique_ptr<BIO, BioFree> bio(BIO_new(BIO_s_mem()));
    if (!bio || ASN1_TIME_print(bio.get(), time) != 1) return std::string(raw);
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &data);
    return length > 0 && data != nullptr ? std::string(data, static_cast<std::size_t>(length))
                                         : std::string(raw);
}

std::string withoutZone(const std::string& host) {
    const auto percent = host.find('%');
    return percent == std::string::npos ? host : host.substr(0, percent);
}

std::string format(const char* pattern, const std::string& value) {
    const int length = std::snprintf(nullptr, 0, pattern, value.c_str());
    std::string text(static_cast<std::size_t>(length), '\0');
    std::snprintf(text.data(), text.size() + 1, pattern, value.c_str());
    return text;
}

std::string caFileMessage(const std::string& path) {
    return format(
        "Error loading CA certificate file '%s'\n\nThis may mean the file is not a properly "
        "formatted PEM certificate.",
        path);
}

std::string clientCertMessage(const std::string& path) {
    return format(
        "Error loading client certificate file '%s'.\n\nThis may mean the file is not a "
        "properly formatted PEM certificate.",
        path);
}

std::string clientKeyMessage(const std::string& path) {
    return format(
        "Error loading client private key file '%s'.\n\nThis may mean the file is not a "
        "properly formatted PEM private key,\nor that it doesn't match the specified client "
        "certificate.",
        path);
}

}  // namespace

ClientContext createClientContext(const ConnectionOptions& options) {
    ClientContext result;
    ERR_clear_error();
    SslCtxPtr ctx(SSL_CTX_new(TLS_client_method()));
    if (!ctx) {
        result.error = "Error creating the OpenSSL context";
        return result;
    }

    int version = 0;
    switch (options.encryption) {
        case Encryption::Tls10:
            version = TLS1_VERSION;
            break;
        case Encryption::Tls11:
            version = TLS1_1_VERSION;
            break;
        case Encryption::Tls12:
            version = TLS1_2_VERSION;
            break;
        case Encryption::None:
        case Encryption::Highest:
            break;  // the library's default minimum, no maximum
    }
    if (version != 0 && (SSL_CTX_set_min_proto_version(ctx.get(), version) != 1 ||
                         SSL_CTX_set_max_proto_version(ctx.get(), version) != 1)) {
        result.error = "Error selecting the TLS protocol version";
        return result;
    }

    // OpenSSL 3 refuses TLS 1.0 and 1.1 at its default security level 1, so
    // those choices lower it to 0 through the cipher list.
    std::string cipherList = options.cipherList;
    const bool legacy = version == TLS1_VERSION || version == TLS1_1_VERSION;
    if (legacy) {
        cipherList = (cipherList.empty() ? std::string("DEFAULT") : cipherList) + ":@SECLEVEL=0";
        result.note = std::string(version == TLS1_VERSION ? "TLS 1.0" : "TLS 1.1") +
                      " needs OpenSSL security level 0 (\"@SECLEVEL=0\" added to the cipher list)";
    }
    if (!cipherList.empty() && SSL_CTX_set_cipher_list(ctx.get(), cipherList.c_str()) != 1) {
        result.error = format("Error setting the cipher list '%s'", cipherList);
        return result;
    }
    if (!options.cipherSuites.empty() &&
        SSL_CTX_set_ciphersuites(ctx.get(), options.cipherSuites.c_str()) != 1) {
        result.error = format("Error setting the TLS 1.3 cipher suites '%s'", options.cipherSuites);
        return result;
    }

    SSL_CTX_set_options(ctx.get(), SSL_OP_ALL | SSL_OP_LEGACY_SERVER_CONNECT);
    SSL_CTX_set_mode(ctx.get(), SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);

    if (!options.caFile.empty() &&
        SSL_CTX_load_verify_file(ctx.get(), options.caFile.c_str()) != 1) {
        result.error = caFileMessage(options.caFile);
        return result;
    }
    const bool clientCert = !options.clientCertFile.empty();
    if (clientCert &&
        SSL_CTX_use_certificate_chain_file(ctx.get(), options.clientCertFile.c_str()) != 1) {
        result.error = clientCertMessage(options.clientCertFile);
        return result;
    }
    if (!options.clientKeyFile.empty() &&
        (SSL_CTX_use_PrivateKey_file(ctx.get(), options.clientKeyFile.c_str(), SSL_FILETYPE_PEM) !=
             1 ||
         (clientCert && SSL_CTX_check_private_key(ctx.get()) != 1))) {
        result.error = clientKeyMessage(options.clientKeyFile);
        return result;
    }

    // The chain is verified during the handshake against the system store and
    // the CA file, but the handshake goes on; checkHostCertificate decides.
    SSL_CTX_set_verify(ctx.get(), SSL_VERIFY_NONE, nullptr);
    SSL_CTX_set_default_verify_paths(ctx.get());
    ERR_clear_error();
    result.ctx = std::move(ctx);
    return result;
}

std::string handshakeFailureMessage(int sslError, bool withClientCertificate) {
    switch (sslError) {
        case SSL_ERROR_SSL:          // a protocol error or an alert from the host
        case SSL_ERROR_SYSCALL:      // the connection broke or was closed
        case SSL_ERROR_ZERO_RETURN:  // the host closed the TLS connection
            if (withClientCertificate)
                return "Encryption Error - Client certificate may be invalid for this host "
                       "mainframe";
            return "Encryption Error - Please make sure the host supports the specified "
                   "encryption protocol.  Note: This version of Cedar only supports TLS "
                   "encryption methods.";
        default: {
            char text[80];
            std::snprintf(text, sizeof text, "Error code %d returned from OpenSSL connect routine",
                          sslError);
            return text;
        }
    }
}

std::string certificateName(X509* cert) {
    if (cert == nullptr) return "unknown";
    GeneralNamesPtr names(static_cast<GENERAL_NAMES*>(
        X509_get_ext_d2i(cert, NID_subject_alt_name, nullptr, nullptr)));
    std::string firstIp;
    if (names) {
        for (int i = 0; i < sk_GENERAL_NAME_num(names.get()); ++i) {
            const GENERAL_NAME* entry = sk_GENERAL_NAME_value(names.get(), i);
            if (entry->type == GEN_DNS) {
                std::string dns = asn1Text(entry->d.dNSName);
                if (!dns.empty()) return dns;
            } else if (entry->type == GEN_IPADD && firstIp.empty()) {
                firstIp = ipText(entry->d.iPAddress);
            }
        }
    }
    if (!firstIp.empty()) return firstIp;
    const X509_NAME* subject = X509_get_subject_name(cert);
    const int index = X509_NAME_get_index_by_NID(subject, NID_commonName, -1);
    if (index >= 0) {
        std::string cn = asn1Text(X509_NAME_ENTRY_get_data(X509_NAME_get_entry(subject, index)));
        if (!cn.empty()) return cn;
    }
    return "unknown";
}

bool certificateMatchesHost(X509* cert, const std::string& host) {
    if (cert == nullptr || host.empty()) return false;
    if (isIpLiteral(host)) return X509_check_ip_asc(cert, withoutZone(host).c_str(), 0) == 1;
    return X509_check_host(cert, host.data(), host.size(), X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS,
                           nullptr) == 1;
}

std::string checkHostCertificate(SSL* ssl, const std::string& host,
                                 const ConnectionOptions& options) {
    X509Ptr cert(SSL_get1_peer_certificate(ssl));
    if (options.validateHostCertificate) {
        // No certificate at all (an anonymous cipher) verifies as X509_V_OK.
        if (!cert) return "Encryption Error, Host certificate failed verification";
        const long result = SSL_get_verify_result(ssl);
        if (result == X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT ||
            result == X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN)
            return "Encryption Error, Host certificate failed verification";
        if (result != X509_V_OK)
            return std::string("SSL X509 error - ") + X509_verify_cert_error_string(result);
    }
    if (options.hostNameMustMatch && !certificateMatchesHost(cert.get(), host)) {
        const std::string name = certificateName(cert.get());
        const int length = std::snprintf(nullptr, 0,
                                         "Certificate host name %s does not match\nconnection "
                                         "host name %s",
                                         name.c_str(), host.c_str());
        std::string text(static_cast<std::size_t>(length), '\0');
        std::snprintf(text.data(), text.size() + 1,
                      "Certificate host name %s does not match\nconnection host name %s",
                      name.c_str(), host.c_str());
        return text;
    }
    return {};
}

std::string sha256Fingerprint(X509* cert) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (cert == nullptr || X509_digest(cert, EVP_sha256(), digest, &length) != 1) return {};
    return fingerprintText(std::span<const std::uint8_t>(digest, length));
}

CertificateDetails certificateDetails(X509* cert, const std::string& host, std::uint16_t port) {
    CertificateDetails d;
    d.host = host.find(':') != std::string::npos && host.front() != '[' ? "[" + host + "]" : host;
    d.port = port;
    if (cert == nullptr) return d;
    d.subject = nameText(X509_get_subject_name(cert));
    d.issuer = nameText(X509_get_issuer_name(cert));
    GeneralNamesPtr names(static_cast<GENERAL_NAMES*>(
        X509_get_ext_d2i(cert, NID_subject_alt_name, nullptr, nullptr)));
    for (int i = 0; names && i < sk_GENERAL_NAME_num(names.get()); ++i) {
        const GENERAL_NAME* entry = sk_GENERAL_NAME_value(names.get(), i);
        switch (entry->type) {
            case GEN_DNS:
                d.subjectAltNames.push_back("DNS:" + asn1Text(entry->d.dNSName));
                break;
            case GEN_IPADD:
                d.subjectAltNames.push_back("IP:" + ipText(entry->d.iPAddress));
                break;
            case GEN_EMAIL:
                d.subjectAltNames.push_back("email:" + asn1Text(entry->d.rfc822Name));
                break;
            case GEN_URI:
                d.subjectAltNames.push_back("URI:" + asn1Text(entry->d.uniformResourceIdentifier));
                break;
            default:
                d.subjectAltNames.push_back("other");
                break;
        }
    }
    d.notBefore = timeText(X509_get0_notBefore(cert));
    d.notAfter = timeText(X509_get0_notAfter(cert));
    d.fingerprint = sha256Fingerprint(cert);
    return d;
}

void describeTls(SSL* ssl, ConnectionInfo& info) {
    info.tls = true;
    info.tlsProtocol = SSL_get_version(ssl);
    if (const SSL_CIPHER* cipher = SSL_get_current_cipher(ssl)) {
        info.tlsCipher = SSL_CIPHER_get_name(cipher);
        info.tlsCipherBits = SSL_CIPHER_get_bits(cipher, nullptr);
    }
    X509Ptr cert(SSL_get1_peer_certificate(ssl));
    if (cert) {
        info.peerSubject = nameText(X509_get_subject_name(cert.get()));
        info.peerIssuer = nameText(X509_get_issuer_name(cert.get()));
    }
}

}  // namespace cedar::platform
