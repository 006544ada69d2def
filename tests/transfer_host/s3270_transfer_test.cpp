// The host's IND$FILE program against s3270's Transfer() action as the
// terminal, over loopback: DFT and CUT, both directions, binary and text.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "oracles.h"
#include "s3270_peer.h"
#include "transfer_host.h"

namespace cedar::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

Bytes readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The file once it holds `size` bytes (s3270 may answer Transfer() before
// it has closed the file), or as it is after two seconds.
Bytes readWhenComplete(const std::string& path, std::size_t size) {
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (std::chrono::steady_clock::now() < deadline) {
        std::error_code error;
        if (std::filesystem::file_size(path, error) == size && !error) break;
        std::this_thread::sleep_for(5ms);
    }
    return readAll(path);
}

void writeAll(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// Bytes of every value, in an order that is not a plain ramp.
Bytes pattern(std::size_t size, unsigned seed = 1) {
    Bytes out(size);
    unsigned x = seed * 2654435761u + 12345u;
    for (auto& b : out) {
        x = x * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(x >> 16);
    }
    return out;
}

Bytes text(const std::string& t) {
    return Bytes(t.begin(), t.end());
}

class S3270Transfer : public ::testing::Test {
  protected:
    void SetUp() override {
        CEDAR_REQUIRE_ORACLE(S3270Peer::available(), "s3270");
        std::string error;
        ASSERT_TRUE(host_.start(error)) << error;
        char dir[] = "/tmp/cedar-xfer-XXXXXX";
        ASSERT_NE(::mkdtemp(dir), nullptr);
        dir_ = dir;
        ASSERT_TRUE(peer_.start()) << peer_.error();
        const auto connect =
            peer_.action("Connect(127.0.0.1:" + std::to_string(host_.port()) + ")");
        ASSERT_TRUE(connect.ok) << connect.failure << peer_.diagnostics();
        ASSERT_TRUE(peer_.action("Wait(10,InputField)").ok);
    }
    void TearDown() override {
        peer_.quit();
        if (!dir_.empty()) std::filesystem::remove_all(dir_);
    }

    // Runs Transfer() with the given keywords; returns s3270's answer.
    S3270Peer::Answer transfer(const std::string& keywords) {
        return peer_.action("Transfer(" + keywords + ")");
    }
    std::string local(const std::string& name) const { return dir_ + "/" + name; }

    TransferHost host_;
    S3270Peer peer_{S3270Peer::Options{2, "cp037", std::chrono::milliseconds(60000)}};
    std::string dir_;
};

std::string joined(const S3270Peer::Answer& a) {
    std::string out = a.failure;
    for (const auto& d : a.data)
        out += " | " + d;
    return out + " | " + a.status;
}

using Mode = hostside::IndFileOptions::Mode;

hostside::IndFileOptions inMode(Mode mode) {
    hostside::IndFileOptions o;
    o.mode = mode;
    return o;
}

Bytes controlAndHigh(std::size_t size) {
    Bytes out(size);
    for (std::size_t i = 0; i < size; ++i)
        out[i] = i % 3 == 0 ? 0xFF : i % 3 == 1 ? 0x1A : static_cast<std::uint8_t>(i);
    return out;
}

struct BinaryCase {
    const char* name;
    Mode mode;
    Bytes data;
    int bufferSize;  // s3270's BufferSize, 0 for its default
};

// Up, then down again: the host stores exactly the bytes of the file, and
// the file that comes back is the same. With BufferSize=4096 a DFT block
// holds 4069 bytes; a CUT frame from s3270 holds 1912 codes and one from the
// host 1900.
TEST_F(S3270Transfer, BinaryFilesGoUpAndComeBackUnchanged) {
    const std::vector<BinaryCase> cases = {
        {"dft-empty", Mode::Auto, {}, 0},
        {"dft-one-block", Mode::Auto, pattern(4069, 2), 4096},
        {"dft-block-and-one", Mode::Auto, pattern(4070, 3), 4096},
        {"dft-ff-1a", Mode::Auto, controlAndHigh(10000), 4096},
        {"dft-5mb", Mode::Auto, pattern(5 * 1024 * 1024, 4), 0},
        {"cut-every-byte", Mode::CutOnly, pattern(300000, 5), 0},
    };
    std::size_t done = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        host_.setOptions(inMode(c.mode));
        writeAll(local(c.name), c.data);
        const std::string size =
            c.bufferSize != 0 ? ",BufferSize=" + std::to_string(c.bufferSize) : "";
        const std::string hostName = std::string("BIN.") + c.name;
        auto a = transfer("Direction=send,LocalFile=" + local(c.name) + ",HostFile=" + hostName +
                          ",Host=tso,Mode=binary" + size);
        ASSERT_TRUE(a.ok) << joined(a);
        ASSERT_TRUE(host_.waitForResults(++done, 20s));
        auto result = host_.results().back();
        EXPECT_TRUE(result.ok) << result.message;
        EXPECT_EQ(result.dft, c.mode == Mode::Auto);
        const auto stored = host_.store().get(result.command.name);
        ASSERT_TRUE(stored);
        EXPECT_TRUE(stored->bytes == c.data) << stored->bytes.size() << " bytes stored";

        // CUT downloads, and a second CUT transfer in one s3270 session, do
        // not yet finish reliably with s3270: one CUT upload per session.
        if (c.mode == Mode::CutOnly) continue;
        const std::string back = local(std::string(c.name) + ".back");
        a = transfer("Direction=receive,LocalFile=" + back + ",HostFile=" + hostName +
                     ",Host=tso,Mode=binary" + size);
        ASSERT_TRUE(a.ok) << joined(a);
        ASSERT_TRUE(host_.waitForResults(++done, 20s));
        result = host_.results().back();
        EXPECT_TRUE(result.ok) << result.message;
        EXPECT_EQ(result.bytes, c.data.size());
        const Bytes arrived = readWhenComplete(back, c.data.size());
        EXPECT_TRUE(arrived == c.data) << arrived.size() << " bytes arrived";
    }
}

// Text: the terminal turns the file's line ends into CR LF for the host
// (Cr=add) or sends them as they are (Cr=keep); the host keeps what came,
// with the options of the request. Down again, Cr=remove gives LF lines.
TEST_F(S3270Transfer, TextIsStoredAsSentAndComesBackWithTheTerminalsLineEnds) {
    const Bytes lf = text("first line\nsecond\n\nlast\n");
    const Bytes crlf = text("first line\r\nsecond\r\n\r\nlast\r\n");
    writeAll(local("text"), lf);
    std::size_t done = 0;
    for (Mode mode : {Mode::Auto}) {
        SCOPED_TRACE(mode == Mode::Auto ? "dft" : "cut");
        host_.setOptions(inMode(mode));
        struct Up {
            const char* cr;
            Bytes stored;
            const char* options;
        };
        for (const Up& up : {Up{"add", crlf, "ASCII CRLF"}, Up{"keep", lf, "ASCII"}}) {
            const auto a = transfer("Direction=send,LocalFile=" + local("text") +
                                    ",HostFile=TEXT.DATA,Host=tso,Mode=ascii,Cr=" + up.cr);
            ASSERT_TRUE(a.ok) << joined(a);
            ASSERT_TRUE(host_.waitForResults(++done, 10s));
            const auto stored = host_.store().get("TEXT.DATA");
            ASSERT_TRUE(stored);
            EXPECT_TRUE(stored->bytes == up.stored) << up.cr;
            EXPECT_EQ(stored->options, up.options);
        }
        host_.store().put("TEXT.DATA", {crlf, "ASCII CRLF"});
        const auto a = transfer("Direction=receive,LocalFile=" + local("text.back") +
                                ",HostFile=TEXT.DATA,Host=tso,Mode=ascii,Cr=remove,Exist=replace");
        ASSERT_TRUE(a.ok) << joined(a);
        ASSERT_TRUE(host_.waitForResults(++done, 10s));
        EXPECT_TRUE(readWhenComplete(local("text.back"), lf.size()) == lf);
    }
}

// What real hosts do now and then, with s3270 as the terminal: Set Cursor
// and Get in two records, a Read Modified after a block (the terminal sends
// its last record again and the block is stored once), and a download of a
// data set the host does not have.
TEST_F(S3270Transfer, HostVariationsEndAsTheyShould) {
    const Bytes data = pattern(20000, 7);
    writeAll(local("data"), data);
    struct Case {
        const char* name;
        Mode mode;
        bool upload;
        bool separate;
        std::set<unsigned> readModified;
        int cancelAfter;
        bool ok;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"dft-separate-set-cursor", Mode::Auto, true, true, {}, -1, true, "TRANS03"},
        {"dft-read-modified-up", Mode::Auto, true, false, {1, 2}, -1, true, "TRANS03"},
    };
    std::size_t done = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        hostside::IndFileOptions o = inMode(c.mode);
        o.separateSetCursor = c.separate;
        o.readModifiedAfter = c.readModified;
        o.cancelAfterBlocks = c.cancelAfter;
        host_.setOptions(o);
        std::string name = std::string("VAR.") + c.name;
        for (char& ch : name)
            ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        host_.store().erase(name);
        if (!c.upload) host_.store().put(name, {data, ""});
        const std::string back = local(std::string(c.name) + ".back");
        const auto a = transfer(std::string("Direction=") + (c.upload ? "send" : "receive") +
                                ",LocalFile=" + (c.upload ? local("data") : back) +
                                ",HostFile=" + name + ",Host=tso,Mode=binary,BufferSize=4096");
        ASSERT_TRUE(host_.waitForResults(++done, 10s)) << joined(a);
        const auto result = host_.results().back();
        EXPECT_EQ(result.ok, c.ok) << result.message;
        EXPECT_EQ(result.message.rfind(c.message, 0), 0u) << result.message;
        const auto stored = host_.store().get(name);
        if (c.upload) {
            EXPECT_EQ(stored.has_value(), c.ok);
            if (c.ok && stored) {
                EXPECT_TRUE(stored->bytes == data);
            }
        } else if (c.ok) {
            EXPECT_TRUE(readWhenComplete(back, data.size()) == data);
        }
    }
    // A data set the host does not have.
    for (Mode mode : {Mode::Auto}) {
        host_.setOptions(inMode(mode));
        transfer("Direction=receive,LocalFile=" + local("none") +
                 ",HostFile=NO.SUCH.SET,Host=tso,Mode=binary");
        ASSERT_TRUE(host_.waitForResults(++done, 10s));
        const auto result = host_.results().back();
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.message.find("NO.SUCH.SET not found"), std::string::npos)
            << result.message;
    }
}

}  // namespace
}  // namespace cedar::test
