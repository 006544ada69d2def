// What the send and receive dialogs hold, and the transfer request they
// make of it. Record length and format are kept for TSO and for CMS apart.
#pragma once

#include <string>

#include "transfer/transfer_request.h"

namespace cedar {

struct TransferRecordValues {
    int recordLength = 0;
    RecordFormat recordFormat = RecordFormat::None;
};

struct TransferDialogValues {
    std::string pcFolder;
    std::string pcName;
    std::string hostName;
    std::string listLevel;
    bool binary = false;
    bool append = false;
    TransferHostType hostType = TransferHostType::Tso;
    bool ascii = true;
    bool crlf = true;
    TransferRecordValues tso;
    TransferRecordValues cms;
    int blockSize = 0;
    int primarySpace = 0;
    int secondarySpace = 0;
    SpaceUnit spaceUnit = SpaceUnit::Tracks;
    std::string additionalParameters;
};

// The request for one transfer. `program` and `programParameters` are the
// session's UPPROGRAM/DOWNPROGRAM and UP/DOWNADDITIONALPARAMETERS.
TransferRequest dialogTransferRequest(const TransferDialogValues& values,
                                      TransferDirection direction, const std::string& program,
                                      const std::string& programParameters);

}  // namespace cedar
