#include "platform/transfer_log_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/files.h"

namespace cedar::platform {
namespace {

namespace fs = std::filesystem;

struct LogDir {
    LogDir() {
        char tmpl[] = "/tmp/cedar-xferlog-XXXXXX";
        path = ::mkdtemp(tmpl);
    }
    ~LogDir() { fs::remove_all(path); }
    std::string path;
};

TEST(TransferLogFile, AppendsTruncatesAndReadsBack) {
    LogDir dir;
    const std::string path = dir.path + "/transfer.log";
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = 11;
    {
        TransferLogFileOnDisk file(path);
        TransferLog log(file, [&] { return t; });
        log.progress("Upload /tmp/a to X");
        log.progress("Bytes transferred = 10");
        log.progress("");
        log.progress("File transfer complete");
    }
    EXPECT_EQ(readFile(path).value_or("?"),
              "2026-12-11 00:00:00 - Upload /tmp/a to X\n\n"
              "2026-12-11 00:00:00 - File transfer complete\n");
    // A later session appends to the same log.
    TransferLogFileOnDisk again(path);
    again.appendLine("next");
    EXPECT_EQ(again.lines(),
              (std::vector<std::string>{"2026-12-11 00:00:00 - Upload /tmp/a to X", "",
                                        "2026-12-11 00:00:00 - File transfer complete", "next"}));
    again.truncate();
    EXPECT_EQ(readFile(path).value_or("?"), "");
    EXPECT_TRUE(again.lines().empty());
}

TEST(TransferLogFile, AnUnwritableLogIsSkipped) {
    TransferLogFileOnDisk file("/nonexistent-folder/transfer.log");
    file.appendLine("x");
    file.truncate();
    EXPECT_TRUE(file.lines().empty());
    EXPECT_FALSE(isFile("/nonexistent-folder/transfer.log"));
}

}  // namespace
}  // namespace cedar::platform
