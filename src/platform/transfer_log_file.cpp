#include "platform/transfer_log_file.h"

#include <cstdio>
#include <ctime>

#include "platform/files.h"

namespace cedar::platform {

void TransferLogFileOnDisk::appendLine(std::string_view line) {
    // A log that cannot be written never stops a transfer.
    std::FILE* file = std::fopen(path_.c_str(), "ab");
    if (file == nullptr) return;
    std::fwrite(line.data(), 1, line.size(), file);
    std::fputc('\n', file);
    std::fclose(file);
}

void TransferLogFileOnDisk::truncate() {
    std::FILE* file = std::fopen(path_.c_str(), "wb");
    if (file != nullptr) std::fclose(file);
}

std::vector<std::string> TransferLogFileOnDisk::lines() const {
    std::vector<std::string> out;
    const auto text = readFile(path_);
    if (!text) return out;
    std::size_t start = 0;
    while (start < text->size()) {
        std::size_t end = text->find('\n', start);
        if (end == std::string::npos) end = text->size();
        std::string line = text->substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out.push_back(std::move(line));
        start = end + 1;
    }
    return out;
}

std::tm localTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

}  // namespace cedar::platform
