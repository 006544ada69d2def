// Fuzzes Write Structured Field records (Read Partition with the query
// replies, Erase/Reset, Set Reply Mode, Outbound 3270DS, remote actions,
// file-transfer fields) and the read replies of the inbound data stream,
// with the structured-field handler and the read-reply adapter wired into
// a session.
//
// Input: byte 0 selects settings and options, byte 1 the session status and
// what else runs after each record, then records separated by IAC EOR (0xFF
// 0xEF) as on the wire.
//
// Checked after every send: the trace copy has the record's length and
// differs from it only by masking; every reply of an AID 0x88 record has a
// length field that covers exactly its bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "screen/inbound.h"
#include "screen/structured_fields.h"
#include "session/session.h"

namespace {

// The host code of "X" under the identity tables used here.
constexpr std::uint8_t kMask = 'X';

class CheckingSender : public cedar::InboundSender {
  public:
    bool sscpLu = false;
    void sendAid(cedar::Bytes record, cedar::Bytes trace) override { check(record, trace); }
    void sendRecord(cedar::Bytes record, cedar::Bytes trace) override {
        check(record, trace);
        if (!record.empty() && record[0] == cedar::aid::kStructuredField) checkReplies(record);
    }
    bool sscpLuMode() const override { return sscpLu; }

  private:
    static void check(cedar::Bytes record, cedar::Bytes trace) {
        if (record.size() != trace.size()) __builtin_trap();
        for (std::size_t i = 0; i < record.size(); ++i)
            if (trace[i] != record[i] && trace[i] != kMask) __builtin_trap();
    }
    static void checkReplies(cedar::Bytes record) {
        std::size_t pos = 1;
        while (pos < record.size()) {
            if (record.size() - pos < 4) __builtin_trap();
            const std::size_t length = (std::size_t{record[pos]} << 8) | record[pos + 1];
            if (length < 4 || length > record.size() - pos) __builtin_trap();
            pos += length;
        }
    }
};

class FuzzDft : public cedar::DftHandler {
  public:
    bool cancel = false;
    bool cancelRequested() const override { return cancel; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::uint8_t flags = data[0];
    const std::uint8_t control = data[1];
    cedar::ScreenSettings settings;
    settings.ignoreInvalidSba = flags & 0x01;
    settings.ignoreInvalidWrite = flags & 0x02;
    settings.cmdChaining = flags & 0x04;
    cedar::ScreenSessionOptions options;
    options.modelIndex = (flags >> 3) & 0x07;  // 5 to 7 clamp to the user size
    options.userRows = 126;
    options.userColumns = 130;
    cedar::Session session(settings, options);
    session.status = static_cast<cedar::SessionStatus>(control & 0x0F);
    for (int i = 0; i < 256; ++i)
        session.codePages.screenTable[i] = static_cast<std::uint8_t>(i);
    session.codePages.rebuildInverseScreenTable();

    CheckingSender sender;
    sender.sscpLu = control & 0x10;
    FuzzDft dft;
    dft.cancel = flags & 0x40;
    cedar::InboundBuilder builder(session.screen, session.codePages, sender);
    cedar::InboundReadReplies reads(builder, session.records);
    cedar::StructuredFields fields(session.screen, session.records, session.codePages,
                                   session.status, sender);
    cedar::StructuredFieldOptions fieldOptions;
    fieldOptions.dftMode = flags & 0x80;
    fieldOptions.replyCodepage = !(flags & 0x40);
    fields.setOptions(fieldOptions);
    cedar::RemoteActionStore remoteActions;
    fields.setLinks({&dft, &remoteActions, nullptr, nullptr});
    cedar::RecordHooks hooks;
    hooks.reads = &reads;
    hooks.structuredFields = &fields;
    session.records.setHooks(hooks);

    // Every record a structured-field record, so that mutations work on the fields.
    const bool forceWsf = control & 0x80;
    const bool readAfterEach = control & 0x20;
    const bool readBufferAfterEach = control & 0x40;

    std::size_t start = 2;
    for (std::size_t i = 2; i <= size; ++i) {
        const bool end = i == size || (i + 1 < size && data[i] == 0xFF && data[i + 1] == 0xEF);
        if (!end) continue;
        const std::size_t length = i - start;
        const std::size_t total = length + (forceWsf ? 1 : 0);
        // Each record in its own buffer, so an over-read is caught.
        auto* copy = new std::uint8_t[total + 1];
        std::size_t at = 0;
        if (forceWsf) copy[at++] = cedar::cmd::kWriteStructuredField;
        std::memcpy(copy + at, data + start, length);
        session.records.processRecord({copy, total});
        delete[] copy;
        if (readAfterEach) builder.sendReadModified(cedar::aid::kEnter);
        if (readBufferAfterEach) builder.sendReadBuffer(cedar::aid::kEnter, 0);
        auto& ps = session.screen;
        if (ps.cursor() < 0 || ps.cursor() >= ps.positions()) __builtin_trap();
        start = i + 2;
        ++i;
    }
    return 0;
}
