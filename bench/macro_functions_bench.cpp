// The built-in functions a screen-scraping macro calls most: SCREEN of one
// row, ONSCREEN over the whole screen (found late and not found), and a text
// function, through the session's macro host as the interpreter calls it.
#include <benchmark/benchmark.h>

#include <vector>

#include "session/macro_functions.h"

namespace cedar {
namespace {

class NoFiles : public MacroFileSystem {
    std::unique_ptr<MacroFileStream> open(std::string_view, MacroFileMode) override {
        return nullptr;
    }
};
class NoClipboard : public MacroClipboard {
    std::optional<std::string> text() override { return std::nullopt; }
    void setText(std::string_view) override {}
};

struct Rig {
    Rig() {
        PresentationSpace& ps = session.screen;
        for (int p = 0; p < ps.positions(); ++p)
            ps.characters()[p] = static_cast<std::uint8_t>('A' + p % 23);
        ps.attributes()[0] = fa::kMarker | fa::kProtected;
        const int last = ps.positions() - 6;
        for (int i = 0; i < 5; ++i)
            ps.characters()[last + i] = static_cast<std::uint8_t>("READY"[i]);
    }
    MacroValue call(ReservedWord word, const std::vector<MacroValue>& args) {
        MacroValue result;
        host.callFunction(word, args, result);
        return result;
    }

    Session session;
    Settings settings;
    keys::KeyList keyList;
    NoFiles noFiles;
    NoClipboard noClipboard;
    MacroFiles files{noFiles, noClipboard};
    MacroControl control;
    SessionMacroHost host{session, nullptr, settings, keyList, [](keys::KeyWord) {},
                          files,   control};
};

void BM_ScreenRow(benchmark::State& state) {
    Rig rig;
    const std::vector<MacroValue> args = {MacroValue::ofNumber(12), MacroValue::ofNumber(1)};
    for (auto _ : state)
        benchmark::DoNotOptimize(rig.call(ReservedWord::Screen, args));
}
BENCHMARK(BM_ScreenRow);

void BM_OnScreenFoundAtTheEnd(benchmark::State& state) {
    Rig rig;
    const std::vector<MacroValue> args = {MacroValue::ofText("ready")};
    for (auto _ : state)
        benchmark::DoNotOptimize(rig.call(ReservedWord::OnScreen, args));
}
BENCHMARK(BM_OnScreenFoundAtTheEnd);

void BM_OnScreenNotFound(benchmark::State& state) {
    Rig rig;
    const std::vector<MacroValue> args = {MacroValue::ofText("NOT THERE")};
    for (auto _ : state)
        benchmark::DoNotOptimize(rig.call(ReservedWord::OnScreen, args));
}
BENCHMARK(BM_OnScreenNotFound);

void BM_Mid(benchmark::State& state) {
    Rig rig;
    const std::vector<MacroValue> args = {MacroValue::ofText("the quick brown fox jumps"),
                                          MacroValue::ofNumber(5), MacroValue::ofNumber(10)};
    for (auto _ : state)
        benchmark::DoNotOptimize(rig.call(ReservedWord::Mid, args));
}
BENCHMARK(BM_Mid);

}  // namespace
}  // namespace cedar

BENCHMARK_MAIN();
