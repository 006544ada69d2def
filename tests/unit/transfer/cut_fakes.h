// A PC file in memory and a session link that records what the CUT protocol
// sends, for driving the protocol with hand-made and recorded host frames.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "screen/code_pages.h"
#include "test_paths.h"
#include "transfer/transfer_state.h"

namespace cedar::test {

using Data = std::vector<std::uint8_t>;

inline const CodePages& cutPages() {
    static const CodePages pages = [] {
        CodePages p;
        loadCountryText(readFile(dataDir() + "/country.lst"), CountryMode::Screen,
                        {"037", "ANSI 1252", ""}, p);
        return p;
    }();
    return pages;
}

struct MemoryFile : TransferFile {
    Data content;  // what an upload reads
    std::size_t readAt = 0;
    std::size_t chunk = 700;  // the most one read returns
    bool failRead = false;
    Data written;  // what a download wrote
    bool failWrite = false;
    bool* closed = nullptr;

    std::optional<std::size_t> read(std::span<std::uint8_t> buffer) override {
        if (failRead) return std::nullopt;
        const std::size_t n = std::min({buffer.size(), chunk, content.size() - readAt});
        std::copy_n(content.begin() + static_cast<std::ptrdiff_t>(readAt), n, buffer.begin());
        readAt += n;
        return n;
    }
    bool write(std::span<const std::uint8_t> data) override {
        if (failWrite) return false;
        written.insert(written.end(), data.begin(), data.end());
        return true;
    }
    void close() override {
        if (closed != nullptr) *closed = true;
    }
    std::string errorText() const override { return "The disk is full"; }
};

struct RecordingLink : TransferLink {
    std::vector<Data> sent;
    int resends = 0;
    int pa1 = 0;
    SessionStatus current = SessionStatus::TransferReady;
    std::vector<std::string> lines;

    void sendRecord(std::span<const std::uint8_t> record) override {
        sent.emplace_back(record.begin(), record.end());
    }
    void resendLastRecord() override { ++resends; }
    void pressPa1() override { ++pa1; }
    SessionStatus status() const override { return current; }
    void setStatus(SessionStatus s) override { current = s; }
    void progressLine(std::string_view line) override { lines.emplace_back(line); }
};

}  // namespace cedar::test
