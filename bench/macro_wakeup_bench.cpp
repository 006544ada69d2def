// The latency from the host's keyboard restore to the waiting macro's next
// statement: the record processor's restore event, the player's posted
// burst on the session's event loop, the WAITUNLOCKED evaluated again and
// the statement after it.
//   build/bench/bench/cedar_bench_macro_wakeup
#include <benchmark/benchmark.h>

#include "macro/macro_host.h"
#include "platform/event_loop.h"
#include "session/macro_runner.h"
#include "session/session.h"

namespace {

using namespace cedar;

// The statement after the wait locks the keyboard again, as a KEY would.
class LockingHost : public RecordingMacroHost {
  public:
    explicit LockingHost(Session& session) : session_(session) { recordLimit = 0; }
    MacroError callFunction(ReservedWord word, std::span<const MacroValue> args,
                            MacroValue& result) override {
        ++reached;
        session_.status = SessionStatus::SysLock;
        return RecordingMacroHost::callFunction(word, args, result);
    }
    std::int64_t reached = 0;

  private:
    Session& session_;
};

void BM_RestoreToNextStatement(benchmark::State& state) {
    Session session;
    EventLoop loop;
    MemoryMacroFiles files;
    LockingHost host(session);
    MacroRunnerUi ui;
    SessionMacroRunner runner(session, loop, files, host, ui);
    session.status = SessionStatus::SysLock;
    runner.runText("WHILE 1\r\nWAITUNLOCKED(100)\r\nBEEP(1, 1)\r\nENDWHILE\r\n");
    for (auto _ : state) {
        const std::int64_t before = host.reached;
        session.status = SessionStatus::Unlocked;
        session.records.hooks().events->keyboardRestored();
        while (host.reached == before)
            loop.runOnce(0);
    }
    if (runner.state() != 4) state.SkipWithError("the macro is not waiting");
}
BENCHMARK(BM_RestoreToNextStatement)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
