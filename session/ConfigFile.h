// Configuration (project) files, the saved form of a session: the data
// file's name, the port, the device, the serial-number settings, the
// OPTION word and the ID bytes.
//
// Layout: "zyl", the data file name ended by 0Fh, then blank-ended fields
// (port, device, six OPTION texts, checksum, pass count, serial number
// display, serial mode, start address, byte count, serial number,
// increment, random, LSB first), then OptionLo, OptionHi and the 32 ID
// bytes as raw bytes, which end the file.
#pragma once

#include "buffer/DataFile.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace orvan {

class TWorkspace;

enum class TCfgMode {
    Settings = 0, // neither selects the device nor loads the data file
    Full = 1,
};

// A field is read up to its terminator, at most this many characters; the
// data file name may be as long as a path can be.
inline constexpr std::size_t MaxCfgField = 500;
inline constexpr std::size_t MaxCfgFileName = 4096;

inline constexpr const char* NoDataFileText = "No data file name";
inline constexpr const char* CantBeSavedText = "File can't be saved!";
inline constexpr const char* CantLoadText = "Can't load file!";

// "'" + path + "' file data error!"
std::string CfgDataErrorText(const std::string& cfgPath);
// "'" + name + "' file do not find!"
std::string DataFileMissingText(const std::string& dataPath);
// "'" + name + "' file can't open!", saying so when it is too large.
std::string DataFileCantOpenText(const std::string& dataPath, TReadStatus status);

// The whole file as SaveCfg writes it.
std::vector<uint8_t> SaveCfg(const TWorkspace& ws);

// Writes SaveCfg's bytes to `path` safely; false when it could not.
bool SaveCfgFile(const TWorkspace& ws, const std::string& path);

// Applies a configuration's bytes; messages name ws.ConfigPath. Every field,
// and in full mode the data file, is checked before anything is applied: a
// refused file changes nothing (a full load that names a missing data file
// only forgets LoadedFileName). Ok is the loader's success flag; callers
// other than the settings-mode load after a data file run ResetData on
// failure.
TFileResult LoadCfg(TWorkspace& ws, std::span<const uint8_t> bytes, TCfgMode mode,
                    const TFileOptions& options, const TFileAccess& files = RealFiles());

// Reads ws.ConfigPath and applies it; "File can't open!" when it cannot be read.
TFileResult LoadCfgFile(TWorkspace& ws, TCfgMode mode, const TFileOptions& options,
                        const TFileAccess& files = RealFiles());

} // namespace orvan
