// cedar_headless's "transfer" command against the loopback host's IND$FILE
// program: DFT (the session offers DFT) and CUT (the host will not use DFT),
// both directions, binary and text. The file that arrives is the file that
// was sent, or the file with its line ends converted.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "headless_process.h"
#include "sessionfile/session_file.h"
#include "sessionfile/standard_session.h"
#include "transfer_host.h"

namespace cedar::test {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using Mode = hostside::IndFileOptions::Mode;
using namespace std::chrono_literals;

Bytes readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeAll(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// Bytes of every value in no simple order.
Bytes pattern(std::size_t size, unsigned seed) {
    Bytes out(size);
    unsigned x = seed * 2654435761u + 12345u;
    for (auto& b : out) {
        x = x * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(x >> 16);
    }
    return out;
}

// Mostly 0xFF (the Telnet IAC) and 0x1A (end of file for text), with
// everything else between.
Bytes controlAndHigh(std::size_t size) {
    Bytes out(size);
    for (std::size_t i = 0; i < size; ++i)
        out[i] = i % 3 == 0 ? 0xFF : i % 3 == 1 ? 0x1A : static_cast<std::uint8_t>(i);
    return out;
}

Bytes text(const std::string& t) {
    return Bytes(t.begin(), t.end());
}

class HeadlessTransfer : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(host_.start(error)) << error;
        char tmpl[] = "/tmp/cedar-e2e-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        home_ = tmpl;
        const std::string appData = home_ + "/Documents/Larkfield/CedarTN3270";
        fs::create_directories(appData);
        fs::create_directories(home_ + "/files");
        auto o = sessionfile::standardSessionOptions();
        ASSERT_TRUE(o.setText(sessionfile::Field::HostName, "loop"));
        ASSERT_TRUE(o.setText(sessionfile::Field::IpName, "nowhere.invalid"));
        ASSERT_TRUE(o.setText(sessionfile::Field::SessionFile, "loop.ses"));
        ASSERT_TRUE(o.setNumber(sessionfile::Field::DftMode, 1));
        writeAll(appData + "/loop.ses", sessionfile::sessionFileBytes(o));
        writeAll(appData + "/cedar.ini",
                 text("[Cedar]\r\nHostnames=loop\r\nIPnames=127.0.0.1\r\nPortnums=" +
                      std::to_string(host_.port()) +
                      "\r\nTN3270E=1\r\nSSL=0\r\nUploadConvertLFtoCRLF=1\r\n"));
        program_ = std::make_unique<HeadlessProcess>(CEDAR_HEADLESS, home_, 30s);
        ASSERT_TRUE(program_->start({"--session", "loop.ses"})) << program_->failure();
        for (const char* command : {"connect", "wait unlock 10"}) {
            const auto a = program_->command(command);
            ASSERT_TRUE(a.ok) << command << ": " << a.error << "\n" << program_->diagnostics();
        }
    }
    void TearDown() override {
        if (program_) program_->stop();
        program_.reset();
        host_.stop();
        if (!home_.empty()) fs::remove_all(home_);
    }
    std::string local(const std::string& name) const { return home_ + "/files/" + name; }

    // One transfer; its answer, after the host has ended its side too.
    HeadlessProcess::Answer transfer(const std::string& line) {
        const auto a = program_->command(line);
        EXPECT_TRUE(host_.waitForResults(++done_, 10s)) << line;
        return a;
    }

    TransferHost host_;
    std::unique_ptr<HeadlessProcess> program_;
    std::string home_;
    std::size_t done_ = 0;
};

