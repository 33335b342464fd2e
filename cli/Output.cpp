#include "cli/Output.h"
#include "cli/Signals.h"

#include "buffer/HexText.h"
#include "device/Checksum.h"
#include "ops/OpLayout.h"
#include "production/Autoprogram.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <iostream>

namespace orvan::cli {
namespace {

bool Json = false;
TVerbosity Level = TVerbosity::Normal;
std::string FirstError;
FILE* Lines = stdout; // where the operator's lines go

TJson& Fields() {
    static TJson fields = TJson::object();
    return fields;
}

void NoteError(const std::string& text) {
    if (FirstError.empty()) FirstError = text;
}

// A text line of the dialog's layout (not a button, gauge or message box).
bool IsLine(const TDialogState& dialog, const std::string& control) {
    if (!dialog.Layout()) return false;
    for (const TLayoutLine& l : dialog.Layout()->Lines)
        if (control == l.Control) return l.Role == TLayoutLine::TRole::Line;
    return false;
}

} // namespace

void SetJsonOutput(bool on) {
    Json = on;
}

bool JsonOutput() {
    return Json;
}

void SetVerbosity(TVerbosity v) {
    Level = v;
}

TVerbosity Verbosity() {
    return Level;
}

TJson& Result() {
    return Fields();
}

// Every line goes out at once; a failed write stops the command (a closed
// pipe) or sets its exit status (a full disk).
void Flush() {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) NoteOutputFailure(errno);
}

void Emit(const TJson& event) {
    const std::string line = event.dump(-1, ' ', false, TJson::error_handler_t::replace) + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    Flush();
}

void PrintLine(const std::string& line) {
    if (Json) return;
    std::fwrite(line.data(), 1, line.size(), Lines);
    std::fputc('\n', Lines);
    Flush();
}

void FileOnStdout() {
    Lines = stderr;
}

bool WriteStdout(const std::vector<uint8_t>& bytes) {
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
    Flush();
    return written && !std::ferror(stdout);
}

void PrintDetail(const std::string& line) {
    if (Level != TVerbosity::Quiet) PrintLine(line);
}

void PrintOutcome(const TDialogState& dialog, const TOpOutcome& outcome) {
    switch (Level) {
    case TVerbosity::Normal:
        for (const std::string& line : dialog.FinalLines())
            PrintLine(line);
        break;
    case TVerbosity::Quiet:
        if (!outcome.Pass) PrintLine("ERROR: " + FailureOf(dialog, outcome));
        break;
    case TVerbosity::Verbose:
        break;
    }
}

int Fail(ExitCode code, const std::string& text) {
    std::cerr << text << "\n";
    NoteError(text);
    return code;
}

int FailOnStdout(ExitCode code, const std::string& text) {
    if (Json) return Fail(code, text);
    std::fwrite(text.data(), 1, text.size(), Lines);
    std::fputc('\n', Lines);
    Flush();
    NoteError(text);
    return code;
}

int ErrorLine(ExitCode code, const std::string& text) {
    if (Json) return Fail(code, text);
    FailOnStdout(code, "ERROR: " + text);
    return code;
}

int UsageError(const std::string& text) {
    std::cerr << "orvan-cli: " << text << "\n";
    NoteError(text);
    return ExitUsage;
}

ExitCode ExitOf(const TOpOutcome& o) {
    if (o.Pass) return ExitOk;
    switch (o.Failure) {
    case TFailureClass::Writer:
        return ExitWriter;
    case TFailureClass::File:
        return ExitFile;
    case TFailureClass::Store:
        return ExitStore;
    default:
        return ExitChipFailed;
    }
}

std::string FailureOf(const TDialogState& dialog, const TOpOutcome& outcome) {
    const std::string red = dialog.FirstRed();
    return red.empty() ? DisplayText(outcome.FirstFailure) : red;
}

TJson FinalResult(const std::string& command, int exitCode) {
    TJson r = {{"event", "result"}};
    if (!command.empty()) r["command"] = command;
    r["ok"] = exitCode == ExitOk;
    r["exit"] = exitCode;
    for (const auto& [key, value] : Fields().items())
        r[key] = value;
    if (!FirstError.empty()) r["error"] = FirstError;
    return r;
}

bool ProgressOf(const TOpUpdate& u, int words, TProgressStep& step, const char* addressControl) {
    if (words <= 0) return false;
    if (u.Kind == TOpUpdate::TKind::Gauge) {
        step.Percent = std::min(u.Value, 100);
        step.Word = u.Value * words / 100;
        return true;
    }
    if (u.Kind == TOpUpdate::TKind::Text && u.Control == addressControl && u.Text.size() == 4) {
        bool valid = false;
        const int32_t a = HexToInt(u.Text, valid);
        if (!valid) return false;
        step.Percent = std::min(int(int64_t(a) * 100 / words), 100);
        step.Word = a;
        return true;
    }
    return false;
}

TJsonDialog::TJsonDialog(const TDialogState& dialog, int words, const char* addressControl)
    : Dialog(dialog), Words(words), AddressControl(addressControl) {}

void TJsonDialog::Start() {
    if (!Dialog.Layout()) return;
    for (const TLayoutLine& l : Dialog.Layout()->Lines)
        if (l.Role != TLayoutLine::TRole::Gauge) EmitLine(l.Control);
}

void TJsonDialog::EmitLine(const std::string& control) const {
    const TDialogState::TControl& line = Dialog[control];
    if (!Json) {
        // -v: a line as the operator reads it; buttons are no lines.
        if (Level != TVerbosity::Verbose || !line.Visible || line.Text.empty() ||
            !IsLine(Dialog, control))
            return;
        PrintLine((line.Colour == TLineColour::Red ? "ERROR: " : "") + DisplayText(line.Text));
        return;
    }
    TJson e = {{"event", "line"}};
    e.update(Extra);
    e["control"] = control;
    e["text"] = DisplayText(line.Text);
    e["colour"] = line.Colour == TLineColour::Red ? "red" : "default";
    e["visible"] = line.Visible;
    e["enabled"] = line.Enabled;
    Emit(e);
}

void TJsonDialog::EmitProgress(int percent, int word) {
    LastPercent = percent;
    if (!Json) return;
    TJson e = {{"event", "progress"}};
    e.update(Extra);
    e["percent"] = percent;
    e["word"] = HexText(unsigned(word), 4);
    Emit(e);
}

void TJsonDialog::Finish(bool passed) {
    if (passed && LastPercent >= 0 && LastPercent < 100) EmitProgress(100, Words);
}

void TJsonDialog::operator()(const TOpUpdate& u, bool changed) {
    if (u.Control == MessageBoxControl) {
        if (!Json) return;
        TJson e = {{"event", "message"}};
        e.update(Extra);
        e["text"] = u.Text;
        Emit(e);
        return;
    }
    TProgressStep step;
    if (ProgressOf(u, Words, step, AddressControl) && step.Percent != LastPercent)
        EmitProgress(step.Percent, step.Word);
    // Only a change is news (workers often set a line twice).
    if (u.Kind != TOpUpdate::TKind::Gauge && changed) EmitLine(u.Control);
}

} // namespace orvan::cli
