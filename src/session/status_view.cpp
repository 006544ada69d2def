#include "session/status_view.h"

#include "display/templates.h"
#include "macro/scanner.h"
#include "session/session_driver.h"

namespace cedar {

namespace {

using sessionfile::Field;

std::string expand(const SystemVariables& variables, std::string_view text,
                   const std::tm& localTime, const VariableTable* macroVariables) {
    const auto lookup = [&](std::string_view name) {
        return variables.lookup(name, macroVariables);
    };
    return display::expandTemplate(text, lookup, localTime,
                                   scannerOptionsFor(variables.session().codePages));
}

}  // namespace

DriverStatus driverStatusOf(const SessionDriver& driver) {
    return {driver.connectCountdown(), driver.connectionTimeout(), driver.macroStatusChar()};
}

bool cursorInNumericField(const PresentationSpace& ps) {
    const int n = ps.positions();
    int p = ps.cursor();
    for (int i = 0; i < n; ++i) {
        if (ps.isAttribute(p)) {
            const auto a = ps.attributes()[static_cast<std::size_t>(p)];
            return p != ps.cursor() && !fa::isProtected(a) && (a & fa::kNumeric) != 0;
        }
        p = ps.previousAddress(p);
    }
    return false;  // an unformatted screen
}

display::StatusInputs statusInputsOf(const SystemVariables& variables, const DriverStatus& driver,
                                     const StatusExtras& extras, const std::tm& localTime,
                                     const VariableTable* macroVariables) {
    const Session& session = variables.session();
    const sessionfile::SessionOptions& options = variables.options();
    const SessionFacts& facts = variables.facts();
    const PresentationSpace& ps = session.screen;
    const ConnectionInfo* link = facts.connection();

    display::StatusInputs in;
    in.width = ps.columns();
    in.capturing = extras.capturing;
    in.status = session.status;
    in.tls = link && link->tls;
    in.connectCountdown = driver.connectCountdown;
    in.connectionTimeout = driver.connectionTimeout;
    in.transferBytes = extras.transferBytes;
    in.byteFormat = extras.byteFormat;
    in.separators = extras.separators;
    in.screensBack = extras.screensBack;
    in.statusText = expand(variables, options.text(Field::StatusLine), localTime, macroVariables);
    in.macroChar = driver.macroChar;
    in.copyBuffer = extras.copyBuffer;
    in.wordWrap = ps.wordWrap;
    in.shiftState = facts.shiftState();
    in.numericLock = options.number(Field::NumericFieldLock) != 0 && cursorInNumericField(ps);
    in.capsLock = extras.capsLock;
    in.insertMode = ps.insertMode;
    if (options.number(Field::RowColOnStatusLine) != 0) {
        std::optional<display::SelectionSize> box;
        if (const auto s = facts.selection())
            box = display::SelectionSize{s->endRow - s->startRow + 1,
                                         s->endColumn - s->startColumn + 1};
        in.positionText =
            display::positionText(ps, options.number(Field::ModifyColInIspfEdit) != 0, box);
    }
    return in;
}

std::string windowTitleOf(const SystemVariables& variables, const std::tm& localTime,
                          const VariableTable* macroVariables) {
    std::string title = variables.options().text(Field::WindowTitle);
    if (title.empty()) title = kDefaultWindowTitle;
    return expand(variables, title, localTime, macroVariables);
}

std::string borderTextOf(const SystemVariables& variables, const std::tm& localTime,
                         const VariableTable* macroVariables) {
    return expand(variables, variables.options().text(Field::BorderText), localTime,
                  macroVariables);
}

}  // namespace cedar
