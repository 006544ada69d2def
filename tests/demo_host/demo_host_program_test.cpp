// cedar_demo_host as a user meets it: cedar_headless and s3270 log on, page
// the data set list and log off, and see the same screens.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "headless_process.h"
#include "line_process.h"
#include "oracles.h"
#include "s3270_peer.h"
#include "sessionfile/session_file.h"
#include "sessionfile/standard_session.h"

namespace cedar {
namespace {

using namespace std::chrono_literals;

// The demo host on a port the system picks.
class DemoHost {
  public:
    bool start(std::vector<std::string> args = {}) {
        args.insert(args.begin(), CEDAR_DEMO_HOST);
        std::string error;
        if (!process_.start(args, test::environmentWithout({}), error)) return false;
        std::string line;
        if (process_.readLine(line, test::LineProcess::Clock::now() + 10s) !=
            test::LineProcess::Read::Line)
            return false;
        const std::string prefix = "listening on 127.0.0.1:";
        const auto at = line.find(prefix);
        if (at == std::string::npos) return false;
        port_ = std::atoi(line.c_str() + at + prefix.size());
        return port_ > 0;
    }
    ~DemoHost() {
        if (process_.running()) ::kill(process_.pid(), SIGTERM);
        process_.end(test::LineProcess::Clock::now() + 5s);
    }
    int port() const { return port_; }
    const std::string& diagnostics() const { return process_.diagnostics(); }

