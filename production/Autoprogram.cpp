#include "production/Autoprogram.h"

#include "device/Checksum.h"
#include "ops/ChipSteps.h"
#include "ops/OpText.h"
#include "production/ProductionState.h"
#include "production/Qtp.h"
#include "production/Records.h"
#include "production/SerialNo.h"
#include "production/Sha256.h"
#include "production/Store.h"

#include <memory>
#include <vector>

namespace orvan {
namespace {

// Ticks without an answer that end the data stream.
constexpr int StreamTicks = 3;

class TAutoRun {
  public:
    explicit TAutoRun(TOperationContext& ctx)
        : Ctx(ctx), D(ctx.Dialog), In(ctx.In), P(ProductionIn(ctx.In)), Recorder(ctx, "auto") {}
    void Run();

  private:
    // The buttons are offered once the run's record is written.
    enum class TEnding { None, Both, ExitOnly };
    void Finish() {
        if (Ending == TEnding::None) Ending = TEnding::Both;
    }
    void Steps();
    // The number this run programs, claimed from the records.
    bool ClaimNumber();
    // `damaged`: the file's next record could not be read.
    void QTPFinished(const std::string& message, bool damaged);
    // A red line ends the run; `why` says whose fault it is.
    void Fail(const char* line, const std::string& text, TFailureClass why = TFailureClass::Chip) {
        Ctx.FailLine(line, text, why);
        Finish();
    }
    void Fail(const char* line, WriterResult r) {
        Fail(line, StandardFailureLine(r), FailureClassOf(r));
    }
    // Production stops: only "Exit" is offered.
    void RecordFailed() { Ending = TEnding::ExitOnly; }
    // The number into the worker's buffer and the window's, checksums after.
    void NumberIntoBuffer();
    bool BlankCheck(TWriterProtocol& p);
    bool ProgramID(TWriterProtocol& p);
    bool ProgramData(TWriterProtocol& p, const std::vector<uint8_t>& copy);
    bool ReadBackData(TWriterProtocol& p, const std::vector<uint8_t>& copy);
    bool VerifyID(TWriterProtocol& p, bool& good);
    bool ProgramOption(TWriterProtocol& p, bool& good);
    void NextChip(bool pass);

