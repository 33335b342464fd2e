// The protocol primitives against the scripted port, on a manual clock half
// a second into a minute, with a program-memory header for a Class 1 writer.
#pragma once

#include "link/Protocol.h"
#include "testlib/FakePort.h"

#include <memory>
#include <stop_token>

namespace orvan::test {

struct TProtocolBench {
    TManualClock Clock{500};
    TFakePort Port{Clock};
    std::unique_ptr<TBufferBlock> Buffers = std::make_unique<TBufferBlock>();
    TDeviceState Device;
    TProtocolState State;
    std::stop_source StopSource;
    TWriterProtocol Proto{Port, *Buffers, Device, State, Clock, StopSource.get_token()};

    TProtocolBench() {
        Device.ICWriterType = 1;
        Buffers->CommandHeader = {0xA1, 0, 0, 0x02, 0, 1, 0x32, 0x30, 0x27, 0xA5};
    }
};

} // namespace orvan::test
