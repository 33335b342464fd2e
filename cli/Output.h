// What orvan-cli prints: plain lines for an operator, or with --json one
// JSON object a line on stdout for a test station. Commands print through
// here so that stdout holds nothing but JSON when --json is given, and every
// run then ends with one "result" object.
#pragma once

#include "cli/ExitCodes.h"
#include "ops/OpLayout.h"
#include "ops/Operation.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace orvan::cli {

using TJson = nlohmann::ordered_json;

// Set once by main from --json, before the command runs.
void SetJsonOutput(bool on);
bool JsonOutput();

// -q: a run prints only its result line (nothing when a chip command
// passed); -v: every line of a dialog as it changes. A command whose output
// is its answer (devices, status, ports...) prints it whatever is chosen.
enum class TVerbosity { Quiet, Normal, Verbose };
void SetVerbosity(TVerbosity v);
TVerbosity Verbosity();

// The command's own fields of the final "result" object.
TJson& Result();

// One JSON line on stdout, flushed at once (a station reads it as it comes).
void Emit(const TJson& event);

// A line for the operator on stdout; dropped with --json (the same facts
// go into events or the result).
void PrintLine(const std::string& line);

// Standard output carries a file (read -): from now on the operator's lines
// go to stderr.
void FileOnStdout();
// `bytes` on stdout; false when they could not be written.
bool WriteStdout(const std::vector<uint8_t>& bytes);
// A line of a run's course (a chip of auto, a run of force-write, the ID
// programmed): dropped with -q, as PrintLine with --json.
void PrintDetail(const std::string& line);
// A finished run's dialog: its final lines (none with -v, which showed each
// as it changed); with -q only what it failed on, as an "ERROR: " line.
void PrintOutcome(const TDialogState& dialog, const TOpOutcome& outcome);

// The exit status a run's outcome comes to.
ExitCode ExitOf(const TOpOutcome& outcome);
// What a failed run failed on: its dialog's first red line, else the line
// the worker noted (a difference shown in the default colour).
std::string FailureOf(const TDialogState& dialog, const TOpOutcome& outcome);

// A failure: `text` on stderr, as the command has always printed it, and
// the result's "error"; returns `code`.
int Fail(ExitCode code, const std::string& text);
// A failure printed on stdout in plain mode (port errors, "ERROR: " lines
// beside an operation's own lines); with --json it goes to stderr instead.
int FailOnStdout(ExitCode code, const std::string& text);
// "ERROR: TEXT" on stdout in plain mode, as an operation's failed line
// reads; with --json TEXT goes to stderr and the result.
int ErrorLine(ExitCode code, const std::string& text);
// "orvan-cli: TEXT" on stderr; returns ExitUsage.
int UsageError(const std::string& text);

// The final "result" object: command, ok, exit, the command's fields and
// the first error. Printed by main with --json.
TJson FinalResult(const std::string& command, int exitCode);

// Percent done and word address of a running operation: the gauge, or the
// word address a dialog shows as it programs (Label2 of program memory,
// Label3 of auto program).
struct TProgressStep {
    int Percent = 0;
    int Word = 0;
};
bool ProgressOf(const TOpUpdate& u, int words, TProgressStep& step,
                const char* addressControl = "Label2");

// An operation dialog's updates as JSON events: each change of a line as
// the line then stands ("line"), the gauge ("progress"), message boxes
// ("message"). `extra` fields (a chip number, a run) go into every event.
// It observes `dialog`: each update comes here after the dialog took it.
// Without --json, -v prints each line as it changes; else it does nothing.
class TJsonDialog {
  public:
    explicit TJsonDialog(const TDialogState& dialog, int words,
                         const char* addressControl = "Label2");
    void SetExtra(TJson extra) { Extra = std::move(extra); }
    // Every line of the dialog's layout as the dialog opens with it.
    void Start();
    // `changed`: what the dialog's Apply said of the update.
    void operator()(const TOpUpdate& u, bool changed);
    // A run that passed ends its progress at 100 %.
    void Finish(bool passed);

  private:
    void EmitLine(const std::string& control) const;
    void EmitProgress(int percent, int word);
    const TDialogState& Dialog;
    int Words;
    const char* AddressControl;
    int LastPercent = -1;
    TJson Extra = TJson::object();
};

} // namespace orvan::cli
