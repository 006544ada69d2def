#include "display/templates.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "display/byte_count.h"

namespace cedar::display {
namespace {

std::tm timeOf(int hour, int minute, int day = 7, int month = 3, int year = 2026) {
    std::tm t{};
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = 9;
    t.tm_mday = day;
    t.tm_mon = month - 1;
    t.tm_year = year - 1900;
    return t;
}

// Variables by upper-case name; the names asked for are kept.
struct Variables {
    std::map<std::string, MacroValue> values;
    std::vector<std::string> asked;

    TemplateLookup lookup() {
        return [this](std::string_view name) -> std::optional<MacroValue> {
            asked.emplace_back(name);
            const auto it = values.find(std::string(name));
            if (it == values.end()) return std::nullopt;
            return it->second;
        };
    }
};

Variables standardVariables() {
    Variables v;
    v.values["WINDOWID"] = MacroValue::ofText("B");
    v.values["HOSTNAME"] = MacroValue::ofText("mvs.example");
    v.values["PORT"] = MacroValue::ofNumber(3270);
    v.values["NEG"] = MacroValue::ofNumber(-42);
    v.values["EMPTY"] = MacroValue::ofText("");
    v.values["PCT"] = MacroValue::ofText("100%d %H %%");
    v.values["NOVALUE"] = MacroValue{};
    return v;
}

struct TemplateCase {
    const char* text;
    const char* expected;
};

TEST(TemplateExpansion, ReferencesAmpersandsAndTimeFields) {
    const TemplateCase cases[] = {
        {"Cedar TN3270 &WINDOWID - &HOSTNAME", "Cedar TN3270 B - mvs.example"},
        // A "." right after a known name ends it and is dropped.
        {"&HOSTNAME. %H:%M", "mvs.example 14:05"},
        {"&PORT.0", "32700"},
        {"&PORT..", "3270."},
        {"[&NEG]", "[-42]"},
        {"[&EMPTY.]", "[]"},
        {"[&NOVALUE.]", "[]"},
        // Names are looked up in upper case and run over letters and digits.
        {"&hostName", "mvs.example"},
        {"&PORT2", ""},
        {"&PORT-1", "3270-1"},
        // Unknown names give nothing; their "." stays.
        {"<&UNKNOWN.x>", "<.x>"},
        // Ampersands.
        {"a&&b", "a&b"},
        {"&&HOSTNAME", "&HOSTNAME"},
        {"&&&HOSTNAME", "&mvs.example"},
        {"AT&T & co", "AT & co"},
        {"end&", "end&"},
        {"&.x", "&.x"},
        // Time fields of the template's own text only.
        {"%Y-%m-%d %H:%M:%S", "2026-03-07 14:05:09"},
        {"100%%", "100%"},
        {"50%", "50%"},
        {"%Q%", "%Q%"},
        {"&PCT", "100%d %H %%"},
        {"%d&PCT.%d", "07100%d %H %%07"},
        // "%", "#", "@" and "_" are letters of names: "." ends a reference
        // before a time field.
        {"&PORT%H", ""},
        {"&PORT.%H", "327014"},
        // A "%" just before a reference is not joined to the value.
        {"%&HOSTNAME", "%mvs.example"},
    };
    for (const auto& c : cases) {
        Variables v = standardVariables();
        EXPECT_EQ(expandTemplate(c.text, v.lookup(), timeOf(14, 5)), c.expected) << c.text;
    }
}

TEST(TemplateExpansion, LooksUpTheWholeNameInUpperCase) {
    Variables v = standardVariables();
    expandTemplate("&windowId.&Port9 &x", v.lookup(), timeOf(0, 0));
    EXPECT_EQ(v.asked, (std::vector<std::string>{"WINDOWID", "PORT9", "X"}));
}

TEST(TemplateExpansion, NationalLetterBelongsToNames) {
    Variables v;
    v.values["A$B"] = MacroValue::ofText("yes");
    v.values["A"] = MacroValue::ofText("no");
    EXPECT_EQ(expandTemplate("&A$B", v.lookup(), timeOf(0, 0), ScannerOptions{'$'}), "yes");
    EXPECT_EQ(expandTemplate("&A$B", v.lookup(), timeOf(0, 0)), "no$B");
}

TEST(TemplateExpansion, TitleFollowsTheClock) {
    Variables v = standardVariables();
    const std::string before = expandTemplate("&HOSTNAME. %H:%M", v.lookup(), timeOf(9, 59));
    const std::string after = expandTemplate("&HOSTNAME. %H:%M", v.lookup(), timeOf(10, 0));
    EXPECT_EQ(before, "mvs.example 09:59");
    EXPECT_EQ(after, "mvs.example 10:00");
}

TEST(TemplateExpansion, LongResultsAreCut) {
    Variables v;
    const std::string big(255, 'x');
    v.values["BIG"] = MacroValue::ofText(big);
    struct Case {
        std::string text;
        std::string expectedPrefix;
    } cases[] = {
        {std::string(300, 'a'), std::string(239, 'a')},
        {"&BIG", std::string(239, 'x')},
        {"ab&BIG&BIG&BIG&BIG", "ab" + std::string(237, 'x')},
        {std::string(238, 'a') + "%Y", std::string(238, 'a') + "2"},
        {std::string(238, 'a') + "&&&&", std::string(238, 'a') + "&"},
    };
    for (const auto& c : cases) {
        const std::string out = expandTemplate(c.text, v.lookup(), timeOf(1, 2));
        EXPECT_EQ(out.size(), kMaxTemplateText) << c.text.substr(0, 20);
        EXPECT_EQ(out, c.expectedPrefix) << c.text.substr(0, 20);
    }
    // A thousand references stop being looked up once the text is full.
    std::string many;
    for (int i = 0; i < 1000; ++i)
        many += "&BIG";
    int lookups = 0;
    const auto counting = [&](std::string_view) -> std::optional<MacroValue> {
        ++lookups;
        return MacroValue::ofText(big);
    };
    EXPECT_EQ(expandTemplate(many, counting, timeOf(0, 0)).size(), kMaxTemplateText);
    EXPECT_LE(lookups, 2);
}

TEST(TemplateExpansion, WithoutLookupReferencesAreEmpty) {
    EXPECT_EQ(expandTemplate("x&HOSTNAME.y", TemplateLookup{}, timeOf(0, 0)), "x.y");
}

struct CountCase {
    std::int64_t count;
    BigNumberFormat mode;
    NumberSeparators separators;
    const char* expected;
};

TEST(ByteCount, ThreeModes) {
    using F = BigNumberFormat;
    const NumberSeparators c = NumberSeparators::cLocale();
    const NumberSeparators german{'.', ','};
    const NumberSeparators swiss{'\'', '.'};
    const CountCase cases[] = {
        {0, F::Plain, c, "0"},
        {1234567, F::Plain, german, "1234567"},
        {-5, F::Plain, c, "-5"},
        {0, F::Grouped, c, "0"},
        {999, F::Grouped, c, "999"},
        {1000, F::Grouped, c, "1,000"},
        {1234567, F::Grouped, c, "1,234,567"},
        {1234567, F::Grouped, german, "1.234.567"},
        {123456, F::Grouped, swiss, "123'456"},
        {-1234, F::Grouped, c, "-1,234"},
        {INT64_MAX, F::Grouped, c, "9,223,372,036,854,775,807"},
        {INT64_MIN, F::Grouped, c, "-9,223,372,036,854,775,808"},
        {999, F::Scaled, c, "999"},
        {-2000, F::Scaled, c, "-2000"},
        {1000, F::Scaled, c, "1.000K"},
        {1234, F::Scaled, c, "1.234K"},
        {12345, F::Scaled, c, "12.34K"},
        {123456, F::Scaled, c, "123.4K"},
        {999999, F::Scaled, c, "999.9K"},
        // The "K" form keeps its point whatever the locale.
        {1234, F::Scaled, german, "1.234K"},
        {1234567, F::Scaled, c, "1.235M"},
        {1234567, F::Scaled, german, "1,235M"},
        {12345678, F::Scaled, c, "12.34M"},
        {123456789, F::Scaled, german, "123,4M"},
        {1234567890, F::Scaled, c, "1234M"},
        {1234567890, F::Scaled, german, "1234M"},
        {98765432100, F::Scaled, c, "98765M"},
    };
    for (const auto& k : cases)
        EXPECT_EQ(formatByteCount(k.count, k.mode, k.separators), k.expected)
            << k.count << " mode " << static_cast<int>(k.mode);
}

}  // namespace
}  // namespace cedar::display
