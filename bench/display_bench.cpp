// Painting the terminal area (offscreen): a full repaint of a 24x80 and a
// 62x160 screen of real host data, one row, and a cursor move.
//   QT_QPA_PLATFORM=offscreen build/default/bench/cedar_bench_display
// A full repaint paints the back buffer and presents the whole widget; a row
// paints one row and presents it; a cursor move presents two cell-sized
// rectangles and paints no row (the "rows" counter stays 0).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <filesystem>

#include "display/qt/terminal_view.h"
#include "record_builder.h"
#include "recording.h"
#include "sessionfile/standard_session.h"
#include "test_paths.h"

namespace {

using cedar::display::CellSize;
using cedar::display::ViewOptions;
using cedar::display::qt::TerminalView;

constexpr CellSize kCell{9, 18};

// The ibmlink sign-on screen (a real host's 24x80 screen with fields and
// colours), or a crafted one when the recordings are absent.
void loadScreen(cedar::test::TestSession& t) {
    const auto dir = cedar::test::recordingsDir();
    const std::string path = dir ? *dir + "/ibmlink.trc" : std::string();
    if (!path.empty() && std::filesystem::exists(path)) {
        const auto blocks = cedar::recording::parseRecording(cedar::test::readFile(path));
        for (const auto& r : cedar::recording::hostRecords(blocks)) {
            if (r.origin.tn3270e && r.origin.dataType != 0) continue;
            t.session.records.processRecord(r.data, r.origin);
            if (t.ps().screenFormatted) break;  // the first screen
        }
        return;
    }
    auto& ps = t.ps();
    for (int p = 0; p < ps.positions(); ++p) {
        ps.characters()[static_cast<std::size_t>(p)] = static_cast<std::uint8_t>('A' + p % 26);
        if (p % 40 == 0) ps.attributes()[static_cast<std::size_t>(p)] = 0xE0 | (p % 3 == 0 ? 8 : 0);
    }
}

// A 62x160 screen tiled from the 24x80 one, planes and all.
void tile(const cedar::PresentationSpace& from, cedar::PresentationSpace& to) {
    for (int row = 0; row < to.rows(); ++row)
        for (int column = 0; column < to.columns(); ++column) {
            const auto src = static_cast<std::size_t>((row % from.rows()) * from.columns() +
                                                      column % from.columns());
            const auto dst = static_cast<std::size_t>(row * to.columns() + column);
            to.characters()[dst] = from.characters()[src];
            to.attributes()[dst] = from.attributes()[src];
            to.colors()[dst] = from.colors()[src];
            to.highlights()[dst] = from.highlights()[src];
            to.charsets()[dst] = from.charsets()[src];
        }
}

struct Fixture {
    cedar::test::TestSession base;
    std::unique_ptr<cedar::test::TestSession> big;
    std::unique_ptr<TerminalView> view;

    explicit Fixture(bool large) {
        loadScreen(base);
        cedar::PresentationSpace* ps = &base.ps();
        if (large) {
            cedar::ScreenSessionOptions o;
            o.modelIndex = 4;
            o.userRows = 62;
            o.userColumns = 160;
            big = std::make_unique<cedar::test::TestSession>(cedar::ScreenSettings{}, o);
            big->ps().eraseScreen(cedar::SizeMode::Alternate);
            tile(base.ps(), big->ps());
            ps = &big->ps();
        }
        view = std::make_unique<TerminalView>(
            *ps, ViewOptions::load(cedar::sessionfile::standardSessionOptions()), kCell);
        view->setDrawAsFocused(true);
        view->show();
        QApplication::processEvents();
    }
};

void fullRepaint(benchmark::State& state, bool large) {
    Fixture f(large);
    const int before = f.view->repaintedRowCount();
    for (auto _ : state) {
        f.view->repaintAll();
        f.view->repaint();
    }
    state.counters["rows"] = benchmark::Counter(f.view->repaintedRowCount() - before,
                                                benchmark::Counter::kAvgIterations);
}
BENCHMARK_CAPTURE(fullRepaint, 24x80, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(fullRepaint, 62x160, true)->Unit(benchmark::kMicrosecond);

void oneRow(benchmark::State& state) {
    Fixture f(false);
    const int before = f.view->repaintedRowCount();
    const int h = kCell.height;
    for (auto _ : state) {
        f.view->repaintRows(5, 5);
        f.view->repaint(0, 5 * h, f.view->width(), h);
    }
    state.counters["rows"] = benchmark::Counter(f.view->repaintedRowCount() - before,
                                                benchmark::Counter::kAvgIterations);
}
BENCHMARK(oneRow)->Unit(benchmark::kMicrosecond);

void cursorMove(benchmark::State& state) {
    Fixture f(false);
    auto& ps = const_cast<cedar::PresentationSpace&>(f.view->presentationSpace());
    const int before = f.view->repaintedRowCount();
    int address = 0;
    for (auto _ : state) {
        address = (address + 83) % ps.positions();
        ps.setCursor(address);
        f.view->cursorMoved();
        QApplication::processEvents();
    }
    state.counters["rows"] = benchmark::Counter(f.view->repaintedRowCount() - before,
                                                benchmark::Counter::kAvgIterations);
}
BENCHMARK(cursorMove)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
