#include "ops/Operation.h"

namespace orvan {

void TOpDialog::Send(TOpUpdate update) {
    if (Watcher) Watcher(update);
    Sink.Update(std::move(update));
}

void TOpDialog::Text(const std::string& control, const std::string& text) {
    Send({TOpUpdate::TKind::Text, control, text, 0});
}

void TOpDialog::Colour(const std::string& control, TLineColour colour) {
    Send({TOpUpdate::TKind::Colour, control, {}, int(colour)});
}

void TOpDialog::Visible(const std::string& control, bool visible) {
    Send({TOpUpdate::TKind::Visible, control, {}, visible ? 1 : 0});
}

void TOpDialog::Enabled(const std::string& control, bool enabled) {
    Send({TOpUpdate::TKind::Enabled, control, {}, enabled ? 1 : 0});
}

void TOpDialog::Gauge(int percent) {
    Send({TOpUpdate::TKind::Gauge, "CGauge1", {}, percent});
}

void TOpDialog::Fail(const std::string& control, const std::string& text) {
    Colour(control, TLineColour::Red);
    Text(control, text);
}

TFailureClass FailureClassOf(WriterResult r) {
    switch (r) {
    case WriterResult::NoChip:
    case WriterResult::AdapterError:
    case WriterResult::WriteFail:
        return TFailureClass::Chip;
    default:
        return TFailureClass::Writer;
    }
}

void TOpOutcome::Fail(TFailureClass c, const std::string& line) {
    Pass = false;
    if (Failure != TFailureClass::None) return;
    Failure = c;
    FirstFailure = DisplayText(line);
}

std::string DisplayText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] == '&' && i + 1 < text.size() && text[i + 1] == '&') ++i;
    }
    return out;
}

void TOperationQueue::Push(TItem item) {
    {
        std::lock_guard<std::mutex> hold(Lock);
        Items.push_back(std::move(item));
    }
    Arrived.notify_all();
    if (Notify) Notify();
}

void TOperationQueue::Update(TOpUpdate update) {
    Push(std::move(update));
}

void TOperationQueue::Commit(TOpCommit apply) {
    Push(std::move(apply));
}

void TOperationQueue::Finished(const TOpOutcome& outcome) {
    Push(outcome);
}

size_t TOperationQueue::Drain(IOpTarget& target,
                              const std::function<void(const TOpUpdate&)>& render,
                              const std::function<void(const TOpOutcome&)>& finished) {
    std::deque<TItem> taken;
    {
        std::lock_guard<std::mutex> hold(Lock);
        taken.swap(Items);
    }
    for (TItem& item : taken) {
        if (auto* u = std::get_if<TOpUpdate>(&item)) {
            if (render) render(*u);
        } else if (auto* o = std::get_if<TOpOutcome>(&item)) {
            if (finished) finished(*o);
        } else {
            std::get<TOpCommit>(item)(target);
        }
    }
    return taken.size();
}

void TOperationQueue::WaitForItems(int timeoutMs) {
    std::unique_lock<std::mutex> hold(Lock);
    Arrived.wait_for(hold, std::chrono::milliseconds(timeoutMs), [this] { return !Items.empty(); });
}

TOperationContext::TOperationContext(IPort& port, TProtocolState& state, IClock& clock,
                                     IOperationSink& sink, TOperationInput input,
                                     std::stop_token stop)
    : Port(port), State(state), Clock(clock), Dialog(sink), Stop(std::move(stop)),
      In(std::move(input)), Ticks(clock) {
    orvan::GetICInfo(In.DeviceName, Device);
}

int TOperationContext::GetICInfo() {
    return orvan::GetICInfo(In.DeviceName, Device);
}

void TOperationContext::GetHeader(unsigned area, unsigned action) {
    GetICInfo();
    const THeader h =
        BuildHeader(area, action, Device, In.Buffers.OptionLo, In.Buffers.OptionHi, In.PulseWidths);
    std::copy(h.begin(), h.end(), In.Buffers.CommandHeader.begin());
}

void TOperationContext::FailLine(const std::string& control, const std::string& text,
                                 TFailureClass why) {
    Dialog.Fail(control, text);
    NoteFailure(why, text);
}

void TOperationContext::FailLine(const std::string& control, WriterResult r) {
    FailLine(control, StandardFailureLine(r), FailureClassOf(r));
}

void TOperationContext::NoteFailure(TFailureClass why, const std::string& line) {
    Outcome.Fail(StopRequested() ? TFailureClass::Stopped : why, line);
}

TWriterProtocol TOperationContext::Protocol() {
    return TWriterProtocol(Port, In.Buffers, Device, State, Clock, Stop);
}

void TOperationRunner::Start(IPort& port, TProtocolState& state, IClock& clock,
                             IOperationSink& sink, TOperationInput input, TWorkerRoutine routine) {
    Stop();
    Last = {};
    Finished = false;
    // The input is large (two 32 KiB areas): it moves to the heap once.
    auto owned = std::make_shared<TOperationInput>(std::move(input));
    Thread =
        std::jthread([&port, &state, &clock, &sink, owned, routine, this](std::stop_token stop) {
            {
                TOperationContext ctx(port, state, clock, sink, std::move(*owned), stop);
                RunWorker(ctx, routine);
                Last = std::move(ctx.Outcome);
            }
            Finished = true;
        });
}

void TOperationRunner::Stop() {
    if (Thread.joinable()) {
        Thread.request_stop();
        Thread.join();
    }
    Finished = true;
}

void RunWorker(TOperationContext& ctx, TWorkerRoutine routine) {
    routine(ctx);
    if (!ctx.Outcome.Pass && ctx.Outcome.Failure == TFailureClass::None && ctx.StopRequested())
        ctx.Outcome.Fail(TFailureClass::Stopped, "Stopped");
    ctx.Dialog.Finished(ctx.Outcome);
}

std::unique_ptr<IRunRecord> NewRunRecord(TOperationContext& ctx, const char* operation) {
    TOpInputExtension* extension = ctx.In.Extension.Get();
    return extension ? extension->NewRunRecord(ctx, operation) : nullptr;
}

} // namespace orvan
