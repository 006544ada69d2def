// What an option change does in cedar_headless: a change that needs a new
// connection is reported as the window's message would be and the session
// connects again with the record in force; the keyboard's options are taken
// again after every change. There is no window: the status line is
// computed when the "status" command asks, nothing is painted, and the
// character cell is a number kept here for FONT SIZE to read back.
#pragma once

#include <functional>
#include <string>

#include "session/session.h"
#include "sessionfile/macro_options.h"
#include "sessionfile/settings.h"

namespace cedar::headless {

class HeadlessOptionEffects : public sessionfile::OptionEffects {
  public:
    struct Parts {
        Session& session;
        const sessionfile::SessionOptions& record;
        const Settings& settings;
        std::function<void()> reconnect;             // posted: after the macro's statement
        std::function<void(std::string line)> note;  // a line of the command's answer
    };
    explicit HeadlessOptionEffects(Parts parts) : parts_(std::move(parts)) {}

    sessionfile::OptionCellSize cellSize() const override { return cell_; }
    void optionChanged(const sessionfile::OptionRow& row,
                       const sessionfile::OptionValue& value) override;

  private:
    Parts parts_;
    sessionfile::OptionCellSize cell_;
};

}  // namespace cedar::headless
