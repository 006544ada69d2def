// The key list, key.lst: every ACTION, EDIT and OPER key function with its
// code, default flags, name and description. It is read once at start-up;
// macros, the layout editors, button help and the text form of key words take
// their names from it.
//
// File layout (little-endian):
//   0   20  "Cedar Keylist V1.00 " (with the trailing blank)
//   20   4  not read
//   24   2  L, body length (signed 16-bit)
//   26   L  body: A (int16, ACTION table bytes), B (int16, EDIT table bytes),
//           2 bytes not read, then one count byte each for ACTION, EDIT and
//           OPER, then the three tables of 160-byte entries.
//   entry: code (1), default flags (1: bit 0 immediate, bit 1 repeat),
//          name (30, NUL-terminated), description (128, NUL-terminated)
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "keyboard/key_word.h"

namespace cedar::keys {

// A message for the operator: its text and message-box title. Returned, never shown.
struct KeyFileMessage {
    std::string text;
    std::string title;
    bool operator==(const KeyFileMessage&) const = default;
};

// Default flags of a key-list entry (not the key-word flags).
inline constexpr std::uint8_t kDefaultImmediate = 0x01;
inline constexpr std::uint8_t kDefaultRepeat = 0x02;

struct KeyFunction {
    std::uint8_t code = 0;
    std::uint8_t flags = 0;   // kDefaultImmediate, kDefaultRepeat
    std::string name;         // at most kMaxNameLength characters
    std::string description;  // at most kMaxDescriptionLength characters
    bool operator==(const KeyFunction&) const = default;
};

inline constexpr std::string_view kKeyListMagic = "Cedar Keylist V1.00 ";
inline constexpr std::size_t kKeyListHeaderSize = 26;
inline constexpr std::size_t kKeyListBodyHeaderSize = 9;
inline constexpr std::size_t kKeyFunctionSize = 160;
inline constexpr std::size_t kNameFieldSize = 30;
inline constexpr std::size_t kDescriptionFieldSize = 128;
inline constexpr std::size_t kMaxNameLength = kNameFieldSize - 1;
inline constexpr std::size_t kMaxDescriptionLength = kDescriptionFieldSize - 1;

// The three tables a key list holds, in file order.
struct KeyListTables {
    std::vector<KeyFunction> actions;
    std::vector<KeyFunction> edits;
    std::vector<KeyFunction> opers;
    bool operator==(const KeyListTables&) const = default;
};

// "File \"key.lst\" was not found..." for a caller that could not open it.
KeyFileMessage keyListNotFoundMessage();
// The message for a key list with the wrong identification or a broken body.
KeyFileMessage keyListInvalidMessage();

class KeyList {
  public:
    // Reads key.lst from its bytes. A file with another identification, a
    // length or table sizes that do not fit the file, or an entry without its
    // terminating NULs is refused with keyListInvalidMessage(); the list
    // loaded before stays as it was.
    std::optional<KeyFileMessage> load(std::span<const std::uint8_t> file);

    bool empty() const;
    const KeyListTables& tables() const { return tables_; }
    // Entry i of a kind, in file order (the editors' lists). Kinds other than
    // ACTION, EDIT and OPER have no table.
    std::span<const KeyFunction> functions(Kind kind) const;

    // The entry with this code, or nullptr.
    const KeyFunction* keyFunctionByCode(Kind kind, std::uint8_t code) const;
    // Case-insensitive lookup through ACTION, then EDIT, then OPER; the word
    // carries kind and code only. Nothing for an unknown or empty name (the
    // macro error "Invalid Key Function").
    std::optional<KeyWord> keyFunctionByName(std::string_view name) const;

  private:
    void buildIndexes();
    const std::vector<KeyFunction>* table(Kind kind) const;

    KeyListTables tables_;
    // Per kind (ACTION, EDIT, OPER): code -> position in the table, -1 when absent.
    std::array<std::array<std::int16_t, 256>, 3> byCode_{};
};

// The bytes of key.lst for these tables; nothing, with `error` set, when a
// name or description is too long, a table has more than 255 entries or the
// body does not fit the signed 16-bit length.
std::optional<std::vector<std::uint8_t>> writeKeyList(const KeyListTables& tables,
                                                      std::string& error);

// The name of the macro with an index, for MACRO words; nothing when absent.
using MacroNameLookup = std::function<std::optional<std::string>(int index)>;

// The text form of a key word: "A:%s", "E:%s", "O:%s" with the function's
// name, "C:%c" with the character, "M:%s" with the macro name. An unknown
// function or macro gives an empty name; kind 15 and other kinds give "".
std::string keyText(const KeyList& list, KeyWord word, const MacroNameLookup& macroName);

// ASCII case-insensitive equality (names of functions and macros).
bool equalsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace cedar::keys
