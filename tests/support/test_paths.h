// Where tests find the program's data and the recordings of real sessions.
#pragma once

#include <optional>
#include <string>

namespace cedar::test {

// The program's data folder (country.lst, ...).
std::string dataDir();
// The folder of recorded host sessions, or nothing when it is absent.
std::optional<std::string> recordingsDir();
std::string readFile(const std::string& path);

}  // namespace cedar::test
