// A worker's whole world in one process: the simulated writer's state
// machine behind the scripted port, on a manual clock, and a sink that
// records every dialog update and applies every commit to a workspace.
#pragma once

#include "testlib/FakePort.h"
#include "ops/OpLayout.h"
#include "ops/Operation.h"
#include "session/Workspace.h"
#include "sim/SimWriter.h"
#include "testlib/FakePort.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace orvan::test {

// The dialog as the operator finally sees it (a button no update enabled
// is disabled), the history of updates, and what the run came to.
class TRecordingSink final : public IOperationSink {
  public:
    explicit TRecordingSink(TWorkspace& ws) : Ws(&ws) {}
    void Update(TOpUpdate u) override;
    void Commit(TOpCommit apply) override { apply(*Ws); }
    void Finished(const TOpOutcome& outcome) override { Outcome = outcome; }

    TDialogState Dialog{[] {
        TDialogState::TControl blank;
        blank.Enabled = false;
        return blank;
    }()};
    std::vector<TOpUpdate> Updates;
    std::vector<int> GaugeHistory;
    TOpOutcome Outcome;
    // Sees each update as the worker sends it.
    std::function<void(const TOpUpdate&)> Watch;

    const TDialogState::TControl& operator[](const std::string& control) const {
        return Dialog[control];
    }
    bool Red(const std::string& control) const {
        return Dialog[control].Colour == TLineColour::Red;
    }

  private:
    TWorkspace* Ws;
};

// Whose fault a run's outcome says a failure is, in the tests' tables.
inline constexpr TFailureClass ByWriter = TFailureClass::Writer, ByChip = TFailureClass::Chip;

struct TOpsBench {
    TManualClock Clock{500};
    TFakePort Port{Clock};
    std::unique_ptr<sim::TSimChip> Chip = std::make_unique<sim::TSimChip>();
    std::unique_ptr<sim::TSimWriter> Writer;
    std::unique_ptr<TWorkspace> Ws = std::make_unique<TWorkspace>();
    TProtocolState State;
    TPulseWidths Widths;
    // Handed to each run's sink.
    std::function<void(const TOpUpdate&)> Watch;
    // Sees (and may change) the simulated writer's reply to the host's byte
    // number `step` (0-based over the bench's life).
    std::function<void(size_t step, uint8_t sent, std::vector<uint8_t>& reply)> Tamper;

    explicit TOpsBench(const std::string& model,
                       sim::TWriterKind kind = sim::TWriterKind::Universal);

    // Tamper rules: the reply to `step` becomes `bytes`; no reply from
    // `step` on.
    void ReplyAt(size_t step, std::vector<uint8_t> bytes);
    void SilentFrom(size_t step);
    // A chip image for the workspace and the worker: `words` from word 0,
    // the rest blank.
    void LoadWords(const std::vector<unsigned>& words);

    // Runs `routine` on this thread to its end against a snapshot of Ws; the
    // commits land in Ws as the worker makes them.
    TRecordingSink Run(TWorkerRoutine routine, std::stop_token stop = {});
};

} // namespace orvan::test
