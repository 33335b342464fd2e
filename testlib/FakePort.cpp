#include "testlib/FakePort.h"

#include <algorithm>

namespace orvan {

void TFakePort::ReplyTo(size_t sentIndex, std::vector<uint8_t> bytes, int delayMs) {
    TTimed timed;
    for (uint8_t b : bytes)
        timed.emplace_back(delayMs, b);
    Script[sentIndex] = std::move(timed);
}

void TFakePort::ReplyToTimed(size_t sentIndex, std::vector<std::pair<int, uint8_t>> timedBytes) {
    Script[sentIndex] = std::move(timedBytes);
}

void TFakePort::Preload(std::vector<uint8_t> bytes) {
    Queue(bytes, 0);
}

void TFakePort::Queue(const std::vector<uint8_t>& bytes, int delayMs) {
    TTimed timed;
    for (uint8_t b : bytes)
        timed.emplace_back(delayMs, b);
    QueueTimed(timed);
}

void TFakePort::QueueTimed(const TTimed& bytes) {
    for (const auto& [delayMs, b] : bytes) {
        int64_t at = Clock.NowMs() + delayMs;
        if (!Input.empty()) at = std::max(at, Input.back().AtMs);
        Input.push_back({at, b});
    }
}

size_t TFakePort::Available() const {
    size_t n = 0;
    for (const TPending& p : Input) {
        if (p.AtMs > Clock.NowMs()) break;
        ++n;
    }
    return n;
}

int TFakePort::Write(const void* buffer, int count) {
    if (!Open) throw ECommError("Write error", 6);
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    for (int k = 0; k < count; ++k) {
        const size_t index = Sent.size();
        if (ThrowOnWriteIndex >= 0 && index == static_cast<size_t>(ThrowOnWriteIndex))
            throw ECommError("Write error", 5);
        if (StallWriteIndex >= 0 && index == static_cast<size_t>(StallWriteIndex)) return -1;
        Sent.push_back(bytes[k]);
        LastSendMs = Clock.NowMs();
        if (auto it = Script.find(index); it != Script.end()) QueueTimed(it->second);
        if (Writer) Queue(Writer(bytes[k], index), 0);
    }
    return count;
}

int TFakePort::Read(void* buffer, int count) {
    if (!Open) throw ECommError("Read error", 6);
    auto* out = static_cast<uint8_t*>(buffer);
    int n = 0;
    while (n < count && !Input.empty() && Input.front().AtMs <= Clock.NowMs()) {
        out[n++] = Input.front().Byte;
        Input.pop_front();
    }
    return n;
}

int TFakePort::InQueCount() {
    return Open ? static_cast<int>(Available()) : -1;
}

void TFakePort::PurgeIn() {
    ++PurgeInCount;
    // Only what has arrived is discarded; replies still on their way are not.
    Input.erase(Input.begin(), Input.begin() + static_cast<long>(Available()));
}

bool TFakePort::GetModemState(int line) {
    if (!Open || line != 1) return false;
    const bool on = !CtsRule || CtsRule(Sent.size());
    if (!on) ++CtsLowPolls;
    return on;
}

bool TFakePort::WaitInput(int timeoutMs) {
    if (ThrowOnWaitAfter >= 0 && Sent.size() >= static_cast<size_t>(ThrowOnWaitAfter))
        throw ECommError("Read error", 5);
    if (Available() > 0) return true;
    if (!Input.empty() && Input.front().AtMs <= Clock.NowMs() + timeoutMs) {
        Clock.Advance(Input.front().AtMs - Clock.NowMs());
        return true;
    }
    Clock.Advance(timeoutMs);
    return false;
}

} // namespace orvan
