// Character conversion between the host (EBCDIC) and the display code, and
// the tables for IND$FILE transfer, all built from the country file.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cedar {

using ByteTable = std::array<std::uint8_t, 256>;

enum class TranslationMode : std::uint8_t {
    Tables = 0,    // use the screen table
    None = 1,      // no translation
    HighOnly = 2,  // translate only bytes 0x80 and above
};

// One record of a keyboard list; the lists end with a record whose first byte is 0xFF.
struct KeyLayoutRecord {
    std::array<std::uint8_t, 12> bytes{};
};
struct KeyScanModifier {
    std::uint8_t key = 0xFF;
    std::uint8_t value = 0;
};
struct KeyEscapeRecord {
    std::array<std::uint8_t, 20> bytes{};
};

struct CodePages {
    ByteTable screenTable{};         // host code -> display code
    ByteTable displayToHostTable{};  // display code -> host code
    ByteTable transferTable{};       // PC character -> host transfer ASCII
    ByteTable transferToPcTable{};   // host transfer ASCII -> PC character
    ByteTable scanCodeTable{};       // keyboard scan code -> key number

    static constexpr std::size_t kKeyLayoutRecords = 40;
    static constexpr std::size_t kKeyScanModRecords = 40;
    static constexpr std::size_t kKeyEscapeRecords = 20;
    std::array<KeyLayoutRecord, kKeyLayoutRecords + 1> keyLayout{};
    std::array<KeyScanModifier, kKeyScanModRecords + 1> keyScanModifiers{};
    std::array<KeyEscapeRecord, kKeyEscapeRecords + 1> keyEscapes{};

    int hostCodePage = 37;
    int hostCharacterSet = 697;
    TranslationMode translationMode = TranslationMode::Tables;

    std::uint8_t hostToDisplay(std::uint8_t b) const {
        switch (translationMode) {
            case TranslationMode::None:
                return b;
            case TranslationMode::HighOnly:
                return b < 0x80 ? b : screenTable[b];
            case TranslationMode::Tables:
            default:
                return screenTable[b];
        }
    }
    // Translates a NUL-terminated text in place; returns its length.
    std::size_t hostToDisplayString(char* text) const;
    std::uint8_t displayToHost(std::uint8_t d) const { return displayToHostTable[d]; }

    // Rebuild the inverse tables (a later host code wins for a shared display code).
    void rebuildInverseScreenTable();
    void rebuildInverseTransferTable();
};

// Which blocks of the country file to take.
struct CountrySelection {
    std::string screenCountry;  // a COUNTRY/OR name
    std::string pcCodePage;     // a TRANSFER name
    std::string keyboardCountry;
};

enum class CountryMode { Dialog = 1, Screen = 2, Keyboard = 4 };

// What the country dialog lists (dialog mode).
struct CountryLists {
    struct ScreenCountry {
        std::string name;
        int codePage = 0;
    };
    std::vector<ScreenCountry> screenCountries;
    std::vector<std::string> keyboards;  // starts with an empty entry
    std::vector<std::string> pcCodePages;
};

// Problems a load noticed; none of them stops the load.
struct CountryLoadReport {
    bool screenTableShort = false;  // a base SCREEN table got fewer than 256 values
    int screenValues = 0;           // how many base SCREEN values were read
    bool screenCountryFound = false;
    bool pcCodePageFound = false;
};

// The reader of "country.lst". The text is the file's bytes; lines may end in
// CR LF or LF alone. Screen mode rewrites the screen and transfer tables,
// keyboard mode the keyboard tables; a table the file leaves untouched keeps
// its contents.
CountryLoadReport loadCountryText(std::string_view text, CountryMode mode,
                                  const CountrySelection& selection, CodePages& pages,
                                  CountryLists* lists = nullptr);

// The fixed EBCDIC-to-ASCII table of the host's file-transfer program.
const ByteTable& hostToTransferAscii();
// Windows-1252 to DOS code page conversion used when the PC code page is a DOS one.
std::uint8_t ansiToDos(std::uint8_t c);

}  // namespace cedar
