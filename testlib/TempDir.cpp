#include "testlib/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace orvan::test {

TTempDir::TTempDir() {
    std::string t = (std::filesystem::temp_directory_path() / "orvan-test-XXXXXX").string();
    if (!mkdtemp(t.data())) std::abort();
    Dir = t;
}

TTempDir::~TTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(Dir, ec);
}

} // namespace orvan::test
