#include "keyboard/keyboard_settings.h"

#include "sessionfile/session_options.h"

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

}  // namespace cedar::keys
