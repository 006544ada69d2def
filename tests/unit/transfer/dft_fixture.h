// A transfer session on a recording link with identity transfer tables, and
// the host's DFT fields built by hand.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string_view>

#include "transfer/transfer_session.h"
#include "transfer_fakes.h"

namespace cedar::test {

// A 0xD0 field: its 2-byte length, 0xD0, then `body`.
inline ByteVector dftField(std::initializer_list<std::uint8_t> body, std::string_view tail = {}) {
    ByteVector f{0x00, 0x00, 0xD0};
    f.insert(f.end(), body);
    f.insert(f.end(), tail.begin(), tail.end());
    f[0] = static_cast<std::uint8_t>(f.size() >> 8);
    f[1] = static_cast<std::uint8_t>(f.size());
    return f;
}

// The host's Open as the TSO recording has it, ending in "FT:DATA" or "FT:MSG ".
inline ByteVector openField(std::string_view kind) {
    return dftField({0x00, 0x12, 0x01, 0x06, 0x01, 0x01, 0x04, 0x03, 0x0A, 0x0A, 0x00,
                     0x01, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x50, 0x05, 0x52, 0x03,
                     0xF0, 0x08, 0x06, 0x27, 0x04, 0x3F, 0xEF, 0x03, 0x09},
                    kind);
}

inline const ByteVector kGetField = dftField({0x46, 0x11, 0x01, 0x04, 0x00, 0x80});
inline const ByteVector kSetCursorField =
    dftField({0x45, 0x11, 0x01, 0x05, 0x00, 0x06, 0x00, 0x09, 0x05, 0x01, 0x03, 0x00});
inline const ByteVector kBeforeInsertField = dftField({0x47, 0x11, 0x01, 0x05, 0x00, 0x80, 0x00});
inline const ByteVector kCloseField = dftField({0x41, 0x12});

// An Insert carrying `data` from field offset 10.
inline ByteVector insertField(const ByteVector& data) {
    ByteVector f = dftField({0x47, 0x04, 0xC0, 0x80, 0x61, 0x00, 0x00});
    const std::size_t mm = data.size() + 5;
    f[8] = static_cast<std::uint8_t>(mm >> 8);
    f[9] = static_cast<std::uint8_t>(mm);
    f.insert(f.end(), data.begin(), data.end());
    f[0] = static_cast<std::uint8_t>(f.size() >> 8);
    f[1] = static_cast<std::uint8_t>(f.size());
    return f;
}

inline ByteVector bytesOf(std::string_view text) {
    return ByteVector(text.begin(), text.end());
}

class DftTest : public ::testing::Test {
  protected:
    DftTest() {
        for (int i = 0; i < 256; ++i) {
            codePages.transferTable[i] = static_cast<std::uint8_t>(i);
            codePages.transferToPcTable[i] = static_cast<std::uint8_t>(i);
        }
    }

    // A transfer as the request starts it: TR_READY with the PC file open.
    MemoryFile& start(TransferDirection direction, ByteVector content = {}) {
        auto f = std::make_unique<MemoryFile>(std::move(content));
        MemoryFile& ref = *f;
        state.file = std::move(f);
        state.direction = direction;
        link.current = SessionStatus::TransferReady;
        return ref;
    }
    void field(const ByteVector& f) { session.processDftField(f); }
    // The records sent since the last call.
    std::vector<ByteVector> takeSent() {
        auto out = std::move(link.sent);
        link.sent.clear();
        return out;
    }

    TransferState state;
    RecordingLink link;
    CodePages codePages;
    TransferSession session{state, link, codePages};
};

}  // namespace cedar::test
