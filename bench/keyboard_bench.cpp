// A key press from the Qt event to the painted cell (offscreen): the key
// event through the keyboard adapter, the translation by the country tables
// and the keyboard map, the dispatcher typing the character, and the
// terminal view repainting the changed row and the cursor.
//   QT_QPA_PLATFORM=offscreen build/default/bench/cedar_bench_keyboard
// keyToPaint: press and release of a letter key, then the repaint of what
// changed; keyOnly: the same key through the core without painting.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <algorithm>

#include "display/qt/terminal_view.h"
#include "keyboard/qt/keyboard_files.h"
#include "keyboard/qt/keyboard_input.h"
#include "manual_scheduler.h"
#include "record_builder.h"
#include "sessionfile/standard_session.h"
#include "test_paths.h"

namespace {

using cedar::display::ViewOptions;
using cedar::display::qt::TerminalView;

struct Fixture {
    cedar::test::TestSession t;
    cedar::keys::KeyboardController controller{{t.session.screen, t.session.status,
                                                t.session.records, t.session.aid,
                                                t.session.keyboard, t.session.keyboardSettings}};
    cedar::CodePages tables;
    cedar::keys::LayoutBlock map{cedar::keys::LayoutType::Keyboard};
    cedar::keys::KeyInputSettings settings;
    cedar::test::ManualScheduler scheduler;
    cedar::keys::qt::KeyboardInput input{{controller, t.session.status, t.session.keyboard,
                                          t.session.keyboardSettings, map, tables, settings,
                                          nullptr, &scheduler}};
    std::unique_ptr<TerminalView> view;

    Fixture() {
        const std::string data = cedar::test::dataDir();
        cedar::keys::qt::loadSessionKeyboard({"/nonexistent", data, data + "/defaults"},
                                             "standard.key", "Germany/Austria 273", false, tables,
                                             map);
        // One input field over the whole screen but its first position.
        t.apply(cedar::test::RecordBuilder(cedar::cmd::kEraseWrite, 0xC3).sf(0x40).ic());
        view = std::make_unique<TerminalView>(
            t.session.screen, ViewOptions::load(cedar::sessionfile::standardSessionOptions()),
            cedar::display::CellSize{9, 18});
        view->setDrawAsFocused(true);
        view->show();
        QApplication::processEvents();
    }

    void key(QEvent::Type type) {
        // The physical Z key of a German keyboard, which types "y".
        QKeyEvent e(type, Qt::Key_Y, Qt::NoModifier, 44 + 8, 0, 0, "y");
        input.handleEvent(&e);
    }
    void paintChanges() {
        auto& changed = t.session.screen.changed();
        view->repaintDirtyRows(changed);
        view->cursorMoved();
        std::fill(changed.begin(), changed.end(), 0);
        view->repaint();
    }
    // The key typed "y" where the cursor was.
    bool typesY() {
        const int at = t.session.screen.cursor();
        key(QEvent::KeyPress);
        key(QEvent::KeyRelease);
        return t.session.screen.characters()[at] == 'y' && t.session.screen.cursor() == at + 1;
    }
    void keepRoom() {
        auto& ps = t.session.screen;
        if (ps.cursor() > ps.positions() - 2) ps.setCursor(1);
    }
};

void keyToPaint(benchmark::State& state) {
    Fixture f;
    if (!f.typesY()) state.SkipWithError("the key did not type its character");
    for (auto _ : state) {
        f.keepRoom();
        f.key(QEvent::KeyPress);
        f.key(QEvent::KeyRelease);
        f.paintChanges();
    }
}
BENCHMARK(keyToPaint)->Unit(benchmark::kMicrosecond);

void keyOnly(benchmark::State& state) {
    Fixture f;
    if (!f.typesY()) state.SkipWithError("the key did not type its character");
    for (auto _ : state) {
        f.keepRoom();
        f.key(QEvent::KeyPress);
        f.key(QEvent::KeyRelease);
    }
}
BENCHMARK(keyOnly)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
