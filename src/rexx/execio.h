// Commands to the CEDAR environment: the command word and the EXECIO
// command, which moves a REXX stem to or from a file or the clipboard:
//   EXECIO * DISKR file (STEM name.     EXECIO * CLIPR (STEM name.
//   EXECIO * DISKW file (STEM name.     EXECIO * CLIPW (STEM name.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "rexx/rexx_errors.h"

namespace cedar {

// The first word of a command (up to a blank, at most 20 characters) in
// upper case: the command's name.
std::string cedarCommandWord(std::string_view command);

// The words of a command: separated by blanks; a word that starts with a
// double or single quote runs to the matching quote and may hold blanks (a
// doubled quote inside stands for one). An unclosed quote runs to the end.
std::vector<std::string> splitCommandWords(std::string_view text);

// The macro name of "EXECUTE name": everything after the command word,
// without the blanks around it; a quoted name is unquoted.
std::string executeMacroName(std::string_view command);

enum class ExecioOperation { DiskRead, DiskWrite, ClipRead, ClipWrite };

struct ExecioCommand {
    ExecioOperation operation = ExecioOperation::DiskRead;
    std::string file;  // DISKR and DISKW
    std::string stem;  // as written, normally with its period
};

struct ExecioParse {
    RexxError error = RexxError::None;
    ExecioCommand command;
};

// Commands this long or longer are refused (1011).
inline constexpr std::size_t kMaxExecioCommand = 256;

// Reads a whole EXECIO command (the word EXECIO included). Errors: 1011 too
// long, 1012 the count is not "*", 1014 an unknown operation, 1013 no file
// name for DISKR or DISKW, 1018 "(STEM" or the stem name missing or words
// after it.
ExecioParse parseExecio(std::string_view command);

}  // namespace cedar
