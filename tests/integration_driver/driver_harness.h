// One whole session for end-to-end tests of the session driver: the real
// HostLink (through HostLinkControl), TcpConnector and an EventLoop run by
// the test's thread, the session file store over files kept in memory, and a
// user interface that records what it is asked and lets the test answer.
#pragma once

#include <dirent.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/event_loop.h"
#include "platform/tcp_connection.h"
#include "record_builder.h"
#include "screen/screen_text.h"
#include "session/connection_plan.h"
#include "session/driver_stores.h"
#include "session/host_link_control.h"
#include "session/session_driver.h"
#include "sessionfile/host_list.h"
#include "sessionfile/standard_session.h"

namespace cedar::test {

class MemoryFiles : public AppDataFiles {
  public:
    std::optional<std::vector<std::uint8_t>> read(const std::string& name) override {
        const auto it = files.find(name);
        if (it == files.end()) return std::nullopt;
        return it->second;
    }
    bool write(const std::string& name, std::span<const std::uint8_t> bytes, int&) override {
        files[name].assign(bytes.begin(), bytes.end());
        return true;
    }
    std::string folder() const override { return "memory"; }
    std::map<std::string, std::vector<std::uint8_t>> files;
};

class HarnessUi : public DriverUi {
  public:
    void showMessage(const DriverMessage& m) override { messages.push_back(m); }
    void openSessionDialog(const std::string&) override { ++dialogs; }
    void requestClose() override {
        ++closeRequests;
        // As a posted close message would: the driver decides later.
        if (loop != nullptr && driver != nullptr) loop->post([d = driver] { d->close(); });
    }
    void quit(int code) override { quits.push_back(code); }

    EventLoop* loop = nullptr;
    SessionDriver* driver = nullptr;
    std::vector<DriverMessage> messages;
    int dialogs = 0;
    int closeRequests = 0;
    std::vector<int> quits;
};

class FixedIdentity : public SessionIdentity {
  public:
    explicit FixedIdentity(int i) : id(i) {}
    int index() const override { return id; }
    void release() override { ++releases; }
    int id;
    int releases = 0;
};

struct SessionSetup {
    int port = 23;
    bool tn3270e = false;
    bool autoReconnect = false;
    int connectionTimeout = 10;
    int sessionIndex = 35;  // session 9: the shortest staggered delay
    int closeOnDisconnect = 0;
};

// The session file "loop.ses" naming 127.0.0.1 and the port, loaded at start.
class DriverHarness {
  public:
    explicit DriverHarness(const SessionSetup& s) : identity(s.sessionIndex) {
        settings.closeOnDisconnect = s.closeOnDisconnect;
        auto record = sessionfile::standardSessionOptions();
        record.setText(sessionfile::Field::HostName, "loopback");
        record.setText(sessionfile::Field::IpName, "127.0.0.1");
        record.setNumber(sessionfile::Field::Port, s.port);
        record.setNumber(sessionfile::Field::Tn3270e, s.tn3270e ? 1 : 0);
        record.setNumber(sessionfile::Field::ConnectionTimeout, s.connectionTimeout);
        record.setNumber(sessionfile::Field::AutoReconnect, s.autoReconnect ? 1 : 0);
        record.setNumber(sessionfile::Field::AskBeforeClosing, 0);
        files.files["loop.ses"] = sessionfile::sessionFileBytes(record);
        const bool loaded = store.load("loop.ses", file);
        driver = std::make_unique<SessionDriver>(
            SessionDriver::Parts{t.session, file, settings, loop, control, ui, store, settingsStore,
                                 macros, identity},
            SessionDriver::Start{"loop.ses", loaded, ""});
        ui.loop = &loop;
        ui.driver = driver.get();
    }
    ~DriverHarness() {
        driver.reset();
        control.close();
        // Let connections retired inside their own events go.
        loop.runUntil([] { return false; }, std::chrono::milliseconds(20));
    }

    template <typename Predicate>
    bool run(Predicate done, std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            loop.runOnce(std::min<std::int64_t>(left.count(), 10));
        }
        return true;
    }
    std::string row(int r) { return t.row(r); }
    SessionStatus status() const { return t.session.status; }

    TestSession t;
    EventLoop loop;
    TcpConnector connector;
    sessionfile::SessionFile file;
    Settings settings;
    MemoryFiles files;
    SettingsStore settingsStore;
    MacroRunner macros;
    FixedIdentity identity;
    HarnessUi ui;
    std::unique_ptr<SessionDriver> driver;
    FolderSessionStore store{files, settings, settingsStore, {}, [this](const DriverMessage& m) {
                                 if (driver) driver->notify(m);
                             }};
    HostLinkControl control{t.session, connector, loop,
                            [this](const sessionfile::SessionOptions& r) {
                                return planFromSession(r, sessionfile::HostList{}, settings, "");
                            }};
};

// Entries of a /proc/self folder: the process's threads or open files.
inline int countEntries(const char* folder) {
    DIR* dir = ::opendir(folder);
    if (dir == nullptr) return -1;
    int n = 0;
    while (const dirent* e = ::readdir(dir))
        if (e->d_name[0] != '.') ++n;
    ::closedir(dir);
    return n;
}

}  // namespace cedar::test