// Up, then down again: the host keeps exactly the file's bytes and the file
// that comes back is the same, over DFT and over CUT.
TEST_F(HeadlessTransfer, BinaryFilesGoUpAndComeBackUnchanged) {
    struct Case {
        const char* name;
        Mode mode;
        Bytes data;
    };
    const std::vector<Case> cases = {
        {"dft-empty", Mode::Auto, {}},
        {"dft-block", Mode::Auto, pattern(2048, 1)},
        {"dft-block-and-one", Mode::Auto, pattern(2049, 2)},
        {"dft-ff-1a", Mode::Auto, controlAndHigh(9000)},
        {"dft-1mb", Mode::Auto, pattern(1024 * 1024, 3)},
        {"cut-empty", Mode::CutOnly, {}},
        {"cut-frame-and-one", Mode::CutOnly, pattern(1901, 4)},
        {"cut-ff-1a", Mode::CutOnly, controlAndHigh(5000)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        hostside::IndFileOptions options;
        options.mode = c.mode;
        host_.setOptions(options);
        std::string hostName = std::string("BIN.") + c.name;
        for (char& ch : hostName)
            ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        writeAll(local(c.name), c.data);

        auto a = transfer("transfer send " + local(c.name) + " " + hostName + " binary");
        ASSERT_TRUE(a.ok) << a.error << "\n" << program_->diagnostics();
        EXPECT_EQ(a.value, std::to_string(c.data.size()));
        auto result = host_.results().back();
        EXPECT_TRUE(result.ok) << result.message;
        EXPECT_EQ(result.dft, c.mode == Mode::Auto);
        const auto stored = host_.store().get(hostName);
        ASSERT_TRUE(stored);
        EXPECT_TRUE(stored->bytes == c.data) << stored->bytes.size() << " bytes stored";

        const std::string back = local(std::string(c.name) + ".back");
        a = transfer("transfer receive " + back + " " + hostName + " binary");
        ASSERT_TRUE(a.ok) << a.error << "\n" << program_->diagnostics();
        result = host_.results().back();
        EXPECT_TRUE(result.ok) << result.message;
        const Bytes arrived = readAll(back);
        EXPECT_TRUE(arrived == c.data) << arrived.size() << " bytes arrived";
    }
}

// Text: LF-only lines reach the host as CR LF lines; CR LF lines stored on
// the host arrive as they are.
TEST_F(HeadlessTransfer, TextLinesArriveWithCrLf) {
    const Bytes lf = text("first line\nsecond\n\nlast\n");
    const Bytes crlf = text("first line\r\nsecond\r\n\r\nlast\r\n");
    for (Mode mode : {Mode::Auto, Mode::CutOnly}) {
        SCOPED_TRACE(mode == Mode::Auto ? "dft" : "cut");
        hostside::IndFileOptions options;
        options.mode = mode;
        host_.setOptions(options);
        writeAll(local("lf.txt"), lf);
        auto a = transfer("transfer send " + local("lf.txt") + " TEXT.DATA");
        ASSERT_TRUE(a.ok) << a.error << "\n" << program_->diagnostics();
        const auto stored = host_.store().get("TEXT.DATA");
        ASSERT_TRUE(stored);
        EXPECT_TRUE(stored->bytes == crlf)
            << std::string(stored->bytes.begin(), stored->bytes.end());

        a = transfer("transfer receive " + local("back.txt") + " TEXT.DATA");
        ASSERT_TRUE(a.ok) << a.error << "\n" << program_->diagnostics();
        const Bytes arrived = readAll(local("back.txt"));
        EXPECT_TRUE(arrived == crlf) << std::string(arrived.begin(), arrived.end());
    }
}

// A download of a data set the host does not have: the host's message is
// the answer and no session state is left behind for the next transfer.
TEST_F(HeadlessTransfer, AMissingDataSetFailsAndTheNextTransferWorks) {
    auto a = transfer("transfer receive " + local("none") + " NO.SUCH.SET binary");
    EXPECT_FALSE(a.ok);
    EXPECT_NE(a.error.find("NO.SUCH.SET"), std::string::npos) << a.error;
    const Bytes data = pattern(3000, 9);
    host_.store().put("THERE", {data, ""});
    a = transfer("transfer receive " + local("there") + " THERE binary");
    ASSERT_TRUE(a.ok) << a.error;
    EXPECT_TRUE(readAll(local("there")) == data);
}

}  // namespace
}  // namespace cedar::test
