// The window's file transfers: the "Send File to Host" (OPER 25) and
// "Receive File from Host" (OPER 1) dialogs, non-modal, at most one of each.
// "Send"/"Receive" types the IND$FILE command through the session keyboard
// and returns at once; the transfer then runs in the session's protocols,
// whose progress lines come back here: each one goes to transfer.log and the
// last one to the status line of the dialog that started the transfer (a
// running byte count with the rate so far). The protocols' completion ends
// the transfer in the dialog, which stays open with the host's closing
// message. The dialogs' values live in the session options record
// (transfer_dialog_store.h): a dialog opens with them and gives them back
// at each start and when it closes. Nothing here waits.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/app_core.h"
#include "platform/transfer_log_file.h"
#include "session/macro_services.h"
#include "transfer/qt/transfer_dialog.h"
#include "transfer/qt/transfer_log_window.h"
#include "transfer/transfer_log.h"
#include "transfer/transfer_request.h"

namespace cedar::app {

class TransferWindows {
  public:
    // `core` must hold the running session (control, keyboard, settings).
    TransferWindows(AppCore& core, QWidget* parent);
    ~TransferWindows();
    TransferWindows(const TransferWindows&) = delete;
    TransferWindows& operator=(const TransferWindows&) = delete;

    // Opens the dialog of `direction`, or brings the open one to the front.
    void open(TransferDirection direction);
    // The transfer log window (OPER 43): opened, or brought to the front,
    // unless a transfer runs.
    void openLog();
    // The open dialog of `direction`, or nullptr.
    gui::TransferDialog* dialog(TransferDirection direction) const;

    // SENDFILE and RECEIVEFILE: the dialog of the request's direction
    // (opened if it is not) shows the macro's values and starts the transfer
    // by itself one second later; at the end it gets its own values back and
    // closes, unless it was open before or the transfer failed. False when a
    // transfer runs or is about to start.
    bool startForMacro(const MacroTransferRequest& request);
    // The macro's transfer is about to start, runs, or has ended with the
    // host's screen after it not yet in (the keyboard still locked).
    bool macroTransferPending() const;
    // The macro that asked for a transfer was stopped: one about to start
    // does not.
    void abandonMacroTransfer();
    // Called when the macro's transfer has ended (or did not start).
    void setMacroTransferEnded(std::function<void()> ended) { macroEnded_ = std::move(ended); }
    // XFERADDSTG: one more entry of the host list that the last "List" or
    // "Members" press cleared (the receive dialog's before any press). The
    // lists outlive their dialogs: a dialog opens with its list.
    void addHostListEntry(const std::string& entry);
    // At most this many entries: a listing macro that never ends fills no
    // more.
    static constexpr std::size_t kMaxHostListEntries = 10000;

    // The rate text of a running count: "Bytes transferred = 7,000 (3,500
    // bytes/s)"; the line unchanged before a full millisecond has passed.
    static std::string withRate(std::string_view line, std::uint64_t bytes, std::int64_t elapsedMs);

  private:
    // A transfer a macro asked for, per direction.
    struct Automatic {
        bool active = false;
        bool scheduled = false;        // its start is a second away
        bool wasOpen = false;          // the dialog was open before
        TransferDialogValues restore;  // the dialog's values before
    };
    // `keep`: the values become the dialog's own (not for a macro's).
    void start(TransferDirection direction, const TransferDialogValues& values, bool keep = true);
    void startAutomatic(TransferDirection direction, const TransferDialogValues& values);
    // Names with "*" in both source and target: the transfers of the
    // matching files as a macro of SendFile/ReceiveFile lines, or a box that
    // says why there are none. False for a single transfer.
    bool startSeveral(TransferDirection direction, const TransferDialogValues& values);
    void endAutomatic(TransferDirection direction, bool keepOpen);
    // "List" and "Members": the listing macro, with the list level in
    // XFERHLI and the data set in XFERDSN, refills the dialog's host list.
    void listHost(TransferDirection direction, const TransferDialogValues& values, bool members);
    // A transfer runs (started here, or by the session's protocols).
    bool transferBusy() const;
    void progress(std::string_view line);
    void finished();
    void cancel();
    void showLog();
    void keepValues(TransferDirection direction, const TransferDialogValues& values);
    static int slot(TransferDirection direction) {
        return direction == TransferDirection::Download ? 1 : 0;
    }

    AppCore& core_;
    QWidget* parent_;
    std::unique_ptr<TransferFileOpener> files_;
    platform::TransferLogFileOnDisk logFile_;
    TransferLog log_;
    std::unique_ptr<TransferLinkForRequest> requestLink_;
    std::array<QPointer<gui::TransferDialog>, 2> dialogs_;
    QPointer<gui::TransferLogWindow> logWindow_;
    TransferDirection running_ = TransferDirection::None;
    QElapsedTimer started_;
    std::array<Automatic, 2> automatic_;
    bool macroStarted_ = false;  // the last transfer was a macro's
    std::function<void()> macroEnded_;
    std::array<std::vector<std::string>, 2> hostLists_;
    TransferDirection listing_ = TransferDirection::Download;  // the list XFERADDSTG fills
};

// The window's MacroTransfers: the transfer windows, made when a macro
// first asks for a transfer.
class WindowMacroTransfers : public MacroTransfers {
  public:
    // `windows(make)`: the transfer windows; made first when `make` is set
    // (nullptr when there are none, or they cannot be made yet).
    explicit WindowMacroTransfers(std::function<TransferWindows*(bool make)> windows)
        : windows_(std::move(windows)) {}
    bool startTransfer(const MacroTransferRequest& request) override {
        TransferWindows* w = windows_(true);
        return w != nullptr && w->startForMacro(request);
    }
    bool transferPending() const override {
        const TransferWindows* w = windows_(false);
        return w != nullptr && w->macroTransferPending();
    }
    void abandonTransfer() override {
        if (TransferWindows* w = windows_(false)) w->abandonMacroTransfer();
    }
    void addHostListEntry(const std::string& entry) override {
        if (TransferWindows* w = windows_(true)) w->addHostListEntry(entry);
    }

  private:
    std::function<TransferWindows*(bool)> windows_;
};

}  // namespace cedar::app
