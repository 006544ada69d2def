#include "replay_host.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "record_builder.h"

namespace cedar::test {

namespace {

// RFC 854 commands and the options this host speaks.
constexpr std::uint8_t kIac = 0xFF, kDont = 0xFE, kDo = 0xFD, kWont = 0xFC, kWill = 0xFB;
constexpr std::uint8_t kSb = 0xFA, kSe = 0xF0, kEor = 0xEF;
constexpr std::uint8_t kOptBinary = 0;         // RFC 856
constexpr std::uint8_t kOptTimingMark = 6;     // RFC 860
constexpr std::uint8_t kOptTerminalType = 24;  // RFC 1091
constexpr std::uint8_t kOptEor = 25;           // RFC 885
constexpr std::uint8_t kOptTn3270e = 40;       // RFC 2355
constexpr std::uint8_t kTerminalTypeIs = 0, kTerminalTypeSend = 1;

// RFC 2355 sub-negotiation codes.
constexpr std::uint8_t kTnAssociate = 0, kTnConnect = 1, kTnDeviceType = 2, kTnFunctions = 3;
constexpr std::uint8_t kTnIs = 4, kTnReason = 5, kTnReject = 6, kTnRequest = 7, kTnSend = 8;

using Clock = std::chrono::steady_clock;

std::string systemError(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

std::string hex(const std::uint8_t* data, std::size_t length) {
    return test::hex(std::span<const std::uint8_t>(data, length));
}

std::string optionName(std::uint8_t option) {
    switch (option) {
        case kOptBinary:
            return "BINARY";
        case 1:
            return "ECHO";
        case 3:
            return "SUPPRESS-GO-AHEAD";
        case kOptTimingMark:
            return "TIMING-MARK";
        case kOptTerminalType:
            return "TERMINAL-TYPE";
        case kOptEor:
            return "END-OF-RECORD";
        case 31:
            return "NAWS";
        case kOptTn3270e:
            return "TN3270E";
        default:
            return std::to_string(option);
    }
}

std::string verbName(std::uint8_t verb) {
    switch (verb) {
        case kWill:
            return "WILL";
        case kWont:
            return "WONT";
        case kDo:
            return "DO";
        case kDont:
            return "DONT";
        default:
            return "IAC " + std::to_string(verb);
    }
}

std::string commandName(std::uint8_t command) {
    switch (command) {
        case 0xF1:
            return "NOP";
        case 0xF2:
            return "DM";
        case 0xF3:
            return "BRK";
        case 0xF4:
            return "IP";
        case 0xF5:
            return "AO";
        case 0xF6:
            return "AYT";
        case 0xF7:
            return "EC";
        case 0xF8:
            return "EL";
        case 0xF9:
            return "GA";
        default:
            return "IAC " + hex(&command, 1);
    }
}

std::string tn3270eCode(std::uint8_t code) {
    static const char* const names[] = {"ASSOCIATE", "CONNECT", "DEVICE-TYPE", "FUNCTIONS", "IS",
                                        "REASON",    "REJECT",  "REQUEST",     "SEND"};
    return code < std::size(names) ? names[code] : hex(&code, 1);
}

std::string dataTypeName(std::uint8_t type) {
    static const char* const names[] = {"3270-DATA",  "SCS-DATA",     "RESPONSE",
                                        "BIND-IMAGE", "UNBIND",       "NVT-DATA",
                                        "REQUEST",    "SSCP-LU-DATA", "PRINT-EOJ"};
    return type < std::size(names) ? names[type] : hex(&type, 1);
}

std::string describeSubnegotiation(const ReplayHost::Record& sub) {
    if (sub.empty()) return "SB";
    std::string out = "SB " + optionName(sub[0]);
    if (sub[0] == kOptTerminalType && sub.size() >= 2) {
        out += sub[1] == kTerminalTypeIs ? " IS " : sub[1] == kTerminalTypeSend ? " SEND " : " ? ";
        out.append(sub.begin() + 2, sub.end());
        return out;
    }
    if (sub[0] == kOptTn3270e && sub.size() >= 3) {
        out += " " + tn3270eCode(sub[1]) + " " + tn3270eCode(sub[2]);
        if (sub[1] == kTnDeviceType && (sub[2] == kTnRequest || sub[2] == kTnIs)) {
            // A device type, then CONNECT or ASSOCIATE and a name.
            std::size_t i = 3;
            std::string type;
            while (i < sub.size() && sub[i] != kTnConnect && sub[i] != kTnAssociate)
                type += static_cast<char>(sub[i++]);
            out += " " + type;
            if (i < sub.size()) {
                out += " " + tn3270eCode(sub[i]) + " ";
                out.append(sub.begin() + static_cast<std::ptrdiff_t>(i + 1), sub.end());
            }
            return out;
        }
        if (sub[1] == kTnFunctions) {
            static const char* const functions[] = {"BIND-IMAGE", "DATA-STREAM-CTL", "RESPONSES",
                                                    "SCS-CTL-CODES", "SYSREQ"};
            for (std::size_t i = 3; i < sub.size(); ++i)
                out += std::string(" ") + (sub[i] < std::size(functions)
                                               ? std::string(functions[sub[i]])
                                               : hex(&sub[i], 1));
            return out;
        }
        if (sub.size() > 3) out += " " + hex(sub.data() + 3, sub.size() - 3);
        return out;
    }
    if (sub.size() > 1) out += " " + hex(sub.data() + 1, sub.size() - 1);
    return out;
}

// 0xFF doubled, IAC EOR appended.
void frame(const ReplayHost::Record& bytes, std::vector<std::uint8_t>& out) {
    for (std::uint8_t b : bytes) {
        out.push_back(b);
        if (b == kIac) out.push_back(kIac);
    }
    out.push_back(kIac);
    out.push_back(kEor);
}

}  // namespace

// One client connection: the Telnet state of both sides, the reader of what
// the client sends and the queue of what goes out to it.
struct ReplayHost::Connection {
    // Per option and side, after RFC 1143: no, asked and waiting, yes.
    enum class OptionState : std::uint8_t { No, WantYes, Yes };
    enum class Phase {
        Tn3270eOffer,    // DO TN3270E sent
        DeviceType,      // SEND DEVICE-TYPE sent
        Rejected,        // REJECT sent; waiting for WONT TN3270E
        Functions,       // DEVICE-TYPE IS sent; waiting for FUNCTIONS REQUEST
        FunctionsIs,     // FUNCTIONS REQUEST sent; waiting for FUNCTIONS IS
        TerminalType,    // DO TERMINAL-TYPE sent
        TerminalTypeIs,  // SEND sent
        Modes,           // EOR and BINARY asked
        AwaitMarks,      // records out, timing marks unanswered
        Serving,
    };
    enum class In { Data, Iac, Verb, Sub, SubIac };

