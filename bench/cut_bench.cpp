// CUT-mode transfer on a 24 x 80 screen, without a host: how fast the
// protocol fills upload frames from a text file and decodes download frames
// into the PC file (bytes per second of PC data).
#include <benchmark/benchmark.h>

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "screen/code_pages.h"
#include "transfer/cut_codec.h"
#include "transfer/cut_protocol.h"

namespace {

using Data = std::vector<std::uint8_t>;

const cedar::CodePages& pages() {
    static const cedar::CodePages p = [] {
        cedar::CodePages c;
        for (int i = 0; i < 256; ++i) {
            const auto b = static_cast<std::uint8_t>(i);
            c.screenTable[b] = c.displayToHostTable[b] = c.transferTable[b] =
                c.transferToPcTable[b] = b;
        }
        return c;
    }();
    return p;
}

Data sampleText(std::size_t size) {
    const std::string_view line = "20191212.215716.957 Trace started [Version: c3270 v4.0alpha1]\n";
    Data d;
    while (d.size() < size)
        d.insert(d.end(), line.begin(), line.end());
    d.resize(size);
    return d;
}

struct EndlessFile : cedar::TransferFile {
    Data text = sampleText(1 << 16);
    std::size_t at = 0;
    std::optional<std::size_t> read(std::span<std::uint8_t> buffer) override {
        for (auto& b : buffer) {
            b = text[at];
            at = (at + 1) % text.size();
        }
        return buffer.size();
    }
    bool write(std::span<const std::uint8_t>) override { return true; }
    void close() override {}
    std::string errorText() const override { return {}; }
};

struct NullLink : cedar::TransferLink {
    std::size_t sent = 0;
    cedar::SessionStatus current = cedar::SessionStatus::TransferReady;
    void sendRecord(std::span<const std::uint8_t> r) override { sent += r.size(); }
    void resendLastRecord() override {}
    void pressPa1() override {}
    cedar::SessionStatus status() const override { return current; }
    void setStatus(cedar::SessionStatus s) override { current = s; }
    void progressLine(std::string_view) override {}
};

const Data kPrefix = {0xF5, 0xC2, 0x11, 0x5D, 0x7F, 0x11, 0x40, 0x40};

void BM_CutUploadFrames(benchmark::State& st) {
    cedar::TransferState state;
    state.hostType = cedar::TransferHostType::Cms;
    state.uploadLfToCrLf = true;
    state.file = std::make_unique<EndlessFile>();
    NullLink link;
    cedar::CutProtocol cut(state, link, pages());
    Data start = kPrefix, request = kPrefix;
    start.insert(start.end(), {0xC3, 0x81, 0x81, 0x81});
    request.insert(request.end(), {0xC2, 0x1D, 0xC1, 0xC1, 0x82});
    cut.offerRecord(start);
    for (auto _ : st)
        cut.offerRecord(request);
    st.SetBytesProcessed(static_cast<std::int64_t>(state.bytesTransferred));
}
BENCHMARK(BM_CutUploadFrames);

void BM_CutDownloadFrames(benchmark::State& st) {
    cedar::TransferState state;
    state.hostType = cedar::TransferHostType::Cms;
    state.file = std::make_unique<EndlessFile>();
    NullLink link;
    cedar::CutProtocol cut(state, link, pages());
    Data start = kPrefix, frame = kPrefix;
    start.insert(start.end(), {0xC3, 0x81, 0x81, 0x81});
    frame.insert(frame.end(), {0xC1, 0x1D, 0xC1, 0xC1, 0x82});
    cedar::cut::Encoder encoder;
    const Data text = sampleText(4000);
    const std::size_t room = cedar::CutProtocol::uploadCapacity(24 * 80) - 5;
    encoder.encode(text, room, frame);
    cut.offerRecord(start);
    for (auto _ : st)
        cut.offerRecord(frame);
    st.SetBytesProcessed(static_cast<std::int64_t>(state.bytesTransferred));
}
BENCHMARK(BM_CutDownloadFrames);

}  // namespace

BENCHMARK_MAIN();
