// The host's IND$FILE program against s3270's Transfer() action as the
// terminal, over loopback: DFT and CUT, both directions, binary and text.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
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

void writeAll(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// Bytes of every value, in an order that is not a plain ramp.
[[maybe_unused]] Bytes pattern(std::size_t size, unsigned seed = 1) {
    Bytes out(size);
    unsigned x = seed * 2654435761u + 12345u;
    for (auto& b : out) {
        x = x * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(x >> 16);
    }
    return out;
}

[[maybe_unused]] Bytes text(const std::string& t) {
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
    return out;
}

TEST_F(S3270Transfer, Probe) {
    hostside::IndFileOptions o;
    o.mode = hostside::IndFileOptions::Mode::CutOnly;
    host_.setOptions(o);
    const Bytes data = pattern(4000);
    Bytes unused(256);
    for (int i = 0; i < 256; ++i)
        unused[i] = static_cast<std::uint8_t>(i);
    writeAll(local("up"), data);
    std::fprintf(stderr, "trace: %s\n", joined(peer_.action("Trace(On,/tmp/hs/cut.trc)")).c_str());
    auto a = transfer("Direction=send,LocalFile=" + local("up") +
                      ",HostFile=probe,Host=tso,Mode=binary");
    EXPECT_TRUE(a.ok) << joined(a);
    std::fprintf(stderr, "up: %s\n", joined(a).c_str());
    ASSERT_TRUE(host_.waitForResults(1, 5s));
    auto r = host_.results();
    EXPECT_TRUE(r[0].ok) << r[0].message;
    std::fprintf(stderr, "up: %s / %s\n", joined(a).c_str(), r[0].message.c_str());
    auto stored = host_.store().get("PROBE");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->bytes, data);
    a = transfer("Direction=receive,LocalFile=" + local("down") +
                 ",HostFile=probe,Host=tso,Mode=binary");
    EXPECT_TRUE(a.ok) << joined(a);
    std::fprintf(stderr, "down: %s\n", joined(a).c_str());
    ASSERT_TRUE(host_.waitForResults(2, 5s));
    r = host_.results();
    std::fprintf(stderr, "host: %d %s\n", r[1].ok, r[1].message.c_str());
    EXPECT_EQ(readAll(local("down")).size(), data.size());
}

}  // namespace
}  // namespace cedar::test
