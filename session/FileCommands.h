// The File menu's commands over the whole workspace: File Open (a data file
// or a configuration, with the companion configuration), its ending, and
// the BIN file of the selected device.
#pragma once

#include "buffer/DataFile.h"
#include "buffer/FileNames.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvan {

class TWorkspace;

// File Open on a chosen file: dispatch by type, the companion configuration,
// serial-number mode and QTP off, checksums. A failed load leaves the
// program buffer and LoadedFileName as they were (the OPTION word is blank).
TFileResult OpenDataFile(TWorkspace& ws, const std::string& path, const TFileOptions& options,
                         const TFileAccess& files = RealFiles());

// What the Open command does after a cancelled dialog, and at the end of
// every load that got through.
void FinishOpenCommand(TWorkspace& ws, TFileResult& result);

// The BIN file's bytes for the selected device (GetICInfo first).
std::vector<uint8_t> BinFileBytes(TWorkspace& ws);

// Writes the BIN file safely; false when it could not be written.
bool SaveBin(TWorkspace& ws, const std::string& path);

} // namespace orvan
