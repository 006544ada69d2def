#include "host/trace.h"

#include <gtest/gtest.h>

#include "memory_sink.h"
#include "record_builder.h"
#include "screen/presentation_space.h"

namespace cedar::test {
namespace {

const std::string kDate = "Dec 10 2026";
const ByteVector kHeader = cat({le16(16), bytesOf("1.30 Dec 10 2026")});

ByteVector record(std::uint8_t type, const ByteVector& body, const std::string& time = "12:34:56") {
    return cat({{type}, bytesOf(time), le16(body.size()), body});
}

ByteVector filled(std::size_t n, std::uint8_t seed) {
    ByteVector v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<std::uint8_t>(seed + i * 7);
    return v;
}

struct TraceFixture : ::testing::Test {
    MemorySink sink;
    FixedClock clock;
    Trace trace{sink, clock, 'B', kDate};

    const ByteVector& trc() const { return sink.file("sessionB.trc"); }
    TraceFile parsed() const {
        TraceFile f;
        std::string error;
        ExactBuffer buffer(trc());
        EXPECT_TRUE(parseTrace(buffer.span(), f, error)) << error;
        return f;
    }
};

TEST(TraceNames, FileNamesCarryTheSessionId) {
    EXPECT_EQ(traceFileName('A'), "sessionA.trc");
    EXPECT_EQ(traceFileName('7'), "session7.trc");
    EXPECT_EQ(traceTextFileName('Z'), "traceZ.txt");
}

TEST(TraceNames, BuildDateHasElevenCharacters) {
    const std::string date = buildDateText();
    ASSERT_EQ(date.size(), 11u);
    EXPECT_EQ(date[3], ' ');
    EXPECT_EQ(date[6], ' ');
}

TEST(TraceMessages, SessionIdAndLocationFilledIn) {
    EXPECT_EQ(traceStartedMessage('C'),
              "Screen data will now be traced to file SESSIONC.TRC.\n\nMake sure this file is "
              "not accessible to others, since\nit may contain confidential data. Nondisplay "
              "input fields \nsuch as passwords have been replaced with XXXXXXXX");
    EXPECT_EQ(traceStoppedMessage('C', "/home/u/out"),
              "File SESSIONC.TRC contains trace data. Location is\n/home/u/out\n\nMake sure this "
              "file is not accessible to others, since\nit may contain confidential data. "
              "Nondisplay input fields \nsuch as passwords have been replaced with XXXXXXXX");
    EXPECT_EQ(screenDumpedMessage('C'),
              "Screen buffers were dumped to file SESSIONC.TRC.\n\nMake sure this file is not "
              "accessible to others, since\nit may contain passwords or other important data.");
}

TEST_F(TraceFixture, StartCreatesHeaderAndEmptyTextFile) {
    trace.start();
    EXPECT_TRUE(trace.tracing());
    EXPECT_EQ(trace.traceBytes(), 0u);
    EXPECT_EQ(trc(), kHeader);
    ASSERT_TRUE(sink.has("traceB.txt"));
    EXPECT_TRUE(sink.file("traceB.txt").empty());
}

TEST_F(TraceFixture, NothingWrittenWhileOff) {
    trace.trace(TraceType::RecordReceived, ByteVector{1, 2, 3});
    trace.flush();
    EXPECT_FALSE(sink.has("sessionB.trc"));
    EXPECT_EQ(trace.traceBytes(), 0u);
}

TEST_F(TraceFixture, EachTypeRoundTripsByteForByte) {
    struct Case {
        TraceType type;
        ByteVector body;
    };
    const std::vector<Case> cases = {
        {TraceType::TelnetCommand, {0xFF, 0xFD, 0x18}},
        {TraceType::RecordReceived, {0xF5, 0xC3, 0x11, 0x40, 0x40}},
        {TraceType::DataSent, {0x7D, 0x40, 0x40, 0xFF, 0xEF}},
        {TraceType::RawBlock, filled(300, 3)},
        {TraceType::RecordReceived, {}},
    };
    trace.start();
    ByteVector expected = kHeader;
    std::size_t bytes = 0;
    for (const Case& c : cases) {
        trace.trace(c.type, c.body);
        expected = cat({expected, record(static_cast<std::uint8_t>(c.type), c.body)});
        bytes += c.body.size() + 11;
    }
    EXPECT_EQ(trace.traceBytes(), bytes);
    trace.stop();
    EXPECT_EQ(trc(), expected);

    const TraceFile f = parsed();
    EXPECT_EQ(f.header, "1.30 Dec 10 2026");
    ASSERT_EQ(f.records.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(f.records[i].type, static_cast<std::uint8_t>(cases[i].type)) << i;
        EXPECT_EQ(f.records[i].time, "12:34:56") << i;
        EXPECT_EQ(f.records[i].body, cases[i].body) << i;
    }
}

TEST_F(TraceFixture, TimeTextIsKeptToEightCharacters) {
    trace.start();
    clock.text = "1:02:03 PM";
    trace.trace(TraceType::DataSent, ByteVector{9});
    clock.text = "1:02";
    trace.trace(TraceType::DataSent, ByteVector{8});
    trace.stop();
    EXPECT_EQ(trc(), cat({kHeader, record(3, {9}, "1:02:03 "), record(3, {8}, "1:02    ")}));
}

TEST_F(TraceFixture, BodyLongerThanLengthFieldIsSplitNotWrapped) {
    const ByteVector big = filled(0xFFFF + 10, 1);
    trace.start();
    trace.trace(TraceType::RawBlock, big);
    trace.stop();
    const TraceFile f = parsed();
    ASSERT_EQ(f.records.size(), 2u);
    EXPECT_EQ(f.records[0].body.size(), 0xFFFFu);
    EXPECT_EQ(f.records[1].body.size(), 10u);
    EXPECT_EQ(cat({f.records[0].body, f.records[1].body}), big);
}

TEST_F(TraceFixture, WritesAreBufferedAndFlushedInChunks) {
    trace.start();
    const int headerAppends = sink.appends;
    const ByteVector body(100, 0x40);
    for (int i = 0; i < 100; ++i)
        trace.trace(TraceType::DataSent, body);
    // 100 records of 111 bytes stay in memory.
    EXPECT_EQ(trc(), kHeader);
    EXPECT_EQ(sink.appends, headerAppends);
    trace.flush();
    EXPECT_EQ(sink.appends, headerAppends + 1);
    EXPECT_EQ(trc().size(), kHeader.size() + 100 * 111);

    // Reaching the chunk size hands the buffer over without an explicit flush.
    const std::size_t records = Trace::kFlushBytes / 111 + 1;
    for (std::size_t i = 0; i < records; ++i)
        trace.trace(TraceType::DataSent, body);
    EXPECT_EQ(sink.appends, headerAppends + 2);
    EXPECT_EQ(trc().size(), kHeader.size() + (100 + records) * 111);
}

TEST_F(TraceFixture, DestructionFlushes) {
    {
        Trace local(sink, clock, 'Q', kDate);
        local.start();
        local.trace(TraceType::DataSent, ByteVector{1});
    }
    EXPECT_EQ(sink.file("sessionQ.trc"), cat({kHeader, record(3, {1})}));
}

TEST_F(TraceFixture, RestartsAboveOneMillionBytes) {
    trace.start();
    const ByteVector body = filled(1000, 5);
    std::size_t n = 0;
    while (trace.traceBytes() <= Trace::kRestartBytes) {
        trace.trace(TraceType::RecordReceived, body);
        ++n;
    }
    EXPECT_EQ(n, 990u);  // 990 * 1011 = 1,000,890
    EXPECT_EQ(sink.creates["sessionB.trc"], 1);

    const ByteVector next = {0xF1, 0xC3};
    trace.trace(TraceType::RecordReceived, next);
    EXPECT_TRUE(trace.tracing());
    EXPECT_EQ(sink.creates["sessionB.trc"], 2);
    EXPECT_EQ(sink.creates["traceB.txt"], 2);
    EXPECT_EQ(trace.traceBytes(), next.size() + 11);
    trace.stop();
    EXPECT_EQ(trc(), cat({kHeader, record(2, next)}));
}

TEST_F(TraceFixture, StoppedTraceNeverRestartsByItself) {
    trace.start();
    const ByteVector body = filled(1000, 5);
    while (trace.traceBytes() <= Trace::kRestartBytes) {
        trace.trace(TraceType::RecordReceived, body);
    }
    trace.stop();
    const ByteVector before = trc();
    const std::vector<TraceType> types = {TraceType::TelnetCommand, TraceType::RecordReceived,
                                          TraceType::DataSent, TraceType::RawBlock};
    for (TraceType t : types)
        trace.trace(t, body);
    trace.flush();
    EXPECT_FALSE(trace.tracing());
    EXPECT_EQ(sink.creates["sessionB.trc"], 1);
    EXPECT_EQ(trc(), before);
}

TEST_F(TraceFixture, StartAgainReplacesTheFile) {
    trace.start();
    trace.trace(TraceType::DataSent, ByteVector{1, 2});
    trace.stop();
    trace.start();
    trace.trace(TraceType::DataSent, ByteVector{3});
    trace.stop();
    EXPECT_EQ(trc(), cat({kHeader, record(3, {3})}));
}

TEST_F(TraceFixture, UnopenableFileReceivesNothing) {
    sink.failCreate = true;
    trace.start();
    trace.trace(TraceType::DataSent, ByteVector{1});
    trace.stop();
    EXPECT_FALSE(sink.has("sessionB.trc"));
}

// ---- Screen snapshots ----

struct SnapshotSession {
    SnapshotSession(int rows, int columns) : t(ScreenSettings{}, options(rows, columns)) {
        t.apply(RecordBuilder(cmd::kEraseWriteAlternate, 0xC3)
                    .sba14(1)
                    .sf(0x60)
                    .text("DUMP ME")
                    .sfe({0x41, 0xF2, 0x42, 0xF4}));
        // Distinct bytes in every plane, so plane order mistakes show.
        auto& ps = t.ps();
        for (int i = 0; i < ps.positions(); ++i) {
            const auto p = static_cast<std::size_t>(i);
            ps.colors()[p] = static_cast<std::uint8_t>(i * 3);
            ps.highlights()[p] = static_cast<std::uint8_t>(i * 5 + 1);
            ps.charsets()[p] = static_cast<std::uint8_t>(i * 11 + 2);
        }
    }
    static ScreenSessionOptions options(int rows, int columns) {
        ScreenSessionOptions o;
        o.modelIndex = 4;
        o.userRows = rows;
        o.userColumns = columns;
        return o;
    }
    ByteVector plane(const PresentationSpace::Plane& p) const {
        return ByteVector(p.begin(), p.begin() + t.session.screen.positions());
    }
    TestSession t;
};

// Events without bytes of their own: timestamped lines in the text file,
// only while tracing; the trace file itself is left alone.
TEST_F(TraceFixture, NotesGoToTheTextFileWhileTracing) {
    trace.note("before the start");
    EXPECT_FALSE(sink.has("traceB.txt"));
    trace.start();
    trace.note(recordDroppedText(1048600, 1048576));
    clock.text = "01:02:03";
    trace.note("second");
    const std::string expected =
        "12:34:56 Record of 1048600 bytes dropped: longer than the 1048576 bytes a record may "
        "hold\n01:02:03 second\n";
    const auto& text = sink.file("traceB.txt");
    EXPECT_EQ(std::string(text.begin(), text.end()), expected);
    trace.stop();
    EXPECT_EQ(trc(), kHeader);
    trace.note("after the stop");
    EXPECT_EQ(std::string(text.begin(), text.end()), expected);
    trace.start();
    EXPECT_TRUE(sink.file("traceB.txt").empty()) << "a new trace starts a new text file";
}

TEST_F(TraceFixture, DumpWhileNotTracingLeavesHeaderAndOneSnapshot) {
    SnapshotSession s(24, 80);
    const PresentationSpace& ps = s.t.ps();
    trace.dumpScreen(ps);
    EXPECT_FALSE(trace.tracing());

    const ByteVector body =
        cat({le16(1920), s.plane(ps.characters()), s.plane(ps.attributes()), s.plane(ps.colors()),
             s.plane(ps.highlights()), s.plane(ps.charsets())});
    EXPECT_EQ(trc(), cat({kHeader, record(7, body)}));

    // Tracing stays off after the dump.
    trace.trace(TraceType::DataSent, ByteVector{1});
    trace.flush();
    EXPECT_EQ(trc(), cat({kHeader, record(7, body)}));
}

TEST_F(TraceFixture, DumpWhileTracingAppendsAndKeepsTracing) {
    SnapshotSession s(24, 80);
    trace.start();
    trace.trace(TraceType::DataSent, ByteVector{1});
    trace.dumpScreen(s.t.ps());
    trace.trace(TraceType::DataSent, ByteVector{2});
    EXPECT_TRUE(trace.tracing());
    trace.stop();
    const TraceFile f = parsed();
    ASSERT_EQ(f.records.size(), 3u);
    EXPECT_EQ(f.records[0].type, 3);
    EXPECT_EQ(f.records[1].type, 7);
    EXPECT_EQ(f.records[2].type, 3);
}

TEST_F(TraceFixture, SnapshotsOfEverySizeReadBackWhole) {
    struct Case {
        int rows, columns;
        std::size_t records;  // type-7 records written
    };
    const std::vector<Case> cases = {
        {24, 80, 1},
        {81, 160, 1},   // 12960 positions: fits the length field
        {82, 160, 5},   // 13120: above 13106, one record per plane
        {100, 160, 5},  // 16000
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.rows) + "x" + std::to_string(c.columns));
        SnapshotSession s(c.rows, c.columns);
        const PresentationSpace& ps = s.t.ps();
        ASSERT_EQ(ps.positions(), c.rows * c.columns);
        trace.dumpScreen(ps);
        const TraceFile f = parsed();
        ASSERT_EQ(f.records.size(), c.records);
        for (const TraceRecord& r : f.records)
            EXPECT_LE(r.body.size(), 0xFFFFu);

