// cedar_headless as a user runs it: a session file or a host list name from
// the user's AppData folder, connecting to Hercules.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "hercules_host.h"
#include "host/trace.h"
#include "oracles.h"
#include "sessionfile/session_file.h"
#include "sessionfile/standard_session.h"

namespace cedar {
namespace {

namespace fs = std::filesystem;

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class HeadlessSession : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/cedar-headless-XXXXXX";
        home_ = ::mkdtemp(tmpl);
        appData_ = home_ + "/Documents/Larkfield/CedarTN3270";
        fs::create_directories(appData_);
    }
    void TearDown() override { fs::remove_all(home_); }

    void write(const std::string& name, const std::string& bytes) {
        std::ofstream(appData_ + "/" + name, std::ios::binary) << bytes;
    }
    void writeSession(const std::string& name, const std::string& host, int port) {
        auto options = sessionfile::standardSessionOptions();
        ASSERT_TRUE(options.setText(sessionfile::Field::HostName, host));
        ASSERT_TRUE(options.setText(sessionfile::Field::IpName, host));
        ASSERT_TRUE(options.setNumber(sessionfile::Field::Port, port));
        ASSERT_TRUE(options.setText(sessionfile::Field::SessionFile, name));
        const auto bytes = sessionfile::sessionFileBytes(options);
        write(name, std::string(bytes.begin(), bytes.end()));
    }
    RunResult run(const std::string& args, const std::string& commands,
                  const std::string& program = CEDAR_HEADLESS) {
        const std::string in = home_ + "/in.txt", out = home_ + "/out.txt",
                          err = home_ + "/err.txt";
        std::ofstream(in) << commands;
        const std::string cmd = "env -u XDG_CONFIG_HOME -u XDG_DATA_HOME HOME=" + home_ + " " +
                                program + " " + args + " < " + in + " > " + out + " 2> " + err;
        RunResult r;
        const int status = std::system(cmd.c_str());
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = read(out);
        r.err = read(err);
        return r;
    }
    static std::string read(const std::string& path) {
        std::ifstream f(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), {});
    }

    std::string home_;
    std::string appData_;
};

TEST_F(HeadlessSession, ConnectsFromASessionFileAndFromAHostListName) {
    CEDAR_REQUIRE_ORACLE(test::HerculesHost::available(), "Hercules (hercules)");
    test::HerculesHost hercules;
    std::string error;
    // Each run connects twice, and Hercules keeps a device bound to a client
    // that had it.
    ASSERT_TRUE(hercules.start(error, 8)) << error;
    const std::string port = std::to_string(hercules.port());

    // The session file names a host the host list knows; the list's entry
    // supplies the address and port.
    writeSession("herc.ses", "herc", 1);
    const std::string session = read(appData_ + "/herc.ses");
    write("cedar.ini", "[Cedar]\r\nHostnames=herc\r\nIPnames=127.0.0.1\r\nPortnums=" + port +
                           "\r\nTN3270E=0\r\nSSL=0\r\n");
    // Connected, disconnected by the user and connected again through the
    // session driver.
    const std::string commands =
        "connect\nwait unlock 10\nscreen\nstatus\ndisconnect\nstatus\nconnect\nwait unlock "
        "10\nstatus\nquit\n";
    for (const std::string args : {"--session herc.ses", "--session HERC", "herc"}) {
        const RunResult r = run(args, commands);
        EXPECT_EQ(r.exitCode, 0) << args << "\n" << r.err;
        EXPECT_NE(r.out.find("Hercules Version"), std::string::npos) << args << "\n" << r.out;
        EXPECT_EQ(r.out.find("error:"), std::string::npos) << args << "\n" << r.out;
        // UNLOCKED, NOTCONNECTED after the disconnect, UNLOCKED again.
        const auto unlocked = r.out.find("status UNLOCKED");
        const auto down = r.out.find("status NOTCONNECTED", unlocked);
        EXPECT_NE(down, std::string::npos) << args << "\n" << r.out;
        EXPECT_NE(r.out.find("status UNLOCKED", down), std::string::npos) << args << "\n" << r.out;
        // The end of the session saves the file it loaded: nothing changed.
        EXPECT_EQ(read(appData_ + "/herc.ses"), session) << args;
    }
    EXPECT_NE(read(appData_ + "/cedar.ini").find("LastSession=herc.ses"), std::string::npos);
}