  private:
    test::LineProcess process_;
    int port_ = 0;
};

// One step of the user, in each program's words.
struct Step {
    std::vector<std::string> headless;
    std::vector<std::string> s3270;
    bool compare = true;  // compare the screens after it
};

std::vector<Step> logonPageAndLogoff() {
    return {
        {{}, {}},
        {{"type ibmuser", "key Tab", "type secret", "key Enter", "wait unlock 10"},
         {"String(ibmuser)", "Tab", "String(secret)", "Enter", "Wait(10,Unlock)"}},
        {{"type 2", "key Enter", "wait unlock 10"}, {"String(2)", "Enter", "Wait(10,Unlock)"}},
        {{"key PF8", "wait unlock 10"}, {"PF(8)", "Wait(10,Unlock)"}},
        {{"key PF8", "wait unlock 10"}, {"PF(8)", "Wait(10,Unlock)"}},
        {{"key PF7", "wait unlock 10"}, {"PF(7)", "Wait(10,Unlock)"}},
        {{"key PF3", "wait unlock 10"}, {"PF(3)", "Wait(10,Unlock)"}},
        {{"type 3", "key Enter", "wait unlock 10"}, {"String(3)", "Enter", "Wait(10,Unlock)"}},
        {{"key PF3", "wait unlock 10", "type x", "key Enter"},
         {"PF(3)", "Wait(10,Unlock)", "String(x)", "Enter"},
         false},
    };
}

// The peers call themselves 3279, we 3278: the logon panel shows it.
std::string sameTerminal(std::string row) {
    if (const auto at = row.find("IBM-3279-"); at != std::string::npos) row[at + 7] = '8';
    return row;
}

TEST(DemoHostProgram, HeadlessAndS3270SeeTheSameScreens) {
    CEDAR_REQUIRE_ORACLE(test::S3270Peer::available(), "s3270");
    DemoHost host;
    ASSERT_TRUE(host.start()) << host.diagnostics();
    const std::string address = "127.0.0.1:" + std::to_string(host.port());

    test::HeadlessProcess ours(CEDAR_HEADLESS);
    ASSERT_TRUE(ours.start({"--no-reconnect", address})) << ours.failure();
    test::S3270Peer peer;
    ASSERT_TRUE(peer.start()) << peer.error();
    ASSERT_TRUE(ours.command("connect").ok);
    ASSERT_TRUE(ours.command("wait unlock 10").ok);
    ASSERT_TRUE(peer.action("Connect(" + address + ")").ok);
    ASSERT_TRUE(peer.action("Wait(10,Unlock)").ok);

    int n = 0;
    for (const auto& step : logonPageAndLogoff()) {
        ++n;
        for (const auto& c : step.headless) {
            const auto a = ours.command(c);
            ASSERT_TRUE(a.ok) << "step " << n << ": " << c << ": " << a.error;
        }
        for (const auto& c : step.s3270) {
            const auto a = peer.action(c);
            ASSERT_TRUE(a.ok) << "step " << n << ": " << c << ": " << a.failure;
        }
        if (!step.compare) continue;
        const auto screen = ours.command("screen");
        const auto ascii = peer.action("Ascii");
        ASSERT_TRUE(screen.ok && ascii.ok);
        ASSERT_EQ(screen.lines.size(), 24u);
        ASSERT_EQ(ascii.data.size(), 24u);
        for (std::size_t r = 0; r < 24; ++r)
            EXPECT_EQ(screen.lines[r], sameTerminal(ascii.data[r])) << "step " << n << " row " << r;
    }
    // The logoff ends the connection.
    bool closed = false;
    for (int i = 0; i < 100 && !closed; ++i) {
        for (const auto& line : ours.command("status").lines)
            closed = closed || line == "connected no";
        if (!closed) std::this_thread::sleep_for(50ms);
    }
    EXPECT_TRUE(closed) << "the host did not end the connection after the logoff";
    EXPECT_TRUE(ours.command("quit").ok);
    EXPECT_EQ(ours.finish(), 0) << ours.diagnostics();
    peer.quit();
}

// A model 5 terminal gets the wide panel by Erase/Write Alternate, in plain
// TN3270 as well.
TEST(DemoHostProgram, AModelFiveTerminalGetsTheWidePanel) {
    DemoHost host;
    ASSERT_TRUE(host.start({"--no-tn3270e"})) << host.diagnostics();
    test::HeadlessProcess ours(CEDAR_HEADLESS);
    ASSERT_TRUE(
        ours.start({"--no-reconnect", "--model", "5", "127.0.0.1:" + std::to_string(host.port())}))
        << ours.failure();
    for (const char* c : {"connect", "wait unlock 10", "type me", "key Enter", "wait unlock 10",
                          "type 4", "key Enter", "wait unlock 10"}) {
        const auto a = ours.command(c);
        ASSERT_TRUE(a.ok) << c << ": " << a.error;
    }
    const auto status = ours.command("status");
    EXPECT_NE(std::find(status.lines.begin(), status.lines.end(), "size 27x132"),
              status.lines.end());
    EXPECT_NE(std::find(status.lines.begin(), status.lines.end(), "tn3270e no"),
              status.lines.end());
    const auto screen = ours.command("screen");
    ASSERT_EQ(screen.lines.size(), 27u);
    EXPECT_NE(screen.lines[0].find("27 ROWS AND 132 COLUMNS"), std::string::npos);
    for (const char* c : {"key PF3", "wait unlock 10"})
        ASSERT_TRUE(ours.command(c).ok) << c;
    const auto after = ours.command("status").lines;
    EXPECT_NE(std::find(after.begin(), after.end(), "size 24x80"), after.end())
        << "Erase/Write gives the default size back";
    EXPECT_TRUE(ours.command("quit").ok);
}

// A newcomer's file transfer: cedar_headless logs on, goes to the command
// line and sends a file to the demo host, which keeps it as a file of its
// --data-sets folder; the file comes back byte for byte. DFT when the session
// offers it, CUT when not.
namespace fs = std::filesystem;

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeAll(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class DemoHostTransfer : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/cedar-demo-xfer-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        home_ = tmpl;
        ASSERT_TRUE(host_.start({"--data-sets", home_ + "/sets"})) << host_.diagnostics();
        const std::string appData = home_ + "/Documents/Larkfield/CedarTN3270";
        fs::create_directories(appData);
        auto o = sessionfile::standardSessionOptions();
        ASSERT_TRUE(o.setText(sessionfile::Field::HostName, "demo"));
        ASSERT_TRUE(o.setText(sessionfile::Field::SessionFile, "demo.ses"));
        ASSERT_TRUE(o.setNumber(sessionfile::Field::DftMode, GetParam() ? 1 : 0));
        const auto ses = sessionfile::sessionFileBytes(o);
        writeAll(appData + "/demo.ses", std::string(ses.begin(), ses.end()));
        writeAll(appData + "/cedar.ini",
                 "[Cedar]\r\nHostnames=demo\r\nIPnames=127.0.0.1\r\nPortnums=" +
                     std::to_string(host_.port()) + "\r\nTN3270E=1\r\nSSL=0\r\n");
        program_ = std::make_unique<test::HeadlessProcess>(CEDAR_HEADLESS, home_, 30s);
        ASSERT_TRUE(program_->start({"--no-reconnect", "--session", "demo.ses"}))
            << program_->failure();
        for (const char* c : {"connect", "wait unlock 10", "type newcomer", "key Enter",
                              "wait unlock 10", "type 5", "key Enter", "wait unlock 10"}) {
            const auto a = program_->command(c);
            ASSERT_TRUE(a.ok) << c << ": " << a.error << "\n" << program_->diagnostics();
        }
    }
    void TearDown() override {
        if (program_) program_->stop();
        program_.reset();
        if (!home_.empty()) fs::remove_all(home_);
    }
    std::string screenRow(int row) {
        const auto screen = program_->command("screen");
        return screen.lines.size() > static_cast<std::size_t>(row) ? screen.lines[row] : "";
    }

