#include "screen/host_screen.h"

#include <gtest/gtest.h>

#include <string>

#include "record_builder.h"

namespace cedar {
namespace {

struct LineMode {
    test::TestSession t;
    int bells = 0;
    HostScreen screen{t.session.screen, t.session.records, t.session.codePages, t.session.status};
    LineMode() {
        screen.setUpdateSound([this] { ++bells; });
    }
    void feed(const std::string& s) {
        screen.applyLineModeData(
            std::span(reinterpret_cast<const std::uint8_t*>(s.data()), s.size()));
    }
    int cursor() const { return t.session.screen.cursor(); }
};

TEST(LineModeScreen, NewLinesScrollAtTheLastRowKeepingTheColumn) {
    LineMode m;
    std::string text;
    for (int i = 1; i <= 25; ++i)
        text += std::to_string(i) + (i < 25 ? "\r\n" : "");
    m.feed(text);
    EXPECT_EQ(m.t.row(0), "2");
    EXPECT_EQ(m.t.row(22), "24");
    EXPECT_EQ(m.t.row(23), "25");
    EXPECT_EQ(m.cursor(), 23 * 80 + 2);
    // A line feed alone keeps the column, and scrolls once more.
    m.feed("\n");
    EXPECT_EQ(m.t.row(22), "25");
    EXPECT_EQ(m.t.row(23), "");
    EXPECT_EQ(m.cursor(), 23 * 80 + 2);
    EXPECT_EQ(m.t.session.status, SessionStatus::Unlocked);
}

TEST(LineModeScreen, ControlBytesAndTheEndOfTheScreen) {
    struct Case {
        const char* name;
        int start;
        std::string bytes;
        int cursor;
        int bells;
        std::string row0;
    } cases[] = {
        {"BEL rings, other controls are ignored", 0,
         "A\aB\x01\x1b"
         "C",
         3, 1, "ABC"},
        {"CR to column 0 overwrites", 0, "ABC\rX", 1, 0, "XBC"},
        {"BS steps back", 0, "AB\bX", 2, 0, "AX"},
        {"BS at 0 wraps to the last position", 0, "\b", 24 * 80 - 1, 0, ""},
        {"a full last row scrolls, cursor at its start", 23 * 80 + 78, "YZ", 23 * 80, 0, ""},
    };
    for (const auto& c : cases) {
        LineMode m;
        m.t.session.screen.setCursor(c.start);
        m.feed(c.bytes);
        EXPECT_EQ(m.cursor(), c.cursor) << c.name;
        EXPECT_EQ(m.bells, c.bells) << c.name;
        EXPECT_EQ(m.t.row(0), c.row0) << c.name;
    }
    // The wrapped row moved up and the last row is blank.
    LineMode m;
    m.t.session.screen.setCursor(23 * 80 + 78);
    m.feed("YZ");
    EXPECT_EQ(m.t.row(22).substr(78), "YZ");
    EXPECT_EQ(m.t.row(23), "");
}

}  // namespace
}  // namespace cedar