        std::vector<ScreenSnapshot> snaps;
        std::string error;
        ASSERT_TRUE(readSnapshots(f, snaps, error)) << error;
        ASSERT_EQ(snaps.size(), 1u);
        EXPECT_EQ(snaps[0].positions, ps.positions());
        EXPECT_EQ(snaps[0].planes[0], s.plane(ps.characters()));
        EXPECT_EQ(snaps[0].planes[1], s.plane(ps.attributes()));
        EXPECT_EQ(snaps[0].planes[2], s.plane(ps.colors()));
        EXPECT_EQ(snaps[0].planes[3], s.plane(ps.highlights()));
        EXPECT_EQ(snaps[0].planes[4], s.plane(ps.charsets()));
    }
}

TEST_F(TraceFixture, OversizeSnapshotRecordsCarryPlaneIndex) {
    SnapshotSession s(100, 160);
    trace.dumpScreen(s.t.ps());
    const TraceFile f = parsed();
    ASSERT_EQ(f.records.size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) {
        const auto& b = f.records[i].body;
        ASSERT_EQ(b.size(), 16000u + 3);
        EXPECT_EQ(ByteVector(b.begin(), b.begin() + 3), cat({le16(16000), {std::uint8_t(i)}}));
    }
}

// ---- Reader bounds ----

