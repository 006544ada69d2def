// The options macros read and write by page and name (GETOPTION and
// SETOPTION, and REXX's getoption and setoption): one table of rows, each
// with its page, name, kind, limit and the follow-up action a change asks
// for. Every row but the three font-size rows reaches the session options
// field of its name (session_options.h); the font-size rows read the
// character cell in force and ask the window for a new one.
//
// A change is made to the record in memory only; it reaches the disk when
// the session's options are saved.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "sessionfile/session_options.h"

namespace cedar::sessionfile {

enum class OptionPage : std::uint8_t {
    General,
    Display,
    Cursor,
    Font,
    Colors,
    CutPaste,
    Print,
    Misc
};

enum class OptionKind : std::uint8_t {
    Text = 1,         // a text of at most `limit` bytes
    Switch = 2,       // 0 or 1
    SmallNumber = 3,  // one byte, 0 ... limit
    Number = 4,       // 16 bits, 0 ... limit
    Colour = 5,       // an RGB value 0 ... 0xFFFFFF
    FontSize = 6,     // the character cell, "W x H"
};

// What follows a successful change.
enum class OptionAction : std::uint8_t {
    None,
    Reconnect,   // tell the user, then connect again with the record in force
    StatusLine,  // refresh the status line
    Repaint,     // repaint the terminal
    CodePage,    // reload the code-page tables
    WindowSize,  // restore the window and fit it to the new cell size
    Layout,      // lay the window out again for the font in force
    History,     // rebuild the screen history
    Keyboard,    // load the keyboard file named by the option
    ToolBar,     // load the tool-bar file and repaint the tool bar
    Keypad,      // load the keypad file
    Colours,     // apply the colour table and repaint
};

struct OptionRow {
    OptionPage page;
    std::string_view name;  // upper case
    OptionKind kind;
    int limit;  // Text: bytes; SmallNumber, Number: the largest value; else unused
    OptionAction action;
};

struct OptionCellSize {
    int width = 0;
    int height = 0;
    bool operator==(const OptionCellSize&) const = default;
};

// A value as macros hand it over: a number or a text.
using OptionValue = std::variant<std::int64_t, std::string>;

enum class OptionError : std::uint8_t {
    None,
    UnknownName,  // no such page, or no such option on the page
    WrongType,    // a text where a number belongs or the other way round
    OutOfRange,   // a number outside the row's range, or an unreadable cell size
    TooLong,      // a text longer than the row allows
};

inline constexpr std::string_view kReconnectMessage =
    "A Reconnect is necessary to put your changes into effect.";
inline constexpr std::string_view kReconnectTitle = "Cedar TN3270 Connection/Session Change";

// What the window (or whatever stands in for it) does for the options.
class OptionEffects {
  public:
    virtual ~OptionEffects() = default;
    // The character cell in force (the font-size rows read it).
    virtual OptionCellSize cellSize() const { return {}; }
    // Carries out `row.action` after the change has been stored. `value` is
    // the value as stored: a font-size row's is the new cell "W x H".
    virtual void optionChanged(const OptionRow& /*row*/, const OptionValue& /*value*/) {}
};

// Every row, page by page in lookup order.
std::span<const OptionRow> optionRows();
std::string_view optionPageName(OptionPage page);
// The first row of the page with that name; page and name without regard to case.
const OptionRow* findOption(std::string_view page, std::string_view name);
// The session options field a row reads and writes; nothing for the font-size rows.
std::optional<Field> optionField(const OptionRow& row);
// The longest text a text row takes: its limit, or less where its field is smaller.
std::size_t optionTextLimit(const OptionRow& row);

// "8 x 16"; reads "8x16", "8 x 16", " 8 X16 " alike (blanks are dropped).
std::string cellSizeText(OptionCellSize size);
std::optional<OptionCellSize> parseCellSize(std::string_view text);

struct OptionRead {
    OptionError error = OptionError::None;
    OptionValue value;
};

// GETOPTION: texts as texts, every other kind as a number but the font
// size, which reads "W x H".
OptionRead getOption(const SessionOptions& record, const OptionEffects& effects,
                     std::string_view page, std::string_view name);
// SETOPTION: checks the value by the row's kind, stores it into the record
// and carries out the row's action. On an error nothing changes and no
// action is taken.
OptionError setOption(SessionOptions& record, OptionEffects& effects, std::string_view page,
                      std::string_view name, const OptionValue& value);

}  // namespace cedar::sessionfile
