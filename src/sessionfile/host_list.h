// The host list: every host the user has connected to, with the connection
// choices that belong to the host (port, TN3270E, encryption, LU name,
// keep-alive time, certificate files and checks). Shared by all sessions of a
// user and kept in cedar.ini, section "Cedar", one key per field whose value
// lists that field of every entry, separated by commas.
//
// This module works on the text of cedar.ini only; reading and writing the
// file is the caller's. Values are read whole, however long: a long list is
// never cut. Texts that hold a comma (or a line break) cannot be stored in a
// comma list without shifting every later entry, so they are refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cedar::sessionfile {

inline constexpr std::string_view kHostListSection = "Cedar";
inline constexpr std::size_t kMaxHosts = 1000;
// Shown in an empty SESSION dialog's host box; never added to the list.
inline constexpr std::string_view kSampleHostName = "mainframe.example.com";

// Field capacities (characters), as the fixed fields of the session options
// record and the dialogs hold them.
inline constexpr std::size_t kHostNameChars = 64;
inline constexpr std::size_t kLuNameChars = 19;
inline constexpr std::size_t kFileNameChars = 259;

struct HostEntry {
    std::string hostName;  // as the user sees it (may be an alias)
    std::string ipName;    // the host name or address actually connected to
    std::uint16_t port = 23;
    bool tn3270e = true;
    // 0 none, 1 highest available, 2 TLS 1.0, 3 TLS 1.1, 4 TLS 1.2; 11 and 12
    // are two older levels, and 10 + n an unknown code n of the file (both
    // kept so that they are written back as they were).
    int securityLevel = 0;
    std::string luName;
    int keepAliveTime = -1;  // seconds; -1: the setting KeepAliveTime
    std::string caCert;
    std::string clientCert;
    std::string clientKey;
    bool validateHostCert = false;
    bool domainMustMatchHost = false;
    bool deleted = false;  // not listed, found or saved

    bool operator==(const HostEntry&) const = default;
};

// A message for the user, with its message box title.
struct HostListMessage {
    std::string text;
    std::string title;
};

// An entry made new (typed by the user, given on the command line): name and
// IP name `name`, port 23, TN3270E on, no encryption, no LU name, and both
// certificate checks ON, so that a TLS session to a new host is not open to
// whoever sits on the path.
HostEntry newHostEntry(std::string_view name, int keepAliveTime = -1);

// Nothing when the entry can be stored; else why not.
std::optional<HostListMessage> checkHostEntry(const HostEntry& entry);

// The security level of an SSL code of cedar.ini and back.
int securityLevelFromSslCode(int code);
int sslCodeFromSecurityLevel(int level);

class HostList {
  public:
    // Reads the twelve keys from the text of cedar.ini. An empty host name
    // item makes a deleted entry, so the items of the other keys stay
    // aligned; `warnings` receives what the user should be told.
    static HostList parse(std::string_view profileText,
                          std::vector<HostListMessage>* warnings = nullptr);
    // The text of cedar.ini with the twelve keys written (every other line
    // is kept); deleted entries are left out of every key alike.
    std::string store(std::string_view profileText) const;

    // All entries, deleted ones included, in list order.
    const std::vector<HostEntry>& entries() const { return entries_; }
    // Entries not deleted.
    std::size_t size() const;

    // The entry named exactly `name` (not deleted), or nothing.
    const HostEntry* find(std::string_view name) const;
    std::optional<std::size_t> indexOf(std::string_view name) const;

    enum class AddStatus { Added, Ignored, Refused };
    struct AddResult {
        AddStatus status = AddStatus::Ignored;
        std::optional<std::size_t> index;        // the new entry (Added)
        std::optional<HostListMessage> message;  // why not (Refused)
    };
    // Adds a typed host name: trimmed; an empty name, the sample host name and
    // a name already listed are ignored; a full list, a name with a comma and
    // a name too long are refused.
    AddResult add(std::string_view typedName, int keepAliveTime = -1);

    // Replaces entry `index` (it keeps its place); refused when the new
    // fields cannot be stored or its new name is another entry's.
    std::optional<HostListMessage> update(std::size_t index, const HostEntry& entry);
    // Marks the entry named `name` deleted; false when there is none.
    bool remove(std::string_view name);

  private:
    std::vector<HostEntry> entries_;
};

}  // namespace cedar::sessionfile
