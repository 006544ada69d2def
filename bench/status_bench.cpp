// The status line's refresh, as the main window runs it after a cursor move:
// the session's inputs (the STATUSLINE template expanded), the composed
// buffer, the window title, and the status bar's repaint of the changed
// columns (offscreen).
//   QT_QPA_PLATFORM=offscreen build/default/bench/cedar_bench_status
#include <benchmark/benchmark.h>

#include <QApplication>
#include <ctime>

#include "display/qt/status_bar.h"
#include "session/status_view.h"

namespace {

using namespace cedar;

class Facts : public SessionFacts {};
class Identity : public SessionIdentity {
  public:
    int index() const override { return 0; }
};

struct Fixture {
    Session session;
    sessionfile::SessionOptions options;
    Identity identity;
    Facts facts;
    SystemVariables variables{session, options, identity, facts};
    std::tm now{};

    Fixture() {
        session.screen.eraseScreen(SizeMode::Default);
        session.status = SessionStatus::Unlocked;
        options.setText(sessionfile::Field::HostName, "mvs.example:23");
        options.setText(sessionfile::Field::StatusLine, "&HOSTNAME. %H:%M");
        options.setNumber(sessionfile::Field::RowColOnStatusLine, 1);
        options.setNumber(sessionfile::Field::ModifyColInIspfEdit, 1);
        now.tm_hour = 12;
    }
    void moveCursor(int step) {
        session.screen.setCursor((step * 83) % session.screen.positions());
    }
};

void composeLineAndTitle(benchmark::State& state) {
    Fixture f;
    display::StatusBuffer previous{};
    int step = 0;
    for (auto _ : state) {
        f.moveCursor(++step);
        const auto in = statusInputsOf(f.variables, {}, {}, f.now);
        const auto line = display::composeStatusLine(in);
        const auto runs = display::changedColumns(previous, line, in.width);
        const std::string title = windowTitleOf(f.variables, f.now);
        benchmark::DoNotOptimize(runs.data());
        benchmark::DoNotOptimize(title.data());
        previous = line;
    }
}
BENCHMARK(composeLineAndTitle)->Unit(benchmark::kMicrosecond);

void repaintChangedColumns(benchmark::State& state) {
    Fixture f;
    display::qt::StatusBar bar("IBM 3270", {9, 18});
    bar.resize(81 * 9, 26);
    bar.show();
    QApplication::processEvents();
    int step = 0;
    for (auto _ : state) {
        f.moveCursor(++step);
        bar.setLine(display::composeStatusLine(statusInputsOf(f.variables, {}, {}, f.now)), 80);
        for (const QRect& r : bar.lastInvalidated())
            bar.repaint(r);
    }
}
BENCHMARK(repaintChangedColumns)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
