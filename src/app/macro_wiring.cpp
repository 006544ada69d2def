#include "app/macro_wiring.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <random>

#include "app/main_window.h"
#include "app/message_boxes.h"
#include "app/transfer_window.h"
#include "platform/files.h"
#include "session/common_area.h"
#include "session/driver_interfaces.h"

namespace cedar::app {

namespace {

BoxButtons boxButtonsOf(int style) {
    switch (macroButtonsOf(style)) {
        case MacroButtons::Ok:
            return BoxButtons::Ok;
        case MacroButtons::OkCancel:
            return BoxButtons::OkCancel;
        case MacroButtons::AbortRetryIgnore:
            return BoxButtons::AbortRetryIgnore;
        case MacroButtons::YesNoCancel:
            return BoxButtons::YesNoCancel;
        case MacroButtons::YesNo:
            return BoxButtons::YesNo;
        case MacroButtons::RetryCancel:
            return BoxButtons::RetryCancel;
    }
    return BoxButtons::Ok;
}

MessageIcon boxIconOf(int style) {
    switch (macroIconOf(style)) {
        case kMacroIconStop:
            return MessageIcon::Stop;
        case kMacroIconQuestion:
            return MessageIcon::Question;
        case kMacroIconExclamation:
            return MessageIcon::Warning;
        case kMacroIconInformation:
            return MessageIcon::Information;
        default:
            return MessageIcon::None;
    }
}

MacroButton macroButtonOf(BoxAnswer answer) {
    switch (answer) {
        case BoxAnswer::Ok:
            return MacroButton::Ok;
        case BoxAnswer::Cancel:
            return MacroButton::Cancel;
        case BoxAnswer::Retry:
            return MacroButton::Retry;
        case BoxAnswer::Yes:
            return MacroButton::Yes;
        case BoxAnswer::No:
            return MacroButton::No;
        case BoxAnswer::Abort:
            return MacroButton::Abort;
        case BoxAnswer::Ignore:
            return MacroButton::Ignore;
        case BoxAnswer::Help:
            break;
    }
    return MacroButton::Cancel;
}

using Geometry = SessionDebugWindow::Geometry;
using sessionfile::Field;

std::function<Geometry()> debugGeometryLoader(const sessionfile::SessionOptions* options) {
    if (options == nullptr) return {};
    return [options] {
        const auto n = [options](Field f) { return static_cast<int>(options->number(f)); };
        return Geometry{n(Field::DebugWindowLeft), n(Field::DebugWindowTop),
                        n(Field::DebugWindowWidth), n(Field::DebugWindowHeight)};
    };
}

std::function<void(const Geometry&)> debugGeometrySaver(sessionfile::SessionOptions* options) {
    if (options == nullptr) return {};
    return [options](const Geometry& g) {
        options->setNumber(Field::DebugWindowLeft, g.left);
        options->setNumber(Field::DebugWindowTop, g.top);
        options->setNumber(Field::DebugWindowWidth, g.width);
        options->setNumber(Field::DebugWindowHeight, g.height);
    };
}

void writeLine(const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

}  // namespace

std::optional<std::string> QtMacroClipboard::text() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) return std::nullopt;
    const QString text = clipboard->text();
    if (text.isEmpty()) return std::nullopt;
    return text.toLocal8Bit().toStdString();
}

void QtMacroClipboard::setText(std::string_view text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) return;
    clipboard->setText(
        QString::fromLocal8Bit(QByteArray(text.data(), static_cast<qsizetype>(text.size()))));
}

