// cedar_replay: applies the host records of a recorded session to a
// presentation space and prints the screen as text, then its fields and the
// cursor. The first thing to reach for when a host screen looks wrong.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "recording.h"
#include "screen/screen_text.h"
#include "session/session.h"
#include "sessionfile/standard_session.h"
#ifdef CEDAR_REPLAY_PNG
#include "png_output.h"
#endif

namespace {

const char* const kUsage =
    "usage: cedar_replay RECORDING [--model N] [--records K] [--country NAME]\n"
    "                    [--country-file FILE] [--text-only]\n"
    "  RECORDING      an x3270-style trace (\"< 0x0  hex\" lines) or a plain hex dump\n"
    "  --model N      terminal model 2..5 (default: the one the recording announces, else 2)\n"
    "  --records K    stop after the K-th record that reached the screen\n"
    "  --country NAME screen country of the country file (default: the base table, 037)\n"
    "  --country-file FILE  the country file (default: the program's country.lst)\n"
    "  --text-only    print the screen rows only\n"
    "  --png FILE     also render the screen as the terminal widget paints it\n"
    "  --font-size WxH  the cell size of --png in pixels (default 9x18)\n";

struct Options {
    std::string recording;
    int model = 0;
    long records = -1;
    std::string country;
    std::string countryFile = CEDAR_DEFAULT_COUNTRY_FILE;
    bool textOnly = false;
    std::string png;
    int cellWidth = 9;
    int cellHeight = 18;
};

bool readFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    out = s.str();
    return true;
}

bool parseNumber(const char* text, long low, long high, long& out) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < low || v > high) return false;
    out = v;
    return true;
}

int parseArgs(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "cedar_replay: %s needs a value\n", name);
                return nullptr;
            }
            return argv[++i];
        };
        long n = 0;
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--model") {
            const char* v = value("--model");
            if (v == nullptr || !parseNumber(v, 2, 5, n)) {
                std::fprintf(stderr, "cedar_replay: --model takes 2, 3, 4 or 5\n");
                return 2;
            }
            o.model = static_cast<int>(n);
        } else if (a == "--records") {
            const char* v = value("--records");
            if (v == nullptr || !parseNumber(v, 1, 100000000, n)) {
                std::fprintf(stderr, "cedar_replay: --records takes a positive number\n");
                return 2;
            }
            o.records = n;
        } else if (a == "--country") {
            const char* v = value("--country");
            if (v == nullptr) return 2;
            o.country = v;
        } else if (a == "--country-file") {
            const char* v = value("--country-file");
            if (v == nullptr) return 2;
            o.countryFile = v;
        } else if (a == "--png") {
            const char* v = value("--png");
            if (v == nullptr) return 2;
            o.png = v;
        } else if (a == "--font-size") {
            const char* v = value("--font-size");
            int w = 0;
            int h = 0;
            char extra = 0;
            if (v == nullptr || std::sscanf(v, "%dx%d%c", &w, &h, &extra) != 2 || w < 2 || w > 64 ||
                h < 4 || h > 128) {
                std::fprintf(stderr, "cedar_replay: --font-size takes WxH (2..64 x 4..128)\n");
                return 2;
            }
            o.cellWidth = w;
            o.cellHeight = h;
        } else if (a == "--text-only") {
            o.textOnly = true;
        } else if (!a.empty() && a[0] == '-') {
            std::fprintf(stderr, "cedar_replay: unknown option %s\n%s", a.c_str(), kUsage);
            return 2;
        } else if (o.recording.empty()) {
            o.recording = a;
        } else {
            std::fprintf(stderr, "cedar_replay: one recording at a time\n");
            return 2;
        }
    }
    if (o.recording.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    return -1;
}

