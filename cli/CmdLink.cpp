// connect and about: commands that talk to the writer.
#include "cli/Commands.h"

namespace orvan::cli {

int CmdConnect(const TArgs&) {
    return UsageError("connect is not available yet");
}
int CmdAbout(const TArgs&) {
    return UsageError("about is not available yet");
}

} // namespace orvan::cli
