// The session thread's direct write on a plain socket: only with nothing
// queued or held by the connection's thread ahead of the bytes, and only
// as far as the socket takes them at once; the rest follows in order.
#include "platform/connection_channel.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "manual_scheduler.h"

namespace cedar::platform {
namespace {

struct NoEvents : ConnectionEvents {
    void connectionUp(const ConnectionInfo&) override {}
    void dataReceived(std::span<const std::uint8_t>) override {}
    void hostClosed() override {}
    void sendFailed(int) override {}
    void connectFailed(const std::string&) override {}
    void tlsFailed(const std::string&) override {}
};

std::span<const std::uint8_t> bytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string text(const ConnectionChannel::Block& block) {
    return {block.begin(), block.end()};
}

class DirectWrite : public ::testing::Test {
  protected:
    DirectWrite() {
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds_), 0);
        channel_->setWritable(true);
        channel_->setDirectSocket(fds_[0]);
    }
    ~DirectWrite() override {
        channel_->setDirectSocket(-1);
        ::close(fds_[0]);
        ::close(fds_[1]);
    }
    // What has arrived at the peer so far.
    std::string arrived() {
        std::string out;
        char buffer[65536];
        ssize_t n = 0;
        while ((n = ::recv(fds_[1], buffer, sizeof buffer, 0)) > 0)
            out.append(buffer, static_cast<std::size_t>(n));
        return out;
    }
    // The connection's thread writing a block it took.
    void writeTaken(const ConnectionChannel::Block& block) {
        ASSERT_EQ(::send(fds_[0], block.data(), block.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(block.size()));
    }

    int fds_[2] = {-1, -1};
    NoEvents events_;
    test::ManualScheduler scheduler_;
    std::shared_ptr<ConnectionChannel> channel_ =
        std::make_shared<ConnectionChannel>(events_, scheduler_, 1 << 20);
};

TEST_F(DirectWrite, OnlyWithNothingAheadAndInOrder) {
    ConnectionChannel::Block out;
    // Nothing ahead: written at once, nothing queued.
    EXPECT_TRUE(channel_->queueSend(bytes("one")).ok);
    EXPECT_EQ(arrived(), "one");
    EXPECT_FALSE(channel_->takeOutgoing(out));

    // No direct socket (TLS, or closing): queued; and what comes next
    // queues behind it.
    channel_->setDirectSocket(-1);
    EXPECT_TRUE(channel_->queueSend(bytes("two")).ok);
    channel_->setDirectSocket(fds_[0]);
    EXPECT_TRUE(channel_->queueSend(bytes("three")).ok);
    EXPECT_EQ(arrived(), "");
    ASSERT_TRUE(channel_->takeOutgoing(out));
    EXPECT_EQ(text(out), "twothree");

    // The connection's thread holds bytes it has not written: queued.
    EXPECT_TRUE(channel_->queueSend(bytes("four")).ok);
    EXPECT_EQ(arrived(), "");
    writeTaken(out);
    out.clear();
    ASSERT_TRUE(channel_->takeOutgoing(out));
    EXPECT_EQ(text(out), "four");
    writeTaken(out);
    out.clear();
    // Written and nothing left to take: at once again.
    EXPECT_FALSE(channel_->takeOutgoing(out));
    EXPECT_TRUE(channel_->queueSend(bytes("five")).ok);
    EXPECT_EQ(arrived(), "twothreefourfive");

    // Cancelled: nothing goes out from the session thread.
    channel_->cancel();
    EXPECT_FALSE(channel_->queueSend(bytes("six")).ok);
    EXPECT_EQ(arrived(), "");
}

TEST_F(DirectWrite, WhatTheSocketDoesNotTakeAtOnceIsQueued) {
    const int small = 4096;
    ASSERT_EQ(::setsockopt(fds_[0], SOL_SOCKET, SO_SNDBUF, &small, sizeof small), 0);
    std::string data;
    for (int i = 0; i < 200'000; ++i)
        data += static_cast<char>('a' + i % 26);
    EXPECT_TRUE(channel_->queueSend(bytes(data)).ok);
    std::string got = arrived();
    EXPECT_LT(got.size(), data.size()) << "the socket took it all";
    // The next send queues behind the rest.
    EXPECT_TRUE(channel_->queueSend(bytes("tail")).ok);
    ConnectionChannel::Block out;
    ASSERT_TRUE(channel_->takeOutgoing(out));
    EXPECT_TRUE(got + text(out) == data + "tail");
}

}  // namespace
}  // namespace cedar::platform
