#include "host/debug_screen.h"

#include <gtest/gtest.h>

#include "host/trace.h"
#include "memory_sink.h"
#include "record_builder.h"

namespace cedar::test {
namespace {

const std::string kMagic = "Cedar Debug V1.00       ";

RecordBuilder sampleRecord() {
    return RecordBuilder(cmd::kEraseWrite, 0xC3)
        .sba(0)
        .sf(0x60)
        .text("LOGON SCREEN")
        .sba(80)
        .sfe({0xC0, 0x40, 0x41, 0xF1, 0x42, 0xF2})
        .sba(81)
        .ic()
        .text("USER")
        .sba(90)
        .sf(0x4C)  // non-display input
        .text("SECRET")
        .sba(100)
        .sf(0x60)
        .raw({0xFF});  // an 0xFF data byte is kept single in the file
}

ByteVector planeOf(const PresentationSpace::Plane& p, int n) {
    return ByteVector(p.begin(), p.begin() + n);
}

void expectSameScreen(TestSession& a, TestSession& b) {
    const int n = a.ps().positions();
    ASSERT_EQ(n, b.ps().positions());
    EXPECT_EQ(planeOf(a.ps().characters(), n), planeOf(b.ps().characters(), n));
    EXPECT_EQ(planeOf(a.ps().attributes(), n), planeOf(b.ps().attributes(), n));
    EXPECT_EQ(planeOf(a.ps().colors(), n), planeOf(b.ps().colors(), n));
    EXPECT_EQ(planeOf(a.ps().highlights(), n), planeOf(b.ps().highlights(), n));
    EXPECT_EQ(planeOf(a.ps().hostCodes(), n), planeOf(b.ps().hostCodes(), n));
    EXPECT_EQ(a.ps().cursor(), b.ps().cursor());
    EXPECT_EQ(a.ps().inputFieldCount, b.ps().inputFieldCount);
}

TEST(DebugScreen, MagicIsTwentyFourBytes) {
    EXPECT_EQ(debugMagic(), kMagic);
}

TEST(DebugScreen, SaveWritesTheLayoutByteForByte) {
    MemorySink sink;
    const ByteVector rec = sampleRecord().bytes();
    const DebugScreenResult r = saveDebugScreen(sink, "x.dbg", rec);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(sink.file("x.dbg"), cat({bytesOf(kMagic), le16(rec.size() + 2), rec, {0xFF, 0xEF}}));

    std::vector<std::uint8_t> back;
    ExactBuffer buffer(sink.file("x.dbg"));
    ASSERT_TRUE(decodeDebugScreen(buffer.span(), "x.dbg", back).ok);
    EXPECT_EQ(back, rec);
}

TEST(DebugScreen, SaveFailureReportsErrorCode) {
    MemorySink sink;
    sink.failCreate = true;
    const DebugScreenResult r = saveDebugScreen(sink, "out.dbg", ByteVector{0xF1, 0xC3});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.title, "File Save Error");
    EXPECT_EQ(r.message, "Error 13 while saving out.dbg");
}

TEST(DebugScreen, RecordTooLongForLengthFieldIsRefusedBeforeWriting) {
    MemorySink sink;
    const DebugScreenResult r = saveDebugScreen(sink, "big.dbg", ByteVector(kMaxDebugRecord + 1));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.title, "File Save Error");
    EXPECT_FALSE(sink.has("big.dbg"));
    // The longest record that fits is written.
    EXPECT_TRUE(saveDebugScreen(sink, "max.dbg", ByteVector(kMaxDebugRecord, 0x40)).ok);
    EXPECT_EQ(sink.file("max.dbg").size(), kDebugHeaderLength + 0xFFFF);
}

TEST(DebugScreen, SaveAndLoadReproducesTheScreen) {
    TestSession original;
    const ByteVector rec = sampleRecord().bytes();
    original.apply(rec);
    original.ps().fieldStatistics();

    MemorySink sink;
    ASSERT_TRUE(saveDebugScreen(sink, "s.dbg", rec).ok);

    TestSession replay;
    const DebugScreenResult r =
        loadDebugScreen(sink.file("s.dbg"), "s.dbg", replay.ps(), replay.session.records);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_TRUE(r.message.empty());
    expectSameScreen(original, replay);
    EXPECT_EQ(replay.ps().cursor(), 81);
    EXPECT_EQ(replay.ps().changed()[0], 1);  // marked for repainting
}

