#include "session/status_view.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "status_fixture.h"

namespace cedar {
namespace {

using display::StatusBuffer;
using sessionfile::Field;
using test::StatusRig;
namespace g = display::status_glyph;

std::string glyph(std::uint8_t b) {
    return std::string(1, static_cast<char>(b));
}

StatusBuffer lineOf(const std::vector<std::pair<int, std::string>>& texts) {
    StatusBuffer b;
    b.fill(' ');
    for (const auto& [column, text] : texts)
        for (std::size_t i = 0; i < text.size(); ++i)
            b[static_cast<std::size_t>(column) + i] = static_cast<std::uint8_t>(text[i]);
    return b;
}

std::string show(const StatusBuffer& b) {
    std::string s;
    for (auto c : b) {
        if (display::isStatusGlyph(c))
            s += "<" + std::to_string(c) + ">";
        else
            s += static_cast<char>(c);
    }
    return s;
}

std::tm at(int hour, int minute) {
    std::tm t{};
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_mday = 1;
    t.tm_year = 126;
    return t;
}

struct Rig : StatusRig {
    using StatusRig::StatusRig;
    DriverStatus driver;
    StatusExtras extras;
};

struct ViewCase {
    const char* name;
    int columns;
    std::function<void(Rig&)> set;
    std::vector<std::pair<int, std::string>> line;
    const char* title;
};

void base(Rig& r) {
    r.options.setText(Field::HostName, "zos.example:23");
    r.identity.id = 0;  // A
    r.options.setNumber(Field::RowColOnStatusLine, 1);
}

const ViewCase kViews[] = {
    {"before the first connection",
     80,
     [](Rig& r) {
         base(r);
         r.session.status = SessionStatus::Start;
     },
     {{0, "M"}, {2, glyph(g::kUnsecured)}, {5, "Start"}, {70, "a"}, {76, "1,1"}},
     "Cedar TN3270 A - zos.example"},
    {"connect countdown",
     80,
     [](Rig& r) {
         base(r);
         r.session.status = SessionStatus::Connecting;
         r.driver = {12, 20, ' '};
     },
     {{0, "M"}, {2, glyph(g::kUnsecured)}, {5, "Connect 12"}, {70, "a"}, {76, "1,1"}},
     "Cedar TN3270 A - zos.example"},
    {"secured, locked, recording, numeric field",
     80,
     [](Rig& r) {
         base(r);
         r.session.status = SessionStatus::Locked;
         r.facts.connected = true;
         r.facts.info.tls = true;
         r.driver.macroChar = 'R';
         r.options.setNumber(Field::NumericFieldLock, 1);
         auto& ps = r.session.screen;
         ps.attributes()[100] = fa::kMarker | fa::kNumeric;
         r.setCursor(1, 30);
         r.extras.capsLock = true;
         r.extras.capturing = true;
         r.options.setText(Field::WindowTitle, "&SESSNAME.[&STATUS] %H:%M");
         r.options.setText(Field::SessionName, "Prod");
     },
     {{0, "C"},
      {1, glyph(g::kConnected)},
      {2, glyph(g::kSecured)},
      {5, glyph(g::kInhibit) + " " + glyph(g::kLockLeft) + glyph(g::kLockRight)},
      {66, "R  NA"},
      {75, "2,31"}},
     "Prod[LOCKED] 14:05"},
    {"numeric lock off, protected numeric field, insert, shift",
     80,
     [](Rig& r) {
         base(r);
         r.session.status = SessionStatus::Unlocked;
         r.options.setNumber(Field::NumericFieldLock, 1);
         r.session.screen.attributes()[100] = fa::kMarker | fa::kNumeric | fa::kProtected;
         r.setCursor(1, 30);
         r.session.screen.insertMode = true;
         r.facts.shift = 1;
         r.extras.copyBuffer = 2;
     },
     {{0, "M"},
      {1, glyph(g::kConnected)},
      {2, glyph(g::kUnsecured)},
      {67, "2" + glyph(g::kShift1) + " a^"},
      {75, "2,31"}},
     "Cedar TN3270 A - zos.example"},
    {"status line template, transfer count, word wrap",
     80,
     [](Rig& r) {
         base(r);
         r.session.status = SessionStatus::TransferData;
         r.extras.transferBytes = 1234567;
         r.extras.byteFormat = display::BigNumberFormat::Scaled;
         r.extras.separators = {'.', ','};
         r.session.screen.wordWrap = true;
         r.options.setText(Field::StatusLine, "&&&HOSTNAME 100%%");
         r.options.setNumber(Field::RowColOnStatusLine, 0);
     },
     // "&zos.example 100%" (17) centred in 51 columns from 16.
     {{0, "M"},
      {1, glyph(g::kConnected)},
      {2, glyph(g::kUnsecured)},
      {5, "$ 1,235M"},
      {33, "&zos.example 100%"},
      {67, "w"},
      {70, "a"}},
     "Cedar TN3270 A - zos.example"},
    {"selection box and history",
     80,
     [](Rig& r) {
         base(r);
         r.session.status = SessionStatus::History;
         r.extras.screensBack = 4;
         r.facts.box = SessionFacts::Selection{3, 10, 7, 29};
     },
     {{0, "M"},
      {1, glyph(g::kConnected)},
      {2, glyph(g::kUnsecured)},
      {5, "Screen -4"},
      {70, "a"},
      {75, "5x20"}},
     "Cedar TN3270 A - zos.example"},
    {"132 columns, ISPF data column",
     132,
     [](Rig& r) {
         base(r);
         r.session.status = SessionStatus::Unlocked;
         r.options.setNumber(Field::ModifyColInIspfEdit, 1);
         auto& chars = r.session.screen.characters();
         const std::string title = "EDIT      USER.CLIST";
         const std::string columns = "Columns 00011 00082";
         std::copy(title.begin(), title.end(), chars.begin() + 2 * 132 + 1);
         std::copy(columns.begin(), columns.end(), chars.begin() + 2 * 132 + 112);
         r.setCursor(6, 9);
     },
     {{0, "M"}, {1, glyph(g::kConnected)}, {2, glyph(g::kUnsecured)}, {122, "a"}, {127, "7/12"}},
     "Cedar TN3270 A - zos.example"},
};

TEST(StatusView, SessionStatesGiveTheLineAndTheTitle) {
    for (const auto& c : kViews) {
        Rig r(24, c.columns);
        c.set(r);
        const auto in = statusInputsOf(r.variables, r.driver, r.extras, at(14, 5));
        EXPECT_EQ(show(display::composeStatusLine(in)), show(lineOf(c.line))) << c.name;
        EXPECT_EQ(windowTitleOf(r.variables, at(14, 5)), c.title) << c.name;
    }
}

TEST(StatusView, TitleAndBorderFollowTheSessionAndTheClock) {
    Rig r;
    base(r);
    r.options.setText(Field::WindowTitle, "&HOSTNAME. %H:%M");
    r.options.setText(Field::BorderText, "&WINDOWID.%%&STATUS");
    r.session.status = SessionStatus::Connected;
    EXPECT_EQ(windowTitleOf(r.variables, at(9, 59)), "zos.example 09:59");
    EXPECT_EQ(windowTitleOf(r.variables, at(10, 0)), "zos.example 10:00");
    EXPECT_EQ(borderTextOf(r.variables, at(0, 0)), "A%CONNECTED");
    r.session.status = SessionStatus::Unlocked;
    EXPECT_EQ(borderTextOf(r.variables, at(0, 0)), "A%UNLOCKED");
    // A macro variable's "%" is shown as it is.
    VariableTable table;
    MacroVariable* v = nullptr;
    ASSERT_EQ(table.create("NOTE", v), MacroError::None);
    v->set(MacroValue::ofText("50%H"));
    r.options.setText(Field::WindowTitle, "&NOTE %H");
    EXPECT_EQ(windowTitleOf(r.variables, at(9, 0), &table), "50%H 09");
}

TEST(StatusView, NumericFieldOnlyInsideAnUnprotectedNumericField) {
    Rig r;
    auto& ps = r.session.screen;
    EXPECT_FALSE(cursorInNumericField(ps));  // unformatted
    ps.attributes()[10] = fa::kMarker | fa::kNumeric;
    ps.attributes()[50] = fa::kMarker;
    const std::pair<int, bool> cases[] = {{11, true},  {49, true},  {10, false},
                                          {50, false}, {51, false}, {5, false}};
    for (const auto& [p, numeric] : cases) {
        ps.setCursor(p);
        EXPECT_EQ(cursorInNumericField(ps), numeric) << p;
    }
}

}  // namespace
}  // namespace cedar
