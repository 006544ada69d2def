// The transfer log, "transfer.log" in the session's output folder: every
// progress line of a transfer with the local time in front. The file itself
// is written through platform/; the log window listens here.
#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <string_view>

namespace cedar {

// Where the log's lines go (platform/ writes the file).
class TransferLogFile {
  public:
    virtual ~TransferLogFile() = default;
    // One line; `line` carries no line end.
    virtual void appendLine(std::string_view line) = 0;
    virtual void truncate() = 0;
};

// An open log window.
class TransferLogView {
  public:
    virtual ~TransferLogView() = default;
    virtual void addLine(std::string_view line) = 0;
    virtual void clear() = 0;
};

// The running byte count is shown, never logged.
bool isLoggedProgressLine(std::string_view text);

// "YYYY-MM-DD HH:MM:SS - text"; an empty text is an empty line.
std::string transferLogLine(const std::tm& localTime, std::string_view text);

class TransferLog {
  public:
    using LocalTime = std::function<std::tm()>;

    TransferLog(TransferLogFile& file, LocalTime localTime)
        : file_(file), localTime_(std::move(localTime)) {}

    // A progress line: written to the file and shown in an open log window
    // unless it is a running byte count.
    void progress(std::string_view text);
    // Empties the file and the window.
    void clear();
    // nullptr: no window is open.
    void setView(TransferLogView* view) { view_ = view; }

  private:
    TransferLogFile& file_;
    LocalTime localTime_;
    TransferLogView* view_ = nullptr;
};

}  // namespace cedar
