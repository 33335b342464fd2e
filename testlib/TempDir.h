// A temporary folder of the test's own, removed with everything in it when
// the test is done.
#pragma once

#include <string>

namespace orvan::test {

class TTempDir {
  public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    const std::string& Path() const { return Dir; }
    std::string File(const std::string& name) const { return Dir + "/" + name; }
    std::string operator/(const std::string& name) const { return File(name); }

  private:
    std::string Dir;
};

} // namespace orvan::test
