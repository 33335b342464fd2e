#include "ops/tests/OpsBench.h"

namespace orvan::test {

void TRecordingSink::Update(TOpUpdate u) {
    TRecordedLine& line = Lines[u.Control];
    switch (u.Kind) {
    case TOpUpdate::TKind::Text:
        line.Text = u.Text;
        break;
    case TOpUpdate::TKind::Colour:
        line.Colour = TLineColour(u.Value);
        break;
    case TOpUpdate::TKind::Visible:
        line.Visible = u.Value != 0;
        break;
    case TOpUpdate::TKind::Enabled:
        line.Enabled = u.Value != 0;
        break;
    case TOpUpdate::TKind::Gauge:
        line.Gauge = u.Value;
        GaugeHistory.push_back(u.Value);
        break;
    }
    Updates.push_back(std::move(u));
}

TOpsBench::TOpsBench(const std::string& model, sim::TWriterKind kind) {
    Chip->MakeBlank(model);
    sim::TSimConfig config;
    config.Kind = kind;
    Writer = std::make_unique<sim::TSimWriter>(*Chip, config);
    Port.Writer = [this](uint8_t sent, size_t) {
        std::vector<uint8_t> out;
        Writer->OnByte(sent, Clock.NowMs(), out);
        return out;
    };
    Ws->SelectDevice(model);
}

TRecordingSink TOpsBench::Run(TWorkerRoutine routine, std::stop_token stop) {
    TRecordingSink sink(*Ws);
    auto ctx = std::make_unique<TOperationContext>(Port, State, Clock, sink,
                                                   SnapshotOf(*Ws, Widths), std::move(stop));
    routine(*ctx);
    return sink;
}

} // namespace orvan::test
