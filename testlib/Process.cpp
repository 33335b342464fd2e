#include "testlib/Process.h"

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvan::test {
namespace {

[[noreturn]] void Exec(const std::string& dir, const std::string& program,
                       const std::vector<std::string>& args) {
    if (chdir(dir.c_str()) != 0) _exit(126);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
}

int StatusOf(int raw, int* signal) {
    if (signal) *signal = WIFSIGNALED(raw) ? WTERMSIG(raw) : 0;
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

} // namespace

TRunResult Run(const std::string& dir, const std::string& program,
               const std::vector<std::string>& args) {
    TChildProcess child(dir, program, args);
    TRunResult r;
    if (!child.Started()) return r;
    r.Out = child.ReadAll();
    r.Status = child.Wait();
    return r;
}

TChildProcess::TChildProcess(const std::string& dir, const std::string& program,
                             const std::vector<std::string>& args, TOutput output) {
    int fds[2] = {-1, -1};
    if (output != TOutput::Null && pipe(fds) != 0) return;
    ProcessId = fork();
    if (ProcessId == 0) {
        if (output == TOutput::Null) {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
        } else {
            dup2(fds[1], 1);
            if (output == TOutput::Pipe) dup2(fds[1], 2);
            close(fds[0]);
            close(fds[1]);
        }
        Exec(dir, program, args);
    }
    if (output != TOutput::Null) {
        close(fds[1]);
        Out = fds[0];
    }
}

TChildProcess::~TChildProcess() {
    Kill();
    if (Out >= 0) close(Out);
}

void TChildProcess::Kill() {
    if (ProcessId <= 0) return;
    kill(ProcessId, SIGKILL);
    waitpid(ProcessId, nullptr, 0);
    ProcessId = -1;
}

bool TChildProcess::WaitFor(const std::string& part) {
    char buf[256];
    while (Output.find(part) == std::string::npos) {
        const ssize_t n = Out >= 0 ? read(Out, buf, sizeof buf) : -1;
        if (n <= 0) return false;
        Output.append(buf, size_t(n));
    }
    return true;
}

bool TChildProcess::ReadLine(std::string& line, int ms) {
    for (;;) {
        const size_t end = Output.find('\n', LineStart);
        if (end != std::string::npos) {
            line = Output.substr(LineStart, end - LineStart);
            LineStart = end + 1;
            return true;
        }
        pollfd p{Out, POLLIN, 0};
        if (Out < 0 || poll(&p, 1, ms) <= 0) return false;
        char c;
        if (read(Out, &c, 1) != 1) return false;
        Output += c;
    }
}

const std::string& TChildProcess::ReadAll() {
    char buf[4096];
    ssize_t n;
    while (Out >= 0 && (n = read(Out, buf, sizeof buf)) > 0)
        Output.append(buf, static_cast<size_t>(n));
    return Output;
}

void TChildProcess::Signal(int signal) const {
    if (ProcessId > 0) kill(ProcessId, signal);
}

int TChildProcess::Wait(int* signal) {
    if (ProcessId <= 0) return -1;
    ReadAll();
    int raw = 0;
    waitpid(ProcessId, &raw, 0);
    ProcessId = -1;
    return StatusOf(raw, signal);
}

bool TChildProcess::WaitExit(int ms, int& status) {
    for (int waited = 0; ProcessId > 0 && waited <= ms; waited += 10) {
        int raw = 0;
        if (waitpid(ProcessId, &raw, WNOHANG) == ProcessId) {
            ProcessId = -1;
            status = StatusOf(raw, nullptr);
            return true;
        }
        usleep(10'000);
    }
    return false;
}

int TChildProcess::Stop() {
    Signal(SIGTERM);
    return Wait();
}

} // namespace orvan::test
