// What the main window shows of the session at each refresh: the status
// line's inputs (composed into its buffer by display::composeStatusLine) and
// the expanded window title and border text.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "display/status_line.h"
#include "session/system_variables.h"

namespace cedar {

class SessionDriver;

inline constexpr std::string_view kDefaultWindowTitle = "Cedar TN3270 &WINDOWID - &HOSTNAME";

// The driver's part of the status line.
struct DriverStatus {
    int connectCountdown = 0;
    int connectionTimeout = 0;
    char macroChar = ' ';
};
DriverStatus driverStatusOf(const SessionDriver& driver);

// What the window and other modules keep that the line shows.
struct StatusExtras {
    bool capturing = false;          // screen capture is on
    std::optional<int> copyBuffer;   // the copy buffer in use; none after an attention key
    bool capsLock = false;           // from the window system
    std::int64_t transferBytes = 0;  // TR_DATA
    int screensBack = 0;             // HISTORY
    display::BigNumberFormat byteFormat = display::BigNumberFormat::Plain;  // BigNumberFormat
    display::NumberSeparators separators;                                   // the user's locale
};

// True when the cursor stands in an unprotected numeric field.
bool cursorInNumericField(const PresentationSpace& ps);

display::StatusInputs statusInputsOf(const SystemVariables& variables, const DriverStatus& driver,
                                     const StatusExtras& extras, const std::tm& localTime,
                                     const VariableTable* macroVariables = nullptr);

// WINDOWTITLE expanded (the default title when the session has none).
std::string windowTitleOf(const SystemVariables& variables, const std::tm& localTime,
                          const VariableTable* macroVariables = nullptr);
// BORDERTEXT expanded.
std::string borderTextOf(const SystemVariables& variables, const std::tm& localTime,
                         const VariableTable* macroVariables = nullptr);

}  // namespace cedar
