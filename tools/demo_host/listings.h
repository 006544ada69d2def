// What the demo host answers to the commands that list its data sets, in
// the shape TSO and CMS give them, so the file transfer dialogs' listing
// macros can read them: LISTCAT [LEVEL(hlq)] ("NONVSAM ------- NAME"
// lines), LISTDS name MEMBERS (the members after "--MEMBERS--", two blanks
// in) and LISTFILE fn ft fm ("FN       FT       A1"). The store's names
// are the catalog: a name with a blank is a CMS file ("FN FT FM"), a name
// "A.B(M)" a member M of the partitioned data set A.B, any other a
// sequential data set.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace cedar::demo {

// The output lines of `command` (as typed, any case), the command itself
// first and the prompt ("READY" or "Ready;") last; nothing when it is no
// listing command.
std::optional<std::vector<std::string>> listingFor(const std::string& command,
                                                   const std::vector<std::string>& names);

}  // namespace cedar::demo
