#include "headless_options.h"

namespace cedar::headless {

void HeadlessOptionEffects::optionChanged(const sessionfile::OptionRow& row,
                                          const sessionfile::OptionValue& value) {
    parts_.session.applyKeyboardSettings(parts_.record, parts_.settings);
    using A = sessionfile::OptionAction;
    switch (row.action) {
        case A::Reconnect:
            parts_.note("message " + std::string(sessionfile::kReconnectTitle) + ": " +
                        std::string(sessionfile::kReconnectMessage));
            if (parts_.reconnect) parts_.reconnect();
            break;
        case A::WindowSize:
            if (const auto* text = std::get_if<std::string>(&value)) {
                if (const auto cell = sessionfile::parseCellSize(*text)) cell_ = *cell;
            }
            break;
        default:
            break;  // nothing is shown here
    }
}

}  // namespace cedar::headless
