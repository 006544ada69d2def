// The numbered errors of the REXX functions and EXECIO. Their texts come from
// rexxerr.lst in the program data; what the user sees is "Error %04d - %s".
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace cedar {

enum class RexxError : int {
    None = 0,
    Unknown = 1000,             // also the return code of every failed EXECIO
    NumberUnreadable = 1001,    // attribute, color, hilite, rawdata, screen, messagebox
    BadValue = 1002,            // not a number where one is needed, or out of range
    ArgumentCount = 1003,       // wrong number of arguments
    UnknownVariable = 1004,     // getvar
    NotSettable = 1005,         // putvar: not CURSORROW, CURSORCOL or CURSORPOS
    UnknownKey = 1006,          // key
    MacroNotReadable = 1007,    // the macro file cannot be read
    WaitTimedOut = 1008,        // wait, waitunlocked
    SetOptionFailed = 1009,     // setoption
    GetOptionFailed = 1010,     // getoption
    CommandTooLong = 1011,      // EXECIO: 256 bytes or longer
    CountNotStar = 1012,        // EXECIO: the count is not "*"
    FileNameMissing = 1013,     // EXECIO DISKR, DISKW: no file name
    UnknownOperation = 1014,    // EXECIO: not DISKR, DISKW, CLIPR or CLIPW
    ReadOpenFailed = 1015,      // EXECIO DISKR
    WriteCreateFailed = 1016,   // EXECIO DISKW
    StemCountNotNumber = 1017,  // EXECIO DISKW, CLIPW: stem.0
    StemMissing = 1018,         // EXECIO: "(STEM" or the stem name missing, or words after it
};

// The message texts by number, read from the text of rexxerr.lst: the first
// line is a heading and skipped; every other line is a four-digit number, one
// separator character and the text. Lines of another form are ignored.
class RexxErrorTexts {
  public:
    RexxErrorTexts() = default;  // no file: every message is the unknown one
    explicit RexxErrorTexts(std::string_view fileText);

    // "Error %04d - %s", or "Error 1000 - Unknown REXX error occurred" for a
    // number the file does not hold.
    std::string message(RexxError error) const;
    std::string message(int number) const;
    std::size_t size() const { return texts_.size(); }

  private:
    std::map<int, std::string> texts_;
};

}  // namespace cedar
