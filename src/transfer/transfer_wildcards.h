// Several transfers from one request: the source pattern with "*" and "?"
// matched against a list of names, the target name built from what "*"
// matched, and the macro of SendFile/ReceiveFile lines that carries them out.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "transfer/transfer_state.h"

namespace cedar {

// "*" matches any run of characters, "?" one character other than "." and
// "'". On a match, the runs the stars matched, in order (each as short as
// the rest of the pattern allows). Host names compare without regard to
// case, PC names exactly.
std::optional<std::vector<std::string>> matchWildcard(std::string_view pattern,
                                                      std::string_view name, bool ignoreCase);

// The target pattern with its n-th "*" replaced by the n-th matched run (a
// star without a run of its own is dropped).
std::string applyWildcardTarget(std::string_view target, const std::vector<std::string>& runs);

// A message box's text and title.
struct TransferMessage {
    std::string text;
    std::string title;
};

struct MultiTransferRequest {
    TransferDirection direction = TransferDirection::Download;
    std::string sourcePattern;  // the source name as entered
    std::string targetPattern;  // the target name as entered
    // Uploads: the names of the files in the PC folder. Downloads: the host
    // list, or just its selected entries when two or more are selected.
    std::vector<std::string> sourceNames;
    std::string pcFolder;  // ends with "/" or is empty
    bool binary = false;
    bool append = false;
    TransferHostType hostType = TransferHostType::Tso;
};

// What the "Send"/"Receive" press turns into.
struct MultiTransferPlan {
    enum class Kind { Single, Macro, Error } kind = Kind::Single;
    std::string macroText;  // Kind::Macro: the generated macro
    TransferMessage error;  // Kind::Error
    int transfers = 0;      // Kind::Macro: its lines
};

// `selectedCount`: how many host list entries are selected (downloads).
MultiTransferPlan planMultipleTransfers(const MultiTransferRequest& request, int selectedCount);

// One macro line; nullopt (and `error` set) when a name holds a control
// character or is too long for a macro string. Quotes inside names are
// doubled, as the macro language reads them.
std::optional<std::string> sendFileLine(std::string_view pcPath, std::string_view hostName,
                                        bool binary, bool append, TransferHostType hostType,
                                        TransferMessage& error);
std::optional<std::string> receiveFileLine(std::string_view hostName, std::string_view pcPath,
                                           bool binary, bool append, TransferHostType hostType,
                                           TransferMessage& error);

const char* hostTypeWord(TransferHostType type);

}  // namespace cedar
