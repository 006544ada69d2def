// Differential test of the inbound data stream: the loopback test host shows
// one screen to cedar_headless and to the peer emulator s3270, both enter
// the same data into the same fields and press the same attention key, or
// the host sends the same read command; the records the host receives from
// the two must be equal byte for byte (the whole record, TN3270E header
// included). Every case runs over TN3270 and over TN3270E (peer_compare.h).
//
// Operator input: s3270 gets MoveCursor(row, column) counted from 0 and
// String("..."); cedar_headless gets "key MoveCursor ROW COL" counted from 1
// and "type TEXT". The tests never fill a field to its last position, so no
// autoskip rule comes into play.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "oracles.h"
#include "peer_compare.h"
#include "record_builder.h"
#include "recording.h"
#include "s3270_peer.h"
#include "screen/inbound.h"
#include "test_paths.h"

namespace cedar {
namespace {

using test::attention;
using test::compareWithPeer;
using test::Difference;
using test::hexOf;
using test::hostRead;
using test::moveCursor;
using test::NamedException;
using test::PeerCase;
using test::peerMissing;
using test::RecordBuilder;
using test::Step;
using test::writeAt;
using Record = std::vector<std::uint8_t>;

Step write(int row, int column, std::string text) {
    return writeAt(row, column, text);
}
Step cursor(int row, int column) {
    return moveCursor(row, column);
}
Step key(std::string name) {
    return attention(name);
}
// Write Structured Field with Set Reply Mode (partition 0, `mode`, the
// attribute types of character mode).
Step setReplyMode(std::uint8_t mode, std::vector<std::uint8_t> types = {}) {
    Record r = {cmd::kWriteStructuredField,
                0x00,
                static_cast<std::uint8_t>(5 + types.size()),
                0x09,
                0x00,
                mode};
    r.insert(r.end(), types.begin(), types.end());
    return test::hostSet(r);
}

// ---------------------------------------------------------------------------
// The differences that are ours on purpose.

// Host codes that our code page table turns into display code 0 (the
// controls below 0x40 and 0xFF).
bool hasNoDisplayCode(std::uint8_t host) {
    static const std::array<bool, 256> table = [] {
        test::TestSession t;
        std::array<bool, 256> a{};
        for (int i = 1; i < 256; ++i)
            a[static_cast<std::size_t>(i)] =
                t.session.codePages.hostToDisplay(static_cast<std::uint8_t>(i)) == 0;
        return a;
    }();
    return table[host];
}

int decodeAddress(std::uint8_t a, std::uint8_t b) {
    if ((a & 0xC0) == 0) return (a << 8) | b;  // 14-bit
    return ((a & 0x3F) << 6) | (b & 0x3F);
}

const NamedException kFieldModeWithoutGraphicEscape = {
    "no Graphic Escape in a field-mode Read Buffer",
    "in field reply mode a Graphic Escape character goes as its stored byte alone "
    "(InboundBuilder::readBufferFieldMode); s3270 puts the GE order (0x08) before it",
    [](Difference& d) {
        bool changed = false;
        for (std::size_t i = d.header; i < d.ours.size() && i + 1 < d.theirs.size(); ++i) {
            if (d.ours[i] == d.theirs[i] || d.theirs[i] != order::kGraphicEscape ||
                d.theirs[i + 1] != d.ours[i])
                continue;
            d.theirs.erase(d.theirs.begin() + static_cast<std::ptrdiff_t>(i));
            changed = true;
        }
        return changed;
    }};

const NamedException kShortReadModifiedSendsCursor = {
    "Read Modified after a short-read AID sends the cursor",
    "after PA1-PA3 or Clear, Read Modified answers with the AID and the cursor address "
    "(InboundBuilder::sendShortReadModified); s3270 sends the AID alone",
    [](Difference& d) {
        const std::size_t h = d.header;
        if (d.theirs.size() != h + 1 || d.ours.size() != h + 3 ||
            !std::equal(d.theirs.begin(), d.theirs.end(), d.ours.begin()) ||
            !aid::isShortRead(d.ours[h]))
            return false;
        d.theirs = d.ours;
        return true;
    }};

const NamedException kPeerCursorAfterWrappedTyping = {
    "s3270's cursor after typing over the end of the screen",
    "text typed over the last position continues at position 0 for both, but s3270 then puts "
    "its cursor in row 1 at the column where the text started, not after the text",
    [](Difference& d) {
        const std::size_t h = d.header;
        if (d.ours.size() < h + 3 || d.theirs.size() < h + 3) return false;
        const int ours = decodeAddress(d.ours[h + 1], d.ours[h + 2]);
        const int theirs = decodeAddress(d.theirs[h + 1], d.theirs[h + 2]);
        if (ours == theirs || ours >= d.columns || theirs >= d.columns) return false;
        d.theirs[h + 1] = d.ours[h + 1];
        d.theirs[h + 2] = d.ours[h + 2];
        return true;
    }};

const NamedException kControlCodeReadsAsNull = {
    "control code reads as a null",
    "the screen holds characters in display code; a host code without one (the controls "
    "below 0x40, 0xFF) is held as display code 0 and goes back to the host as a null, "
    "where s3270 returns the host code it received",
    [](Difference& d) {
        if (d.ours.size() != d.theirs.size()) return false;
        bool changed = false;
        for (std::size_t i = d.header + 3; i < d.ours.size(); ++i) {
            if (d.ours[i] == 0x00 && d.theirs[i] != 0x00 && hasNoDisplayCode(d.theirs[i])) {
                d.theirs[i] = 0x00;
                changed = true;
            }
        }
        return changed;
    }};

const NamedException* const kMarker = &test::kFieldAttributeMarker;
const NamedException* const kFieldModeGe = &kFieldModeWithoutGraphicEscape;
const NamedException* const kShortRead = &kShortReadModifiedSendsCursor;
const NamedException* const kWrappedCursor = &kPeerCursorAfterWrappedTyping;
const NamedException* const kControlCode = &kControlCodeReadsAsNull;

// ---------------------------------------------------------------------------
// Crafted screens.

// 24x80 with every kind of input field (positions from 0; rows and columns
// of the steps from 1):
//   5 protected title | 90 unprotected (row 2 col 12) | 170 numeric (row 3
//   col 12) | 250 non-display (row 4 col 12) | 330 modified by the host
//   "PRESET" | 410 unprotected holding "OLD VALUE HERE" (row 6 col 12) |
//   490 modified by the host, "AB", three nulls, "C" | 810 unprotected with
//   colour and highlight "COLOURED" | 880 protected text with a character
//   colour and a Graphic Escape character | 1905 unprotected, its data
//   running from row 24 col 67 over the end of the screen to row 1 col 5.
// Input always starts at a field's first position: s3270 turns the nulls
// before typed text into blanks, a typing rule of its own.
std::vector<Record> model2Form() {
    RecordBuilder b(cmd::kEraseWrite, 0xC3);
    b.sba(5).sf(0x60).text("INBOUND DATA STREAM TEST");
    b.sba(80).sf(0x60).text("NAME").sba(90).sf(0x40).sba(111).sf(0x60);
    b.sba(160).sf(0x60).text("ACCOUNT").sba(170).sf(0x50).sba(181).sf(0x60);
    b.sba(240).sf(0x60).text("PASSWORD").sba(250).sf(0x4C).sba(271).sf(0x60);
    b.sba(320).sf(0x60).text("PRESET").sba(330).sf(0xC1).text("PRESET").sba(350).sf(0x60);
    b.sba(400).sf(0x60).text("CHANGE").sba(410).sf(0x40).text("OLD VALUE HERE").sba(440).sf(0x60);
    b.sba(480).sf(0x60).text("GAPS").sba(490).sf(0xC1).text("AB").sba(496).text("C");
    b.sba(530).sf(0x60);
    b.sba(800).sf(0x60).text("COLOUR").sba(810).sfe({0xC0, 0x40, 0x42, 0xF2, 0x41, 0xF4});
    b.text("COLOURED").sba(840).sf(0x60);
    b.sba(880).sa(0x42, 0xF6).text("YELLOW").sa(0x00, 0x00).ge(0xAD).text("GE");
    b.sba(1880).sf(0x60).text("WRAP").sba(1905).sf(0x40);
    b.sba(91).ic();
    return {b.bytes()};
}

// 43x80 (model 4, Erase/Write Alternate): fields below row 24, one at the
// end wrapping to row 1.
std::vector<Record> model4Form() {
    RecordBuilder b(cmd::kEraseWriteAlternate, 0xC3);
    b.sba(10).sf(0x60).text("LARGE SCREEN");
    b.sba(30 * 80).sf(0x60).text("ROW 31").sba(30 * 80 + 10).sf(0x40).sba(30 * 80 + 40).sf(0x60);
    b.sba(40 * 80).sf(0x60).text("ROW 41").sba(40 * 80 + 10).sf(0x50).sba(40 * 80 + 20).sf(0x60);
    b.sba(3440 - 20).sf(0xC0).text("WRAPS");
    b.sba(30 * 80 + 11).ic();
    return {b.bytes()};
}

// The operator's input into every kind of field of model2Form().
std::vector<Step> typing() {
    return {write(24, 67, "WRAPPED-FIELD-DATA"),
            write(3, 12, "12345"),
            write(4, 12, "SECRET"),
            write(6, 12, "NEW"),
            write(11, 19, "X"),
            write(2, 12, "SMITH")};
}

std::vector<Step> plus(std::vector<Step> steps, std::initializer_list<Step> more) {
    steps.insert(steps.end(), more);
    return steps;
}

std::vector<PeerCase> craftedCases() {
    std::vector<PeerCase> cases;
    const auto form = model2Form();
    cases.push_back({"EnterSendsEveryModifiedField", 2, form, plus(typing(), {key("Enter")})});
    cases.push_back(
        {"EnterWithoutInputSendsThePresetField", 2, form, {cursor(12, 40), key("Enter")}});
    for (const char* pf : {"PF1", "PF9", "PF10", "PF12", "PF13", "PF21", "PF22", "PF24"})
        cases.push_back(
            {std::string("AttentionKey") + pf, 2, form, {write(2, 12, "PFKEY"), key(pf)}});
    for (const char* pa : {"PA1", "PA2", "PA3", "Clear"})
        cases.push_back({std::string("ShortRead") + pa, 2, form, plus(typing(), {key(pa)})});
    cases.push_back({"ClearErasesTheScreen", 2, form,
                     plus(typing(), {key("Clear"), hostRead(cmd::kReadBuffer)})});
    cases.push_back({"ReadModifiedAfterPaIsShort",
                     2,
                     form,
                     plus(typing(), {key("PA1"), hostRead(cmd::kReadModified),
                                     hostRead(cmd::kReadModifiedAll)}),
                     {kShortRead}});
    cases.push_back(
        {"ReadModifiedWithoutAid", 2, form, plus(typing(), {hostRead(cmd::kReadModified)})});
    cases.push_back(
        {"ReadModifiedAllWithoutAid", 2, form, plus(typing(), {hostRead(cmd::kReadModifiedAll)})});
    const std::vector<const NamedException*> marker = {kMarker};
    const std::vector<const NamedException*> fieldMode = {kMarker, kFieldModeGe};
    cases.push_back(
        {"ReadBufferFieldMode", 2, form, plus(typing(), {hostRead(cmd::kReadBuffer)}), fieldMode});
    cases.push_back({"ReadBufferExtendedFieldMode", 2, form,
                     plus(typing(), {setReplyMode(0x01), hostRead(cmd::kReadBuffer)}), marker});
    cases.push_back(
        {"ReadBufferCharacterMode", 2, form,
         plus(typing(), {setReplyMode(0x02, {0x41, 0x42, 0x43, 0x45}), hostRead(cmd::kReadBuffer)}),
         marker});
    cases.push_back({"ReadBufferBackToFieldMode",
                     2,
                     form,
                     {setReplyMode(0x02, {0x42}), setReplyMode(0x00), hostRead(cmd::kReadBuffer)},
                     fieldMode});

    const auto large = model4Form();
    cases.push_back({"LargeScreenEnter",
                     4,
                     large,
                     {write(31, 12, "ROW THIRTY-ONE"), write(41, 12, "4242"),
                      write(43, 67, "-AND-MORE-TO-WRAP"), key("Enter")},
                     {kWrappedCursor}});
    cases.push_back({"LargeScreenClear",
                     4,
                     large,
                     {write(31, 12, "GONE"), key("Clear"), hostRead(cmd::kReadBuffer)}});
    cases.push_back({"LargeScreenReadBuffer",
                     4,
                     large,
                     {write(31, 12, "ROW THIRTY-ONE"), hostRead(cmd::kReadBuffer)},
                     marker});
    cases.push_back(
        {"LargeScreenReadBufferCharacterMode",
         4,
         large,
         {write(31, 12, "ROW THIRTY-ONE"), setReplyMode(0x02, {0x42}), hostRead(cmd::kReadBuffer)},
         marker});

    // An unformatted screen: every character goes with the AID.
    const std::vector<Record> plain = {
        RecordBuilder(cmd::kEraseWrite, 0xC3).text("NO FIELDS HERE").sba(200).text("HOST").bytes()};
    cases.push_back(
        {"UnformattedEnter", 2, plain, {write(5, 1, "TYPED"), write(3, 1, "FIRST"), key("Enter")}});
    cases.push_back(
        {"UnformattedReadBuffer", 2, plain, {write(5, 1, "TYPED"), hostRead(cmd::kReadBuffer)}});
    return cases;
}

struct Param {
    PeerCase c;
    bool tn3270e;
};

void PrintTo(const Param& p, std::ostream* os) {
    *os << p.c.name << (p.tn3270e ? " over TN3270E" : " over TN3270");
}

std::vector<Param> withBothModes(const std::vector<PeerCase>& cases) {
    std::vector<Param> out;
    for (const PeerCase& c : cases) {
        out.push_back({c, false});
        out.push_back({c, true});
    }
    return out;
}

std::string paramName(const ::testing::TestParamInfo<Param>& info) {
    return info.param.c.name + (info.param.tn3270e ? "_Tn3270e" : "_Tn3270");
}

class Crafted : public ::testing::TestWithParam<Param> {};

TEST_P(Crafted, SameInboundRecordsAsS3270) {
    CEDAR_REQUIRE_ORACLE(!peerMissing(), "s3270");
    compareWithPeer(GetParam().c, GetParam().tn3270e);
}

INSTANTIATE_TEST_SUITE_P(Screens, Crafted, ::testing::ValuesIn(withBothModes(craftedCases())),
                         paramName);

// ---------------------------------------------------------------------------
// Recordings of real host sessions: their first screen with an input field
// (the 3270-DATA records up to it). The operator types into the first
// input field and presses Enter; and, on a fresh connection, the host reads
// the whole buffer.

struct RecordingScreen {
    std::vector<Record> records;
    int model = 2;
    int fieldRow = 0;  // the first input field's first data position, from 1
    int fieldColumn = 0;
    std::string text;  // what fits into it (digits for a numeric field)
};

std::optional<RecordingScreen> firstInputScreen(const std::string& path) {
    const auto blocks = recording::parseRecording(test::readFile(path));
    RecordingScreen screen;
    screen.model = recording::announcedModel(blocks).value_or(2);
    ScreenSessionOptions options;
    options.modelIndex = screen.model - 2;
    test::TestSession t({}, options);
    for (const auto& r : recording::hostRecords(blocks)) {
        if (r.origin.dataType != 0 || r.origin.sscpLu) continue;
        screen.records.push_back(r.data);
        t.apply(r.data);
        if (t.ps().inputFieldCount == 0) continue;
        const PresentationSpace& ps = t.ps();
        for (int p = 0; p < ps.positions(); ++p) {
            const std::uint8_t a = ps.attributes()[p];
            if (a == 0 || fa::isProtected(a)) continue;
            int length = 0;
            for (int q = ps.nextAddress(p); !ps.isAttribute(q) && length < ps.positions();
                 q = ps.nextAddress(q))
                ++length;
            if (length < 2) continue;
            const int first = ps.nextAddress(p);
            screen.fieldRow = first / ps.columns() + 1;
            screen.fieldColumn = first % ps.columns() + 1;
            // Never up to the field's last position: no autoskip.
            const std::string text = (a & fa::kNumeric) != 0 ? "12345" : "CEDAR";
            screen.text = text.substr(0, static_cast<std::size_t>(std::min(length - 1, 5)));
            return screen;
        }
    }
    return std::nullopt;
}

struct RecordingCase {
    std::string file;
    std::vector<const NamedException*> enterExceptions;
    std::vector<const NamedException*> readBufferExceptions;
};

void PrintTo(const RecordingCase& c, std::ostream* os) {
    *os << c.file;
}

const std::vector<RecordingCase>& recordingCases() {
    // Every real screen has protected fields whose attribute loses the 0x80
    // marker in s3270's Read Buffer.
    const std::vector<const NamedException*> marker = {kMarker};
    static const std::vector<RecordingCase> cases = {
        {"all_chars.trc", {}, {kMarker, kControlCode}},
        {"fttext", {}, marker},
        {"ft_cut.trc", {}, marker},
        {"ft_dft.trc", {}, {kMarker, kFieldModeGe}},
        {"ibmlink.trc", {}, marker},
        {"ibmlink_help.trc", {}, marker},
        {"invalid_sba.trc", {}, marker},
        {"login.trc", {}, marker},
        {"sruvm.trc", {}, marker},
        {"vampstream.txt", {}, marker},
    };
    return cases;
}

std::string testName(const std::string& file) {
    std::string name;
    for (char ch : file)
        name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
    return name;
}

class RecordingScreens : public ::testing::TestWithParam<RecordingCase> {};

TEST_P(RecordingScreens, SameInboundRecordsAsS3270) {
    const auto dir = test::recordingsDir();
    CEDAR_REQUIRE_ORACLE(dir, "the recordings folder (../shared/fixtures/recordings)");
    CEDAR_REQUIRE_ORACLE(!peerMissing(), "s3270");
    const RecordingCase& rc = GetParam();
    const auto screen = firstInputScreen(*dir + "/" + rc.file);
    ASSERT_TRUE(screen.has_value()) << rc.file << " shows no input field";
    for (const bool tn3270e : {false, true}) {
        SCOPED_TRACE(tn3270e ? "TN3270E" : "TN3270");
        compareWithPeer({"Enter",
                         screen->model,
                         screen->records,
                         {write(screen->fieldRow, screen->fieldColumn, screen->text), key("Enter")},
                         rc.enterExceptions},
                        tn3270e);
        compareWithPeer({"ReadBuffer",
                         screen->model,
                         screen->records,
                         {hostRead(cmd::kReadBuffer)},
                         rc.readBufferExceptions},
                        tn3270e);
    }
}

INSTANTIATE_TEST_SUITE_P(Recordings, RecordingScreens, ::testing::ValuesIn(recordingCases()),
                         [](const ::testing::TestParamInfo<RecordingCase>& param) {
                             return testName(param.param.file);
                         });

// Every recording in the folder whose host shows an input field has a case.
TEST(RecordingScreensTable, CoversEveryRecordingWithAnInputField) {
    const auto dir = test::recordingsDir();
    CEDAR_REQUIRE_ORACLE(dir, "the recordings folder (../shared/fixtures/recordings)");
    std::set<std::string> listed;
    for (const auto& c : recordingCases())
        listed.insert(c.file);
    for (const auto& entry : std::filesystem::directory_iterator(*dir)) {
        if (!entry.is_regular_file()) continue;
        const std::string name = entry.path().filename().string();
        const bool hasInput = firstInputScreen(entry.path().string()).has_value();
        EXPECT_EQ(listed.count(name), hasInput ? 1u : 0u)
            << name
            << (hasInput ? " shows an input field but has no case"
                         : " has a case but shows no input field");
    }
}

}  // namespace
}  // namespace cedar
