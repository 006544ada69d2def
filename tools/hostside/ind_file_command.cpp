#include "ind_file_command.h"

#include <algorithm>

#include "host_text.h"

namespace cedar::hostside {

bool IndFileCommand::has(std::string_view option) const {
    return std::find(options.begin(), options.end(), option) != options.end();
}

std::string IndFileCommand::optionText() const {
    std::string out;
    for (const auto& o : options)
        out += (out.empty() ? "" : " ") + o;
    return out;
}

std::optional<IndFileCommand> parseIndFile(std::string_view text, std::string& error) {
    error.clear();
    const std::string line = upperCase(text);
    const auto all = blankWords(line);
    if (all.empty() || all[0] != "IND$FILE") return std::nullopt;
    IndFileCommand command;
    if (all.size() < 2 || (all[1] != "PUT" && all[1] != "GET")) {
        error = "PUT or GET must follow IND$FILE";
        return std::nullopt;
    }
    command.put = all[1] == "PUT";
    // Everything after PUT/GET: the name, then the options.
    const std::size_t verb = line.find(all[1]);
    std::string rest = line.substr(verb + all[1].size());
    const auto paren = rest.find('(');
    std::string namePart = rest, optionPart;
    if (paren != std::string::npos) {
        command.parenthesised = true;
        namePart = rest.substr(0, paren);
        optionPart = rest.substr(paren + 1);
        if (const auto close = optionPart.find(')'); close != std::string::npos)
            optionPart.erase(close);
        // A TSO name such as 'A.B(MEMBER)' holds a "(" of its own.
        const auto quote = namePart.find('\'');
        if (quote != std::string::npos && namePart.find('\'', quote + 1) == std::string::npos) {
            command.parenthesised = false;
            namePart = rest;
            optionPart.clear();
        }
    }
    auto nameWords = blankWords(namePart);
    if (!command.parenthesised) {
        // TSO: the name is the first word, the options follow it.
        if (nameWords.empty()) {
            error = "no data set name";
            return std::nullopt;
        }
        command.name = nameWords[0];
        command.options.assign(nameWords.begin() + 1, nameWords.end());
    } else {
        if (nameWords.empty()) {
            error = "no file name";
            return std::nullopt;
        }
        for (const auto& w : nameWords)
            command.name += (command.name.empty() ? "" : " ") + w;
        command.options = blankWords(optionPart);
    }
    for (char c : command.name)
        if (static_cast<unsigned char>(c) < 0x20) {
            error = "the name holds a control character";
            return std::nullopt;
        }
    return command;
}

}  // namespace cedar::hostside
