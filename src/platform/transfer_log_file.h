// "transfer.log" on disk: each line appended (and flushed) as it comes, so
// the log is complete however the program ends; the local time for its
// lines from the system clock.
#pragma once

#include <ctime>
#include <string>

#include "transfer/transfer_log.h"

namespace cedar::platform {

class TransferLogFileOnDisk : public TransferLogFile {
  public:
    explicit TransferLogFileOnDisk(std::string path) : path_(std::move(path)) {}
    void appendLine(std::string_view line) override;
    void truncate() override;
    const std::string& path() const { return path_; }
    // The lines of the file, for a log window that opens (none when absent).
    std::vector<std::string> lines() const;

  private:
    std::string path_;
};

std::tm localTimeNow();

}  // namespace cedar::platform
