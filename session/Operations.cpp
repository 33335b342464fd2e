#include "session/Operations.h"

#include "link/WriterLink.h"
#include "production/ProductionState.h"
#include "session/Workspace.h"

namespace orvan {

void GetHeader(TWorkspace& ws, const TPulseWidths& widths, unsigned area, unsigned action) {
    (void)ws.GetICInfo();
    ws.Buffers.CommandHeader =
        BuildHeader(area, action, ws.Device, ws.Buffers.OptionLo, ws.Buffers.OptionHi, widths);
}

TOperationInput SnapshotOf(const TWorkspace& ws, const TPulseWidths& widths) {
    TOperationInput in;
    in.DeviceName = ws.DeviceName;
    in.Buffers = ws.Buffers;
    in.PulseWidths = widths;
    in.EraseFirst = ws.EraseFirst;
    in.VerifyProtect = ws.VerifyProtect;
    in.SkipBlankCheck = ws.SkipBlankCheck;
    in.OptionStatus = static_cast<uint8_t>(ws.Panel.Option.OptionStatus);
    in.ChecksumText = ws.Panel.Checksum;
    in.PassCount = ws.Panel.PassCount;
    ProductionIn(in) = static_cast<const TProductionState&>(ws);
    return in;
}

TOpOutcome RunOperation(TWorkspace& ws, TWriterLink& link, TWorkerRoutine routine,
                        const std::function<void(const TOpUpdate&)>& render,
                        std::stop_token cancel) {
    TOperationQueue queue;
    TOperationRunner runner;
    runner.Start(link.Comm1, link, *link.Clock, queue, SnapshotOf(ws, link.PulseWidths), routine);
    while (runner.Running()) {
        if (cancel.stop_requested()) break;
        queue.WaitForItems(100);
        queue.Drain(ws, render);
    }
    runner.Stop();
    queue.Drain(ws, render);
    return runner.Outcome();
}

namespace {

TOpOutcome PollOutcome(WriterResult r, const TWriterLink& link, const std::stop_token& cancel) {
    TOpOutcome o;
    switch (r) {
    case WriterResult::WriterClass1:
    case WriterResult::WriterClass2:
    case WriterResult::WriterUniversal:
    case WriterResult::Done:
        o.Pass = true;
        break;
    default:
        o.Fail(cancel.stop_requested() ? TFailureClass::Stopped : FailureClassOf(r),
               ConnectMessage(r, link.Comm1.DeviceName()));
    }
    return o;
}

} // namespace

TOpOutcome ConnectWriter(TWorkspace& ws, TWriterLink& link, std::string& text,
                         std::stop_token cancel) {
    WriterResult r = WriterResult::TimeOut;
    text = link.ConnectCheck(ws.Buffers, ws.Device, cancel, &r);
    return PollOutcome(r, link, cancel);
}

TOpOutcome AboutWriter(TWorkspace& ws, TWriterLink& link, std::string& text,
                       std::stop_token cancel) {
    WriterResult r = WriterResult::TimeOut;
    text = link.AboutPoll(ws.Buffers, ws.Device, cancel, &r);
    return PollOutcome(r, link, cancel);
}

} // namespace orvan
