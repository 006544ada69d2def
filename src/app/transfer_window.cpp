#include "app/transfer_window.h"

#include <QApplication>
#include <QDialog>
#include <QListWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "app/macro_wiring.h"
#include "app/message_boxes.h"
#include "platform/files.h"
#include "platform/transfer_file_opener.h"
#include "session/session_transfer.h"
#include "transfer/qt/transfer_log_window.h"
#include "transfer/transfer_dialog_store.h"
#include "transfer/transfer_dialog_values.h"
#include "transfer/transfer_host_list.h"
#include "transfer/transfer_macro.h"
#include "transfer/transfer_progress.h"
#include "transfer/transfer_wildcards.h"

namespace cedar::app {

namespace {

constexpr std::string_view kByteCount = "Bytes transferred";

std::string grouped(std::uint64_t n) {
    std::string digits = std::to_string(n);
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3)
        digits.insert(static_cast<std::size_t>(i), ",");
    return digits;
}

}  // namespace

TransferWindows::TransferWindows(AppCore& core, QWidget* parent)
    : core_(core),
      parent_(parent),
      files_(platform::makeTransferFileOpener()),
      logFile_(core.folders.appData + "/transfer.log"),
      log_(logFile_, platform::localTimeNow) {
    SessionTransfer& transfer = core_.control->link().transfer();
    requestLink_ = std::make_unique<TransferLinkForRequest>(transfer.link());
    transfer.setProgressSink([this](std::string_view line) { progress(line); });
    transfer.setCompletionSink([this](bool) { finished(); });
}

TransferWindows::~TransferWindows() {
    SessionTransfer& transfer = core_.control->link().transfer();
    transfer.setProgressSink({});
    transfer.setCompletionSink({});
    for (auto& d : dialogs_)
        delete d.data();
    log_.setView(nullptr);
    delete logWindow_.data();
}

gui::TransferDialog* TransferWindows::dialog(TransferDirection direction) const {
    return dialogs_[static_cast<std::size_t>(slot(direction))].data();
}

void TransferWindows::open(TransferDirection direction) {
    auto& d = dialogs_[static_cast<std::size_t>(slot(direction))];
    if (d && d->isVisible()) {
        d->raise();
        d->activateWindow();
        return;
    }
    // A closed dialog waits for its deletion: a new one takes its place.
    d = nullptr;
    gui::TransferDialog::Ui ui;
    ui.start = [this, direction](const TransferDialogValues& v) { start(direction, v); };
    ui.viewLog = [this] { showLog(); };
    ui.confirmCancel = [this, direction] {
        return askNow(dialog(direction), "File Transfer in Progress",
                      gui::TransferDialog::kCancelQuestion, MessageIcon::Question,
                      BoxButtons::OkCancel) == BoxAnswer::Ok;
    };
    ui.cancel = [this] { cancel(); };
    ui.list = [this, direction](const TransferDialogValues& v) { listHost(direction, v, false); };
    ui.members = [this, direction](const TransferDialogValues& v) { listHost(direction, v, true); };
    d = new gui::TransferDialog(direction, std::move(ui), parent_);
    d->setWindowFlag(Qt::Window);
    d->setAttribute(Qt::WA_DeleteOnClose);
    TransferDialogValues values = storedDialogValues(core_.file.options.bytes(), direction);
    if (values.pcFolder.empty()) values.pcFolder = core_.folders.documents;
    d->setValues(values);
    for (const std::string& entry : hostLists_[static_cast<std::size_t>(slot(direction))])
        d->addHostListEntry(QString::fromStdString(entry));
    QObject::connect(d, &QDialog::finished, d, [this, direction] {
        Automatic& automatic = automatic_[static_cast<std::size_t>(slot(direction))];
        if (automatic.active) {
            // Closed while it ran a macro's transfer: its own values are
            // the ones from before, and the macro goes on.
            keepValues(direction, automatic.restore);
            automatic = {};
            if (macroEnded_) macroEnded_();
            return;
        }
        if (auto* closing = dialog(direction)) keepValues(direction, closing->values());
    });
    d->show();
    d->raise();
    d->activateWindow();
}

