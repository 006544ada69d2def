#include "app/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QWheelEvent>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <span>

#include "app/message_boxes.h"
#include "app/session_dialog_flow.h"
#include "app/transfer_window.h"
#include "display/qt/tls_info_dialog.h"
#include "host/qt/certificate_trust_dialog.h"
#include "platform/files.h"
#include "platform/tls_library.h"
#include "screen/code_pages.h"
#include "screen/session_status.h"
#include "session/status_view.h"

namespace cedar::app {

namespace {

constexpr int kFitDelayMs = 200;         // after the last resize event
constexpr int kActivationClickMs = 300;  // a press this soon after activation activated
constexpr const char* kInitialTitle = "Cedar 3270 Terminal Emulator";
constexpr QSize kSmallestWindow{200, 150};  // a saved size below this is not used
constexpr display::CellSize kDefaultCell{12, 24};

BoxButtons buttonsOf(MessageButtons b) {
    switch (b) {
        case MessageButtons::OkCancel:
            return BoxButtons::OkCancel;
        case MessageButtons::RetryCancel:
            return BoxButtons::RetryCancel;
        case MessageButtons::Ok:
            break;
    }
    return BoxButtons::Ok;
}

MessageAnswer driverAnswer(BoxAnswer a) {
    switch (a) {
        case BoxAnswer::Ok:
        case BoxAnswer::Yes:
            return MessageAnswer::Ok;
        case BoxAnswer::Retry:
            return MessageAnswer::Retry;
        default:
            return MessageAnswer::Cancel;
    }
}

}  // namespace

MainWindow::MainWindow(std::unique_ptr<AppCore> core) : core_(std::move(core)) {
    setWindowTitle(kInitialTitle);
    setAttribute(Qt::WA_InputMethodEnabled, false);  // dead keys arrive composed by the system
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(true);
    fitTimer_.setSingleShot(true);
    fitTimer_.setInterval(kFitDelayMs);
    connect(&fitTimer_, &QTimer::timeout, this, [this] { fitWindowToFont(); });
}

MainWindow::~MainWindow() {
    // The transfer dialogs listen to the link: they go first. Then the
    // driver and the link, which report to this window.
    transfers_.reset();
    if (core_) {
        core_->driver.reset();
        core_->keyInput.reset();
        core_->macros.reset();
        core_->keyboard.reset();
        core_->control.reset();
        if (core_->session) core_->session->screen.setListener(nullptr);
    }
}

void MainWindow::showAsSaved() {
    const auto& o = core_->file.options;
    if (o.number(sessionfile::Field::WindowState) == 2)
        showMaximized();
    else
        show();
    activateWindow();
    raise();
}

// The window.

void MainWindow::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (!created_ || firstPaintDone_) return;
    firstPaintDone_ = true;
    // The first connection, once the window shows: the session given on the
    // command line (or a session file of a real host) connects at once, any
    // other start asks through the SESSION dialog.
    scheduler_.post([this] {
        if (core_->driver) core_->driver->connect(ConnectMode::User);
    });
}

bool MainWindow::event(QEvent* event) {
    // Keys (Tab included), shortcuts, the wheel and focus go to the keyboard
    // first, so that the keyboard map, not Qt's focus chain, has them.
    if (created_ && core_->keyInput) {
        const auto type = event->type();
        if (type == QEvent::FocusIn) QWidget::event(event);
        if (core_->keyInput->handleEvent(event)) {
            if (type == QEvent::KeyPress || type == QEvent::KeyRelease || type == QEvent::Wheel) {
                refreshScreen();
                refreshStatus();
            }
            return true;
        }
    }
    return QWidget::event(event);
}

bool MainWindow::focusNextPrevChild(bool) {
    return false;  // Tab and Backtab are the terminal's keys
}

void MainWindow::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    if (!created_) return;
    activatedAtMs_ = scheduler_.nowMs();
    if (core_->file.options.number(sessionfile::Field::MoveCursorOnActivate) == 0)
        ignoreNextClick_ = true;
    view_->update();
}

