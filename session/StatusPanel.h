// The texts of the main window's status panel, kept in the core so that the
// window, the command-line front end and the configuration writer read the
// same values.
#pragma once

#include "device/OptionDecode.h"

#include <string>

namespace orvan {

struct TStatusPanel {
    TOptionPanel Option;              // OSC .. Security rows, OptionStatus
    std::string Checksum = "Blank";   // Label11
    std::string ICChecksum = "Blank"; // Label17
    std::string OptionSum = "Blank";  // OptChecksum
    std::string ProtectSum = "Blank"; // ProtectSum
    std::string IDText = "7F 7F 7F 7F 7F 7F 7F 7F 7F 7F 7F 7F"; // Label18
    std::string PassCount = "0";                                // Label13
    std::string SerialNo = "00";                                // Label15
    std::string SerialMode = "Disable";                         // Label1
    std::string QTPFile = "Disable";                            // Label19
};

} // namespace orvan