bool TransferWindows::startForMacro(const MacroTransferRequest& request) {
    if (transferBusy()) return false;
    for (const Automatic& a : automatic_)
        if (a.active) return false;
    const TransferDirection direction = request.direction;
    Automatic& automatic = automatic_[static_cast<std::size_t>(slot(direction))];
    automatic.wasOpen = dialog(direction) != nullptr && dialog(direction)->isVisible();
    open(direction);
    gui::TransferDialog* d = dialog(direction);
    if (d == nullptr) return false;
    automatic.restore = d->values();
    automatic.active = true;
    automatic.scheduled = true;
    const TransferDialogValues values = macroDialogValues(request, automatic.restore);
    d->setValues(values);
    // The dialog shows what it is about to do before it does it.
    QTimer::singleShot(1000, d, [this, direction, values] { startAutomatic(direction, values); });
    return true;
}

void TransferWindows::startAutomatic(TransferDirection direction,
                                     const TransferDialogValues& values) {
    Automatic& automatic = automatic_[static_cast<std::size_t>(slot(direction))];
    if (!automatic.active || !automatic.scheduled) return;
    automatic.scheduled = false;
    start(direction, values, false);
    if (running_ == TransferDirection::None) {
        // It did not start (a box or the status line says why).
        endAutomatic(direction, true);
        return;
    }
    macroStarted_ = true;
}

void TransferWindows::endAutomatic(TransferDirection direction, bool keepOpen) {
    const Automatic automatic =
        std::exchange(automatic_[static_cast<std::size_t>(slot(direction))], Automatic{});
    if (!automatic.active) return;
    if (gui::TransferDialog* d = dialog(direction)) {
        d->setValues(automatic.restore);
        // Not while a box is open (the dialog's own question whether to
        // leave may be the one): the dialog then stays for the user to close.
        if (!automatic.wasOpen && !keepOpen && QApplication::activeModalWidget() == nullptr)
            d->close();
    }
    if (macroEnded_) macroEnded_();
}

void TransferWindows::abandonMacroTransfer() {
    // A macro transfer that has not started yet does not start; one that
    // runs goes on in its dialog, which stays open for the user.
    for (TransferDirection direction : {TransferDirection::Upload, TransferDirection::Download}) {
        const Automatic& automatic = automatic_[static_cast<std::size_t>(slot(direction))];
        if (automatic.active && automatic.scheduled) endAutomatic(direction, true);
    }
}

bool TransferWindows::macroTransferPending() const {
    for (const Automatic& a : automatic_)
        if (a.active) return true;
    // Without a connection no screen will come.
    return macroStarted_ && core_.session->status != SessionStatus::NotConnected &&
           core_.keyboard &&
           transferAwaitsHost(core_.session->transfer, core_.keyboard->controller().locked());
}

void TransferWindows::listHost(TransferDirection direction, const TransferDialogValues& values,
                               bool members) {
    gui::TransferDialog* d = dialog(direction);
    const auto warn = [d](const std::string& title, const std::string& text) {
        askLater(d, title, text, MessageIcon::Warning, BoxButtons::Ok, [](BoxAnswer) {});
    };
    if (!core_.macros || !core_.facts) return;
    const std::optional<HostListing> listing =
        hostListing(values.hostType, members, values.hostName, values.listLevel);
    if (!listing) {
        // (List has no button for CICS.)
        if (members)
            warn("No Data Set",
                 "Type the name of a partitioned data set, or choose one in the "
                 "list, then press Members.");
        return;
    }
    if (core_.session->status == SessionStatus::NotConnected) {
        warn("Not Connected", "The host list comes from the host. Connect to it first.");
        return;
    }
    // The listing macro types at the host's prompt: not during a transfer
    // or another macro.
    if (transferBusy()) {
        warn("File Transfer in Progress",
             "A file transfer is in progress. List the host files "
             "when it has ended.");
        return;
    }
    const MacroInterpreter& interpreter = core_.macros->runner().interpreter();
    if (interpreter.loaded() || interpreter.queuedStarts() > 0) {
        warn("Macro in Progress", "A macro is playing. List the host files when it has ended.");
        return;
    }
    core_.facts->hli = listing->level;
    core_.facts->dsn = listing->dataSet;
    listing_ = direction;
    hostLists_[static_cast<std::size_t>(slot(direction))].clear();
    if (d) d->clearHostList();
    core_.macros->runner().runFile(listing->macro);
}

