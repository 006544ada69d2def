#include "host/telnet_layer.h"

#include <algorithm>
#include <cstring>

namespace cedar {

using namespace telnet;

TelnetLayer::TelnetLayer(ProtocolState& state, const CodePages& codePages, SessionStatus& status,
                         HostDataSink& screen, TelnetEvents& events)
    : state_(state), codePages_(codePages), status_(status), screen_(screen), events_(events) {}

void TelnetLayer::setTerminalType(const std::string& type) {
    state_.terminalType = type.substr(0, 20);
}

void TelnetLayer::connectionStarted() {
    const std::string type = state_.terminalType;
    state_.reset();
    state_.terminalType = type;
    scan_ = State::Data;
    recordOpen_ = false;
    recordTooLarge_ = false;
    record_.clear();
    sub_.clear();
    replies_.clear();
}

std::string TelnetLayer::rejectMessage(std::uint8_t reason) {
    switch (reason) {
        case 0x00:
            return "Device name requested is the partner to some other terminal.";
        case 0x01:
            return "Device is already associated with another telnet session.";
        case 0x02:
            return "The device type is neither a printer or a terminal.";
        case 0x03:
            return "The device is not known to the server.";
        case 0x04:
            return "The server does not support the requested device type.";
        case 0x05:
            return "The requested device name is incompatible with the requested device "
                   "type.\n(LUNAME specification may be invalid)";
        default:
            return "Unknown error occurred while attempting connection";
    }
}

void TelnetLayer::dataReceived(std::span<const std::uint8_t> block) {
    if (status_ == SessionStatus::Connecting) status_ = SessionStatus::Connected;
    const std::uint8_t* data = block.data();
    const std::size_t size = block.size();
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t b = data[i];
        switch (scan_) {
            case State::Data: {
                if (b == kIac) {
                    scan_ = State::Iac;
                    break;
                }
                // The data up to the next IAC in one go.
                const void* iac = std::memchr(data + i, kIac, size - i);
                const std::size_t end =
                    iac != nullptr
                        ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(iac) - data)
                        : size;
                dataBytes(data + i, end - i);
                i = end - 1;
                break;
            }
            case State::Iac:
                scan_ = State::Data;
                if (b == kIac) {
                    dataBytes(&kIac, 1);  // doubled 0xFF is one data byte
                } else if (b == kSb) {
                    sub_.clear();
                    subTooLarge_ = false;
                    scan_ = State::Sub;
                } else if (b == kWill || b == kWont || b == kDo || b == kDont) {
                    verb_ = b;
                    scan_ = State::Option;
                } else {
                    command(b);
                }
                break;
            case State::Option:
                scan_ = State::Data;
                option(verb_, b);
                break;
            case State::Sub:
                if (b == kIac) {
                    scan_ = State::SubIac;
                } else if (sub_.size() < kMaxSubnegotiation) {
                    sub_.push_back(b);
                } else {
                    subTooLarge_ = true;
                }
                break;
            case State::SubIac:
                if (b == kSe) {
                    scan_ = State::Data;
                    if (!subTooLarge_) subnegotiation();
                } else if (b == kIac) {
                    scan_ = State::Sub;  // a doubled 0xFF inside the sub-negotiation
                    if (sub_.size() < kMaxSubnegotiation) sub_.push_back(kIac);
                } else {
                    // IAC and a command inside a sub-negotiation: RFC 855 leaves it
                    // undefined; end the sub-negotiation and take the command.
                    scan_ = State::Data;
                    if (!subTooLarge_) subnegotiation();
                    if (b == kWill || b == kWont || b == kDo || b == kDont) {
                        verb_ = b;
                        scan_ = State::Option;
                    } else {
                        command(b);
                    }
                }
                break;
        }
    }
    // Line mode: every block is one line-mode record.
    if (state_.lineMode && recordOpen_ && scan_ == State::Data) endOfRecord();
    flushReplies();
}

