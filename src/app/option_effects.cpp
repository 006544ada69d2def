// What follows a macro's SETOPTION in the window. The change is already in
// the record in force; the window takes it in after the macro's current
// slice, so that no message box or reload runs inside a statement.
//
// Carried out: the reconnect with its message, the status line, repaints
// with the view's options read again, the colours, the code-page tables,
// the keyboard file, the layout and a new cell size. Not yet: the screen
// history, the tool bar and the keypad, which this program does not have
// yet; their options change the record only.
#include <QScreen>

#include "app/app_core.h"
#include "app/main_window.h"
#include "app/message_boxes.h"
#include "display/view_options.h"

namespace cedar::app {

sessionfile::OptionCellSize MainWindow::cellSize() const {
    if (view_ == nullptr) return {};
    return {view_->cellSize().width, view_->cellSize().height};
}

void MainWindow::optionChanged(const sessionfile::OptionRow& row,
                               const sessionfile::OptionValue& value) {
    // The keyboard's options (type-ahead, auto-skip, ...) are copies: take them again.
    core_->session->applyKeyboardSettings(core_->file.options, core_->settings);
    const auto action = row.action;
    scheduler_.post([this, action, value] { applyOptionAction(action, value); });
}

void MainWindow::applyOptionAction(sessionfile::OptionAction action,
                                   const sessionfile::OptionValue& value) {
    using A = sessionfile::OptionAction;
    AppCore& c = *core_;
    if (view_ == nullptr || closing_) return;
    switch (action) {
        case A::None:
        case A::History:
        case A::ToolBar:
        case A::Keypad:
            break;
        case A::Reconnect:
            askLater(this, std::string(sessionfile::kReconnectTitle),
                     std::string(sessionfile::kReconnectMessage), MessageIcon::Warning,
                     BoxButtons::Ok, [this](BoxAnswer) {
                         if (core_->driver && !closing_) core_->driver->reconnectInForce();
                     });
            break;
        case A::StatusLine:
            refreshStatus();
            break;
        case A::Repaint:
            view_->setOptions(display::ViewOptions::load(c.file.options));
            view_->repaintAll();
            break;
        case A::Colours:
            view_->setOptions(display::ViewOptions::load(c.file.options));
            applyColors();
            view_->repaintAll();
            refreshStatus();
            break;
        case A::CodePage:
            if (loadCountry()) view_->repaintAll();
            break;
        case A::Keyboard:
            loadKeyboardMap();
            break;
        case A::Layout:
            view_->setOptions(display::ViewOptions::load(c.file.options));
            fitFontToWindow();
            fitWindowToFont();
            break;
        case A::WindowSize: {
            const auto* text = std::get_if<std::string>(&value);
            const auto cell = text ? sessionfile::parseCellSize(*text) : std::nullopt;
            if (!cell) break;
            if (isMaximized() || isMinimized()) showNormal();
            view_->setCellSize({cell->width, cell->height});
            // The window takes the size the terminal needs at that cell.
            const auto layout = display::layoutWindow(windowMetrics(), {}, layoutRequest(true));
            if (layout.windowSize) resize(layout.windowSize->width, layout.windowSize->height);
            break;
        }
    }
}

}  // namespace cedar::app
