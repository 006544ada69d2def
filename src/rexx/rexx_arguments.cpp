#include "rexx/rexx_arguments.h"

#include <limits>

namespace cedar {

std::optional<int> readRexxNumber(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && text[at] == ' ')
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    if (at == text.size()) return std::nullopt;
    long long value = 0;
    for (; at < text.size(); ++at) {
        char c = text[at];
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > static_cast<long long>(std::numeric_limits<int>::max()) + 1)
            return std::nullopt;
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min())
        return std::nullopt;
    return static_cast<int>(value);
}

std::optional<std::string_view> rexxArgument(const RexxArguments& args, std::size_t index) {
    if (index >= args.size() || !args[index]) return std::nullopt;
    return std::string_view(*args[index]);
}

RexxNumber rexxNumberArgument(const RexxArguments& args, std::size_t index,
                              std::optional<int> fallback, int min, int max, RexxError unreadable) {
    auto text = rexxArgument(args, index);
    std::optional<int> value;
    if (!text || text->empty())
        value = fallback;
    else
        value = readRexxNumber(*text);
    if (!value) return {unreadable, 0};
    if (*value < min || *value > max) return {RexxError::BadValue, *value};
    return {RexxError::None, *value};
}

const std::vector<RexxFunctionShape>& rexxFunctionShapes() {
    // sendfile and receivefile take any number of option words after their
    // two files; ten is more than their seven distinct options.
    static const std::vector<RexxFunctionShape> shapes = {
        {"getvar", 1, 1},      {"putvar", 2, 2},    {"screen", 2, 3},       {"onscreen", 1, 3},
        {"attribute", 2, 2},   {"color", 2, 2},     {"hilite", 2, 2},       {"rawdata", 2, 2},
        {"messagebox", 0, 4},  {"editbox", 0, 5},   {"key", 1, 3},          {"type", 0, 1},
        {"session", 1, 1},     {"shortwait", 0, 1}, {"wait", 1, 2},         {"waitunlocked", 1, 1},
        {"beep", 1, 2},        {"playsound", 1, 1}, {"winexec", 1, 1},      {"shellexecute", 2, 5},
        {"debugwindow", 1, 1}, {"getini", 1, 1},    {"putini", 2, 2},       {"getoption", 2, 2},
        {"setoption", 3, 3},   {"sendfile", 2, 10}, {"receivefile", 2, 10},
    };
    return shapes;
}

const RexxFunctionShape* findRexxFunction(std::string_view name) {
    for (const auto& shape : rexxFunctionShapes())
        if (shape.name == name) return &shape;
    return nullptr;
}

RexxError checkRexxArgumentCount(const RexxFunctionShape& shape, const RexxArguments& args) {
    if (args.size() < shape.minArguments || args.size() > shape.maxArguments)
        return RexxError::ArgumentCount;
    return RexxError::None;
}

}  // namespace cedar
