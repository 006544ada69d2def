#include "sessionfile/macro_options.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>

namespace cedar::sessionfile {

namespace {

using enum OptionKind;
using A = OptionAction;
using P = OptionPage;

// The option table. Pages and names in lookup order; the first row of a
// page with a name wins. Text rows: limit in bytes; number rows: the
// largest value; switches, colours and font sizes: no limit of their own.
constexpr OptionRow kRows[] = {
    // GENERAL
    {P::General, "SESSIONFILE", Text, 260, A::Reconnect},
    {P::General, "SESSIONNAME", Text, 40, A::None},
    {P::General, "HOSTNAME", Text, 64, A::Reconnect},
    {P::General, "WINDOWTITLE", Text, 128, A::None},
    {P::General, "STATUSLINE", Text, 128, A::StatusLine},
    {P::General, "FILENAME", Text, 260, A::None},
    {P::General, "FILE", Text, 260, A::None},
    {P::General, "FILEFORSAVESCREENTODISK", SmallNumber, 3, A::None},
    {P::General, "SAVESCREENANDCAPTUREFUNCTIONS", SmallNumber, 3, A::None},
    {P::General, "FORMATASHTML", Switch, 0, A::None},
    {P::General, "SAVEFILEACTION", SmallNumber, 1, A::None},
    {P::General, "FILEFORSAVESCREENDISK", SmallNumber, 1, A::None},
    {P::General, "EDITKEYBOARD", Text, 260, A::Keyboard},
    {P::General, "EDITTOOLBAR", Text, 260, A::ToolBar},
    {P::General, "EDITKEYPAD", Text, 260, A::Keypad},
    {P::General, "CONNECTIONTIMEOUT", Number, 999, A::None},
    {P::General, "STARTUPMACRO", Text, 260, A::None},
    {P::General, "SHOWWINDOWONUPDATE", Switch, 0, A::None},
    {P::General, "ASKBEFORECLOSING", Switch, 0, A::None},
    {P::General, "SHOWTOOLTIPS", Switch, 0, A::None},
    {P::General, "SAVEDIALOGPOSITIONS", Switch, 0, A::None},
    {P::General, "SCREENBUFFERS", Number, 0, A::History},
    {P::General, "AUTORECONNECT", Switch, 0, A::None},
    {P::General, "USEALTFORMENU", Switch, 0, A::None},
    // DISPLAY
    {P::Display, "TERMINALMODEL", SmallNumber, 4, A::Reconnect},
    {P::Display, "ALARM", Switch, 0, A::None},
    {P::Display, "KEYCLICKONERROR", Switch, 0, A::None},
    {P::Display, "UPDATENOTIFICATION", Switch, 0, A::None},
    {P::Display, "AFTER", Number, 99, A::None},
    {P::Display, "BLINKINGTEXT", SmallNumber, 2, A::Repaint},
    {P::Display, "AUTOKEYBOARDUNLOCK", Switch, 0, A::None},
    {P::Display, "RESETINSERTONACTIONKEY", Switch, 0, A::None},
    {P::Display, "TOGGLEINSERTKEY", Switch, 0, A::None},
    {P::Display, "ROW/COLONSTATUSLINE", Switch, 0, A::StatusLine},
    {P::Display, "MODIFYCOLINISPFEDIT", Switch, 0, A::StatusLine},
    {P::Display, "PREFIXINPUTWITHSPACES", Switch, 0, A::None},
    {P::Display, "CONVERTNULLSTOBLANKS", Switch, 0, A::None},
    {P::Display, "ENABLEAUTOSKIP", Switch, 0, A::None},
    {P::Display, "SKIPATENDOFFIELD", Switch, 0, A::None},
    {P::Display, "MOVECURSORONACTIVATE", Switch, 0, A::None},
    {P::Display, "ALLUPPERCASE", Switch, 0, A::Repaint},
    {P::Display, "TYPEAHEAD", Switch, 0, A::None},
    {P::Display, "NUMERICFIELDLOCK", Switch, 0, A::None},
    {P::Display, "TOGGLESHIFT/CAPS", Switch, 0, A::None},
    {P::Display, "HOSTINITIATEDPRINTING", Switch, 0, A::None},
    // CURSOR
    {P::Cursor, "NORMALCURSOR", SmallNumber, 1, A::Repaint},
    {P::Cursor, "NORMALCURSORSIZE", SmallNumber, 6, A::Repaint},
    {P::Cursor, "NORMALCURSORBLINK", SmallNumber, 2, A::Repaint},
    {P::Cursor, "NORMALCURSORBACKSPACE", SmallNumber, 2, A::Repaint},
    {P::Cursor, "INSERTCURSOR", SmallNumber, 1, A::Repaint},
    {P::Cursor, "INSERTCURSORSIZE", SmallNumber, 6, A::Repaint},
    {P::Cursor, "INSERTCURSORBLINK", SmallNumber, 2, A::Repaint},
    {P::Cursor, "INSERTCURSORBACKSPACE", SmallNumber, 2, A::Repaint},
    {P::Cursor, "RULER", SmallNumber, 3, A::Repaint},
    {P::Cursor, "LOCATECURSOR", SmallNumber, 1, A::None},
    {P::Cursor, "CURSORCOLOR", SmallNumber, 5, A::Repaint},
    // FONT
    {P::Font, "FONTNAME", Text, 32, A::Layout},
    {P::Font, "SIZE", FontSize, 0, A::WindowSize},
    {P::Font, "SIZEWINDOWTOFONT", Switch, 0, A::Layout},
    {P::Font, "KEEPFONTCONSTANTONMODESWITCH", Switch, 0, A::Layout},
    {P::Font, "BORDERSIZE", Number, 99, A::Layout},
    {P::Font, "TRUETYPE", SmallNumber, 1, A::None},
    {P::Font, "TRUETYPEFONTNAME", Text, 32, A::Layout},
    {P::Font, "WIDTH", FontSize, 0, A::WindowSize},
    {P::Font, "HEIGHT", FontSize, 0, A::WindowSize},
    {P::Font, "BORDERTEXT", Text, 128, A::Repaint},
    // COLORS: the 16 entries of the colour table
    {P::Colors, "COLOR0", Colour, 0, A::Colours},
    {P::Colors, "COLOR1", Colour, 0, A::Colours},
    {P::Colors, "COLOR2", Colour, 0, A::Colours},
    {P::Colors, "COLOR3", Colour, 0, A::Colours},
    {P::Colors, "COLOR4", Colour, 0, A::Colours},
    {P::Colors, "COLOR5", Colour, 0, A::Colours},
    {P::Colors, "COLOR6", Colour, 0, A::Colours},
    {P::Colors, "COLOR7", Colour, 0, A::Colours},
    {P::Colors, "COLOR8", Colour, 0, A::Colours},
    {P::Colors, "COLOR9", Colour, 0, A::Colours},
    {P::Colors, "COLOR10", Colour, 0, A::Colours},
    {P::Colors, "COLOR11", Colour, 0, A::Colours},
    {P::Colors, "COLOR12", Colour, 0, A::Colours},
    {P::Colors, "COLOR13", Colour, 0, A::Colours},
    {P::Colors, "COLOR14", Colour, 0, A::Colours},
    {P::Colors, "COLOR15", Colour, 0, A::Colours},
    // CUT/PASTE
    {P::CutPaste, "CUT/DELETE", SmallNumber, 1, A::None},
    {P::CutPaste, "NUMBEROFCOPYBUFFERS", Number, 9, A::None},
    {P::CutPaste, "MOUSEMOVEBEFORESELECTION", SmallNumber, 9, A::None},
    {P::CutPaste, "PASTE", SmallNumber, 2, A::None},
    {P::CutPaste, "NOTIFYUSERONINSERTERROR", Switch, 0, A::None},
    {P::CutPaste, "MOVECURSORTOENDONPASTE", Switch, 0, A::None},
    {P::CutPaste, "ENABLEDRAGANDDROP", Switch, 0, A::None},
    {P::CutPaste, "ENABLEAUTOCUT/COPY", Switch, 0, A::None},
    // PRINT
    {P::Print, "USERNAME", Text, 40, A::None},
    // MISC
    {P::Misc, "SCREEN", Text, 32, A::CodePage},
    {P::Misc, "KEYBOARD", Text, 32, A::CodePage},
    {P::Misc, "UPPROGRAM", Text, 20, A::None},
    {P::Misc, "UPADDITIONALPARAMETERS", Text, 128, A::None},
    {P::Misc, "PCCODEPAGE", Text, 32, A::CodePage},
    {P::Misc, "DOWNPROGRAM", Text, 20, A::None},
    {P::Misc, "DOWNADDITIONALPARAMETERS", Text, 128, A::None},
    {P::Misc, "TRANSFERBLOCKSIZE", Number, 25000, A::None},
};

constexpr std::array<std::string_view, 8> kPageNames = {"GENERAL", "DISPLAY",   "CURSOR", "FONT",
                                                        "COLORS",  "CUT/PASTE", "PRINT",  "MISC"};

// The largest cell either way a macro may ask for.
constexpr int kMaxCellSide = 255;

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

std::optional<OptionPage> pageNamed(std::string_view name) {
    for (std::size_t i = 0; i < kPageNames.size(); ++i)
        if (sameName(kPageNames[i], name)) return static_cast<OptionPage>(i);
    return std::nullopt;
}

// The largest number a numeric row takes.
std::int64_t largestValue(const OptionRow& row) {
    switch (row.kind) {
        case Switch:
            return 1;
        case SmallNumber:
            return std::min(row.limit, 255);
        case Number:
            return std::min(row.limit, 65535);
        case Colour:
            return 0xFFFFFF;
        default:
            return 0;
    }
}

OptionError storeText(SessionOptions& record, const OptionRow& row, const OptionValue& value) {
    const std::string text = std::holds_alternative<std::string>(value)
                                 ? std::get<std::string>(value)
                                 : std::to_string(std::get<std::int64_t>(value));
    if (text.size() > optionTextLimit(row)) return OptionError::TooLong;
    const auto field = optionField(row);
    if (!field || !record.setText(*field, text)) return OptionError::OutOfRange;  // a NUL inside
    return OptionError::None;
}

OptionError storeNumber(SessionOptions& record, const OptionRow& row, const OptionValue& value) {
    if (!std::holds_alternative<std::int64_t>(value)) return OptionError::WrongType;
    const std::int64_t n = std::get<std::int64_t>(value);
    if (n < 0 || n > largestValue(row)) return OptionError::OutOfRange;
    const auto field = optionField(row);
    if (!field || !record.setNumber(*field, n)) return OptionError::OutOfRange;
    return OptionError::None;
}

}  // namespace

std::span<const OptionRow> optionRows() {
    return kRows;
}

std::string_view optionPageName(OptionPage page) {
    const auto i = static_cast<std::size_t>(page);
    return i < kPageNames.size() ? kPageNames[i] : std::string_view{};
}

const OptionRow* findOption(std::string_view page, std::string_view name) {
    const auto p = pageNamed(page);
    if (!p) return nullptr;
    for (const OptionRow& row : kRows)
        if (row.page == *p && sameName(row.name, name)) return &row;
    return nullptr;
}

std::optional<Field> optionField(const OptionRow& row) {
    if (row.kind == FontSize) return std::nullopt;
    return fieldByName(row.name);
}

std::size_t optionTextLimit(const OptionRow& row) {
    const auto field = optionField(row);
    if (row.kind != Text || !field) return 0;
    // A field of n bytes holds n - 1 characters and its terminator.
    const std::size_t room = info(*field).size - 1u;
    return std::min(static_cast<std::size_t>(row.limit), room);
}

std::string cellSizeText(OptionCellSize size) {
    return std::to_string(size.width) + " x " + std::to_string(size.height);
}

std::optional<OptionCellSize> parseCellSize(std::string_view text) {
    std::string packed;
    for (char c : text)
        if (c != ' ' && c != '\t') packed += c;
    const char* p = packed.data();
    const char* end = p + packed.size();
    OptionCellSize size;
    auto [afterWidth, e1] = std::from_chars(p, end, size.width);
    if (e1 != std::errc{} || afterWidth == end || (*afterWidth != 'x' && *afterWidth != 'X'))
        return std::nullopt;
    auto [afterHeight, e2] = std::from_chars(afterWidth + 1, end, size.height);
    if (e2 != std::errc{} || afterHeight != end) return std::nullopt;
    return size;
}

OptionRead getOption(const SessionOptions& record, const OptionEffects& effects,
                     std::string_view page, std::string_view name) {
    const OptionRow* row = findOption(page, name);
    if (!row) return {OptionError::UnknownName, {}};
    if (row->kind == FontSize) return {OptionError::None, cellSizeText(effects.cellSize())};
    const auto field = optionField(*row);
    if (!field) return {OptionError::UnknownName, {}};
    if (row->kind == Text) return {OptionError::None, record.text(*field)};
    return {OptionError::None, record.number(*field)};
}

OptionError setOption(SessionOptions& record, OptionEffects& effects, std::string_view page,
                      std::string_view name, const OptionValue& value) {
    const OptionRow* row = findOption(page, name);
    if (!row) return OptionError::UnknownName;
    OptionError error = OptionError::None;
    OptionValue stored = value;
    switch (row->kind) {
        case Text:
            error = storeText(record, *row, value);
            if (error == OptionError::None) stored = record.text(*optionField(*row));
            break;
        case FontSize: {
            if (!std::holds_alternative<std::string>(value)) return OptionError::WrongType;
            const auto cell = parseCellSize(std::get<std::string>(value));
            if (!cell || cell->width < 1 || cell->height < 1 || cell->width > kMaxCellSide ||
                cell->height > kMaxCellSide)
                return OptionError::OutOfRange;
            stored = cellSizeText(*cell);
            break;
        }
        default:
            error = storeNumber(record, *row, value);
            break;
    }
    if (error != OptionError::None) return error;
    effects.optionChanged(*row, stored);
    return OptionError::None;
}

}  // namespace cedar::sessionfile
