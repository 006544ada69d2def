// cedar_headless: one session without a display, driven by commands on
// standard input (see headless_shell.h and the README).
#include <cstdio>
#include <deque>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <mutex>
#include <span>
#include <sstream>
#include <string>
#include <thread>

#include "headless_shell.h"
#include "keyboard/key_list.h"
#include "platform/appdata_files.h"
#include "platform/files.h"
#include "platform/macro_file_access.h"
#include "platform/program_start.h"
#include "platform/regina_host.h"
#include "platform/startup_folders.h"
#include "platform/tcp_connection.h"
#include "platform/trace_files.h"
#include "platform/transfer_file_opener.h"
#include "platform/trusted_hosts.h"
#include "session/driver_stores.h"
#include "session/folders.h"
#include "sessionfile/session_file.h"
#include "sessionfile/settings.h"
#include "sessionfile/standard_session.h"

namespace {

constexpr int kStartupFailure = 8;

// Lines from standard input, read on a thread of their own so that the
// session keeps taking in host data while no command is pending. A blocked
// read of stdin cannot be cancelled, so the reader may outlive this object
// (the session can end while input stays open): what it touches is shared,
// and once the object is gone it neither queues lines nor wakes the loop.
class InputLines {
  public:
    explicit InputLines(cedar::EventLoop& loop) : shared_(std::make_shared<Shared>(loop)) {
        std::thread([shared = shared_] {
            for (std::string line; std::getline(std::cin, line);)
                if (!shared->push(line, false)) return;
            shared->push("", true);
        }).detach();  // it ends with the process at the latest
    }
    ~InputLines() {
        std::lock_guard lock(shared_->mutex);
        shared_->loop = nullptr;
    }
    InputLines(const InputLines&) = delete;
    InputLines& operator=(const InputLines&) = delete;

    bool pop(std::string& line, bool& eof) {
        std::lock_guard lock(shared_->mutex);
        if (shared_->lines.empty()) return false;
        line = shared_->lines.front().first;
        eof = shared_->lines.front().second;
        shared_->lines.pop_front();
        return true;
    }

  private:
    struct Shared {
        explicit Shared(cedar::EventLoop& l) : loop(&l) {}
        // False once the reader's owner is gone.
        bool push(const std::string& line, bool eof) {
            std::lock_guard lock(mutex);
            if (loop == nullptr) return false;
            lines.emplace_back(line, eof);
            loop->wake();
            return true;
        }
        std::mutex mutex;
        cedar::EventLoop* loop;  // nullptr: the owner has gone
        std::deque<std::pair<std::string, bool>> lines;
    };
    std::shared_ptr<Shared> shared_;
};

}  // namespace

