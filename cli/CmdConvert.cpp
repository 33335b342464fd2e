// convert: load a data file, save the program memory as BIN.
#include "cli/Commands.h"

namespace orvan::cli {

int CmdConvert(const TArgs&) {
    return UsageError("convert is not available yet");
}

} // namespace orvan::cli
