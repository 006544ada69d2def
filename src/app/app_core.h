// Everything one running session consists of, in the order the main window's
// creation builds it: what start-up settled (folders, settings, the key list,
// the session file), the session itself, the connection, the keyboard and
// the session driver. The main window owns it and is its user interface.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/macro_recording.h"
#include "app/macro_wiring.h"
#include "host/trace.h"
#include "keyboard/key_input.h"
#include "keyboard/key_list.h"
#include "keyboard/layout_file.h"
#include "keyboard/qt/keyboard_input.h"
#include "platform/appdata_files.h"
#include "platform/common_area_posix.h"
#include "platform/tcp_connection.h"
#include "platform/trace_files.h"
#include "platform/trusted_hosts.h"
#include "platform/window_titles_posix.h"
#include "session/command_line.h"
#include "session/command_line_effects.h"
#include "session/driver_stores.h"
#include "session/folders.h"
#include "session/host_link_control.h"
#include "session/link_facts.h"
#include "session/session.h"
#include "session/session_driver.h"
#include "session/session_keyboard.h"
#include "session/system_variables.h"
#include "sessionfile/host_list.h"
#include "sessionfile/session_file.h"
#include "sessionfile/settings.h"

namespace cedar::app {

struct AppCore {
    CommandLine line;
    bool commandLineValid = true;
    std::string commandLineMessage;

    std::string programData;
    Folders folders;
    std::string iniPath;
    keys::KeyList keyList;
    Settings settings;
    sessionfile::HostList hosts;

    std::unique_ptr<platform::AppDataFolderFiles> files;
    std::unique_ptr<ProfileSettingsStore> settingsStore;
    std::unique_ptr<FolderSessionStore> store;
    sessionfile::SessionFile file;
    std::string sessionFile;          // the name the driver starts with ("" = ask)
    bool sessionLoaded = false;       // the end of the session may save it
    bool givenOnCommandLine = false;  // connect at once, without the SESSION dialog
    CommandLineEffects effects;

    std::unique_ptr<Session> session;
    std::string countryText;
    keys::LayoutBlock keyboardMap{keys::LayoutType::Keyboard};

    // The id among the running sessions, and the socket other processes post
    // requests to.
    std::unique_ptr<platform::SharedSessionIdentity> identity;
    std::unique_ptr<platform::RequestSocket> requests;
    std::unique_ptr<platform::SharedWindowTitles> titles;  // every session's title and state
    int sameFileCount = 0;  // other sessions on the same session file: cascade the window
    TcpConnector connector;
    std::unique_ptr<platform::TrustedHostsFile> trustedHosts;  // certificates trusted once
    std::unique_ptr<platform::FolderTraceSink> traceSink;
    platform::LocalTraceClock traceClock;
    std::unique_ptr<Trace> trace;
    std::unique_ptr<HostLinkControl> control;
    std::unique_ptr<SessionKeyboard> keyboard;
    std::unique_ptr<LinkFacts> facts;  // what the system variables read
    std::unique_ptr<SystemVariables> variables;
    std::unique_ptr<AppMacros> macros;      // the macro player and its function library
    std::unique_ptr<AppRecorder> recorder;  // the keys' macro recorder
    std::unique_ptr<SessionDriver> driver;
    keys::KeyInputSettings keyInputSettings;
    std::unique_ptr<keys::qt::KeyboardInput> keyInput;  // physical keys through the map
};

// The start of a session from the program's arguments (without the program
// name) and its data folder: the parsed command line, nothing else yet.
std::unique_ptr<AppCore> coreFromArguments(const std::vector<std::string>& args,
                                           const std::string& programData);

}  // namespace cedar::app
