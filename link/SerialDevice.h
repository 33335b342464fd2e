// What the system says about a serial device, before any program opens it:
// its by-id name and driver, a USB adapter's latency timer, and who may open
// it. `orvan-cli ports` lists these; the station check judges them.
#pragma once

#include <string>
#include <vector>

namespace orvan {

struct TSerialDevice {
    std::string Path;    // /dev/ttyUSB0, symbolic links followed
    std::string ById;    // /dev/serial/by-id/usb-..., empty when none names it
    std::string Driver;  // ftdi_sio, cp210x, ...; empty for a pseudo-terminal
    std::string Latency; // a USB adapter's latency timer in ms as sysfs has it; else empty
};

// The devices behind every serial line with hardware (USB adapters, and the
// built-in ttyS ports whose UART answers), by path.
std::vector<TSerialDevice> SerialDevices();

// The device behind `path` (any name of it); empty fields where sysfs and
// /dev/serial/by-id say nothing. Path is empty when `path` leads nowhere.
TSerialDevice DescribeSerialDevice(const std::string& path);

// The latency timer of the USB adapter behind the device `path`, read now
// ("16"); empty when the line has none.
std::string LatencyTimerOf(const std::string& path);

// Who may open `path`, and why not.
struct TDeviceAccess {
    bool Exists = false;
    bool CharDevice = false;
    std::string Owner, Group, Mode; // "root", "dialout", "crw-rw----"
    bool GroupMember = false;       // this user is in the group (user database)
    bool SessionInGroup = false;    // and this login session already has it
    bool CanOpen = false;           // read and write allowed to this process
};
TDeviceAccess DeviceAccessOf(const std::string& path);

} // namespace orvan
