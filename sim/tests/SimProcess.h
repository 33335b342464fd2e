// Test helpers: a temporary working directory, writer-sim as a child
// process, and running a program to completion with its output.
#pragma once

#include <string>
#include <vector>

namespace orvan::sim::test {

class TTempDir {
  public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    const std::string& Path() const { return Dir; }
    std::string File(const std::string& name) const { return Dir + "/" + name; }

  private:
    std::string Dir;
};

// writer-sim started in `dir` with `args`; the slave path is its first line.
class TSimProcess {
  public:
    TSimProcess(const std::string& dir, const std::vector<std::string>& args);
    ~TSimProcess();
    TSimProcess(const TSimProcess&) = delete;
    TSimProcess& operator=(const TSimProcess&) = delete;

    bool Started() const { return !SlavePath.empty(); }
    const std::string& Slave() const { return SlavePath; }
    int Pid() const { return ProcessId; }
    // SIGTERM and wait; the exit status (-1 if it died of a signal).
    int Stop();
    // Waits for the process to end on its own, up to `ms`.
    bool WaitExit(int ms, int& status);

  private:
    int ProcessId = -1;
    int Out = -1;
    std::string SlavePath;
};

struct TRunResult {
    int Status = -1;
    std::string Out;
};

// Runs `program` in `dir` to its end; stdout and stderr together.
TRunResult Run(const std::string& dir, const std::string& program,
               const std::vector<std::string>& args);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);

} // namespace orvan::sim::test
