// The host's DFT exchange: structured fields of ID 0xD0 in Write Structured
// Field records, answered by the terminal with AID 0x88.
//
//   Open       D0 00 12 ... name ("FT:DATA" for the file, "FT:MSG " for the
//              closing message)                 terminal: D0 00 09
//   Set Cursor D0 45 11 (no answer), Get D0 46 11   terminal: D0 46 05 data
//              or D0 46 08 (error; code 0x22 is end of file)
//   Insert     D0 47 11 (where), D0 47 04 data      terminal: D0 47 05 block
//              or D0 47 08 (error)
//   Close      D0 41 12                         terminal: D0 41 09
#include <algorithm>
#include <cstdio>

#include "ind_file_host.h"

namespace cedar::hostside {

namespace {

// WSF with an Outbound 3270DS Write (WCC 0xC2) ahead of each request, as
// the recorded host sends it.
Bytes request(std::initializer_list<std::uint8_t> field) {
    Bytes out{0xF3, 0x00, 0x06, 0x40, 0x00, 0xF1, 0xC2};
    out.insert(out.end(), field);
    return out;
}

void put16(Bytes& out, std::size_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

Bytes openRequest(bool toHost, std::string_view name, std::size_t limit) {
    Bytes out = request({});
    Bytes field{0xD0, 0x00, 0x12, 0x01, 0x06, 0x01, 0x01, 0x04, 0x03, 0x0A, 0x0A};
    if (toHost) {
        field.insert(field.end(), {0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00});
    } else {
        field.insert(field.end(), {0x00, 0x00, 0x00, 0x00, 0x11, 0x01, 0x01, 0x00});
    }
    field.insert(field.end(), {0x50, 0x05, 0x52, 0x03, 0xF0});
    if (toHost) {
        // The largest data block the host takes.
        field.insert(field.end(), {0x08, 0x06, 0x27, 0x04});
        put16(field, limit);
    }
    field.insert(field.end(), {0x03, 0x09});
    field.insert(field.end(), name.begin(), name.end());
    put16(out, field.size() + 2);
    out.insert(out.end(), field.begin(), field.end());
    return out;
}

Bytes insertRequest(std::span<const std::uint8_t> data) {
    Bytes out = request({0x00, 0x0A, 0xD0, 0x47, 0x11, 0x01, 0x05, 0x00, 0x80, 0x00});
    put16(out, data.size() + 10);
    out.insert(out.end(), {0xD0, 0x47, 0x04, 0xC0, 0x80, 0x61});
    put16(out, data.size() + 5);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

const Bytes kSetCursor{0x00, 0x0F, 0xD0, 0x45, 0x11, 0x01, 0x05, 0x00,
                       0x06, 0x00, 0x09, 0x05, 0x01, 0x03, 0x00};
const Bytes kGet{0x00, 0x09, 0xD0, 0x46, 0x11, 0x01, 0x04, 0x00, 0x80};
constexpr std::uint8_t kReadModified = 0xF6;
constexpr std::uint8_t kEndOfFile = 0x22;

// One reply field of the terminal: its type (the two bytes after 0xD0) and
// where the rest starts.
struct Reply {
    std::uint8_t request = 0, kind = 0;  // e.g. 0x46 0x05: data for a Get
    std::span<const std::uint8_t> body;  // after those two bytes, within the field
};

std::optional<Reply> parseReply(std::span<const std::uint8_t> record) {
    if (record.size() < 6 || record[0] != 0x88 || record[3] != 0xD0) return std::nullopt;
    const std::size_t length = (static_cast<std::size_t>(record[1]) << 8) | record[2];
    if (length < 5 || length + 1 > record.size()) return std::nullopt;
    return Reply{record[4], record[5], record.subspan(6, length - 5)};
}

std::uint32_t be32(std::span<const std::uint8_t> b) {
    return (static_cast<std::uint32_t>(b[0]) << 24) | (static_cast<std::uint32_t>(b[1]) << 16) |
           (static_cast<std::uint32_t>(b[2]) << 8) | b[3];
}

std::string hexByte(std::uint8_t b) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", b);
    return text;
}

}  // namespace

void IndFileHost::dftBegin(std::vector<Bytes>& out) {
    if (!store_.acceptsName(command_.name)) {
        ok_ = false;
        message_ = "TRANS13   Invalid data set name " + command_.name;
        state_ = State::OpenMessage;
        out.push_back(openRequest(false, "FT:MSG ", 0));
        return;
    }
    if (!command_.put) {
        auto set = store_.get(command_.name);
        if (!set) {
            ok_ = false;
            message_ = "TRANS13   Data set " + command_.name + " not found";
            state_ = State::OpenMessage;
            out.push_back(openRequest(false, "FT:MSG ", 0));
            return;
        }
        data_ = std::move(set->bytes);
    }
    state_ = State::OpenData;
    out.push_back(
        openRequest(command_.put, "FT:DATA", inboundLimit_ > 17 ? inboundLimit_ - 17 : 0));
}

void IndFileHost::dftGet(std::vector<Bytes>& out) {
    state_ = State::Data;
    Bytes setCursor = request({});
    setCursor.insert(setCursor.end(), kSetCursor.begin(), kSetCursor.end());
    Bytes get = options_.separateSetCursor ? request({}) : std::move(setCursor);
    if (options_.separateSetCursor) out.push_back(std::move(setCursor));
    get.insert(get.end(), kGet.begin(), kGet.end());
    out.push_back(std::move(get));
}

void IndFileHost::dftInsert(std::vector<Bytes>& out) {
    state_ = State::Data;
    const std::size_t size = std::max<std::size_t>(outboundLimit_, 64) - 27;
    const std::size_t n = std::min(size, data_.size() - offset_);
    out.push_back(insertRequest(std::span(data_).subspan(offset_, n)));
    offset_ += n;
}

// After a block: a Read Modified when asked for, a cancel by the host, the
// next block, or the close at the end.
void IndFileHost::dftNextData(std::vector<Bytes>& out) {
    if (hostCancels())
        dftFinish(false,
                  "TRANS13   File transfer canceled by the host after " + std::to_string(block_) +
                      " blocks",
                  out);
    else if (command_.put)
        dftGet(out);
    else if (offset_ >= data_.size())
        dftFinish(true, completion(), out);
    else
        dftInsert(out);
}

void IndFileHost::dftFinish(bool ok, const std::string& message, std::vector<Bytes>& out) {
    ok_ = ok;
    message_ = message;
    state_ = State::Close;
    out.push_back(request({0x00, 0x05, 0xD0, 0x41, 0x12}));
}

void IndFileHost::dftReceive(std::span<const std::uint8_t> record, std::vector<Bytes>& out) {
    if (state_ == State::Retransmit) {
        if (!std::equal(record.begin(), record.end(), lastReply_.begin(), lastReply_.end())) {
            dftFinish(false, "TRANS13   File transfer failed: the record sent again differs", out);
            return;
        }
        dftNextData(out);
        return;
    }
    const auto reply = parseReply(record);
    if (!reply) {
        // An attention key or anything else that is no DFT reply ends it.
        ok_ = false;
        message_ = "TRANS13   File transfer interrupted by the terminal";
        if (state_ == State::Message) message_ = message_.empty() ? completion() : message_;
        end();
        return;
    }
    lastReply_.assign(record.begin(), record.end());
    const bool error = reply->kind == 0x08 && reply->body.size() >= 3 && reply->body[0] == 0x69;
    switch (state_) {
        case State::OpenData:
            if (reply->request != 0x00 || reply->kind != 0x09) {
                ok_ = false;
                message_ = "TRANS13   File transfer failed: the terminal did not open the file";
                end();
                return;
            }
            if (command_.put)
                dftGet(out);
            else
                dftNextData(out);
            return;
        case State::Data:
            if (error) {
                const std::uint8_t code = reply->body[2];
                if (command_.put && code == kEndOfFile)
                    dftFinish(true, completion(), out);
                else
                    dftFinish(false,
                              "TRANS13   File transfer failed: the terminal answered error " +
                                  hexByte(code),
                              out);
                return;
            }
            if (command_.put && reply->request == 0x46 && reply->kind == 0x05 &&
                reply->body.size() >= 11) {
                // 63 06 BBBB C0 80 61 MMMM data
                const std::uint32_t number = be32(reply->body.subspan(2, 4));
                const std::size_t size =
                    (static_cast<std::size_t>(reply->body[9]) << 8) | reply->body[10];
                if (number != block_ + 1 || size < 5 || size - 5 > reply->body.size() - 11) {
                    dftFinish(false, "TRANS13   File transfer failed: bad data block", out);
                    return;
                }
                const auto data = reply->body.subspan(11, size - 5);
                data_.insert(data_.end(), data.begin(), data.end());
                ++block_;
            } else if (!command_.put && reply->request == 0x47 && reply->kind == 0x05 &&
                       reply->body.size() >= 6) {
                if (be32(reply->body.subspan(2, 4)) != block_ + 1) {
                    dftFinish(false, "TRANS13   File transfer failed: block out of sequence", out);
                    return;
                }
                ++block_;
            } else {
                dftFinish(false, "TRANS13   File transfer failed: unexpected reply", out);
                return;
            }
            if (options_.readModifiedAfter.count(block_) != 0) {
                state_ = State::Retransmit;
                out.push_back({kReadModified});
                return;
            }
            dftNextData(out);
            return;
        case State::Close:
            state_ = State::OpenMessage;
            out.push_back(openRequest(false, "FT:MSG ", 0));
            return;
        case State::OpenMessage: {
            state_ = State::Message;
            // The message in ASCII, ended by "$", in a field of 85 bytes.
            std::string text = message_.substr(0, 80) + "$";
            text.resize(85, ' ');
            out.push_back(insertRequest(Bytes(text.begin(), text.end())));
            return;
        }
        default:
            end();
            return;
    }
}

}  // namespace cedar::hostside
