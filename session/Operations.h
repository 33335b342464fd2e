// Exchanges with the writer over the whole workspace.
#pragma once

#include "link/Header.h"

namespace orvan {

class TWorkspace;

// GetICInfo first (its result is not looked at: an unknown model leaves the
// device fields as they were), then the header into CommandHeader.
void GetHeader(TWorkspace& ws, const TPulseWidths& widths, unsigned area, unsigned action);

} // namespace orvan
