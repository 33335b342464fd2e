// One station of a production line for end-to-end tests: a folder of its
// own with the program, writer-sim (an OV128 flash chip, a fresh chip
// after every completed run, faults through the control file "faults")
// mapped as Com1, and the real orvan-cli run in that folder.
#pragma once

#include "testlib/Process.h"
#include "testlib/SimProcess.h"
#include "testlib/TempDir.h"

#include <memory>
#include <string>
#include <vector>

namespace orvan::test {

class TStationBench {
  public:
    // Flash: a chip left half done is erased next time.
    static constexpr const char* Model = "OV128";
    // Where the program keeps its two-byte serial number.
    static constexpr int SerialAt = 0x10;
    // The program every station programs ("prog.bin" in its folder).
    static std::string ProgramBin();

    // `cli`: the orvan-cli to run; `faults`: writer-sim's own options.
    explicit TStationBench(std::string cli, std::vector<std::string> faults = {});

    // orvan-cli's arguments for `count` chips of auto program as `station`.
    std::vector<std::string> Auto(const std::string& db, const std::string& station, int count,
                                  std::vector<std::string> more = {}) const;
    TRunResult Cli(const std::vector<std::string>& args) const;
    // Serial numbers of the chips the writer finished, in order.
    std::vector<std::string> FinishedChips() const;

    TTempDir Dir;
    std::unique_ptr<TSimProcess> Sim;

  private:
    std::string CliPath;
};

// The options of a series from 0041 at the program's serial address.
inline const std::vector<std::string> Serial0041{"--serial-addr",  "0010", "--serial-bytes", "2",
                                                 "--serial-value", "0041"};

} // namespace orvan::test
