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

void writeAll(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
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

// Text: LF-only lines reach the host as CR LF lines.
TEST_F(HeadlessTransfer, LfOnlyTextArrivesWithCrLf) {
    const Bytes lf = text("first line\nsecond\n\nlast\n");
    const Bytes crlf = text("first line\r\nsecond\r\n\r\nlast\r\n");
    for (Mode mode : {Mode::Auto, Mode::CutOnly}) {
        SCOPED_TRACE(mode == Mode::Auto ? "dft" : "cut");
        hostside::IndFileOptions options;
        options.mode = mode;
        host_.setOptions(options);
        writeAll(local("lf.txt"), lf);
        const auto a = transfer("transfer send " + local("lf.txt") + " TEXT.DATA");
        ASSERT_TRUE(a.ok) << a.error << "\n" << program_->diagnostics();
        const auto stored = host_.store().get("TEXT.DATA");
        ASSERT_TRUE(stored);
        EXPECT_TRUE(stored->bytes == crlf)
            << std::string(stored->bytes.begin(), stored->bytes.end());
    }
}

}  // namespace
}  // namespace cedar::test
