#include "display/status_line.h"

#include <algorithm>
#include <initializer_list>

#include "display/ispf_column.h"

namespace cedar::display {

namespace {

constexpr std::size_t kMaxStatusText = 19;
constexpr std::size_t kMaxPositionText = 20;
constexpr int kStatusTextColumn = 5;
constexpr int kTemplateColumn = 16;

std::string glyphs(std::initializer_list<std::uint8_t> bytes) {
    std::string s;
    for (auto b : bytes)
        s += static_cast<char>(b);
    return s;
}

class Line {
  public:
    Line() { bytes_.fill(' '); }
    void put(int column, char c) {
        if (column >= 0 && column < kStatusColumns)
            bytes_[static_cast<std::size_t>(column)] = static_cast<std::uint8_t>(c);
    }
    void put(int column, std::uint8_t c) { put(column, static_cast<char>(c)); }
    void put(int column, std::string_view text) {
        for (char c : text)
            put(column++, c);
    }
    const StatusBuffer& bytes() const { return bytes_; }

  private:
    StatusBuffer bytes_{};
};

}  // namespace

std::string statusText(const StatusInputs& in) {
    using S = SessionStatus;
    namespace g = status_glyph;
    std::string text;
    switch (in.status) {
        case S::NotConnected:
            text = "Disconnect";
            break;
        case S::Start:
            text = "Start";
            break;
        case S::SessionDialog:
            text = "Session";
            break;
        case S::Connecting:
            text = in.connectCountdown < in.connectionTimeout - 2
                       ? "Connect " + std::to_string(in.connectCountdown)
                       : std::string("Connecting");
            break;
        case S::Connected:
            text = "Connected";
            break;
        case S::Unlocked:
            text = " ";
            break;
        case S::Locked:
            text = glyphs({g::kInhibit, ' ', g::kLockLeft, g::kLockRight});
            break;
        case S::SysLock:
            text = glyphs({g::kInhibit}) + " SYSTEM";
            break;
        case S::Protected:
            text = glyphs({g::kProtectedLeft, g::kProtectedRight});
            break;
        case S::InsertOverflow:
            text = glyphs({g::kOverflowLeft, g::kOverflowRight});
            break;
        case S::TransferReady:
            text = "$ Ready";
            break;
        case S::TransferData:
            text = "$ " + formatByteCount(in.transferBytes, in.byteFormat, in.separators);
            break;
        case S::TransferMessage:
            text = "$ Message";
            break;
        case S::Rejected:
            text = "Rejected";
            break;
        case S::History:
            text = "Screen -" + std::to_string(in.screensBack);
            break;
    }
    if (text.size() > kMaxStatusText) text.resize(kMaxStatusText);
    return text;
}

std::string positionText(const PresentationSpace& ps, bool ispfColumns,
                         const std::optional<SelectionSize>& selection) {
    std::string text;
    if (selection) {
        text = std::to_string(selection->rows) + "x" + std::to_string(selection->columns);
    } else {
        const auto at = ps.rowColumnOf(ps.cursor());
        const auto data = ispfColumns ? ispfDataColumn(ps, at.row, at.column) : std::nullopt;
        text = std::to_string(at.row + 1) + (data ? "/" : ",") +
               std::to_string(data ? *data : at.column + 1);
    }
    if (text.size() > kMaxPositionText) text.resize(kMaxPositionText);
    return text;
}

StatusBuffer composeStatusLine(const StatusInputs& in) {
    namespace g = status_glyph;
    const int w = std::clamp(in.width, 0, kStatusColumns);
    Line line;
    line.put(0, in.capturing ? 'C' : 'M');
    if (static_cast<int>(in.status) >= static_cast<int>(SessionStatus::Connected))
        line.put(1, g::kConnected);
    line.put(2, in.tls ? g::kSecured : g::kUnsecured);
    line.put(kStatusTextColumn, statusText(in));

    std::string_view user = in.statusText;
    const int room = std::max(0, w - 29);
    if (static_cast<int>(user.size()) > room) user = user.substr(0, static_cast<std::size_t>(room));
    line.put(kTemplateColumn + (room - static_cast<int>(user.size())) / 2, user);

    line.put(w - 14, in.macroChar);
    if (in.copyBuffer && *in.copyBuffer >= 0 && *in.copyBuffer <= 9)
        line.put(w - 13, static_cast<char>('0' + *in.copyBuffer));
    else if (in.wordWrap)
        line.put(w - 13, 'w');
    static constexpr std::uint8_t kShiftGlyphs[] = {' ', g::kShift1, g::kShift2, g::kShift3};
    if (in.shiftState >= 1 && in.shiftState <= 3) line.put(w - 12, kShiftGlyphs[in.shiftState]);
    if (in.numericLock) line.put(w - 11, 'N');
    line.put(w - 10, in.capsLock ? 'A' : 'a');
    if (in.insertMode) line.put(w - 9, '^');

    std::string_view position = in.positionText;
    if (position.size() > kMaxPositionText) position = position.substr(0, kMaxPositionText);
    if (!position.empty()) line.put(w - 1 - static_cast<int>(position.size()), position);
    return line.bytes();
}

std::vector<ColumnRun> changedColumns(const StatusBuffer& before, const StatusBuffer& after,
                                      int width) {
    std::vector<ColumnRun> runs;
    const int w = std::clamp(width, 0, kStatusColumns);
    for (int c = 0; c < w; ++c) {
        if (before[static_cast<std::size_t>(c)] == after[static_cast<std::size_t>(c)]) continue;
        if (!runs.empty() && runs.back().first + runs.back().count == c)
            ++runs.back().count;
        else
            runs.push_back({c, 1});
    }
    return runs;
}

}  // namespace cedar::display
