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

// Binary files both ways in both modes: 0 bytes, around the block sizes,
// and data holding 0xFF (doubled on the wire) and 0x1A.
TEST_F(HeadlessTransfer, BinaryFilesGoUpAndComeBackUnchanged) {
    Bytes mixed;
    for (int i = 0; i < 9000; ++i)
        mixed.push_back(static_cast<std::uint8_t>(i % 7 == 0 ? 0xFF : i % 11 == 0 ? 0x1A : i));
    // The DFT block is 2500 bytes here; a CUT frame holds up to 1900 codes.
    const std::pair<const char*, Bytes> files[] = {
        {"empty", {}},
        {"one", {0xFF}},
        {"block", Bytes(mixed.begin(), mixed.begin() + 2500)},
        {"block+1", Bytes(mixed.begin(), mixed.begin() + 2501)},
        {"mixed", mixed},
    };
    for (Mode mode : {Mode::Auto, Mode::CutOnly}) {
        SCOPED_TRACE(mode == Mode::Auto ? "dft" : "cut");
        hostside::IndFileOptions options;
        options.mode = mode;
        for (const auto& [name, bytes] : files) {
            SCOPED_TRACE(name);
            host_.setOptions(options);
            writeAll(local(name), bytes);
            auto a = transfer("transfer send " + local(name) + " DATA.BIN BINARY");
            ASSERT_TRUE(a.ok) << a.error << "\n" << program_->diagnostics();
            const auto stored = host_.store().get("DATA.BIN");
            ASSERT_TRUE(stored);
            EXPECT_TRUE(stored->bytes == bytes);

            host_.setOptions(options);
            fs::remove(local("back"));
            a = transfer("transfer receive " + local("back") + " DATA.BIN BINARY");
            ASSERT_TRUE(a.ok) << a.error << "\n" << program_->diagnostics();
            std::ifstream in(local("back"), std::ios::binary);
            const Bytes back{std::istreambuf_iterator<char>(in), {}};
            EXPECT_TRUE(back == bytes) << back.size() << " bytes came back";
        }
    }
}

// Text both ways: up as CR LF lines, down again as the same lines, in both
// modes; a 5 MB binary file through DFT at the default block size.
TEST_F(HeadlessTransfer, TextRoundTripsAndALargeFile) {
    const Bytes lines = text("ALPHA beta 0123\r\n\r\n{curly} [square] $dollar\r\nlast\r\n");
    for (Mode mode : {Mode::Auto, Mode::CutOnly}) {
        SCOPED_TRACE(mode == Mode::Auto ? "dft" : "cut");
        hostside::IndFileOptions options;
        options.mode = mode;
        host_.setOptions(options);
        writeAll(local("lines.txt"), lines);
        auto a = transfer("transfer send " + local("lines.txt") + " LINES.TEXT");
        ASSERT_TRUE(a.ok) << a.error << "\n" << program_->diagnostics();
        host_.setOptions(options);
        a = transfer("transfer receive " + local("back.txt") + " LINES.TEXT");
        ASSERT_TRUE(a.ok) << a.error << "\n" << program_->diagnostics();
        std::ifstream in(local("back.txt"), std::ios::binary);
        const Bytes back{std::istreambuf_iterator<char>(in), {}};
        EXPECT_EQ(std::string(back.begin(), back.end()), std::string(lines.begin(), lines.end()));
    }

    Bytes large(5 * 1024 * 1024);
    for (std::size_t i = 0; i < large.size(); ++i)
        large[i] = static_cast<std::uint8_t>((i * 131) >> 3);
    host_.setOptions({});
    writeAll(local("large"), large);
    auto a = transfer("transfer send " + local("large") + " LARGE.BIN BINARY");
    ASSERT_TRUE(a.ok) << a.error;
    EXPECT_EQ(a.value, std::to_string(large.size()));
    const auto stored = host_.store().get("LARGE.BIN");
    ASSERT_TRUE(stored);
    EXPECT_TRUE(stored->bytes == large);
    host_.setOptions({});
    a = transfer("transfer receive " + local("large.back") + " LARGE.BIN BINARY");
    ASSERT_TRUE(a.ok) << a.error;
    std::ifstream in(local("large.back"), std::ios::binary);
    EXPECT_TRUE(Bytes(std::istreambuf_iterator<char>(in), {}) == large);
}

}  // namespace
}  // namespace cedar::test
