#include "tn3270_server.h"

#include <algorithm>
#include <cctype>

namespace cedar::hostside {

namespace {

constexpr std::uint8_t kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251, kSb = 250,
                       kSe = 240, kEor = 239;
constexpr std::uint8_t kBinary = 0, kTerminalType = 24, kEndOfRecord = 25, kTn3270e = 40;
constexpr std::uint8_t kTtIs = 0, kTtSend = 1;
// TN3270E sub-negotiation words (RFC 2355).
constexpr std::uint8_t kConnect = 1, kDeviceType = 2, kFunctions = 3, kIs = 4, kRequest = 7,
                       kSend = 8;
constexpr std::uint8_t kFunctionResponses = 2;

void put(Bytes& out, std::initializer_list<std::uint8_t> bytes) {
    out.insert(out.end(), bytes);
}

void putText(Bytes& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
}

}  // namespace

int Terminal::alternateRows() const {
    static constexpr int kRows[] = {24, 32, 43, 27};
    return kRows[std::clamp(model, 2, 5) - 2];
}

int Terminal::alternateColumns() const {
    return model == 5 ? 132 : 80;
}

Tn3270Server::Tn3270Server(Options options) : options_(std::move(options)) {}

Bytes Tn3270Server::greeting() const {
    return {kIac, kDo, options_.offerTn3270e ? kTn3270e : kTerminalType};
}

Bytes Tn3270Server::receive(std::span<const std::uint8_t> bytes) {
    Bytes out;
    for (const std::uint8_t b : bytes) {
        switch (state_) {
            case State::Data:
                if (b == kIac)
                    state_ = State::Iac;
                else
                    record_.push_back(b);
                break;
            case State::Iac:
                state_ = State::Data;
                if (b == kIac) {
                    record_.push_back(b);
                } else if (b == kEor) {
                    endRecord();
                } else if (b == kSb) {
                    sub_.clear();
                    state_ = State::Sub;
                } else if (b >= kWill && b <= kDont) {
                    verb_ = b;
                    state_ = State::Command;
                }  // other commands (NOP, ...) carry nothing
                break;
            case State::Command:
                state_ = State::Data;
                command(verb_, b, out);
                break;
            case State::Sub:
                if (b == kIac)
                    state_ = State::SubIac;
                else if (sub_.size() < 512)
                    sub_.push_back(b);
                break;
            case State::SubIac:
                if (b == kSe) {
                    state_ = State::Data;
                    subnegotiation(out);
                } else {
                    if (sub_.size() < 512) sub_.push_back(b);  // IAC IAC inside
                    state_ = State::Sub;
                }
                break;
        }
    }
    return out;
}

std::vector<Bytes> Tn3270Server::takeRecords() {
    std::vector<Bytes> taken;
    taken.swap(records_);
    return taken;
}

void Tn3270Server::endRecord() {
    Bytes record;
    record.swap(record_);
    if (!ready_) return;
    if (terminal_.tn3270e) {
        // Only 3270-DATA (type 0) records are the application's.
        if (record.size() < 5 || record[0] != 0) return;
        record.erase(record.begin(), record.begin() + 5);
    }
    records_.push_back(std::move(record));
}

void Tn3270Server::command(std::uint8_t verb, std::uint8_t option, Bytes& out) {
    if (option == kTn3270e && options_.offerTn3270e) {
        if (verb == kWill && !terminal_.tn3270e && !tn3270Started_) {
            put(out, {kIac, kSb, kTn3270e, kSend, kDeviceType, kIac, kSe});
        } else if (verb == kWont && !tn3270Started_) {
            terminal_.tn3270e = false;
            ready_ = false;
            startTn3270(out);
        }
        return;
    }
    switch (option) {
        case kTerminalType:
            if (verb == kWill) {
                put(out, {kIac, kSb, kTerminalType, kTtSend, kIac, kSe});
            } else if (verb == kWont && !terminal_.tn3270e) {
                error_ = "the client will not tell its terminal type";
            }
            return;
        case kEndOfRecord:
        case kBinary: {
            const bool eor = option == kEndOfRecord;
            if (verb == kWill) (eor ? willEor_ : willBinary_) = true;
            if (verb == kDo) (eor ? doEor_ : doBinary_) = true;
            if (verb == kWont || verb == kDont)
                error_ = std::string("the client refused ") + (eor ? "END-OF-RECORD" : "BINARY");
            checkTn3270Ready();
            return;
        }
        default:
            // Nothing else is offered or accepted.
            if (verb == kWill) put(out, {kIac, kDont, option});
            if (verb == kDo) put(out, {kIac, kWont, option});
            return;
    }
}

void Tn3270Server::startTn3270(Bytes& out) {
    if (tn3270Started_) return;
    tn3270Started_ = true;
    put(out, {kIac, kDo, kTerminalType});
}

void Tn3270Server::checkTn3270Ready() {
    if (!terminal_.tn3270e && willEor_ && doEor_ && willBinary_ && doBinary_ &&
        !terminal_.type.empty())
        ready_ = true;
}

void Tn3270Server::subnegotiation(Bytes& out) {
    if (sub_.empty()) return;
    if (sub_[0] == kTerminalType) {
        if (sub_.size() < 2 || sub_[1] != kTtIs) return;
        terminal_.type.assign(sub_.begin() + 2, sub_.end());
        put(out, {kIac, kDo, kEndOfRecord, kIac, kWill, kEndOfRecord, kIac, kDo, kBinary, kIac,
                  kWill, kBinary});
        checkTn3270Ready();
    } else if (sub_[0] == kTn3270e) {
        tn3270eSub(out);
    }
    // The model is the digit after "IBM-327x-".
    const auto& t = terminal_.type;
    if (t.size() >= 10 && std::isdigit(static_cast<unsigned char>(t[9])) != 0)
        terminal_.model = std::clamp(t[9] - '0', 2, 5);
}

void Tn3270Server::tn3270eSub(Bytes& out) {
    if (sub_.size() < 3) return;
    if (sub_[1] == kDeviceType && sub_[2] == kRequest) {
        std::string type, lu;
        std::size_t i = 3;
        for (; i < sub_.size() && sub_[i] != kConnect; ++i)
            type += static_cast<char>(sub_[i]);
        if (i < sub_.size())
            lu.assign(sub_.begin() + static_cast<std::ptrdiff_t>(i) + 1, sub_.end());
        terminal_.type = type;
        terminal_.luName = lu.empty() ? options_.luName : lu;
        put(out, {kIac, kSb, kTn3270e, kDeviceType, kIs});
        putText(out, terminal_.type);
        put(out, {kConnect});
        putText(out, terminal_.luName);
        put(out, {kIac, kSe});
    } else if (sub_[1] == kFunctions && (sub_[2] == kRequest || sub_[2] == kIs)) {
        const Bytes asked(sub_.begin() + 3, sub_.end());
        Bytes kept;
        for (const std::uint8_t f : asked)
            if (f == kFunctionResponses) kept.push_back(f);
        if (sub_[2] == kRequest && kept != asked) {
            put(out, {kIac, kSb, kTn3270e, kFunctions, kRequest});
            out.insert(out.end(), kept.begin(), kept.end());
            put(out, {kIac, kSe});
            return;
        }
        if (sub_[2] == kRequest) {
            put(out, {kIac, kSb, kTn3270e, kFunctions, kIs});
            out.insert(out.end(), kept.begin(), kept.end());
            put(out, {kIac, kSe});
        }
        terminal_.tn3270e = true;
        tn3270Started_ = true;
        ready_ = true;
    }
}

Bytes Tn3270Server::frame(std::span<const std::uint8_t> record) {
    Bytes out;
    out.reserve(record.size() + 16);
    auto putData = [&](std::uint8_t b) {
        out.push_back(b);
        if (b == kIac) out.push_back(kIac);
    };
    if (terminal_.tn3270e) {
        // 3270-DATA, no request, no response wanted, the sequence number.
        for (const std::uint8_t b :
             {std::uint8_t{0}, std::uint8_t{0}, std::uint8_t{0},
              static_cast<std::uint8_t>(sequence_ >> 8), static_cast<std::uint8_t>(sequence_)})
            putData(b);
        ++sequence_;
    }
    for (const std::uint8_t b : record)
        putData(b);
    put(out, {kIac, kEor});
    return out;
}

}  // namespace cedar::hostside
