#include "display/qt/user_separators.h"

namespace cedar::display::qt {

namespace {

char latin1(const QString& text, char fallback) {
    if (text.isEmpty()) return fallback;
    const char16_t c = text.front().unicode();
    if (c == 0xA0 || c == 0x2009 || c == 0x202F) return ' ';  // no-break and thin spaces
    if (c == 0x2019 || c == 0x02BC) return '\'';              // the Swiss apostrophes
    return c >= 0x20 && c <= 0xFF ? static_cast<char>(static_cast<unsigned char>(c)) : fallback;
}

}  // namespace

NumberSeparators userSeparators(const QLocale& locale) {
    return {latin1(locale.groupSeparator(), ' '), latin1(locale.decimalPoint(), '.')};
}

}  // namespace cedar::display::qt
