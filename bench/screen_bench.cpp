// Applying host screens to a presentation space, repeated.
//   build/default/bench/cedar_bench_screen
// reports bytes/s (MB/s of record data) and items/s (records per second).
#include <benchmark/benchmark.h>

#include <filesystem>

#include "record_builder.h"
#include "recording.h"
#include "test_paths.h"

namespace {

using cedar::recording::HostRecord;

void applyAll(benchmark::State& state, const std::vector<HostRecord>& records, int model) {
    cedar::ScreenSessionOptions options;
    options.modelIndex = model - 2;
    cedar::test::TestSession t({}, options);
    std::size_t bytes = 0;
    for (const auto& r : records)
        bytes += r.data.size();
    for (auto _ : state) {
        for (const auto& r : records)
            t.session.records.processRecord(r.data, r.origin);
        benchmark::DoNotOptimize(t.ps().characters().data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(records.size()));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}

std::vector<HostRecord> screenRecords(const std::string& path) {
    const auto blocks = cedar::recording::parseRecording(cedar::test::readFile(path));
    std::vector<HostRecord> out;
    for (auto& r : cedar::recording::hostRecords(blocks)) {
        // Only 3270 write records: the screens a user sees.
        if (r.data.empty() || (r.origin.tn3270e && r.origin.dataType != 0)) continue;
        const auto c = r.data[0];
        if (c == 0xF5 || c == 0x05 || c == 0x7E || c == 0x0D || c == 0xF1 || c == 0x01)
            out.push_back(std::move(r));
    }
    return out;
}

// A full 24x80 screen of text in 24 protected fields with one input field.
std::vector<HostRecord> craftedFullScreen() {
    cedar::test::RecordBuilder b(0xF5, 0xC3);
    for (int row = 0; row < 24; ++row) {
        b.sba(row * 80).sf(row == 22 ? 0x40 : 0x60);
        b.text(std::string(79, static_cast<char>('A' + row % 26)));
    }
    b.sba(22 * 80 + 1).ic();
    return {HostRecord{b.bytes(), {}}};
}

void registerRecording(const std::string& name, int model) {
    const auto dir = cedar::test::recordingsDir();
    if (!dir) return;
    const std::string path = *dir + "/" + name;
    if (!std::filesystem::exists(path)) return;
    auto records = screenRecords(path);
    if (records.empty()) return;
    benchmark::RegisterBenchmark(
        ("ApplyScreens/" + name).c_str(),
        [records, model](benchmark::State& s) { applyAll(s, records, model); });
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::RegisterBenchmark("ApplyScreens/crafted-24x80-full", [](benchmark::State& s) {
        static const auto records = craftedFullScreen();
        applyAll(s, records, 2);
    });
    benchmark::RegisterBenchmark("ApplyScreens/sample-welcome", [](benchmark::State& s) {
        static const auto records = screenRecords(CEDAR_BENCH_SAMPLE);
        applyAll(s, records, 2);
    });
    registerRecording("ibmlink.trc", 2);
    registerRecording("ibmlink_help.trc", 2);
    registerRecording("login.trc", 4);
    registerRecording("sruvm.trc", 4);
    registerRecording("vampstream.txt", 2);
    registerRecording("all_chars.trc", 4);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
