// Readers of the readable sources of the shipped key files:
// data/keys/functions.txt (the key list) and data/keys/standard-key.txt (the
// default keyboard layout). Each reports the first problem with its line.
#pragma once

#include <string>
#include <string_view>

#include "keyboard/key_list.h"
#include "keyboard/layout_file.h"

namespace cedar::keys::sources {

struct SourceError {
    int line = 0;
    std::string text;
};

// Lines "kind | code | flags | name | description". Each kind's codes run
// from 0 without gaps, and the tables hold exactly the functions of key_word.h.
bool parseFunctions(std::string_view text, KeyListTables& out, SourceError& error);

// Lines "key | plain | Shift | Ctrl | Alt" with function names from `list`.
bool parseKeyboardLayout(std::string_view text, const KeyList& list, LayoutBlock& out,
                         SourceError& error);

}  // namespace cedar::keys::sources