AppMacros::AppMacros(const Parts& p)
    : window_(p.window),
      sessionId_(p.sessionId),
      identity_(p.identity),
      source_(p.folders.macros, p.folders.cdr,
              platform::shippedMacrosFolder(p.folders.programData)),
      fileSystem_(p.folders.appData),
      files_(fileSystem_, clipboard_),
      programs_(p.folders.appData),
      helpFile_(p.folders.help),
      debug_(p.window, p.sessionId, debugGeometryLoader(p.options), debugGeometrySaver(p.options)) {
    runner_ = std::make_unique<SessionMacroRunner>(p.session, p.scheduler, source_, noFunctions_,
                                                   *this, p.sessionId);
    runner_->setMacroFiles(&files_);
    runner_->interpreter().setDebugWindow(this);
    MacroFunctionServices services;
    services.dialogs = this;
    services.programs = &programs_;
    services.sessions = this;
    services.debugWindow = this;
    auto random = std::make_shared<std::minstd_rand>(
        static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    services.random15 = [random] { return static_cast<int>((*random)() % 32768); };
    services.localTime = [] {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        return local;
    };
    services.readSettings = p.readSettings;
    services.editSettings = p.editSettings;
    services.appDataFolder = p.folders.appData;
    services.sessionOptions = p.sessionOptions;
    services.optionEffects = p.optionEffects;
    services.transfers = p.transfers;
    SessionKeyboard& keyboard = p.keyboard;
    host_ = std::make_unique<SessionMacroHost>(
        p.session, p.variables, p.settings, p.keyList,
        [&keyboard](keys::KeyWord word) { keyboard.performKey(word, keys::KeySource::Macro); },
        files_, runner_->interpreter(), services);
    runner_->setFunctionHost(*host_);
    rexxFunctions_ = std::make_unique<RexxFunctionLibrary>(*host_);
    RexxTaskCallbacks callbacks;
    callbacks.debugLine = [this](const std::string& line) { debugLine(line); };
    callbacks.keyboardUnlocked = [&session = p.session] {
        return session.status == SessionStatus::Unlocked;
    };
    callbacks.clipboardText = [this] { return clipboard_.text(); };
    callbacks.setClipboard = [this](const std::string& text) { clipboard_.setText(text); };
    MacroInterpreter& interpreter = runner_->interpreter();
    callbacks.runMacro = [&interpreter](const std::string& name) {
        return playsNatively(interpreter.runMacro(name));
    };
    callbacks.macroPlaying = [&interpreter] {
        return interpreter.loaded() || interpreter.queuedStarts() > 0;
    };
    callbacks.transferPending = [this] { return host_->transferPending(); };
    callbacks.transferAbandoned = [this] { host_->transferAbandoned(); };
    rexx_ = std::make_unique<ReginaHost>(
        p.scheduler,
        RexxErrorTexts(platform::readFile(p.folders.programData + "/rexxerr.lst").value_or("")),
        *rexxFunctions_, std::move(callbacks), p.folders.documents);
}

bool AppMacros::startRexx(const std::string& fileName) {
    auto text = source_.readMacroFile(macroFolderFor(fileName, sessionId_), fileName);
    return text && rexx_->start(fileName, std::move(*text));
}

void AppMacros::keyboardRestored() {
    rexx_->keyboardRestored();
}

void AppMacros::macroError(const MacroErrorReport& report) {
    lastErrorNumber_ = report.number;
    askLater(window_, report.title, report.message, MessageIcon::Warning, BoxButtons::OkHelp,
             [this](BoxAnswer answer) {
                 if (answer == BoxAnswer::Help)
                     help_->openTopic(macroErrorHelpTopic(helpFile_, lastErrorNumber_));
             });
}

bool UnavailableHelpViewer::openTopic(const std::string& topic) {
    askLater(window_, "Cedar TN3270 Help",
             "The help viewer is not available in this version of Cedar TN3270.\n"
             "Help topic: " +
                 topic,
             MessageIcon::Information, BoxButtons::Ok, [](BoxAnswer) {});
    return false;
}

void AppMacros::macroMessage(const std::string& title, const std::string& text) {
    askLater(window_, title, text, MessageIcon::Information, BoxButtons::Ok, [](BoxAnswer) {});
}

MacroError AppMacros::runInSession(char id, const std::string& name) {
    const int index = area::indexOfId(id);
    if (identity_ == nullptr || index == area::kNoIndex) return MacroError::RunSessionNotOpen;
    // Into the target's request field and with the posted request, as cedarmac hands it.
    using R = platform::SharedArea::PostResult;
    return identity_->area().postMacro(index, false, name) == R::Posted
               ? MacroError::None
               : MacroError::RunSessionNotOpen;
}

int AppMacros::messageBox(const std::string& text, const std::string& title, int style) {
    // Waits for the answer; the interpreter holds back macro starts meanwhile.
    const BoxAnswer answer = askNow(window_, title, text, boxIconOf(style), boxButtonsOf(style));
    return static_cast<int>(macroButtonOf(answer));
}

std::optional<std::string> AppMacros::editBox(const MacroEditBoxRequest& request) {
    if (qEnvironmentVariableIsSet("CEDAR_MESSAGE_BOXES")) {
        // Scripted: the line, then the answer from the environment or a cancel.
        writeLine("edit box: " + request.title + ": " + request.prompt);
        if (!qEnvironmentVariableIsSet("CEDAR_EDITBOX_ANSWER")) return std::nullopt;
        std::string answer = qgetenv("CEDAR_EDITBOX_ANSWER").toStdString();
        if (request.maxLength >= 0 && answer.size() > static_cast<std::size_t>(request.maxLength))
            answer.resize(static_cast<std::size_t>(request.maxLength));
        return answer;
    }
    QInputDialog dialog(window_);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(QString::fromLocal8Bit(request.title.c_str()));
    dialog.setLabelText(QString::fromLocal8Bit(request.prompt.c_str()));
    dialog.setTextEchoMode(request.passwordChar != 0 ? QLineEdit::Password : QLineEdit::Normal);
    if (request.dialogWidth > 0) dialog.resize(request.dialogWidth, dialog.height());
    if (auto* edit = dialog.findChild<QLineEdit*>()) {
        if (request.maxLength > 0) edit->setMaxLength(request.maxLength);
        if (request.fieldWidth > 0) edit->setMinimumWidth(request.fieldWidth);
        if (request.passwordChar != 0)
            edit->setStyleSheet(QStringLiteral("lineedit-password-character: %1")
                                    .arg(static_cast<unsigned char>(request.passwordChar)));
    }
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.textValue().toLocal8Bit().toStdString();
}

bool AppMacros::bringToFront(char id) {
    const int index = area::indexOfId(id);
    if (identity_ == nullptr || index == area::kNoIndex) return false;
    const auto owners = identity_->area().owners();
    if (!owners) return false;
    const std::uint32_t pid = (*owners)[static_cast<std::size_t>(index)];
    if (pid == 0) return false;
    // The target raises its own window when it reads the request.
    return identity_->area().post(pid, {request::kActivateWindow, 0, {}});
}

void MainWindow::buildMacros() {
    AppCore& c = *core_;
    const std::string iniPath = c.iniPath;
    macroTransfers_ = std::make_unique<WindowMacroTransfers>(
        [this](bool make) { return make ? transferWindows() : transfers_.get(); });
    c.macros = std::make_unique<AppMacros>(AppMacros::Parts{
        .session = *c.session,
        .scheduler = scheduler_,
        .folders = c.folders,
        .settings = c.settings,
        .keyList = c.keyList,
        .keyboard = *c.keyboard,
        .variables = c.variables.get(),
        .identity = c.identity.get(),
        .window = this,
        .sessionId = area::idOfIndex(c.identity->index()),
        .options = &c.file.options,
        .readSettings = [iniPath] { return platform::readFile(iniPath); },
        .editSettings =
            [iniPath](const std::function<std::string(const std::string&)>& edit) {
                std::string error;
                return platform::editFileLocked(iniPath, edit, error);
            },
        .sessionOptions = &c.file.options,
        .optionEffects = this,
        .transfers = macroTransfers_.get(),
    });
    auto& options = c.file.options;
    c.macros->runner().setStartupMacro(
        [&options] { return options.text(sessionfile::Field::StartupMacro); });

    c.recorder = std::make_unique<AppRecorder>(AppRecorder::Parts{
        .window = this,
        .folders = c.folders,
        .settings = c.settings,
        .options = c.file.options,
        .keyList = c.keyList,
        .keyboard = *c.keyboard,
        .macroLoaded = [&c] { return c.macros->runner().interpreter().loaded(); },
        .stateChanged = [this] { refreshStatus(); },
    });
    c.keyboard->setServices({.ui = static_cast<keys::KeyboardUi*>(this),
                             .recorder = &c.recorder->recorder(),
                             .deferred = static_cast<keys::DeferredKeyFunctions*>(this)});
    c.macros->setMacroStarting([&c] { c.recorder->recorder().discard(); });
    c.macros->runner().setRecorder(&c.recorder->recorder());
}

bool MainWindow::macroOper(std::uint8_t code) {
    AppCore& c = *core_;
    if (!c.recorder || !c.macros) return false;
    switch (static_cast<keys::Oper>(code)) {
        case keys::Oper::MacroRecord:
            c.recorder->recordKey();
            return true;
        case keys::Oper::MacroStop:
            if (!c.recorder->stopKey()) c.macros->stop();
            return true;
        case keys::Oper::MacroPause:
            if (!c.recorder->pauseKey()) c.macros->togglePause();
            return true;
        case keys::Oper::MacroDebugWindow:
            c.macros->open();
            return true;
        default:
            return false;
    }
}

}  // namespace cedar::app