void TelnetLayer::dataBytes(const std::uint8_t* bytes, std::size_t n) {
    flushReplies();
    if (!recordOpen_) {
        recordOpen_ = true;
        recordTooLarge_ = false;
        droppedLength_ = 0;
        record_.clear();
        if (!state_.firstRecordSeen) {
            state_.firstRecordSeen = true;
            events_.firstRecord();
        }
    }
    if (recordTooLarge_) {
        droppedLength_ += n;
        return;
    }
    if (record_.size() + n > kMaxRecord) {
        recordTooLarge_ = true;
        droppedLength_ = record_.size() + n;
        record_.clear();
        record_.shrink_to_fit();
        return;
    }
    record_.insert(record_.end(), bytes, bytes + n);
}

void TelnetLayer::command(std::uint8_t cmd) {
    const std::uint8_t consumed[] = {kIac, cmd};
    events_.commandReceived(consumed);
    if (cmd == kEor) {
        endOfRecord();
        state_.headerExpected = true;
    }
    // SE, NOP, DM, BRK, IP, AO, AYT, EC, EL, GA and anything else: nothing to do.
}

void TelnetLayer::endOfRecord() {
    if (!recordOpen_) return;
    recordOpen_ = false;
    if (recordTooLarge_) {
        recordTooLarge_ = false;
        events_.recordDropped(droppedLength_);
        return;
    }
    std::vector<std::uint8_t> record;
    record.swap(record_);
    if (state_.lineMode) {
        screen_.applyLineModeData(record);
        events_.refreshDisplay();
        return;
    }
    RecordOrigin origin;
    if (state_.tn3270eMode) {
        // Every TN3270E record starts with the header (RFC 2355 section 8.1);
        // one of exactly 5 bytes is a header without data.
        if (record.size() >= 5 && state_.headerExpected) {
            applyHeader(record);
            state_.headerExpected = false;
        }
        origin.tn3270e = true;
        origin.dataType = state_.lastDataType;
        origin.sscpLu = state_.sscpLuMode;
    }
    events_.recordApplied(record, origin);
    screen_.applyRecord(record, origin);
    events_.refreshDisplay();
}

void TelnetLayer::applyHeader(std::vector<std::uint8_t>& record) {
    const std::uint8_t dataType = record[0];
    if (record[2] == kRspAlwaysResponse) {
        // Positive response (RFC 2355 section 10.4): RESPONSE, POSITIVE-RESPONSE,
        // the request's sequence number, Device End.
        std::vector<std::uint8_t> rsp = {kDtResponse, 0x00, 0x00};
        for (int i = 3; i < 5; ++i) {
            rsp.push_back(record[i]);
            if (record[i] == kIac) rsp.push_back(kIac);
        }
        rsp.push_back(0x00);
        rsp.push_back(kIac);
        rsp.push_back(kEor);
        events_.sendRaw(rsp);
    }
    const bool wasSscpLu = state_.lastDataType == kDtSscpLuData;
    state_.sscpLuMode = false;
    switch (dataType) {
        case kDtBindImage: {
            // Names of the primary and secondary LU (SNA BIND image, offsets
            // counted with the 5-byte header).
            auto name = [&](std::size_t at, std::size_t n) {
                std::string s;
                for (std::size_t i = 0; i < n && at + i < record.size(); ++i)
                    s += static_cast<char>(codePages_.hostToDisplay(record[at + i]));
                return s;
            };
            if (record.size() > 33) {
                const std::size_t n = record[32];
                if (n >= 1 && n <= 8 && 33 + n <= record.size()) {
                    state_.applicationName = name(33, n);
                    if (36 + n <= record.size() && record[33 + n] == 0 && record[34 + n] == 0) {
                        const std::size_t m = record[35 + n];
                        if (m >= 1 && m <= 8 && 36 + n + m <= record.size())
                            state_.sessionLuName = name(36 + n, m);
                    }
                }
            }
            break;
        }
        case kDtUnbind:
            state_.applicationName.clear();
            state_.sessionLuName.clear();
            screen_.sessionUnbound();
            break;
        case kDtSscpLuData:
            state_.sscpLuMode = true;
            status_ = SessionStatus::Unlocked;
            if (!wasSscpLu) screen_.sscpLuDataStarted();
            break;
        default:
            break;
    }
    state_.lastDataType = dataType;
    record.erase(record.begin(), record.begin() + 5);
}

