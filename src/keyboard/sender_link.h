// The keyboard's link to the host over the session's send path: replies
// built by the inbound data stream, records, raw bytes and hexadecimal
// strings through the host sender, and the Telnet state of the connection.
#pragma once

#include <functional>

#include "host/host_sender.h"
#include "host/protocol_state.h"
#include "keyboard/keyboard_services.h"
#include "screen/inbound.h"

namespace cedar::keys {

class SenderKeyboardLink : public KeyboardLink {
  public:
    using ByteSink = std::function<void(ByteSpan)>;

    SenderKeyboardLink(InboundBuilder& inbound, HostSender& sender, const ProtocolState& protocol)
        : inbound_(inbound), sender_(sender), protocol_(protocol) {}

    // Where raw sends are traced as sent data (the host sender traces
    // everything else itself).
    void setTrace(ByteSink trace) { trace_ = std::move(trace); }
    // The line-mode terminal that shows what the operator sent.
    void setLineModeEcho(ByteSink echo) { echo_ = std::move(echo); }

    void sendReadModified(std::uint8_t aid) override { inbound_.sendReadModified(aid); }
    void sendShortRead(std::uint8_t aid) override { inbound_.sendShortRead(aid); }
    void sendAid(ByteSpan record) override { sender_.sendAid(record); }
    void sendRaw(ByteSpan bytes) override {
        sender_.sendRaw(bytes);
        if (trace_) trace_(bytes);
    }
    void sendHexString(std::string_view hex) override { sender_.sendHexString(std::string(hex)); }
    void operatorActed() override { sender_.operatorActed(); }

    bool tn3270eMode() const override { return protocol_.tn3270eMode; }
    bool lineMode() const override { return protocol_.lineMode; }
    bool hostEchoes() const override { return protocol_.echoOffered; }
    bool sscpLuMode() const override { return protocol_.sscpLuMode; }
    void echoLineMode(ByteSpan bytes) override {
        if (echo_) echo_(bytes);
    }

  private:
    InboundBuilder& inbound_;
    HostSender& sender_;
    const ProtocolState& protocol_;
    ByteSink trace_;
    ByteSink echo_;
};

}  // namespace cedar::keys
