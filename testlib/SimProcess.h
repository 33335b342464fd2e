// writer-sim as a child process: started in a folder with its arguments,
// the slave side of its pseudo-terminal read from its first line.
#pragma once

#include "testlib/Process.h"

#include <memory>
#include <string>
#include <vector>

namespace orvan::test {

// The writer-sim of this build.
const char* WriterSimPath();

class TSimProcess {
  public:
    TSimProcess(const std::string& dir, const std::vector<std::string>& args,
                const std::string& program = WriterSimPath());
    // Stopped as Stop() does: the simulator saves its chip on the way out.
    ~TSimProcess() { Child.Stop(); }
    TSimProcess(const TSimProcess&) = delete;
    TSimProcess& operator=(const TSimProcess&) = delete;

    bool Started() const { return !SlavePath.empty(); }
    const std::string& Slave() const { return SlavePath; }
    int Pid() const { return Child.Pid(); }
    // SIGTERM and wait; the exit status (-1 if it died of a signal).
    int Stop() { return Child.Stop(); }
    // Waits for the process to end on its own, up to `ms`.
    bool WaitExit(int ms, int& status) { return Child.WaitExit(ms, status); }

  private:
    TChildProcess Child;
    std::string SlavePath;
};

} // namespace orvan::test
