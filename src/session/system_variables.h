// The macro language's system variables, each computed from the session at
// the moment it is read: what macros, REXX and the title and status
// templates see of the session, its connection and its window.
#pragma once

#include <bitset>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "host/connection.h"
#include "host/protocol_state.h"
#include "macro/macro_value.h"
#include "macro/variables.h"
#include "session/driver_interfaces.h"
#include "session/session.h"
#include "sessionfile/session_options.h"

namespace cedar {

inline constexpr std::string_view kProgramVersion = "1.30";
inline constexpr std::string_view kProgramVersionDate = "Nov 22 2026";
inline constexpr int kSessionIds = 36;

// The id letter of a session index (0 ... 35 give A ... Z, 0 ... 9), or
// nothing for an index outside them.
std::optional<char> sessionIdChar(int index);

// What the variables read beyond the session and its record: the
// connection, the window and what other parts of the program keep. Every
// answer defaults to "nothing yet" (0, empty, none).
class SessionFacts {
  public:
    struct CellSize {
        int width = 0;
        int height = 0;
    };
    // Rows and columns from 1.
    struct Selection {
        int startRow = 0, startColumn = 0, endRow = 0, endColumn = 0;
    };
    struct ScreenMatch {
        int row = 0, column = 0;
    };

    virtual ~SessionFacts() = default;
    // The connection in force; nullptr while there is none.
    virtual const ConnectionInfo* connection() const { return nullptr; }
    // Telnet and TN3270E state of the connection in force (or the last one).
    virtual const ProtocolState* protocol() const { return nullptr; }
    virtual int socket() const { return 0; }
    virtual CellSize cellSize() const { return {}; }
    // From the attention key to the keyboard restore of the last transaction.
    virtual std::int64_t lastTransactionMs() const { return 0; }
    virtual int lastInputLength() const { return 0; }
    virtual std::string localName() const { return {}; }
    virtual std::string localAddress() const { return {}; }
    virtual std::optional<Selection> selection() const { return std::nullopt; }
    virtual std::uint8_t lastScanCode() const { return 0; }
    virtual std::string passedKey() const { return {}; }
    virtual std::string transferHighLevelQualifier() const { return {}; }
    virtual std::string transferDataSet() const { return {}; }
    virtual ScreenMatch lastOnScreenMatch() const { return {}; }
    virtual std::string printStatus() const { return {}; }
    virtual int shiftState() const { return 0; }  // 0 ... 3
    virtual int keepAliveSeconds() const { return 0; }
    virtual std::string macroName() const { return {}; }  // without its extension
    // The sessions whose windows are open, by index; none set: this
    // session's alone (until the common area tells of the others).
    virtual std::bitset<kSessionIds> openWindows() const { return {}; }
};

// The text transaction times are shown in: tenths of a second, at least
// "0.0" (50 ms gives 0.0, 1,234 ms 1.2, 12,345 ms 12.3).
std::string transactionTimeText(std::int64_t milliseconds);

// The STATUS variable's name of a status; "REJECTED" and "HISTORY" for the
// two states macros have no name for elsewhere.
std::string_view statusVariableName(SessionStatus status);

class SystemVariables {
  public:
    SystemVariables(Session& session, const sessionfile::SessionOptions& options,
                    const SessionIdentity& identity, const SessionFacts& facts)
        : session_(session), options_(options), identity_(identity), facts_(facts) {}

    // The value of a system variable now (no value for SystemVariable::None).
    MacroValue systemValue(SystemVariable id) const;

    // Assignment to CURSORROW, CURSORCOL or CURSORPOS: the cursor moves to
    // row and column (from 0; nullopt keeps that coordinate), kept on the
    // screen.
    void moveCursor(std::optional<int> row, std::optional<int> column);

    // A variable for the title and status templates by its upper-case name:
    // from `macroVariables` when given (system variables computed now),
    // otherwise the predefined entries alone; nothing for an unknown name.
    std::optional<MacroValue> lookup(std::string_view upperName,
                                     const VariableTable* macroVariables = nullptr) const;

    const Session& session() const { return session_; }
    const sessionfile::SessionOptions& options() const { return options_; }
    const SessionFacts& facts() const { return facts_; }

  private:
    std::string hostName() const;
    std::string windowIdList() const;

    Session& session_;
    const sessionfile::SessionOptions& options_;
    const SessionIdentity& identity_;
    const SessionFacts& facts_;
};

}  // namespace cedar
