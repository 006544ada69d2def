// Fuzzes the trusted-hosts file reader and the edit that adds an entry: any
// bytes read without a crash; entries are well-formed; an edit of a sound
// file keeps every entry it had and reads back with the new one.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "host/certificate_trust.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const cedar::TrustFile file = cedar::parseTrustFile(text);
    for (const auto& e : file.entries) {
        if (e.fingerprint.size() != 95 || e.key.empty() || e.line < 1) __builtin_trap();
        if (file.find(e.key) != e.fingerprint) __builtin_trap();  // listed once
    }
    const std::string key = "fuzz.example:992";
    const std::string print =
        "00:11:22:33:44:55:66:77:88:99:AA:BB:CC:DD:EE:FF:00:11:22:33:44:55:66:77:88:99:AA:BB:CC:"
        "DD:EE:FF";
    std::string error;
    const auto edited = cedar::trustFileWithEntry(text, key, print, error);
    if (edited.has_value() != file.errors.empty()) __builtin_trap();
    if (!edited) return 0;
    const cedar::TrustFile after = cedar::parseTrustFile(*edited);
    if (!after.errors.empty() || after.find(key) != print) __builtin_trap();
    for (const auto& e : file.entries)
        if (e.key != key && after.find(e.key) != e.fingerprint) __builtin_trap();
    return 0;
}