void MainWindow::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    if (!created_) return;
    view_->update();
    // Options changed in this session are kept (automatic save).
    if (core_->sessionLoaded && core_->file.changed())
        core_->store->save(core_->file, sessionfile::SaveMode::SaveIfChanged, false);
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
    // On X11 a click on the frame is not seen: a press soon after the window
    // was activated is the click that activated it.
    if (ignoreNextClick_ && activatedAtMs_ >= 0 &&
        scheduler_.nowMs() - activatedAtMs_ <= kActivationClickMs) {
        ignoreNextClick_ = false;
        event->accept();
        return;
    }
    ignoreNextClick_ = false;
    QWidget::mousePressEvent(event);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!created_) return;
    if (!isMaximized() && !isMinimized() && firstPaintDone_) {
        auto& o = core_->file.options;
        o.setNumber(sessionfile::Field::WindowWidth, frameGeometry().width());
        o.setNumber(sessionfile::Field::WindowHeight, frameGeometry().height());
    }
    fitFontToWindow();
    // Once the user stops dragging, the window takes the font's size.
    if (!isMaximized() && !isFullScreen()) fitTimer_.start();
}

void MainWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (!created_ || !firstPaintDone_ || isMaximized() || isMinimized()) return;
    auto& o = core_->file.options;
    o.setNumber(sessionfile::Field::WindowLeft, frameGeometry().x());
    o.setNumber(sessionfile::Field::WindowTop, frameGeometry().y());
}

void MainWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (created_ && event->type() == QEvent::WindowStateChange)
        core_->file.options.setNumber(sessionfile::Field::WindowState, isMaximized() ? 2 : 0);
    if (event->type() == QEvent::WindowStateChange || event->type() == QEvent::WindowTitleChange)
        publishWindowState();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The session driver decides (the close question, the save, the end).
    event->ignore();
    if (!created_ || !core_->driver) {
        quit(0);
        return;
    }
    if (!closing_) scheduler_.post([this] { core_->driver->close(); });
}

// Sizes.

const PresentationSpace& MainWindow::ps() const {
    return core_->session->screen;
}

display::WindowMetrics MainWindow::windowMetrics() const {
    display::WindowMetrics window;
    window.windowWidth = width();
    window.windowHeight = height();
    window.clientWidth = width();
    window.clientHeight = height();
    window.toolBarHeight = 0;  // no tool bar yet
    window.menuBarShown = false;
    window.maximized = isMaximized();
    return window;
}

display::LayoutRequest MainWindow::layoutRequest(bool sizeWindowToFont) const {
    const auto& o = core_->file.options;
    display::LayoutRequest request;
    request.cell = view_->cellSize();
    request.columns = ps().columns();
    request.rows = ps().rows();
    request.sizeWindowToFont = sizeWindowToFont;
    request.scalable = true;
    request.borderSize = static_cast<int>(o.number(sessionfile::Field::BorderSize));
    return request;
}

void MainWindow::fitFontToWindow() {
    const display::WindowMetrics window = windowMetrics();
    display::CellRequest request;
    request.columns = ps().columns();
    request.rows = ps().rows();
    request.borderSize = layoutRequest(false).borderSize;
    request.fixedCell = view_->options().fixedCell;
    display::CellSize cell;
    if (request.fixedCell)
        cell = *request.fixedCell;
    else if (width() < kSmallestWindow.width() || height() < kSmallestWindow.height())
        cell = display::kFallbackCell;  // not laid out yet
    else
        cell = display::chooseScalableCell(window, request, std::nullopt, display::FontLimits{});
    if (cell != view_->cellSize()) view_->setCellSize(cell);
    const auto layout = display::layoutWindow(window, {}, layoutRequest(false));
    view_->setGeometry(layout.terminal.x, layout.terminal.y, layout.terminalWidth,
                       layout.terminalHeight);
    statusArea_ = QRect(layout.statusBar.x, layout.statusBar.y, layout.statusBar.width,
                        layout.statusBar.height);
    if (statusBar_) {
        statusBar_->setCellSize(cell);
        statusBar_->setLeftOffset(layout.terminal.x);
        statusBar_->setGeometry(statusArea_);
        refreshStatus();
    }
}

void MainWindow::fitWindowToFont() {
    if (isMaximized() || isFullScreen()) return;
    if (core_->file.options.number(sessionfile::Field::SizeWindowToFont) == 0) return;
    const auto layout = display::layoutWindow(windowMetrics(), {}, layoutRequest(true));
    if (!layout.windowSize) return;
    const QSize wanted(layout.windowSize->width, layout.windowSize->height);
    if (wanted != size()) resize(wanted);
}