    TOperationContext& Ctx;
    TOpDialog& D;
    TOperationInput& In;
    TProductionState& P; // the worker's own serial numbers, QTP file and records
    TRunRecorder Recorder;
    TEnding Ending = TEnding::None;
};

void TAutoRun::NumberIntoBuffer() {
    (void)WriteSerialNumber(P.Serial, In.Buffers, Ctx.Device);
    const int row = Ctx.GetICInfo();
    const TChecksums sums = CalChecksum(Ctx.Device, row, In.Buffers.ProgramBuffer.data(),
                                        In.Buffers.OptionLo, In.Buffers.OptionHi);
    In.ChecksumText = HexText(sums.DataChecksum, 4);
}

void TAutoRun::Run() {
    Steps();
    if (!Ctx.Outcome.Pass && Ctx.Outcome.Failure == TFailureClass::None && Ctx.StopRequested())
        Ctx.Outcome.Fail(TFailureClass::Stopped, "Stopped");
    // A run that failed: its record (a pass writes its own in NextChip).
    // An armed number is used up whatever the run came to.
    if (Recorder.Active() && Recorder.Due() && !Recorder.Written() &&
        Ctx.Outcome.RecordError.empty() && !Recorder.Write(false, Recorder.Armed()))
        RecordFailed();
    if (Ending != TEnding::None) D.Enabled("Button1", true);
    if (Ending == TEnding::Both) D.Enabled("Button2", true);
}

void TAutoRun::QTPFinished(const std::string& message, bool damaged) {
    // The file has no number left for another chip: production from it
    // ends here, and only "Exit" is offered.
    CommitProduction(D, [](IProductionTarget& t) { t.CloseQTP(); });
    D.Text(MessageBoxControl, message);
    Ctx.Outcome.SeriesEnded = true;
    Ctx.Outcome.SeriesDamaged = damaged;
    Ending = TEnding::ExitOnly;
}

bool TAutoRun::ClaimNumber() {
    TChipRecord& rec = Recorder.Chip();
    TClaimRequest r;
    r.Station = P.Records->Station;
    r.Settings = P.Serial;
    r.Restart = P.Records->RestartSeries.exchange(false);
    std::string sha;
    bool damaged = false; // the file's records end on one that cannot be read
    if (P.QTPActive && P.QTP.IsOpen()) {
        sha = Sha256Hex(*P.QTP.Text);
        r.Qtp = true;
        r.Series = QtpSeriesKey(sha);
        r.QtpRecords = CountQTPRecords(*P.QTP.Text, P.Serial.SerialLsbFirst, &damaged);
    } else {
        r.Series = SeriesKeyOf(In.DeviceName, P.Serial);
    }
    TClaim c;
    std::string error;
    if (!P.Records->Store->Claim(r, c, error)) {
        Fail("Label1", RecordsFailurePrefix + error, TFailureClass::Store);
        return false;
    }
    for (const TChipRecord& unknown : c.Unknown)
        D.Text(MessageBoxControl, UnknownOutcomeLine(unknown));
    if (c.Exhausted) {
        D.Text(RecordLineControl, "QTP file: every record has been used");
        QTPFinished(QTPFinishedText, damaged);
        return false;
    }
    std::string where;
    if (r.Qtp) {
        // Record c.Index + 1 of the file, read from its start.
        TQTPFile f = P.QTP;
        f.Pos = 0;
        f.QTPEnd = false;
        TSerialSettings s = P.Serial;
        bool active = false;
        std::optional<std::string> message;
        for (int64_t k = 0; k <= c.Index && !message; ++k)
            message = ReadSerialData(f, s, active);
        if (message || f.QTPEnd) {
            Fail("Label1", message ? *message : std::string(QTPFinishedText), TFailureClass::File);
            return false;
        }
        P.Serial = s;
        P.QTP = f;
        rec.QtpSha256 = sha;
        rec.QtpRecord = c.Index + 1;
        where = "QTP record " + std::to_string(c.Index + 1);
    } else {
        const std::string& hex = c.Number;
        const int n = int(hex.size() / 2);
        for (int j = 0; j < n && j < MaxSerialBytes; ++j)
            P.Serial.SerialBytes[size_t(j)] =
                int32_t(std::stoul(hex.substr(hex.size() - size_t(2 * j + 2), 2), nullptr, 16));
        where = "Serial No. " + P.Serial.HexText();
    }
    rec.Series = r.Series;
    rec.SerialIndex = c.Index;
    const std::string line = c.Resumed     ? where + ", held by this station, not yet on a chip"
                             : r.Restart   ? where + ": started again at the operator's choice"
                             : c.Continued ? where + ": continues where this series left off"
                                           : where + ": a new series starts";
    D.Text(RecordLineControl, line);
    CommitProduction(D, [s = P.Serial, f = P.QTP](IProductionTarget& t) {
        TProductionState& owner = t.Production();
        owner.Serial.SerialBytes = s.SerialBytes;
        if (owner.QTPActive) owner.QTP = f;
    });
    return true;
}

void TAutoRun::Steps() {
    D.Text("StaticText1", In.SkipBlankCheck ? "Auto-Program without Blank Check" : "Auto-Program");
    D.Text("Label1", "");

    Ctx.GetICInfo();
    if (P.Serial.SerialModeOn && !SerialWordsAreRTIW(P.Serial, In.Buffers, Ctx.Device))
        return Fail("Label1", NotRTIWText);
    if (Recorder.Active() && P.Serial.SerialModeOn && !ClaimNumber()) return;
    NumberIntoBuffer();
    Recorder.Chip().Checksum = In.ChecksumText;
    if (P.Serial.SerialModeOn) {
        Recorder.Chip().Serial = P.Serial.HexText();
        Ctx.Outcome.Serial = P.Serial.HexText();
        D.Text(ChipSerialControl, P.Serial.HexText());
    }
    CommitProduction(D, [](IProductionTarget& t) { t.SerialNo2Memory(); });

    Ctx.GetICInfo();
    if (ProgramImageBlank(In.Buffers.ProgramBuffer.data(), Ctx.Device.ICMemBytes))
        return Fail("Label1", ProgramBlankText);
    if (const char* bad = OptionStatusText(In.OptionStatus)) return Fail("Label1", bad);

    SettleLine(Ctx.Port, Ctx.Clock, Ctx.State, Ctx.Stop);
    TWriterProtocol p = Ctx.Protocol();
    if (const WriterResult r = p.CheckWriter();
        r == WriterResult::WriterMismatch || r == WriterResult::TimeOut)
        return Fail("Label1",
                    r == WriterResult::TimeOut ? "Connect Timeout!!" : "Writer type is error!",
                    TFailureClass::Writer);
    Recorder.Reached();
    if (!In.SkipBlankCheck && !BlankCheck(p)) return;
    // The number goes on the chip from here: the claim is armed first, so
    // that whatever ends this run, no other chip is given it.
    if (!Recorder.Arm()) {
        Recorder.NotReached(); // the chip was not touched
        return Finish();
    }
    if (!ProgramID(p)) return;

    // The stream and its read-back work on a copy taken now.
    const std::vector<uint8_t> copy(In.Buffers.ProgramBuffer.begin(),
                                    In.Buffers.ProgramBuffer.end());
    if (!ProgramData(p, copy) || !ReadBackData(p, copy)) return;
    bool idGood = false, optionGood = false;
    if (!VerifyID(p, idGood)) return;
    if (!ProgramOption(p, optionGood)) return;
    NextChip(idGood && optionGood);
}

bool TAutoRun::BlankCheck(TWriterProtocol& p) {
    if (In.EraseFirst) {
        D.Visible("EraseMsg", true);
        D.Colour("EraseMsg", TLineColour::Default);
        D.Text("EraseMsg", EraseStartText);
        if (const WriterResult r = EraseChip(Ctx, p); r != WriterResult::Done) {
            Fail("EraseMsg", r);
            return false;
        }
        D.Text("EraseMsg", EraseEndText);
    }
    D.Visible("Label1", true);
    D.Text("Label1", "Blank Check.....");

    const TReadBack option = BlankCheckOption(Ctx, p);
    if (option.Read != WriterResult::Done) {
        Fail("Label1", option.Read);
        return false;
    }
    if (!option.Same()) {
        D.Text("Label1", OptionNotBlankText);
        Ctx.NoteFailure(TFailureClass::Chip, OptionNotBlankText);
        Finish();
        return false;
    }
    const TReadBack id = BlankCheckID(Ctx, p);
    if (id.Read != WriterResult::Done) {
        Fail("Label1", id.Read);
        return false;
    }
    if (!id.Same()) {
        Fail("Label1", IDNotBlankText);
        return false;
    }
    const TReadBack data = BlankCheckProgram(Ctx, p, Ctx.Device.ICMemBytes);
    if (data.Read != WriterResult::Done) {
        Fail("Label1", data.Read);
        return false;
    }
    if (!data.Same()) {
        Fail("Label1", "Device not blank!!");
        return false;
    }
    D.Text("Label1", "Blank Check ..... OK.");
    return true;
}

bool TAutoRun::ProgramID(TWriterProtocol& p) {
    D.Visible("Label2", true);
    D.Text("Label2", "Program ID...");
    const WriterResult r = ProgramIDWords(Ctx, p, [this] { D.Visible("Label3", true); });
    if (r == WriterResult::BlockDone) return true;
    Fail("Label2", WriteFailureLine(r, IDCellFailText(Ctx.State.FailIndex, "ID program fail")),
         FailureClassOf(r));
    return false;
}

bool TAutoRun::ProgramData(TWriterProtocol& p, const std::vector<uint8_t>& copy) {
    D.Text("Label2", "Program Data...");
    Ctx.GetHeader(HeaderArea::ProgramMemory, HeaderAction::Program);
    if (const WriterResult r = p.SendHeader(); r != WriterResult::Ready) {
        Fail("Label2", r);
        return false;
    }
    bool shown = false;
    const int step = AddressStep(Ctx.Device.ICMemBytes);
    const TStream s = StreamProgram(Ctx, copy.data(), Ctx.Device.ICMemBytes, StreamTicks,
                                    [&](int k, bool answered) {
                                        if (!answered && !shown) {
                                            D.Visible("Label3", true);
                                            shown = true;
                                        }
                                        if (answered && k % step == 0)
                                            D.Text("Label3", HexText(unsigned(k / 2), 4));
                                    });
    switch (s.End) {
    case TStreamEnd::BlockEnd:
        D.Text("Label2", "Data program Ok!!");
        return true;
    case TStreamEnd::AllSent:
        return true; // the read-back tells whether the writer took it all
    case TStreamEnd::Stopped:
        // The dialog is closing: ended between two bytes, the block left open.
        Ctx.Outcome.Fail(TFailureClass::Stopped, "Stopped");
        return false;
    case TStreamEnd::WriteFail:
        Ctx.State.ExchangeOpen = false;
        D.Text("Label3", HexText(unsigned(s.At / 2), 4));
        break;
    case TStreamEnd::NoChip:
        Ctx.State.ExchangeOpen = false;
        break;
    default:
        break;
    }
    FailStream(Ctx, "Label2", s.End, "Data program fail !!", false);
    Finish();
    return false;
}

bool TAutoRun::ReadBackData(TWriterProtocol& p, const std::vector<uint8_t>& copy) {
    D.Visible("Label3", false);
    const TReadBack back = ReadBackProgram(Ctx, p, copy.data(), Ctx.Device.ICMemBytes);
    if (back.Read != WriterResult::Done) {
        Fail("Label2", back.Read);
        return false;
    }
    if (!back.Same()) {
        Fail("Label2", DataVerifyFailText);
        return false;
    }
    D.Text("Label2", "Data program && verify OK!!");
    D.Visible("Label3", true);
    return true;
}

bool TAutoRun::VerifyID(TWriterProtocol& p, bool& good) {
    const TIDCheck id = VerifyIDWords(Ctx, p);
    if (id.Read != WriterResult::Done) {
        Fail("Label3", id.Read);
        return false;
    }
    good = id.Flags == 0;
    if (good)
        D.Text("Label3", IDVerifyText(id.Flags));
    else
        Ctx.FailLine("Label3", IDVerifyText(id.Flags), TFailureClass::Chip);
    return true;
}

bool TAutoRun::ProgramOption(TWriterProtocol& p, bool& good) {
    D.Visible("Label4", true);
    if (const WriterResult r = ProgramOptionWord(Ctx, p); r != WriterResult::BlockDone) {
        Fail("Label4", WriteFailureLine(r, OptionProgramFailText), FailureClassOf(r));
        return false;
    }
    const TReadBack back = CompareOption(Ctx, p, In.Buffers.OptionLo, In.Buffers.OptionHi);
    if (back.Read != WriterResult::Done) {
        Fail("Label4", back.Read);
        return false;
    }
    good = back.Same();
    if (good)
        D.Text("Label4", OptionOkText);
    else
        Ctx.FailLine("Label4", OptionVerifyFailText, TFailureClass::Chip);
    return true;
}

void TAutoRun::NextChip(bool pass) {
    Ctx.Outcome.Pass = pass;
    // The chip carries its number now: the record uses it up, and comes
    // before the chip counts. Without it production stops here.
    if (!Recorder.Write(pass, true)) return RecordFailed();
    if (pass) D.Commit([](IOpTarget& t) { t.PassCount() = AdvancePassCount(t.PassCount()); });

    if (P.Serial.SerialModeOn) {
        if (P.QTPActive) {
            const std::optional<std::string> message = ReadSerialData(P.QTP, P.Serial, P.QTPActive);
            if (message || P.QTP.QTPEnd)
                return QTPFinished(message ? *message : std::string(QTPFinishedText),
                                   message.has_value());
            CommitProduction(D, [s = P.Serial, f = P.QTP](IProductionTarget& t) {
                t.Production().Serial = s;
                t.Production().QTP = f;
            });
        } else {
            SerialNoNext(P.Serial);
            CommitProduction(D,
                             [s = P.Serial](IProductionTarget& t) { t.Production().Serial = s; });
        }
    }
    NumberIntoBuffer();
    CommitProduction(D, [](IProductionTarget& t) { t.SerialNo2Memory(); });
    Finish();
}

} // namespace

const char* OptionStatusText(int optionStatus) {
    switch (optionStatus) {
    case 1:
        return "Some Options are Blank!";
    case 2:
        return "Some Options are error!";
    case 3:
        return "Some Options are Blank or error!";
    default:
        return nullptr;
    }
}

void AutoProgramThread(TOperationContext& ctx) {
    TAutoRun(ctx).Run();
}

const TOpLayout& AutoProgramLayout() {
    using R = TLayoutLine::TRole;
    static const TOpLayout layout{"TAutoProgramForm",
                                  "Auto Program",
                                  {{"StaticText1", "Auto Program", true},
                                   {RecordLineControl, "", true},
                                   {"EraseMsg", "", false},
                                   {"Label1", "Blank Check.....", true},
                                   {"Label2", "Program.....", false},
                                   {"Label3", "", false},
                                   {"Label4", "Program OPTION.....", false},
                                   {LinkLineControl, "", true},
                                   {YieldLineControl, "", true},
                                   {"Button1", "Exit", false, R::Button},
                                   {"Button2", "Continue", false, R::Button}},
                                  AutoProgramThread};
    return layout;
}

std::string LineLostText(const std::string& reason) {
    return "Line lost: " + reason;
}

std::string YieldLineText(int passes, int fails) {
    return "This run: " + std::to_string(passes) + " passed, " + std::to_string(fails) +
           " failed, yield " + YieldText(passes, passes + fails);
}

} // namespace orvan