    ReplayHost& host;
    const Script& script;
    int fd;
    Phase phase = Phase::TerminalType;
    Clock::time_point deadline;
    std::array<OptionState, 256> client{};  // the client's side (its WILL)
    std::array<OptionState, 256> server{};  // our side (our WILL)
    bool terminalTypeReceived = false;
    bool tn3270e = false;  // DEVICE-TYPE IS sent: headers both ways
    int marksSent = 0;
    int marksAnswered = 0;
    std::uint16_t sequence = 0;  // of the next record in TN3270E
    bool closing = false;        // close once everything queued is out
    bool closeAfterSync = false;

    std::vector<std::uint8_t> out;
    std::size_t outPos = 0;

    In in = In::Data;
    std::uint8_t verb = 0;
    std::vector<std::uint8_t> sub;
    Record record;

    Connection(ReplayHost& h, int socket) : host(h), script(h.script_), fd(socket) {}

    // Options either side may switch on when the other asks first.
    static bool wanted(bool clientSide, std::uint8_t option) {
        return option == kOptBinary || option == kOptEor ||
               (clientSide && option == kOptTerminalType);
    }

    void send(std::initializer_list<std::uint8_t> bytes) { out.insert(out.end(), bytes); }
    void send(const std::vector<std::uint8_t>& bytes) {
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    void sendSub(std::vector<std::uint8_t> body) {
        std::vector<std::uint8_t> bytes = {kIac, kSb};
        for (std::uint8_t b : body) {
            bytes.push_back(b);
            if (b == kIac) bytes.push_back(kIac);
        }
        bytes.insert(bytes.end(), {kIac, kSe});
        send(bytes);
    }

    void askClient(std::uint8_t option) {  // DO option
        if (client[option] != OptionState::No) return;
        client[option] = OptionState::WantYes;
        send({kIac, kDo, option});
    }
    void offer(std::uint8_t option) {  // WILL option
        if (server[option] != OptionState::No) return;
        server[option] = OptionState::WantYes;
        send({kIac, kWill, option});
    }

    void restartClock() { deadline = Clock::now() + host.options_.negotiationTimeout; }

    void begin() {
        if (script.negotiation == Negotiation::Tn3270e) {
            askClient(kOptTn3270e);
            phase = Phase::Tn3270eOffer;
            restartClock();
        } else {
            beginTn3270();
        }
    }

    void beginTn3270() {
        askClient(kOptTerminalType);
        phase = Phase::TerminalType;
        restartClock();
    }

    void startModes() {
        askClient(kOptEor);
        offer(kOptEor);
        askClient(kOptBinary);
        offer(kOptBinary);
        phase = Phase::Modes;
        restartClock();
    }

    template <typename F>
    void update(F change) {
        {
            std::lock_guard lock(host.mutex_);
            change(host);
        }
        host.changed_.notify_all();
    }

    void negotiationOver() {
        update([](ReplayHost& h) { h.negotiationDone_ = true; });
    }

    void deviceTypeRequest() {
        // DEVICE-TYPE REQUEST <type> [CONNECT <name> | ASSOCIATE <name>]
        std::size_t i = 3;
        std::string type, name;
        while (i < sub.size() && sub[i] != kTnConnect && sub[i] != kTnAssociate)
            type += static_cast<char>(sub[i++]);
        if (i < sub.size() && sub[i] == kTnConnect) name.assign(sub.begin() + i + 1, sub.end());
        update([&](ReplayHost& h) {
            h.negotiated_.deviceType = type;
            h.negotiated_.requestedDevice = name;
        });
        if (phase != Phase::DeviceType) return;
        const Tn3270e& t = script.tn3270e;
        if (t.rejectReason) {
            if (t.rejectWithoutReason)
                sendSub({kOptTn3270e, kTnDeviceType, kTnReject});
            else
                sendSub({kOptTn3270e, kTnDeviceType, kTnReject, kTnReason, *t.rejectReason});
            update([](ReplayHost& h) { h.negotiated_.rejected = true; });
            phase = Phase::Rejected;
            restartClock();
            return;
        }
        const std::string assigned = !name.empty() && t.grantRequestedDevice ? name : t.deviceName;
        std::vector<std::uint8_t> is = {kOptTn3270e, kTnDeviceType, kTnIs};
        is.insert(is.end(), type.begin(), type.end());
        is.push_back(kTnConnect);
        is.insert(is.end(), assigned.begin(), assigned.end());
        sendSub(is);
        tn3270e = true;
        update([&](ReplayHost& h) {
            h.negotiated_.tn3270e = true;
            h.negotiated_.assignedDevice = assigned;
        });
        if (t.functionsMode == Functions::Ignore) {
            sendRecords();
        } else {
            phase = Phase::Functions;
            restartClock();
        }
    }

    void settleFunctions(const std::vector<std::uint8_t>& agreed) {
        update([&](ReplayHost& h) {
            h.negotiated_.functions = agreed;
            h.negotiated_.functionsSettled = true;
        });
        sendRecords();
    }

    void functionsRequest(const std::vector<std::uint8_t>& asked) {
        bool first = false;
        update([&](ReplayHost& h) {
            first = h.negotiated_.requestedFunctions.empty() && !h.negotiated_.functionsSettled;
            if (first) h.negotiated_.requestedFunctions = asked;
        });
        const Tn3270e& t = script.tn3270e;
        if (phase == Phase::FunctionsIs) {
            // A counter-proposal to ours: take it.
            host.noteError("the client answered FUNCTIONS REQUEST with another REQUEST");
            std::vector<std::uint8_t> is = {kOptTn3270e, kTnFunctions, kTnIs};
            is.insert(is.end(), asked.begin(), asked.end());
            sendSub(is);
            settleFunctions(asked);
            return;
        }
        if (phase != Phase::Functions) return;
        if (t.withdrawAfterFunctionsRequest) {
            // WONT for an option only the client had agreed to: the host means
            // "no TN3270E at all"; the client's WONT in answer needs no reply.
            send({kIac, kWont, kOptTn3270e});
            client[kOptTn3270e] = OptionState::No;
            tn3270e = false;
            update([](ReplayHost& h) { h.negotiated_.withdrawn = true; });
            beginTn3270();
            return;
        }
        std::vector<std::uint8_t> answer;
        bool agree = false;
        if (t.functionsMode == Functions::Request) {
            answer = t.functions;
        } else {
            for (std::uint8_t f : asked)
                if (std::find(t.functions.begin(), t.functions.end(), f) != t.functions.end())
                    answer.push_back(f);
            agree = answer == asked;
        }
        std::vector<std::uint8_t> body = {kOptTn3270e, kTnFunctions, agree ? kTnIs : kTnRequest};
        body.insert(body.end(), answer.begin(), answer.end());
        sendSub(body);
        if (agree) {
            settleFunctions(answer);
        } else {
            phase = Phase::FunctionsIs;
            restartClock();
        }
    }

    // What goes out in this connection's mode: in TN3270E the messages, then
    // the records as 3270-DATA; in TN3270 the records.
    std::vector<Message> items() const {
        std::vector<Message> list;
        if (tn3270e) list = script.messages;
        for (const Record& r : script.records) {
            Message m;
            m.responseFlag = tn3270e ? script.tn3270e.responseFlag : kNoResponse;
            m.data = r;
            list.push_back(std::move(m));
        }
        return list;
    }

    void askMark() {
        send({kIac, kDo, kOptTimingMark});
        ++marksSent;
    }

    void sendRecords() {
        update([](ReplayHost& h) {
            h.negotiationDone_ = true;
            h.recordsStart_ = Clock::now();
        });
        if (script.close.at == CloseAt::AfterNegotiation) {
            closing = true;
            phase = Phase::Serving;
            return;
        }
        const std::vector<Message> list = items();
        sequence = script.tn3270e.firstSequence;
        for (std::size_t i = 0; i < list.size(); ++i) {
            const Record bytes = withHeader(list[i]);
            if (script.close.at == CloseAt::MidRecord && script.close.record == i) {
                std::vector<std::uint8_t> framed;
                frame(bytes, framed);
                const std::size_t half = std::max<std::size_t>(1, framed.size() / 2);
                out.insert(out.end(), framed.begin(),
                           framed.begin() + static_cast<std::ptrdiff_t>(half));
                closing = true;
                phase = Phase::Serving;
                return;
            }
            frame(bytes, out);
            const auto& after = script.timingMarksAfter;
            if (std::find(after.begin(), after.end(), i) != after.end()) askMark();
        }
        if (script.timingMarkAfterRecords) askMark();
        if (script.close.at == CloseAt::AfterRecords) closing = true;
        if (script.close.at == CloseAt::AfterSync) closeAfterSync = true;
        phase = marksSent > 0 ? Phase::AwaitMarks : Phase::Serving;
        if (marksSent == 0 && closeAfterSync) closing = true;
    }

    // A message as it goes out: in TN3270E behind its header with the next
    // sequence number, else the data alone.
    Record withHeader(const Message& m) {
        Record bytes;
        if (tn3270e) {
            bytes = {m.dataType, m.requestFlag, m.responseFlag,
                     static_cast<std::uint8_t>(sequence >> 8),
                     static_cast<std::uint8_t>(sequence & 0xFF)};
            ++sequence;
        }
        bytes.insert(bytes.end(), m.data.begin(), m.data.end());
        return bytes;
    }

    // A 3270 record outside the script (answers, records the test sends).
    void sendRecord(const Record& data, bool timingMark) {
        Message m;
        m.data = data;
        frame(withHeader(m), out);
        if (timingMark) {
            askMark();
            update([](ReplayHost& h) { h.synced_ = false; });
            phase = Phase::AwaitMarks;
        }
    }

    bool scriptDone() const { return phase == Phase::AwaitMarks || phase == Phase::Serving; }

    // The records the test queued with ReplayHost::send().
    void sendQueued() {
        if (!scriptDone() || closing) return;
        std::vector<Queued> queued;
        update([&](ReplayHost& h) { queued.swap(h.queued_); });
        for (const Queued& q : queued)
            sendRecord(q.data, q.timingMark);
    }

    // Moves the script on as far as the answers received allow.
    void advance(bool timedOut) {
        for (;;) {
            const Phase before = phase;
            switch (phase) {
                case Phase::Tn3270eOffer:
                    if (client[kOptTn3270e] == OptionState::Yes) {
                        sendSub({kOptTn3270e, kTnSend, kTnDeviceType});
                        phase = Phase::DeviceType;
                        restartClock();
                    } else if (client[kOptTn3270e] == OptionState::No) {
                        update([](ReplayHost& h) { h.negotiated_.clientDeclined = true; });
                        beginTn3270();
                    } else if (timedOut) {
                        host.noteError("no answer to DO TN3270E");
                        beginTn3270();
                    }
                    break;
                case Phase::DeviceType:
                    if (timedOut) {
                        host.noteError("no DEVICE-TYPE REQUEST");
                        sendRecords();
                    }
                    break;
                case Phase::Rejected:
                    if (client[kOptTn3270e] == OptionState::No || timedOut) {
                        if (timedOut) host.noteError("no WONT TN3270E after the REJECT");
                        negotiationOver();
                        phase = Phase::Serving;
                        if (script.close.at == CloseAt::AfterNegotiation) {
                            closing = true;
                        } else if (script.timingMarkAfterRecords) {
                            // No records follow; the mark tells when the client
                            // has taken in everything up to here.
                            askMark();
                            phase = Phase::AwaitMarks;
                            closeAfterSync = script.close.at == CloseAt::AfterSync;
                        }
                    }
                    break;
                case Phase::Functions:
                case Phase::FunctionsIs:
                    if (timedOut) {
                        host.noteError(phase == Phase::Functions ? "no FUNCTIONS REQUEST"
                                                                 : "no FUNCTIONS IS");
                        sendRecords();
                    }
                    break;
                case Phase::TerminalType:
                    if (client[kOptTerminalType] == OptionState::Yes) {
                        send({kIac, kSb, kOptTerminalType, kTerminalTypeSend, kIac, kSe});
                        phase = Phase::TerminalTypeIs;
                        restartClock();
                    } else if (client[kOptTerminalType] == OptionState::No) {
                        startModes();
                    } else if (timedOut) {
                        host.noteError("no answer to DO TERMINAL-TYPE");
                        startModes();
                    }
                    break;
                case Phase::TerminalTypeIs:
                    if (terminalTypeReceived) {
                        startModes();
                    } else if (timedOut) {
                        host.noteError("no TERMINAL-TYPE IS");
                        startModes();
                    }
                    break;
                case Phase::Modes: {
                    const bool settled = client[kOptEor] != OptionState::WantYes &&
                                         server[kOptEor] != OptionState::WantYes &&
                                         client[kOptBinary] != OptionState::WantYes &&
                                         server[kOptBinary] != OptionState::WantYes;
                    if (settled) {
                        sendRecords();
                    } else if (timedOut) {
                        host.noteError("no answer to the EOR and BINARY negotiation");
                        sendRecords();
                    }
                    break;
                }
                case Phase::AwaitMarks:
                    if (marksAnswered >= marksSent) {
                        update([](ReplayHost& h) { h.synced_ = true; });
                        phase = Phase::Serving;
                        if (closeAfterSync) closing = true;
                    }
                    break;
                case Phase::Serving:
                    break;
            }
            timedOut = false;
            if (phase == before) return;
        }
    }

    bool hasDeadline() const { return phase != Phase::AwaitMarks && phase != Phase::Serving; }

    void log(std::string line) {
        update([&](ReplayHost& h) { h.clientLog_.push_back(std::move(line)); });
    }

    void clientVerb(std::uint8_t v, std::uint8_t option) {
        log(verbName(v) + " " + optionName(option));
        const bool willSide = v == kWill || v == kWont;
        if (option == kOptTimingMark && willSide && marksAnswered < marksSent) {
            // The answer to a timing mark, WILL or WONT alike (RFC 860).
            ++marksAnswered;
            update([](ReplayHost& h) { h.markAnswers_.push_back(Clock::now()); });
            return;
        }
        auto& state = willSide ? client[option] : server[option];
        const bool yes = v == kWill || v == kDo;
        if (yes) {
            if (state == OptionState::WantYes) {
                state = OptionState::Yes;
            } else if (state == OptionState::No) {
                const bool accept = wanted(willSide, option);
                state = accept ? OptionState::Yes : OptionState::No;
                if (willSide)
                    send({kIac, accept ? kDo : kDont, option});
                else
                    send({kIac, accept ? kWill : kWont, option});
            }
        } else {
            if (state == OptionState::Yes) send({kIac, willSide ? kDont : kWont, option});
            state = OptionState::No;
        }
    }

    void endOfSubnegotiation() {
        log(describeSubnegotiation(sub));
        update([&](ReplayHost& h) { h.clientSubnegotiations_.push_back(sub); });
        if (sub.size() >= 2 && sub[0] == kOptTerminalType && sub[1] == kTerminalTypeIs) {
            update([&](ReplayHost& h) { h.terminalType_.assign(sub.begin() + 2, sub.end()); });
            terminalTypeReceived = true;
            return;
        }
        if (sub.size() < 3 || sub[0] != kOptTn3270e) return;
        if (sub[1] == kTnDeviceType && sub[2] == kTnRequest) {
            deviceTypeRequest();
        } else if (sub[1] == kTnFunctions && sub[2] == kTnRequest) {
            functionsRequest({sub.begin() + 3, sub.end()});
        } else if (sub[1] == kTnFunctions && sub[2] == kTnIs && phase == Phase::FunctionsIs) {
            settleFunctions({sub.begin() + 3, sub.end()});
        }
    }

    void endOfRecord() {
        std::string line = "RECORD ";
        std::optional<Message> message;
        if (tn3270e && record.size() >= 5) {
            Message m;
            m.dataType = record[0];
            m.requestFlag = record[1];
            m.responseFlag = record[2];
            m.sequence = static_cast<std::uint16_t>(record[3] << 8 | record[4]);
            m.data.assign(record.begin() + 5, record.end());
            char header[64];
            std::snprintf(header, sizeof header,
                          "%s %02X %02X #%u: ", dataTypeName(m.dataType).c_str(), m.requestFlag,
                          m.responseFlag, m.sequence);
            line += header + hex(m.data.data(), m.data.size());
            message = std::move(m);
        } else {
            line += hex(record.data(), record.size());
        }
        // A 3270 record of the operator or a read reply (not a TN3270E
        // response) gets the scripted answer.
        const bool answer = script.answer && scriptDone() && !closing &&
                            (!message || message->dataType == kData3270);
        update([&](ReplayHost& h) {
            h.clientLog_.push_back(std::move(line));
            h.clientRecords_.push_back(std::move(record));
            if (message) h.clientMessages_.push_back(std::move(*message));
        });
        record.clear();
        if (answer) sendRecord(*script.answer, false);
    }

    void received(const std::uint8_t* data, std::size_t length) {
        update([&](ReplayHost& h) {
            h.clientBytes_.insert(h.clientBytes_.end(), data, data + length);
        });
        for (std::size_t i = 0; i < length; ++i) {
            const std::uint8_t b = data[i];
            switch (in) {
                case In::Data:
                    if (b == kIac)
                        in = In::Iac;
                    else
                        record.push_back(b);
                    break;
                case In::Iac:
                    in = In::Data;
                    if (b == kIac) {
                        record.push_back(kIac);
                    } else if (b == kEor) {
                        endOfRecord();
                    } else if (b == kSb) {
                        sub.clear();
                        in = In::Sub;
                    } else if (b == kWill || b == kWont || b == kDo || b == kDont) {
                        verb = b;
                        in = In::Verb;
                    } else {
                        log(commandName(b));
                    }
                    break;
                case In::Verb:
                    clientVerb(verb, b);
                    in = In::Data;
                    break;
                case In::Sub:
                    if (b == kIac)
                        in = In::SubIac;
                    else
                        sub.push_back(b);
                    break;
                case In::SubIac:
                    if (b == kSe) {
                        endOfSubnegotiation();
                        in = In::Data;
                    } else {
                        sub.push_back(b);  // IAC IAC inside a subnegotiation
                        in = In::Sub;
                    }
                    break;
            }
        }
        advance(false);
    }
};

ReplayHost::ReplayHost(Script script) : ReplayHost(std::move(script), Options{}) {}

ReplayHost::ReplayHost(Script script, Options options)
    : script_(std::move(script)), options_(options) {}

ReplayHost::~ReplayHost() {
    stop();
}

bool ReplayHost::start() {
    if (thread_.joinable()) return true;
    int wake[2];
    if (pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        noteError(systemError("pipe2"));
        return false;
    }
    wakeRead_ = wake[0];
    wakeWrite_ = wake[1];
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listenFd_ < 0) {
        noteError(systemError("socket"));
        stop();
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listenFd_, 1) != 0 ||
        getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        noteError(systemError("bind/listen"));
        stop();
        return false;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { run(); });
    return true;
}

void ReplayHost::stop() {
    stopping_ = true;
    if (wakeWrite_ >= 0) {
        const std::uint8_t b = 1;
        [[maybe_unused]] const auto n = write(wakeWrite_, &b, 1);
    }
    if (thread_.joinable()) thread_.join();
    for (int* fd : {&listenFd_, &wakeRead_, &wakeWrite_}) {
        if (*fd >= 0) close(*fd);
        *fd = -1;
    }
    {
        std::lock_guard lock(mutex_);
        clientGone_ = true;
    }
    changed_.notify_all();
}

void ReplayHost::run() {
    for (;;) {
        pollfd fds[2] = {{wakeRead_, POLLIN, 0}, {listenFd_, POLLIN, 0}};
        if (poll(fds, 2, 1000) < 0 && errno != EINTR) {
            noteError(systemError("poll"));
            return;
        }
        if (fds[0].revents != 0 && drainWake()) return;  // stop
        if ((fds[1].revents & POLLIN) == 0) continue;
        const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) continue;
        serve(fd);
        close(fd);
        {
            // Records queued for this client do not go to the next one.
            std::lock_guard lock(mutex_);
            queued_.clear();
        }
        if (stopping_) return;
    }
}

