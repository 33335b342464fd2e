// A program run as a child process in a folder of the test's choosing: to
// its end with everything it printed, or started and left running while the
// test reads what it prints, signals it and waits for its exit.
#pragma once

#include <string>
#include <vector>

namespace orvan::test {

struct TRunResult {
    int Status = -1; // the exit status, -1 if it died of a signal
    std::string Out;
};

// Runs `program` in `dir` to its end; stdout and stderr together.
TRunResult Run(const std::string& dir, const std::string& program,
               const std::vector<std::string>& args);

class TChildProcess {
  public:
    // Where the child's output goes.
    enum class TOutput {
        Pipe,       // stdout and stderr, read with Read/WaitFor/ReadAll
        StdoutPipe, // stdout only; stderr stays the test's
        Null,
    };
    // Starts `program` with `args` in `dir`; Started() says whether it ran.
    TChildProcess(const std::string& dir, const std::string& program,
                  const std::vector<std::string>& args, TOutput output = TOutput::Pipe);
    // Killed (SIGKILL) and reaped if it still runs.
    ~TChildProcess();
    TChildProcess(const TChildProcess&) = delete;
    TChildProcess& operator=(const TChildProcess&) = delete;

    bool Started() const { return ProcessId > 0; }
    int Pid() const { return ProcessId; }
    // The output read so far.
    const std::string& Text() const { return Output; }
    // Reads until the output holds `part` (false when the output ends first).
    bool WaitFor(const std::string& part);
    // Reads a line (without its newline), waiting up to `ms`; false at the
    // end of the output or when the time runs out.
    bool ReadLine(std::string& line, int ms);
    // Reads the output to its end.
    const std::string& ReadAll();
    void Signal(int signal) const;
    // SIGKILL, and reaped.
    void Kill();
    // Reads the output to its end and waits for the process; the exit
    // status, -1 if it died of a signal (then `signal`, when given, says
    // which).
    int Wait(int* signal = nullptr);
    // Waits up to `ms` for the end; true with the exit status if it ended.
    bool WaitExit(int ms, int& status);
    // SIGTERM and wait; the exit status.
    int Stop();

  private:
    int ProcessId = -1;
    int Out = -1;
    std::string Output;
    size_t LineStart = 0;
};

} // namespace orvan::test
