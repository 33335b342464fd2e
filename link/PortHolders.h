// Which other processes hold a serial device open, as fuser finds them: a
// scan of every /proc/PID/fd the caller may read.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace orvan {

struct TPortHolder {
    int Pid = 0;
    std::string Name; // /proc/PID/comm, e.g. "ModemManager"
};

// Processes other than `exceptPid` with a descriptor on the file `path`
// (matched by device and inode, so any name of it counts), by pid. Processes
// whose descriptors the caller may not read are not seen.
std::vector<TPortHolder> FindHolders(const std::string& path, int exceptPid);

// "in use by ModemManager (pid 812)"; several holders separated by ", ".
std::string HoldersText(const std::vector<TPortHolder>& holders);

// Processes that hold the master side of the pseudo-terminal whose slave is
// `slavePath` (/dev/pts/N): its other end, such as writer-sim. Seen through
// the tty-index the kernel gives each /dev/ptmx descriptor.
std::vector<TPortHolder> FindPtyMasterHolders(const std::string& slavePath);

// A pseudo-terminal's slave side (Unix 98 or legacy BSD), by device number.
bool IsPseudoTerminal(dev_t rdev);

} // namespace orvan
