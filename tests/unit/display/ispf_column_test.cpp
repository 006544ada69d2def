#include "display/ispf_column.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>

#include "display/status_line.h"
#include "screen_fixture.h"

namespace cedar::display {
namespace {

using test::SmallScreen;

// Small pictures of ISPF panels. Rows and columns from 0; a field
// attribute before a title shows as the blank the title needs.
struct Panel {
    SmallScreen screen;
    Panel(int rows, int columns) : screen(rows, columns) {}
    Panel& at(int row, int column, const std::string& text) {
        screen.text(row * screen.ps().columns() + column, text);
        return *this;
    }
    Panel& attribute(int row, int column) {
        screen.field(row * screen.ps().columns() + column, fa::kProtected);
        return *this;
    }
};

// An 80-column edit panel below the action bar: title at row top + 2, the
// first column number "00001" at column 68 of the title line.
void editPanel80(Panel& p, int top, const std::string& name = "EDIT",
                 const std::string& first = "00001 00072") {
    p.at(top, 1, "File  Edit  Edit_Settings  Menu  Utilities  Compilers  Test  Help");
    p.at(top + 1, 1, std::string(78, '-'));
    p.attribute(top + 2, 0).at(top + 2, 1, name + "       USER.CLIST(TEST) - 01.00");
    p.at(top + 2, 60, "Columns " + first);
    p.at(top + 3, 1, "Command ===>").at(top + 3, 65, "Scroll ===> CSR");
    p.at(top + 4, 1, "****** ***** Top of Data *****");
    p.at(top + 5, 1, "000001 //JOB1    JOB (ACCT),'X'");
}

void browsePanel80(Panel& p, int titleRow, int numberColumn) {
    p.at(titleRow, 1, "BROWSE    USER.DATA(MEM)");
    p.at(titleRow, numberColumn - 4, "Col 00011 ");
}

// A split screen: an edit panel at the top and one below the split line.
void splitScreen80(Panel& p) {
    editPanel80(p, 0, "EDIT", "00001 00072");
    p.at(11, 1, ".  .  .  .  .  .  .  .  .  .");
    editPanel80(p, 12, "VIEW", "00021 00092");
}

struct IspfCase {
    const char* name;
    int rows, columns;
    std::function<void(Panel&)> draw;
    int row, column;
    std::optional<int> expected;
};

const IspfCase kCases[] = {
    // 80 columns, edit title at row 2: data column = number + column - 8.
    {"edit, first data character", 24, 80, [](Panel& p) { editPanel80(p, 0); }, 5, 8, 1},
    {"edit, third data character", 24, 80, [](Panel& p) { editPanel80(p, 0); }, 5, 10, 3},
    {"edit scrolled right", 24, 80, [](Panel& p) { editPanel80(p, 0, "EDIT", "00041 00112"); }, 9,
     20, 53},
    {"edit, cursor in the line numbers", 24, 80, [](Panel& p) { editPanel80(p, 0); }, 5, 7, {}},
    {"edit, cursor on the command line", 24, 80, [](Panel& p) { editPanel80(p, 0); }, 3, 20, {}},
    {"view panel", 24, 80, [](Panel& p) { editPanel80(p, 0, "VIEW"); }, 6, 12, 5},
    {"dialog name ISREDDE2", 24, 80, [](Panel& p) { editPanel80(p, 0, "ISREDDE2"); }, 6, 9, 2},
    {"SDSF edit", 24, 80, [](Panel& p) { editPanel80(p, 0, "SDSF EDIT"); }, 6, 9, 2},
    {"title without a blank before it",
     24,
     80,
     [](Panel& p) { p.at(2, 0, "XEDIT      USER.CLIST").at(2, 60, "Columns 00001 00072"); },
     5,
     10,
     {}},
    {"no first column number",
     24,
     80,
     [](Panel& p) { editPanel80(p, 0, "EDIT", "      00072"); },
     5,
     10,
     {}},
    {"first column number 0",
     24,
     80,
     [](Panel& p) { editPanel80(p, 0, "EDIT", "00000 00072"); },
     5,
     10,
     {}},
    {"number not followed by a blank",
     24,
     80,
     [](Panel& p) { editPanel80(p, 0, "EDIT", "00001X0072"); },
     5,
     10,
     {}},
    {"not an ISPF screen", 24, 80, [](Panel& p) { p.at(2, 1, "READY"); }, 5, 10, {}},
    // Browse at row 2: number at column 72, data column = number + column.
    {"browse", 24, 80, [](Panel& p) { browsePanel80(p, 2, 72); }, 5, 10, 21},
    {"browse, cursor above the data", 24, 80, [](Panel& p) { browsePanel80(p, 2, 72); }, 3, 10, {}},
    // Titles at row 0 (no action bar): numbers at column 68.
    {"edit title at row 0", 24, 80,
     [](Panel& p) { p.at(0, 1, "EDIT ---- USER.CLIST(TEST)").at(0, 60, "COLUMNS 00001 00072"); }, 3,
     9, 2},
    {"edit title at row 0, cursor on row 2",
     24,
     80,
     [](Panel& p) { p.at(0, 1, "EDIT ---- USER.CLIST(TEST)").at(0, 60, "COLUMNS 00001 00072"); },
     2,
     9,
     {}},
    {"browse title at row 0", 24, 80, [](Panel& p) { browsePanel80(p, 0, 68); }, 3, 4, 15},
    // A split screen: each logical screen reads its own title.
    {"split screen, upper panel", 24, 80, splitScreen80, 6, 10, 3},
    {"split screen, lower panel", 24, 80, splitScreen80, 18, 10, 23},
    {"split screen, on the split line", 24, 80, splitScreen80, 11, 10, {}},
    {"split screen, lower panel's command line", 24, 80, splitScreen80, 15, 10, {}},
    {"split screen, lower panel's first row", 24, 80, splitScreen80, 16, 10, 23},
    // 132 columns: numbers at columns 120 (edit) and 124 (browse).
    {"132 edit", 27, 132,
     [](Panel& p) { p.at(2, 1, "EDIT      USER.CLIST").at(2, 112, "Columns 00001 00072"); }, 4, 8,
     1},
    {"132 browse", 27, 132,
     [](Panel& p) { p.at(2, 1, "BROWSE    USER.DATA").at(2, 120, "Col 00101 "); }, 7, 3, 104},
    {"132 edit title at row 0", 27, 132,
     [](Panel& p) { p.at(0, 1, "EDIT      USER.CLIST").at(0, 112, "Columns 00005 00076"); }, 3, 10,
     7},
    {"132 browse title at row 0", 27, 132,
     [](Panel& p) { p.at(0, 1, "ISRBROBA  USER.DATA").at(0, 120, "Col 00001 "); }, 3, 0, 1},
    // Side by side: "." at column 20 of row 3 is the right panel's edge.
    {"side by side, edit", 27, 132,
     [](Panel& p) { p.at(3, 20, ".").at(2, 23, "EDIT  USER.CLIST").at(2, 112, "00001 00072  ."); },
     6, 32, 3},
    {"side by side, edit, left of the data",
     27,
     132,
     [](Panel& p) { p.at(3, 20, ".").at(2, 23, "EDIT  USER.CLIST").at(2, 112, "00001 00072  ."); },
     6,
     29,
     {}},
    {"side by side, edit, beyond the data",
     27,
     132,
     [](Panel& p) { p.at(3, 20, ".").at(2, 23, "EDIT  USER.CLIST").at(2, 112, "00001 00072  ."); },
     6,
     124,
     {}},
    {"side by side, browse", 27, 132,
     [](Panel& p) { p.at(3, 20, ".").at(2, 23, "BROWSE  USER.DATA").at(2, 116, "00030 00099."); },
     6, 25, 33},
    {"side by side without the last dot",
     27,
     132,
     [](Panel& p) { p.at(3, 20, ".").at(2, 23, "BROWSE  USER.DATA").at(2, 116, "00030 00099"); },
     6,
     25,
     {}},
    // Other widths are not examined.
    {"100 columns", 24, 100, [](Panel& p) { editPanel80(p, 0); }, 5, 10, {}},
};

TEST(IspfColumn, RecognisesPanels) {
    for (const auto& c : kCases) {
        Panel p(c.rows, c.columns);
        c.draw(p);
        EXPECT_EQ(ispfDataColumn(p.screen.ps(), c.row, c.column), c.expected) << c.name;
    }
}

TEST(IspfColumn, PositionTextUsesTheDataColumnOnlyWhenAskedFor) {
    Panel p(24, 80);
    editPanel80(p, 0);
    auto& ps = p.screen.ps();
    ps.setCursor(5 * 80 + 10);
    EXPECT_EQ(positionText(ps, true), "6/3");
    EXPECT_EQ(positionText(ps, false), "6,11");
    EXPECT_EQ(positionText(ps, true, SelectionSize{4, 12}), "4x12");
    ps.setCursor(3 * 80 + 10);
    EXPECT_EQ(positionText(ps, true), "4,11");
}

TEST(IspfColumn, OffScreenCursorAndTinyScreensAreSafe) {
    Panel p(24, 80);
    editPanel80(p, 0);
    EXPECT_EQ(ispfDataColumn(p.screen.ps(), -1, 10), std::nullopt);
    EXPECT_EQ(ispfDataColumn(p.screen.ps(), 5, 80), std::nullopt);
    Panel edge(24, 80);
    edge.at(2, 1, "EDIT").at(2, 75, "12345");  // runs to the line's end
    EXPECT_EQ(ispfDataColumn(edge.screen.ps(), 5, 10), std::nullopt);
    edge.at(2, 68, "123456789012");  // more digits than a column number has
    EXPECT_EQ(ispfDataColumn(edge.screen.ps(), 5, 10), std::nullopt);
}

}  // namespace
}  // namespace cedar::display
