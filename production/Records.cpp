#include "production/Records.h"

#include "production/ProductionState.h"
#include "production/Qtp.h"

#include <cstdio>

namespace orvan {

std::string UnknownOutcomeLine(const TChipRecord& chip) {
    const std::string what =
        chip.QtpRecord > 0 ? "QTP record " + std::to_string(chip.QtpRecord) : "Serial No.";
    return what + " " + chip.Serial + " was on a chip when station " + chip.Station +
           " stopped: recorded as an unknown outcome, not programmed again";
}

int64_t CountQTPRecords(const std::string& text, int lsbFirst, bool* damaged) {
    TQTPFile f;
    f.Text = std::make_shared<const std::string>(text);
    TSerialSettings s;
    s.SerialLsbFirst = lsbFirst;
    bool active = false;
    int64_t n = 0;
    bool unread = false;
    while (!(unread = ReadSerialData(f, s, active).has_value()) && !f.QTPEnd)
        ++n;
    if (damaged) *damaged = unread;
    return n;
}

TRunRecorder::TRunRecorder(TOperationContext& ctx, const char* operation)
    : Ctx(ctx), Records(ProductionIn(ctx.In).Records.get()) {
    if (!Records) return;
    Rec.Station = Records->Station;
    Rec.Operation = operation;
    Rec.Model = ctx.In.DeviceName;
    Rec.DataFile = Records->DataFile;
    Rec.DataSha256 = Records->DataSha256;
    ctx.Dialog.Watcher = [this](const TOpUpdate& u) { Watch(u); };
}

TRunRecorder::~TRunRecorder() {
    Ctx.Dialog.Watcher = nullptr;
}

void TRunRecorder::Watch(const TOpUpdate& u) {
    if (u.Control == RecordLineControl || u.Control == ChipSerialControl) return;
    Lines.Apply(u);
}

bool TRunRecorder::Arm() {
    if (!Records || Rec.Series.empty()) return true;
    std::string error;
    if (!Records->Store->Arm(Rec, error)) {
        Ctx.Dialog.Fail(RecordLineControl,
                        RecordsFailurePrefix + error + " (nothing was programmed)");
        Ctx.Outcome.Fail(TFailureClass::Store, RecordsFailurePrefix + error);
        return false;
    }
    IsArmed = true;
    return true;
}

bool TRunRecorder::Write(bool pass, bool consume) {
    if (!Records) return true;
    Rec.Pass = pass;
    Rec.Verdicts.clear();
    Rec.Failure.clear();
    for (const char* c : {"EraseMsg", "Label1", "Label2", "Label3", "Label4"}) {
        const TDialogState::TControl& line = Lines[c];
        if (line.Text.empty()) continue;
        const bool red = line.Colour == TLineColour::Red;
        Rec.Verdicts += (red ? "FAIL " : "") + DisplayText(line.Text) + "\n";
        if (red && Rec.Failure.empty()) Rec.Failure = DisplayText(line.Text);
    }
    if (!pass && Rec.Failure.empty() && Ctx.StopRequested()) Rec.Failure = "Stopped";
    std::string error;
    if (!Records->Store->Record(Rec, consume || IsArmed, error)) {
        const std::string chip = Rec.Serial.empty() ? "chip" : "chip " + Rec.Serial;
        Ctx.Dialog.Fail(RecordLineControl,
                        chip + (pass ? " passed" : " failed") + ", record not saved: " + error);
        Ctx.Outcome.RecordError = error;
        return false;
    }
    Done = true;
    Ctx.Outcome.Recorded = true;
    return true;
}

} // namespace orvan
