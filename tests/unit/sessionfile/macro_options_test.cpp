// The option table that GETOPTION and SETOPTION (and REXX's getoption and
// setoption) work on: every row is checked by its kind and limit against
// the session record, so a row with the wrong field, type, limit or action
// shows up here without a test of its own.
#include "sessionfile/macro_options.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "sessionfile/standard_session.h"

namespace cedar::sessionfile {
namespace {

// Records every follow-up action and, like the window, takes a new cell
// size when a font-size row asks for one.
class RecordingEffects : public OptionEffects {
  public:
    struct Call {
        std::string name;
        OptionAction action;
        OptionValue value;
    };
    OptionCellSize cell{9, 18};
    std::vector<Call> calls;

    OptionCellSize cellSize() const override { return cell; }
    void optionChanged(const OptionRow& row, const OptionValue& value) override {
        calls.push_back({std::string(row.name), row.action, value});
        if (row.action == OptionAction::WindowSize) {
            if (auto size = parseCellSize(std::get<std::string>(value))) cell = *size;
        }
    }
};

std::string describe(const OptionRow& row) {
    return std::string(optionPageName(row.page)) + " " + std::string(row.name);
}

std::int64_t largest(const OptionRow& row) {
    switch (row.kind) {
        case OptionKind::Switch:
            return 1;
        case OptionKind::Colour:
            return 0xFFFFFF;
        default:
            return row.limit;
    }
}

// A value the row takes that differs from the standard session's.
OptionValue newValueFor(const OptionRow& row, const SessionOptions& record) {
    switch (row.kind) {
        case OptionKind::Text: {
            // As long as the row allows, so an off-by-one in the limit shows.
            std::string text(optionTextLimit(row), 'q');
            if (!text.empty()) text.front() = 'Z';
            return text;
        }
        case OptionKind::FontSize:
            return std::string("11 x 23");
        default: {
            const auto field = optionField(row);
            const std::int64_t now = field ? record.number(*field) : 0;
            const std::int64_t top = largest(row);
            return now == top ? std::int64_t{0} : top;
        }
    }
}

std::string valueText(const OptionValue& v) {
    if (const auto* s = std::get_if<std::string>(&v)) return "\"" + *s + "\"";
    return std::to_string(std::get<std::int64_t>(v));
}

TEST(OptionTable, EveryRowReachesAnOptionFieldOfItsKind) {
    std::set<Field> reached;
    for (const OptionRow& row : optionRows()) {
        SCOPED_TRACE(describe(row));
        EXPECT_EQ(findOption(optionPageName(row.page), row.name), &row)
            << "a row of the same page and name comes first";
        const auto field = optionField(row);
        if (row.kind == OptionKind::FontSize) {
            EXPECT_FALSE(field);
            continue;
        }
        ASSERT_TRUE(field) << "no session field of that name";
        const FieldInfo& f = info(*field);
        EXPECT_TRUE(f.macroOption);
        reached.insert(*field);
        switch (row.kind) {
            case OptionKind::Text:
                EXPECT_EQ(f.type, FieldType::Text);
                EXPECT_GT(optionTextLimit(row), 0u);
                EXPECT_LT(optionTextLimit(row), f.size);
                break;
            case OptionKind::Switch:
            case OptionKind::SmallNumber:
                EXPECT_EQ(f.type, FieldType::Byte);
                break;
            case OptionKind::Number:
                EXPECT_EQ(f.type, FieldType::UInt16);
                break;
            case OptionKind::Colour:
                EXPECT_EQ(f.type, FieldType::Color);
                break;
            case OptionKind::FontSize:
                break;
        }
    }
    // Every field the record marks as a macro option has a row.
    for (const FieldInfo& f : fields()) {
        if (f.macroOption) {
            EXPECT_TRUE(reached.count(f.field)) << f.name << " has no row";
        }
    }
}

TEST(OptionTable, GetOptionReadsTheStandardSessionsValues) {
    const SessionOptions record = standardSessionOptions();
    RecordingEffects effects;
    for (const OptionRow& row : optionRows()) {
        SCOPED_TRACE(describe(row));
        const OptionRead read = getOption(record, effects, optionPageName(row.page), row.name);
        ASSERT_EQ(read.error, OptionError::None);
        const auto field = optionField(row);
        if (row.kind == OptionKind::FontSize) {
            EXPECT_EQ(read.value, OptionValue(std::string("9 x 18")));
        } else if (row.kind == OptionKind::Text) {
            EXPECT_EQ(read.value, OptionValue(record.text(*field)));
        } else {
            EXPECT_EQ(read.value, OptionValue(record.number(*field)));
        }
    }
    EXPECT_TRUE(effects.calls.empty()) << "reading carried out an action";
}

TEST(OptionTable, SetOptionRoundTripsEveryRowAndTouchesOnlyItsField) {
    for (const OptionRow& row : optionRows()) {
        SCOPED_TRACE(describe(row));
        SessionOptions record = standardSessionOptions();
        const SessionOptions before = record;
        RecordingEffects effects;
        const OptionValue value = newValueFor(row, record);
        SCOPED_TRACE(valueText(value));
        // Page and name in lower case: both are compared without regard to case.
        std::string page(optionPageName(row.page)), name(row.name);
        for (auto* s : {&page, &name})
            for (char& c : *s)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        ASSERT_EQ(setOption(record, effects, page, name, value), OptionError::None);
        const OptionRead read = getOption(record, effects, page, name);
        ASSERT_EQ(read.error, OptionError::None);
        EXPECT_EQ(read.value, value);

        ASSERT_EQ(effects.calls.size(), 1u);
        EXPECT_EQ(effects.calls[0].action, row.action);
        EXPECT_EQ(effects.calls[0].value, value);

        const auto field = optionField(row);
        if (!field) {
            EXPECT_EQ(record, before) << "a font size is the window's, not the record's";
            continue;
        }
        const FieldInfo& f = info(*field);
        for (std::size_t i = 0; i < kRecordSize; ++i) {
            if (i >= f.offset && i < std::size_t{f.offset} + f.size) continue;
            ASSERT_EQ(record.bytes()[i], before.bytes()[i]) << "byte " << i << " outside the field";
        }
    }
}

TEST(OptionTable, RefusedValuesChangeNothingAndTakeNoAction) {
    for (const OptionRow& row : optionRows()) {
        SCOPED_TRACE(describe(row));
        std::vector<std::pair<OptionValue, OptionError>> refused;
        switch (row.kind) {
            case OptionKind::Text:
                refused = {{std::string(optionTextLimit(row) + 1, 'a'), OptionError::TooLong},
                           {std::string("a\0b", 3), OptionError::OutOfRange}};
                break;
            case OptionKind::FontSize:
                refused = {{std::int64_t{8}, OptionError::WrongType},
                           {std::string("8"), OptionError::OutOfRange},
                           {std::string("8 x"), OptionError::OutOfRange},
                           {std::string("0 x 16"), OptionError::OutOfRange},
                           {std::string("-8 x 16"), OptionError::OutOfRange},
                           {std::string("8 x 16 x 2"), OptionError::OutOfRange},
                           {std::string("8 x 99999999999"), OptionError::OutOfRange}};
                break;
            default:
                refused = {{largest(row) + 1, OptionError::OutOfRange},
                           {std::int64_t{-1}, OptionError::OutOfRange},
                           {std::string("1"), OptionError::WrongType}};
                break;
        }
        for (const auto& [value, error] : refused) {
            SCOPED_TRACE(valueText(value));
            SessionOptions record = standardSessionOptions();
            RecordingEffects effects;
            EXPECT_EQ(setOption(record, effects, optionPageName(row.page), row.name, value), error);
            EXPECT_EQ(record, standardSessionOptions());
            EXPECT_TRUE(effects.calls.empty());
            EXPECT_EQ(effects.cell, (OptionCellSize{9, 18}));
        }
    }
}

TEST(OptionTable, NamedCases) {
    struct Case {
        const char* page;
        const char* name;
        OptionValue value;
        OptionError error;
    };
    const Case cases[] = {
        {"DISPLAY", "ALARM", std::int64_t{2}, OptionError::OutOfRange},
        {"DISPLAY", "ALARM", std::string("2"), OptionError::WrongType},
        {"DISPLAY", "ALARM", std::int64_t{1}, OptionError::None},
        {"NOPAGE", "ALARM", std::int64_t{1}, OptionError::UnknownName},
        {"DISPLAY", "NOSUCHOPTION", std::int64_t{1}, OptionError::UnknownName},
        {"GENERAL", "ALARM", std::int64_t{1}, OptionError::UnknownName},  // another page's
        {"", "", std::int64_t{1}, OptionError::UnknownName},
        {"GENERAL", "SCREENBUFFERS", std::int64_t{1}, OptionError::OutOfRange},
        {"GENERAL", "SCREENBUFFERS", std::int64_t{0}, OptionError::None},
        {"DISPLAY", "TERMINALMODEL", std::int64_t{5}, OptionError::OutOfRange},
        {"MISC", "TRANSFERBLOCKSIZE", std::int64_t{25001}, OptionError::OutOfRange},
        {"COLORS", "COLOR16", std::int64_t{0}, OptionError::UnknownName},
        {"Cut/Paste", "Enableautocut/copy", std::int64_t{1}, OptionError::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.page) + " " + c.name + " " + valueText(c.value));
        SessionOptions record = standardSessionOptions();
        RecordingEffects effects;
        EXPECT_EQ(setOption(record, effects, c.page, c.name, c.value), c.error);
        EXPECT_EQ(effects.calls.size(), c.error == OptionError::None ? 1u : 0u);
    }
}

TEST(OptionTable, FontSizeReadBackIsAcceptedAgain) {
    SessionOptions record = standardSessionOptions();
    RecordingEffects effects;
    effects.cell = {8, 16};
    const OptionRead read = getOption(record, effects, "FONT", "SIZE");
    ASSERT_EQ(read.value, OptionValue(std::string("8 x 16")));
    effects.cell = {12, 24};
    ASSERT_EQ(setOption(record, effects, "FONT", "SIZE", read.value), OptionError::None);
    EXPECT_EQ(effects.cell, (OptionCellSize{8, 16}));
    // WIDTH and HEIGHT are the same value.
    EXPECT_EQ(getOption(record, effects, "FONT", "WIDTH").value, read.value);
    EXPECT_EQ(getOption(record, effects, "FONT", "HEIGHT").value, read.value);
}

TEST(OptionTable, CellSizeTextsAreReadWithoutBlanks) {
    const std::pair<const char*, std::optional<OptionCellSize>> cases[] = {
        {"8 x 16", OptionCellSize{8, 16}},
        {"8x16", OptionCellSize{8, 16}},
        {" 10 X 20 ", OptionCellSize{10, 20}},
        {"8 x", std::nullopt},
        {"x16", std::nullopt},
        {"8 16", std::nullopt},
        {"8 x 16q", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [text, size] : cases)
        EXPECT_EQ(parseCellSize(text), size) << text;
}

TEST(OptionTable, ATextRowTakesANumberAsItsDigitsAndOtherNamesShareAField) {
    SessionOptions record = standardSessionOptions();
    RecordingEffects effects;
    ASSERT_EQ(setOption(record, effects, "GENERAL", "SESSIONNAME", std::int64_t{-42}),
              OptionError::None);
    EXPECT_EQ(record.text(Field::SessionName), "-42");

    ASSERT_EQ(setOption(record, effects, "GENERAL", "FILE", std::string("screens.txt")),
              OptionError::None);
    EXPECT_EQ(getOption(record, effects, "GENERAL", "FILENAME").value,
              OptionValue(std::string("screens.txt")));
    // The same setting under a larger limit and a smaller one.
    ASSERT_EQ(setOption(record, effects, "GENERAL", "FILEFORSAVESCREENTODISK", std::int64_t{3}),
              OptionError::None);
    EXPECT_EQ(getOption(record, effects, "GENERAL", "SAVEFILEACTION").value,
              OptionValue(std::int64_t{3}));
    EXPECT_EQ(setOption(record, effects, "GENERAL", "SAVEFILEACTION", std::int64_t{2}),
              OptionError::OutOfRange);
}

TEST(OptionTable, FollowUpActionsOfSomeRows) {
    const std::tuple<const char*, const char*, OptionValue, OptionAction> cases[] = {
        {"GENERAL", "HOSTNAME", std::string("mvs.example"), OptionAction::Reconnect},
        {"GENERAL", "STATUSLINE", std::string("&STATUS"), OptionAction::StatusLine},
        {"GENERAL", "SCREENBUFFERS", std::int64_t{0}, OptionAction::History},
        {"GENERAL", "EDITKEYBOARD", std::string("my.kbd"), OptionAction::Keyboard},
        {"GENERAL", "EDITTOOLBAR", std::string("my.tbr"), OptionAction::ToolBar},
        {"GENERAL", "EDITKEYPAD", std::string("my.pad"), OptionAction::Keypad},
        {"DISPLAY", "ALLUPPERCASE", std::int64_t{1}, OptionAction::Repaint},
        {"CURSOR", "LOCATECURSOR", std::int64_t{1}, OptionAction::None},
        {"FONT", "BORDERSIZE", std::int64_t{4}, OptionAction::Layout},
        {"COLORS", "COLOR7", std::int64_t{0x102030}, OptionAction::Colours},
        {"MISC", "PCCODEPAGE", std::string("DOS (US 437)"), OptionAction::CodePage},
    };
    for (const auto& [page, name, value, action] : cases) {
        SCOPED_TRACE(std::string(page) + " " + name);
        SessionOptions record = standardSessionOptions();
        RecordingEffects effects;
        ASSERT_EQ(setOption(record, effects, page, name, value), OptionError::None);
        ASSERT_EQ(effects.calls.size(), 1u);
        EXPECT_EQ(effects.calls[0].action, action);
    }
}

}  // namespace
}  // namespace cedar::sessionfile