void TelnetLayer::option(std::uint8_t verb, std::uint8_t opt) {
    const std::uint8_t consumed[] = {kIac, verb, opt};
    events_.commandReceived(consumed);
    switch (verb) {
        case kDo:
            switch (opt) {
                case kOptBinary:
                case kOptTerminalType:
                    agree(kWill, opt);
                    break;
                case kOptEndOfRecord:
                    state_.lineMode = false;
                    screen_.translationModeChanged(TranslationMode::Tables);
                    agree(kWill, opt);
                    break;
                case kOptTn3270e:
                    state_.lineMode = false;
                    if (config_.tn3270eAllowed) {
                        state_.tn3270eMode = true;
                        agree(kWill, opt);
                    } else {
                        reply({kIac, kWont, opt});
                    }
                    break;
                case kOptNoTranslation:
                    screen_.translationModeChanged(TranslationMode::None);
                    agree(kWill, opt);
                    break;
                default:
                    reply({kIac, kWont, opt});
                    break;
            }
            break;
        case kWill:
            switch (opt) {
                case kOptBinary:
                case kOptSuppressGoAhead:
                case kOptTerminalType:
                    agree(kDo, opt);
                    break;
                case kOptEcho:
                    state_.echoOffered = true;
                    agree(kDo, opt);
                    break;
                case kOptEndOfRecord:
                    state_.lineMode = false;
                    state_.echoOffered = true;
                    agree(kDo, opt);
                    break;
                case kOptTn3270e:
                    if (state_.tn3270eMode)
                        agree(kDo, opt);
                    else
                        reply({kIac, kDont, opt});
                    break;
                default:
                    reply({kIac, kDont, opt});
                    break;
            }
            break;
        case kWont:
            state_.doInForce.reset(opt);
            if (opt == kOptTn3270e) {
                // Some servers withdraw TN3270E with WONT rather than DONT, even
                // after DEVICE-TYPE IS, and go on as TN3270 (RFC 1576): leave
                // the mode as for DONT.
                leaveTn3270e();
            } else if (opt == kOptEcho) {
                screen_.echoWithdrawn();
                reply({kIac, kDont, opt});
            } else if (opt == kOptSuppressGoAhead) {
                reply({kIac, kDont, opt});
            }
            break;
        case kDont:
            state_.willInForce.reset(opt);
            if (opt == kOptTn3270e) leaveTn3270e();
            break;
        default:
            break;
    }
}

// TN3270E off, acknowledged with WONT only when it changes something: a DONT
// or WONT that answers our own WONT (after a DEVICE-TYPE REJECT), or that
// repeats one, gets no second WONT (RFC 854's rule against negotiation loops;
// RFC 1143). What follows is plain TN3270: records without a header, the
// terminal type answered again.
void TelnetLayer::leaveTn3270e() {
    state_.willInForce.reset(kOptTn3270e);
    if (!state_.tn3270eMode) return;
    state_.tn3270eMode = false;
    reply({kIac, kWont, kOptTn3270e});
}

void TelnetLayer::subnegotiation() {
    std::vector<std::uint8_t> consumed = {kIac, kSb};
    for (std::uint8_t b : sub_) {
        consumed.push_back(b);
        if (b == kIac) consumed.push_back(kIac);
    }
    consumed.insert(consumed.end(), {kIac, kSe});
    events_.commandReceived(consumed);
    if (sub_.empty()) return;
    if (sub_[0] == kOptTerminalType)
        terminalTypeSubnegotiation();
    else if (sub_[0] == kOptTn3270e)
        tn3270eSubnegotiation();
}

