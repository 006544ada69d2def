// The demo host's application: which panel a terminal sees and what its keys
// do. It reads the client's inbound records (AID, cursor, modified fields)
// and answers with whole panels.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "data_sets.h"
#include "ind_file_host.h"
#include "panels.h"
#include "tn3270_server.h"

namespace cedar::demo {

// One inbound record of the terminal: the AID, the cursor address and the
// modified fields (the position of their first data character and the data
// in ASCII). A short read (PA keys, Clear) has the AID alone.
struct Inbound {
    std::uint8_t aid = 0;
    int cursor = -1;
    std::map<int, std::string> fields;
};
Inbound parseInbound(std::span<const std::uint8_t> record);

// "enter", "pf1".."pf24", "pa1".."pa3", "clear", or "" for other AIDs.
std::string keyName(std::uint8_t aid);

class DemoApp {
  public:
    // With `dataSets`, the action "command" runs IND$FILE typed on the
    // panel's input line against that store (DFT when the terminal offers
    // it, CUT otherwise), and the listing commands of listings.h over it;
    // without, it answers that no commands run here.
    DemoApp(const PanelSet& panels, const hostside::Terminal& terminal,
            std::function<std::string()> clock, hostside::DataSetStore* dataSets = nullptr);

    struct Reply {
        std::vector<Bytes> records;
        bool close = false;  // end the connection after the records
    };
    // The first panel.
    Reply start();
    Reply handle(std::span<const std::uint8_t> record);

    const std::string& panel() const { return current_; }
    // Whether an IND$FILE transfer has the conversation.
    bool transferring() const { return transfer_ && transfer_->active(); }

  private:
    Reply show(const std::string& name, const std::string& message = {});
    Reply act(const std::string& action, const std::string& key,
              std::span<const std::uint8_t> record);
    Reply command(std::span<const std::uint8_t> record);
    // The output of a listing command, a screen at a time from outputTop_:
    // a full screen with more to come ends with "***" (TSO) or "MORE..."
    // (CMS), and Enter on an empty command line or Clear shows the next.
    Reply showOutput();
    Reply nextOutput();
    const Panel& panelNamed(const std::string& name) const;
    Reply transferStep(std::span<const std::uint8_t> record);
    std::string variable(const std::string& name) const;
    int listLength() const;
    int listRows() const;

    const PanelSet& panels_;
    hostside::Terminal terminal_;
    std::function<std::string()> clock_;
    std::string current_;
    std::string message_;
    std::map<std::string, std::string> values_;
    std::map<int, std::string> inputs_;  // of the panel on the screen
    int listTop_ = 0;
    hostside::DataSetStore* dataSets_ = nullptr;
    std::unique_ptr<hostside::IndFileHost> transfer_;
    std::vector<std::string> output_;
    std::size_t outputTop_ = 0;
    bool moreOutput_ = false;
    Panel outputPanel_;
};

}  // namespace cedar::demo
