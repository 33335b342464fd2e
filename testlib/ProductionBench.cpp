#include "testlib/ProductionBench.h"

#include "device/Checksum.h"
#include "production/SerialNo.h"
#include "session/ProductionCommands.h"

namespace orvan::test {

void PrepareProgram(TOpsBench& b) {
    TWorkspace& ws = *b.Ws;
    uint8_t* p = ws.Buffers.ProgramBuffer.data();
    for (int w = 0; w < 0x40; ++w)
        SetWord(p, w, 0x0100u + unsigned(w) * 37u);
    for (int w = SerialWordsAt; w < SerialWordsAt + 4; ++w)
        SetWord(p, w, 0x3100);
    SetWord(p, ws.Device.WordCount() - 1, 0x2800); // the reset word
    WordToPair(0x3AAA, ws.Buffers.OptionLo, ws.Buffers.OptionHi);
    ws.RefreshData();
    ws.CalChecksum();
}

void SerialOn(TWorkspace& ws, int n, const std::string& hexNumber, int random) {
    TSerialSettings& s = ws.Serial;
    s.SerialModeOn = true;
    s.SerialStartAddr = SerialWordsAt;
    s.SerialByteCount = n;
    s.SerialRandom = random;
    for (int j = 0; j < n; ++j)
        s.SerialBytes[size_t(j)] =
            std::stoi(hexNumber.substr(size_t(2 * (n - 1 - j)), 2), nullptr, 16);
    SerialNo2Memory(ws);
}

std::string ChipSerial(const sim::TSimChip& chip, int n) {
    std::string text;
    for (int i = 0; i < n; ++i)
        text += HexText(chip.Program[size_t(SerialWordsAt + i)] & 0xFFu, 2);
    return text;
}

std::string ChipChecksum(const sim::TSimChip& chip) {
    std::string text;
    for (int w = 6; w < 8; ++w) {
        text += char(chip.ID[size_t(w)] & 0x7F);
        text += char((chip.ID[size_t(w)] >> 7) & 0x7F);
    }
    return text;
}

} // namespace orvan::test
