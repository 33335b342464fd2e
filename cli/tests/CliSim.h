// orvan-cli against writer-sim in a working directory of its own: the
// simulator writes ports.map there, the command runs there with its stdout
// and stderr apart.
#pragma once

#include "cli/tests/CliRunner.h"
#include "testlib/Files.h"
#include "testlib/SimTest.h"
#include "testlib/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace orvan::test {

struct CliSim : TSimTest {
    void StartSim(std::vector<std::string> args, const std::string& model = "OV128") {
        args.insert(args.end(), {"--model", model});
        TSimTest::StartSim(args);
    }
    TCliResult Cli(const std::string& args) const { return RunCli(args, Dir.Path()); }
    // A BIN image of `words` words that programs and verifies on any model.
    std::string WriteBin(const std::string& name, int words) const {
        std::string bytes;
        for (int k = 0; k < words; ++k) {
            const unsigned w = (unsigned(k) * 2654435761u + 11) >> 7 & 0x0FFF;
            bytes += char(w & 0xFF);
            bytes += char(w >> 8);
        }
        test::WriteFile(Dir.File(name), bytes);
        return name;
    }
};

// Every line of `out` as a JSON object; a line that does not parse fails
// the test and is left out.
inline std::vector<nlohmann::json> JsonLines(const std::string& out) {
    std::vector<nlohmann::json> events;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        const nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
        EXPECT_TRUE(j.is_object()) << "not a JSON object: " << line;
        if (j.is_object()) events.push_back(j);
    }
    return events;
}

} // namespace orvan::test
