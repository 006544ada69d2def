#include "recording.h"

#include <cctype>

namespace cedar::recording {

namespace {

constexpr std::uint8_t kIac = 0xFF, kEor = 0xEF, kWill = 0xFB, kDo = 0xFD;
constexpr std::uint8_t kOptEor = 25;

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool appendHex(std::string_view hex, std::vector<std::uint8_t>& out) {
    int high = -1;
    for (char c : hex) {
        if (std::isspace(static_cast<unsigned char>(c))) continue;
        const int v = hexValue(c);
        if (v < 0) return false;
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<std::uint8_t>(high * 16 + v));
            high = -1;
        }
    }
    return high < 0;
}

bool onlyHex(std::string_view text) {
    for (char c : text)
        if (!std::isspace(static_cast<unsigned char>(c)) && hexValue(c) < 0) return false;
    return true;
}

}  // namespace

std::vector<Block> parseRecording(std::string_view text) {
    std::vector<Block> blocks;
    if (onlyHex(text)) {
        Block b{Direction::FromHost, {kIac, kDo, kOptEor, kIac, kWill, kOptEor}};
        if (!appendHex(text, b.bytes) || b.bytes.size() == 6) return blocks;
        const auto n = b.bytes.size();
        if (!(b.bytes[n - 2] == kIac && b.bytes[n - 1] == kEor)) {
            b.bytes.push_back(kIac);
            b.bytes.push_back(kEor);
        }
        blocks.push_back(std::move(b));
        return blocks;
    }
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line.size() < 5 || (line[0] != '<' && line[0] != '>') || line[1] != ' ' ||
            line.substr(2, 2) != "0x")
            continue;
        const Direction dir = line[0] == '<' ? Direction::FromHost : Direction::ToHost;
        std::size_t offEnd = 4;
        while (offEnd < line.size() && hexValue(line[offEnd]) >= 0)
            ++offEnd;
        if (offEnd == 4) continue;
        const std::string_view offset = line.substr(4, offEnd - 4);
        std::vector<std::uint8_t> bytes;
        if (!appendHex(line.substr(offEnd), bytes)) continue;  // commentary, not data
        const bool starts = offset == "0";
        if (starts || blocks.empty() || blocks.back().direction != dir) blocks.push_back({dir, {}});
        auto& dst = blocks.back().bytes;
        dst.insert(dst.end(), bytes.begin(), bytes.end());
    }
    return blocks;
}

std::optional<int> announcedModel(const std::vector<Block>& blocks) {
    // The client's TERMINAL-TYPE IS or DEVICE-TYPE REQUEST, else the
    // server's DEVICE-TYPE IS.
    for (const Direction wanted : {Direction::ToHost, Direction::FromHost})
        for (const auto& b : blocks) {
            if (b.direction != wanted) continue;
            const std::string s(b.bytes.begin(), b.bytes.end());
            for (const char* prefix : {"IBM-3278-", "IBM-3279-"}) {
                const auto at = s.find(prefix);
                if (at != std::string::npos && at + 9 < s.size()) {
                    const char m = s[at + 9];
                    if (m >= '2' && m <= '5') return m - '0';
                }
            }
        }
    return std::nullopt;
}

namespace {

class Collector : public TelnetEvents {
  public:
    std::vector<HostRecord>& out;
    explicit Collector(std::vector<HostRecord>& o) : out(o) {}
    void sendRaw(std::span<const std::uint8_t>) override {}
    void recordApplied(std::span<const std::uint8_t> record, const RecordOrigin& origin) override {
        out.push_back({{record.begin(), record.end()}, origin});
    }
};

}  // namespace

std::vector<HostRecord> hostRecords(const std::vector<Block>& blocks) {
    std::vector<HostRecord> out;
    Collector collector(out);
    ScreenSettings settings;
    settings.ignoreInvalidSba = true;
    settings.ignoreInvalidWrite = true;
    ScreenSessionOptions options;
    options.modelIndex = announcedModel(blocks).value_or(2) - 2;
    PresentationSpace ps(settings);
    ps.configureSizes(options, defaultScreenModels());
    CodePages codePages;
    SessionStatus status = SessionStatus::Connecting;
    AidState aid;
    RecordProcessor records(ps, codePages, status, aid);
    ProtocolState state;
    HostScreen screen(ps, records, codePages, status);
    TelnetLayer telnet(state, codePages, status, screen, collector);
    telnet.setTerminalType(
        defaultScreenModels()[static_cast<std::size_t>(options.modelIndex)].terminalType);
    telnet.connectionStarted();
    for (const auto& b : blocks)
        if (b.direction == Direction::FromHost) telnet.dataReceived(b.bytes);
    return out;
}

}  // namespace cedar::recording
