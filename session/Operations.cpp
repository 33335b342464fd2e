#include "session/Operations.h"

#include "session/Workspace.h"

namespace orvan {

void GetHeader(TWorkspace& ws, const TPulseWidths& widths, unsigned area, unsigned action) {
    (void)ws.GetICInfo();
    ws.Buffers.CommandHeader =
        BuildHeader(area, action, ws.Device, ws.Buffers.OptionLo, ws.Buffers.OptionHi, widths);
}

} // namespace orvan
