// Reading and editing the text of Windows-style private-profile files
// (cedar.ini, files.ini): "[Section]" lines and "key=value" lines.
//
// The rules users' files rely on: section and key names compare without
// regard to case and the first match wins; blanks around keys and values are
// trimmed and one pair of enclosing quotes is removed; a value is cut to the
// caller's buffer size minus one; a missing file, section or key gives the
// default; integers are an optional sign and the leading digits. An edit
// changes one line in place, appends a new key at the end of its section and
// a new section at the end of the text, writes CR LF, and keeps every other
// byte. Lines may end in CR LF or LF.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cedar::profile {

// The value of a key, or nothing when the section or key is absent.
std::optional<std::string> find(std::string_view text, std::string_view section,
                                std::string_view key);
// The value cut to `bufferSize - 1` characters (as a fixed-size field would
// hold it), or `fallback` when absent.
std::string getString(std::string_view text, std::string_view section, std::string_view key,
                      std::string_view fallback, std::size_t bufferSize = 256);
int getInt(std::string_view text, std::string_view section, std::string_view key, int fallback);
// The key names of a section, in file order (the first of duplicates only).
std::vector<std::string> keys(std::string_view text, std::string_view section);

// The text with `key` set to `value` in `section`.
std::string set(std::string_view text, std::string_view section, std::string_view key,
                std::string_view value);
// The text without `key` in `section` (unchanged when absent).
std::string erase(std::string_view text, std::string_view section, std::string_view key);

// Blanks and tabs removed from both ends, as keys and values are read.
std::string_view trimBlanks(std::string_view text);

// Integer rule on its own: optional blanks, sign and leading digits; 0 when no digit.
int parseInt(std::string_view value);

}  // namespace cedar::profile
