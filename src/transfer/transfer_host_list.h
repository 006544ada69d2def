// The host list of the transfer dialogs and the listing macros that fill
// it: "List" plays the system's macro for its data sets or files, "Members"
// the one for a partitioned data set's members. The macros read the
// dialog's List level as XFERHLI and the data set as XFERDSN, and add each
// name they find with XFERADDSTG.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "transfer/transfer_state.h"

namespace cedar {

// The macro "List" plays: TSO's LISTCAT, or CMS's LISTFILE; nothing for
// CICS, which has no list.
std::optional<std::string> listMacroFor(TransferHostType type);

// The macro "Members" plays (TSO only).
inline constexpr const char* kMembersMacro = "cdr$lstd";

// The data set whose members "Members" lists: the host name up to its "("
// with the blanks around it dropped; a leading quote stays, so the macro
// knows the name is fully qualified.
std::string membersDataSet(std::string_view hostName);

}  // namespace cedar