TEST(DebugScreen, LoadTracesTheRecordAsReceived) {
    MemorySink sink;
    FixedClock clock;
    Trace trace(sink, clock, 'A', "Dec 10 2026");
    trace.start();
    const ByteVector rec = sampleRecord().bytes();
    const ByteVector file = *encodeDebugScreen(rec);

    TestSession replay;
    ASSERT_TRUE(loadDebugScreen(file, "t.dbg", replay.ps(), replay.session.records, &trace).ok);
    trace.stop();

    TraceFile f;
    std::string error;
    ASSERT_TRUE(parseTrace(sink.file("sessionA.trc"), f, error)) << error;
    ASSERT_EQ(f.records.size(), 1u);
    EXPECT_EQ(f.records[0].type, 2);
    EXPECT_EQ(f.records[0].body, rec);
}

TEST(DebugScreen, MissingFileIsReported) {
    TestSession s;
    const DebugScreenResult r =
        loadDebugScreen(std::nullopt, "gone.dbg", s.ps(), s.session.records);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.title, "Cedar TN3270 Session File Error");
    EXPECT_EQ(r.message, "Debug file gone.dbg was not found");
}

TEST(DebugScreen, MalformedFilesAreRefusedAndLeaveTheScreen) {
    const ByteVector rec = RecordBuilder(cmd::kEraseWrite, 0xC3).text("NEW").bytes();
    const ByteVector good = *encodeDebugScreen(rec);
    const auto withLength = [&](std::size_t length) {
        ByteVector f = good;
        f[24] = static_cast<std::uint8_t>(length & 0xFF);
        f[25] = static_cast<std::uint8_t>(length >> 8);
        return f;
    };
    // The magic one blank short (built by copying around byte 17: GCC 12
    // reports a false -Wstringop-overflow for vector::erase here).
    ByteVector oneBlankShort(good.begin(), good.begin() + 17);
    oneBlankShort.insert(oneBlankShort.end(), good.begin() + 18, good.end());
    ByteVector tabForBlank = good;
    tabForBlank[23] = '\t';
    ByteVector lowerCase = good;
    lowerCase[0] = 'c';

    struct Case {
        const char* what;
        ByteVector bytes;
    };
    const std::vector<Case> cases = {
        {"empty", {}},
        {"magic only", bytesOf(kMagic)},
        {"length cut", cat({bytesOf(kMagic), {5}})},
        {"magic one blank short", oneBlankShort},
        {"tab for the last blank", tabForBlank},
        {"other case", lowerCase},
        {"length 0", withLength(0)},
        {"length 1", withLength(1)},
        {"length one beyond the file", withLength(rec.size() + 3)},
        {"length far beyond", withLength(0xFFFF)},
    };
    for (const Case& c : cases) {
        TestSession s;
        s.apply(RecordBuilder(cmd::kEraseWrite, 0xC3).text("OLD"));
        const ByteVector before = planeOf(s.ps().characters(), s.ps().positions());
        const DebugScreenResult r = loadDebugScreen(c.bytes, "bad.dbg", s.ps(), s.session.records);
        EXPECT_FALSE(r.ok) << c.what;
        EXPECT_EQ(r.title, "Cedar TN3270 File Error") << c.what;
        EXPECT_EQ(r.message, "bad.dbg is not a valid Cedar TN3270 debug file for this version")
            << c.what;
        EXPECT_EQ(planeOf(s.ps().characters(), s.ps().positions()), before) << c.what;

        std::vector<std::uint8_t> record;
        ExactBuffer buffer(c.bytes);
        EXPECT_FALSE(decodeDebugScreen(buffer.span(), "bad.dbg", record).ok) << c.what;
    }
}

TEST(DebugScreen, LengthLimitsThatAreAccepted) {
    const ByteVector rec = {0xF1, 0xC3};
    const ByteVector good = *encodeDebugScreen(rec);
    struct Case {
        const char* what;
        ByteVector bytes;
        ByteVector record;
    };
    ByteVector lengthTwo = good;
    lengthTwo[24] = 2;
    ByteVector trailing = cat({good, {1, 2, 3}});
    const std::vector<Case> cases = {
        {"exact", good, rec},
        {"length 2: empty record", lengthTwo, {}},
        {"bytes after the data are ignored", trailing, rec},
    };
    for (const Case& c : cases) {
        ExactBuffer buffer(c.bytes);
        std::vector<std::uint8_t> record;
        EXPECT_TRUE(decodeDebugScreen(buffer.span(), "ok.dbg", record).ok) << c.what;
        EXPECT_EQ(record, c.record) << c.what;
        TestSession s;
        EXPECT_TRUE(loadDebugScreen(c.bytes, "ok.dbg", s.ps(), s.session.records).ok) << c.what;
    }
}

}  // namespace
}  // namespace cedar::test
