// The session's keyboard as the program loads it at start and after the
// session dialog: the country file's keyboard tables for the session's
// keyboard country, then the session's keyboard file with the country's
// characters applied.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "keyboard/layout_file.h"
#include "screen/code_pages.h"

namespace cedar::keys::qt {

struct KeyboardFolders {
    std::string appData;      // the user's data folder: a country.lst of the user's own
    std::string programData;  // the program's country.lst
    std::string keyData;      // the user's layout files
};

struct SessionKeyboardLoad {
    // False: country.lst is in neither folder; the program cannot go on
    // (the message is the first of `messages`).
    bool countryFileFound = false;
    bool mapLoaded = false;
    // To show the operator, in order.
    std::vector<KeyFileMessage> messages;
    // The default keyboard file stood in for a missing one: the session's
    // EDITKEYBOARD becomes this and the session file is saved.
    std::optional<std::string> newKeyboardFileName;
};

// "File \"country.lst\" was not found.\nYou may need to re-install Cedar."
KeyFileMessage countryFileNotFoundMessage();

// Reads "country.lst" (the user's data folder first, then the program's, at
// most 65,535 bytes) in keyboard mode for `keyboardCountry` into `tables`,
// then the keyboard file `keyboardFile` (EDITKEYBOARD, "standard.key" by
// default) from the key data folder into `map`, as loadLayoutByName does
// (a missing file falls back to "standard.key"). With `additionalKeys` a
// keyboard of 119 keys grows to 150. A failed map load leaves `map` as it was.
SessionKeyboardLoad loadSessionKeyboard(const KeyboardFolders& folders,
                                        const std::string& keyboardFile,
                                        const std::string& keyboardCountry, bool additionalKeys,
                                        CodePages& tables, LayoutBlock& map);

}  // namespace cedar::keys::qt
