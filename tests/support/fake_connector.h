// A Connector whose connections are driven by the test: it plays the
// connection thread's part by calling the events directly (on the test's
// thread, which is the session thread).
#pragma once

#include <memory>
#include <vector>

#include "host/connection.h"

namespace cedar::test {

class FakeConnector : public Connector {
  public:
    struct Link : Connection {
        FakeConnector* owner = nullptr;
        ConnectionEvents* events = nullptr;
        ConnectionOptions options;
        std::vector<std::vector<std::uint8_t>> sent;
        bool closed = false;
        int failSendsWith = 0;
        SendResult send(std::span<const std::uint8_t> data) override {
            if (closed) return {false, socket_error::kNotSocket};
            if (failSendsWith != 0) return {false, failSendsWith};
            sent.emplace_back(data.begin(), data.end());
            return {};
        }
        void close() override { closed = true; }
        ~Link() override {
            if (owner != nullptr && owner->current == this) owner->current = nullptr;
        }
    };

    Link* current = nullptr;
    int connects = 0;

    std::unique_ptr<Connection> connect(const ConnectionOptions& options, ConnectionEvents& events,
                                        Scheduler&) override {
        auto link = std::make_unique<Link>();
        link->owner = this;
        link->events = &events;
        link->options = options;
        current = link.get();
        ++connects;
        return link;
    }
    // The host's side of the current connection.
    void up() {
        ConnectionInfo info;
        info.peerAddress = "127.0.0.1";
        current->events->connectionUp(info);
    }
    void receive(const std::vector<std::uint8_t>& bytes) { current->events->dataReceived(bytes); }
    void hostCloses() { current->events->hostClosed(); }
    // What was queued on the connection could not be sent.
    void queuedSendFails(int error) { current->events->sendFailed(error); }
};

}  // namespace cedar::test
