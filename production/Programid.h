// Program ID & Checksum: the ID words and the program checksum into the
// chip, then read back and compared.
#pragma once

#include "ops/OpLayout.h"
#include "ops/Operation.h"

namespace orvan {

void ProgramIDThread(TOperationContext& ctx);

// The "Program ID Checksum" dialog: title, the program line, the verify
// line; "OK".
const TOpLayout& ProgramIDLayout();

} // namespace orvan
