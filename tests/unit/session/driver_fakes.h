// Fakes of the session driver's interfaces, each logging what it was asked,
// and a rig that builds a driver on a manual clock.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "manual_scheduler.h"
#include "session/session.h"
#include "session/session_driver.h"
#include "sessionfile/session_file.h"
#include "sessionfile/standard_session.h"

namespace cedar::test {

using sessionfile::Field;

class FakeLink : public LinkControl {
  public:
    explicit FakeLink(Session& session) : session_(session) {}
    void setEvents(LinkEvents* e) override { events = e; }
    void start(const sessionfile::SessionOptions& record) override {
        started.push_back(record.text(Field::HostName));
        open = true;
        secureFlag = true;
        session_.status = SessionStatus::Connecting;
    }
    void close() override {
        ++closes;
        open = false;
    }
    bool isOpen() const override { return open; }
    bool secure() const override { return secureFlag; }
    void clearSecure() override { secureFlag = false; }
    void leaveLineMode() override { ++lineModeLeft; }
    void secondTick(bool connected) override { seconds.push_back(connected); }

    // The connection ends from the host's side (the link has closed itself).
    void hostEnds() {
        open = false;
        events->hostClosed();
    }

    LinkEvents* events = nullptr;
    std::vector<std::string> started;  // the host name of each start
    int closes = 0;
    bool open = false;
    bool secureFlag = false;
    int lineModeLeft = 0;
    std::vector<bool> seconds;

  private:
    Session& session_;
};

class FakeUi : public DriverUi {
  public:
    void showMessage(const DriverMessage& m) override { messages.push_back(m); }
    void openSessionDialog(const std::string& remembered) override {
        dialogs.push_back(remembered);
    }
    void connectionRequested() override { ++requested; }
    void showWindow() override { ++windowShown; }
    void requestClose() override { ++closeRequests; }
    void destroyWindow() override { ++destroyed; }
    void releaseResources() override { ++released; }
    void quit(int code) override { quits.push_back(code); }
    void tick(int t) override { ticks.push_back(t); }
    bool askTrustCertificate(const CertificateDetails& d) override {
        trustQuestions.push_back(d);
        if (answerAtOnce) answerAtOnce(d);
        return canAskTrust;
    }

    std::vector<DriverMessage> messages;
    std::vector<std::string> dialogs;
    int requested = 0;
    int windowShown = 0;
    int closeRequests = 0;
    int destroyed = 0;
    int released = 0;
    std::vector<int> quits;
    std::vector<int> ticks;
    std::vector<CertificateDetails> trustQuestions;
    bool canAskTrust = true;
    std::function<void(const CertificateDetails&)> answerAtOnce;  // answers inside the question
};

class FakeTrustStore : public CertificateTrustStore {
  public:
    std::string trust(const CertificateDetails& d) override {
        trusted.push_back(d);
        return failure;
    }
    std::vector<CertificateDetails> trusted;
    std::string failure;  // what trust() answers
};

class FakeStore : public SessionFileStore {
  public:
    // The session files that exist, by name, and the host each names.
    std::map<std::string, std::string> files;
    std::vector<std::string> loads;
    struct Save {
        sessionfile::SaveMode mode;
        bool explicitSave;
    };
    std::vector<Save> saves;
    int backups = 0;

    bool load(const std::string& name, sessionfile::SessionFile& file) override {
        loads.push_back(name);
        const auto it = files.find(name);
        if (it == files.end()) return false;
        auto record = file.options;
        record.setText(Field::HostName, it->second);
        record.setText(Field::IpName, it->second + ".example");
        record.setNumber(Field::Port, 23);
        record.setText(Field::SessionFile, name);
        file.adopt(record);
        return true;
    }
    bool save(sessionfile::SessionFile&, sessionfile::SaveMode mode, bool explicitSave) override {
        saves.push_back({mode, explicitSave});
        return true;
    }
    void refreshStandardBackup() override { ++backups; }
};

class FakeSettingsStore : public SettingsStore {
  public:
    void writeLastSession(const std::string& name) override { lastSessions.push_back(name); }
    std::string shutDownMacro() override { return shutDown; }
    std::vector<std::string> lastSessions;
    std::string shutDown;
};

class FakeMacros : public MacroRunner {
  public:
    std::uint8_t state() const override { return macroState; }
    std::string currentName() const override { return current; }
    bool runFile(const std::string& name) override {
        log.push_back("file " + name);
        if (!canPlay) return false;
        current = name;
        return true;
    }
    void runText(const std::string& text) override { log.push_back("text " + text); }
    void runStartupMacro() override { log.push_back("startup"); }
    void clearWaitMark() override { log.push_back("clear"); }
    void reportWaitTimeout() override { log.push_back("timeout"); }
    void resume() override { log.push_back("resume"); }

    std::uint8_t macroState = 0;
    bool canPlay = true;  // false: like a session without a macro interpreter
    std::string current;
    std::vector<std::string> log;
};

class FakeIdentity : public SessionIdentity {
  public:
    int index() const override { return id; }
    std::optional<std::vector<std::uint8_t>> requestField() const override { return field; }
    void refreshWindowList(std::uintptr_t w) override { refreshes.push_back(w); }
    void release() override { ++releases; }

    // Puts `text` in the request field (NUL-terminated, zero-padded to 260).
    void setRequest(const std::string& text) {
        field = std::vector<std::uint8_t>(request::kFieldSize, 0);
        std::copy(text.begin(), text.end(), field->begin());
    }

    int id = 0;
    std::optional<std::vector<std::uint8_t>> field;
    std::vector<std::uintptr_t> refreshes;
    int releases = 0;
};

// A driver with every part faked, on a manual clock.
struct DriverRig {
    explicit DriverRig(SessionDriver::Start start = {"work.ses", true, ""}) {
        file.adopt(sessionfile::standardSessionOptions());
        file.options.setNumber(Field::ConnectionTimeout, 30);
        file.options.setNumber(Field::AutoReconnect, 0);
        file.options.setNumber(Field::AskBeforeClosing, 0);
        store.files = {{"work.ses", "MVS1"}, {"other.ses", "VM1"}};
        build(start);
    }
    void build(const SessionDriver::Start& start) {
        driver.reset();
        driver = std::make_unique<SessionDriver>(
            SessionDriver::Parts{session, file, settings, clock, link, ui, store, settingsStore,
                                 macros, identity},
            start);
    }
    SessionDriver& d() { return *driver; }
    // A connection that is up and has shown its first screen.
    void connected() {
        d().connect(ConnectMode::User);
        session.status = SessionStatus::Unlocked;
        d().firstRecordArrived();
    }
    void setOption(Field f, std::int64_t v) { file.options.setNumber(f, v); }

    Session session;
    sessionfile::SessionFile file;
    Settings settings;
    ManualScheduler clock;
    FakeLink link{session};
    FakeUi ui;
    FakeStore store;
    FakeSettingsStore settingsStore;
    FakeMacros macros;
    FakeIdentity identity;
    std::unique_ptr<SessionDriver> driver;  // last: goes first
};

}  // namespace cedar::test