int main(int argc, char** argv) {
    cedar::headless::Options options;
    std::string error;
    if (!cedar::headless::parseCommandLine({argv + 1, argv + argc}, options, error)) {
        std::fprintf(stderr, "cedar_headless: %s\n%s", error.c_str(), cedar::headless::kUsage);
        return kStartupFailure;
    }

    // The key list first: no key function has a name without it.
    const std::string programData = cedar::platform::programDataFolder(CEDAR_DATA_DIR);
    cedar::keys::KeyList keyList;
    {
        const auto bytes = cedar::platform::readFile(programData + "/key.lst");
        const auto message =
            bytes ? keyList.load(std::span(reinterpret_cast<const std::uint8_t*>(bytes->data()),
                                           bytes->size()))
                  : std::optional(cedar::keys::keyListNotFoundMessage());
        if (message) {
            std::fprintf(stderr, "cedar_headless: %s (%s/key.lst)\n", message->text.c_str(),
                         programData.c_str());
            return kStartupFailure;
        }
    }

    // Folders, settings and the host list, as the program finds them.
    // A first start makes the user's AppData folder from the defaults tree.
    cedar::platform::SystemEnvironment env;
    const auto startup = cedar::platform::settleStartupFolders(programData, false, "", env);
    if (!startup.ok) {
        std::fprintf(stderr, "cedar_headless: %s\n", startup.error.c_str());
        return kStartupFailure;
    }
    const cedar::Folders& folders = startup.folders;
    const std::string iniPath = options.settingsFile.empty()
                                    ? folders.appData + "/cedar.ini"
                                    : cedar::buildPath(folders.appData, options.settingsFile, "");
    const std::string ini = cedar::platform::readFile(iniPath).value_or("");
    const cedar::Settings settings = cedar::readSettings(ini);
    std::vector<cedar::sessionfile::HostListMessage> warnings;
    const auto hosts = cedar::sessionfile::HostList::parse(ini, &warnings);
    for (const auto& w : warnings)
        std::fprintf(stderr, "cedar_headless: %s\n", w.text.c_str());

    // The session file through the store the driver saves it with: a start
    // that fails here never writes it.
    cedar::platform::AppDataFolderFiles files(folders.appData);
    cedar::ProfileSettingsStore settingsStore(
        [iniPath] { return cedar::platform::readFile(iniPath); },
        [iniPath](const std::function<std::string(const std::string&)>& edit) {
            std::string editError;
            return cedar::platform::editFileLocked(iniPath, edit, editError);
        });
    // Until the session runs, the store's messages go to standard error.
    std::function<void(const cedar::DriverMessage&)> storeReport =
        [](const cedar::DriverMessage& m) {
            std::fprintf(stderr, "cedar_headless: %s\n", m.text.c_str());
        };
    cedar::FolderSessionStore store(
        files, settings, settingsStore, {folders.documents},
        [&storeReport](const cedar::DriverMessage& m) { storeReport(m); });
    cedar::sessionfile::SessionFile file;
    cedar::SessionDriver::Start start;
    if (!options.sessionFile.empty()) {
        std::string lookupError;
        if (!cedar::platform::locateSessionFile(options.sessionFile, files, start.sessionFile,
                                                lookupError)) {
            std::fprintf(stderr, "cedar_headless: %s\n", lookupError.c_str());
            return kStartupFailure;
        }
        if (!store.load(start.sessionFile, file)) return kStartupFailure;
        start.sessionLoaded = true;
    } else {
        // The standard session, for the host the command line names.
        file.adopt(cedar::sessionfile::standardSessionOptions());
        file.options.setText(cedar::sessionfile::Field::HostName, options.host);
        file.options.setText(cedar::sessionfile::Field::IpName, options.host);
    }
    const std::string certs = folders.certs;
    const cedar::HostLinkControl::Planner planner =
        [options, hosts, settings, certs](const cedar::sessionfile::SessionOptions& record) {
            const auto plan = options.sessionFile.empty()
                                  ? cedar::planFromHost(options.host, hosts, settings, certs)
                                  : cedar::planFromSession(record, hosts, settings, certs);
            return cedar::headless::applyOverrides(options, plan);
        };
    const cedar::ConnectionPlan plan = planner(file.options);

    if (options.countryFile.empty()) options.countryFile = programData + "/country.lst";
    const auto countryText = cedar::platform::readFile(options.countryFile);
    if (!countryText) {
        std::fprintf(stderr,
                     "cedar_headless: File \"country.lst\" was not found.\nYou may need to "
                     "re-install Cedar. (%s)\n",
                     options.countryFile.c_str());
        return kStartupFailure;
    }

    cedar::ScreenSessionOptions screenOptions;
    screenOptions.modelIndex = plan.modelIndex;
    screenOptions.userRows = plan.userRows;
    screenOptions.userColumns = plan.userColumns;
    cedar::Session session(settings.screenSettings(), screenOptions);
    for (std::size_t i = 0; i < session.models.size(); ++i)
        session.models[i].terminalType = settings.termTypes[i];
    session.applySizeOptions();
    session.applyKeyboardSettings(file.options, settings);
    const auto report =
        cedar::loadCountryText(*countryText, cedar::CountryMode::Screen,
                               {options.country, "ANSI 1252", ""}, session.codePages);
    if (!options.country.empty() && !report.screenCountryFound) {
        std::fprintf(stderr, "cedar_headless: no country \"%s\" in %s\n", options.country.c_str(),
                     options.countryFile.c_str());
        return kStartupFailure;
    }

    cedar::EventLoop loop;
    cedar::TcpConnector connector;
    cedar::platform::TrustedHostsFile trustStore(cedar::platform::trustFilePath(folders.certs));
    cedar::platform::MacroFolderSource macroFiles(
        folders.macros, folders.cdr, cedar::platform::shippedMacrosFolder(programData));
    cedar::platform::MacroFolderFiles macroFileSystem(folders.appData);
    cedar::platform::SpawnedPrograms programs(folders.appData);
    cedar::MacroFunctionServices macroServices;
    macroServices.programs = &programs;
    macroServices.appDataFolder = folders.appData;
    macroServices.readSettings = [iniPath] { return cedar::platform::readFile(iniPath); };
    macroServices.editSettings =
        [iniPath](const std::function<std::string(const std::string&)>& edit) {
            std::string editError;
            return cedar::platform::editFileLocked(iniPath, edit, editError);
        };
    const auto transferFiles = cedar::platform::makeTransferFileOpener();
    cedar::headless::Shell shell(
        options,
        {session, file, settings, loop, connector, store, settingsStore, keyList, planner,
         &trustStore, &macroFiles, &macroFileSystem, macroServices, transferFiles.get(),
         [macros = folders.macros](const std::string& name, std::string_view text) {
             return cedar::platform::saveMacroFile(macros, name, text);
         },
         cedar::platform::localTimestamp,
         cedar::ReginaHost::factory(
             cedar::RexxErrorTexts(
                 cedar::platform::readFile(programData + "/rexxerr.lst").value_or("")),
             folders.documents)},
        start);
    storeReport = [&shell](const cedar::DriverMessage& m) { shell.notify(m); };
    cedar::platform::FolderTraceSink traceSink(folders.appData);
    cedar::platform::LocalTraceClock traceClock;
    cedar::Trace trace(traceSink, traceClock, 'A');
    shell.setTrace(&trace, traceSink.pathOf(cedar::traceFileName('A')));
    if (options.trace) trace.start();
    InputLines input(loop);
    bool quit = false;
    while (!quit && !shell.finished()) {
        std::string line;
        bool eof = false;
        if (!input.pop(line, eof)) {
            loop.runOnce(200);
            continue;
        }
        if (eof) line = "quit";
        const std::string answer = shell.execute(line, quit);
        std::fputs(answer.c_str(), stdout);
        std::fflush(stdout);
    }
    return shell.exitCode();
}
