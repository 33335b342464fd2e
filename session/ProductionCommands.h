// Production's commands over the whole workspace: the serial number into
// the buffer with its display, QTP files loaded and closed, and the
// serial-number dialog's OK and "QTP File".
#pragma once

#include "production/SerialSetup.h"

#include <optional>
#include <string>
#include <string_view>

namespace orvan {

class TWorkspace;

// The main window's SerialNo2Memory: the number into the buffer, the
// "Serial No. (HEX) :" display, then the checksums.
void SerialNo2Memory(TWorkspace& ws);

// Load QTP File for the file's bytes: the first record, its RTIW words,
// then serial mode on with the number in the buffer. Returns the messages
// to show (empty when the file was taken).
std::optional<std::string> LoadQTP(TWorkspace& ws, std::string_view name, std::string text);

// LoadQTP from a file; false (nothing changed but QTPActive) when the file
// cannot be read.
bool LoadQTPFile(TWorkspace& ws, const std::string& path, std::optional<std::string>& message);

// Closes the QTP file: serial mode off, "QTP file :" shows "Disable".
void CloseQTP(TWorkspace& ws);

// The serial-number dialog's OK for the selected device: when the entry
// passes, serial mode is on ("Enable") and the number is in the buffer.
TSerialCheck AcceptSerialEntry(TWorkspace& ws, const TSerialEntry& e);

// "QTP File" up to the file dialog, for the selected device.
TSerialCheck PrepareQTPEntry(TWorkspace& ws, const TSerialEntry& e, int& parts);

} // namespace orvan
