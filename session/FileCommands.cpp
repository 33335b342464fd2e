#include "session/FileCommands.h"

#include "buffer/SaveBin.h"
#include "session/ConfigFile.h"
#include "session/Workspace.h"

#include <algorithm>

namespace orvan {

void FinishOpenCommand(TWorkspace& ws, TFileResult& result) {
    result.CloseDisasm = true;
    ws.SerialAndQTPOff();
    ws.CalChecksum();
}

TFileResult OpenDataFile(TWorkspace& ws, const std::string& path, const TFileOptions& options,
                         const TFileAccess& files) {
    TFileResult result;
    ws.Buffers.OptionLo = ws.Buffers.OptionHi = Blank7;
    ws.RefreshData();
    ws.GetICInfo();
    // A refused file changes nothing else, but the panel must not keep a sum
    // of the OPTION word just cleared.
    auto refuse = [&](const std::string& text) {
        result.Messages.push_back(text);
        ws.CalChecksum();
        return result;
    };
    if (!files.Exists(path)) return refuse(FileMissingText);

    const std::string type = TypeAfterFirstDot(path);
    const bool records = type == "HEX" || type == "OHX" || type == "CFG";
    const bool raw = type == "BIN" || type == "OBJ";
    std::vector<uint8_t> bytes;
    const TReadStatus status = files.Read(path,
                                          records ? MaxFileBytes
                                          : raw   ? ProgramBytes
                                                  : 0,
                                          records, bytes);
    if (status == TReadStatus::Missing) return refuse(FileMissingText);
    if (status == TReadStatus::TooLarge)
        return refuse(std::string(FileCantOpenText) + TooLargeSuffix);
    if (status != TReadStatus::Ok) return refuse(FileCantOpenText);
    if (!records && !raw) return refuse(TypeIncorrectText);

    if (type == "CFG") {
        ws.LoadedFileName = path;
        ws.ConfigPath = path;
        TFileResult cfg = LoadCfg(ws, bytes, TCfgMode::Full, options, files);
        if (!cfg.Ok) {
            ws.ResetData();
            ws.LoadedFileName.clear();
            cfg.ResetWindows = true;
        }
        result.Merge(cfg);
        result.Ok = cfg.Ok;
        ws.Serial.SerialModeOn = false;
    } else {
        std::vector<uint8_t> image;
        ws.GetICInfo();
        if (!BuildProgramImage(ws.Device, bytes, type, options, result, image)) {
            ws.CalChecksum();
            return result;
        }
        std::copy(image.begin(), image.end(), ws.Buffers.ProgramBuffer.begin());
        ws.LoadedFileName = path;
        ws.Serial.SerialModeOn = false;
        result.Ok = true;

        ws.ConfigPath = CompanionCfgName(path);
        if (files.Exists(ws.ConfigPath)) {
            std::vector<uint8_t> cfgBytes;
            if (files.Read(ws.ConfigPath, MaxFileBytes, true, cfgBytes) == TReadStatus::Ok)
                result.Merge(LoadCfg(ws, cfgBytes, TCfgMode::Settings, options, files));
        }
    }
    result.RecreateMemoryWindow = true;
    FinishOpenCommand(ws, result);
    return result;
}

std::vector<uint8_t> BinFileBytes(TWorkspace& ws) {
    ws.GetICInfo();
    return BinFileBytes(ws.Buffers, ws.Device);
}

bool SaveBin(TWorkspace& ws, const std::string& path) {
    ws.GetICInfo();
    return SaveBin(ws.Buffers, ws.Device, path);
}

} // namespace orvan