void ReplayHost::serve(int fd) {
    {
        std::lock_guard lock(mutex_);
        ++connections_;
        synced_ = false;
        extraMarks_ = false;
        clientGone_ = false;
        negotiationDone_ = false;
        clientBytes_.clear();
        clientRecords_.clear();
        clientMessages_.clear();
        clientSubnegotiations_.clear();
        clientLog_.clear();
        terminalType_.clear();
        negotiated_ = {};
        markAnswers_.clear();
        recordsStart_.reset();
    }
    changed_.notify_all();

    Connection c(*this, fd);
    c.begin();
    std::array<std::uint8_t, 16384> buffer{};
    for (;;) {
        const bool writing = c.outPos < c.out.size();
        if (!writing && c.closing) {
            if (c.script.close.reset) {
                const linger hard{1, 0};
                setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
            } else {
                // Take in what the client sent meanwhile: unread input would
                // turn the close into a reset.
                for (;;) {
                    const ssize_t got = recv(fd, buffer.data(), buffer.size(), 0);
                    if (got <= 0) break;
                    c.received(buffer.data(), static_cast<std::size_t>(got));
                }
                shutdown(fd, SHUT_WR);
            }
            break;  // run() closes the socket
        }
        pollfd fds[2] = {{wakeRead_, POLLIN, 0},
                         {fd, static_cast<short>(POLLIN | (writing ? POLLOUT : 0)), 0}};
        int timeout = 1000;
        if (c.hasDeadline()) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(c.deadline - Clock::now());
            timeout = static_cast<int>(std::clamp<long long>(left.count(), 0, 1000));
        }
        const int n = poll(fds, 2, timeout);
        if (n < 0 && errno != EINTR) {
            noteError(systemError("poll"));
            break;
        }
        if (fds[0].revents != 0 && drainWake()) break;  // stop
        if (fds[1].revents & POLLOUT) {
            const ssize_t sent =
                ::send(fd, c.out.data() + c.outPos, c.out.size() - c.outPos, MSG_NOSIGNAL);
            if (sent < 0 && errno != EAGAIN && errno != EINTR) {
                noteError(systemError("send"));
                break;
            }
            if (sent > 0) c.outPos += static_cast<std::size_t>(sent);
            if (c.outPos == c.out.size()) {
                c.out.clear();
                c.outPos = 0;
            }
        }
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t got = recv(fd, buffer.data(), buffer.size(), 0);
            if (got == 0) break;  // the client closed
            if (got < 0 && errno != EAGAIN && errno != EINTR) break;
            if (got > 0) c.received(buffer.data(), static_cast<std::size_t>(got));
        }
        if (c.hasDeadline() && Clock::now() >= c.deadline) c.advance(true);
        c.sendQueued();
    }
    {
        std::lock_guard lock(mutex_);
        clientGone_ = true;
    }
    changed_.notify_all();
}