class PrintWarnings : public cedar::UserMessages {
  public:
    void warning(std::string_view title, std::string_view text) override {
        std::fprintf(stderr, "warning: %.*s: %.*s\n", static_cast<int>(title.size()), title.data(),
                     static_cast<int>(text.size()), text.data());
    }
};

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (const int rc = parseArgs(argc, argv, o); rc >= 0) return rc;

    std::string text;
    if (!readFile(o.recording, text)) {
        std::fprintf(stderr, "cedar_replay: cannot read %s: %s\n", o.recording.c_str(),
                     std::strerror(errno));
        return 1;
    }
    std::string countryText;
    if (!readFile(o.countryFile, countryText)) {
        std::fprintf(stderr, "cedar_replay: File \"country.lst\" was not found (%s).\n",
                     o.countryFile.c_str());
        return 1;
    }

    const auto blocks = cedar::recording::parseRecording(text);
    if (o.model == 0) o.model = cedar::recording::announcedModel(blocks).value_or(2);

    cedar::ScreenSessionOptions options;
    options.modelIndex = o.model - 2;
    // The colour items of the installation's standard session, as a new session has them.
    const auto standard = cedar::sessionfile::standardSessionOptions();
    for (int i = 0; i < cedar::sessionfile::kColorItems; ++i) {
        options.colors.foreground[static_cast<std::size_t>(i)] = standard.itemForeground(i) & 0x0F;
        options.colors.background[static_cast<std::size_t>(i)] = standard.itemBackground(i) & 0x0F;
    }
    cedar::Session session({}, options);
    const auto report = cedar::loadCountryText(countryText, cedar::CountryMode::Screen,
                                               {o.country, "ANSI 1252", ""}, session.codePages);
    if (report.screenTableShort)
        std::fprintf(stderr, "cedar_replay: the base SCREEN table has only %d of 256 values\n",
                     report.screenValues);
    if (!o.country.empty() && !report.screenCountryFound)
        std::fprintf(stderr, "cedar_replay: no country \"%s\" in %s; using the base table\n",
                     o.country.c_str(), o.countryFile.c_str());
    PrintWarnings warnings;
    session.records.setHooks({.messages = &warnings});

    // The recording goes through the Telnet layer as a live session's bytes do.
    class Counter : public cedar::TelnetEvents {
      public:
        long applied = 0;
        long total = 0;
        void sendRaw(std::span<const std::uint8_t>) override {}
        void recordApplied(std::span<const std::uint8_t>, const cedar::RecordOrigin& o) override {
            ++total;
            if (!o.tn3270e || o.dataType == 0 || o.sscpLu) ++applied;
        }
    } counter;
    cedar::ProtocolState state;
    cedar::HostScreen screen(session.screen, session.records, session.codePages, session.status);
    cedar::TelnetLayer telnet(state, session.codePages, session.status, screen, counter);
    telnet.setConfig({.tn3270eAllowed = true, .luName = ""});
    telnet.setTerminalType(session.models[static_cast<std::size_t>(o.model - 2)].terminalType);
    telnet.connectionStarted();
    for (const auto& b : blocks) {
        if (b.direction != cedar::recording::Direction::FromHost) continue;
        if (o.records < 0) {
            telnet.dataReceived(b.bytes);
            continue;
        }
        // One byte at a time, so that replay stops right after the K-th record.
        for (std::size_t i = 0; i < b.bytes.size() && counter.applied < o.records; ++i)
            telnet.dataReceived(std::span(&b.bytes[i], 1));
        if (counter.applied >= o.records) break;
    }
    const long applied = counter.applied;

    if (!o.png.empty()) {
#ifdef CEDAR_REPLAY_PNG
        std::string error;
        if (!cedar::replay::writeScreenPng(session.screen, {o.cellWidth, o.cellHeight}, o.png,
                                           error)) {
            std::fprintf(stderr, "cedar_replay: %s\n", error.c_str());
            return 1;
        }
#else
        std::fprintf(stderr, "cedar_replay: built without the Qt widgets; no --png\n");
        return 1;
#endif
    }
    for (const auto& row : cedar::screenRowsUtf8(session.screen))
        std::cout << row << '\n';
    if (o.textOnly) return 0;
    const auto& ps = session.screen;
    std::cout << "-- " << ps.rows() << "x" << ps.columns() << ", " << applied
              << " records applied to the screen\n";
    std::cout << "-- fields\n";
    for (const auto& f : cedar::fieldList(ps))
        std::cout << cedar::describeField(f, ps) << '\n';
    const auto rc = ps.rowColumnOf(ps.cursor());
    std::cout << "-- cursor " << rc.row + 1 << "," << rc.column + 1 << '\n';
    return 0;
}
