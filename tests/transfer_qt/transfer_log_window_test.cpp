// The transfer log window over a TransferLog: the file's lines when it
// opens, each logged line added while it is open (never the running count),
// and Clear Log emptying the file and the list.
#include "transfer/qt/transfer_log_window.h"

#include <gtest/gtest.h>

#include <QListWidget>
#include <QPushButton>

namespace cedar::gui {
namespace {

struct MemoryLogFile : TransferLogFile {
    std::vector<std::string> lines;
    void appendLine(std::string_view line) override { lines.emplace_back(line); }
    void truncate() override { lines.clear(); }
};

TEST(TransferLogWindow, ShowsTheFileFollowsTheLogAndClearsBoth) {
    MemoryLogFile file;
    file.lines = {"2026-12-11 10:00:00 - Upload a to B", "2026-12-11 10:00:01 - TRANS03"};
    std::tm noon{};
    noon.tm_year = 126;
    noon.tm_mon = 11;
    noon.tm_mday = 11;
    noon.tm_hour = 12;
    TransferLog log(file, [noon] { return noon; });
    TransferLogWindow window(file.lines, [&log] { log.clear(); });
    log.setView(&window);
    ASSERT_EQ(window.list()->count(), 2);
    EXPECT_EQ(window.list()->item(1)->text(), "2026-12-11 10:00:01 - TRANS03");

    log.progress("Bytes transferred = 2,500");
    log.progress("Download B to c");
    ASSERT_EQ(window.list()->count(), 3);
    EXPECT_EQ(window.list()->item(2)->text(), "2026-12-11 12:00:00 - Download B to c");
    EXPECT_EQ(file.lines.size(), 3u);

    window.clearButton()->click();
    EXPECT_EQ(window.list()->count(), 0);
    EXPECT_TRUE(file.lines.empty());
    log.setView(nullptr);
}

}  // namespace
}  // namespace cedar::gui