bool ReplayHost::drainWake() {
    std::uint8_t bytes[64];
    while (read(wakeRead_, bytes, sizeof bytes) > 0) {
    }
    return stopping_;
}

bool ReplayHost::send(Record data, bool timingMark) {
    {
        std::lock_guard lock(mutex_);
        if (clientGone_ || connections_ == 0) return false;
        queued_.push_back({std::move(data), timingMark});
        if (timingMark) {
            // waitForSync() from now on waits for this mark's answer.
            synced_ = false;
            extraMarks_ = true;
        }
    }
    const std::uint8_t b = 1;
    [[maybe_unused]] const auto n = write(wakeWrite_, &b, 1);
    return true;
}

bool ReplayHost::waitForRecords(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout, [&] { return clientRecords_.size() >= count || clientGone_; });
    return clientRecords_.size() >= count;
}

bool ReplayHost::waitForSync(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    if (!script_.timingMarkAfterRecords && script_.timingMarksAfter.empty() && !extraMarks_)
        return false;
    changed_.wait_for(lock, timeout, [this] { return synced_ || clientGone_; });
    return synced_;
}

bool ReplayHost::synced() const {
    std::lock_guard lock(mutex_);
    return synced_;
}

bool ReplayHost::negotiationDone() const {
    std::lock_guard lock(mutex_);
    return negotiationDone_;
}

