#include "testlib/OpsBench.h"
#include "session/Operations.h"

namespace orvan::test {

void TRecordingSink::Update(TOpUpdate u) {
    if (Watch) Watch(u);
    Dialog.Apply(u);
    if (u.Kind == TOpUpdate::TKind::Gauge) GaugeHistory.push_back(u.Value);
    Updates.push_back(std::move(u));
}

TOpsBench::TOpsBench(const std::string& model, sim::TWriterKind kind) {
    Chip->MakeBlank(model);
    sim::TSimConfig config;
    config.Kind = kind;
    Writer = std::make_unique<sim::TSimWriter>(*Chip, config);
    Port.Writer = [this](uint8_t sent, size_t step) {
        std::vector<uint8_t> out;
        Writer->OnByte(sent, Clock.NowMs(), out);
        if (Tamper) Tamper(step, sent, out);
        return out;
    };
    Ws->SelectDevice(model);
}

void TOpsBench::ReplyAt(size_t step, std::vector<uint8_t> bytes) {
    Tamper = [step, bytes](size_t at, uint8_t, std::vector<uint8_t>& reply) {
        if (at == step) reply = bytes;
    };
}

void TOpsBench::SilentFrom(size_t step) {
    Tamper = [step](size_t at, uint8_t, std::vector<uint8_t>& reply) {
        if (at >= step) reply.clear();
    };
}

void TOpsBench::LoadWords(const std::vector<unsigned>& words) {
    for (size_t k = 0; k < words.size(); ++k)
        SetWord(Ws->Buffers.ProgramBuffer.data(), int(k), words[k]);
    Ws->CalChecksum();
}

TRecordingSink TOpsBench::Run(TWorkerRoutine routine, std::stop_token stop) {
    TRecordingSink sink(*Ws);
    sink.Watch = Watch;
    auto ctx = std::make_unique<TOperationContext>(Port, State, Clock, sink,
                                                   SnapshotOf(*Ws, Widths), std::move(stop));
    RunWorker(*ctx, routine);
    return sink;
}

} // namespace orvan::test
