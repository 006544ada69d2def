// The main window: the session's frame. It builds the session in creation
// order (create()), connects on its first paint, shows the driver's messages
// and the SESSION dialog, routes keys and the wheel to the keyboard, follows
// focus, sizing and moves, and ends the session through the session driver.
#pragma once

#include <QTimer>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/app_core.h"
#include "app/qt_scheduler.h"
#include "display/cell_size.h"
#include "display/qt/status_bar.h"
#include "display/qt/terminal_view.h"
#include "keyboard/keyboard_services.h"
#include "screen/presentation_space.h"
#include "session/driver_interfaces.h"
#include "session/host_link.h"
#include "session/session_windows.h"
#include "sessionfile/macro_options.h"

namespace cedar::app {

class TransferWindows;
class WindowMacroTransfers;

class MainWindow : public QWidget,
                   private DriverUi,
                   private LinkUi,
                   private ScreenListener,
                   private keys::KeyboardUi,
                   private keys::KeyInputUi,
                   private keys::DeferredKeyFunctions,
                   private sessionfile::OptionEffects {
  public:
    explicit MainWindow(std::unique_ptr<AppCore> core);
    ~MainWindow() override;

    // The creation steps, in order; 0 when the window may be shown, else the
    // program's exit code after a stop (its message has been shown).
    int create();
    // Shows the window as the session's saved state asks.
    void showAsSaved();

    AppCore& core() { return *core_; }
    display::qt::TerminalView* terminal() const { return view_; }
    // The exit code once the session has ended.
    std::optional<int> exitCode() const { return exitCode_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Creation steps (creation.cpp).
    bool loadKeyList();
    bool readSettings();
    bool loadSessionFile();
    void applyCommandLine();
    void keepCommandLineChoices();
    bool loadCountry();
    bool loadKeyboardMap();
    // The id among the running sessions and the request socket (session_id.cpp).
    bool claimSessionId();
    void readSessionRequests();
    // The operator functions on all session windows, and the window requests
    // other sessions post (session_windows.cpp).
    void runSessionOper(area::SessionOper oper);
    bool windowRequest(int code, std::uint64_t parameter);
    // The title and minimized state in the shared block of window titles.
    void publishWindowState();
    void buildSession();
    void buildMacros();  // macro_wiring.cpp
    // The record, stop, pause and debug-window keys (macro_wiring.cpp); false
    // for other codes.
    bool macroOper(std::uint8_t code);
    // Send File (OPER 25) and Receive File (OPER 1): their dialogs
    // (transfer_window.h); false for other codes.
    bool transferOper(std::uint8_t code);
    void checkSavedPosition();

    // DriverUi
    void showMessage(const DriverMessage& message) override;
    void openSessionDialog(const std::string& rememberedSessionFile) override;
    bool askTrustCertificate(const CertificateDetails& details) override;
    void statusChanged() override;
    void screenChanged() override;
    void connectionRequested() override;
    void showWindow() override;
    void tick(int tick) override;
    void refreshTitle() override;
    void requestClose() override;
    void destroyWindow() override;
    void quit(int code) override;
    // LinkUi (the display's share of the host link's reports)
    void connected(const ConnectionInfo& info) override;
    // ScreenListener
    void cursorMoved() override;
    void sizeChanged(SizeMode oldMode, SizeMode newMode) override;
    void invalidateAll() override;
    // KeyboardUi and KeyInputUi
    void repaintStatusLine() override;
    void shiftStateChanged(int column) override;
    void playErrorSound() override;
    // "protect.ext" plays when it was in the macros folder at start.
    bool runExitMacro(std::string_view fileName) override;
    void information(std::string_view text, std::string_view title) override;
    bool askYesNo(std::string_view text, std::string_view title) override;
    void macrosUnavailable() override;
    // DeferredKeyFunctions: Undo's partner functions that need the
    // clipboard, selection or find come later; of the operator functions,
    // those on all session windows are here (session_windows.cpp).
    void edit(keys::Edit code, bool selectionExisted) override;
    void oper(std::uint8_t code) override;

    // OptionEffects: what follows a macro's SETOPTION (option_effects.cpp).
    sessionfile::OptionCellSize cellSize() const override;
    void optionChanged(const sessionfile::OptionRow& row,
                       const sessionfile::OptionValue& value) override;
    void applyOptionAction(sessionfile::OptionAction action, const sessionfile::OptionValue& value);

    // The screen's changed rows painted, the marks cleared.
    void refreshScreen();
    // The cell size for the window's client area, then the view sized to it.
    void fitFontToWindow();
    // The window sized to hold the screen at the current cell size.
    void fitWindowToFont();
    const PresentationSpace& ps() const;
    display::WindowMetrics windowMetrics() const;
    display::LayoutRequest layoutRequest(bool sizeWindowToFont) const;
    void sessionDialogDone(bool connect, const std::string& sessionFile);
    // The status line recomposed (only changed columns repaint) and the colours.
    void refreshStatus();
    void applyColors();
    // The "TLS and Server Certificate Information" dialog of the connection.
    void showTlsInformation();
    // The transfer windows, made on first use (they tell the macros when a
    // macro's transfer ended); nullptr before the session's keyboard exists.
    TransferWindows* transferWindows();
    bool hostScreenShown() const;
    std::string titleText() const;

    // SENDFILE and RECEIVEFILE through the transfer windows (before the core:
    // the macros in it hold a pointer).
    std::unique_ptr<WindowMacroTransfers> macroTransfers_;
    std::unique_ptr<AppCore> core_;
    std::unique_ptr<TransferWindows> transfers_;  // made on first use
    QtScheduler scheduler_;
    display::qt::TerminalView* view_ = nullptr;
    display::qt::StatusBar* statusBar_ = nullptr;
    QTimer fitTimer_;   // the fit 200 ms after the last resize
    QRect statusArea_;  // where the status line goes, under the screen
    bool created_ = false;
    bool firstPaintDone_ = false;
    bool closing_ = false;
    bool firstScreenPending_ = false;  // CEDAR_TIMING: report the first painted host screen
    bool ignoreNextClick_ = false;
    std::int64_t activatedAtMs_ = -1;
    std::optional<ConnectionInfo> connection_;
    std::optional<int> exitCode_;
};

}  // namespace cedar::app
