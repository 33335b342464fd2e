// doctor: the station check before the first chip, rendered as one line a
// check (or one JSON result). The measuring and judging is link/Doctor.
#include "cli/Commands.h"
#include "cli/Signals.h"
#include "link/Doctor.h"
#include "session/Workspace.h"

#include <cmath>

namespace orvan::cli {
namespace {

std::string Padded(std::string text, size_t width) {
    if (text.size() < width) text.append(width - text.size(), ' ');
    return text;
}

// Figures in ms and s with a few digits: a station compares them, never
// their last bits.
double Rounded(double v, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::round(v * scale) / scale;
}

TJson HoldersJson(const std::vector<TPortHolder>& holders) {
    TJson list = TJson::array();
    for (const TPortHolder& h : holders)
        list.push_back({{"name", h.Name}, {"pid", h.Pid}});
    return list;
}

TJson OrNull(const std::string& text) {
    return text.empty() ? TJson() : TJson(text);
}

TJson FiguresJson(const TDoctorFigures& f) {
    TJson j = {
        {"port", f.Port},
        {"device", OrNull(f.Device)},
        {"path", OrNull(f.Serial.Path)},
        {"byId", OrNull(f.Serial.ById)},
        {"driver", OrNull(f.Serial.Driver)},
        {"pseudoTerminal", f.PseudoTerminal},
        {"owner", OrNull(f.Access.Owner)},
        {"group", OrNull(f.Access.Group)},
        {"mode", OrNull(f.Access.Mode)},
        {"inGroup", f.Access.GroupMember},
        {"sessionInGroup", f.Access.SessionInGroup},
        {"canOpen", f.Access.CanOpen},
        {"holders", HoldersJson(f.Holders)},
        {"otherEnd", HoldersJson(f.OtherEnd)},
        {"latencyMsBefore", f.LatencyBefore.empty() ? TJson() : TJson(std::stoi(f.LatencyBefore))},
        {"latencyMsOpen", f.LatencyOpen.empty() ? TJson() : TJson(std::stoi(f.LatencyOpen))},
        {"lowLatencyBefore", f.LowLatencySetting ? TJson(f.LowLatencyBefore) : TJson()},
        {"lowLatencyOpen", f.LowLatencySetting ? TJson(f.LowLatencyOpen) : TJson()},
        {"opened", f.Opened},
        {"baud", f.Opened ? TJson(f.Baud) : TJson()},
        {"writerReply", OrNull(f.WriterReply)},
        {"connectMessage", OrNull(f.ConnectMessage)},
        {"firmware", OrNull(f.Firmware)}};
    if (f.RoundTrip)
        j["roundTrip"] = {{"polls", f.RoundTrip->Polls},
                          {"answered", f.RoundTrip->Answered},
                          {"medianMs", Rounded(f.RoundTrip->MedianMs, 3)},
                          {"p95Ms", Rounded(f.RoundTrip->P95Ms, 3)}};
    else
        j["roundTrip"] = nullptr;
    if (f.Times)
        j["estimate"] = {{"words", f.Times->Words},
                         {"programS", Rounded(f.Times->ProgramS, 3)},
                         {"programWireS", Rounded(f.Times->ProgramWireS, 3)},
                         {"readS", Rounded(f.Times->ReadS, 3)},
                         {"readWireS", Rounded(f.Times->ReadWireS, 3)}};
    else
        j["estimate"] = nullptr;
    return j;
}

} // namespace

int CmdDoctor(const TArgs& args) {
    std::unique_ptr<TWorkspace> ws;
    std::unique_ptr<TWriterLink> link;
    if (const int rc = Prepare(args, "doctor", ws, link, 0, false); rc != 0 || !link) return rc;
    TDoctorOptions options;
    options.Polls = args.Polls;
    const TDoctorReport report = RunDoctor(*link, ws->Buffers, ws->Device, options, StopToken());

    TJson checks = TJson::array();
    for (const TDoctorCheck& c : report.Checks) {
        PrintLine(Padded(c.Name, 11) + Padded(VerdictName(c.Verdict), 9) + c.Text);
        if (!c.Advice.empty()) PrintLine(std::string(20, ' ') + "-> " + c.Advice);
        checks.push_back({{"name", c.Name},
                          {"verdict", VerdictName(c.Verdict)},
                          {"text", c.Text},
                          {"advice", c.Advice}});
    }
    const int errors = report.Count(TVerdict::Error);
    const int warnings = report.Count(TVerdict::Warning);
    PrintLine("doctor: " + std::to_string(errors) + (errors == 1 ? " error, " : " errors, ") +
              std::to_string(warnings) + (warnings == 1 ? " warning" : " warnings"));
    Result()["checks"] = checks;
    Result()["figures"] = FiguresJson(report.Figures);
    for (const TDoctorCheck& c : report.Checks)
        if (c.Verdict == TVerdict::Error) {
            Result()["error"] = c.Name + ": " + c.Text;
            break;
        }
    return errors ? ExitWriter : ExitOk;
}

} // namespace orvan::cli
