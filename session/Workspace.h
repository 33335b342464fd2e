// The state the main window owns, without the window: device, buffers,
// status panel texts, production settings and mode flags. The desktop
// application and orvan-cli each own one and run the same routines on it.
#pragma once

#include "buffer/BufferBlock.h"
#include "device/Catalogue.h"
#include "production/ProductionState.h"
#include "session/StatusPanel.h"

#include <string>

namespace orvan {

inline constexpr const char* ProductName = "Orvan Writer";
inline constexpr const char* ProductVersion = "V2.43";
inline constexpr int PortCount = 8; // "Com1".."Com8"

// The production part (Serial, QTPActive, QTP, Records) is production's own
// struct; the operations' commits reach the rest through IProductionTarget.
class TWorkspace : public TProductionState, public IProductionTarget {
  public:
    TWorkspace();
    TWorkspace(const TWorkspace&) = delete;
    TWorkspace& operator=(const TWorkspace&) = delete;

    // The device selector's text (ComboBox2) and the port selector's index (ComboBox1).
    std::string DeviceName;
    int PortIndex = 0;

    TDeviceState Device;
    TBufferBlock Buffers;
    TStatusPanel Panel;
    uint16_t DataChecksum = 0;

    std::string LoadedFileName;
    std::string StartDirectory;
    std::string ConfigPath;

    bool EraseFirst = false;
    bool ReadDone = false;
    bool VerifyProtect = false;
    bool SkipBlankCheck = false;
    bool RefreshPending = false;
    int IDHexMode = 0; // the ID window shows and edits the ID as 0 ASCII, 1 HEX
    bool ShownOnce = false;

    // Refreshes Device from DeviceName; the catalogue row index or -1.
    int GetICInfo();
    // Masks the OPTION bytes and redraws the OPTION rows of the panel.
    void RefreshData();
    // Recomputes the three checksums into the panel (and DataChecksum).
    void CalChecksum();
    // Blank OPTION, ID, program and EEPROM buffers, serial-number and QTP
    // state off, panel redrawn. The window part (re-creating child windows,
    // flash-only controls) is the caller's.
    void ResetData();
    // Selects a catalogue model by name and resets; false for an unknown name.
    bool SelectDevice(const std::string& name);

    void ClearOption();
    void ClearID();
    void ClearBuffer();
    void ClearEEPROM();

    // Serial-number mode and QTP off, pass count "0" (as ResetData and exit do).
    void SerialAndQTPOff();

    // "Com1".."Com8" for PortIndex.
    std::string PortName() const;

    // What an operation's commits change.
    TBufferBlock& BufferBlock() override { return Buffers; }
    // ReadDone, then CalChecksum.
    void ProgramRead() override;
    std::string& PassCount() override { return Panel.PassCount; }
    TProductionState& Production() override { return *this; }
    void SerialNo2Memory() override;
    void CloseQTP() override;
};

// "Com1".."Com8" for index 0..7.
std::string PortNameOf(int index);

} // namespace orvan