    DemoHost host_;
    std::string home_;
    std::unique_ptr<test::HeadlessProcess> program_;
};

TEST_P(DemoHostTransfer, AFileGoesUpToTheDataSetFolderAndComesBack) {
    EXPECT_NE(screenRow(0).find("COMMAND LINE"), std::string::npos);
    std::string binary;
    for (int i = 0; i < 7000; ++i)  // more than one block, every byte value
        binary += static_cast<char>((i * 7 + i / 256) & 0xFF);
    writeAll(home_ + "/up.bin", binary);
    auto a = program_->command("transfer send " + home_ + "/up.bin UP.BIN BINARY");
    ASSERT_TRUE(a.ok) << a.error << "\n" << program_->diagnostics() << host_.diagnostics();
    EXPECT_EQ(a.value, std::to_string(binary.size()));
    EXPECT_EQ(readAll(home_ + "/sets/UP.BIN"), binary) << "the data set file is the PC file";
    EXPECT_NE(screenRow(21).find("TRANS03"), std::string::npos) << "the closing message";

    // A file put into the folder by hand goes down.
    writeAll(home_ + "/sets/HAND.TXT", "line one\r\nline two\r\n");
    a = program_->command("transfer receive " + home_ + "/down.txt HAND.TXT BINARY");
    ASSERT_TRUE(a.ok) << a.error;
    EXPECT_EQ(readAll(home_ + "/down.txt"), "line one\r\nline two\r\n");
    a = program_->command("transfer receive " + home_ + "/back.bin UP.BIN BINARY");
    ASSERT_TRUE(a.ok) << a.error;
    EXPECT_EQ(readAll(home_ + "/back.bin"), binary);

    // A name that would leave the folder is refused, and nothing is
    // written; a data set that is not there is not found. The host's
    // closing message on its panel says so.
    struct Refused {
        std::string command, message;
    } refused[] = {
        {"send " + home_ + "/up.bin ../ESCAPE BINARY", "Invalid data set name ../ESCAPE"},
        {"receive " + home_ + "/none.bin NOSUCH.SET BINARY", "NOSUCH.SET not found"},
    };
    for (const auto& r : refused) {
        a = program_->command("transfer " + r.command + " TIMEOUT=20");
        EXPECT_TRUE(a.ok || !a.error.empty()) << r.command << ": no answer";
        EXPECT_NE(screenRow(21).find(r.message), std::string::npos) << screenRow(21);
    }
    EXPECT_FALSE(fs::exists(home_ + "/ESCAPE"));
    EXPECT_FALSE(fs::exists(home_ + "/none.bin") && fs::file_size(home_ + "/none.bin") > 0);
}

INSTANTIATE_TEST_SUITE_P(Modes, DemoHostTransfer, ::testing::Bool(),
                         [](const auto& mode) { return mode.param ? "Dft" : "Cut"; });

}  // namespace
}  // namespace cedar
