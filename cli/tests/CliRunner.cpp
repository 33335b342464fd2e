#include "cli/tests/CliRunner.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace orvan::test {
namespace {

std::string Slurp(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::stringstream ss;
    ss << in.rdbuf();
    std::filesystem::remove(file);
    return ss.str();
}

} // namespace

TCliResult RunCli(const std::string& args, const std::string& workDir, const std::string& pipe) {
    namespace fs = std::filesystem;
    const std::string stem = "orvan-cli-" + std::to_string(getpid());
    const fs::path errFile = fs::temp_directory_path() / (stem + "-err.txt");
    const fs::path statusFile = fs::temp_directory_path() / (stem + "-status.txt");
    std::string cmd;
    if (!workDir.empty()) cmd = "cd '" + workDir + "' && ";
    const std::string cli =
        std::string("'") + ORVAN_CLI_PATH + "' " + args + " 2>'" + errFile.string() + "'";
    // sh keeps only the last status of a pipeline: orvan-cli's is noted apart.
    cmd +=
        pipe.empty() ? cli : "{ " + cli + "; echo $? >'" + statusFile.string() + "'; } | " + pipe;
    TCliResult r;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        r.Out.append(buf, n);
    const int status = pclose(p);
    r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (!pipe.empty()) {
        const std::string s = Slurp(statusFile);
        r.Status = s.empty() ? -1 : std::stoi(s);
    }
    r.Err = Slurp(errFile);
    return r;
}

} // namespace orvan::test
