#include "transfer/transfer_log.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace cedar {
namespace {

struct MemoryLogFile : TransferLogFile {
    void appendLine(std::string_view line) override { lines.emplace_back(line); }
    void truncate() override { lines.clear(); }
    std::vector<std::string> lines;
};

struct MemoryView : TransferLogView {
    void addLine(std::string_view line) override { lines.emplace_back(line); }
    void clear() override { lines.clear(); }
    std::vector<std::string> lines;
};

std::tm at(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

TEST(TransferLog, LinesCarryTheLocalTime) {
    EXPECT_EQ(transferLogLine(at(2026, 3, 7, 9, 5, 1), "Upload a to b"),
              "2026-03-07 09:05:01 - Upload a to b");
    EXPECT_EQ(transferLogLine(at(1999, 12, 31, 23, 59, 60), "x"), "1999-12-31 23:59:60 - x");
    EXPECT_EQ(transferLogLine(at(2026, 1, 1, 0, 0, 0), ""), "");
    // A broken clock still gives a bounded line.
    std::tm wild{};
    wild.tm_year = INT_MAX;
    wild.tm_mon = INT_MAX;
    wild.tm_mday = INT_MIN;
    EXPECT_EQ(transferLogLine(wild, "t"), "2147485547-2147483648--2147483648 00:00:00 - t");
}

TEST(TransferLog, ByteCountsAreShownButNotLogged) {
    MemoryLogFile file;
    MemoryView view;
    int ticks = 0;
    TransferLog log(file, [&] { return at(2026, 12, 11, 2, 0, ticks++); });
    log.setView(&view);
    log.progress("Upload /tmp/a to USER.A");
    log.progress("Bytes transferred = 1,000");
    log.progress("");
    log.progress("File transfer complete");
    log.progress(" Bytes transferred");  // not at the start: logged
    const std::vector<std::string> expected = {"2026-12-11 02:00:00 - Upload /tmp/a to USER.A", "",
                                               "2026-12-11 02:00:02 - File transfer complete",
                                               "2026-12-11 02:00:03 -  Bytes transferred"};
    EXPECT_EQ(file.lines, expected);
    EXPECT_EQ(view.lines, expected);

    log.clear();
    EXPECT_TRUE(file.lines.empty());
    EXPECT_TRUE(view.lines.empty());

    // A closed window hears nothing more; the file still gets the line.
    log.setView(nullptr);
    log.progress("later");
    EXPECT_EQ(file.lines.size(), 1u);
    EXPECT_TRUE(view.lines.empty());
}

}  // namespace
}  // namespace cedar
