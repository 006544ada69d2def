// s3270 as a peer for file transfer: s3270's Transfer() action and
// cedar_headless's transfer command move the same files through the same
// IND$FILE host program, each against a host of its own (the host serves
// one terminal at a time). Both hosts must store the same bytes, and the
// files the two clients download again must be equal.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "headless_process.h"
#include "oracles.h"
#include "s3270_peer.h"
#include "sessionfile/session_file.h"
#include "sessionfile/standard_session.h"
#include "transfer_host.h"

namespace cedar::test {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using Mode = hostside::IndFileOptions::Mode;
using namespace std::chrono_literals;

// Our session's DFT block size (the standard session's), given to s3270 as
// its BufferSize so both announce the same buffer in their query reply. A
// download block then carries 2500 - 27 data bytes.
constexpr int kBlockSize = 2500;
constexpr std::size_t kDownloadBlock = kBlockSize - 27;

Bytes readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// s3270 may answer Transfer() before it has closed the file: the file once
// it holds `size` bytes, or as it is after two seconds.
Bytes readWhenComplete(const std::string& path, std::size_t size) {
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (std::chrono::steady_clock::now() < deadline) {
        std::error_code error;
        if (fs::file_size(path, error) == size && !error) break;
        std::this_thread::sleep_for(5ms);
    }
    return readAll(path);
}

void writeAll(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

Bytes text(const std::string& t) {
    return Bytes(t.begin(), t.end());
}

// Every byte value, 0xFF (doubled in a Telnet stream) and 0x1A (end of a
// text file to some hosts) among them, in an order that is not a ramp.
Bytes mixed(std::size_t size) {
    Bytes out(size);
    unsigned x = 12345u;
    for (std::size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        out[i] = i % 5 == 0 ? 0xFF : i % 7 == 0 ? 0x1A : static_cast<std::uint8_t>(x >> 16);
    }
    return out;
}

std::string joined(const S3270Peer::Answer& a) {
    std::string out = a.failure;
    for (const auto& d : a.data)
        out += " | " + d;
    return out + " | " + a.status;
}

class PeerTransfer : public ::testing::Test {
  protected:
    void SetUp() override {
        CEDAR_REQUIRE_ORACLE(S3270Peer::available(), "s3270");
        std::string error;
        ASSERT_TRUE(peerHost_.start(error)) << error;
        ASSERT_TRUE(ourHost_.start(error)) << error;
        char tmpl[] = "/tmp/cedar-peer-xfer-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        home_ = tmpl;
        fs::create_directories(home_ + "/files");
        startOurs();
    }
    void TearDown() override {
        if (peer_) peer_->quit();
        if (ours_) ours_->stop();
        peerHost_.stop();
        ourHost_.stop();
        if (!home_.empty()) fs::remove_all(home_);
    }

    void startOurs() {
        const std::string appData = home_ + "/Documents/Larkfield/CedarTN3270";
        fs::create_directories(appData);
        auto o = sessionfile::standardSessionOptions();
        ASSERT_TRUE(o.setText(sessionfile::Field::HostName, "loop"));
        ASSERT_TRUE(o.setText(sessionfile::Field::IpName, "nowhere.invalid"));
        ASSERT_TRUE(o.setText(sessionfile::Field::SessionFile, "loop.ses"));
        ASSERT_TRUE(o.setNumber(sessionfile::Field::DftMode, 1));
        ASSERT_TRUE(o.setNumber(sessionfile::Field::TransferBlockSize, kBlockSize));
        writeAll(appData + "/loop.ses", sessionfile::sessionFileBytes(o));
        writeAll(appData + "/cedar.ini",
                 text("[Cedar]\r\nHostnames=loop\r\nIPnames=127.0.0.1\r\nPortnums=" +
                      std::to_string(ourHost_.port()) +
                      "\r\nTN3270E=1\r\nSSL=0\r\nUploadConvertLFtoCRLF=1\r\n"));
        ours_ = std::make_unique<HeadlessProcess>(CEDAR_HEADLESS, home_, 30s);
        ASSERT_TRUE(ours_->start({"--session", "loop.ses"})) << ours_->failure();
        for (const char* command : {"connect", "wait unlock 10"}) {
            const auto a = ours_->command(command);
            ASSERT_TRUE(a.ok) << command << ": " << a.error << "\n" << ours_->diagnostics();
        }
    }

    // A fresh s3270, connected to its host and at the host's input line.
    void startPeer() {
        if (peer_) peer_->quit();
        peer_ = std::make_unique<S3270Peer>(
            S3270Peer::Options{2, "cp037", std::chrono::milliseconds(60000)});
        ASSERT_TRUE(peer_->start()) << peer_->error();
        const auto connect =
            peer_->action("Connect(127.0.0.1:" + std::to_string(peerHost_.port()) + ")");
        ASSERT_TRUE(connect.ok) << connect.failure << peer_->diagnostics();
        ASSERT_TRUE(peer_->action("Wait(10,InputField)").ok);
    }

    // s3270 answers a CUT Transfer() once the host has acknowledged its
    // start, not at its end; and when the host's last screen and our next
    // action are both waiting, it may read the action first and type the
    // next IND$FILE command on a locked keyboard, where it is dropped. So
    // before each transfer: s3270 shows the host's input line again
    // (keyboard unlocked, cursor at row 21, column 6).
    bool peerAtInputLine() {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (std::chrono::steady_clock::now() < deadline) {
            const auto a = peer_->action("Wait(1,Unlock)");
            std::vector<std::string> fields;
            std::size_t at = 0;
            while (at < a.status.size()) {
                const std::size_t end = std::min(a.status.find(' ', at), a.status.size());
                fields.push_back(a.status.substr(at, end - at));
                at = end + 1;
            }
            if (fields.size() > 9 && fields[0] == "U" && fields[8] == "21" && fields[9] == "6")
                return true;
            std::this_thread::sleep_for(5ms);
        }
        return false;
    }

    // One transfer by s3270 with `keywords`, and the host's result of it.
    hostside::IndFileResult peerTransfer(const std::string& keywords) {
        EXPECT_TRUE(peerAtInputLine()) << peer_->diagnostics();
        const auto a = peer_->action("Transfer(" + keywords + ")");
        EXPECT_TRUE(a.ok) << keywords << ": " << joined(a);
        EXPECT_TRUE(peerHost_.waitForResults(++peerDone_, 20s)) << keywords;
        const auto results = peerHost_.results();
        return results.empty() ? hostside::IndFileResult{} : results.back();
    }
    // One transfer by cedar_headless, and the host's result of it.
    hostside::IndFileResult ourTransfer(const std::string& line) {
        const auto a = ours_->command(line);
        EXPECT_TRUE(a.ok) << line << ": " << a.error << "\n" << ours_->diagnostics();
        EXPECT_TRUE(ourHost_.waitForResults(++ourDone_, 20s)) << line;
        const auto results = ourHost_.results();
        return results.empty() ? hostside::IndFileResult{} : results.back();
    }
    void setMode(Mode mode) {
        hostside::IndFileOptions o;
        o.mode = mode;
        peerHost_.setOptions(o);
        ourHost_.setOptions(o);
    }
    std::string local(const std::string& name) const { return home_ + "/files/" + name; }

    TransferHost peerHost_, ourHost_;
    std::unique_ptr<S3270Peer> peer_;
    std::unique_ptr<HeadlessProcess> ours_;
    std::string home_;
    std::size_t peerDone_ = 0, ourDone_ = 0;
};

struct FileCase {
    const char* name;
    Bytes data;
};

std::vector<FileCase> binaryFiles() {
    return {
        {"empty", {}},
        {"ff", {0xFF}},
        {"block-1", mixed(kDownloadBlock - 1)},
        {"block", mixed(kDownloadBlock)},
        {"block+1", mixed(kDownloadBlock + 1)},
        {"mixed-20k", mixed(20 * 1024)},
    };
}

// Binary files in both modes: each client uploads a file, both hosts hold
// the same bytes (the file's); each client downloads it again, and both
// get the file back unchanged.
TEST_F(PeerTransfer, BinaryFilesMoveTheSameWayWithBothClients) {
    for (Mode mode : {Mode::Auto, Mode::CutOnly}) {
        const bool dft = mode == Mode::Auto;
        SCOPED_TRACE(dft ? "dft" : "cut");
        const std::string size = dft ? ",BufferSize=" + std::to_string(kBlockSize) : "";
        // One s3270 session per mode: transfers one after another in it.
        startPeer();
        for (const auto& [name, data] : binaryFiles()) {
            SCOPED_TRACE(name);
            writeAll(local(name), data);
            setMode(mode);
            auto peer = peerTransfer("Direction=send,LocalFile=" + local(name) +
                                     ",HostFile=DATA.BIN,Host=tso,Mode=binary" + size);
            auto ours = ourTransfer("transfer send " + local(name) + " DATA.BIN BINARY");
            EXPECT_TRUE(peer.ok) << peer.message;
            EXPECT_TRUE(ours.ok) << ours.message;
            EXPECT_EQ(peer.dft, dft);
            EXPECT_EQ(ours.dft, dft);
            const auto peerStored = peerHost_.store().get("DATA.BIN");
            const auto ourStored = ourHost_.store().get("DATA.BIN");
            ASSERT_TRUE(peerStored && ourStored);
            EXPECT_TRUE(peerStored->bytes == data) << peerStored->bytes.size() << " bytes";
            EXPECT_TRUE(ourStored->bytes == peerStored->bytes) << ourStored->bytes.size();
            EXPECT_EQ(ourStored->options, peerStored->options);

            setMode(mode);
            const std::string peerBack = local(std::string(name) + ".peer");
            const std::string ourBack = local(std::string(name) + ".ours");
            peer = peerTransfer("Direction=receive,LocalFile=" + peerBack +
                                ",HostFile=DATA.BIN,Host=tso,Mode=binary,Exist=replace" + size);
            ours = ourTransfer("transfer receive " + ourBack + " DATA.BIN BINARY");
            EXPECT_TRUE(peer.ok) << peer.message;
            EXPECT_TRUE(ours.ok) << ours.message;
            const Bytes fromPeer = readWhenComplete(peerBack, data.size());
            const Bytes fromOurs = readAll(ourBack);
            EXPECT_TRUE(fromPeer == data) << fromPeer.size() << " bytes from s3270";
            EXPECT_TRUE(fromOurs == fromPeer) << fromOurs.size() << " bytes from ours";
        }
    }
}

// Text of CR LF lines in both modes. The clients ask for it differently:
// ours sends "ASCII CRLF" and turns LF-only line ends into CR LF (lines
// already ending in CR LF stay as they are); s3270 is given Cr=keep, so it
// sends the file's bytes as they are, and then asks for "ASCII" alone. So
// both hosts store the same bytes, with options that differ in CRLF; and
// down again, with Cr=keep for s3270, both clients
// write the lines as the host holds them.
TEST_F(PeerTransfer, TextLinesMoveTheSameWayWithBothClients) {
    const Bytes lines =
        text("ALPHA beta 0123\r\n\r\n(round) <angle> +plus, comma. -dash\r\nlast\r\n");
    writeAll(local("lines.txt"), lines);
    for (Mode mode : {Mode::Auto, Mode::CutOnly}) {
        SCOPED_TRACE(mode == Mode::Auto ? "dft" : "cut");
        startPeer();
        setMode(mode);
        auto peer = peerTransfer("Direction=send,LocalFile=" + local("lines.txt") +
                                 ",HostFile=LINES.TEXT,Host=tso,Mode=ascii,Cr=keep");
        auto ours = ourTransfer("transfer send " + local("lines.txt") + " LINES.TEXT");
        EXPECT_TRUE(peer.ok && ours.ok) << peer.message << " / " << ours.message;
        const auto peerStored = peerHost_.store().get("LINES.TEXT");
        const auto ourStored = ourHost_.store().get("LINES.TEXT");
        ASSERT_TRUE(peerStored && ourStored);
        EXPECT_EQ(std::string(peerStored->bytes.begin(), peerStored->bytes.end()),
                  std::string(lines.begin(), lines.end()));
        EXPECT_TRUE(ourStored->bytes == peerStored->bytes)
            << std::string(ourStored->bytes.begin(), ourStored->bytes.end());

        setMode(mode);
        peer = peerTransfer("Direction=receive,LocalFile=" + local("lines.peer") +
                            ",HostFile=LINES.TEXT,Host=tso,Mode=ascii,Cr=keep,Exist=replace");
        ours = ourTransfer("transfer receive " + local("lines.ours") + " LINES.TEXT");
        EXPECT_TRUE(peer.ok && ours.ok) << peer.message << " / " << ours.message;
        const Bytes fromPeer = readWhenComplete(local("lines.peer"), lines.size());
        const Bytes fromOurs = readAll(local("lines.ours"));
        EXPECT_EQ(std::string(fromOurs.begin(), fromOurs.end()),
                  std::string(fromPeer.begin(), fromPeer.end()));
        EXPECT_TRUE(fromPeer == lines);
    }
}

}  // namespace
}  // namespace cedar::test
