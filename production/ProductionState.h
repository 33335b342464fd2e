// Production's part of the state a front end holds, of a worker's input and
// of what its commits change: the serial-number settings, the QTP file and
// the production records.
#pragma once

#include "ops/Operation.h"
#include "production/Qtp.h"
#include "production/SerialSettings.h"

#include <functional>
#include <memory>

namespace orvan {

struct TProductionRecords;

struct TProductionState {
    TSerialSettings Serial;
    bool QTPActive = false;
    TQTPFile QTP; // QTPHandle and QTPEnd; a worker reads ahead on its own copy
    // The production store and this station (production/Records.h); null
    // until auto program or force write opens it, and then no records kept.
    std::shared_ptr<TProductionRecords> Records;
};

// A worker's copy of it, carried in its input: with records, each run of
// force write is recorded.
struct TProductionInput final : TOpInputExtension, TProductionState {
    std::unique_ptr<TOpInputExtension> Clone() const override;
    std::unique_ptr<IRunRecord> NewRunRecord(TOperationContext& ctx,
                                             const char* operation) override;
};

// The production part of a worker's input, made (serial mode off, no QTP
// file, no records) where the input has none yet.
TProductionState& ProductionIn(TOperationInput& in);

// What production's commits change beyond IOpTarget's: the session's
// workspace implements it.
class IProductionTarget : public IOpTarget {
  public:
    virtual TProductionState& Production() = 0;
    // The number into the buffer, the "Serial No. (HEX) :" display, then the
    // checksums (the main window's SerialNo2Memory).
    virtual void SerialNo2Memory() = 0;
    // The QTP file closed, serial mode off, both shown as "Disable".
    virtual void CloseQTP() = 0;
};

// A commit of a production worker: applied to the owner's production state.
void CommitProduction(TOpDialog& dialog, std::function<void(IProductionTarget&)> apply);

} // namespace orvan
