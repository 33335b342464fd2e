// ReadSerialData record after record on arbitrary text, then loading it as
// Load QTP File does. Reading must stay inside the text, always move on,
// and keep the byte count in 1..8.
#include "production/Qtp.h"
#include "session/ProductionCommands.h"
#include "session/Workspace.h"

#include <cstdlib>
#include <memory>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (int lsb : {0, 1}) {
        orvan::TQTPFile f;
        f.Text = std::make_shared<const std::string>(text);
        orvan::TSerialSettings s;
        s.SerialLsbFirst = lsb;
        bool active = false;
        for (;;) {
            const std::size_t from = f.Pos;
            const auto message = orvan::ReadSerialData(f, s, active);
            if (f.Pos > text.size()) std::abort();
            if (s.SerialByteCount < 1 || s.SerialByteCount > orvan::MaxSerialBytes) std::abort();
            if (message || f.QTPEnd) break;
            if (f.Pos == from) std::abort(); // no progress
            // What was read writes out as a well-formed record.
            const std::string again = orvan::QTPRecord(s);
            if (again.size() != 13 + 4 * size_t(s.SerialByteCount)) std::abort();
        }
    }
    auto ws = std::make_unique<orvan::TWorkspace>();
    ws->SelectDevice("OV128");
    for (int w = 0; w < 16; ++w)
        orvan::SetWord(ws->Buffers.ProgramBuffer.data(), w, 0x3100);
    const auto message = orvan::LoadQTP(*ws, "fuzz.txt", text);
    if (message.has_value() == ws->QTPActive) std::abort();
    if (ws->QTPActive && !ws->Serial.SerialModeOn) std::abort();
    return 0;
}
