#include "SimProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace orvan::sim::test {
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

} // namespace

TTempDir::TTempDir() {
    std::string t = (std::filesystem::temp_directory_path() / "orvan-sim-XXXXXX").string();
    if (!mkdtemp(t.data())) std::abort();
    Dir = t;
}

TTempDir::~TTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(Dir, ec);
}

TSimProcess::TSimProcess(const std::string& dir, const std::vector<std::string>& args) {
    int fds[2];
    if (pipe(fds) != 0) return;
    ProcessId = fork();
    if (ProcessId == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        close(fds[1]);
        Exec(dir, WRITER_SIM, args);
    }
    close(fds[1]);
    Out = fds[0];
    // The first line is the slave path; give the simulator 5 s to start.
    std::string line;
    for (;;) {
        pollfd p{Out, POLLIN, 0};
        if (poll(&p, 1, 5000) <= 0) break;
        char c;
        if (read(Out, &c, 1) != 1) break;
        if (c == '\n') {
            SlavePath = line;
            break;
        }
        line += c;
    }
}

TSimProcess::~TSimProcess() {
    Stop();
    if (Out >= 0) close(Out);
}

int TSimProcess::Stop() {
    if (ProcessId <= 0) return -1;
    kill(ProcessId, SIGTERM);
    int status = 0;
    waitpid(ProcessId, &status, 0);
    ProcessId = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool TSimProcess::WaitExit(int ms, int& status) {
    for (int waited = 0; ProcessId > 0 && waited <= ms; waited += 10) {
        int s = 0;
        if (waitpid(ProcessId, &s, WNOHANG) == ProcessId) {
            ProcessId = -1;
            status = WIFEXITED(s) ? WEXITSTATUS(s) : -1;
            return true;
        }
        usleep(10'000);
    }
    return false;
}

TRunResult Run(const std::string& dir, const std::string& program,
               const std::vector<std::string>& args) {
    TRunResult r;
    int fds[2];
    if (pipe(fds) != 0) return r;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        dup2(fds[1], 2);
        close(fds[0]);
        close(fds[1]);
        Exec(dir, program, args);
    }
    close(fds[1]);
    char buf[4096];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0)
        r.Out.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string ReadFile(const std::string& path) {
    std::ifstream f(path);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream f(path, std::ios::trunc);
    f << text;
}

} // namespace orvan::sim::test
