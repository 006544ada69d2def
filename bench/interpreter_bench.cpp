// Macro interpreter throughput: statements executed per second in a tight
// loop of assignments and in a loop of screen reads.
//   build/bench/bench/cedar_bench_interpreter
// reports statements/s (counted by the interpreter's once-per-statement
// Break check).
#include <benchmark/benchmark.h>

#include <string>

#include "macro/interpreter.h"
#include "macro/macro_host.h"

namespace {

using namespace cedar;

class BenchEnvironment : public MacroEnvironment {
  public:
    MemoryMacroFiles files;
    std::int64_t statements = 0;

    const MacroFileSource& macroFiles() override { return files; }
    void startWaitTimer(std::chrono::milliseconds) override {}
    void stopWaitTimer() override {}
    bool keyboardUnlocked() override { return true; }
    void postBurst() override {}
    bool breakRequested() override {
        ++statements;
        return false;
    }
    void reportError(const MacroErrorReport& report) override { failed = report.message; }
    std::string failed;
};

void runLoop(benchmark::State& state, const std::string& text) {
    BenchEnvironment env;
    RecordingMacroHost host;
    host.recordLimit = 0;
    host.results[ReservedWord::Screen] = MacroValue::ofText(std::string(80, 'A'));
    VariableTable variables;
    MacroInterpreter interpreter(env, host, variables);
    for (auto _ : state) {
        interpreter.runMacroText(text);
        if (!env.failed.empty()) {
            state.SkipWithError(env.failed.c_str());
            return;
        }
    }
    state.counters["statements/s"] =
        benchmark::Counter(static_cast<double>(env.statements), benchmark::Counter::kIsRate);
}

void BM_AssignmentLoop(benchmark::State& state) {
    runLoop(state,
            "i = 0\r\nWHILE i < 10000\r\n  i = i + 1\r\n  x = i * 2 - 1\r\n"
            "  name = \"row\"\r\nENDWHILE\r\n");
}
BENCHMARK(BM_AssignmentLoop)->Unit(benchmark::kMillisecond);

void BM_ForLoopOfScreenReads(benchmark::State& state) {
    runLoop(state, "FOR i = 1 TO 10000\r\n  row = SCREEN(1, 1, 80)\r\nNEXT i\r\n");
}
BENCHMARK(BM_ForLoopOfScreenReads)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
