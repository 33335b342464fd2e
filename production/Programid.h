// Program ID & Checksum: the ID words and the program checksum into the
// chip, then read back and compared.
#pragma once

#include "ops/Operation.h"

namespace orvan {

void ProgramIDThread(TOperationContext& ctx);

} // namespace orvan
