// DFT transfers on the client side: the host's Get and Insert records
// through the session's link (Telnet layer, record processor, structured
// fields, the transfer session, framing and the send path) on a fake
// connection, and the transfer session alone on a link that only counts.
// Files are in memory, so what is measured is our processing per block,
// at the session file's default block size (2,500) and the largest
// (25,000).
//   build/default/bench/cedar_bench_transfer
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "fake_connector.h"
#include "manual_scheduler.h"
#include "record_builder.h"
#include "session/host_link.h"
#include "transfer/transfer_session.h"

namespace {

using namespace cedar;
using ByteVector = std::vector<std::uint8_t>;

ByteVector textLike(std::size_t n) {
    ByteVector data(n);
    for (std::size_t i = 0; i < n; ++i)
        data[i] = static_cast<std::uint8_t>(i % 61 == 60 ? '\n' : 'a' + i % 26);
    return data;
}

// An endless file of text-like bytes; writes are dropped.
class EndlessFile : public TransferFile {
  public:
    std::optional<std::size_t> read(std::span<std::uint8_t> buffer) override {
        if (pattern_.size() < buffer.size()) pattern_ = textLike(buffer.size());
        std::copy_n(pattern_.begin(), buffer.size(), buffer.begin());
        return buffer.size();
    }
    bool write(std::span<const std::uint8_t> data) override {
        benchmark::DoNotOptimize(data.data());
        return true;
    }
    void close() override {}
    std::string errorText() const override { return {}; }

  private:
    ByteVector pattern_;
};

void startTransfer(TransferState& t, TransferDirection direction, int blockSize) {
    t = TransferState{};
    t.direction = direction;
    t.blockSize = blockSize;
    t.uploadBinary = t.downloadBinary = false;  // text: the tables are applied
    t.file = std::make_unique<EndlessFile>();
}

// Every block went through whole.
void checkCount(benchmark::State& state, const TransferState& t) {
    if (t.bytesTransferred != static_cast<std::uint64_t>(state.iterations() * state.range(0)))
        state.SkipWithError("the transfer did not take every block");
}

ByteVector field(std::initializer_list<std::uint8_t> body, const ByteVector& data = {}) {
    ByteVector f{0x00, 0x00, 0xD0};
    f.insert(f.end(), body);
    f.insert(f.end(), data.begin(), data.end());
    f[0] = static_cast<std::uint8_t>(f.size() >> 8);
    f[1] = static_cast<std::uint8_t>(f.size());
    return f;
}

ByteVector insertField(int size) {
    const ByteVector data = textLike(static_cast<std::size_t>(size));
    const std::size_t mm = data.size() + 5;
    return field({0x47, 0x04, 0xC0, 0x80, 0x61, static_cast<std::uint8_t>(mm >> 8),
                  static_cast<std::uint8_t>(mm)},
                 data);
}

// One host record as TSO sends it: Write Structured Field with an Outbound
// 3270DS write first, then the transfer fields, framed with IAC EOR.
ByteVector hostRecord(const std::vector<ByteVector>& fields) {
    ByteVector r{0xF3, 0x00, 0x06, 0x40, 0x00, 0xF1, 0xC2};
    for (const auto& f : fields)
        r.insert(r.end(), f.begin(), f.end());
    ByteVector framed;
    for (std::uint8_t b : r) {
        framed.push_back(b);
        if (b == 0xFF) framed.push_back(0xFF);
    }
    framed.insert(framed.end(), {0xFF, 0xEF});
    return framed;
}

const ByteVector kGet = field({0x46, 0x11, 0x01, 0x04, 0x00, 0x80});
const ByteVector kSetCursor =
    field({0x45, 0x11, 0x01, 0x05, 0x00, 0x06, 0x00, 0x09, 0x05, 0x01, 0x03, 0x00});
const ByteVector kBeforeInsert = field({0x47, 0x11, 0x01, 0x05, 0x00, 0x80, 0x00});

void throughLink(benchmark::State& state, TransferDirection direction) {
    const int blockSize = static_cast<int>(state.range(0));
    test::TestSession t;
    test::FakeConnector connector;
    test::ManualScheduler scheduler;
    LinkUi ui;
    HostLink link(t.session, connector, scheduler, ui);
    ConnectionOptions options;
    options.host = "bench";
    link.connect(options, {});
    connector.up();
    connector.receive({0xFF, 0xFD, 25});  // DO END-OF-RECORD: 3270 mode
    startTransfer(t.session.transfer, direction, blockSize);
    t.session.status = SessionStatus::TransferData;
    const ByteVector record = direction == TransferDirection::Upload
                                  ? hostRecord({kSetCursor, kGet})
                                  : hostRecord({kBeforeInsert, insertField(blockSize)});
    for (auto _ : state) {
        connector.receive(record);
        connector.current->sent.clear();
    }
    checkCount(state, t.session.transfer);
    state.SetBytesProcessed(state.iterations() * blockSize);
}

class CountingLink : public TransferLink {
  public:
    void sendRecord(std::span<const std::uint8_t> record) override { bytes += record.size(); }
    void resendLastRecord() override {}
    void pressPa1() override {}
    SessionStatus status() const override { return SessionStatus::TransferData; }
    void setStatus(SessionStatus) override {}
    void progressLine(std::string_view line) override { bytes += line.size(); }
    std::size_t bytes = 0;
};

void sessionAlone(benchmark::State& state, TransferDirection direction) {
    const int blockSize = static_cast<int>(state.range(0));
    test::TestSession t;  // the country file's transfer tables
    TransferState transfer;
    CountingLink link;
    TransferSession session(transfer, link, t.session.codePages);
    startTransfer(transfer, direction, blockSize);
    const ByteVector f = direction == TransferDirection::Upload ? kGet : insertField(blockSize);
    for (auto _ : state)
        session.processDftField(f);
    checkCount(state, transfer);
    state.SetBytesProcessed(state.iterations() * blockSize);
}

void DftUploadThroughLink(benchmark::State& s) {
    throughLink(s, TransferDirection::Upload);
}
void DftDownloadThroughLink(benchmark::State& s) {
    throughLink(s, TransferDirection::Download);
}
void DftUploadSession(benchmark::State& s) {
    sessionAlone(s, TransferDirection::Upload);
}
void DftDownloadSession(benchmark::State& s) {
    sessionAlone(s, TransferDirection::Download);
}
BENCHMARK(DftUploadThroughLink)->Arg(2500)->Arg(25000);
BENCHMARK(DftDownloadThroughLink)->Arg(2500)->Arg(25000);
BENCHMARK(DftUploadSession)->Arg(2500)->Arg(25000);
BENCHMARK(DftDownloadSession)->Arg(2500)->Arg(25000);

}  // namespace

BENCHMARK_MAIN();