void MainWindow::checkSavedPosition() {
    auto& o = core_->file.options;
    const int x = static_cast<int>(o.number(sessionfile::Field::WindowLeft));
    const int y = static_cast<int>(o.number(sessionfile::Field::WindowTop));
    const int w = static_cast<int>(o.number(sessionfile::Field::WindowWidth));
    const int h = static_cast<int>(o.number(sessionfile::Field::WindowHeight));
    QScreen* screen = QGuiApplication::screenAt(QPoint(x + w / 2, y + h / 2));
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect area = screen->geometry();
    QPoint at(x, y);
    // A second window on the same session file comes to rest beside the first.
    if (core_->sameFileCount > 0) at += QPoint(core_->settings.cascadeX, core_->settings.cascadeY);
    if (!area.contains(at)) {
        // Off every screen: 22 pixels in from the nearest screen's corner.
        at = area.topLeft() + QPoint(22, 22);
        o.setNumber(sessionfile::Field::WindowLeft, at.x());
        o.setNumber(sessionfile::Field::WindowTop, at.y());
        if (core_->sessionLoaded)
            core_->store->save(core_->file, sessionfile::SaveMode::Save, true);
    }
    move(at);
    // The saved size, or a comfortable one the font is then fitted to.
    if (w >= kSmallestWindow.width() && h >= kSmallestWindow.height())
        resize(w, h);
    else
        resize(kDefaultCell.width * ps().columns(), kDefaultCell.height * (ps().rows() + 1));
}

// The screen.

