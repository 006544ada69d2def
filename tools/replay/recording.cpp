#include "recording.h"

#include <cctype>

namespace cedar::recording {

namespace {

constexpr std::uint8_t kIac = 0xFF, kSb = 0xFA, kSe = 0xF0, kEor = 0xEF;
constexpr std::uint8_t kWill = 0xFB, kWont = 0xFC, kDo = 0xFD, kDont = 0xFE;
constexpr std::uint8_t kOptTn3270e = 0x28;

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
        Block b{Direction::FromHost, {}};
        if (appendHex(text, b.bytes) && !b.bytes.empty()) blocks.push_back(std::move(b));
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
    for (const auto& b : blocks) {
        if (b.direction != Direction::ToHost) continue;
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

void RecordSplitter::feed(const std::uint8_t* data, std::size_t length,
                          std::vector<HostRecord>& out) {
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t b = data[i];
        switch (state_) {
            case State::Data:
                if (b == kIac)
                    state_ = State::Iac;
                else
                    record_.push_back(b);
                break;
            case State::Iac:
                state_ = State::Data;
                if (b == kIac) {
                    record_.push_back(kIac);
                } else if (b == kEor) {
                    endOfRecord(out);
                } else if (b == kSb) {
                    sub_.clear();
                    state_ = State::Sub;
                } else if (b == kWill || b == kWont || b == kDo || b == kDont) {
                    command_ = b;
                    state_ = State::Option;
                }
                break;
            case State::Option:
                if (b == kOptTn3270e && (command_ == kDont || command_ == kWont)) tn3270e_ = false;
                state_ = State::Data;
                break;
            case State::Sub:
                if (b == kIac)
                    state_ = State::SubIac;
                else
                    sub_.push_back(b);
                break;
            case State::SubIac:
                if (b == kSe) {
                    endOfSubnegotiation();
                    state_ = State::Data;
                } else {
                    sub_.push_back(b);
                    state_ = State::Sub;
                }
                break;
        }
    }
}

void RecordSplitter::endOfSubnegotiation() {
    // TN3270E DEVICE-TYPE IS (RFC 2355 section 8): TN3270E is in force.
    if (sub_.size() >= 3 && sub_[0] == kOptTn3270e && sub_[1] == 0x02 && sub_[2] == 0x04)
        tn3270e_ = true;
}

void RecordSplitter::endOfRecord(std::vector<HostRecord>& out) {
    HostRecord r;
    if (tn3270e_) {
        if (record_.size() >= 5) {
            r.origin.tn3270e = true;
            r.origin.dataType = record_[0];
            r.origin.sscpLu = record_[0] == 0x07;
            r.data.assign(record_.begin() + 5, record_.end());
            out.push_back(std::move(r));
        }
    } else {
        r.data = record_;
        out.push_back(std::move(r));
    }
    record_.clear();
}

void RecordSplitter::flush(std::vector<HostRecord>& out) {
    if (state_ == State::Data && !record_.empty()) endOfRecord(out);
}

std::vector<HostRecord> hostRecords(const std::vector<Block>& blocks) {
    RecordSplitter splitter;
    std::vector<HostRecord> out;
    for (const auto& b : blocks)
        if (b.direction == Direction::FromHost) splitter.feed(b.bytes.data(), b.bytes.size(), out);
    splitter.flush(out);
    return out;
}

}  // namespace cedar::recording
