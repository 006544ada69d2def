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

// What a press of "List" or "Members" plays, and what the macro reads.
struct HostListing {
    std::string macro;    // cdr$lstc (TSO LISTCAT), cdr$list (CMS LISTFILE), cdr$lstd (members)
    std::string level;    // XFERHLI: the list level as given
    std::string dataSet;  // XFERDSN (members): the host name up to its "(", a
                          // leading quote kept so the macro knows it is fully qualified
};

// Nothing to play: "List" for CICS, which has no list, or "Members" (TSO
// only, whatever system is chosen) without a data set name.
std::optional<HostListing> hostListing(TransferHostType type, bool members,
                                       std::string_view hostName, std::string_view level);

}  // namespace cedar
