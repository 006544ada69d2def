// The key functions against s3270: the test host shows one form to
// cedar_headless and to s3270, both carry out the same key sequence (typing,
// Tab, BackTab, Home, NewLine, EndField, Delete, Backspace, EraseEOF,
// EraseInput, insert mode, Dup, FieldMark, cursor moves) and then an
// attention key, and often the host reads the whole buffer; the records the
// host receives must be equal byte for byte (peer_compare.h).
//
// Our key-list names and s3270's actions: Tab, BackTab, Home, NewLine
// (Newline), EndField (FieldEnd), Delete, Backspace (BackSpace), EraseEOF,
// EraseInput, Insert, Dup, FieldMark, Reset, CursorLeft/Right/Up/Down
// (Left/Right/Up/Down), MoveCursor ROW COL (MoveCursor(row-1,col-1)), typed
// text (String). cedar_headless runs with the standard session's options
// unless a case sets some: its Backspace style is NORMALCURSORBACKSPACE 0,
// "move left", which is what s3270's BackSpace does; style 1, "delete", is
// compared with s3270's Erase.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "oracles.h"
#include "peer_compare.h"
#include "record_builder.h"
#include "screen/inbound.h"
#include "screen/record_processor.h"

namespace cedar {
namespace {

using sessionfile::Field;
using test::attention;
using test::hostRead;
using test::moveCursor;
using test::NamedException;
using test::PeerCase;
using test::press;
using test::RecordBuilder;
using test::refused;
using test::refusedByPeerOnly;
using test::Step;
using test::typeText;
using Record = std::vector<std::uint8_t>;

// 24x80 (positions from 0; the steps' rows and columns from 1):
//   1905 unprotected, "ABCDEFGHIJKLMNOPQRS" from row 24 col 67 over the end
//        of the screen to row 1 col 5 (full)
//   5    protected title
//   90   unprotected, empty (row 2 col 12 .. 31)
//   170  unprotected "HELLO WORLD" (row 3 col 12 .. 40)
//   250  numeric (row 4 col 12 .. 21) | 261 autoskip "SKIP" | 266 unprotected
//        (row 4 col 28 .. 41)
//   330  unprotected "ABCDEFGHIJ", full (row 5 col 12 .. 21) | 341 protected
//   410  unprotected, 5 positions (row 6 col 12 .. 16) | 416 unprotected at
//        once (row 6 col 18 .. 26)
//   490  non-display (row 7 col 12 .. 21)
//   570  unprotected, empty: no position | 571 unprotected (row 8 col 13 .. 31)
//   719  unprotected, the whole of row 10 | 800 protected row 11
std::vector<Record> form() {
    RecordBuilder b(cmd::kEraseWrite, 0xC3);
    b.sba(5).sf(0x60).text("KEYBOARD TEST");
    b.sba(80).sf(0x60).text("NAME").sba(90).sf(0x40).sba(111).sf(0x60);
    b.sba(160).sf(0x60).text("TEXT").sba(170).sf(0x40).text("HELLO WORLD").sba(200).sf(0x60);
    b.sba(240).sf(0x60).text("NUMBER").sba(250).sf(0x50).sba(261).sf(0x70).text("SKIP");
    b.sba(266).sf(0x40).sba(281).sf(0x60);
    b.sba(320).sf(0x60).text("FULL").sba(330).sf(0x40).text("ABCDEFGHIJ").sf(0x60);
    b.sba(400).sf(0x60).text("SHORT").sba(410).sf(0x40).sba(416).sf(0x40).sba(426).sf(0x60);
    b.sba(480).sf(0x60).text("DARK").sba(490).sf(0x4C).sba(501).sf(0x60);
    b.sba(560).sf(0x60).text("EMPTY").sba(570).sf(0x40).sf(0x40).sba(591).sf(0x60);
    b.sba(719).sf(0x40).sba(800).sf(0x60).text("PROTECTED ROW");
    b.sba(1880).sf(0x60).text("WRAP").sba(1905).sf(0x40).text("ABCDEFGHIJKLMN");
    b.sba(0).text("OPQRS");
    b.sba(91).ic();
    return {b.bytes()};
}

// Our names and s3270's where they differ.
Step newLine() {
    return press("NewLine", "Newline");
}
Step endField() {
    return press("EndField", "FieldEnd");
}
Step backspace() {
    return press("Backspace", "BackSpace");
}
Step cursorKey(const std::string& direction) {
    return press("Cursor" + direction, direction);
}

// ---------------------------------------------------------------------------
// Where we differ from s3270.

// Typing after nulls: with PREFIXINPUTWITHSPACES off (the standard session)
// the nulls stay, and Read Modified leaves them out.
const NamedException kNullsBeforeTypedText = {
    "nulls before typed text stay nulls",
    "with PREFIXINPUTWITHSPACES off, as in the standard session, the nulls before a character "
    "typed into a field stay nulls (Read Modified leaves them out); s3270 turns the nulls "
    "between the field's start and the typed character into blanks, as we do with the option on",
    [](test::Difference& d) {
        bool changed = false;
        if (d.ours.size() == d.theirs.size()) {
            for (std::size_t i = d.header; i < d.ours.size(); ++i) {
                if (d.ours[i] == 0x00 && d.theirs[i] == 0x40) {
                    d.theirs[i] = 0x00;
                    changed = true;
                }
            }
            return changed;
        }
        // Read Modified: s3270's blanks stand where our nulls were left out.
        for (std::size_t i = d.header; i < d.theirs.size();) {
            if (i < d.ours.size() && d.ours[i] == d.theirs[i]) {
                ++i;
            } else if (d.theirs[i] == 0x40 && d.theirs.size() > d.ours.size()) {
                d.theirs.erase(d.theirs.begin() + static_cast<std::ptrdiff_t>(i));
                changed = true;
            } else {
                break;
            }
        }
        return changed;
    }};

// EraseEOF and Delete on a protected field: nothing changes, and that is no
// input error.
const char* const kNoErrorOnProtected =
    "EraseEOF and Delete in a protected field change nothing and are no input error; s3270 "
    "locks the keyboard with a protected-field error (Reset unlocks it)";

// ---------------------------------------------------------------------------
// The sequences.

struct KeysCase {
    PeerCase c;
    bool bothModes = false;  // also over TN3270E (the attention keys' records)
};

std::vector<KeysCase> keysCases() {
    const auto f = form();
    const auto enter = attention("Enter");
    const auto readBuffer = hostRead(cmd::kReadBuffer);
    const std::vector<const NamedException*> marker = {&test::kFieldAttributeMarker};
    std::vector<KeysCase> cases;
    auto add = [&](std::string name, std::vector<Step> steps,
                   std::vector<const NamedException*> exceptions = {},
                   std::vector<std::pair<Field, std::int64_t>> options = {}) {
        cases.push_back(
            {{std::move(name), 2, f, std::move(steps), std::move(exceptions), std::move(options)}});
    };

    add("TypeAndTab", {press("Home"), typeText("SMITH"), press("Tab"), typeText("NEWTEXT"),
                       press("Tab"), typeText("12"), enter});
    add("BackTabToFieldStartsAndOverTheScreenEnd",
        {moveCursor(3, 16), press("BackTab"), typeText("J"), press("BackTab"), press("BackTab"),
         typeText("K"), press("BackTab"), press("BackTab"), typeText("W"), enter});
    add("HomeAndNewLine",
        {moveCursor(10, 40), newLine(), typeText("A"), press("Home"), typeText("B"), newLine(),
         typeText("C"), moveCursor(9, 5), newLine(), typeText("D"), enter});
    add("TabSkipsAnEmptyField", {moveCursor(7, 15), press("Tab"), typeText("T"), enter});
    add("EndField", {moveCursor(3, 12), endField(), typeText("!"), moveCursor(2, 15), endField(),
                     typeText("E"), moveCursor(5, 12), endField(), typeText("Z"), enter});
    add("DeleteShiftsTheRestOfTheField",
        {moveCursor(3, 18), press("Delete"), press("Delete"), enter, readBuffer}, marker);
    add("BackspaceMovesLeft", {moveCursor(3, 17), backspace(), backspace(), typeText("P"),
                               moveCursor(2, 12), backspace(), enter});
    add("BackspaceDeletingStyleIsErase",
        {moveCursor(3, 17), press("Backspace", "Erase"), press("Backspace", "Erase"), enter,
         readBuffer},
        marker, {{Field::NormalCursorBackspace, 1}});
    add("EraseEOF", {moveCursor(3, 15), press("EraseEOF"), typeText("P"), enter, readBuffer},
        marker);
    add("EraseEOFInAFieldWrappingOverTheScreenEnd",
        {moveCursor(24, 75), press("EraseEOF"), enter, readBuffer}, marker);
    add("EraseInput",
        {moveCursor(2, 12), typeText("GONE"), press("EraseInput"), typeText("X"), enter,
         readBuffer},
        marker);
    add("InsertMode", {moveCursor(3, 18), press("Insert"), typeText("NEW "), enter, readBuffer},
        marker);
    add("InsertModeOverflowAndReset", {moveCursor(5, 13), press("Insert"), refused(typeText("X")),
                                       press("Reset"), typeText("Y"), enter});
    add("Dup", {moveCursor(2, 12), press("Dup"), typeText("Q"), enter});
    add("TypingAfterNulls",
        {moveCursor(2, 15), typeText("X"), moveCursor(3, 28), typeText("Y"), enter, readBuffer},
        {&test::kFieldAttributeMarker, &kNullsBeforeTypedText});
    add("TypingAfterNullsPrefixed",
        {moveCursor(2, 15), typeText("X"), moveCursor(3, 28), typeText("Y"), enter, readBuffer},
        marker, {{Field::PrefixInputWithSpaces, 1}});
    add("InsertToggles", {moveCursor(3, 12), press("Insert", "ToggleInsert"), typeText("A"),
                          press("Insert", "ToggleInsert"), typeText("B"), enter});
    add("EraseEOFAndDeleteOnAProtectedField",
        {moveCursor(1, 10), refusedByPeerOnly(press("EraseEOF"), kNoErrorOnProtected),
         press("Reset"), refusedByPeerOnly(press("Delete"), kNoErrorOnProtected), press("Reset"),
         moveCursor(2, 12), typeText("AFTER"), enter});
    add("DeleteInAFullField",
        {moveCursor(5, 21), press("Delete"), moveCursor(5, 12), press("Delete"), enter, readBuffer},
        marker);
    add("FieldMark", {moveCursor(2, 12), typeText("A"), press("FieldMark"), typeText("B"), enter});
    add("CursorMoves", {moveCursor(2, 12), cursorKey("Right"), cursorKey("Right"),
                        cursorKey("Down"), cursorKey("Left"), typeText("M"), cursorKey("Up"),
                        cursorKey("Up"), cursorKey("Left"), enter});
    add("TypingOverAFieldsEndGoesOnInTheNext", {moveCursor(6, 12), typeText("ABCDEFG"), enter});
    add("AutoskipFieldIsSkipped", {moveCursor(4, 12), typeText("1234567890AFTER"), enter}, {},
        {{Field::EnableAutoSkip, 1}});
    add("TypingIntoAProtectedFieldIsRefused",
        {moveCursor(1, 10), refused(typeText("X")), press("Reset"), moveCursor(7, 12),
         typeText("SECRET"), enter});
    cases.push_back(
        {{"PF3AfterEditing",
          2,
          f,
          {moveCursor(2, 12), typeText("PF"), press("Tab"), press("EraseEOF"), attention("PF3")}},
         true});
    cases.push_back(
        {{"PA2AfterEditing", 2, f, {moveCursor(2, 12), typeText("PA"), attention("PA2")}}, true});
    cases.push_back({{"ClearAfterEditing",
                      2,
                      f,
                      {moveCursor(2, 12), typeText("CL"), attention("Clear"), readBuffer}},
                     true});
    return cases;
}

struct Param {
    PeerCase c;
    bool tn3270e;
};

void PrintTo(const Param& p, std::ostream* os) {
    *os << p.c.name << (p.tn3270e ? " over TN3270E" : " over TN3270");
}

std::vector<Param> params() {
    std::vector<Param> out;
    for (const KeysCase& k : keysCases()) {
        out.push_back({k.c, false});
        if (k.bothModes) out.push_back({k.c, true});
    }
    return out;
}

class Keys : public ::testing::TestWithParam<Param> {};

TEST_P(Keys, SameRecordsAsS3270) {
    CEDAR_REQUIRE_ORACLE(!test::peerMissing(), "s3270");
    test::compareWithPeer(GetParam().c, GetParam().tn3270e);
}

std::string paramName(const ::testing::TestParamInfo<Param>& param) {
    return param.param.c.name + (param.param.tn3270e ? "_Tn3270e" : "_Tn3270");
}

INSTANTIATE_TEST_SUITE_P(Sequences, Keys, ::testing::ValuesIn(params()), paramName);

}  // namespace
}  // namespace cedar
