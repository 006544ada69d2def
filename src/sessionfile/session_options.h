// The session options record: the 7,004 bytes that follow the header of a
// session file (.ses), kept byte for byte so that bytes no field names
// (reserved bytes, the transfer blocks, anything a later version adds) are
// written back exactly as they were read.
//
// Every named field is reachable through `Field`, through its descriptor
// (name, offset, size, type) and, for the options macros read and write, by
// the option's upper-case name ("HOSTNAME", "ROW/COLONSTATUSLINE"). Fields
// that are not macro options carry names of the same style ("PORT",
// "IPNAME") and are marked as such.
//
// Numbers are little-endian. Texts are single-byte (Windows-1252) and
// NUL-terminated inside their fixed field, so a field of n bytes holds at most
// n - 1 characters: reading stops at the first NUL or before the field's last
// byte, writing refuses a longer text.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace cedar::sessionfile {

inline constexpr std::size_t kRecordSize = 7004;

enum class FieldType : std::uint8_t {
    Text,    // NUL-terminated single-byte text
    Byte,    // 0..255
    Int16,   // signed, 2 bytes
    UInt16,  // unsigned, 2 bytes
    Int32,   // signed, 4 bytes
    UInt32,  // unsigned, 4 bytes
    Color,   // blue, green, red, 0; as a number red x 65536 + green x 256 + blue
    Block,   // bytes whose layout belongs to the user of the field
};

// Every named field of the record, in offset order.
enum class Field : std::uint8_t {
    Color0,
    Color1,
    Color2,
    Color3,
    Color4,
    Color5,
    Color6,
    Color7,
    Color8,
    Color9,
    Color10,
    Color11,
    Color12,
    Color13,
    Color14,
    Color15,
    WindowState,  // 0 normal, 2 maximized
    WindowLeft,
    WindowTop,
    WindowWidth,
    WindowHeight,
    Port,
    ConnectionTimeout,
    BorderSize,
    NumberOfCopyBuffers,
    Reserved,
    SessionName,
    HostName,
    WindowTitle,
    StatusLine,
    SaveScreenAction,  // SAVESCREENANDCAPTUREFUNCTIONS and its other names
    ShowWindowOnUpdate,
    AskBeforeClosing,
    ShowToolTips,
    TerminalModel,  // 0..3 = models 2..5, 4 = user-defined size
    KeyClickOnError,
    Alarm,
    UpdateNotification,
    BlinkingText,
    AutoKeyboardUnlock,
    ResetInsertOnActionKey,
    ToggleInsertKey,
    RowColOnStatusLine,
    ModifyColInIspfEdit,
    PrefixInputWithSpaces,
    ConvertNullsToBlanks,
    EnableAutoSkip,
    NumericFieldLock,
    AllUpperCase,
    TypeAhead,
    NormalCursor,
    NormalCursorSize,
    NormalCursorBlink,
    InsertCursor,
    InsertCursorSize,
    InsertCursorBlink,
    Ruler,
    LocateCursor,
    FontName,
    SizeWindowToFont,
    KeepFontConstantOnModeSwitch,
    ItemForegrounds,  // 32 palette indexes, one per colour item
    ItemBackgrounds,
    CutDelete,
    Paste,
    MouseMoveBeforeSelection,
    UpProgram,
    UpAdditionalParameters,
    DownProgram,
    DownAdditionalParameters,
    UseAltForMenu,
    AutoReconnect,
    Brightness,  // 128 leaves the colours unchanged
    UserName,
    ShowFieldAttributes,
    MoveCursorOnActivate,
    SkipAtEndOfField,
    ToggleShiftCaps,
    Icon,  // icon number in the low 7 bits, bit 7 once one was chosen
    ToolBarHidden,
    MenuBarHidden,
    Screen,
    PcCodePage,
    Keyboard,
    NotifyUserOnInsertError,
    PrintProfiles,  // six profiles of 51 bytes, see PrintProfile
    DebugWindowLeft,
    DebugWindowTop,
    DebugWindowWidth,
    DebugWindowHeight,
    IpName,
    Tn3270e,
    After,
    TransferBlockSize,
    UserModelHeight,
    UserModelWidth,
    ListCatalogCommand,
    ListDatasetCommand,
    CursorColor,
    ListMemberCommand,
    MoveCursorToEndOnPaste,
    KeypadAtStart,
    KeypadAtPreviousPosition,
    KeypadLeft,
    KeypadTop,
    NormalCursorBackspace,
    InsertCursorBackspace,
    EnableDragAndDrop,
    EnableAutoCutCopy,
    DftMode,
    FindOptions,
    DefaultModeWidth,   // columns; 0 is read as 80
    DefaultModeHeight,  // rows; 0 is read as 24
    FixedCellSize,
    FixedCellSizeText,  // "%d x %d"
    LuName,
    SaveDialogPositions,
    OptionsDialogLeft,
    OptionsDialogTop,
    LayoutEditorLeft,
    LayoutEditorTop,
    SessionDialogLeft,
    SessionDialogTop,
    TransferDialogLeft,
    TransferDialogTop,
    OtherTransferDialogLeft,
    OtherTransferDialogTop,
    SessionFile,
    EditKeyboard,
    EditToolBar,
    FileName,
    StartupMacro,  // "(none)" for none
    EditKeypad,
    AlarmSound,
    KeyClickSound,
    UpdateSound,
    SecurityLevel,  // 0 none, 1 highest available, 2 TLS 1.0, 3 TLS 1.1, 4 TLS 1.2
    PrinterName,    // "<default>" for the default printer
    BorderText,
    ScreenBuffers,
    HostInitiatedPrinting,
    TrueType,
    TrueTypeFontName,
    FormatAsHtml,
    RecordInRexx,
};

