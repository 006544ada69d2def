#include "platform/trusted_hosts.h"

#include <filesystem>
#include <system_error>

#include "platform/files.h"
#include "platform/tls_client.h"

namespace cedar::platform {

std::string trustFilePath(const std::string& certsFolder) {
    return certsFolder + "/" + kTrustFileName;
}

TrustFile loadTrustFile(const std::string& path) {
    TrustFile file;
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return file;
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec && size > kMaxTrustFileSize) {
        file.errors.push_back({0, "the file is larger than 1 MiB"});
        return file;
    }
    const auto text = readFile(path);
    if (!text) {
        file.errors.push_back({0, "the file cannot be read"});
        return file;
    }
    return parseTrustFile(*text);
}

std::string TrustedHostsFile::trust(const CertificateDetails& details) {
    const std::string key = trustKey(details.host, details.port);
    if (details.fingerprint.empty())
        return "The certificate of " + key + " has no fingerprint to trust.";
    std::string problem;
    std::string ioError;
    const bool written = editFileLocked(
        path_,
        [&](const std::string& before) {
            if (before.size() > kMaxTrustFileSize) {
                problem = "the file is larger than 1 MiB";
                return before;
            }
            auto after = trustFileWithEntry(before, key, details.fingerprint, problem);
            return after ? *after : before;
        },
        ioError);
    if (!problem.empty())
        return "The certificate of " + key + " could not be trusted: " + path_ + ", " + problem +
               ".\n\nCorrect or delete that line and connect again.";
    if (!written) return "The certificate of " + key + " could not be trusted: " + ioError;
    return {};
}

CertificateVerdict verifyHostCertificate(SSL* ssl, const std::string& host,
                                         const ConnectionOptions& options) {
    X509Ptr cert(SSL_get1_peer_certificate(ssl));
    const std::string key = trustKey(host, options.port);
    std::string fileError;
    if (!options.trustFile.empty()) {
        const TrustFile file = loadTrustFile(options.trustFile);
        fileError = firstTrustFileError(file);
        if (const auto trusted = file.find(key)) {
            const std::string presented = sha256Fingerprint(cert.get());
            if (presented == *trusted) return {};
            return {pinMismatchMessage(key, *trusted, presented, options.trustFile), std::nullopt};
        }
    }
    std::string error = checkHostCertificate(ssl, host, options);
    if (error.empty()) return {};
    if (!fileError.empty())
        error += "\n\nThe trusted certificates file " + options.trustFile +
                 " has an error: " + fileError;
    if (!cert || options.trustFile.empty()) return {error, std::nullopt};
    CertificateDetails details = certificateDetails(cert.get(), host, options.port);
    details.problem = error;
    return {error, details};
}

}  // namespace cedar::platform
