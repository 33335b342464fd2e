// What every chip operation is built on: the lines of its dialog as a
// stream of updates, the worker's own copy of the state it reads, the
// dialog's one-second ticks as the writer's time-out clock, and a runner
// that starts the worker on its own thread and stops it between two bytes.
//
// A worker never touches the window or the main window's state: it sends
// updates (text, colour, visibility, enabled state, gauge) and commits
// (changes to the state its owner holds) through its sink; the desktop
// applies both on the GUI thread in order, orvan-cli prints them, tests
// record them. The layers above add their own part to the input (serial
// numbers, records) and to the state the commits change.
#pragma once

#include "buffer/BufferBlock.h"
#include "device/Catalogue.h"
#include "link/Header.h"
#include "link/Protocol.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <variant>

namespace orvan {

class TOperationContext;

// Failure lines are pure red (255, 0, 0); everything else keeps the
// dialog's default text colour.
enum class TLineColour : uint8_t { Default, Red };

// One change to a named control of an operation dialog ("StaticText1",
// "Label1".."Label5", "EEInfo", "CGauge1", "Button1", "Button2", "ButtonOk").
struct TOpUpdate {
    enum class TKind : uint8_t { Text, Colour, Visible, Enabled, Gauge };
    TKind Kind = TKind::Text;
    std::string Control;
    std::string Text; // Text
    int Value = 0;    // Colour (TLineColour), Visible/Enabled (0/1), Gauge (percent)
};

// How a worker's run ended, for front ends that report it without reading
// the dialog's lines (exit statuses, JSON, counts).
enum class TFailureClass : uint8_t {
    None,    // passed
    Chip,    // the chip failed a step (not blank, a verify difference, no chip)
    Writer,  // the writer did not answer, answered wrongly, or is of the wrong type
    File,    // an input such as a QTP record is damaged
    Store,   // the production records could not be read or written
    Stopped, // the operator or a signal stopped it
};

// Whose fault a result other than the expected one is: no chip, an
// adapter error and a cell that would not program are the chip's; a
// silent, wrong or mismatched writer is the writer's.
TFailureClass FailureClassOf(WriterResult r);

struct TOpOutcome {
    bool Pass = false;
    TFailureClass Failure = TFailureClass::None;
    std::string FirstFailure; // the first failing line, "&" shown once
    // Production runs.
    std::string Serial;       // the number the chip carries (hex); empty without
    bool Recorded = false;    // the chip's record was written
    std::string RecordError;  // why it was not, when it was due
    bool SeriesEnded = false; // a QTP file has no record left for another chip
    // ... because its next record is damaged: the chip itself may have passed.
    bool SeriesDamaged = false;

    // The first failure counts; later ones do not change the class.
    void Fail(TFailureClass c, const std::string& line);
};

// A label's text as the operator reads it: "&&" shows one "&".
std::string DisplayText(std::string_view labelText);

// The state an operation's commits change, as its owner holds it (the
// session's workspace).
class IOpTarget {
  public:
    virtual ~IOpTarget() = default;
    virtual TBufferBlock& BufferBlock() = 0;
    // The program memory now holds what was read from a chip: ReadDone, and
    // the checksums computed again.
    virtual void ProgramRead() = 0;
    // The status panel's pass count.
    virtual std::string& PassCount() = 0;
};

// A change to the main window's state, applied on the thread that owns it.
using TOpCommit = std::function<void(IOpTarget&)>;

class IOperationSink {
  public:
    virtual ~IOperationSink() = default;
    virtual void Update(TOpUpdate update) = 0;
    virtual void Commit(TOpCommit apply) = 0;
    // The run is over: what it came to, after its last update and commit.
    virtual void Finished(const TOpOutcome&) {}
};

// The dialog as a worker sees it.
class TOpDialog {
  public:
    explicit TOpDialog(IOperationSink& sink) : Sink(sink) {}

