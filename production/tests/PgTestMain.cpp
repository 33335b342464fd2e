// The main of the PostgreSQL test programs: without a server their store
// tests skip one by one, and the program as a whole reports skipped to CTest
// instead of passing with nothing run.
#include "testlib/StoreBench.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    orvan::test::UsePostgresStore();
    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    return rc == 0 && orvan::test::StoreServerMissing() ? orvan::test::SkippedExitCode : rc;
}
