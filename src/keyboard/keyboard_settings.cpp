#include "keyboard/keyboard_settings.h"

#include "sessionfile/session_options.h"
#include "sessionfile/settings.h"

namespace cedar::keys {

void applySessionOptions(KeyboardSettings& settings, const sessionfile::SessionOptions& options) {
    using sessionfile::Field;
    auto on = [&](Field field) { return options.number(field) != 0; };
    auto value = [&](Field field) { return static_cast<int>(options.number(field)); };
    settings.typeAhead = on(Field::TypeAhead);
    settings.autoKeyboardUnlock = on(Field::AutoKeyboardUnlock);
    settings.resetInsertOnActionKey = on(Field::ResetInsertOnActionKey);
    settings.keyClickOnError = on(Field::KeyClickOnError);
    settings.toggleInsertKey = on(Field::ToggleInsertKey);
    settings.normalCursorBackspace = value(Field::NormalCursorBackspace);
    settings.insertCursorBackspace = value(Field::InsertCursorBackspace);
    settings.prefixInputWithSpaces = on(Field::PrefixInputWithSpaces);
    settings.enableAutoSkip = on(Field::EnableAutoSkip);
    settings.skipAtEndOfField = on(Field::SkipAtEndOfField);
    settings.numericFieldLock = on(Field::NumericFieldLock);
    settings.allUpperCase = on(Field::AllUpperCase);
}

void applyProgramSettings(KeyboardSettings& settings, const Settings& program) {
    settings.attentionMethod = program.attentionMethod;
    settings.attentionReset = program.attentionReset != 0;
    settings.attnTn3270e = program.attnTn3270e;
    settings.attnTn3270 = program.attnTn3270;
    settings.sysreqTn3270e = program.sysreqTn3270e;
    settings.sysreqTn3270 = program.sysreqTn3270;
    settings.paAids = program.paAids;
    settings.pfAids = program.pfAids;
    settings.extendedKeys = program.extendedKeys != 0;
    settings.noResetClock = program.noResetClock != 0;
    settings.allUpperCaseInput = program.allUpperCaseInput != 0;
    settings.autoSkipAllFields = program.autoSkipAllFields != 0;
    settings.recordWait = program.recordWait;
}

}  // namespace cedar::keys
