// Production records as the workers keep them: the claim at the start of
// an auto-program run, and one chip record at the end of every run, made
// durable before the operator is offered "Continue".
#pragma once

#include "ops/Operation.h"
#include "production/StoreConfig.h"

#include <atomic>
#include <map>
#include <memory>
#include <string>

namespace orvan {

// The dialog line that says where the numbers continue, and shows in red a
// record that could not be written.
inline constexpr const char* RecordLineControl = "RecordLine";
// The number the run programs (hex), sent once it is in the buffer.
inline constexpr const char* ChipSerialControl = "ChipSerial";
// After each recorded run: "pass" or "fail" (the dialog counts them).
inline constexpr const char* ChipVerdictControl = "ChipVerdict";

// A claim that failed shows this in front of the store's reason.
inline constexpr const char* RecordsFailurePrefix = "Production records: ";

struct TProductionRecords {
    std::shared_ptr<IProductionStore> Store;
    std::string Station;
    std::string DataFile, DataSha256;
    // The operator chose (twice) to start the series or QTP file again at
    // the settings' number; the next claim takes it and clears it.
    std::atomic<bool> RestartSeries{false};
    // A record that fails is tried again every RetryMs; with RetryLimit
    // attempts (0: no limit) the run gives up and says so.
    int RetryMs = 2000;
    int RetryLimit = 0;
};

// Opens the store named by `config` for this station and the data file
// loaded (its SHA-256 read from disk). Null with `error` when it cannot be
// opened.
std::shared_ptr<TProductionRecords> OpenRecords(const TStoreConfig& config,
                                                const std::string& dataFile, std::string& error);

// The desktop's records: opened on first use from production.conf in the
// working directory (else production.db and the host name), the data file
// and its SHA-256 brought up to date. False with `error` when the store
// cannot be opened: production does not start then.
bool PrepareRecords(TWorkspace& ws, std::string& error);

// Number of data records before the end record of a QTP file's text.
int64_t CountQTPRecords(const std::string& text, int lsbFirst);

// One worker run's record: watches the dialog's updates for the verdicts.
class TRunRecorder {
  public:
    TRunRecorder(TOperationContext& ctx, const char* operation);
    ~TRunRecorder();
    TRunRecorder(const TRunRecorder&) = delete;
    TRunRecorder& operator=(const TRunRecorder&) = delete;

    bool Active() const { return Records != nullptr; }
    TChipRecord& Chip() { return Rec; }
    // The chip reached the writer: from now on the run is recorded.
    void Reached() { Due = true; }
    bool Due = false;
    // Writes the record (using up the claim with `consume`), trying again
    // while it fails. False when the run was stopped or gave up; the red
    // line then stays.
    bool Write(bool pass, bool consume);
    bool Written() const { return Done; }

  private:
    void Watch(const TOpUpdate& u);
    TOperationContext& Ctx;
    TProductionRecords* Records;
    TChipRecord Rec;
    std::map<std::string, std::string> Texts;
    std::map<std::string, bool> Red;
    bool Done = false;
};

} // namespace orvan
