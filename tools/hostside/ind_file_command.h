// The IND$FILE command as a terminal user types it:
//   TSO:       IND$FILE PUT|GET name [ASCII] [CRLF] [APPEND] [RECFM(F)] ...
//   CMS, CICS: IND$FILE PUT|GET name [(ASCII CRLF ...]
// The name is kept as typed but in upper case with single blanks (a CMS
// "fn ft fm" keeps its three words; a TSO name keeps its quotes), so both
// directions of one user's transfers meet under the same key.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cedar::hostside {

struct IndFileCommand {
    bool put = false;            // PUT: the terminal sends; GET: the host sends
    bool parenthesised = false;  // the "(" form of CMS and CICS
    std::string name;
    std::vector<std::string> options;  // upper case, in order ("RECFM(V)" kept whole)
    bool has(std::string_view option) const;
    std::string optionText() const;  // the options joined by blanks
};

// The command in `text` (leading blanks allowed), or nothing with `error`
// when the text starts with IND$FILE but is not a valid request. Returns
// nothing with `error` empty when the text is no IND$FILE command at all.
std::optional<IndFileCommand> parseIndFile(std::string_view text, std::string& error);

}  // namespace cedar::hostside
