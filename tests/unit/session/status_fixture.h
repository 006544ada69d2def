// A session with its record, identity and facts for the system variable and
// status line tests: every fact a plain member the test sets.
#pragma once

#include <string>

#include "session/session.h"
#include "session/system_variables.h"
#include "sessionfile/session_options.h"

namespace cedar::test {

class FixedIdentity : public SessionIdentity {
  public:
    int index() const override { return id; }
    int id = kNoIndex;
};

class PlainFacts : public SessionFacts {
  public:
    const ConnectionInfo* connection() const override { return connected ? &info : nullptr; }
    const ProtocolState* protocol() const override { return &protocolState; }
    int socket() const override { return socketNumber; }
    CellSize cellSize() const override { return cell; }
    std::int64_t lastTransactionMs() const override { return transactionMs; }
    int lastInputLength() const override { return inputLength; }
    std::string localName() const override { return local; }
    std::string localAddress() const override { return localAddr; }
    std::optional<Selection> selection() const override { return box; }
    std::uint8_t lastScanCode() const override { return scanCode; }
    std::string passedKey() const override { return passed; }
    std::string transferHighLevelQualifier() const override { return hli; }
    std::string transferDataSet() const override { return dsn; }
    ScreenMatch lastOnScreenMatch() const override { return match; }
    std::string printStatus() const override { return print; }
    int shiftState() const override { return shift; }
    int keepAliveSeconds() const override { return keepAlive; }
    std::string macroName() const override { return macro; }
    std::bitset<kSessionIds> openWindows() const override { return windows; }

    bool connected = false;
    ConnectionInfo info;
    ProtocolState protocolState;
    int socketNumber = 0;
    CellSize cell;
    std::int64_t transactionMs = 0;
    int inputLength = 0;
    std::string local, localAddr;
    std::optional<Selection> box;
    std::uint8_t scanCode = 0;
    std::string passed, hli, dsn, print, macro;
    ScreenMatch match;
    int shift = 0;
    int keepAlive = 0;
    std::bitset<kSessionIds> windows;
};

struct StatusRig {
    explicit StatusRig(int rows = 24, int columns = 80) {
        session.options.defaultRows = rows;
        session.options.defaultColumns = columns;
        session.applySizeOptions();
        session.screen.eraseScreen(SizeMode::Default);
    }
    Session session;
    sessionfile::SessionOptions options;
    FixedIdentity identity;
    PlainFacts facts;
    SystemVariables variables{session, options, identity, facts};

    void setCursor(int row, int column) {
        session.screen.setCursor(row * session.screen.columns() + column);
    }
};

}  // namespace cedar::test
