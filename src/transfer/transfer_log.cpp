#include "transfer/transfer_log.h"

#include <cstdio>

namespace cedar {

bool isLoggedProgressLine(std::string_view text) {
    return !text.starts_with("Bytes transferred");
}

std::string transferLogLine(const std::tm& localTime, std::string_view text) {
    if (text.empty()) return {};
    char stamp[64];
    // Fields out of their ranges are printed as numbers, never past the buffer.
    std::snprintf(stamp, sizeof stamp, "%04lld-%02lld-%02d %02d:%02d:%02d - ",
                  static_cast<long long>(localTime.tm_year) + 1900,
                  static_cast<long long>(localTime.tm_mon) + 1, localTime.tm_mday,
                  localTime.tm_hour, localTime.tm_min, localTime.tm_sec);
    std::string line = stamp;
    line += text;
    return line;
}

void TransferLog::progress(std::string_view text) {
    if (!isLoggedProgressLine(text)) return;
    const std::string line = transferLogLine(localTime_(), text);
    file_.appendLine(line);
    if (view_ != nullptr) view_->addLine(line);
}

void TransferLog::clear() {
    file_.truncate();
    if (view_ != nullptr) view_->clear();
}

}  // namespace cedar
