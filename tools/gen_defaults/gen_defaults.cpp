// cedar_gen_defaults: writes standard.ses and files.ini, the defaults that
// ship with the program, from the values in src/sessionfile/standard_session.cpp.
//
//   cedar_gen_defaults [FOLDER]          write both files (default: data/defaults)
//   cedar_gen_defaults --check [FOLDER]  exit 1 when either file differs
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "sessionfile/session_file.h"
#include "sessionfile/standard_session.h"

namespace {

bool readFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool writeFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    bool check = false;
    std::string folder = CEDAR_DEFAULTS_DIR;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--check") {
            check = true;
        } else if (!arg.empty() && arg.front() == '-') {
            std::fprintf(stderr, "usage: cedar_gen_defaults [--check] [FOLDER]\n");
            return 2;
        } else {
            folder = std::string(arg);
        }
    }

    namespace sf = cedar::sessionfile;
    const auto ses = sf::sessionFileBytes(sf::standardSessionOptions());
    const struct {
        std::string name;
        std::string bytes;
    } files[] = {
        {"standard.ses", std::string(ses.begin(), ses.end())},
        {"files.ini", sf::standardFilesIni()},
    };

    int status = 0;
    for (const auto& f : files) {
        const std::string path = folder + "/" + f.name;
        if (check) {
            std::string current;
            if (!readFile(path, current) || current != f.bytes) {
                std::fprintf(stderr, "%s is missing or out of date\n", path.c_str());
                status = 1;
            }
        } else if (!writeFile(path, f.bytes)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            status = 1;
        } else {
            std::printf("wrote %s (%zu bytes)\n", path.c_str(), f.bytes.size());
        }
    }
    return status;
}