TEST(TraceReader, RefusesMalformedFiles) {
    const ByteVector header = cat({le16(4), bytesOf("1.30")});
    struct Case {
        const char* what;
        ByteVector bytes;
        const char* error;
    };
    const std::vector<Case> cases = {
        {"empty", {}, "trace file too short for its header"},
        {"one byte", {4}, "trace file too short for its header"},
        {"header past end", cat({le16(5), bytesOf("1.30")}),
         "trace header length 5 runs past the end"},
        {"record cut in time", cat({header, {2}, bytesOf("12:3")}),
         "record at offset 6 is cut off"},
        {"record without length", cat({header, {2}, bytesOf("12:34:56"), {1}}),
         "record at offset 6 is cut off"},
        {"length past end", cat({header, {2}, bytesOf("12:34:56"), le16(3), {1, 2}}),
         "record at offset 6 has length 3 past the end"},
        {"unknown type", cat({header, {4}, bytesOf("12:34:56"), le16(0)}),
         "unknown record type 4 at offset 6"},
        {"second record bad", cat({header, record(3, {1}), {9}, bytesOf("12:34:56"), le16(0)}),
         "unknown record type 9 at offset 18"},
    };
    for (const Case& c : cases) {
        ExactBuffer buffer(c.bytes);
        TraceFile f;
        std::string error;
        EXPECT_FALSE(parseTrace(buffer.span(), f, error)) << c.what;
        EXPECT_EQ(error, c.error) << c.what;
    }
}

