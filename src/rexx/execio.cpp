#include "rexx/execio.h"

namespace cedar {
namespace {

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string upperCase(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        c = upper(c);
    return result;
}

}  // namespace

std::string cedarCommandWord(std::string_view command) {
    std::size_t at = 0;
    while (at < command.size() && command[at] == ' ')
        ++at;
    std::string word;
    for (; at < command.size() && command[at] != ' ' && word.size() < 20; ++at)
        word.push_back(upper(command[at]));
    return word;
}

std::string executeMacroName(std::string_view command) {
    std::size_t at = command.find_first_not_of(' ');
    at = at == std::string_view::npos ? command.size() : command.find(' ', at);
    if (at == std::string_view::npos) return {};
    std::string_view rest = command.substr(at);
    const std::size_t first = rest.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    rest = rest.substr(first, rest.find_last_not_of(' ') - first + 1);
    if (rest[0] == '"' || rest[0] == '\'') return splitCommandWords(rest).front();
    return std::string(rest);
}

std::vector<std::string> splitCommandWords(std::string_view text) {
    std::vector<std::string> words;
    std::size_t at = 0;
    while (at < text.size()) {
        if (text[at] == ' ') {
            ++at;
            continue;
        }
        std::string word;
        const char quote = text[at];
        if (quote == '"' || quote == '\'') {
            ++at;
            while (at < text.size()) {
                if (text[at] == quote) {
                    if (at + 1 < text.size() && text[at + 1] == quote) {
                        word.push_back(quote);
                        at += 2;
                        continue;
                    }
                    ++at;
                    break;
                }
                word.push_back(text[at++]);
            }
            // Text right after the closing quote belongs to the same word.
            while (at < text.size() && text[at] != ' ')
                word.push_back(text[at++]);
        } else {
            while (at < text.size() && text[at] != ' ')
                word.push_back(text[at++]);
        }
        words.push_back(std::move(word));
    }
    return words;
}

ExecioParse parseExecio(std::string_view command) {
    ExecioParse result;
    if (command.size() >= kMaxExecioCommand) {
        result.error = RexxError::CommandTooLong;
        return result;
    }
    std::vector<std::string> words = splitCommandWords(command);
    std::size_t next = 1;  // words[0] is EXECIO
    if (words.size() <= next || words[next] != "*") {
        result.error = RexxError::CountNotStar;
        return result;
    }
    ++next;
    const std::string operation = words.size() > next ? upperCase(words[next]) : std::string();
    ++next;
    if (operation == "DISKR")
        result.command.operation = ExecioOperation::DiskRead;
    else if (operation == "DISKW")
        result.command.operation = ExecioOperation::DiskWrite;
    else if (operation == "CLIPR")
        result.command.operation = ExecioOperation::ClipRead;
    else if (operation == "CLIPW")
        result.command.operation = ExecioOperation::ClipWrite;
    else {
        result.error = RexxError::UnknownOperation;
        return result;
    }
    if (operation == "DISKR" || operation == "DISKW") {
        if (words.size() <= next || upperCase(words[next]) == "(STEM") {
            result.error = RexxError::FileNameMissing;
            return result;
        }
        result.command.file = words[next++];
    }
    if (words.size() != next + 2 || upperCase(words[next]) != "(STEM" || words[next + 1].empty()) {
        result.error = RexxError::StemMissing;
        return result;
    }
    result.command.stem = words[next + 1];
    return result;
}

}  // namespace cedar
