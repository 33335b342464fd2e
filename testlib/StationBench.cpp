#include "testlib/StationBench.h"

#include "device/Checksum.h"
#include "sim/SimChip.h"
#include "testlib/Files.h"
#include "testlib/ProgramImage.h"

#include <filesystem>

namespace orvan::test {

std::string TStationBench::ProgramBin() {
    return RtiwProgramBin(Model, SerialAt, 2, 0x0200, 41);
}

TStationBench::TStationBench(std::string cli, std::vector<std::string> faults)
    : CliPath(std::move(cli)) {
    WriteFile(Dir.File("prog.bin"), ProgramBin());
    faults.insert(faults.end(), {"--model", Model, "--fresh-chip", "--image", "chip.img",
                                 "--ports-map", "ports.map", "--control", "faults"});
    Sim = std::make_unique<TSimProcess>(Dir.Path(), faults);
}

std::vector<std::string> TStationBench::Auto(const std::string& db, const std::string& station,
                                             int count, std::vector<std::string> more) const {
    std::vector<std::string> a{
        "-P", "Com1",      "-d",    Model,  "--option", "3AAA",    "--db",
        db,   "--station", station, "auto", "prog.bin", "--count", std::to_string(count)};
    a.insert(a.end(), more.begin(), more.end());
    return a;
}

TRunResult TStationBench::Cli(const std::vector<std::string>& args) const {
    return Run(Dir.Path(), CliPath, args);
}

std::vector<std::string> TStationBench::FinishedChips() const {
    std::vector<std::string> numbers;
    for (int k = 1;; ++k) {
        orvan::sim::TSimChip chip;
        std::string error;
        const std::string path = Dir.File("chip.img." + std::to_string(k));
        if (!std::filesystem::exists(path) || !chip.Load(path, error)) break;
        std::string n;
        for (int i = 0; i < 2; ++i)
            n += HexText(chip.Program[size_t(SerialAt + i)] & 0xFFu, 2);
        numbers.push_back(n);
    }
    return numbers;
}

} // namespace orvan::test
