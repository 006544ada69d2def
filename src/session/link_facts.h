// The system variables' facts in the running program: the connection and its
// Telnet state read from the session's HostLink, and the rest kept here by
// the parts that know them (the window sets the cell size, the selection and
// the shift state; the keyboard the last scan code; ...).
#pragma once

#include "session/host_link.h"
#include "session/system_variables.h"

namespace cedar {

class LinkFacts : public SessionFacts {
  public:
    explicit LinkFacts(const HostLink& link) : link_(link) {}

    const ConnectionInfo* connection() const override {
        return link_.connected() ? &link_.info() : nullptr;
    }
    const ProtocolState* protocol() const override { return &link_.protocol(); }
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

  private:
    const HostLink& link_;
};

}  // namespace cedar
