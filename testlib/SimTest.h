// A test with writer-sim in a folder of its own: the simulator writes
// ports.map there, and the programs under test run there.
#pragma once

#include "testlib/SimProcess.h"
#include "testlib/TempDir.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace orvan::test {

struct TSimTest : ::testing::Test {
    TTempDir Dir;
    std::unique_ptr<TSimProcess> Sim;

    // Starts writer-sim with `args`, mapped to `port` in the folder's
    // ports.map; one writer on the line at a time.
    void StartSim(std::vector<std::string> args, const std::string& port = "Com1") {
        args.insert(args.end(), {"--ports-map", "ports.map", "--port", port});
        Sim.reset();
        Sim = std::make_unique<TSimProcess>(Dir.Path(), args);
        ASSERT_TRUE(Sim->Started());
    }
};

} // namespace orvan::test
