#include "session/Workspace.h"

#include "device/Checksum.h"
#include "session/ProductionCommands.h"

namespace orvan {

TWorkspace::TWorkspace() : DeviceName(Catalogue()[0].Name) {
    GetICInfo();
}

int TWorkspace::GetICInfo() {
    return orvan::GetICInfo(DeviceName, Device);
}

void TWorkspace::RefreshData() {
    const int row = GetICInfo();
    RefreshOptionPanel(Device, row, Buffers.OptionLo, Buffers.OptionHi, Panel.Option);
}

void TWorkspace::CalChecksum() {
    const int row = GetICInfo();
    const TChecksums sums = orvan::CalChecksum(Device, row, Buffers.ProgramBuffer.data(),
                                               Buffers.OptionLo, Buffers.OptionHi);
    DataChecksum = sums.DataChecksum;
    Panel.Checksum = HexText(sums.DataChecksum, 4);
    Panel.ProtectSum = HexText(sums.ProtectSum, 4);
    Panel.OptionSum = HexText(sums.OptionSum, 4);
}

void TWorkspace::SerialAndQTPOff() {
    Panel.SerialMode = "Disable";
    Panel.QTPFile = "Disable";
    Panel.PassCount = "0";
    Serial.SerialModeOn = false;
    QTPActive = false;
    QTP.Close();
}

void TWorkspace::ResetData() {
    Buffers.OptionLo = Buffers.OptionHi = Blank7;
    SerialAndQTPOff();
    RefreshData();
    Buffers.IDBuffer.fill(Blank7);
    Buffers.ProgramBuffer.fill(Blank7);
    Buffers.EEBuffer.fill(0);
    CalChecksum();
}

bool TWorkspace::SelectDevice(const std::string& name) {
    if (FindDevice(name) < 0) return false;
    DeviceName = name;
    ResetData();
    return true;
}

void TWorkspace::ClearOption() {
    Buffers.OptionLo = Buffers.OptionHi = Blank7;
    RefreshData();
}

void TWorkspace::ClearID() {
    Buffers.IDBuffer.fill(Blank7);
}

void TWorkspace::ClearBuffer() {
    Buffers.ProgramBuffer.fill(Blank7);
    CalChecksum();
}

void TWorkspace::ClearEEPROM() {
    Buffers.EEBuffer.fill(0);
}

std::string TWorkspace::PortName() const {
    return PortNameOf(PortIndex);
}

void TWorkspace::ProgramRead() {
    ReadDone = true;
    CalChecksum();
}

void TWorkspace::SerialNo2Memory() {
    orvan::SerialNo2Memory(*this);
}

void TWorkspace::CloseQTP() {
    orvan::CloseQTP(*this);
}

std::string PortNameOf(int index) {
    return "Com" + std::to_string(index + 1);
}

} // namespace orvan
