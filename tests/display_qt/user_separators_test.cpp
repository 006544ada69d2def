#include "display/qt/user_separators.h"

#include <gtest/gtest.h>

namespace cedar::display::qt {
namespace {

TEST(UserSeparators, FromTheLocaleAsSingleBytes) {
    struct Case {
        QLocale locale;
        char group;
        char decimal;
    };
    const Case cases[] = {
        {QLocale(QLocale::English, QLocale::UnitedStates), ',', '.'},
        {QLocale(QLocale::German, QLocale::Germany), '.', ','},
        // The Swiss group separator is an apostrophe (U+2019 in newer data).
        {QLocale(QLocale::German, QLocale::Switzerland), '\'', '.'},
        // A narrow no-break space (U+202F) is no single byte: a blank.
        {QLocale(QLocale::French, QLocale::France), ' ', ','},
        {QLocale::c(), ',', '.'},
    };
    for (const auto& c : cases) {
        const NumberSeparators s = userSeparators(c.locale);
        EXPECT_EQ(s.group, c.group) << c.locale.name().toStdString();
        EXPECT_EQ(s.decimal, c.decimal) << c.locale.name().toStdString();
    }
    // The status line's scaled count in a German locale.
    EXPECT_EQ(formatByteCount(1234567, BigNumberFormat::Scaled,
                              userSeparators(QLocale(QLocale::German, QLocale::Germany))),
              "1,235M");
}

}  // namespace
}  // namespace cedar::display::qt
