// The main of the store test programs. Given --pg first, the program runs on
// PostgreSQL; without a server its store tests skip one by one, and the
// program as a whole reports skipped to CTest instead of passing with
// nothing run.
#include "testlib/StoreBench.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    const bool pg = orvan::test::TakeStoreArgument(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    return rc == 0 && pg && orvan::test::StoreServerMissing() ? orvan::test::SkippedExitCode : rc;
}
