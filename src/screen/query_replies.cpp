#include "screen/query_replies.h"

#include <initializer_list>

namespace cedar {

namespace {

constexpr std::uint8_t kQueryReply = 0x81;

// The address reported in the OEM auxiliary device reply: the loopback
// address, as the terminal's own address is nothing the host can use.
constexpr std::uint8_t kOemAddress[4] = {0x7F, 0x00, 0x00, 0x01};

// Builds one reply; the length field is filled in at the end from the bytes
// actually written.
class Reply {
  public:
    Reply(std::vector<std::uint8_t>& out, std::uint8_t code) : out_(out), start_(out.size()) {
        bytes({0x00, 0x00, kQueryReply, code});
    }
    ~Reply() {
        const std::size_t length = out_.size() - start_;
        out_[start_] = static_cast<std::uint8_t>(length >> 8);
        out_[start_ + 1] = static_cast<std::uint8_t>(length & 0xFF);
    }
    Reply(const Reply&) = delete;
    Reply& operator=(const Reply&) = delete;

    void bytes(std::initializer_list<std::uint8_t> list) {
        out_.insert(out_.end(), list.begin(), list.end());
    }
    // A 2-byte number, most significant byte first.
    void number(int value) {
        out_.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
        out_.push_back(static_cast<std::uint8_t>(value & 0xFF));
    }
    void text(const char* ascii) {
        for (; *ascii != '\0'; ++ascii)
            out_.push_back(static_cast<std::uint8_t>(*ascii));
    }

  private:
    std::vector<std::uint8_t>& out_;
    std::size_t start_;
};

}  // namespace

bool appendQueryReply(std::uint8_t code, const QueryReplyContext& c,
                      std::vector<std::uint8_t>& out) {
    switch (code) {
        case query::kSummary: {
            Reply r(out, code);
            r.bytes({0x80, 0x81, 0x85, 0x86, 0x87, 0x88, 0x99, 0xA6, 0xA8});
            return true;
        }
        case query::kUsableArea: {
            Reply r(out, code);
            r.bytes({0x01, 0x00});
            // The alternate size; the sizes are 2-byte fields.
            r.number(c.alternateColumns);
            r.number(c.alternateRows);
            r.bytes({0x01, 0x00, 0xD3, 0x03, 0x20, 0x00, 0x9E, 0x02, 0x58, 0x07, 0x0C, 0x07, 0x80});
            return true;
        }
        case query::kImplicitPartition: {
            Reply r(out, code);
            r.bytes({0x00, 0x00, 0x0B, 0x01, 0x00});
            r.number(c.defaultColumns);
            r.number(c.defaultRows);
            r.number(c.alternateColumns);
            r.number(c.alternateRows);
            return true;
        }
        case query::kColor: {
            Reply r(out, code);
            r.bytes({0x00, 0x08, 0x00, 0xF4, 0xF1, 0xF1, 0xF2, 0xF2, 0xF3, 0xF3, 0xF4, 0xF4, 0xF5,
                     0xF5, 0xF6, 0xF6, 0xF7, 0xF7});
            return true;
        }
        case query::kHighlight: {
            Reply r(out, code);
            r.bytes({0x04, 0x00, 0xF0, 0xF1, 0xF1, 0xF2, 0xF2, 0xF4, 0xF4});
            return true;
        }
        case query::kReplyModes: {
            Reply r(out, code);
            r.bytes({0x00, 0x01, 0x02});
            return true;
        }
        case query::kAuxiliaryDevice: {
            Reply r(out, code);
            r.bytes({0x00, 0x00});
            return true;
        }
        case query::kCharacterSets: {
            Reply r(out, code);
            r.bytes({0x82, 0x00, 0x07, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00});
            if (c.replyCodepage) {
                r.number(c.hostCharacterSet);
                r.number(c.hostCodePage);
            } else {
                r.number(697);
                r.number(37);
            }
            // The graphic-escape set: set 1, local ID 0xF1, character set 963, code page 310.
            r.bytes({0x01, 0x00, 0xF1, 0x03, 0xC3, 0x01, 0x36});
            return true;
        }
        case query::kDistributedDataManagement: {
            Reply r(out, code);
            r.bytes({0x00, 0x00});
            const int limit = (c.transferBlockSize + 27) & 0xFFFF;
            r.number(limit);  // inbound
            r.number(limit);  // outbound
            r.bytes({0x01, 0x01});
            return true;
        }
        case query::kTransparency: {
            Reply r(out, code);
            r.bytes({0x02, 0x00, 0xF0, 0xFF, 0xFF});
            return true;
        }
        case query::kOemAuxiliaryDevice: {
            Reply r(out, code);
            r.bytes({0x00, 0x00});
            // Device type "TCP3270 " and name "CEDAR   " in EBCDIC.
            r.bytes({0xE3, 0xC3, 0xD7, 0xF3, 0xF2, 0xF7, 0xF0, 0x40});
            r.bytes({0xC3, 0xC5, 0xC4, 0xC1, 0xD9, 0x40, 0x40, 0x40});
            r.bytes({0x04, 0x01, 0x00, 0x00});
            r.bytes({0x25, 0xFF, 0x02, 0x06, 0x00, 0x00});
            r.bytes({kOemAddress[0], kOemAddress[1], kOemAddress[2], kOemAddress[3]});
            r.bytes({0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
            r.text("(Not yet logged in!)");
            r.bytes({0x00});
            return true;
        }
        default:
            return false;
    }
}

void appendNullQueryReply(std::vector<std::uint8_t>& out) {
    Reply r(out, query::kNull);
}

std::vector<std::uint8_t> fullReplySet(bool withDistributedDataManagement) {
    std::vector<std::uint8_t> codes = {
        query::kUsableArea, query::kImplicitPartition, query::kColor,        query::kHighlight,
        query::kReplyModes, query::kAuxiliaryDevice,   query::kCharacterSets};
    if (withDistributedDataManagement) codes.push_back(query::kDistributedDataManagement);
    codes.push_back(query::kOemAuxiliaryDevice);
    codes.push_back(query::kSummary);
    return codes;
}

}  // namespace cedar
