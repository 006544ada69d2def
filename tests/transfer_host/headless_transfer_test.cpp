// cedar_headless's "transfer" command against the loopback host's IND$FILE
// program: DFT (the session offers DFT) and CUT (the host will not use DFT),
// both directions, binary and text. The file that arrives is the file that
// was sent, or the file with its line ends converted. A host that refuses a
// transfer makes it an error. Macros transfer with SENDFILE and RECEIVEFILE
// (native) and sendfile and receivefile (REXX).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
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
        fs::create_directories(appData + "/macros");
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
    void writeMacro(const std::string& name, const std::string& body) const {
        writeAll(home_ + "/Documents/Larkfield/CedarTN3270/macros/" + name, text(body));
    }
    Bytes readLocal(const std::string& name) const {
        std::ifstream in(local(name), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }

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

// The host's TRANS13 (a data set that is not there, a name it refuses) is
// the answer's error, in both modes, and the session goes on.
TEST_F(HeadlessTransfer, AHostRefusalIsAnError) {
    for (Mode mode : {Mode::Auto, Mode::CutOnly}) {
        SCOPED_TRACE(mode == Mode::Auto ? "dft" : "cut");
        hostside::IndFileOptions options;
        options.mode = mode;
        host_.setOptions(options);
        auto a = transfer("transfer receive " + local("none") + " NO.SUCH.DATA");
        EXPECT_FALSE(a.ok);
        EXPECT_NE(a.error.find("TRANS13"), std::string::npos) << a.error;
        EXPECT_NE(a.error.find("not found"), std::string::npos) << a.error;

        host_.setOptions(options);
        writeAll(local("x"), text("x"));
        a = transfer("transfer send " + local("x") + " DATA.BIN BINARY");
        ASSERT_TRUE(a.ok) << a.error << "\n" << program_->diagnostics();
    }
}

// Macros move files one after another: each transfer waits for the one
// before it (and the host's screen after it, which this host sends a
// moment after its closing message), in both dialects; a name the host
// refuses does not stop the macro, which goes on to the next line.
TEST_F(HeadlessTransfer, MacrosSendAndReceiveOneFileAfterAnother) {
    host_.setScreenDelay(300ms);
    Bytes first(7000), second(300);
    for (std::size_t i = 0; i < first.size(); ++i)
        first[i] = static_cast<std::uint8_t>(i * 7);
    for (std::size_t i = 0; i < second.size(); ++i)
        second[i] = static_cast<std::uint8_t>(0xFF - i);
    writeAll(local("first"), first);
    writeAll(local("second"), second);
    const std::string a = local("first"), b = local("second");
    writeMacro("native.mac", "SendFile(\"" + a +
                                 "\", \"MAC.FIRST\", \"BINARY\")\n"
                                 "SendFile(\"" +
                                 b +
                                 "\", \"MAC.SECOND\", \"binary\", \"TSO\")\n"
                                 "ReceiveFile(\"MAC.FIRST\", \"" +
                                 a +
                                 ".n\", \"BINARY\")\n"
                                 "ReceiveFile(\"MAC.SECOND\", \"" +
                                 b +
                                 ".n\", \"BINARY\")\n"
                                 "Debug(\"done\")\n");
    writeMacro("rexx.mac",
               "/* REXX */\n"
               "call sendfile '" +
                   a +
                   "', 'REXX.FIRST', 'BINARY'\n"
                   "call receivefile 'REXX.FIRST', '" +
                   a +
                   ".r', 'BINARY'\n"
                   "call receivefile 'NOT.THERE', '" +
                   b +
                   ".missing', 'BINARY'\n"
                   "call sendfile '" +
                   b +
                   "', 'REXX.SECOND', 'BINARY'\n"
                   "call receivefile 'REXX.SECOND', '" +
                   b +
                   ".r', 'BINARY'\n"
                   "say 'done'\n");
    for (const char* dialect : {"native", "rexx"}) {
        SCOPED_TRACE(dialect);
        const bool rexx = std::string(dialect) == "rexx";
        const std::size_t transfers = rexx ? 5 : 4;
        const auto answer = program_->command(std::string("macro ") + dialect);
        ASSERT_TRUE(answer.ok) << answer.error << "\n" << program_->diagnostics();
        EXPECT_NE(std::find(answer.lines.begin(), answer.lines.end(), "debug done"),
                  answer.lines.end())
            << program_->diagnostics();
        done_ += transfers;
        ASSERT_TRUE(host_.waitForResults(done_, 10s));
        const std::string prefix = rexx ? "REXX." : "MAC.";
        const auto up1 = host_.store().get(prefix + "FIRST");
        const auto up2 = host_.store().get(prefix + "SECOND");
        ASSERT_TRUE(up1 && up2);
        EXPECT_TRUE(up1->bytes == first);
        EXPECT_TRUE(up2->bytes == second);
        const std::string back = rexx ? ".r" : ".n";
        EXPECT_TRUE(readLocal("first" + back) == first);
        EXPECT_TRUE(readLocal("second" + back) == second);
    }
    // The refused download was a transfer the host ended with its error.
    const auto results = host_.results();
    EXPECT_EQ(std::count_if(results.begin(), results.end(), [](const auto& r) { return !r.ok; }),
              1);
}

// A macro stopped by Break while it waits for a transfer the host never
// takes up (its program name is not the host's) lets go of it: the next
// transfer starts and ends.
TEST_F(HeadlessTransfer, ABreakWhileAMacroWaitsLetsGoOfItsTransfer) {
    writeAll(local("f"), text("data"));
    writeMacro("nohost.mac",
               "SETOPTION(\"MISC\", \"UPPROGRAM\", \"NOPROG\")\n"
               "SendFile(\"" +
                   local("f") +
                   "\", \"F.DATA\")\n"
                   "Debug(\"not reached\")\n");
    auto interrupt = std::async(std::launch::async, [&] {
        std::this_thread::sleep_for(1500ms);
        return ::kill(program_->pid(), SIGINT);
    });
    auto a = program_->command("macro nohost");
    EXPECT_EQ(interrupt.get(), 0);
    EXPECT_EQ(a.error, "Macro stopped by Break key") << program_->diagnostics();
    a = program_->command("run SETOPTION(\"MISC\", \"UPPROGRAM\", \"IND$FILE\")");
    ASSERT_TRUE(a.ok) << a.error;
    a = transfer("transfer send " + local("f") + " F.DATA");
    ASSERT_TRUE(a.ok) << a.error << "\n" << program_->diagnostics();
    const auto stored = host_.store().get("F.DATA");
    ASSERT_TRUE(stored);
    EXPECT_TRUE(stored->bytes == text("data"));
}

}  // namespace
}  // namespace cedar::test
