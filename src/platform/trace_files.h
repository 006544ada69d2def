// Trace files on disk and the local time for their records.
#pragma once

#include <string>

#include "host/trace.h"

namespace cedar::platform {

// Writes trace files into one folder (created when missing).
class FolderTraceSink : public TraceSink {
  public:
    explicit FolderTraceSink(std::string folder) : folder_(std::move(folder)) {}
    bool create(const std::string& name) override;
    bool append(const std::string& name, Bytes bytes) override;
    int lastError() const override { return error_; }
    std::string pathOf(const std::string& name) const { return folder_ + "/" + name; }

  private:
    std::string folder_;
    int error_ = 0;
};

// "hh:mm:ss" in local time.
class LocalTraceClock : public TraceClock {
  public:
    std::string timeText() override;
};

}  // namespace cedar::platform
