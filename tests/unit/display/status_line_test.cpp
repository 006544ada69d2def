#include "display/status_line.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace cedar::display {
namespace {

namespace g = status_glyph;

std::string bytes(std::initializer_list<std::uint8_t> list) {
    std::string s;
    for (auto b : list)
        s += static_cast<char>(b);
    return s;
}

// A line of blanks with texts placed at their columns.
StatusBuffer lineOf(const std::vector<std::pair<int, std::string>>& texts) {
    StatusBuffer b;
    b.fill(' ');
    for (const auto& [column, text] : texts)
        for (std::size_t i = 0; i < text.size(); ++i)
            b[static_cast<std::size_t>(column) + i] = static_cast<std::uint8_t>(text[i]);
    return b;
}

std::string show(const StatusBuffer& b, int width) {
    std::string s;
    for (int i = 0; i < width; ++i) {
        const auto c = b[static_cast<std::size_t>(i)];
        if (isStatusGlyph(c)) {
            static const char* hex = "0123456789ABCDEF";
            s += "<";
            s += hex[c >> 4];
            s += hex[c & 15];
            s += ">";
        } else {
            s += static_cast<char>(c);
        }
    }
    return s;
}

const std::string kUnsecured = bytes({g::kUnsecured});
const std::string kSecured = bytes({g::kSecured});
const std::string kConnected = bytes({g::kConnected});

struct LineCase {
    const char* name;
    std::function<void(StatusInputs&)> set;
    std::vector<std::pair<int, std::string>> expected;  // on a blank 80-column line
};

// The 80-column line: indicators at 66 ... 71, position text ending at 78.
const LineCase kLines[] = {
    {"not connected",
     [](StatusInputs&) {},
     {{0, "M"}, {2, kUnsecured}, {5, "Disconnect"}, {70, "a"}}},
    {"start",
     [](StatusInputs& s) { s.status = SessionStatus::Start; },
     {{0, "M"}, {2, kUnsecured}, {5, "Start"}, {70, "a"}}},
    {"session dialog",
     [](StatusInputs& s) { s.status = SessionStatus::SessionDialog; },
     {{0, "M"}, {2, kUnsecured}, {5, "Session"}, {70, "a"}}},
    {"connecting, countdown just started",
     [](StatusInputs& s) {
         s.status = SessionStatus::Connecting;
         s.connectionTimeout = 30;
         s.connectCountdown = 28;
     },
     {{0, "M"}, {2, kUnsecured}, {5, "Connecting"}, {70, "a"}}},
    {"connecting, countdown shown",
     [](StatusInputs& s) {
         s.status = SessionStatus::Connecting;
         s.connectionTimeout = 30;
         s.connectCountdown = 27;
     },
     {{0, "M"}, {2, kUnsecured}, {5, "Connect 27"}, {70, "a"}}},
    {"connected over TLS while capturing",
     [](StatusInputs& s) {
         s.status = SessionStatus::Connected;
         s.tls = true;
         s.capturing = true;
     },
     {{0, "C"}, {1, kConnected}, {2, kSecured}, {5, "Connected"}, {70, "a"}}},
    {"unlocked",
     [](StatusInputs& s) { s.status = SessionStatus::Unlocked; },
     {{0, "M"}, {1, kConnected}, {2, kUnsecured}, {70, "a"}}},
    {"locked",
     [](StatusInputs& s) { s.status = SessionStatus::Locked; },
     {{0, "M"},
      {1, kConnected},
      {2, kUnsecured},
      {5, bytes({g::kInhibit, ' ', g::kLockLeft, g::kLockRight})},
      {70, "a"}}},
    {"system lock",
     [](StatusInputs& s) { s.status = SessionStatus::SysLock; },
     {{0, "M"},
      {1, kConnected},
      {2, kUnsecured},
      {5, bytes({g::kInhibit}) + " SYSTEM"},
      {70, "a"}}},
    {"protected",
     [](StatusInputs& s) { s.status = SessionStatus::Protected; },
     {{0, "M"},
      {1, kConnected},
      {2, kUnsecured},
      {5, bytes({g::kProtectedLeft, g::kProtectedRight})},
      {70, "a"}}},
    {"insert overflow",
     [](StatusInputs& s) { s.status = SessionStatus::InsertOverflow; },
     {{0, "M"},
      {1, kConnected},
      {2, kUnsecured},
      {5, bytes({g::kOverflowLeft, g::kOverflowRight})},
      {70, "a"}}},
    {"transfer ready",
     [](StatusInputs& s) { s.status = SessionStatus::TransferReady; },
     {{0, "M"}, {1, kConnected}, {2, kUnsecured}, {5, "$ Ready"}, {70, "a"}}},
    {"transfer data, grouped",
     [](StatusInputs& s) {
         s.status = SessionStatus::TransferData;
         s.transferBytes = 1234567;
         s.byteFormat = BigNumberFormat::Grouped;
         s.separators = {'.', ','};
     },
     {{0, "M"}, {1, kConnected}, {2, kUnsecured}, {5, "$ 1.234.567"}, {70, "a"}}},
    {"transfer data, too long for the field",
     [](StatusInputs& s) {
         s.status = SessionStatus::TransferData;
         s.transferBytes = INT64_MAX;
         s.byteFormat = BigNumberFormat::Grouped;
     },
     {{0, "M"}, {1, kConnected}, {2, kUnsecured}, {5, "$ 9,223,372,036,854"}, {70, "a"}}},
    {"transfer message",
     [](StatusInputs& s) { s.status = SessionStatus::TransferMessage; },
     {{0, "M"}, {1, kConnected}, {2, kUnsecured}, {5, "$ Message"}, {70, "a"}}},
    {"rejected",
     [](StatusInputs& s) { s.status = SessionStatus::Rejected; },
     {{0, "M"}, {1, kConnected}, {2, kUnsecured}, {5, "Rejected"}, {70, "a"}}},
    {"history",
     [](StatusInputs& s) {
         s.status = SessionStatus::History;
         s.screensBack = 3;
     },
     {{0, "M"}, {1, kConnected}, {2, kUnsecured}, {5, "Screen -3"}, {70, "a"}}},
    {"keyboard marks",
     [](StatusInputs& s) {
         s.status = SessionStatus::Unlocked;
         s.macroChar = 'P';
         s.copyBuffer = 3;
         s.wordWrap = true;  // the digit wins
         s.shiftState = 2;
         s.numericLock = true;
         s.capsLock = true;
         s.insertMode = true;
         s.positionText = "24,80";
     },
     {{0, "M"},
      {1, kConnected},
      {2, kUnsecured},
      {66, "P3" + bytes({g::kShift2}) + "NA^"},
      {74, "24,80"}}},
    {"word wrap without a copy buffer, shift states 1 and 3",
     [](StatusInputs& s) {
         s.wordWrap = true;
         s.shiftState = 3;
         s.macroChar = 'R';
     },
     {{0, "M"}, {2, kUnsecured}, {5, "Disconnect"}, {66, "Rw" + bytes({g::kShift3})}, {70, "a"}}},
    {"status text centred",
     [](StatusInputs& s) {
         s.status = SessionStatus::Unlocked;
         s.statusText = "PROD";
     },
     {{0, "M"}, {1, kConnected}, {2, kUnsecured}, {39, "PROD"}, {70, "a"}}},
    {"status text cut, never wrapped",
     [](StatusInputs& s) {
         s.status = SessionStatus::Unlocked;
         s.statusText = std::string(50, 'x') + "yz";
     },
     // 51 columns from 16; the macro mark's blank then covers the last one.
     {{0, "M"}, {1, kConnected}, {2, kUnsecured}, {16, std::string(50, 'x')}, {70, "a"}}},
};

TEST(StatusLine, ComposesEachState) {
    for (const auto& c : kLines) {
        StatusInputs in;
        in.status = SessionStatus::NotConnected;
        c.set(in);
        const StatusBuffer got = composeStatusLine(in);
        EXPECT_EQ(show(got, kStatusColumns), show(lineOf(c.expected), kStatusColumns)) << c.name;
    }
}

TEST(StatusLine, WideScreenPutsIndicatorsAtTheRight) {
    StatusInputs in;
    in.width = 132;
    in.status = SessionStatus::Unlocked;
    in.macroChar = 'X';
    in.copyBuffer = 0;
    in.shiftState = 1;
    in.numericLock = true;
    in.capsLock = false;
    in.insertMode = true;
    in.positionText = "27,132";
    in.statusText = "ABC";
    const auto got = composeStatusLine(in);
    const auto expected = lineOf({{0, "M"},
                                  {1, kConnected},
                                  {2, kUnsecured},
                                  {16 + (103 - 3) / 2, "ABC"},
                                  {118, "X0" + bytes({g::kShift1}) + "Na^"},
                                  {125, "27,132"}});
    EXPECT_EQ(show(got, kStatusColumns), show(expected, kStatusColumns));
}

TEST(StatusLine, OddWidthsStayInTheBuffer) {
    for (int width : {-5, 0, 1, 10, 28, 29, 30, 200, 500}) {
        StatusInputs in;
        in.width = width;
        in.statusText = std::string(300, 's');
        in.positionText = std::string(40, 'p');
        in.insertMode = true;
        const auto got = composeStatusLine(in);
        if (width >= 80) {
            EXPECT_EQ(got[0], 'M') << width;
        }
        const int w = std::clamp(width, 0, kStatusColumns);
        const int room = std::max(0, w - 29);
        int shown = 0;
        for (int i = 16; i < kStatusColumns; ++i)
            shown += got[static_cast<std::size_t>(i)] == 's';
        EXPECT_LE(shown, room) << width;
    }
}

TEST(StatusLine, OnlyChangedColumnsAreRepainted) {
    StatusInputs in;
    in.status = SessionStatus::Unlocked;
    in.positionText = "5,9";
    const auto before = composeStatusLine(in);
    in.positionText = "5,10";
    const auto after = composeStatusLine(in);
    // "5,9" at 76..78 becomes "5,10" at 75..78.
    EXPECT_EQ(changedColumns(before, after, 80), (std::vector<ColumnRun>{{75, 4}}));
    EXPECT_TRUE(changedColumns(after, after, 80).empty());

    in.insertMode = true;
    in.status = SessionStatus::Locked;
    const auto locked = composeStatusLine(in);
    // The status text's glyphs (its blank stays) and the insert mark.
    EXPECT_EQ(changedColumns(after, locked, 80), (std::vector<ColumnRun>{{5, 1}, {7, 2}, {71, 1}}));
    // Columns beyond the screen width are not compared.
    StatusBuffer far = after;
    far[150] = 'z';
    EXPECT_TRUE(changedColumns(after, far, 80).empty());
    EXPECT_EQ(changedColumns(after, far, 200), (std::vector<ColumnRun>{{150, 1}}));
}

}  // namespace
}  // namespace cedar::display
