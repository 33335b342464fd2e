#include "cli/tests/CliRunner.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace orvan::test {

TCliResult RunCli(const std::string& args, const std::string& workDir) {
    namespace fs = std::filesystem;
    const fs::path errFile =
        fs::temp_directory_path() / ("orvan-cli-err-" + std::to_string(getpid()) + ".txt");
    std::string cmd;
    if (!workDir.empty()) cmd = "cd '" + workDir + "' && ";
    cmd += std::string("'") + ORVAN_CLI_PATH + "' " + args + " 2>'" + errFile.string() + "'";
    TCliResult r;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        r.Out.append(buf, n);
    const int status = pclose(p);
    r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream err(errFile);
    std::stringstream ss;
    ss << err.rdbuf();
    r.Err = ss.str();
    fs::remove(errFile);
    return r;
}

} // namespace orvan::test
