// The send and receive dialogs' values kept in the session options record,
// so that a dialog opens with what it held the last time, in this run and
// the next. The record's transfer blocks hold them, one share per
// direction:
//
//   PC name (260 bytes) and PC folder (260):  upload 4244 and 4504,
//                                             download 4764 and 5024
//   the rest, from 831 (upload) and 1209 (download):
//     +0 host name (55)  +55 list level (45)  +100 additional parameters (101)
//     +201 flags: 1 binary, 2 append, 4 no ASCII, 8 no CRLF
//     +202 host type (0 TSO, 1 CMS, 2 CICS)
//     +203 TSO record format, +204 CMS record format (0 none, 1 F, 2 V)
//     +205 space unit (0 tracks, 1 cylinders)
//     +206 TSO record length, +210 CMS record length, +214 block size,
//     +218 primary and +222 secondary space (32-bit, least significant first)
//
// Texts are NUL-terminated inside their field. A zeroed record reads as the
// dialog's defaults (text with ASCII and CRLF, TSO); whatever else the bytes
// hold (an older file, a damaged one), the values read stay within the
// dialog's limits.
#pragma once

#include <cstdint>
#include <span>

#include "transfer/transfer_dialog_values.h"

namespace cedar {

// Nothing is read or written when `record` is shorter than the blocks.
TransferDialogValues storedDialogValues(std::span<const std::uint8_t> record,
                                        TransferDirection direction);
void storeDialogValues(std::span<std::uint8_t> record, TransferDirection direction,
                       const TransferDialogValues& values);

}  // namespace cedar
