#include "sessionfile/standard_session.h"

#include <array>
#include <cstdint>
#include <utility>

namespace cedar::sessionfile {

namespace {

constexpr std::int64_t rgb(int r, int g, int b) {
    return (std::int64_t{r} << 16) | (std::int64_t{g} << 8) | b;
}

// Entries 1..7 are the host's basic colours (blue, red, pink, green,
// turquoise, yellow, white), 8..15 its further colour values (black, shown as
// grey so that it stays visible on the black screen, deep blue, orange,
// purple, pale green, pale turquoise, light grey, white).
constexpr std::array<std::int64_t, 16> kPalette = {
    rgb(0x00, 0x00, 0x00), rgb(0x50, 0x8C, 0xFF), rgb(0xFF, 0x40, 0x40), rgb(0xFF, 0x70, 0xD0),
    rgb(0x30, 0xE0, 0x30), rgb(0x40, 0xE0, 0xE0), rgb(0xFF, 0xFF, 0x40), rgb(0xFF, 0xFF, 0xFF),
    rgb(0x70, 0x70, 0x70), rgb(0x20, 0x40, 0xC0), rgb(0xFF, 0x90, 0x00), rgb(0xA0, 0x40, 0xFF),
    rgb(0x90, 0xFF, 0x90), rgb(0xA0, 0xFF, 0xFF), rgb(0xA0, 0xA0, 0xA0), rgb(0xF0, 0xF0, 0xF0),
};

constexpr std::uint8_t kBlack = 0;
constexpr std::uint8_t kBlue = 1;
constexpr std::uint8_t kRed = 2;
constexpr std::uint8_t kGreen = 4;
constexpr std::uint8_t kTurquoise = 5;
constexpr std::uint8_t kYellow = 6;
constexpr std::uint8_t kWhite = 7;
constexpr std::uint8_t kGrey = 8;
constexpr std::uint8_t kDeepBlue = 9;
constexpr std::uint8_t kOrange = 10;

}  // namespace

SessionOptions standardSessionOptions() {
    SessionOptions o;
    for (int i = 0; i < 16; ++i)
        o.setNumber(static_cast<Field>(static_cast<int>(Field::Color0) + i),
                    kPalette[static_cast<std::size_t>(i)]);
    o.setNumber(Field::Brightness, 128);

    // Host colours: each value in its own palette colour on black; 0xF0
    // (black) in grey like 0xF8.
    for (int i = 0; i < 16; ++i)
        o.setItemColors(i, static_cast<std::uint8_t>(i == 0 ? kGrey : i), kBlack);
    o.setItemColors(kLowUnprotectedItem, kGreen, kBlack);
    o.setItemColors(kHighUnprotectedItem, kRed, kBlack);
    o.setItemColors(kLowProtectedItem, kBlue, kBlack);
    o.setItemColors(kHighProtectedItem, kWhite, kBlack);
    o.setItemColors(kDefaultColorItem, kGreen, kBlack);
    o.setItemColors(kStatusBarItem, kWhite, kGrey);
    o.setItemColors(kHorizontalRuleItem, kTurquoise, kBlack);
    o.setItemColors(kVerticalRuleItem, kTurquoise, kBlack);
    // A border background of 8 or above lets the session's icon colour show there.
    o.setItemColors(kScreenBorderItem, kWhite, kDeepBlue);
    o.setItemColors(kSpecifiedCursorItem, kOrange, kBlack);
    o.setItemColors(kFindHighlightingItem, kYellow, kBlack);

    const std::pair<Field, std::int64_t> numbers[] = {
        {Field::WindowState, 0},
        {Field::WindowLeft, 40},
        {Field::WindowTop, 40},
        {Field::WindowWidth, 840},
        {Field::WindowHeight, 600},
        {Field::Port, 23},
        {Field::ConnectionTimeout, 30},
        {Field::BorderSize, 4},
        {Field::NumberOfCopyBuffers, 1},
        {Field::SaveScreenAction, 0},
        {Field::ShowWindowOnUpdate, 0},
        {Field::AskBeforeClosing, 1},
        {Field::ShowToolTips, 1},
        {Field::TerminalModel, 0},
        {Field::KeyClickOnError, 1},
        {Field::Alarm, 1},
        {Field::UpdateNotification, 0},
        {Field::BlinkingText, 0},
        {Field::AutoKeyboardUnlock, 0},
        {Field::ResetInsertOnActionKey, 1},
        {Field::ToggleInsertKey, 1},
        {Field::RowColOnStatusLine, 1},
        {Field::ModifyColInIspfEdit, 0},
        {Field::PrefixInputWithSpaces, 0},
        {Field::ConvertNullsToBlanks, 0},
        {Field::EnableAutoSkip, 0},
        {Field::NumericFieldLock, 0},
        {Field::AllUpperCase, 0},
        {Field::TypeAhead, 1},
        {Field::NormalCursor, 0},
        {Field::NormalCursorSize, 6},
        {Field::NormalCursorBlink, 1},
        {Field::InsertCursor, 0},
        {Field::InsertCursorSize, 1},
        {Field::InsertCursorBlink, 1},
        {Field::Ruler, 0},
        {Field::LocateCursor, 0},
        {Field::SizeWindowToFont, 1},
        {Field::KeepFontConstantOnModeSwitch, 1},
        {Field::CutDelete, 0},
        {Field::Paste, 0},
        {Field::MouseMoveBeforeSelection, 3},
        {Field::UseAltForMenu, 0},
        {Field::AutoReconnect, 1},
        {Field::ShowFieldAttributes, 0},
        {Field::MoveCursorOnActivate, 1},
        {Field::SkipAtEndOfField, 1},
        {Field::ToggleShiftCaps, 1},
        {Field::Icon, 0},
        {Field::ToolBarHidden, 0},
        {Field::MenuBarHidden, 0},
        {Field::NotifyUserOnInsertError, 1},
        {Field::DebugWindowLeft, 10},
        {Field::DebugWindowTop, 10},
        {Field::DebugWindowWidth, 200},
        {Field::DebugWindowHeight, 300},
        {Field::Tn3270e, 1},
        {Field::After, 0},
        {Field::TransferBlockSize, 2500},
        {Field::UserModelHeight, 24},
        {Field::UserModelWidth, 80},
        {Field::CursorColor, 0},
        {Field::MoveCursorToEndOnPaste, 0},
        {Field::KeypadAtStart, 0},
        {Field::KeypadAtPreviousPosition, 0},
        {Field::KeypadLeft, 100},
        {Field::KeypadTop, 100},
        {Field::NormalCursorBackspace, 0},
        {Field::InsertCursorBackspace, 0},
        {Field::EnableDragAndDrop, 1},
        {Field::EnableAutoCutCopy, 0},
        {Field::DftMode, 1},
        {Field::FindOptions, 0},
        {Field::DefaultModeWidth, 80},
        {Field::DefaultModeHeight, 24},
        {Field::FixedCellSize, 0},
        {Field::SaveDialogPositions, 1},
        {Field::SecurityLevel, 0},
        {Field::ScreenBuffers, 20},
        {Field::HostInitiatedPrinting, 0},
        {Field::TrueType, 0},
        {Field::FormatAsHtml, 0},
        {Field::RecordInRexx, 0},
    };
    for (const auto& [field, value] : numbers)
        o.setNumber(field, value);

    const std::pair<Field, const char*> texts[] = {
        {Field::SessionName, ""},
        {Field::HostName, ""},
        {Field::WindowTitle, "Cedar TN3270 &WINDOWID - &HOSTNAME"},
        {Field::StatusLine, "&SESSNAME"},
        {Field::FontName, "Cedar Thick Fonts"},
        {Field::UpProgram, "IND$FILE"},
        {Field::UpAdditionalParameters, ""},
        {Field::DownProgram, "IND$FILE"},
        {Field::DownAdditionalParameters, ""},
        {Field::UserName, ""},
        {Field::Screen, "USA/Canada 037"},
        {Field::PcCodePage, "ANSI 1252"},
        {Field::Keyboard, "USA/Canada 037"},
        {Field::IpName, ""},
        {Field::ListCatalogCommand, "listcat"},
        {Field::ListDatasetCommand, "listds"},
        {Field::ListMemberCommand, "list"},
        {Field::FixedCellSizeText, ""},
        {Field::LuName, ""},
        {Field::SessionFile, "standard.ses"},
        {Field::EditKeyboard, "standard.key"},
        {Field::EditToolBar, "standard.bar"},
        {Field::FileName, "screen.txt"},
        {Field::StartupMacro, "(none)"},
        {Field::EditKeypad, "standard.pad"},
        {Field::AlarmSound, "(pc speaker - high)"},
        {Field::KeyClickSound, "(pc speaker - low)"},
        {Field::UpdateSound, "(pc speaker - medium)"},
        {Field::PrinterName, "<default>"},
        {Field::BorderText, ""},
        {Field::TrueTypeFontName, "IBM 3270"},
    };
    for (const auto& [field, value] : texts)
        o.setText(field, value);

    PrintProfile profile;
    profile.face = "Courier New";
    profile.left.fill(5);
    profile.top.fill(5);
    profile.right.fill(95);
    profile.bottom.fill(95);
    for (int i = 0; i < PrintProfile::kCount; ++i)
        o.setPrintProfile(i, profile);
    return o;
}

std::string standardFilesIni() {
    return "; Folder settings of Cedar TN3270, read once at start from the program's folder.\r\n"
           "; An empty value takes the default folder. A value may begin with an\r\n"
           "; environment variable in percent signs, for example %USERPROFILE%.\r\n"
           "; UseAppdata=1 puts the default user folder under the application-data folder\r\n"
           "; instead of the documents folder.\r\n"
           "[Cedar]\r\n"
           "AppData=\r\n"
           "KeyData=\r\n"
           "Documents=\r\n"
           "Macros=\r\n"
           "CDR=\r\n"
           "Screens=\r\n"
           "Help=\r\n"
           "Certs=\r\n"
           "UseAppdata=0\r\n";
}

}  // namespace cedar::sessionfile