TEST_F(HeadlessSession, StartupFailuresExitWithCodeEight) {
    struct Case {
        std::string args;
        std::string message;
    } cases[] = {
        {"--session missing.ses", "missing"},
        {"--session bad.ses", "bad.ses"},
        {"--model 9 host", "--model takes 2, 3, 4 or 5"},
        {"", "no host or session file given"},
        {"host:70000", "Port must be a number from 1 to 65535"},
    };
    write("bad.ses", "not a session file");
    for (const auto& c : cases) {
        const RunResult r = run(c.args, "quit\n");
        EXPECT_EQ(r.exitCode, 8) << c.args;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << ": " << r.err;
    }
    // Nothing was written over or beside the file that could not be loaded.
    EXPECT_EQ(read(appData_ + "/bad.ses"), "not a session file");
    EXPECT_FALSE(fs::exists(appData_ + "/missing.ses"));
    EXPECT_FALSE(fs::exists(appData_ + "/cedar.ini"));
}

// The key list comes from the program's data folder: <prefix>/share/cedar-tn3270
// beside an installed <prefix>/bin/cedar_headless.
TEST_F(HeadlessSession, MissingOrInvalidKeyListEndsWithCodeEight) {
    const std::string bin = home_ + "/prefix/bin", data = home_ + "/prefix/share/cedar-tn3270";
    fs::create_directories(bin);
    fs::create_directories(data);
    fs::copy_file(CEDAR_HEADLESS, bin + "/cedar_headless");
    const std::string program = bin + "/cedar_headless";
    const std::string lst = read(CEDAR_DATA_DIR "/key.lst");
    ASSERT_GT(lst.size(), 26u);
    struct Case {
        std::string keyList;  // empty: no file
        std::string message;
    } cases[] = {
        {"", "File \"key.lst\" was not found.\nYou may need to re-install Cedar."},
        {"Cedar Keylist V1.00x" + lst.substr(20),
         "KEY.LST is not a valid keylist file for this version"},
        {lst.substr(0, 40), "KEY.LST is not a valid keylist file"},  // the body cut short
    };
    for (const auto& c : cases) {
        fs::remove(data + "/key.lst");
        if (!c.keyList.empty()) std::ofstream(data + "/key.lst", std::ios::binary) << c.keyList;
        const RunResult r = run("127.0.0.1:23", "quit\n", program);
        EXPECT_EQ(r.exitCode, 8) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    // With the shipped list (and no country file there) it gets past the key list.
    std::ofstream(data + "/key.lst", std::ios::binary) << lst;
    const RunResult r = run("127.0.0.1:23", "quit\n", program);
    EXPECT_EQ(r.err.find("key.lst"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("country.lst"), std::string::npos) << r.err;
}

TEST_F(HeadlessSession, TracesIntoTheAppDataFolder) {
    CEDAR_REQUIRE_ORACLE(test::HerculesHost::available(), "Hercules (hercules)");
    test::HerculesHost hercules;
    std::string error;
    ASSERT_TRUE(hercules.start(error)) << error;
    const RunResult r = run("--trace 127.0.0.1:" + std::to_string(hercules.port()),
                            "connect\nwait unlock 10\ntrace dump\ntrace stop\nquit\n");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const std::string bytes = read(appData_ + "/" + traceFileName('A'));
    TraceFile file;
    ASSERT_TRUE(parseTrace(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), file, error))
        << error << "\n"
        << r.out;
    int blocks = 0, records = 0, snapshots = 0;
    for (const auto& rec : file.records) {
        blocks += rec.type == 8;
        records += rec.type == 2;
        snapshots += rec.type == 7;
    }
    EXPECT_GT(blocks, 0);
    EXPECT_EQ(records, 1) << "the logo screen";
    EXPECT_EQ(snapshots, 1);
}

TEST_F(HeadlessSession, RefusedConnectionIsReported) {
    const int port = test::freeLoopbackPort();
    const RunResult r = run("127.0.0.1:" + std::to_string(port), "connect\nstatus\nquit\n");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("error: Cedar TN3270 Connection Error 2: Error connecting to hostname "
                         "127.0.0.1, port " +
                         std::to_string(port) + ", rc=10061"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("status NOTCONNECTED"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace cedar
