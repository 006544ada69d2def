// Writes the host records of recorded sessions as seeds for fuzz_records
// (byte 0 settings, byte 1 status and origin, then the record).
// Usage: seeds_from_recordings OUTPUT_DIR RECORDING...
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "recording.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: seeds_from_recordings OUTPUT_DIR RECORDING...\n");
        return 2;
    }
    int written = 0;
    for (int i = 2; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        if (!in) continue;
        std::ostringstream s;
        s << in.rdbuf();
        const auto records =
            cedar::recording::hostRecords(cedar::recording::parseRecording(s.str()));
        for (const auto& r : records) {
            if (r.origin.tn3270e && r.origin.dataType != 0 && !r.origin.sscpLu) continue;
            const std::string path = std::string(argv[1]) + "/rec-" + std::to_string(i) + "-" +
                                     std::to_string(written++);
            std::ofstream out(path, std::ios::binary);
            const char header[2] = {0x00, r.origin.sscpLu ? '\xc5' : '\x05'};
            out.write(header, 2);
            if (r.origin.sscpLu) out.write("\x07\x00\x00\x00\x00", 5);
            out.write(reinterpret_cast<const char*>(r.data.data()),
                      static_cast<std::streamsize>(r.data.size()));
        }
    }
    std::printf("%d seeds\n", written);
    return 0;
}
