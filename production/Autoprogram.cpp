#include "production/Autoprogram.h"

#include "device/Checksum.h"
#include "ops/OpText.h"
#include "production/ProductionState.h"
#include "production/Programid.h"
#include "production/Qtp.h"
#include "production/Records.h"
#include "production/SerialNo.h"
#include "production/Sha256.h"

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
    bool StreamData(const std::vector<uint8_t>& copy);
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
    if (P.QTPActive && P.QTP.IsOpen()) {
        sha = Sha256Hex(*P.QTP.Text);
        r.Qtp = true;
        r.Series = QtpSeriesKey(sha);
        r.QtpRecords = CountQTPRecords(*P.QTP.Text, P.Serial.SerialLsbFirst);
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
        QTPFinished(QTPFinishedText, false);
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
    const int n = Ctx.Device.ICMemBytes;
    bool empty = true;
    for (int i = 0; i < n && empty; ++i)
        empty = (In.Buffers.ProgramBuffer[size_t(i)] & 0x1F) == 0x1F;
    if (empty) return Fail("Label1", "Data memory are blank or error!");
    switch (In.OptionStatus) {
    case 1:
        return Fail("Label1", "Some Options are Blank!");
    case 2:
        return Fail("Label1", "Some Options are error!");
    case 3:
        return Fail("Label1", "Some Options are Blank or error!");
    default:
        break;
    }

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
    const auto& rx = In.Buffers.TransferBuffer;
    if (In.EraseFirst) {
        D.Visible("EraseMsg", true);
        D.Colour("EraseMsg", TLineColour::Default);
        D.Text("EraseMsg", "Erase flash memory...");
        Ctx.GetHeader(HeaderArea::ProgramMemory, HeaderAction::Erase);
        if (const WriterResult r = p.SendHeader(); r != WriterResult::Done) {
            Fail("EraseMsg", r);
            return false;
        }
        D.Text("EraseMsg", "Erase End");
    }
    D.Visible("Label1", true);
    D.Text("Label1", "Blank Check.....");

    Ctx.GetHeader(HeaderArea::Option, HeaderAction::Read);
    if (const WriterResult r = p.Read7BitData(2, true); r != WriterResult::Done) {
        Fail("Label1", r);
        return false;
    }
    const TDeviceState& dev = Ctx.Device;
    if ((rx[0] & dev.OptAndLo) != dev.OptAndLo || (rx[1] & dev.OptAndHi) != dev.OptAndHi) {
        D.Text("Label1", "OPTION ....... Not Blank!!");
        Ctx.NoteFailure(TFailureClass::Chip, "OPTION ....... Not Blank!!");
        Finish();
        return false;
    }

    Ctx.GetHeader(HeaderArea::ID, HeaderAction::Read);
    if (const WriterResult r = p.Read7BitData(IDBytes, true); r != WriterResult::Done) {
        Fail("Label1", r);
        return false;
    }
    for (size_t i = 0; i < 16; ++i)
        if (rx[i] != Blank7) {
            Fail("Label1", "ID Checksum ....... Not Blank!!");
            return false;
        }

    const int n = dev.ICMemBytes;
    Ctx.GetHeader(HeaderArea::ProgramMemory, HeaderAction::Read);
    if (const WriterResult r = p.Read7BitData(n, true); r != WriterResult::Done) {
        Fail("Label1", r);
        return false;
    }
    for (int i = 0; i < n; ++i)
        if (rx[size_t(i)] != Blank7) {
            Fail("Label1", "Device not blank!!");
            return false;
        }
    D.Text("Label1", "Blank Check ..... OK.");
    return true;
}

bool TAutoRun::ProgramID(TWriterProtocol& p) {
    D.Visible("Label2", true);
    D.Text("Label2", "Program ID...");
    Ctx.GetHeader(HeaderArea::ID, HeaderAction::Program);
    if (const WriterResult r = p.SendHeader(); r != WriterResult::Ready) {
        Fail("Label2", r);
        return false;
    }
    BuildIDImage(Ctx);
    D.Visible("Label3", true);
    const auto& head = In.Buffers.CommandHeader;
    switch (const WriterResult r = p.WriteData(2 * (head[3] + head[4] * 256) + 2, true)) {
    case WriterResult::BlockDone:
        return true;
    case WriterResult::WriteFail: {
        const int w = Ctx.State.FailIndex / 2;
        Fail("Label2", w >= 5 ? std::string("Checksum program fail !!")
                              : "ID program fail at address " + HexText(unsigned(w), 4) + " !!");
        return false;
    }
    default:
        Fail("Label2", r);
        return false;
    }
}

bool TAutoRun::ProgramData(TWriterProtocol& p, const std::vector<uint8_t>& copy) {
    D.Text("Label2", "Program Data...");
    Ctx.GetHeader(HeaderArea::ProgramMemory, HeaderAction::Program);
    if (const WriterResult r = p.SendHeader(); r != WriterResult::Ready) {
        Fail("Label2", r);
        return false;
    }
    try {
        return StreamData(copy);
    } catch (const ECommError&) {
        // The line went away in the middle of the stream.
        Fail("Label2", "Connect Timeout!!", TFailureClass::Writer);
        return false;
    }
}