bool TransferWindows::transferBusy() const {
    return running_ != TransferDirection::None || core_.session->transfer.running();
}

void TransferWindows::addHostListEntry(const std::string& entry) {
    auto& list = hostLists_[static_cast<std::size_t>(slot(listing_))];
    if (list.size() >= kMaxHostListEntries) return;
    list.push_back(entry);
    if (gui::TransferDialog* d = dialog(listing_))
        d->addHostListEntry(QString::fromStdString(entry));
}

bool TransferWindows::startSeveral(TransferDirection direction,
                                   const TransferDialogValues& values) {
    const bool upload = direction == TransferDirection::Upload;
    MultiTransferRequest m;
    m.direction = direction;
    m.sourcePattern = upload ? values.pcName : values.hostName;
    m.targetPattern = upload ? values.hostName : values.pcName;
    m.pcFolder = values.pcFolder.empty() ? core_.folders.documents : values.pcFolder;
    if (!m.pcFolder.empty() && m.pcFolder.back() != '/') m.pcFolder += '/';
    m.binary = values.binary;
    m.append = values.append;
    m.hostType = values.hostType;
    int selected = 0;
    if (upload) {
        m.sourceNames = platform::filesWithExtension(m.pcFolder, "");
    } else if (gui::TransferDialog* d = dialog(direction)) {
        // The host list, or its selected entries when two or more are.
        const QListWidget* list = d->hostList();
        selected = static_cast<int>(list->selectedItems().size());
        for (int i = 0; i < list->count(); ++i)
            if (selected < 2 || list->item(i)->isSelected())
                m.sourceNames.push_back(list->item(i)->text().toStdString());
    }
    const MultiTransferPlan plan = planMultipleTransfers(m, selected);
    switch (plan.kind) {
        case MultiTransferPlan::Kind::Single:
            return false;
        case MultiTransferPlan::Kind::Error:
            askLater(dialog(direction), plan.error.title, plan.error.text, MessageIcon::Warning,
                     BoxButtons::Ok, [](BoxAnswer) {});
            return true;
        case MultiTransferPlan::Kind::Macro: {
            // The dialog closes and the macro of SendFile/ReceiveFile lines
            // carries the transfers out, one after another.
            if (!core_.macros) return true;
            const MacroInterpreter& interpreter = core_.macros->runner().interpreter();
            if (interpreter.loaded() || interpreter.queuedStarts() > 0) {
                askLater(dialog(direction), "Macro in Progress",
                         "A macro is playing. Start the transfers when it has ended.",
                         MessageIcon::Warning, BoxButtons::Ok, [](BoxAnswer) {});
                return true;
            }
            if (gui::TransferDialog* d = dialog(direction)) d->close();
            core_.macros->runner().runText(plan.macroText);
            return true;
        }
    }
    return false;
}

