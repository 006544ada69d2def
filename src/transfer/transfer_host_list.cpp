#include "transfer/transfer_host_list.h"

namespace cedar {

std::optional<HostListing> hostListing(TransferHostType type, bool members,
                                       std::string_view hostName, std::string_view level) {
    HostListing listing;
    listing.level = std::string(level);
    if (!members) {
        if (type == TransferHostType::Cics) return std::nullopt;
        listing.macro = type == TransferHostType::Cms ? "cdr$list" : "cdr$lstc";
        return listing;
    }
    std::string_view name = hostName.substr(0, hostName.find('('));
    while (!name.empty() && name.front() == ' ')
        name.remove_prefix(1);
    while (!name.empty() && name.back() == ' ')
        name.remove_suffix(1);
    if (name.empty() || name == "'") return std::nullopt;
    listing.macro = "cdr$lstd";
    listing.dataSet = std::string(name);
    return listing;
}

}  // namespace cedar
