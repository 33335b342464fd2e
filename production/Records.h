// Production records as the workers keep them: the claim at the start of
// an auto-program run, and one chip record at the end of every run, made
// durable before the operator is offered "Continue".
#pragma once

#include "ops/OpLayout.h"
#include "ops/Operation.h"
#include "production/Store.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace orvan {

// The dialog line that says where the numbers continue, and shows in red a
// record that could not be written.
inline constexpr const char* RecordLineControl = "RecordLine";
// The number the run programs (hex), sent once it is in the buffer.
inline constexpr const char* ChipSerialControl = "ChipSerial";

// A claim that failed shows this in front of the store's reason.
inline constexpr const char* RecordsFailurePrefix = "Production records: ";

struct TProductionRecords {
    std::shared_ptr<IProductionStore> Store;
    std::string Station; // held by this process while the store is open
    std::string DataFile, DataSha256;
    // Chips the station left with an armed number when it last stopped,
    // recorded as unknown outcomes when it took its name again: the front
    // end tells the operator once.
    std::vector<TChipRecord> Unknown;
    // The operator chose (twice) to start the series or QTP file again at
    // the settings' number; the next claim takes it and clears it.
    std::atomic<bool> RestartSeries{false};
};

// The line that tells the operator of a chip recorded as an unknown outcome.
std::string UnknownOutcomeLine(const TChipRecord& chip);

// Number of data records before the end record of a QTP file's text;
// `damaged` (when given) tells whether a record that cannot be read came
// first.
int64_t CountQTPRecords(const std::string& text, int lsbFirst, bool* damaged = nullptr);

// One worker run's record: watches the dialog's updates for the verdicts.
class TRunRecorder final : public IRunRecord {
  public:
    TRunRecorder(TOperationContext& ctx, const char* operation);
    ~TRunRecorder() override;
    TRunRecorder(const TRunRecorder&) = delete;
    TRunRecorder& operator=(const TRunRecorder&) = delete;

    bool Active() const { return Records != nullptr; }
    TChipRecord& Chip() { return Rec; }
    // The chip reached the writer: from now on the run is recorded.
    void Reached() override { IsDue = true; }
    // The chip was not touched after all.
    void NotReached() { IsDue = false; }
    bool Due() const override { return IsDue; }
    void SetChecksum(const std::string& checksum) override { Rec.Checksum = checksum; }
    // The claim goes on the chip: from now on its number is used up,
    // whatever becomes of the run. False (the line says why) when the
    // store refuses: the chip must not be touched then.
    bool Arm();
    bool Armed() const { return IsArmed; }
    // Writes the record (using up the claim with `consume`), once, within
    // the store's bounded wait. False when it could not: the record line
    // says so in red and production stops there.
    bool Write(bool pass, bool consume) override;
    bool Written() const { return Done; }

  private:
    void Watch(const TOpUpdate& u);
    TOperationContext& Ctx;
    TProductionRecords* Records;
    TChipRecord Rec;
    TDialogState Lines; // the run's own lines, for the verdicts
    bool IsDue = false;
    bool Done = false;
    bool IsArmed = false;
};

} // namespace orvan
