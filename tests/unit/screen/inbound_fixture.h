// A session with the inbound builder, the read-reply adapter and the
// structured-field handler wired in, and a send path that records what it
// was given.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "record_builder.h"
#include "screen/inbound.h"
#include "screen/structured_fields.h"

namespace cedar::test {

using ByteVector = std::vector<std::uint8_t>;

struct SentRecord {
    bool startsTimer;  // sent with sendAid
    ByteVector record;
    ByteVector trace;
};

class RecordingSender : public InboundSender {
  public:
    std::vector<SentRecord> sent;
    bool sscpLu = false;

    void sendAid(Bytes record, Bytes trace) override { keep(true, record, trace); }
    void sendRecord(Bytes record, Bytes trace) override { keep(false, record, trace); }
    bool sscpLuMode() const override { return sscpLu; }

    const SentRecord& last() const { return sent.back(); }

  private:
    void keep(bool timer, Bytes record, Bytes trace) {
        // The trace copy stands in for the record: it always has its length.
        EXPECT_EQ(record.size(), trace.size());
        sent.push_back({timer, {record.begin(), record.end()}, {trace.begin(), trace.end()}});
    }
};

struct InboundFixture {
    explicit InboundFixture(ScreenSettings settings = {}, ScreenSessionOptions options = {})
        : t(settings, options) {
        RecordHooks h = hooks.hooks();
        h.reads = &reads;
        h.structuredFields = &fields;
        t.session.records.setHooks(h);
        fields.setLinks({nullptr, nullptr, &hooks, &hooks});
    }

    TestSession t;
    RecordingHooks hooks;
    RecordingSender sender;
    InboundBuilder builder{t.ps(), t.session.codePages, sender};
    InboundReadReplies reads{builder, t.session.records};
    StructuredFields fields{t.ps(), t.session.records, t.session.codePages, t.session.status,
                            sender};

    PresentationSpace& ps() { return t.ps(); }
    SessionStatus& status() { return t.session.status; }

    // Applies a record from a heap buffer of exactly its size, so that any
    // read past its end is caught by AddressSanitizer.
    void apply(const ByteVector& bytes, const RecordOrigin& origin = {}) {
        auto copy = std::make_unique<std::uint8_t[]>(bytes.size());
        std::copy(bytes.begin(), bytes.end(), copy.get());
        t.apply(Bytes(copy.get(), bytes.size()), origin);
    }
    void apply(const RecordBuilder& b, const RecordOrigin& origin = {}) {
        apply(b.bytes(), origin);
    }
};

// Expected bytes, written like records.
inline ByteVector concat(std::initializer_list<ByteVector> parts) {
    ByteVector out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

}  // namespace cedar::test
