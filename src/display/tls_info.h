// What the "TLS and Server Certificate Information" dialog shows of the
// connection in force, and the text its Copy button puts on the clipboard.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/connection.h"
#include "sessionfile/session_file.h"

namespace cedar::display {

inline constexpr std::string_view kTlsInfoTitle = "TLS and Server Certificate Information";
inline constexpr std::string_view kUnknown = "unknown";

struct TlsInformation {
    std::string libraryVersion;  // the TLS library's version text
    ConnectionInfo connection;
    // The peer certificate's validity times as their ASN.1 text: UTCTime
    // "YYMMDDHHMMSSZ" or GeneralizedTime "YYYYMMDDHHMMSSZ"; empty: not known.
    std::string notBefore;
    std::string notAfter;
    int port = 0;
    sessionfile::HostSecurity security;  // the files and checks of the connection
};

struct TlsField {
    std::string label;  // "Encryption:", ...
    std::string value;  // "unknown" where it cannot be filled
};

// The dialog's fields in order.
std::vector<TlsField> tlsInformationFields(const TlsInformation& info);
// The clipboard text: one line a field, each ending in CR LF.
std::string tlsInformationText(const TlsInformation& info);

// The value of attribute `key` ("O", "CN", ...) of a distinguished name,
// written either as a one-line name ("/C=US/O=Example/CN=host") or in RFC
// 2253 form ("CN=host,O=Example\, Inc.,C=US", escapes undone); nothing
// when the name has no such attribute.
std::optional<std::string> nameAttribute(std::string_view name, std::string_view key);

// An ASN.1 time as "YYYY-MM-DD HH:MM:SS" (RFC 5280: UTCTime years 50 to 99
// are 19YY, 00 to 49 are 20YY); nothing for a malformed text.
std::optional<std::string> certificateTime(std::string_view asn1);

// "From <not before> to <not after>", or "unknown" when either is malformed.
std::string validityText(std::string_view notBefore, std::string_view notAfter);

}  // namespace cedar::display