struct FieldInfo {
    Field field;
    std::string_view name;  // upper case; the macro option name where there is one
    std::uint16_t offset;   // from the start of the record
    std::uint16_t size;     // bytes, a text's terminator included
    FieldType type;
    bool macroOption;  // GETOPTION and SETOPTION reach it under `name`
};

// All fields in offset order; fields()[i].field == Field(i).
std::span<const FieldInfo> fields();
const FieldInfo& info(Field field);
// A field by its name or one of the other names of the same option ("FILE",
// "SAVEFILEACTION", ...), compared without regard to case.
std::optional<Field> fieldByName(std::string_view name);

// Colour items (Colors page): 32 of them, items 0..26 in use.
inline constexpr int kColorItems = 32;
inline constexpr int kLowUnprotectedItem = 16;
inline constexpr int kHighUnprotectedItem = 17;
inline constexpr int kLowProtectedItem = 18;
inline constexpr int kHighProtectedItem = 19;
inline constexpr int kDefaultColorItem = 20;
inline constexpr int kStatusBarItem = 21;
inline constexpr int kHorizontalRuleItem = 22;
inline constexpr int kVerticalRuleItem = 23;
inline constexpr int kScreenBorderItem = 24;
inline constexpr int kSpecifiedCursorItem = 25;
inline constexpr int kFindHighlightingItem = 26;

// One print profile (six in the record: models 2..5, other sizes, file prints).
struct PrintProfile {
    static constexpr std::size_t kSize = 51;
    static constexpr std::size_t kFaceSize = 33;
    static constexpr int kCount = 6;

    std::string face;              // up to 32 characters
    std::uint8_t orientation = 0;  // 0 the printer's own, 1 portrait, 2 landscape
    std::uint8_t twoUp = 0;
    // Edges of the print area in percent, one per layout (portrait,
    // landscape, portrait two-up, landscape two-up).
    std::array<std::uint8_t, 4> left{};
    std::array<std::uint8_t, 4> top{};
    std::array<std::uint8_t, 4> right{};
    std::array<std::uint8_t, 4> bottom{};

    bool operator==(const PrintProfile&) const = default;
};

class SessionOptions {
  public:
    using Bytes = std::array<std::uint8_t, kRecordSize>;

    SessionOptions() = default;  // every byte 0
    explicit SessionOptions(const Bytes& bytes) : bytes_(bytes) {}

    const Bytes& bytes() const { return bytes_; }
    Bytes& bytes() { return bytes_; }

    // Texts: at most size - 1 characters, up to the first NUL. Only for Text fields.
    std::string text(Field field) const;
    // False (and nothing written) when the field is not a text, the text does
    // not fit, or it holds a NUL. Writing a different text clears the rest of
    // the field; writing the same text changes no byte.
    bool setText(Field field, std::string_view value);

    // Numbers of every numeric type, colours as red x 65536 + green x 256 + blue.
    std::int64_t number(Field field) const;
    // False when the field is not numeric or the value is outside its type's range.
    bool setNumber(Field field, std::int64_t value);

    // The bytes of any field.
    std::span<const std::uint8_t> raw(Field field) const;
    std::span<std::uint8_t> raw(Field field);

    // Palette indexes of a colour item (item 0..31; other items read as 0 and
    // are not written).
    std::uint8_t itemForeground(int item) const;
    std::uint8_t itemBackground(int item) const;
    void setItemColors(int item, std::uint8_t foreground, std::uint8_t background);
    void setItemForeground(int item, std::uint8_t foreground);

    PrintProfile printProfile(int index) const;  // index 0..5
    // False when the index is not 0..5 or the face does not fit or holds a NUL.
    bool setPrintProfile(int index, const PrintProfile& profile);

    bool operator==(const SessionOptions&) const = default;

  private:
    Bytes bytes_{};
};

}  // namespace cedar::sessionfile