bool MainWindow::hostScreenShown() const {
    const auto status = core_->session->status;
    if (status < SessionStatus::Connected || status == SessionStatus::Rejected) return false;
    const auto& chars = ps().characters();
    return std::any_of(chars.begin(), chars.begin() + ps().positions(),
                       [](std::uint8_t c) { return c != 0 && c != ' '; });
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // CEDAR_TIMING: the wall-clock time at which the first host screen was
    // painted, for the start-up benchmark (bench/startup_bench.sh).
    if (watched == view_ && event->type() == QEvent::Paint && firstScreenPending_ &&
        hostScreenShown()) {
        firstScreenPending_ = false;
        view_->removeEventFilter(this);
        QTimer::singleShot(0, this, [] {
            const auto now = std::chrono::system_clock::now().time_since_epoch();
            std::fprintf(stderr, "timing: first host screen painted at %lld us\n",
                         static_cast<long long>(
                             std::chrono::duration_cast<std::chrono::microseconds>(now).count()));
            std::fflush(stderr);
        });
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::refreshScreen() {
    auto& ps = core_->session->screen;
    view_->repaintDirtyRows(ps.changed());
    ps.changed().fill(0);
}

void MainWindow::cursorMoved() {
    if (view_) view_->cursorMoved();
}

void MainWindow::sizeChanged(SizeMode, SizeMode) {
    if (!view_) return;
    view_->repaintAll();
    fitFontToWindow();
    fitWindowToFont();
}

void MainWindow::invalidateAll() {
    if (view_) view_->repaintAll();
}

// What the session driver asks of the window.

void MainWindow::showMessage(const DriverMessage& message) {
    askLater(this, message.title, message.text, message.icon, buttonsOf(message.buttons),
             [this](BoxAnswer answer) {
                 if (core_->driver) core_->driver->answer(driverAnswer(answer));
             });
}

void MainWindow::openSessionDialog(const std::string& rememberedSessionFile) {
    runSessionDialog(
        this, *core_, rememberedSessionFile,
        [this](bool connect, const std::string& file) { sessionDialogDone(connect, file); });
}

bool MainWindow::askTrustCertificate(const CertificateDetails& details) {
    auto answer = [this](bool trust) {
        if (core_->driver) core_->driver->answerTrust(trust);
    };
    if (qEnvironmentVariableIsSet("CEDAR_MESSAGE_BOXES")) {
        // Observable like a message box; the default button is Cancel.
        askLater(this, "Trust this certificate?", certificateDetailsText(details),
                 MessageIcon::Question, BoxButtons::NoYes,
                 [answer](BoxAnswer a) { answer(a == BoxAnswer::Yes); });
        return true;
    }
    gui::CertificateTrustDialog::ask(this, details, answer);
    return true;
}

void MainWindow::sessionDialogDone(bool connect, const std::string& sessionFile) {
    if (connect) {
        // A new session file may ask for another screen size.
        core_->session->applySizeOptions();
        view_->setOptions(display::ViewOptions::load(core_->file.options));
    }
    core_->driver->sessionDialogClosed(connect, sessionFile);
}

void MainWindow::statusChanged() {
    repaintStatusLine();
}

void MainWindow::screenChanged() {
    refreshScreen();
}

void MainWindow::connectionRequested() {
    fitFontToWindow();
    setWindowTitle(QString::fromStdString(titleText()));
}

void MainWindow::showWindow() {
    if (!isVisible()) showAsSaved();
}

void MainWindow::tick(int tickOfSecond) {
    if (view_) view_->blinkTick(tickOfSecond);
}

void MainWindow::refreshTitle() {
    const QString title = QString::fromStdString(titleText());
    if (title != windowTitle()) setWindowTitle(title);
}

void MainWindow::requestClose() {
    scheduler_.post([this] {
        if (core_->driver) core_->driver->close();
    });
}

void MainWindow::destroyWindow() {
    // The driver ends the session next, after the staggered delay.
    closing_ = true;
    hide();
}

void MainWindow::quit(int code) {
    exitCode_ = code;
    QApplication::exit(code);
}

void MainWindow::connected(const ConnectionInfo& info) {
    connection_ = info;
}

void MainWindow::repaintStatusLine() {
    refreshStatus();
}

void MainWindow::refreshStatus() {
    if (!statusBar_ || !core_->variables) return;
    AppCore& c = *core_;
    c.facts->cell = {view_->cellSize().width, view_->cellSize().height};
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    StatusExtras extras;
    extras.capsLock = c.keyInput && c.keyInput->capsLockOn();
    extras.byteFormat = static_cast<display::BigNumberFormat>(c.settings.bigNumberFormat);
    const auto inputs = statusInputsOf(*c.variables, driverStatusOf(*c.driver), extras, local);
    statusBar_->setLine(display::composeStatusLine(inputs), inputs.width);
}

void MainWindow::applyColors() {
    const auto colors = display::SessionColors::load(core_->file.options);
    const auto palette = colors.palette();
    auto qcolor = [&](int index) {
        const auto rgb = palette[static_cast<std::size_t>(index) % palette.size()];
        return QColor(rgb.r, rgb.g, rgb.b);
    };
    constexpr int kStatusBarItem = 21;
    constexpr int kScreenBorderItem = 24;
    statusBar_->setColors(qcolor(colors.foreground[kStatusBarItem]),
                          qcolor(colors.background[kStatusBarItem]));
    statusBar_->setFullPaint(core_->settings.statusBarFullPaint != 0);
    // The bands around the terminal area: the "Screen Border" colour.
    QPalette band = this->palette();
    band.setColor(QPalette::Window, qcolor(colors.foreground[kScreenBorderItem]));
    setPalette(band);
}

void MainWindow::showTlsInformation() {
    display::qt::TlsInfoDialog dialog(
        [this] {
            const AppCore& c = *core_;
            display::TlsInformation t;
            t.libraryVersion = platform::tlsLibraryVersion();
            t.connection = c.control->link().info();
            t.port = static_cast<int>(c.file.options.number(sessionfile::Field::Port));
            // The certificate files and checks of the host entry in force.
            if (const auto* e = c.hosts.find(c.file.options.text(sessionfile::Field::HostName)))
                t.security = {e->caCert, e->clientCert, e->clientKey, e->validateHostCert,
                              e->domainMustMatchHost};
            return t;
        },
        this);
    dialog.exec();
}

void MainWindow::shiftStateChanged(int column) {
    if (core_->facts) core_->facts->shift = column;
    refreshStatus();
}

void MainWindow::playErrorSound() {
    QApplication::beep();
}

bool MainWindow::runExitMacro(std::string_view fileName) {
    if (!core_ || !core_->macros || fileName != "protect.ext") return false;
    return core_->macros->runner().runExitMacro(SessionMacroRunner::ExitMacro::Protect);
}

void MainWindow::information(std::string_view text, std::string_view title) {
    askLater(this, std::string(title), std::string(text), MessageIcon::Information, BoxButtons::Ok,
             [](BoxAnswer) {});
}

bool MainWindow::askYesNo(std::string_view text, std::string_view title) {
    return askNow(this, std::string(title), std::string(text), MessageIcon::Question,
                  BoxButtons::YesNo) == BoxAnswer::Yes;
}

void MainWindow::macrosUnavailable() {
    information("Macros are not available in this version of Cedar TN3270.", "Cedar TN3270");
}

void MainWindow::edit(keys::Edit, bool) {}

std::string MainWindow::titleText() const {
    if (!core_->variables) return "Cedar 3270 Terminal Emulator";
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return windowTitleOf(*core_->variables, local);
}

}  // namespace cedar::app
