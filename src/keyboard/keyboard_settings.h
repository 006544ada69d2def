// The session options and program settings that the key functions consult,
// as one plain record. The session fills it from its session file and
// cedar.ini; "Wang", "WordWrapAlways" and "WordWrapDefault" are read from the
// presentation space's ScreenSettings instead, so that the screen and the
// keyboard never disagree about them.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace cedar {
struct Settings;
}
namespace cedar::sessionfile {
class SessionOptions;
}

namespace cedar::keys {

struct KeyboardSettings {
    // Session options (session file), by their option names.
    bool typeAhead = false;               // TYPEAHEAD
    bool autoKeyboardUnlock = false;      // AUTOKEYBOARDUNLOCK
    bool resetInsertOnActionKey = false;  // RESETINSERTONACTIONKEY
    bool keyClickOnError = false;         // KEYCLICKONERROR
    bool toggleInsertKey = false;         // TOGGLEINSERTKEY
    int normalCursorBackspace = 0;        // NORMALCURSORBACKSPACE: 0 move, 1 delete, 2 destruct
    int insertCursorBackspace = 0;        // INSERTCURSORBACKSPACE
    bool prefixInputWithSpaces = false;   // PREFIXINPUTWITHSPACES
    bool enableAutoSkip = false;          // ENABLEAUTOSKIP
    bool skipAtEndOfField = false;        // SKIPATENDOFFIELD
    bool numericFieldLock = false;        // NUMERICFIELDLOCK
    bool allUpperCase = false;            // ALLUPPERCASE

    // Program settings (cedar.ini), by their keys.
    int attentionMethod = 0;                // "AttentionMethod"
    bool attentionReset = false;            // "AttentionReset"
    std::string attnTn3270e = "FFF4";       // "AttnTN3270E"
    std::string attnTn3270 = "FFF3";        // "AttnTN3270"
    std::string sysreqTn3270e = "FFF5";     // "SysreqTN3270E"
    std::string sysreqTn3270 = "FFF5";      // "SysreqTN3270"
    std::array<std::uint8_t, 7> paAids{};   // "PA4" .. "PA10"
    std::array<std::uint8_t, 12> pfAids{};  // "PF25" .. "PF36"
    bool extendedKeys = false;              // "ExtendedKeys"
    bool noResetClock = false;              // "NoResetClock"
    bool allUpperCaseInput = false;         // "AllUpperCaseInput"
    bool autoSkipAllFields = false;         // "AutoSkipAllFields"
    int recordWait = 20;                    // "RecordWait", seconds
};

// Takes the session options of a session file into `settings`.
void applySessionOptions(KeyboardSettings& settings, const sessionfile::SessionOptions& options);

// Takes the program settings (cedar.ini) into `settings`.
void applyProgramSettings(KeyboardSettings& settings, const Settings& program);

}  // namespace cedar::keys