    void Text(const std::string& control, const std::string& text);
    void Colour(const std::string& control, TLineColour colour);
    void Visible(const std::string& control, bool visible);
    void Enabled(const std::string& control, bool enabled);
    void Gauge(int percent);
    // The line turns red and shows `text`.
    void Fail(const std::string& control, const std::string& text);
    void Commit(TOpCommit apply) { Sink.Commit(std::move(apply)); }
    void Finished(const TOpOutcome& outcome) { Sink.Finished(outcome); }
    // Sees every update the worker sends (the production records keep the
    // run's verdicts from it); set and cleared on the worker's thread.
    std::function<void(const TOpUpdate&)> Watcher;

  private:
    void Send(TOpUpdate update);
    IOperationSink& Sink;
};

// Updates and commits queued in order by the worker and taken out by the
// owner's thread. `Notify` (optional) is called after each push, from the
// worker's thread: the desktop posts a drain to the GUI thread there.
class TOperationQueue final : public IOperationSink {
  public:
    using TItem = std::variant<TOpUpdate, TOpCommit, TOpOutcome>;

    void Update(TOpUpdate update) override;
    void Commit(TOpCommit apply) override;
    void Finished(const TOpOutcome& outcome) override;

    std::function<void()> Notify;

    // Takes out everything queued so far: updates go to `render`, commits are
    // applied to `target`, a run's end to `finished`. Returns the number of
    // items taken.
    size_t Drain(IOpTarget& target, const std::function<void(const TOpUpdate&)>& render,
                 const std::function<void(const TOpOutcome&)>& finished = {});
    // Waits until something is queued or `timeoutMs` passed.
    void WaitForItems(int timeoutMs);

  private:
    void Push(TItem item);
    std::mutex Lock;
    std::condition_variable Arrived;
    std::deque<TItem> Items;
};

// The dialog's Timer1 and Ticks: while on, Ticks counts whole seconds since
// the last reset. A worker that times the writer by ticks gives up when
// Ticks reaches its limit (3; 2 in force write).
class TTicks {
  public:
    explicit TTicks(IClock& clock) : Clock(clock) {}
    // Ticks = 0, Timer1 on.
    void Restart() { StartMs = Clock.NowMs(); }
    // The clock reading at which Ticks reaches `ticks`.
    int64_t Deadline(int ticks) const { return StartMs + int64_t(ticks) * 1000; }
    int Count() const { return int((Clock.NowMs() - StartMs) / 1000); }

  private:
    IClock& Clock;
    int64_t StartMs = 0;
};

// The record of one run, where runs are recorded (the production records):
// force write keeps one for each chip.
class IRunRecord {
  public:
    virtual ~IRunRecord() = default;
    // The chip reached the writer: from now on the run is recorded.
    virtual void Reached() = 0;
    virtual bool Due() const = 0;
    // The program checksum the chip carries.
    virtual void SetChecksum(const std::string& checksum) = 0;
    // Writes the record, once; false (the record line says why) when it
    // could not.
    virtual bool Write(bool pass, bool consume) = 0;
};

// What a layer above adds to a worker's input (production: the serial
// numbers, the QTP file, the records).
class TOpInputExtension {
  public:
    virtual ~TOpInputExtension() = default;
    virtual std::unique_ptr<TOpInputExtension> Clone() const = 0;
    // The record of a run of `operation`; null where runs are not recorded.
    virtual std::unique_ptr<IRunRecord> NewRunRecord(TOperationContext& ctx,
                                                     const char* operation) = 0;
};

// Holds an extension by value: a copy of the input is a copy of it too, so
// a worker reads ahead on its own.
class TOpExtensionSlot {
  public:
    TOpExtensionSlot() = default;
    TOpExtensionSlot(const TOpExtensionSlot& other) : Held(Copy(other)) {}
    TOpExtensionSlot& operator=(const TOpExtensionSlot& other) {
        Held = Copy(other);
        return *this;
    }
    TOpExtensionSlot(TOpExtensionSlot&&) noexcept = default;
    TOpExtensionSlot& operator=(TOpExtensionSlot&&) noexcept = default;

    TOpInputExtension* Get() const { return Held.get(); }
    void Set(std::unique_ptr<TOpInputExtension> extension) { Held = std::move(extension); }