bool ReplayHost::clientGone() const {
    std::lock_guard lock(mutex_);
    return clientGone_;
}

bool ReplayHost::waitForClientGone(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return clientGone_; });
}

std::vector<std::uint8_t> ReplayHost::clientBytes() const {
    std::lock_guard lock(mutex_);
    return clientBytes_;
}

std::string ReplayHost::terminalType() const {
    std::lock_guard lock(mutex_);
    return terminalType_;
}

std::vector<ReplayHost::Record> ReplayHost::clientRecords() const {
    std::lock_guard lock(mutex_);
    return clientRecords_;
}

std::vector<ReplayHost::Message> ReplayHost::clientMessages() const {
    std::lock_guard lock(mutex_);
    return clientMessages_;
}

std::vector<ReplayHost::Record> ReplayHost::clientSubnegotiations() const {
    std::lock_guard lock(mutex_);
    return clientSubnegotiations_;
}

std::vector<std::string> ReplayHost::clientLog() const {
    std::lock_guard lock(mutex_);
    return clientLog_;
}

ReplayHost::Negotiated ReplayHost::negotiated() const {
    std::lock_guard lock(mutex_);
    return negotiated_;
}

std::vector<ReplayHost::Clock::time_point> ReplayHost::markAnswerTimes() const {
    std::lock_guard lock(mutex_);
    return markAnswers_;
}

std::optional<ReplayHost::Clock::time_point> ReplayHost::recordsStartTime() const {
    std::lock_guard lock(mutex_);
    return recordsStart_;
}

int ReplayHost::connections() const {
    std::lock_guard lock(mutex_);
    return connections_;
}

std::string ReplayHost::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

void ReplayHost::noteError(const std::string& text) {
    std::lock_guard lock(mutex_);
    if (!error_.empty()) error_ += "; ";
    error_ += text;
}

}  // namespace cedar::test
