#include "transfer/transfer_host_list.h"

namespace cedar {

std::optional<std::string> listMacroFor(TransferHostType type) {
    switch (type) {
        case TransferHostType::Tso:
            return "cdr$lstc";
        case TransferHostType::Cms:
            return "cdr$list";
        case TransferHostType::Cics:
            break;
    }
    return std::nullopt;
}

std::string membersDataSet(std::string_view hostName) {
    std::string_view name = hostName.substr(0, hostName.find('('));
    while (!name.empty() && name.front() == ' ')
        name.remove_prefix(1);
    while (!name.empty() && name.back() == ' ')
        name.remove_suffix(1);
    return std::string(name);
}

}  // namespace cedar
