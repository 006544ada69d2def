#include "sessionfile/session_options.h"

#include <algorithm>
#include <cctype>
#include <limits>

namespace cedar::sessionfile {

namespace {

using enum FieldType;

constexpr std::array kFields = {
    FieldInfo{Field::Color0, "COLOR0", 0, 4, Color, true},
    FieldInfo{Field::Color1, "COLOR1", 4, 4, Color, true},
    FieldInfo{Field::Color2, "COLOR2", 8, 4, Color, true},
    FieldInfo{Field::Color3, "COLOR3", 12, 4, Color, true},
    FieldInfo{Field::Color4, "COLOR4", 16, 4, Color, true},
    FieldInfo{Field::Color5, "COLOR5", 20, 4, Color, true},
    FieldInfo{Field::Color6, "COLOR6", 24, 4, Color, true},
    FieldInfo{Field::Color7, "COLOR7", 28, 4, Color, true},
    FieldInfo{Field::Color8, "COLOR8", 32, 4, Color, true},
    FieldInfo{Field::Color9, "COLOR9", 36, 4, Color, true},
    FieldInfo{Field::Color10, "COLOR10", 40, 4, Color, true},
    FieldInfo{Field::Color11, "COLOR11", 44, 4, Color, true},
    FieldInfo{Field::Color12, "COLOR12", 48, 4, Color, true},
    FieldInfo{Field::Color13, "COLOR13", 52, 4, Color, true},
    FieldInfo{Field::Color14, "COLOR14", 56, 4, Color, true},
    FieldInfo{Field::Color15, "COLOR15", 60, 4, Color, true},
    FieldInfo{Field::WindowState, "WINDOWSTATE", 64, 2, UInt16, false},
    FieldInfo{Field::WindowLeft, "WINDOWLEFT", 66, 2, Int16, false},
    FieldInfo{Field::WindowTop, "WINDOWTOP", 68, 2, Int16, false},
    FieldInfo{Field::WindowWidth, "WINDOWWIDTH", 70, 2, UInt16, false},
    FieldInfo{Field::WindowHeight, "WINDOWHEIGHT", 72, 2, UInt16, false},
    FieldInfo{Field::Port, "PORT", 74, 2, UInt16, false},
    FieldInfo{Field::ConnectionTimeout, "CONNECTIONTIMEOUT", 76, 2, UInt16, true},
    FieldInfo{Field::BorderSize, "BORDERSIZE", 78, 2, UInt16, true},
    FieldInfo{Field::NumberOfCopyBuffers, "NUMBEROFCOPYBUFFERS", 80, 2, UInt16, true},
    FieldInfo{Field::Reserved, "RESERVED", 82, 66, Block, false},
    FieldInfo{Field::SessionName, "SESSIONNAME", 277, 41, Text, true},
    FieldInfo{Field::HostName, "HOSTNAME", 318, 65, Text, true},
    FieldInfo{Field::WindowTitle, "WINDOWTITLE", 383, 129, Text, true},
    FieldInfo{Field::StatusLine, "STATUSLINE", 512, 129, Text, true},
    FieldInfo{Field::SaveScreenAction, "SAVESCREENANDCAPTUREFUNCTIONS", 683, 1, Byte, true},
    FieldInfo{Field::ShowWindowOnUpdate, "SHOWWINDOWONUPDATE", 698, 1, Byte, true},
    FieldInfo{Field::AskBeforeClosing, "ASKBEFORECLOSING", 699, 1, Byte, true},
    FieldInfo{Field::ShowToolTips, "SHOWTOOLTIPS", 700, 1, Byte, true},
    FieldInfo{Field::TerminalModel, "TERMINALMODEL", 701, 1, Byte, true},
    FieldInfo{Field::KeyClickOnError, "KEYCLICKONERROR", 702, 1, Byte, true},
    FieldInfo{Field::Alarm, "ALARM", 703, 1, Byte, true},
    FieldInfo{Field::UpdateNotification, "UPDATENOTIFICATION", 704, 1, Byte, true},
    FieldInfo{Field::BlinkingText, "BLINKINGTEXT", 705, 1, Byte, true},
    FieldInfo{Field::AutoKeyboardUnlock, "AUTOKEYBOARDUNLOCK", 706, 1, Byte, true},
    FieldInfo{Field::ResetInsertOnActionKey, "RESETINSERTONACTIONKEY", 707, 1, Byte, true},
    FieldInfo{Field::ToggleInsertKey, "TOGGLEINSERTKEY", 708, 1, Byte, true},
    FieldInfo{Field::RowColOnStatusLine, "ROW/COLONSTATUSLINE", 709, 1, Byte, true},
    FieldInfo{Field::ModifyColInIspfEdit, "MODIFYCOLINISPFEDIT", 710, 1, Byte, true},
    FieldInfo{Field::PrefixInputWithSpaces, "PREFIXINPUTWITHSPACES", 711, 1, Byte, true},
    FieldInfo{Field::ConvertNullsToBlanks, "CONVERTNULLSTOBLANKS", 712, 1, Byte, true},
    FieldInfo{Field::EnableAutoSkip, "ENABLEAUTOSKIP", 713, 1, Byte, true},
    FieldInfo{Field::NumericFieldLock, "NUMERICFIELDLOCK", 714, 1, Byte, true},
    FieldInfo{Field::AllUpperCase, "ALLUPPERCASE", 715, 1, Byte, true},
    FieldInfo{Field::TypeAhead, "TYPEAHEAD", 716, 1, Byte, true},
    FieldInfo{Field::NormalCursor, "NORMALCURSOR", 718, 1, Byte, true},
    FieldInfo{Field::NormalCursorSize, "NORMALCURSORSIZE", 719, 1, Byte, true},
    FieldInfo{Field::NormalCursorBlink, "NORMALCURSORBLINK", 720, 1, Byte, true},
    FieldInfo{Field::InsertCursor, "INSERTCURSOR", 721, 1, Byte, true},
    FieldInfo{Field::InsertCursorSize, "INSERTCURSORSIZE", 722, 1, Byte, true},
    FieldInfo{Field::InsertCursorBlink, "INSERTCURSORBLINK", 723, 1, Byte, true},
    FieldInfo{Field::Ruler, "RULER", 724, 1, Byte, true},
    FieldInfo{Field::LocateCursor, "LOCATECURSOR", 725, 1, Byte, true},
    FieldInfo{Field::FontName, "FONTNAME", 726, 32, Text, true},
    FieldInfo{Field::SizeWindowToFont, "SIZEWINDOWTOFONT", 760, 1, Byte, true},
    FieldInfo{Field::KeepFontConstantOnModeSwitch, "KEEPFONTCONSTANTONMODESWITCH", 761, 1, Byte,
              true},
    FieldInfo{Field::ItemForegrounds, "ITEMFOREGROUNDS", 762, 32, Block, false},
    FieldInfo{Field::ItemBackgrounds, "ITEMBACKGROUNDS", 794, 32, Block, false},
    FieldInfo{Field::CutDelete, "CUT/DELETE", 826, 1, Byte, true},
    FieldInfo{Field::Paste, "PASTE", 827, 1, Byte, true},
    FieldInfo{Field::MouseMoveBeforeSelection, "MOUSEMOVEBEFORESELECTION", 830, 1, Byte, true},
    FieldInfo{Field::UpProgram, "UPPROGRAM", 1588, 21, Text, true},
    FieldInfo{Field::UpAdditionalParameters, "UPADDITIONALPARAMETERS", 1609, 129, Text, true},
    FieldInfo{Field::DownProgram, "DOWNPROGRAM", 1738, 21, Text, true},
    FieldInfo{Field::DownAdditionalParameters, "DOWNADDITIONALPARAMETERS", 1759, 128, Text, true},
    FieldInfo{Field::UseAltForMenu, "USEALTFORMENU", 1887, 1, Byte, true},
    FieldInfo{Field::AutoReconnect, "AUTORECONNECT", 1888, 1, Byte, true},
    FieldInfo{Field::Brightness, "BRIGHTNESS", 1889, 1, Byte, false},
    FieldInfo{Field::UserName, "USERNAME", 1890, 41, Text, true},
    FieldInfo{Field::ShowFieldAttributes, "SHOWFIELDATTRIBUTES", 1931, 1, Byte, false},
    FieldInfo{Field::MoveCursorOnActivate, "MOVECURSORONACTIVATE", 1932, 1, Byte, true},
    FieldInfo{Field::SkipAtEndOfField, "SKIPATENDOFFIELD", 1933, 1, Byte, true},
    FieldInfo{Field::ToggleShiftCaps, "TOGGLESHIFT/CAPS", 1934, 1, Byte, true},
    FieldInfo{Field::Icon, "ICON", 1935, 1, Byte, false},
    FieldInfo{Field::ToolBarHidden, "TOOLBARHIDDEN", 1936, 1, Byte, false},
    FieldInfo{Field::MenuBarHidden, "MENUBARHIDDEN", 1937, 1, Byte, false},
    FieldInfo{Field::Screen, "SCREEN", 1938, 32, Text, true},
    FieldInfo{Field::PcCodePage, "PCCODEPAGE", 1970, 32, Text, true},
    FieldInfo{Field::Keyboard, "KEYBOARD", 2002, 32, Text, true},
    FieldInfo{Field::NotifyUserOnInsertError, "NOTIFYUSERONINSERTERROR", 2048, 1, Byte, true},
    FieldInfo{Field::PrintProfiles, "PRINTPROFILES", 2049, 306, Block, false},
    FieldInfo{Field::DebugWindowLeft, "DEBUGWINDOWLEFT", 2356, 2, Int16, false},
    FieldInfo{Field::DebugWindowTop, "DEBUGWINDOWTOP", 2358, 2, Int16, false},
    FieldInfo{Field::DebugWindowWidth, "DEBUGWINDOWWIDTH", 2360, 2, UInt16, false},
    FieldInfo{Field::DebugWindowHeight, "DEBUGWINDOWHEIGHT", 2362, 2, UInt16, false},
    FieldInfo{Field::IpName, "IPNAME", 2364, 65, Text, false},
    FieldInfo{Field::Tn3270e, "TN3270E", 2429, 1, Byte, false},
    FieldInfo{Field::After, "AFTER", 2440, 2, UInt16, true},
    FieldInfo{Field::TransferBlockSize, "TRANSFERBLOCKSIZE", 2442, 2, UInt16, true},
    FieldInfo{Field::UserModelHeight, "USERMODELHEIGHT", 2444, 1, Byte, false},
    FieldInfo{Field::UserModelWidth, "USERMODELWIDTH", 2445, 1, Byte, false},
    FieldInfo{Field::ListCatalogCommand, "LISTCATALOGCOMMAND", 2446, 65, Text, false},
    FieldInfo{Field::ListDatasetCommand, "LISTDATASETCOMMAND", 2511, 65, Text, false},
    FieldInfo{Field::CursorColor, "CURSORCOLOR", 2576, 1, Byte, true},
    FieldInfo{Field::ListMemberCommand, "LISTMEMBERCOMMAND", 2577, 65, Text, false},
    FieldInfo{Field::MoveCursorToEndOnPaste, "MOVECURSORTOENDONPASTE", 2738, 1, Byte, true},
    FieldInfo{Field::KeypadAtStart, "KEYPADATSTART", 2739, 1, Byte, false},
    FieldInfo{Field::KeypadAtPreviousPosition, "KEYPADATPREVIOUSPOSITION", 2740, 1, Byte, false},
    FieldInfo{Field::KeypadLeft, "KEYPADLEFT", 2744, 4, Int32, false},
    FieldInfo{Field::KeypadTop, "KEYPADTOP", 2748, 4, Int32, false},
    FieldInfo{Field::NormalCursorBackspace, "NORMALCURSORBACKSPACE", 2753, 1, Byte, true},
    FieldInfo{Field::InsertCursorBackspace, "INSERTCURSORBACKSPACE", 2754, 1, Byte, true},
    FieldInfo{Field::EnableDragAndDrop, "ENABLEDRAGANDDROP", 2835, 1, Byte, true},
    FieldInfo{Field::EnableAutoCutCopy, "ENABLEAUTOCUT/COPY", 2836, 1, Byte, true},
    FieldInfo{Field::DftMode, "DFTMODE", 2837, 1, Byte, false},
    FieldInfo{Field::FindOptions, "FINDOPTIONS", 2839, 1, Byte, false},
    FieldInfo{Field::DefaultModeWidth, "DEFAULTMODEWIDTH", 2840, 4, UInt32, false},
    FieldInfo{Field::DefaultModeHeight, "DEFAULTMODEHEIGHT", 2844, 4, UInt32, false},
    FieldInfo{Field::FixedCellSize, "FIXEDCELLSIZE", 2848, 1, Byte, false},
    FieldInfo{Field::FixedCellSizeText, "FIXEDCELLSIZETEXT", 2849, 10, Text, false},
    FieldInfo{Field::LuName, "LUNAME", 2859, 20, Text, false},
    FieldInfo{Field::SaveDialogPositions, "SAVEDIALOGPOSITIONS", 2879, 1, Byte, true},
    FieldInfo{Field::OptionsDialogLeft, "OPTIONSDIALOGLEFT", 2904, 4, Int32, false},
    FieldInfo{Field::OptionsDialogTop, "OPTIONSDIALOGTOP", 2908, 4, Int32, false},
    FieldInfo{Field::LayoutEditorLeft, "LAYOUTEDITORLEFT", 2912, 4, Int32, false},
    FieldInfo{Field::LayoutEditorTop, "LAYOUTEDITORTOP", 2916, 4, Int32, false},
    FieldInfo{Field::SessionDialogLeft, "SESSIONDIALOGLEFT", 2920, 4, Int32, false},
    FieldInfo{Field::SessionDialogTop, "SESSIONDIALOGTOP", 2924, 4, Int32, false},
    FieldInfo{Field::TransferDialogLeft, "TRANSFERDIALOGLEFT", 2928, 4, Int32, false},
    FieldInfo{Field::TransferDialogTop, "TRANSFERDIALOGTOP", 2932, 4, Int32, false},
    FieldInfo{Field::OtherTransferDialogLeft, "OTHERTRANSFERDIALOGLEFT", 2936, 4, Int32, false},
    FieldInfo{Field::OtherTransferDialogTop, "OTHERTRANSFERDIALOGTOP", 2940, 4, Int32, false},
    FieldInfo{Field::SessionFile, "SESSIONFILE", 2944, 260, Text, true},
    FieldInfo{Field::EditKeyboard, "EDITKEYBOARD", 3204, 260, Text, true},
    FieldInfo{Field::EditToolBar, "EDITTOOLBAR", 3464, 260, Text, true},
    FieldInfo{Field::FileName, "FILENAME", 3724, 260, Text, true},
    FieldInfo{Field::StartupMacro, "STARTUPMACRO", 3984, 260, Text, true},
    FieldInfo{Field::EditKeypad, "EDITKEYPAD", 5284, 260, Text, true},
    FieldInfo{Field::AlarmSound, "ALARMSOUND", 5544, 260, Text, false},
    FieldInfo{Field::KeyClickSound, "KEYCLICKSOUND", 5804, 260, Text, false},
    FieldInfo{Field::UpdateSound, "UPDATESOUND", 6064, 260, Text, false},
    FieldInfo{Field::SecurityLevel, "SECURITYLEVEL", 6324, 1, Byte, false},
    FieldInfo{Field::PrinterName, "PRINTERNAME", 6325, 256, Text, false},
    FieldInfo{Field::BorderText, "BORDERTEXT", 6581, 107, Text, true},
    FieldInfo{Field::ScreenBuffers, "SCREENBUFFERS", 6688, 2, UInt16, true},
    FieldInfo{Field::HostInitiatedPrinting, "HOSTINITIATEDPRINTING", 6690, 1, Byte, true},
    FieldInfo{Field::TrueType, "TRUETYPE", 6692, 1, Byte, true},
    FieldInfo{Field::TrueTypeFontName, "TRUETYPEFONTNAME", 6694, 32, Text, true},
    FieldInfo{Field::FormatAsHtml, "FORMATASHTML", 6985, 1, Byte, true},
    FieldInfo{Field::RecordInRexx, "RECORDINREXX", 6986, 1, Byte, false},
};

// The table is indexed by Field, in offset order, without overlaps.
constexpr bool tableIsConsistent() {
    std::size_t end = 0;
    for (std::size_t i = 0; i < kFields.size(); ++i) {
        const FieldInfo& f = kFields[i];
        if (static_cast<std::size_t>(f.field) != i) return false;
        if (f.offset < end || f.size == 0) return false;
        end = std::size_t{f.offset} + f.size;
    }
    return end <= kRecordSize;
}
static_assert(tableIsConsistent());
static_assert(kFields.size() == static_cast<std::size_t>(Field::RecordInRexx) + 1);

struct Alias {
    std::string_view name;
    Field field;
};
constexpr std::array kAliases = {
    Alias{"FILE", Field::FileName},
    Alias{"FILEFORSAVESCREENTODISK", Field::SaveScreenAction},
    Alias{"SAVEFILEACTION", Field::SaveScreenAction},
    Alias{"FILEFORSAVESCREENDISK", Field::SaveScreenAction},
};

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

std::uint64_t readLittleEndian(std::span<const std::uint8_t> bytes) {
    std::uint64_t v = 0;
    for (std::size_t i = bytes.size(); i-- > 0;)
        v = (v << 8) | bytes[i];
    return v;
}

void writeLittleEndian(std::span<std::uint8_t> bytes, std::uint64_t v) {
    for (auto& b : bytes) {
        b = static_cast<std::uint8_t>(v & 0xFF);
        v >>= 8;
    }
}

struct Range {
    std::int64_t min;
    std::int64_t max;
};
std::optional<Range> rangeOf(FieldType type) {
    switch (type) {
        case Byte:
            return Range{0, 0xFF};
        case Int16:
            return Range{std::numeric_limits<std::int16_t>::min(),
                         std::numeric_limits<std::int16_t>::max()};
        case UInt16:
            return Range{0, 0xFFFF};
        case Int32:
            return Range{std::numeric_limits<std::int32_t>::min(),
                         std::numeric_limits<std::int32_t>::max()};
        case UInt32:
            return Range{0, 0xFFFFFFFF};
        case Color:
            return Range{0, 0xFFFFFF};
        case Text:
        case Block:
            break;
    }
    return std::nullopt;
}

bool validItem(int item) {
    return item >= 0 && item < kColorItems;
}
bool validProfile(int index) {
    return index >= 0 && index < PrintProfile::kCount;
}

constexpr std::size_t kProfileOrientation = 33;
constexpr std::size_t kProfileTwoUp = 34;
constexpr std::size_t kProfileLeft = 35;
constexpr std::size_t kProfileTop = 39;
constexpr std::size_t kProfileRight = 43;
constexpr std::size_t kProfileBottom = 47;

}  // namespace

std::span<const FieldInfo> fields() {
    return kFields;
}

const FieldInfo& info(Field field) {
    return kFields[static_cast<std::size_t>(field)];
}

std::optional<Field> fieldByName(std::string_view name) {
    for (const auto& f : kFields)
        if (sameName(f.name, name)) return f.field;
    for (const auto& a : kAliases)
        if (sameName(a.name, name)) return a.field;
    return std::nullopt;
}

std::span<const std::uint8_t> SessionOptions::raw(Field field) const {
    const FieldInfo& f = info(field);
    return std::span<const std::uint8_t>(bytes_).subspan(f.offset, f.size);
}

std::span<std::uint8_t> SessionOptions::raw(Field field) {
    const FieldInfo& f = info(field);
    return std::span<std::uint8_t>(bytes_).subspan(f.offset, f.size);
}

std::string SessionOptions::text(Field field) const {
    if (info(field).type != Text) return {};
    const auto bytes = raw(field).first(info(field).size - 1u);  // the last byte ends any text
    const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
    return std::string(bytes.begin(), end);
}

bool SessionOptions::setText(Field field, std::string_view value) {
    const FieldInfo& f = info(field);
    if (f.type != Text || value.size() >= f.size) return false;
    if (value.find('\0') != std::string_view::npos) return false;
    if (text(field) == value) return true;
    auto bytes = raw(field);
    std::fill(bytes.begin(), bytes.end(), std::uint8_t{0});
    std::copy(value.begin(), value.end(), bytes.begin());
    return true;
}

std::int64_t SessionOptions::number(Field field) const {
    const FieldInfo& f = info(field);
    const auto bytes = raw(field);
    switch (f.type) {
        case Byte:
        case UInt16:
        case UInt32:
            return static_cast<std::int64_t>(readLittleEndian(bytes));
        case Int16:
            return static_cast<std::int16_t>(readLittleEndian(bytes));
        case Int32:
            return static_cast<std::int32_t>(readLittleEndian(bytes));
        case Color:
            return (std::int64_t{bytes[2]} << 16) | (std::int64_t{bytes[1]} << 8) | bytes[0];
        case Text:
        case Block:
            break;
    }
    return 0;
}

bool SessionOptions::setNumber(Field field, std::int64_t value) {
    const FieldInfo& f = info(field);
    const auto range = rangeOf(f.type);
    if (!range || value < range->min || value > range->max) return false;
    auto bytes = raw(field);
    if (f.type == Color) {
        bytes[0] = static_cast<std::uint8_t>(value & 0xFF);
        bytes[1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
        bytes[2] = static_cast<std::uint8_t>((value >> 16) & 0xFF);
        bytes[3] = 0;
        return true;
    }
    writeLittleEndian(bytes, static_cast<std::uint64_t>(value));
    return true;
}

std::uint8_t SessionOptions::itemForeground(int item) const {
    return validItem(item) ? raw(Field::ItemForegrounds)[static_cast<std::size_t>(item)] : 0;
}

std::uint8_t SessionOptions::itemBackground(int item) const {
    return validItem(item) ? raw(Field::ItemBackgrounds)[static_cast<std::size_t>(item)] : 0;
}

void SessionOptions::setItemColors(int item, std::uint8_t foreground, std::uint8_t background) {
    if (!validItem(item)) return;
    raw(Field::ItemForegrounds)[static_cast<std::size_t>(item)] = foreground;
    raw(Field::ItemBackgrounds)[static_cast<std::size_t>(item)] = background;
}

void SessionOptions::setItemForeground(int item, std::uint8_t foreground) {
    if (validItem(item)) raw(Field::ItemForegrounds)[static_cast<std::size_t>(item)] = foreground;
}

PrintProfile SessionOptions::printProfile(int index) const {
    if (!validProfile(index)) return {};
    const auto b =
        raw(Field::PrintProfiles)
            .subspan(static_cast<std::size_t>(index) * PrintProfile::kSize, PrintProfile::kSize);
    PrintProfile p;
    const auto face = b.first(PrintProfile::kFaceSize - 1);
    p.face.assign(face.begin(), std::find(face.begin(), face.end(), std::uint8_t{0}));
    p.orientation = b[kProfileOrientation];
    p.twoUp = b[kProfileTwoUp];
    std::copy_n(b.begin() + kProfileLeft, 4, p.left.begin());
    std::copy_n(b.begin() + kProfileTop, 4, p.top.begin());
    std::copy_n(b.begin() + kProfileRight, 4, p.right.begin());
    std::copy_n(b.begin() + kProfileBottom, 4, p.bottom.begin());
    return p;
}

bool SessionOptions::setPrintProfile(int index, const PrintProfile& profile) {
    if (!validProfile(index)) return false;
    if (profile.face.size() >= PrintProfile::kFaceSize ||
        profile.face.find('\0') != std::string::npos)
        return false;
    auto b =
        raw(Field::PrintProfiles)
            .subspan(static_cast<std::size_t>(index) * PrintProfile::kSize, PrintProfile::kSize);
    if (printProfile(index).face != profile.face) {
        std::fill_n(b.begin(), PrintProfile::kFaceSize, std::uint8_t{0});
        std::copy(profile.face.begin(), profile.face.end(), b.begin());
    }
    b[kProfileOrientation] = profile.orientation;
    b[kProfileTwoUp] = profile.twoUp;
    std::copy(profile.left.begin(), profile.left.end(), b.begin() + kProfileLeft);
    std::copy(profile.top.begin(), profile.top.end(), b.begin() + kProfileTop);
    std::copy(profile.right.begin(), profile.right.end(), b.begin() + kProfileRight);
    std::copy(profile.bottom.begin(), profile.bottom.end(), b.begin() + kProfileBottom);
    return true;
}

}  // namespace cedar::sessionfile
