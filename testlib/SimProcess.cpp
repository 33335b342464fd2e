#include "testlib/SimProcess.h"

namespace orvan::test {

const char* WriterSimPath() {
    return WRITER_SIM;
}

TSimProcess::TSimProcess(const std::string& dir, const std::vector<std::string>& args,
                         const std::string& program)
    : Child(dir, program, args, TChildProcess::TOutput::StdoutPipe) {
    // The first line is the slave path; give the simulator 5 s to start.
    std::string line;
    if (Child.ReadLine(line, 5000)) SlavePath = line;
}

} // namespace orvan::test
