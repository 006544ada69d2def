// Keyboard (.key), toolbar (.bar) and keypad (.pad) layout files.
//
// Every file starts with a 24-byte header: "Cedar ", the type name
// ("Keytable", "Toolbar", "KeyPad"), " V1.26" (" V1.28" for a keyboard of 150
// keys) and blanks up to 24 bytes, no NUL. The rest of the file is the block,
// held in memory exactly as stored and limited to 65,536 bytes:
//
//   keyboard  N keys x 4 key words (16-bit LE: plain, Shift, Ctrl, Alt),
//             N = 119 (V1.26 and older) or 150 (V1.28), then the macro-name list
//   toolbar,  flags (1), button count (1), offset of the macro-name list (2),
//   keypad    the button entries, then the macro-name list
//
// The macro-name list is NUL-terminated names ended by an empty name; a
// MACRO key word's code is the index of its name, so a list holds at most 256
// names. Files older than V1.26 store a count byte and 8-byte names instead;
// they are converted when loaded.
//
// No file access here: callers hand in the file's bytes (or a source that
// reads files by name) and write the bytes given back.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "keyboard/key_list.h"
#include "keyboard/key_word.h"
#include "screen/code_pages.h"

namespace cedar::keys {

enum class LayoutType : std::uint8_t { Keyboard = 0, Toolbar = 1, Keypad = 2 };

inline constexpr std::size_t kLayoutHeaderSize = 24;
inline constexpr std::size_t kLayoutBlockSize = 65536;
inline constexpr int kMaxMacroNames = 256;
inline constexpr int kStandardKeyCount = 119;
inline constexpr int kExtendedKeyCount = 150;
inline constexpr int kKeyColumns = 4;
inline constexpr std::size_t kKeyEntrySize = 8;

// Button blocks.
inline constexpr std::size_t kButtonBlockHeaderSize = 4;
inline constexpr std::size_t kButtonWordsOffset = 8;
inline constexpr std::size_t kButtonEntryMinSize = 16;  // up to the four key words
inline constexpr std::size_t kButtonPictureOffset = 16;
inline constexpr std::uint8_t kSpacerButton = 0x04;
inline constexpr std::uint8_t kKeypadShowHelp = 0x40;
inline constexpr std::uint8_t kKeypadStayOpen = 0x80;

// "Keytable", "Toolbar", "KeyPad".
std::string_view layoutTypeName(LayoutType type);
// "standard.key", "standard.bar", "standard.pad".
std::string_view defaultLayoutName(LayoutType type);
// The 24-byte header; `extendedKeyboard` writes "V1.28" (keyboards of 150 keys).
std::array<std::uint8_t, kLayoutHeaderSize> layoutHeader(LayoutType type,
                                                         bool extendedKeyboard = false);

// "%s is not a valid Cedar %s" (file name, type name).
KeyFileMessage layoutInvalidMessage(std::string_view fileName, LayoutType type);
// A file whose block would not fit the 65,536 bytes it is held in.
KeyFileMessage layoutTooLargeMessage(std::string_view fileName, LayoutType type);
// "Error %d while saving %s".
KeyFileMessage layoutSaveErrorMessage(int errorCode, std::string_view fileName);

struct LayoutLoadOptions {
    // The program setting "AdditionalKeys": a V1.26 keyboard grows to 150 keys.
    bool additionalKeys = false;
    // The country file's KEYLAYOUT records, applied to a loaded keyboard.
    std::span<const KeyLayoutRecord> countryLayout;
};

enum class SaveHow {
    CurrentName,  // words stand as they are, country characters included
    FileDialog,   // words changed by the country layout are put back first
};

// One toolbar or keypad button as stored in its block.
struct ButtonEntry {
    std::size_t offset = 0;  // from the block's start
    std::size_t size = 0;    // bytes, the offset of the next entry
    std::uint8_t flags = 0;  // kSpacerButton or 0
    int x = 0;
    int y = 0;
    std::array<KeyWord, kKeyColumns> words{};
    std::span<const std::uint8_t>
        picture;  // the entry from byte 16 on (bitmap header, colours, rows)
    bool spacer() const { return flags == kSpacerButton; }
};

class LayoutBlock {
  public:
    // An empty block: a keyboard of 119 keys without functions, or a button
    // block without buttons; both with an empty macro-name list.
    explicit LayoutBlock(LayoutType type);

