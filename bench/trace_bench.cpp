// The cost of tracing: full-screen records through the session's link
// (Telnet layer, record processor, trace) with the trace off and on, the
// trace written to a file in a temporary folder.
//   build/default/bench/cedar_bench_trace
#include <benchmark/benchmark.h>

#include <filesystem>

#include "fake_connector.h"
#include "manual_scheduler.h"
#include "platform/trace_files.h"
#include "record_builder.h"
#include "session/host_link.h"

namespace {

using namespace cedar;

// 50 full 24x80 screens, each framed with IAC EOR, in one block stream.
std::vector<std::uint8_t> screens() {
    std::vector<std::uint8_t> stream;
    for (int s = 0; s < 50; ++s) {
        test::RecordBuilder b(0xF5, 0xC3);
        for (int row = 0; row < 24; ++row) {
            b.sba(row * 80).sf(0x60);
            b.text(std::string(79, static_cast<char>('A' + (row + s) % 26)));
        }
        stream.insert(stream.end(), b.bytes().begin(), b.bytes().end());
        stream.insert(stream.end(), {0xFF, 0xEF});
    }
    return stream;
}

void run(benchmark::State& state, bool tracing) {
    test::TestSession t;
    test::FakeConnector connector;
    test::ManualScheduler scheduler;
    LinkUi ui;
    HostLink link(t.session, connector, scheduler, ui);
    const auto dir = std::filesystem::temp_directory_path() / "cedar-trace-bench";
    platform::FolderTraceSink sink(dir.string());
    platform::LocalTraceClock clock;
    Trace trace(sink, clock, 'Z');
    link.setTrace(&trace);
    if (tracing) trace.start();
    ConnectionOptions options;
    options.host = "bench";
    link.connect(options, {});
    connector.up();
    connector.receive({0xFF, 0xFD, 25});  // DO END-OF-RECORD: 3270 mode
    const auto stream = screens();
    for (auto _ : state) {
        // Blocks of 8000 bytes, as the connection hands them over.
        for (std::size_t i = 0; i < stream.size(); i += 8000) {
            const std::size_t n = std::min<std::size_t>(8000, stream.size() - i);
            connector.receive({stream.begin() + static_cast<std::ptrdiff_t>(i),
                               stream.begin() + static_cast<std::ptrdiff_t>(i + n)});
        }
    }
    trace.stop();
    state.SetItemsProcessed(state.iterations() * 50);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(stream.size()));
    std::filesystem::remove_all(dir);
}

void TraceOff(benchmark::State& state) {
    run(state, false);
}
void TraceOn(benchmark::State& state) {
    run(state, true);
}
BENCHMARK(TraceOff);
BENCHMARK(TraceOn);

}  // namespace

BENCHMARK_MAIN();
