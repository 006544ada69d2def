// The operator functions that act on every session window. Each step is
// posted to the session it concerns, this one included, and that session
// carries it out on its own window when it reads the request; so a window
// is only ever moved, minimized or raised by its own process.
#include <QTimer>

#include "app/main_window.h"
#include "app/message_boxes.h"
#include "app/transfer_window.h"
#include "screen/session_status.h"

namespace cedar::app {

namespace {

int requestOf(area::WindowAction action) {
    switch (action) {
        case area::WindowAction::Activate:
            return request::kActivateWindow;
        case area::WindowAction::Minimize:
            return request::kMinimizeWindow;
        case area::WindowAction::Restore:
            return request::kRestoreWindow;
        case area::WindowAction::Maximize:
            return request::kMaximizeWindow;
        case area::WindowAction::Cascade:
            return request::kCascadeWindow;
        case area::WindowAction::Shutdown:
            return request::kShutdown;
    }
    return 0;
}

}  // namespace

bool MainWindow::transferOper(std::uint8_t code) {
    const auto oper = static_cast<keys::Oper>(code);
    if (oper == keys::Oper::TransferLog) {
        if (TransferWindows* windows = transferWindows()) windows->openLog();
        return true;
    }
    if (oper != keys::Oper::SendFile && oper != keys::Oper::ReceiveFile) return false;
    if (TransferWindows* windows = transferWindows())
        windows->open(oper == keys::Oper::SendFile ? TransferDirection::Upload
                                                   : TransferDirection::Download);
    return true;
}

TransferWindows* MainWindow::transferWindows() {
    if (transfers_ || !core_->control || !core_->keyboard) return transfers_.get();
    transfers_ = std::make_unique<TransferWindows>(*core_, this);
    // The macro that waits for its transfer goes on.
    transfers_->setMacroTransferEnded([this] {
        if (core_->macros) core_->macros->runner().interpreter().transferEnded();
    });
    return transfers_.get();
}

void MainWindow::oper(std::uint8_t code) {
    if (macroOper(code)) return;
    if (transferOper(code)) return;
    if (!area::isSessionOper(code) || !core_->identity) return;
    const auto oper = static_cast<area::SessionOper>(code);
    if (oper != area::SessionOper::ExitAll) {
        runSessionOper(oper);
        return;
    }
    AppCore& c = *core_;
    if (c.settings.wang != 0 && c.session->status >= SessionStatus::Connected) return;
    if (c.file.options.number(sessionfile::Field::AskBeforeClosing) == 0) {
        runSessionOper(oper);
        return;
    }
    askLater(this, "Cedar TN3270", "Ok to close all sessions ?", MessageIcon::Question,
             BoxButtons::OkCancel, [this, oper](BoxAnswer answer) {
                 if (answer == BoxAnswer::Ok) runSessionOper(oper);
             });
}

void MainWindow::runSessionOper(area::SessionOper oper) {
    AppCore& c = *core_;
    area::OperContext context;
    context.owners = c.identity->windowTable();
    context.ownIndex = c.identity->index();
    if (c.titles)
        if (auto states = c.titles->read(context.owners)) context.states = *states;
    const Settings& s = c.settings;
    context.cascade = {{s.cascadeStartX, s.cascadeStartY},
                       {s.cascadeNextX, s.cascadeNextY},
                       {s.cascadeRestartX, s.cascadeRestartY},
                       s.cascadeMax};
    auto& o = c.file.options;
    context.ownPosition = {static_cast<int>(o.number(sessionfile::Field::WindowLeft)),
                           static_cast<int>(o.number(sessionfile::Field::WindowTop))};
    const auto plan = area::planSessionOper(oper, context);
    if (plan.debugWindowMoves) {
        o.setNumber(sessionfile::Field::DebugWindowLeft, plan.debugWindow.x);
        o.setNumber(sessionfile::Field::DebugWindowTop, plan.debugWindow.y);
    }
    // Cascade leaves each window 50 ms to come forward before the next.
    const bool paced =
        oper == area::SessionOper::Cascade || oper == area::SessionOper::CascadeFromHere;
    int delay = 0;
    for (const auto& step : plan.steps) {
        const std::uint32_t pid = context.owners[static_cast<std::size_t>(step.index)];
        const platform::PostedRequest r{
            requestOf(step.action),
            step.action == area::WindowAction::Cascade ? area::packPoint(step.at) : 0,
            {}};
        if (!paced) {
            c.identity->area().post(pid, r);
            continue;
        }
        QTimer::singleShot(delay, this, [this, pid, r] {
            if (core_->identity) core_->identity->area().post(pid, r);
        });
        delay += 50;
    }
}

bool MainWindow::windowRequest(int code, std::uint64_t parameter) {
    switch (code) {
        case request::kActivateWindow:
            if (isMinimized())
                setWindowState(windowState() & ~Qt::WindowMinimized);
            else
                show();
            raise();
            activateWindow();
            return true;
        case request::kMinimizeWindow:
            showMinimized();
            return true;
        case request::kRestoreWindow:
            if (isMinimized())
                setWindowState(windowState() & ~Qt::WindowMinimized);
            else
                showNormal();
            return true;
        case request::kMaximizeWindow:
            showMaximized();
            return true;
        case request::kCascadeWindow: {
            if (windowState() != Qt::WindowNoState) showNormal();
            const auto at = area::unpackPoint(parameter);
            move(at.x, at.y);
            raise();
            activateWindow();
            return true;
        }
        default:
            return false;
    }
}

void MainWindow::publishWindowState() {
    AppCore& c = *core_;
    if (!c.titles || !c.identity || c.identity->index() == area::kNoIndex) return;
    c.titles->publish(c.identity->index(), windowTitle().toStdString(), isMinimized());
}

}  // namespace cedar::app
