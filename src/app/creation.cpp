// The main window's creation: the session built step by step in a fixed
// order. A step that stops shows its message and ends the program; nothing
// a stop leaves behind changes the user's files (the session file is only
// saved once it was loaded, the host list only once it was read).
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <cctype>
#include <cstring>
#include <functional>
#include <span>

#include "app/main_window.h"
#include "app/message_boxes.h"
#include "display/qt/user_separators.h"
#include "keyboard/qt/keyboard_files.h"
#include "platform/files.h"
#include "platform/startup_folders.h"
#include "screen/message_titles.h"
#include "session/connection_plan.h"
#include "sessionfile/session_file.h"

namespace cedar::app {

namespace {

constexpr int kNoSessionFileExit = 8;

std::span<const std::uint8_t> bytesOf(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Reads layout files from the key data folder, then the program data folder.
class FolderLayoutSource : public keys::LayoutFileSource {
  public:
    FolderLayoutSource(std::string keyData, std::string programData)
        : keyData_(std::move(keyData)), programData_(std::move(programData)) {}
    std::optional<std::vector<std::uint8_t>> read(const std::string& name) override {
        for (const std::string* folder : {&keyData_, &programData_}) {
            std::string error;
            if (const auto path = platform::resolveFile(*folder, name, error))
                if (const auto text = platform::readFile(*path))
                    return std::vector<std::uint8_t>(text->begin(), text->end());
        }
        return std::nullopt;
    }

  private:
    std::string keyData_;
    std::string programData_;
};

}  // namespace

std::unique_ptr<AppCore> coreFromArguments(const std::vector<std::string>& args,
                                           const std::string& programData) {
    auto core = std::make_unique<AppCore>();
    const auto parsed =
        parseArguments(args, [](const std::string& path) { return platform::isFile(path); });
    core->line = parsed.options;
    core->commandLineValid = parsed.ok;
    core->commandLineMessage = parsed.message;
    core->programData = programData;
    return core;
}

int MainWindow::create() {
    AppCore& c = *core_;
    int exitCode = 1;
    // Each step returns false to stop; `exitCode` is then the program's.
    const std::vector<std::pair<const char*, std::function<bool()>>> steps = {
        {"folders",
         [&] {
             platform::SystemEnvironment env;
             const auto start = platform::settleStartupFolders(
                 c.programData, c.line.has(Opt::AppData), c.line.value(Opt::FilesIni), env);
             if (!start.ok) {
                 askNow(this, "Cedar TN3270 Error", start.error);
                 return false;
             }
             c.folders = start.folders;
             if (!c.folders.documents.empty())
                 QDir::setCurrent(QString::fromStdString(c.folders.documents));
             return true;
         }},
        {"command line",
         [&] {
             // An invalid option is shown, and the start goes on.
             if (!c.commandLineValid) askNow(this, kCommandLineErrorTitle, c.commandLineMessage);
             const std::string name = c.line.value(Opt::Settings);
             c.iniPath = name.empty() ? c.folders.appData + "/cedar.ini"
                                      : buildPath(c.folders.appData, name, "");
             return true;
         }},
        {"key list", [&] { return loadKeyList(); }},
        {"settings", [&] { return readSettings(); }},
        {"session file",
         [&] {
             if (loadSessionFile()) return true;
             exitCode = kNoSessionFileExit;
             return false;
         }},
        {"command-line connection options",
         [&] {
             applyCommandLine();
             return true;
         }},
        {"screen and country",
         [&] {
             buildSession();
             return loadCountry();
         }},
        {"keyboard map", [&] { return loadKeyboardMap(); }},
        {"session id", [&] { return claimSessionId(); }},
        {"connection and driver",
         [&] {
             const auto& hosts = c.hosts;
             const auto& settings = c.settings;
             const std::string certs = c.folders.certs;
             c.control = std::make_unique<HostLinkControl>(
                 *c.session, c.connector, scheduler_,
                 [&hosts, &settings, certs,
                  &session = *c.session](const sessionfile::SessionOptions& record) {
                     const auto plan = planFromSession(record, hosts, settings, certs);
                     settleModel(session, plan);
                     return plan;
                 },
                 static_cast<LinkUi*>(this));
             // The session's trace file ("sessionA.trc" in the AppData
             // folder), started at once with /T.
             const char id = area::idOfIndex(c.identity->index());
             c.traceSink = std::make_unique<platform::FolderTraceSink>(c.folders.appData);
             c.trace = std::make_unique<Trace>(*c.traceSink, c.traceClock, id);
             c.control->link().setTrace(c.trace.get());
             if (c.line.has(Opt::Trace)) c.trace->start();
             SenderSettings s;
             s.keepAliveTime = c.settings.keepAliveTime;
             s.keepAliveTimeDisable = c.settings.keepAliveTimeDisable;
             s.keepAliveCommand = c.settings.keepAlive;
             c.control->link().sender().setSettings(s);
             c.control->link().transfer().configure(transferConfiguration(
                 c.file.options, c.settings, display::qt::userSeparators(), id));
             c.keyboard = std::make_unique<SessionKeyboard>(
                 *c.session, c.control->link(),
                 keys::KeyboardServices{
                     .ui = static_cast<keys::KeyboardUi*>(this),
                     .deferred = static_cast<keys::DeferredKeyFunctions*>(this)});
             c.facts = std::make_unique<LinkFacts>(c.control->link());
             c.variables = std::make_unique<SystemVariables>(*c.session, c.file.options,
                                                             *c.identity, *c.facts);
             buildMacros();
             SessionDriver::Start start;
             // A start without a session of its own (or with the shipped
             // sample host still in it) asks through the SESSION dialog.
             const bool sampleHost =
                 c.file.options.text(sessionfile::Field::HostName) == sessionfile::kSampleHostName;
             start.sessionFile = c.givenOnCommandLine && !sampleHost ? c.sessionFile : "";
             start.sessionLoaded = c.sessionLoaded;
             start.startupMacro = c.line.value(Opt::Macro);
             c.driver = std::make_unique<SessionDriver>(
                 SessionDriver::Parts{*c.session, c.file, c.settings, scheduler_, *c.control, *this,
                                      *c.store, *c.settingsStore, c.macros->runner(), *c.identity},
                 start);
             c.macros->runner().setDriver(c.driver.get());
             auto& k = c.keyInputSettings;
             k.toggleShiftCaps = c.file.options.number(sessionfile::Field::ToggleShiftCaps) != 0;
             k.useAltForMenu = c.file.options.number(sessionfile::Field::UseAltForMenu) != 0;
             k.keyTronicsKeyboard = c.settings.keyTronicsKeyboard != 0;
             k.ignoreKeyUp80 = c.settings.ignoreKeyUp80 != 0;
             k.checkForMacroRunning = c.settings.checkForMacroRunning != 0;
             k.wheelUp = c.settings.wheelUp;
             k.wheelDown = c.settings.wheelDown;
             k.wheelDelay = c.settings.wheelDelay;
             c.keyInput = std::make_unique<keys::qt::KeyboardInput>(
                 keys::KeyInputContext{c.keyboard->controller(), c.session->status,
                                       c.session->keyboard, c.session->keyboardSettings,
                                       c.keyboardMap, c.session->codePages, c.keyInputSettings,
                                       &c.keyList, &scheduler_},
                 c.macros.get(), static_cast<keys::KeyInputUi*>(this));
             c.trustedHosts = std::make_unique<platform::TrustedHostsFile>(
                 platform::trustFilePath(c.folders.certs));
             c.driver->setCertificateTrust(c.trustedHosts.get());
             return true;
         }},
        {"window",
         [&] {
             c.session->screen.setListener(this);
             view_ = new display::qt::TerminalView(c.session->screen,
                                                   display::ViewOptions::load(c.file.options),
                                                   display::kFallbackCell, this);
             view_->setFocusPolicy(Qt::NoFocus);
             statusBar_ = new display::qt::StatusBar(
                 QString::fromStdString(view_->options().trueTypeFace), view_->cellSize(), this);
             applyColors();
             statusBar_->setTlsInfoHandler([this] { showTlsInformation(); });
             statusBar_->setClickHandler([this] { ignoreNextClick_ = false; });
             if (qEnvironmentVariableIsSet("CEDAR_TIMING")) {
                 firstScreenPending_ = true;
                 view_->installEventFilter(this);
             }
             view_->move(0, 0);
             fitFontToWindow();
             checkSavedPosition();
             setWindowTitle(QString::fromStdString(titleText()));
             return true;
         }},
        {"command-line choices kept",
         [&] {
             keepCommandLineChoices();
             return true;
         }},
    };
    for (const auto& [name, run] : steps) {
        if (!run()) return exitCode;
    }
    created_ = true;
    return 0;
}

bool MainWindow::loadKeyList() {
    AppCore& c = *core_;
    const auto bytes = platform::readFile(c.programData + "/key.lst");
    const auto message =
        bytes ? c.keyList.load(bytesOf(*bytes)) : std::optional(keys::keyListNotFoundMessage());
    if (!message) return true;
    askNow(this, message->title, message->text);
    return false;
}

bool MainWindow::readSettings() {
    AppCore& c = *core_;
    const std::string ini = platform::readFile(c.iniPath).value_or("");
    c.settings = cedar::readSettings(ini);
    std::vector<sessionfile::HostListMessage> warnings;
    c.hosts = sessionfile::HostList::parse(ini, &warnings);
    for (const auto& w : warnings)
        askNow(this, w.title, w.text);
    const std::string iniPath = c.iniPath;
    c.settingsStore = std::make_unique<ProfileSettingsStore>(
        [iniPath] { return platform::readFile(iniPath); },
        [iniPath](const std::function<std::string(const std::string&)>& edit) {
            std::string error;
            return platform::editFileLocked(iniPath, edit, error);
        });
    c.files = std::make_unique<platform::AppDataFolderFiles>(c.folders.appData);
    c.store = std::make_unique<FolderSessionStore>(
        *c.files, c.settings, *c.settingsStore, sessionfile::LoadContext{c.folders.documents},
        [this](const DriverMessage& m) {
            // Before the driver runs, at once; then in turn with its own.
            if (core_->driver)
                core_->driver->notify(m);
            else
                askNow(this, m.title, m.text, m.icon);
        },
        [this] {
            // Before the screen exists (a save of the command line's
            // options) the file keeps the default size's window.
            if (!core_->session) return sessionfile::ScreenGeometry{};
            const auto& ps = core_->session->screen;
            const auto cell = view_ ? view_->cellSize() : display::CellSize{};
            return sessionfile::ScreenGeometry{ps.rows(), ps.columns(), cell.width, cell.height};
        });
    return true;
}

bool MainWindow::loadSessionFile() {
    AppCore& c = *core_;
    std::string name;
    if (c.line.has(Opt::Session)) {
        const std::string given = c.line.value(Opt::Session);
        std::string error;
        if (platform::locateSessionFile(given, *c.files, name, error)) {
            c.givenOnCommandLine = true;
        } else {
            askNow(this, title::kFileNotFound, error);
            name = sessionfile::withSesExtension(given);
        }
    } else {
        name = sessionfile::withSesExtension(c.settings.lastSession.empty()
                                                 ? std::string(sessionfile::kStandardSessionFile)
                                                 : c.settings.lastSession);
    }
    // A file that cannot be loaded gives way to standard.ses, once.
    for (;;) {
        if (c.store->load(name, c.file)) break;
        if (sessionfile::isStandardSessionFile(name)) return false;
        name = std::string(sessionfile::kStandardSessionFile);
    }
    c.sessionFile = name;
    c.sessionLoaded = true;
    return true;
}

void MainWindow::applyCommandLine() {
    AppCore& c = *core_;
    c.effects = applyConnectionOptions(c.line, c.file.options, c.hosts);
    if (c.effects.givenOnCommandLine) c.givenOnCommandLine = true;
    for (const auto& m : c.effects.messages)
        askNow(this, m.title, m.text);
}

void MainWindow::keepCommandLineChoices() {
    // Written only once nothing can stop the start any more, so that a start
    // that fails leaves the user's files as they were.
    AppCore& c = *core_;
    if (c.effects.saveHostList) {
        const auto& hosts = c.hosts;
        std::string error;
        if (!platform::editFileLocked(
                c.iniPath, [&hosts](const std::string& text) { return hosts.store(text); }, error))
            askNow(this, "Cedar TN3270 Error", error);
    }
    if (c.effects.saveSession) c.store->save(c.file, sessionfile::SaveMode::Save, true);
}

void MainWindow::buildSession() {
    AppCore& c = *core_;
    const auto plan = planFromSession(c.file.options, c.hosts, c.settings, c.folders.certs);
    ScreenSessionOptions screenOptions;
    screenOptions.modelIndex = plan.modelIndex;
    screenOptions.userRows = plan.userRows;
    screenOptions.userColumns = plan.userColumns;
    c.session = std::make_unique<Session>(c.settings.screenSettings(), screenOptions);
    for (std::size_t i = 0; i < c.session->models.size(); ++i)
        c.session->models[i].terminalType = c.settings.termTypes[i];
    // The default size of the session's model, the size mode still open.
    c.session->applySizeOptions();
    c.session->applyKeyboardSettings(c.file.options, c.settings);
}

bool MainWindow::loadCountry() {
    AppCore& c = *core_;
    // The user's own copy first, then the program's.
    auto text = platform::readFile(c.folders.appData + "/country.lst");
    if (!text) text = platform::readFile(c.programData + "/country.lst");
    if (!text) {
        askNow(this, title::kFileNotFound,
               "File \"country.lst\" was not found.\nYou may need to re-install Cedar.");
        return false;
    }
    c.countryText = *text;
    const CountrySelection selection{c.file.options.text(sessionfile::Field::Screen),
                                     c.file.options.text(sessionfile::Field::PcCodePage),
                                     c.file.options.text(sessionfile::Field::Keyboard)};
    const auto report =
        loadCountryText(c.countryText, CountryMode::Screen, selection, c.session->codePages);
    // Without a whole base screen table every host character would be wrong.
    if (report.screenValues < 256) {
        askNow(this, "Cedar TN3270 Installation Error",
               "The country file \"country.lst\" is damaged: its screen table has " +
                   std::to_string(report.screenValues) +
                   " of 256 values.\nYou may need to re-install Cedar.");
        return false;
    }
    return true;
}

bool MainWindow::loadKeyboardMap() {
    AppCore& c = *core_;
    const auto load = keys::qt::loadSessionKeyboard(
        {c.folders.appData, c.programData, c.folders.keyData},
        c.file.options.text(sessionfile::Field::EditKeyboard),
        c.file.options.text(sessionfile::Field::Keyboard), c.settings.additionalKeys != 0,
        c.session->codePages, c.keyboardMap);
    for (const auto& m : load.messages)
        askNow(this, m.title, m.text);
    if (!load.countryFileFound || !load.mapLoaded) return false;
    if (load.newKeyboardFileName) {
        c.file.options.setText(sessionfile::Field::EditKeyboard, *load.newKeyboardFileName);
        c.store->save(c.file, sessionfile::SaveMode::Save, true);
    }
    return true;
}

}  // namespace cedar::app
