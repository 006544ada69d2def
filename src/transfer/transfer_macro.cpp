#include "transfer/transfer_macro.h"

namespace cedar {

namespace {

std::string textOf(const MacroValue& value) {
    if (value.isText()) return std::string(value.text.view());
    if (value.isNumber()) return std::to_string(value.number);
    return {};
}

std::string upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 0x20);
    return text;
}

bool looksLikePcPath(const std::string& name) {
    return name.find_first_of(":\\/") != std::string::npos;
}

}  // namespace

std::optional<MacroTransferRequest> macroTransferRequest(TransferDirection direction,
                                                         std::span<const MacroValue> args,
                                                         bool allowSwap) {
    if (args.size() < 2) return std::nullopt;
    MacroTransferRequest r;
    r.direction = direction;
    const bool upload = direction == TransferDirection::Upload;
    r.pcFile = textOf(args[upload ? 0 : 1]);
    r.hostFile = textOf(args[upload ? 1 : 0]);
    // Names given in the other function's order are put right.
    if (allowSwap && looksLikePcPath(r.hostFile) && !looksLikePcPath(r.pcFile))
        std::swap(r.pcFile, r.hostFile);
    for (std::size_t i = 2; i < args.size(); ++i) {
        const std::string word = upper(textOf(args[i]));
        if (word == "TEXT")
            r.binary = false;
        else if (word == "BINARY")
            r.binary = true;
        else if (word == "REPLACE")
            r.append = false;
        else if (word == "APPEND")
            r.append = true;
        else if (word == "TSO")
            r.hostType = TransferHostType::Tso;
        else if (word == "CMS")
            r.hostType = TransferHostType::Cms;
        else if (word == "CICS")
            r.hostType = TransferHostType::Cics;
        else
            r.hostOptions = textOf(args[i]);
    }
    return r;
}

TransferDialogValues macroDialogValues(const MacroTransferRequest& request,
                                       TransferDialogValues values) {
    values.pcName = request.pcFile;
    values.hostName = request.hostFile;
    values.listLevel.clear();
    if (request.binary) {
        values.binary = *request.binary;
        values.ascii = !values.binary;
        values.crlf = !values.binary;
    }
    if (request.append) values.append = *request.append;
    if (request.hostType) values.hostType = *request.hostType;
    values.additionalParameters = request.hostOptions;
    return values;
}

}  // namespace cedar
