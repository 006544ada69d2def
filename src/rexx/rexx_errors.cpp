#include "rexx/rexx_errors.h"

#include <cstdio>

namespace cedar {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

RexxErrorTexts::RexxErrorTexts(std::string_view fileText) {
    bool heading = true;
    while (!fileText.empty()) {
        std::size_t end = fileText.find('\n');
        std::string_view line = fileText.substr(0, end);
        fileText = end == std::string_view::npos ? std::string_view{} : fileText.substr(end + 1);
        if (heading) {
            heading = false;
            continue;
        }
        while (!line.empty() && (line.back() == '\r' || line.back() == '\0'))
            line.remove_suffix(1);
        if (line.size() < 5 || !isDigit(line[0]) || !isDigit(line[1]) || !isDigit(line[2]) ||
            !isDigit(line[3]))
            continue;
        int number =
            (line[0] - '0') * 1000 + (line[1] - '0') * 100 + (line[2] - '0') * 10 + (line[3] - '0');
        texts_.insert_or_assign(number, std::string(line.substr(5)));
    }
}

std::string RexxErrorTexts::message(RexxError error) const {
    return message(static_cast<int>(error));
}

std::string RexxErrorTexts::message(int number) const {
    auto found = texts_.find(number);
    if (found == texts_.end()) return "Error 1000 - Unknown REXX error occurred";
    char head[32];
    std::snprintf(head, sizeof head, "Error %04d - ", number);
    return head + found->second;
}

}  // namespace cedar
