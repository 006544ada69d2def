// cedar_headless: one session without a display, driven by commands on
// standard input (see headless_shell.h and the README).
#include <cstdio>
#include <deque>
#include <fstream>
#include <iostream>
#include <mutex>
#include <span>
#include <sstream>
#include <string>
#include <thread>

#include "headless_shell.h"
#include "keyboard/key_list.h"
#include "platform/files.h"
#include "platform/tcp_connection.h"
#include "platform/trace_files.h"
#include "session/folders.h"
#include "session/settings.h"
#include "sessionfile/session_file.h"
#include "sessionfile/standard_session.h"

namespace {

constexpr int kStartupFailure = 8;

// Lines from standard input, read on a thread of their own so that the
// session keeps taking in host data while no command is pending.
class InputLines {
  public:
    explicit InputLines(cedar::EventLoop& loop) : loop_(loop) {
        std::thread([this] {
            for (std::string line; std::getline(std::cin, line);)
                push(line, false);
            push("", true);
        }).detach();  // a blocked read of stdin cannot be cancelled; it ends with the process
    }
    bool pop(std::string& line, bool& eof) {
        std::lock_guard lock(mutex_);
        if (lines_.empty()) return false;
        line = lines_.front().first;
        eof = lines_.front().second;
        lines_.pop_front();
        return true;
    }

  private:
    void push(const std::string& line, bool eof) {
        {
            std::lock_guard lock(mutex_);
            lines_.emplace_back(line, eof);
        }
        loop_.wake();
    }
    cedar::EventLoop& loop_;
    std::mutex mutex_;
    std::deque<std::pair<std::string, bool>> lines_;
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
    cedar::platform::SystemEnvironment env;
    const std::string filesIni =
        cedar::platform::readFile(cedar::configHomeFolder(env) + "/cedar-tn3270/files.ini")
            .value_or(cedar::platform::readFile(programData + "/files.ini").value_or(""));
    const cedar::Folders folders = cedar::settleFolders(filesIni, false, programData, env);
    const std::string iniPath = options.settingsFile.empty()
                                    ? folders.appData + "/cedar.ini"
                                    : cedar::buildPath(folders.appData, options.settingsFile, "");
    const std::string ini = cedar::platform::readFile(iniPath).value_or("");
    const cedar::Settings settings = cedar::readSettings(ini);
    std::vector<cedar::sessionfile::HostListMessage> warnings;
    const auto hosts = cedar::sessionfile::HostList::parse(ini, &warnings);
    for (const auto& w : warnings)
        std::fprintf(stderr, "cedar_headless: %s\n", w.text.c_str());

    cedar::ConnectionPlan plan;
    auto sessionOptions = cedar::sessionfile::standardSessionOptions();
    if (!options.sessionFile.empty()) {
        std::string path = options.sessionFile;
        if (!cedar::platform::isFile(path)) {
            std::string lookupError;
            const auto found = cedar::platform::resolveFile(
                folders.appData, cedar::sessionfile::withSesExtension(path), lookupError);
            if (!found) {
                std::fprintf(
                    stderr, "cedar_headless: %s\n",
                    lookupError.empty()
                        ? cedar::sessionfile::notFoundMessage(path, folders.appData).c_str()
                        : lookupError.c_str());
                return kStartupFailure;
            }
            path = *found;
        }
        const auto bytes = cedar::platform::readFile(path).value_or("");
        const auto name = path.substr(path.find_last_of('/') + 1);
        const auto loaded = cedar::sessionfile::loadSessionFile(
            name, std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
            {folders.documents});
        if (!loaded.ok) {
            std::fprintf(stderr, "cedar_headless: %s\n",
                         loaded.message.empty() ? cedar::sessionfile::notValidMessage(name).c_str()
                                                : loaded.message.c_str());
            return kStartupFailure;
        }
        sessionOptions = loaded.options;
        plan = cedar::planFromSession(loaded.options, hosts, settings, folders.certs);
    } else {
        plan = cedar::planFromHost(options.host, hosts, settings, folders.certs);
    }
    cedar::headless::applyOverrides(options, plan);

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
    screenOptions.modelIndex = options.modelIndex;
    screenOptions.userRows = plan.userRows;
    screenOptions.userColumns = plan.userColumns;
    cedar::Session session(settings.screenSettings(), screenOptions);
    for (std::size_t i = 0; i < session.models.size(); ++i)
        session.models[i].terminalType = settings.termTypes[i];
    session.applySizeOptions();
    session.applyKeyboardSettings(sessionOptions, settings);
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
    cedar::headless::Shell shell(options, session, connector, loop, keyList, settings);
    cedar::platform::FolderTraceSink traceSink(folders.appData);
    cedar::platform::LocalTraceClock traceClock;
    cedar::Trace trace(traceSink, traceClock, 'A');
    shell.setTrace(&trace, traceSink.pathOf(cedar::traceFileName('A')));
    if (options.trace) trace.start();
    InputLines input(loop);
    bool quit = false;
    while (!quit) {
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
    return 0;
}