void TransferWindows::start(TransferDirection direction, const TransferDialogValues& values,
                            bool keep) {
    // One transfer at a time: a press during another one (or during the
    // second before a macro's starts) changes nothing of it.
    bool busy = transferBusy();
    for (const Automatic& a : automatic_)
        busy = busy || (keep && a.active);
    if (busy) {
        askLater(dialog(direction), "File Transfer in Progress",
                 "A file transfer is already in progress.", MessageIcon::Warning, BoxButtons::Ok,
                 [](BoxAnswer) {});
        return;
    }
    if (keep) keepValues(direction, values);
    if (keep && startSeveral(direction, values)) return;
    macroStarted_ = false;
    const TransferRequest request =
        sessionTransferRequest(values, direction, core_.file.options, core_.settings);
    TransferStartContext context{core_.session->transfer, core_.keyboard->controller(),
                                 *requestLink_, *files_,
                                 core_.session->codePages.hostToDisplay(0x5B)};
    // The progress lines of the start belong to this dialog.
    running_ = direction;
    started_.start();
    const TransferStart result = startTransferRequest(request, context);
    if (result.kind != TransferStart::Kind::Started) {
        running_ = TransferDirection::None;
        if (result.kind == TransferStart::Kind::Refused)
            askLater(dialog(direction), result.message.title, result.message.text,
                     MessageIcon::Warning, BoxButtons::Ok, [](BoxAnswer) {});
        return;
    }
    if (auto* d = dialog(direction)) d->setTransferRunning(true);
}

std::string TransferWindows::withRate(std::string_view line, std::uint64_t bytes,
                                      std::int64_t elapsedMs) {
    std::string out(line);
    if (elapsedMs <= 0 || bytes == 0) return out;
    const auto rate = bytes * 1000 / static_cast<std::uint64_t>(elapsedMs);
    return out + " (" + grouped(rate) + " bytes/s)";
}

void TransferWindows::progress(std::string_view line) {
    log_.progress(line);
    // An empty line ends a transfer's lines in the log; the status line keeps
    // the last text.
    if (line.empty()) return;
    const TransferDirection direction =
        running_ != TransferDirection::None ? running_ : core_.session->transfer.direction;
    gui::TransferDialog* d = dialog(direction);
    if (d == nullptr) return;
    // The running count, and the line that ends a transfer that moved data,
    // carry the rate.
    const TransferState& state = core_.session->transfer;
    std::string shown(line);
    const bool count = line.substr(0, kByteCount.size()) == kByteCount;
    if (running_ != TransferDirection::None && (count || !state.running()))
        shown = withRate(line, state.bytesTransferred, started_.elapsed());
    d->setStatusLine(QString::fromStdString(shown));
    // A failure ends the transfer with its line: the dialog may be left.
    if (!state.running() && running_ != TransferDirection::None && !state.errorText.empty())
        finished();
}

void TransferWindows::finished() {
    if (running_ == TransferDirection::None) return;
    const TransferDirection direction = running_;
    if (auto* d = dialog(direction)) d->setTransferRunning(false);
    running_ = TransferDirection::None;
    // A macro's transfer: the dialog stays open to show a failure.
    const TransferState& state = core_.session->transfer;
    endAutomatic(direction, state.keepWindow || !state.errorText.empty() || state.cancelRequested ||
                                closingMessageReportsFailure(state.closingMessage));
}

void TransferWindows::cancel() {
    cancelTransferRequest(core_.session->transfer, *requestLink_);
    finished();
}

void TransferWindows::keepValues(TransferDirection direction, const TransferDialogValues& values) {
    storeDialogValues(core_.file.options.bytes(), direction, values);
}

void TransferWindows::showLog() {
    if (logWindow_) {
        logWindow_->raise();
        logWindow_->activateWindow();
        return;
    }
    auto* view = new gui::TransferLogWindow(
        logFile_.lines(), [this] { log_.clear(); }, parent_);
    view->setWindowFlag(Qt::Window);
    view->setAttribute(Qt::WA_DeleteOnClose);
    logWindow_ = view;
    log_.setView(view);
    // The window goes: the log has no view any more.
    QObject::connect(view, &QObject::destroyed, view, [this] { log_.setView(nullptr); });
    view->show();
}

void TransferWindows::openLog() {
    // From a key: not while a transfer runs (its dialog has View Log).
    if (transferBusy()) return;
    showLog();
}

}  // namespace cedar::app
