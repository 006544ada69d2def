// cedar_tn3270: one terminal session in a window.
#include <QApplication>
#include <QGuiApplication>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/app_core.h"
#include "app/main_window.h"
#include "platform/files.h"
#include "session/command_line.h"

int main(int argc, char** argv) {
    // Moving and raising windows needs X11; prefer it where an X display is.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");

    const std::vector<std::string> args(argv + 1, argv + argc);
    auto core =
        cedar::app::coreFromArguments(args, cedar::platform::programDataFolder(CEDAR_DATA_DIR));
    // --help and --version answer without a window.
    if (core->line.help) {
        std::fputs(cedar::kCommandLineUsage, stdout);
        return 0;
    }
    if (core->line.version) {
        std::puts("cedar_tn3270 1.30");
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName("Cedar TN3270");
    QGuiApplication::setDesktopFileName("cedar-tn3270");

    cedar::app::MainWindow window(std::move(core));
    if (const int stop = window.create(); stop != 0) return stop;
    window.showAsSaved();
    const int code = QApplication::exec();
    return window.exitCode().value_or(code);
}