void TelnetLayer::terminalTypeSubnegotiation() {
    // RFC 1091: SB TERMINAL-TYPE SEND -> SB TERMINAL-TYPE IS type SE.
    if (sub_.size() < 2 || sub_[1] != kTtSend || state_.tn3270eMode) return;
    std::vector<std::uint8_t> r = {kIac, kSb, kOptTerminalType, kTtIs};
    std::string type = state_.terminalType;
    if (config_.tn3270eAllowed && !config_.luName.empty()) type += "@" + config_.luName;
    r.insert(r.end(), type.begin(), type.end());
    r.insert(r.end(), {kIac, kSe});
    reply(r);
}

void TelnetLayer::tn3270eSubnegotiation() {
    if (sub_.size() < 3) return;
    const std::uint8_t what = sub_[1];
    const std::uint8_t how = sub_[2];
    if (what == kTnSend && how == kTnDeviceType) {
        std::vector<std::uint8_t> r = {kIac, kSb, kOptTn3270e, kTnDeviceType, kTnRequest};
        r.insert(r.end(), state_.terminalType.begin(), state_.terminalType.end());
        if (!config_.luName.empty()) {
            r.push_back(kTnConnect);
            r.insert(r.end(), config_.luName.begin(), config_.luName.end());
        }
        r.insert(r.end(), {kIac, kSe});
        reply(r);
    } else if (what == kTnDeviceType && how == kTnIs) {
        const std::string& type = state_.terminalType;
        if (sub_.size() < 3 + type.size() ||
            !std::equal(type.begin(), type.end(), sub_.begin() + 3))
            return;  // another device type than requested: ignored
        const std::size_t after = 3 + type.size();
        if (after < sub_.size() && sub_[after] == kTnConnect) {
            // The device name, bounded by its field.
            const std::size_t n = std::min<std::size_t>(sub_.size() - after - 1, 16);
            state_.assignedLuName.assign(sub_.begin() + static_cast<std::ptrdiff_t>(after + 1),
                                         sub_.begin() + static_cast<std::ptrdiff_t>(after + 1 + n));
        }
        reply({kIac, kSb, kOptTn3270e, kTnFunctions, kTnRequest, kFnBindImage, kFnResponses,
               kFnSysreq, kIac, kSe});
    } else if (what == kTnDeviceType && how == kTnReject) {
        const std::uint8_t reason = sub_.size() > 4 && sub_[3] == kTnReason ? sub_[4] : 0xFF;
        status_ = SessionStatus::Rejected;
        state_.tn3270eMode = false;
        state_.willInForce.reset(kOptTn3270e);
        reply({kIac, kWont, kOptTn3270e});
        flushReplies();
        events_.deviceRejected(reason, rejectMessage(reason));
    } else if (what == kTnFunctions && how == kTnRequest) {
        // Every function the server asks for is agreed to.
        std::vector<std::uint8_t> r = {kIac, kSb, kOptTn3270e, kTnFunctions, kTnIs};
        for (std::size_t i = 3; i < sub_.size(); ++i) {
            r.push_back(sub_[i]);
            if (sub_[i] == kIac) r.push_back(kIac);
        }
        r.insert(r.end(), {kIac, kSe});
        reply(r);
    }
    // FUNCTIONS IS: accepted as it stands. Anything else: ignored.
}

// A positive answer (WILL to DO, DO to WILL) is sent only when it enters
// the mode: RFC 854 forbids acknowledging a request for a mode already in
// force, which is what keeps two parties from looping on each other's acks.
void TelnetLayer::agree(std::uint8_t verb, std::uint8_t opt) {
    auto& inForce = verb == kWill ? state_.willInForce : state_.doInForce;
    if (inForce.test(opt)) return;
    inForce.set(opt);
    reply({kIac, verb, opt});
}

void TelnetLayer::reply(std::initializer_list<std::uint8_t> bytes) {
    replies_.insert(replies_.end(), bytes);
}

void TelnetLayer::reply(const std::vector<std::uint8_t>& bytes) {
    replies_.insert(replies_.end(), bytes.begin(), bytes.end());
}

void TelnetLayer::flushReplies() {
    if (replies_.empty()) return;
    std::vector<std::uint8_t> out;
    out.swap(replies_);
    events_.sendRaw(out);
}

}  // namespace cedar
