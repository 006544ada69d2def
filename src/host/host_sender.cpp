#include "host/host_sender.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace cedar {

using namespace telnet;

HostSender::HostSender(const ProtocolState& state, Scheduler& scheduler, SendEvents& events)
    : state_(state), scheduler_(scheduler), events_(events) {}

void HostSender::connectionStarted() {
    connectionWanted_ = true;
    sendSequence_ = 0;
    startTransactionTimer();
    keepAliveInterval_ = settings_.keepAliveTime;
    secondsSinceKeepAlive_ = 0;
    secondsIdle_ = 0;
}

void HostSender::startTransactionTimer() {
    transactionStart_ = scheduler_.nowMs();
}

std::vector<std::uint8_t> HostSender::frame(std::span<const std::uint8_t> data,
                                            std::uint16_t sequence) const {
    std::vector<std::uint8_t> out;
    out.reserve(data.size() + data.size() / 8 + 9);
    if (state_.tn3270eMode) {
        const std::uint8_t header[5] = {state_.lastDataType, 0x00, 0x00,
                                        static_cast<std::uint8_t>(sequence >> 8),
                                        static_cast<std::uint8_t>(sequence & 0xFF)};
        for (std::uint8_t b : header) {
            out.push_back(b);
            if (b == kIac) out.push_back(kIac);
        }
    }
    if (!data.empty() && data[0] == kIac) {
        // A Telnet command passed through this path goes unchanged.
        out.insert(out.end(), data.begin(), data.end());
    } else {
        // Runs without IAC go over whole; each IAC is doubled (RFC 854).
        const std::uint8_t* at = data.data();
        const std::uint8_t* const end = at + data.size();
        while (at != end) {
            const void* found = std::memchr(at, kIac, static_cast<std::size_t>(end - at));
            const std::uint8_t* stop = found ? static_cast<const std::uint8_t*>(found) : end;
            out.insert(out.end(), at, stop);
            if (stop == end) break;
            out.push_back(kIac);
            out.push_back(kIac);
            at = stop + 1;
        }
        out.push_back(kIac);
        out.push_back(kEor);
    }
    return out;
}

bool HostSender::sendRecord(std::span<const std::uint8_t> data, int flags,
                            std::span<const std::uint8_t> traceCopy) {
    lastSent_.assign(data.begin(), data.end());
    const std::uint16_t sequence = sendSequence_;
    const std::vector<std::uint8_t> out = frame(data, sequence);
    if (state_.tn3270eMode && (flags & kReallySend)) ++sendSequence_;
    bool ok = true;
    if (flags & kReallySend) ok = transmit(out);
    if (flags & kTrace) {
        // The trace gets the masked copy, framed alike, when there is one.
        if (traceCopy.empty())
            events_.traceSent(out);
        else
            events_.traceSent(frame(traceCopy, sequence));
    }
    return ok;
}

bool HostSender::sendAid(std::span<const std::uint8_t> data, int flags,
                         std::span<const std::uint8_t> traceCopy) {
    const bool ok = sendRecord(data, flags, traceCopy);
    startTransactionTimer();
    return ok;
}

bool HostSender::sendRaw(std::span<const std::uint8_t> data) {
    return transmit(data);
}

bool HostSender::transmit(std::span<const std::uint8_t> frame, bool quiet) {
    lastWasKeepAlive_ = quiet;
    SendResult result{false, socket_error::kNotSocket};
    if (connection_ != nullptr) result = connection_->send(frame);
    if (result.ok) return true;
    report(result.error, quiet);
    return false;
}

void HostSender::report(int error, bool quiet) {
    if (!connectionWanted_) return;
    // The connection is gone or broken: no send can succeed on it again, so
    // take the host-closed path instead of leaving the keyboard locked.
    char text[160];
    std::snprintf(text, sizeof text,
                  "Error sending data to host, code=%d\nPress Ok when you are ready to try to "
                  "reconnect",
                  error);
    connectionWanted_ = false;
    events_.sendFailed(error, quiet ? std::string() : std::string(text));
}

bool HostSender::sendHexString(const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    int high = -1;
    for (char c : hex) {
        if (bytes.size() >= 255) break;
        const int v = std::isxdigit(static_cast<unsigned char>(c))
                          ? (std::isdigit(static_cast<unsigned char>(c))
                                 ? c - '0'
                                 : std::toupper(static_cast<unsigned char>(c)) - 'A' + 10)
                          : -1;
        if (v < 0) break;
        if (high < 0) {
            high = v;
        } else {
            bytes.push_back(static_cast<std::uint8_t>(high * 16 + v));
            high = -1;
        }
    }
    if (bytes.empty()) return true;
    const bool ok = transmit(bytes);
    events_.traceSent(bytes);
    return ok;
}

void HostSender::operatorActed() {
    keepAliveInterval_ = settings_.keepAliveTime;
    secondsIdle_ = 0;
}

void HostSender::secondTick(bool connected) {
    if (keepAliveInterval_ == 0 || !connected) return;
    ++secondsSinceKeepAlive_;
    if (settings_.keepAliveTimeDisable != 0 && ++secondsIdle_ >= settings_.keepAliveTimeDisable) {
        keepAliveInterval_ = 0;
        return;
    }
    if (secondsSinceKeepAlive_ >= keepAliveInterval_) {
        secondsSinceKeepAlive_ = 0;
        const std::uint8_t command[] = {kIac, settings_.keepAliveCommand};
        transmit(command, true);  // a failed keep-alive is not reported, only acted on
        events_.traceSent(command);
    }
}

}  // namespace cedar
