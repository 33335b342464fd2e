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

int64_t CountQTPRecords(const std::string& text, int lsbFirst) {
    TQTPFile f;
    f.Text = std::make_shared<const std::string>(text);
    TSerialSettings s;
    s.SerialLsbFirst = lsbFirst;
    bool active = false;
    int64_t n = 0;
    while (!ReadSerialData(f, s, active) && !f.QTPEnd)
        ++n;
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
    if (u.Control == RecordLineControl || u.Control == ChipVerdictControl ||
        u.Control == ChipSerialControl)
        return;
    if (u.Kind == TOpUpdate::TKind::Text)
        Texts[u.Control] = u.Text;
    else if (u.Kind == TOpUpdate::TKind::Colour)
        Red[u.Control] = u.Value == int(TLineColour::Red);
}

namespace {
// Label texts write "&" doubled.
std::string Shown(std::string text) {
    for (size_t at = text.find("&&"); at != std::string::npos; at = text.find("&&", at + 1))
        text.erase(at, 1);
    return text;
}
} // namespace

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
        const auto t = Texts.find(c);
        if (t == Texts.end() || t->second.empty()) continue;
        const bool red = Red.count(c) && Red.at(c);
        Rec.Verdicts += (red ? "FAIL " : "") + Shown(t->second) + "\n";
        if (red && Rec.Failure.empty()) Rec.Failure = Shown(t->second);
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
    Ctx.Dialog.Text(ChipVerdictControl, pass ? "pass" : "fail");
    return true;
}

} // namespace orvan
