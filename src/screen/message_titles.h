// The titles of the messages that several parts of the program show, each
// written once. A title shown by one part alone stays beside its message.
#pragma once

namespace cedar::title {

// Files.
inline constexpr const char* kFileError = "File Error";
inline constexpr const char* kFileSaveError = "File Save Error";
inline constexpr const char* kCedarFileError = "Cedar TN3270 File Error";
inline constexpr const char* kSessionFileError = "Cedar TN3270 Session File Error";
inline constexpr const char* kFileNotFound = "Cedar TN3270 - file not found";

// Connections.
inline constexpr const char* kConnectTimeout = "Cedar TN3270 Connection Error 1";
inline constexpr const char* kConnectError = "Cedar TN3270 Connection Error 2";
inline constexpr const char* kDeviceRejected = "Cedar TN3270 Connection Error 3";
inline constexpr const char* kTlsError = "Cedar TN3270 Connection Error 6";
inline constexpr const char* kSendError = "Send Error";

}  // namespace cedar::title
