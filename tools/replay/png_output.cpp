#include "png_output.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <cstdlib>

#include "display/qt/terminal_view.h"
#include "sessionfile/standard_session.h"

namespace cedar::replay {

bool writeScreenPng(const PresentationSpace& ps, display::CellSize cell, const std::string& path,
                    std::string& error) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "cedar_replay";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);

    const auto options = display::ViewOptions::load(sessionfile::standardSessionOptions());
    display::qt::TerminalView view(ps, options, cell);
    if (!view.fontValid()) {
        error = "the face \"" + options.trueTypeFace + "\" cannot be loaded";
        return false;
    }
    view.setDrawAsFocused(true);
    const QImage image = view.grab().toImage();
    if (!image.save(QString::fromStdString(path), "PNG")) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace cedar::replay
