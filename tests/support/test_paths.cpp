#include "test_paths.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace cedar::test {

std::string dataDir() {
    return CEDAR_TEST_DATA_DIR;
}

std::optional<std::string> recordingsDir() {
    if (const char* env = std::getenv("CEDAR_RECORDINGS_DIR"); env != nullptr && *env != '\0')
        return std::filesystem::is_directory(env) ? std::optional<std::string>(env) : std::nullopt;
    const std::string dir = CEDAR_TEST_RECORDINGS_DIR;
    if (std::filesystem::is_directory(dir)) return dir;
    return std::nullopt;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace cedar::test