// One byte, one answer, paced by CTS; the dialog's ticks time each wait.
bool TAutoRun::StreamData(const std::vector<uint8_t>& copy) {
    const int n = Ctx.Device.ICMemBytes;
    const int last = std::min(n + 5, int(copy.size()) - 1);
    bool shown = false;
    // Until the writer closes the block, a stream that ends here leaves it
    // waiting for more: the next exchange lets the line fall quiet first.
    Ctx.State.ExchangeOpen = true;
    for (int k = 0; k <= last; ++k) {
        // The dialog is closing: end between two bytes, the block left open.
        if (Ctx.StopRequested()) {
            Ctx.Outcome.Fail(TFailureClass::Stopped, "Stopped");
            return false;
        }
        Ctx.Ticks.Restart();
        if (!WaitForCts(Ctx.Port, Ctx.Clock, Ctx.Ticks.Deadline(StreamTicks), Ctx.Stop)) {
            Fail("Label2", "Connect Timeout!!", TFailureClass::Writer);
            return false;
        }
        const uint8_t b = copy[size_t(k)];
        if (Ctx.Port.Write(&b, 1) != 1) {
            Fail("Label2", "Connect Timeout!!", TFailureClass::Writer);
            return false;
        }
        Ctx.Ticks.Restart();
        if (!shown) {
            D.Visible("Label3", true);
            shown = true;
        }
        const int r = WaitForByte(Ctx.Port, Ctx.Clock, Ctx.Ticks.Deadline(StreamTicks), Ctx.Stop);
        if (r < 0) {
            Fail("Label2", "Connect Timeout!!", TFailureClass::Writer);
            return false;
        }
        const std::string a = HexText(unsigned(k / 2), 4);
        switch (r) {
        case ReplyAccepted:
            if (k % 32 == 0) D.Text("Label3", a);
            continue;
        case ReplyBlockEnd:
            Ctx.State.ExchangeOpen = false;
            D.Text("Label2", "Data program Ok!!");
            return true;
        case ReplyWriteFail:
            Ctx.State.ExchangeOpen = false;
            D.Text("Label3", a);
            Fail("Label2", "Data program fail !!");
            return false;
        case ReplyNoChip:
            Ctx.State.ExchangeOpen = false;
            Fail("Label2", "Nothing in socket or type error!");
            return false;
        default:
            Fail("Label2", "Unknow return value!!", TFailureClass::Writer);
            return false;
        }
    }
    return true; // the read-back tells whether the writer took it all
}

bool TAutoRun::ReadBackData(TWriterProtocol& p, const std::vector<uint8_t>& copy) {
    D.Visible("Label3", false);
    const int n = Ctx.Device.ICMemBytes;
    Ctx.GetHeader(HeaderArea::ProgramMemory, HeaderAction::Read);
    if (const WriterResult r = p.Read7BitData(n, true); r != WriterResult::Done) {
        Fail("Label2", r);
        return false;
    }
    const auto& rx = In.Buffers.TransferBuffer;
    for (int i = 0; i < n; ++i)
        if (rx[size_t(i)] != copy[size_t(i)]) {
            Fail("Label2", "Data verify Fail!!");
            return false;
        }
    D.Text("Label2", "Data program && verify OK!!");
    D.Visible("Label3", true);
    return true;
}

bool TAutoRun::VerifyID(TWriterProtocol& p, bool& good) {
    Ctx.GetHeader(HeaderArea::ID, HeaderAction::Read);
    if (const WriterResult r = p.Read7BitData(IDBytes, true); r != WriterResult::Done) {
        Fail("Label3", r);
        return false;
    }
    const unsigned flags = IDVerifyFlags(Ctx);
    good = flags == 0;
    if (good) {
        D.Text("Label3", IDVerifyText(flags));
    } else {
        Ctx.FailLine("Label3", IDVerifyText(flags), TFailureClass::Chip);
    }
    return true;
}

bool TAutoRun::ProgramOption(TWriterProtocol& p, bool& good) {
    D.Visible("Label4", true);
    Ctx.GetHeader(HeaderArea::Option, HeaderAction::Program);
    if (const WriterResult r = p.SendHeader(); r != WriterResult::Ready) {
        Fail("Label4", r);
        return false;
    }
    auto& b = In.Buffers;
    b.TransferBuffer[0] = b.OptionLo;
    b.TransferBuffer[1] = b.OptionHi;
    switch (const WriterResult r = p.WriteData(2, true)) {
    case WriterResult::BlockDone:
        break;
    case WriterResult::WriteFail:
        Fail("Label4", "OPTION program fail !!");
        return false;
    default:
        Fail("Label4", r);
        return false;
    }
    Ctx.GetHeader(HeaderArea::Option, HeaderAction::Read);
    if (const WriterResult r = p.Read7BitData(2, true); r != WriterResult::Done) {
        Fail("Label4", r);
        return false;
    }
    const TDeviceState& dev = Ctx.Device;
    good = (b.OptionLo & dev.OptAndLo) == (b.TransferBuffer[0] & dev.OptAndLo) &&
           (b.OptionHi & dev.OptAndHi) == (b.TransferBuffer[1] & dev.OptAndHi);
    if (good) {
        D.Text("Label4", "OPTION program && verify OK!!");
    } else {
        Ctx.FailLine("Label4", "OPTION verify Fail!!", TFailureClass::Chip);
    }
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

void AutoProgramThread(TOperationContext& ctx) {
    TAutoRun(ctx).Run();
}

} // namespace orvan
