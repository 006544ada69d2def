#include "host_text.h"

#include <cctype>

namespace cedar::hostside {

std::string upperCase(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::vector<std::string> blankWords(std::string_view text) {
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ' ')
            ++i;
        const std::size_t start = i;
        while (i < text.size() && text[i] != ' ')
            ++i;
        if (i > start) out.emplace_back(text.substr(start, i - start));
    }
    return out;
}

}  // namespace cedar::hostside
