// orvan-cli exit statuses. Scripts on test stations rely on these numbers:
// never renumber them, only add new ones at the end.
#pragma once

namespace orvan::cli {

enum ExitCode : int {
    ExitOk = 0,         // the command did what it was asked
    ExitChipFailed = 1, // the operation ran and the chip failed it
    ExitUsage = 2,      // bad command line
    ExitWriter = 3,     // port cannot be opened, or the writer does not answer
    ExitFile = 4,       // a file cannot be read, is damaged, or cannot be written
    ExitStore = 5,      // the production records cannot be opened or written
};

} // namespace orvan::cli
