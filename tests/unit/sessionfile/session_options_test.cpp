#include "sessionfile/session_options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace cedar::sessionfile {
namespace {

SessionOptions filledWith(std::uint8_t byte) {
    SessionOptions o;
    o.bytes().fill(byte);
    return o;
}

// Every byte outside [offset, offset + size) is the same in both records.
void expectOutsideUnchanged(const SessionOptions& before, const SessionOptions& after,
                            std::size_t offset, std::size_t size, std::string_view what) {
    for (std::size_t i = 0; i < kRecordSize; ++i) {
        if (i >= offset && i < offset + size) continue;
        ASSERT_EQ(before.bytes()[i], after.bytes()[i]) << what << ": byte " << i;
    }
}

TEST(SessionOptionsFields, TableIsOneLayout) {
    std::set<std::string_view> names;
    std::size_t end = 0;
    for (const auto& f : fields()) {
        EXPECT_GE(f.offset, end) << f.name << " overlaps the field before it";
        end = std::size_t{f.offset} + f.size;
        EXPECT_TRUE(names.insert(f.name).second) << f.name << " twice";
        EXPECT_EQ(&info(f.field), &f);
        EXPECT_EQ(fieldByName(f.name), f.field);
        const std::size_t widths[] = {0, 1, 2, 2, 4, 4, 4, 0};
        if (const auto w = widths[static_cast<int>(f.type)]; w != 0) {
            EXPECT_EQ(f.size, w) << f.name;
        }
    }
    EXPECT_LE(end, kRecordSize);
}

TEST(SessionOptionsFields, MacroOptionNamesReachTheirFields) {
    // The option names macros use for record fields, with other names of the
    // same option, in any case.
    const std::pair<const char*, Field> cases[] = {
        {"SESSIONFILE", Field::SessionFile},
        {"SESSIONNAME", Field::SessionName},
        {"HOSTNAME", Field::HostName},
        {"WINDOWTITLE", Field::WindowTitle},
        {"STATUSLINE", Field::StatusLine},
        {"FILENAME", Field::FileName},
        {"FILE", Field::FileName},
        {"FILEFORSAVESCREENTODISK", Field::SaveScreenAction},
        {"SAVESCREENANDCAPTUREFUNCTIONS", Field::SaveScreenAction},
        {"SAVEFILEACTION", Field::SaveScreenAction},
        {"FILEFORSAVESCREENDISK", Field::SaveScreenAction},
        {"FORMATASHTML", Field::FormatAsHtml},
        {"EDITKEYBOARD", Field::EditKeyboard},
        {"EDITTOOLBAR", Field::EditToolBar},
        {"EDITKEYPAD", Field::EditKeypad},
        {"CONNECTIONTIMEOUT", Field::ConnectionTimeout},
        {"STARTUPMACRO", Field::StartupMacro},
        {"SAVEDIALOGPOSITIONS", Field::SaveDialogPositions},
        {"SCREENBUFFERS", Field::ScreenBuffers},
        {"TERMINALMODEL", Field::TerminalModel},
        {"AFTER", Field::After},
        {"ROW/COLONSTATUSLINE", Field::RowColOnStatusLine},
        {"TOGGLESHIFT/CAPS", Field::ToggleShiftCaps},
        {"HOSTINITIATEDPRINTING", Field::HostInitiatedPrinting},
        {"NORMALCURSORBACKSPACE", Field::NormalCursorBackspace},
        {"CURSORCOLOR", Field::CursorColor},
        {"FONTNAME", Field::FontName},
        {"BORDERSIZE", Field::BorderSize},
        {"TRUETYPEFONTNAME", Field::TrueTypeFontName},
        {"BORDERTEXT", Field::BorderText},
        {"color15", Field::Color15},
        {"CUT/DELETE", Field::CutDelete},
        {"ENABLEAUTOCUT/COPY", Field::EnableAutoCutCopy},
        {"USERNAME", Field::UserName},
        {"PCCODEPAGE", Field::PcCodePage},
        {"DownAdditionalParameters", Field::DownAdditionalParameters},
        {"TRANSFERBLOCKSIZE", Field::TransferBlockSize},
    };
    for (const auto& [name, field] : cases) {
        EXPECT_EQ(fieldByName(name), field) << name;
        EXPECT_TRUE(info(field).macroOption) << name;
    }
    EXPECT_FALSE(info(Field::Port).macroOption);
    EXPECT_FALSE(info(Field::IpName).macroOption);
    EXPECT_EQ(fieldByName("NOSUCHOPTION"), std::nullopt);
}

TEST(SessionOptionsText, EveryTextFieldStaysInsideItsBytes) {
    for (const auto& f : fields()) {
        if (f.type != FieldType::Text) continue;
        const SessionOptions before = filledWith(0xAA);
        SessionOptions o = before;

        const std::string longest(f.size - 1u, 'x');
        ASSERT_TRUE(o.setText(f.field, longest)) << f.name;
        EXPECT_EQ(o.text(f.field), longest) << f.name;
        EXPECT_EQ(o.bytes()[f.offset + f.size - 1u], 0) << f.name << " keeps its terminator";
        expectOutsideUnchanged(before, o, f.offset, f.size, f.name);

        const SessionOptions full = o;
        EXPECT_FALSE(o.setText(f.field, longest + "y")) << f.name << " takes one too many";
        EXPECT_FALSE(o.setText(f.field, std::string("a\0b", 3))) << f.name;
        EXPECT_EQ(o, full) << f.name << ": a refused text changes nothing";

        // A field with no NUL (as a damaged file may have it) reads as its
        // first size - 1 bytes and no further.
        EXPECT_EQ(before.text(f.field).size(), f.size - 1u) << f.name;
        EXPECT_TRUE(o.setText(f.field, before.text(f.field))) << f.name;
    }
}

TEST(SessionOptionsText, WritingKeepsOrClearsTheRestOfTheField) {
    SessionOptions o;
    ASSERT_TRUE(o.setText(Field::HostName, "a.long.host.name"));
    ASSERT_TRUE(o.setText(Field::HostName, "short"));
    const auto bytes = o.raw(Field::HostName);
    EXPECT_TRUE(std::all_of(bytes.begin() + 5, bytes.end(), [](auto b) { return b == 0; }))
        << "a new text leaves nothing of the old one";

    // The same text again changes no byte, not even after its terminator.
    o.raw(Field::HostName)[40] = 0x55;
    const SessionOptions before = o;
    EXPECT_TRUE(o.setText(Field::HostName, "short"));
    EXPECT_EQ(o, before);

    EXPECT_EQ(o.text(Field::Port), "") << "not a text";
    EXPECT_FALSE(o.setText(Field::Port, "23"));
}

TEST(SessionOptionsNumbers, LittleEndianWithinTheirType) {
    struct Case {
        Field field;
        std::int64_t value;
        std::vector<std::uint8_t> bytes;  // empty: refused
    } cases[] = {
        {Field::Alarm, 1, {0x01}},
        {Field::Alarm, 255, {0xFF}},
        {Field::Alarm, 256, {}},
        {Field::Alarm, -1, {}},
        {Field::WindowLeft, -2, {0xFE, 0xFF}},
        {Field::WindowLeft, 32767, {0xFF, 0x7F}},
        {Field::WindowLeft, -32769, {}},
        {Field::Port, 0x1234, {0x34, 0x12}},
        {Field::Port, 65535, {0xFF, 0xFF}},
        {Field::Port, 65536, {}},
        {Field::KeypadLeft, -100, {0x9C, 0xFF, 0xFF, 0xFF}},
        {Field::DefaultModeWidth, 0x01020304, {0x04, 0x03, 0x02, 0x01}},
        {Field::DefaultModeWidth, -1, {}},
        {Field::Color3, 0x123456, {0x56, 0x34, 0x12, 0x00}},  // blue, green, red, 0
        {Field::Color3, 0x1000000, {}},
        {Field::HostName, 1, {}},
        {Field::Reserved, 1, {}},
    };
    for (const auto& c : cases) {
        const SessionOptions before = filledWith(0xAA);
        SessionOptions o = before;
        const auto& f = info(c.field);
        EXPECT_EQ(o.setNumber(c.field, c.value), !c.bytes.empty()) << f.name << " " << c.value;
        if (c.bytes.empty()) {
            EXPECT_EQ(o, before) << f.name;
            continue;
        }
        const auto raw = o.raw(c.field);
        EXPECT_EQ(std::vector<std::uint8_t>(raw.begin(), raw.end()), c.bytes) << f.name;
        EXPECT_EQ(o.number(c.field), c.value) << f.name;
        expectOutsideUnchanged(before, o, f.offset, f.size, f.name);
    }
}

TEST(SessionOptionsBlocks, ColourItemsAndPrintProfiles) {
    SessionOptions o = filledWith(0x11);
    o.setItemColors(kHighProtectedItem, 7, 9);
    o.setItemForeground(kFindHighlightingItem, 3);
    EXPECT_EQ(o.itemForeground(kHighProtectedItem), 7);
    EXPECT_EQ(o.itemBackground(kHighProtectedItem), 9);
    EXPECT_EQ(o.itemForeground(kFindHighlightingItem), 3);
    EXPECT_EQ(o.itemBackground(kFindHighlightingItem), 0x11) << "foreground only";
    EXPECT_EQ(o.bytes()[762 + 19], 7);
    EXPECT_EQ(o.bytes()[794 + 19], 9);

    const SessionOptions before = o;
    o.setItemColors(32, 1, 1);
    o.setItemColors(-1, 1, 1);
    EXPECT_EQ(o, before) << "items outside 0..31 are not written";

    PrintProfile p;
    p.face = std::string(32, 'F');
    p.orientation = 2;
    p.twoUp = 1;
    p.left = {1, 2, 3, 4};
    p.top = {5, 6, 7, 8};
    p.right = {91, 92, 93, 94};
    p.bottom = {95, 96, 97, 98};
    for (int i = 0; i < PrintProfile::kCount; ++i) {
        SessionOptions q = before;
        ASSERT_TRUE(q.setPrintProfile(i, p));
        EXPECT_EQ(q.printProfile(i), p);
        expectOutsideUnchanged(before, q, 2049 + 51 * static_cast<std::size_t>(i), 51, "profile");
    }
    p.face += "G";
    EXPECT_FALSE(o.setPrintProfile(0, p)) << "a face of 33 characters";
    EXPECT_FALSE(o.setPrintProfile(6, PrintProfile{}));
    EXPECT_EQ(o, before);
}

}  // namespace
}  // namespace cedar::sessionfile
