// cedar_headless as a whole session on the session driver, against the
// loopback test host: a session file and a host list entry in a temporary
// HOME, the first screen, the automatic reconnect after the host ends the
// connection (behind a relay that ends it on the test's word), and what the
// end of the session writes back.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "cutting_proxy.h"
#include "headless_process.h"
#include "hercules_host.h"
#include "record_builder.h"
#include "replay_host.h"
#include "screen/record_processor.h"
#include "sessionfile/session_file.h"
#include "sessionfile/standard_session.h"

namespace cedar {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using sessionfile::Field;
using Bytes = std::vector<std::uint8_t>;

const std::string kTitle(test::kLoopbackTitle);

template <typename Predicate>
bool eventually(Predicate done, std::chrono::milliseconds limit = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

bool has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class HeadlessDriver : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/cedar-headless-driver-XXXXXX";
        home_ = ::mkdtemp(tmpl);
        appData_ = home_ + "/Documents/Larkfield/CedarTN3270";
        fs::create_directories(appData_);
    }
    void TearDown() override { fs::remove_all(home_); }

    // A session file for host `host` holding its own name, as a save leaves it.
    Bytes sessionBytes(const std::string& name, const std::string& host, int autoReconnect) {
        auto o = sessionfile::standardSessionOptions();
        EXPECT_TRUE(o.setText(Field::HostName, host));
        EXPECT_TRUE(o.setText(Field::IpName, "nowhere.invalid"));  // the host list's wins
        EXPECT_TRUE(o.setText(Field::SessionFile, name));
        EXPECT_TRUE(o.setNumber(Field::AutoReconnect, autoReconnect));
        EXPECT_TRUE(o.setNumber(Field::Tn3270e, 0));
        return sessionfile::sessionFileBytes(o);
    }
    void write(const std::string& name, const Bytes& bytes) {
        std::ofstream(appData_ + "/" + name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    void writeText(const std::string& name, const std::string& text) {
        write(name, Bytes(text.begin(), text.end()));
    }
    // cedar.ini with one host list entry, "loop", on 127.0.0.1:port.
    void hostList(int port, const std::string& extra = "") {
        writeText("cedar.ini", "[Cedar]\r\nHostnames=loop\r\nIPnames=127.0.0.1\r\nPortnums=" +
                                   std::to_string(port) + "\r\nTN3270E=0\r\nSSL=0\r\n" + extra);
    }
    Bytes read(const std::string& name) const {
        std::ifstream f(appData_ + "/" + name, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(f), {});
    }
    // Every file of the AppData folder with its bytes.
    std::map<std::string, Bytes> snapshot() const {
        std::map<std::string, Bytes> files;
        for (const auto& e : fs::directory_iterator(appData_))
            if (e.is_regular_file()) files[e.path().filename()] = read(e.path().filename());
        return files;
    }
    std::unique_ptr<test::HeadlessProcess> program() {
        return std::make_unique<test::HeadlessProcess>(CEDAR_HEADLESS, home_);
    }

    std::string home_;
    std::string appData_;
};

// The relay ends the connection after the first screen; the session comes
// back to it by itself when AUTORECONNECT is on (the session's, or the
// command line's over it), and stays down when it is off. Every answer on
// the way is "ok" and the session file is written back as it was.
TEST_F(HeadlessDriver, TheHostEndingTheConnectionBringsTheFirstScreenBackWithAutoReconnect) {
    struct Case {
        const char* name;
        int recordAutoReconnect;
        std::vector<std::string> args;
        bool reconnects;
    };
    const Case cases[] = {
        {"the session's AUTORECONNECT", 1, {}, true},
        {"--reconnect over the session's off", 0, {"--reconnect"}, true},
        {"--no-reconnect over the session's on", 1, {"--no-reconnect"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::ReplayHost host({.records = {test::loopbackFirstScreen()}});
        ASSERT_TRUE(host.start()) << host.error();
        test::CuttingProxy proxy(host.port());
        ASSERT_TRUE(proxy.start());
        const Bytes saved = sessionBytes("loop.ses", "loop", c.recordAutoReconnect);
        write("loop.ses", saved);
        hostList(proxy.port());

        auto p = program();
        std::vector<std::string> args = {"--session", "loop.ses"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        ASSERT_TRUE(p->start(args)) << p->failure();
        for (const char* command : {"connect", "wait unlock 10"}) {
            const auto a = p->command(command);
            ASSERT_TRUE(a.ok) << command << ": " << a.error << "\n" << p->diagnostics();
        }
        auto screen = p->command("screen");
        ASSERT_TRUE(screen.ok) << screen.error;
        ASSERT_EQ(screen.lines.size(), 24u);
        EXPECT_EQ(screen.lines[0], " " + kTitle + std::string(80 - 1 - kTitle.size(), ' '));
        ASSERT_TRUE(host.waitForSync(10s));

        proxy.cutCurrent();
        if (c.reconnects) {
            ASSERT_TRUE(eventually([&] { return host.connections() == 2; }));
            ASSERT_TRUE(host.waitForSync(10s)) << "the second connection's screen";
            const auto wait = p->command("wait unlock 10");
            EXPECT_TRUE(wait.ok) << wait.error;
            const auto again = p->command("screen");
            ASSERT_EQ(again.lines.size(), 24u) << again.error;
            EXPECT_EQ(again.lines[0], screen.lines[0]);
            const auto status = p->command("status");
            EXPECT_TRUE(has(status.lines, "status UNLOCKED")) << status.error;
            EXPECT_TRUE(has(status.lines, "connected yes"));
        } else {
            // The driver decides at the end of the host close's delay whether
            // to reconnect: once that delay is over and the session is still
            // NOTCONNECTED, no reconnect was started.
            ASSERT_TRUE(eventually([&] {
                const auto lines = p->command("status").lines;
                return has(lines, "status NOTCONNECTED") && has(lines, "closing no");
            }));
            const auto wait = p->command("wait unlock 10");
            EXPECT_EQ(wait.error, "not connected");
            EXPECT_EQ(proxy.connections(), 1);
        }
        const auto quit = p->command("quit");
        EXPECT_TRUE(quit.ok) << quit.error;
        EXPECT_EQ(p->finish(), 0) << p->diagnostics();
        EXPECT_EQ(read("loop.ses"), saved) << "saved after the host's close and at the end";
        const Bytes ini = read("cedar.ini");
        EXPECT_NE(std::string(ini.begin(), ini.end()).find("LastSession=loop.ses"),
                  std::string::npos);
    }
}

// What the end of the session writes: the session file it loaded, by the
// save rules, and nothing when it loaded none or when a start fails.
TEST_F(HeadlessDriver, TheEndOfTheSessionSavesOnlyTheFileItLoaded) {
    const Bytes own = sessionBytes("loop.ses", "loop", 1);
    // A copy under another name: the save puts its own name in.
    const Bytes copy = own;
    auto renamed = sessionfile::standardSessionOptions();
    {
        const auto loaded = sessionfile::loadSessionFile("copy.ses", own);
        ASSERT_TRUE(loaded.ok);
        renamed = loaded.options;
    }
    const Bytes copySaved = sessionfile::sessionFileBytes(renamed);
    ASSERT_NE(copySaved, copy);
    Bytes newer = own;
    const std::string later = "Cedar Session V9.99     ";
    std::copy(later.begin(), later.end(), newer.begin());

    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::string extraIni;
        int exitCode;
        std::map<std::string, Bytes> after;  // the session files afterwards
    };
    const Case cases[] = {
        {"unchanged",
         {"--session", "loop.ses"},
         "",
         0,
         {{"loop.ses", own}, {"copy.ses", copy}, {"newer.ses", newer}}},
        {"another name",
         {"--session", "COPY"},
         "",
         0,
         {{"loop.ses", own}, {"copy.ses", copySaved}, {"newer.ses", newer}}},
        {"NoSessionSave",
         {"--session", "copy.ses"},
         "NoSessionSave=1\r\n",
         0,
         {{"loop.ses", own}, {"copy.ses", copy}, {"newer.ses", newer}}},
        {"no session file",
         {"loop"},
         "",
         0,
         {{"loop.ses", own}, {"copy.ses", copy}, {"newer.ses", newer}}},
        {"a newer version",
         {"--session", "newer.ses"},
         "",
         8,
         {{"loop.ses", own}, {"copy.ses", copy}, {"newer.ses", newer}}},
        {"a bad option after the file",
         {"--session", "copy.ses", "--model", "9"},
         "",
         8,
         {{"loop.ses", own}, {"copy.ses", copy}, {"newer.ses", newer}}},
        {"no such country",
         {"--session", "copy.ses", "--country", "Atlantis"},
         "",
         8,
         {{"loop.ses", own}, {"copy.ses", copy}, {"newer.ses", newer}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        write("loop.ses", own);
        write("copy.ses", copy);
        write("newer.ses", newer);
        hostList(test::freeLoopbackPort(), c.extraIni);
        const Bytes iniBefore = read("cedar.ini");
        auto p = program();
        ASSERT_TRUE(p->start(c.args)) << p->failure();
        EXPECT_EQ(p->finish(), c.exitCode) << p->diagnostics();
        for (const auto& [name, bytes] : c.after)
            EXPECT_EQ(read(name), bytes) << name;
        for (const auto& [name, bytes] : snapshot())
            EXPECT_TRUE(c.after.count(name) == 1 || name.rfind("cedar.ini", 0) == 0)
                << name << " appeared";
        if (c.exitCode != 0 || c.args[0] != "--session") {
            EXPECT_EQ(read("cedar.ini"), iniBefore) << "no LastSession";
        }
    }
}

// A macro's TERMINALMODEL change: the message, a new connection that offers
// the new model, and the change on disk only once the session's options are
// saved at the end.
TEST_F(HeadlessDriver, ATerminalModelChangeReconnectsWithItAndIsSavedAtTheEnd) {
    test::ReplayHost host({.records = {test::loopbackFirstScreen()}});
    ASSERT_TRUE(host.start()) << host.error();
    const Bytes saved = sessionBytes("loop.ses", "loop", 0);
    write("loop.ses", saved);
    hostList(host.port());
    auto p = program();
    ASSERT_TRUE(p->start({"--session", "loop.ses"})) << p->failure();
    for (const char* command : {"connect", "wait unlock 10"}) {
        const auto a = p->command(command);
        ASSERT_TRUE(a.ok) << command << ": " << a.error << "\n" << p->diagnostics();
    }
    const std::string firstType = host.terminalType();
    EXPECT_NE(firstType.find("3278-2"), std::string::npos) << firstType;

    auto a = p->command(R"(run SETOPTION("DISPLAY", "TERMINALMODEL", 3))");
    ASSERT_TRUE(a.ok) << a.error;
    EXPECT_TRUE(has(a.lines,
                    "message Cedar TN3270 Connection/Session Change: A Reconnect is "
                    "necessary to put your changes into effect."));
    EXPECT_EQ(read("loop.ses"), saved) << "written before the session's options were saved";

    ASSERT_TRUE(eventually([&] { return host.connections() == 2; }));
    ASSERT_TRUE(host.waitForSync(10s)) << "the second connection's screen";
    EXPECT_NE(host.terminalType().find("3278-5"), std::string::npos) << host.terminalType();
    a = p->command(R"(run DEBUG(GETOPTION("DISPLAY", "TERMINALMODEL")); DEBUG(TERMMODEL))");
    EXPECT_EQ(a.lines, (std::vector<std::string>{"debug 3", "debug 5"})) << a.error;

    ASSERT_TRUE(p->command("quit").ok);
    const Bytes after = read("loop.ses");
    sessionfile::SessionFile file;
    ASSERT_TRUE(file.load("loop.ses", after).ok);
    EXPECT_EQ(file.options.number(Field::TerminalModel), 3);
}

}  // namespace
}  // namespace cedar
