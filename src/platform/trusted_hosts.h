// The trusted host certificates file (host/certificate_trust.h) on disk, and
// the check of a host certificate that consults it: a host and port listed
// there must present exactly the listed certificate and then need no other
// verification; any other host is verified as usual, and a certificate that
// fails comes back with its details, so that the user may trust it.
#pragma once

#include <openssl/ssl.h>

#include <optional>
#include <string>

#include "host/certificate_trust.h"
#include "host/connection.h"

namespace cedar::platform {

// The file's path in the certificates folder.
std::string trustFilePath(const std::string& certsFolder);

// The file as it is now: empty when it does not exist; a file that cannot be
// read or is too large gives one error of line 0.
TrustFile loadTrustFile(const std::string& path);

// Adds and replaces entries under the lock shared by every session (files.h
// editFileLocked), so that no other entry is ever lost.
class TrustedHostsFile : public CertificateTrustStore {
  public:
    explicit TrustedHostsFile(std::string path) : path_(std::move(path)) {}
    std::string trust(const CertificateDetails& details) override;
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

struct CertificateVerdict {
    std::string error;                            // "" = accepted
    std::optional<CertificateDetails> trustable;  // set: the user may trust it
};

// After the handshake. With options.trustFile naming no entry for the host
// and port, the usual check (tls_client.h checkHostCertificate); a failure
// comes with the certificate's details when there is a certificate and a
// file to keep the trust in.
CertificateVerdict verifyHostCertificate(SSL* ssl, const std::string& host,
                                         const ConnectionOptions& options);

}  // namespace cedar::platform
