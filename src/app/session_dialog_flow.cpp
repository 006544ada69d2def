#include "app/session_dialog_flow.h"

#include <memory>

#include "app/message_boxes.h"
#include "display/qt/user_separators.h"
#include "platform/files.h"
#include "session/common_area.h"
#include "sessionfile/qt/session_dialog_window.h"
#include "sessionfile/session_dialog.h"

namespace cedar::app {

namespace {

// What Connect and Save keep: the record in force, its file, the host list.
bool keepOutcome(QWidget* parent, AppCore& core, const sessionfile::SessionDialogModel& model,
                 const sessionfile::SessionDialogModel::Outcome& outcome) {
    core.file.options = model.options();
    core.file.options.setText(sessionfile::Field::SessionFile, outcome.sessionFile);
    if (!core.store->save(core.file, sessionfile::SaveMode::Save, true)) return false;
    core.hosts = model.hosts();
    const auto& hosts = core.hosts;
    std::string error;
    if (!platform::editFileLocked(
            core.iniPath, [&hosts](const std::string& text) { return hosts.store(text); }, error))
        askNow(parent, "Cedar TN3270 Error", error);
    core.settingsStore->writeLastSession(outcome.sessionFile);
    if (outcome.connect) {
        SenderSettings sender;
        sender.keepAliveTime = outcome.keepAliveTime;
        sender.keepAliveTimeDisable = core.settings.keepAliveTimeDisable;
        sender.keepAliveCommand = core.settings.keepAlive;
        core.control->link().sender().setSettings(sender);
        core.control->link().transfer().configure(
            transferConfiguration(core.file.options, core.settings, display::qt::userSeparators(),
                                  area::idOfIndex(core.identity->index())));
        if (outcome.resetScreen) {
            // Connect starts from the default size of the (new) model.
            core.session->applySizeOptions();
            core.session->screen.eraseScreen(SizeMode::Default);
        }
    }
    return true;
}

}  // namespace

void runSessionDialog(QWidget* parent, AppCore& core, const std::string& rememberedSessionFile,
                      std::function<void(bool, const std::string&)> done) {
    sessionfile::SessionDialogModel::Start start;
    start.sessionFiles = platform::filesWithExtension(core.folders.appData, ".ses");
    start.timeoutSessionFile = rememberedSessionFile;
    start.lastSession = core.settings.lastSession;
    start.hideSesExtension = core.settings.hideSesExtension != 0;
    start.hostnameFocus = core.settings.hostnameFocus != 0;
    start.keepAliveTime = core.settings.keepAliveTime;
    auto loader = [&core](const std::string& name) -> std::optional<sessionfile::SessionOptions> {
        sessionfile::SessionFile loaded;
        if (!core.store->load(name, loaded)) return std::nullopt;
        return loaded.options;
    };
    auto model = std::make_shared<sessionfile::SessionDialogModel>(core.hosts, start, loader);
    std::vector<std::string> pems;
    for (const auto& name : platform::filesWithExtension(core.folders.certs, ".pem"))
        pems.push_back(name);
    auto* dialog = new gui::SessionDialogWindow(
        *model, pems, gui::SessionDialogWindow::standardUi(parent), parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog, &QDialog::finished, [parent, &core, dialog, model, done](int) {
        const auto& outcome = dialog->outcome();
        if (!outcome || outcome->kind != sessionfile::SessionDialogModel::Outcome::Kind::Done) {
            done(false, {});
            return;
        }
        const bool kept = keepOutcome(parent, core, *model, *outcome);
        done(kept && outcome->connect, kept ? outcome->sessionFile : std::string());
    });
    dialog->open();
}

}  // namespace cedar::app