TEST(TraceReader, AcceptsHeaderOnlyAndEmptyBodies) {
    const ByteVector bytes = cat({le16(4), bytesOf("1.30"), record(1, {})});
    ExactBuffer buffer(bytes);
    TraceFile f;
    std::string error;
    ASSERT_TRUE(parseTrace(buffer.span(), f, error)) << error;
    EXPECT_EQ(f.header, "1.30");
    ASSERT_EQ(f.records.size(), 1u);
    EXPECT_TRUE(f.records[0].body.empty());
}

TEST(TraceReader, RefusesMalformedSnapshots) {
    const auto plane = [](std::uint8_t i, std::size_t n) {
        return record(7, cat({le16(n), {i}, ByteVector(n, 0x40)}));
    };
    struct Case {
        const char* what;
        ByteVector records;
        const char* error;
    };
    const std::vector<Case> cases = {
        {"no count", record(7, {1}), "snapshot record 1 has no position count"},
        {"wrong length", record(7, cat({le16(2), ByteVector(9, 0)})),
         "snapshot record 1 has length 11 for 2 positions"},
        {"plane out of order", cat({plane(0, 4), plane(2, 4)}),
         "snapshot record 2 holds plane 2 where plane 1 was due"},
        {"count changes", cat({plane(0, 4), plane(1, 5)}),
         "snapshot record 2 changes the position count within a snapshot"},
        {"cut short", cat({plane(0, 4), plane(1, 4)}), "the last snapshot stops after plane 1"},
        {"whole inside split", cat({plane(0, 4), record(7, cat({le16(1), ByteVector(5, 0)}))}),
         "snapshot record 2 interrupts a snapshot written plane by plane"},
    };
    for (const Case& c : cases) {
        const ByteVector bytes = cat({le16(4), bytesOf("1.30"), c.records});
        ExactBuffer buffer(bytes);
        TraceFile f;
        std::string error;
        ASSERT_TRUE(parseTrace(buffer.span(), f, error)) << c.what << ": " << error;
        std::vector<ScreenSnapshot> snaps;
        EXPECT_FALSE(readSnapshots(f, snaps, error)) << c.what;
        EXPECT_EQ(error, c.error) << c.what;
    }
}

}  // namespace
}  // namespace cedar::test
