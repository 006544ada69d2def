#include "transfer/transfer_dialog_values.h"

namespace cedar {

TransferRequest dialogTransferRequest(const TransferDialogValues& values,
                                      TransferDirection direction, const std::string& program,
                                      const std::string& programParameters) {
    TransferRequest r;
    r.direction = direction;
    r.pcFolder = values.pcFolder;
    r.pcName = values.pcName;
    // A list level qualifies TSO names only: a CMS file name in quotes is
    // no CMS file name (for CMS the list level is only what List lists).
    r.hostName = hostFileName(
        values.hostName, {}, !values.listLevel.empty() && values.hostType == TransferHostType::Tso);
    r.program = program.empty() ? "IND$FILE" : program;
    r.binary = values.binary;
    TransferCommandOptions& o = r.command;
    o.hostType = values.hostType;
    o.ascii = values.ascii;
    o.crlf = values.crlf;
    o.append = values.append;
    const TransferRecordValues* record = nullptr;
    if (values.hostType == TransferHostType::Tso) record = &values.tso;
    if (values.hostType == TransferHostType::Cms) record = &values.cms;
    if (record != nullptr) {
        o.recordLength = record->recordLength;
        o.recordFormat = record->recordFormat;
    }
    if (values.hostType == TransferHostType::Tso) {
        o.blockSize = values.blockSize;
        o.primarySpace = values.primarySpace;
        o.secondarySpace = values.secondarySpace;
        o.spaceUnit = values.spaceUnit;
    }
    o.programParameters = programParameters;
    o.dialogParameters = values.additionalParameters;
    return r;
}

}  // namespace cedar
