// Program ID & Checksum: the ID words and the program checksum into the
// chip, then read back and compared. Also the ID image and the verdict
// that auto program shares.
#pragma once

#include "ops/Operation.h"

#include <string>

namespace orvan {

// The 32-byte ID image in TransferBuffer: IDBuffer, with bytes 12-15 the
// first four characters of the checksum display, so the chip gets the
// checksum of the program it holds.
void BuildIDImage(TOperationContext& ctx);

// Compares the 32 bytes read back in TransferBuffer with IDBuffer (bytes
// 0-11) and the checksum display (12-15). Bit 0: ID differs; bit 1:
// checksum differs.
unsigned IDVerifyFlags(const TOperationContext& ctx);
// "ID && Checksum verify OK!!" for 0, else the failure text.
std::string IDVerifyText(unsigned flags);

void ProgramIDThread(TOperationContext& ctx);

} // namespace orvan
