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

#include "app/app_core.h"
#include "platform/transfer_log_file.h"
#include "transfer/qt/transfer_dialog.h"
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
    // The open dialog of `direction`, or nullptr.
    gui::TransferDialog* dialog(TransferDirection direction) const;

    // The rate text of a running count: "Bytes transferred = 7,000 (3,500
    // bytes/s)"; the line unchanged before a full millisecond has passed.
    static std::string withRate(std::string_view line, std::uint64_t bytes, std::int64_t elapsedMs);

  private:
    void start(TransferDirection direction, const TransferDialogValues& values);
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
    TransferDirection running_ = TransferDirection::None;
    QElapsedTimer started_;
};

}  // namespace cedar::app