    LayoutType type() const { return type_; }

    // Replaces the block with a file's. Refused, with the block left as it
    // was: a header too short or of another type, a block over 65,536 bytes,
    // a map, button entry or list offset beyond the file, a macro-name list
    // without its closing empty name or with more than 256 names.
    std::optional<KeyFileMessage> load(std::span<const std::uint8_t> file,
                                       std::string_view fileName,
                                       const LayoutLoadOptions& options = {});
    // Replaces the block with a body built elsewhere (an editor, a palette),
    // checked as load() checks a file's. False leaves the block as it was.
    bool assignBody(std::span<const std::uint8_t> body, int keyCount = kStandardKeyCount);

    // The header and the block up to the end of its macro-name list.
    std::vector<std::uint8_t> fileBytes() const;
    // What a save writes. Keyboard: a save through the file dialog first puts
    // back the words the country layout changed; after either save the
    // country layout is applied again (remembering the words as they stand).
    std::vector<std::uint8_t> saveBytes(SaveHow how,
                                        std::span<const KeyLayoutRecord> countryLayout);

    // The block up to the end of its macro-name list.
    std::span<const std::uint8_t> bytes() const { return block_; }

    // Macro-name list.
    std::size_t listOffset() const { return listOffset_; }
    // The offset just after the list's closing empty name.
    std::size_t layoutSize() const { return block_.size(); }
    int macroCount() const { return macroCount_; }
    std::optional<std::string> macroNameAt(int index) const;
    // Case-insensitive; -1 when absent.
    int macroIndex(std::string_view name) const;
    // Appends a name; its index. Refused (nothing) for an empty name or one
    // holding a NUL, a 257th name, or a block that would pass 65,536 bytes.
    std::optional<int> addMacroName(std::string_view name);

    // Keyboard map. Words outside the map read as the no-function word.
    int keyCount() const { return keyCount_; }
    KeyWord word(int key, int column) const;
    bool setWord(int key, int column, KeyWord word);
    // Makes every column of the KEYLAYOUT keys whose word lacks the Assigned
    // flag a CHAR of the country's character (columns 2 and 3 both take the
    // third; a character 00 leaves the word), keeping its flags, and
    // remembers the words it replaced. A key
    // whose column-0 word has the Num-Lock flag takes the record on its Num
    // Lock index instead.
    void applyCountryLayout(std::span<const KeyLayoutRecord> records);
    // Puts back the remembered kinds and codes of words that still lack the
    // Assigned flag (a word assigned since keeps its new function).
    void restoreCountryWords();

    // Button blocks.
    std::uint8_t blockFlags() const;
    void setBlockFlags(std::uint8_t flags);
    int buttonCount() const;
    std::optional<ButtonEntry> button(int index) const;
    bool setButtonWord(int index, int column, KeyWord word);

  private:
    struct Remembered {
        int key;
        int column;
        KeyWord word;
    };

    LayoutType type_;
    std::vector<std::uint8_t> block_;
    std::size_t listOffset_ = 0;
    int macroCount_ = 0;
    int keyCount_ = 0;
    std::vector<Remembered> remembered_;
};

// Reads layout files by name from the user's key data folder.
class LayoutFileSource {
  public:
    virtual ~LayoutFileSource() = default;
    // The file's bytes, or nothing when it cannot be opened.
    virtual std::optional<std::vector<std::uint8_t>> read(const std::string& name) = 0;
};

struct LayoutLoadOutcome {
    bool loaded = false;
    // To show the operator, in order (a default file standing in for a
    // missing one is announced even when it loads).
    std::vector<KeyFileMessage> messages;
    // The session's file name for the type becomes this (and the session
    // file is saved) when the default file stood in for a missing one.
    std::optional<std::string> newFileName;
};

// Loads the named layout file; a missing file other than the default one
// falls back to the default name. A failed load leaves the block as it was.
LayoutLoadOutcome loadLayoutByName(LayoutBlock& block, const std::string& name,
                                   LayoutFileSource& source, const LayoutLoadOptions& options = {});

// keyText with the macro names of a block's list.
std::string keyText(const KeyList& list, KeyWord word, const LayoutBlock& block);

}  // namespace cedar::keys