  private:
    static std::unique_ptr<TOpInputExtension> Copy(const TOpExtensionSlot& other) {
        return other.Held ? other.Held->Clone() : nullptr;
    }
    std::unique_ptr<TOpInputExtension> Held;
};

// What a worker reads of the main window, copied on the GUI thread before
// it starts, so that the window's timer and edits never race with it.
struct TOperationInput {
    std::string DeviceName;
    TBufferBlock Buffers;
    TPulseWidths PulseWidths;
    bool EraseFirst = false;
    bool VerifyProtect = false;
    bool SkipBlankCheck = false;
    // Decoding state of the OPTION word: bit 0 blank field, bit 1 invalid field.
    uint8_t OptionStatus = 0;
    // The status panel's checksum text (four hex digits, or "Blank").
    std::string ChecksumText;
    std::string PassCount;
    TOpExtensionSlot Extension;
};

// Everything a worker routine runs against.
class TOperationContext {
  public:
    TOperationContext(IPort& port, TProtocolState& state, IClock& clock, IOperationSink& sink,
                      TOperationInput input, std::stop_token stop);
    TOperationContext(const TOperationContext&) = delete;
    TOperationContext& operator=(const TOperationContext&) = delete;

    IPort& Port;
    TProtocolState& State;
    IClock& Clock;
    TOpDialog Dialog;
    std::stop_token Stop;
    TOperationInput In;  // the worker's own buffers (CommandHeader and TransferBuffer included)
    TDeviceState Device; // the worker's own device state
    TTicks Ticks;
    TOpOutcome Outcome; // what the run comes to; the runner hands it back

    // `control` turns red with `text`, and the run has failed for `why`
    // (for a stop, when one was asked for: the line is then its echo).
    void FailLine(const std::string& control, const std::string& text, TFailureClass why);
    // The same for a result other than the one expected: its standard line.
    void FailLine(const std::string& control, WriterResult r);
    // The run has failed on a line that keeps the default colour.
    void NoteFailure(TFailureClass why, const std::string& line);
    // The worker did all it set out to do: a pass, unless a step failed on
    // the way.
    void Passed() { Outcome.Pass = Outcome.Failure == TFailureClass::None; }

    // Refreshes Device from In.DeviceName: row index, or -1 for no model.
    int GetICInfo();
    // GetICInfo, then the header for `area` and `action` into In.Buffers.
    void GetHeader(unsigned area, unsigned action);
    // The primitives over the worker's own buffers and device state.
    TWriterProtocol Protocol();
    bool StopRequested() const { return Stop.stop_requested(); }
};

using TWorkerRoutine = void (*)(TOperationContext&);

// Runs `routine` to its end on this thread; a run that ended on a stop
// request without passing or failing was stopped. The sink is told last.
void RunWorker(TOperationContext& ctx, TWorkerRoutine routine);

// The record of this run of `operation`, from the input's extension; null
// where runs are not recorded.
std::unique_ptr<IRunRecord> NewRunRecord(TOperationContext& ctx, const char* operation);

// Runs one worker at a time on its own thread. Stop() asks the worker to
// stop (its waits notice it between two bytes) and joins it; the
// destructor does the same, so no worker outlives its dialog.
class TOperationRunner {
  public:
    TOperationRunner() = default;
    TOperationRunner(const TOperationRunner&) = delete;
    TOperationRunner& operator=(const TOperationRunner&) = delete;
    ~TOperationRunner() { Stop(); }

    // Joins a finished earlier run first. The context is built here so
    // that it carries this run's stop token.
    void Start(IPort& port, TProtocolState& state, IClock& clock, IOperationSink& sink,
               TOperationInput input, TWorkerRoutine routine);
    void Stop();
    // Asks the worker to stop without waiting for it; Stop() joins it.
    void RequestStop() { Thread.request_stop(); }
    bool Running() const { return Thread.joinable() && !Finished.load(); }
    // The last run's outcome; read after Stop().
    const TOpOutcome& Outcome() const { return Last; }

  private:
    TOpOutcome Last;
    std::jthread Thread;
    std::atomic<bool> Finished{true};
};

} // namespace orvan
