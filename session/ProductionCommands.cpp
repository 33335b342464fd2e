#include "session/ProductionCommands.h"

#include "production/Qtp.h"
#include "production/SerialNo.h"
#include "session/Workspace.h"

#include <fstream>
#include <memory>
#include <sstream>

namespace orvan {

void SerialNo2Memory(TWorkspace& ws) {
    ws.GetICInfo();
    (void)WriteSerialNumber(ws.Serial, ws.Buffers, ws.Device);
    ws.Panel.SerialNo = ws.Serial.HexText();
    ws.CalChecksum();
}

void CloseQTP(TWorkspace& ws) {
    ws.QTP.Close();
    ws.QTPActive = false;
    ws.Serial.SerialModeOn = false;
    ws.Panel.QTPFile = "Disable";
    ws.Panel.SerialMode = "Disable";
}

std::optional<std::string> LoadQTP(TWorkspace& ws, std::string_view name, std::string text) {
    ws.QTPActive = false;
    ws.QTP.Close();
    TQTPFile f;
    f.Text = std::make_shared<const std::string>(std::move(text));
    TSerialSettings s = ws.Serial;
    bool active = false;
    std::optional<std::string> message = ReadSerialData(f, s, active);
    ws.GetICInfo();
    if (!message && f.QTPEnd) {
        // Nothing to program from: the file holds the end record only.
        message = QTPFinishedText;
        active = false;
    }
    if (!message && !SerialWordsAreRTIW(s, ws.Buffers, ws.Device)) {
        message = NotRTIWText;
        active = false;
    }
    if (!message && active) {
        ws.Serial = s;
        ws.Serial.SerialModeOn = true;
        ws.QTPActive = true;
        const std::size_t slash = name.find_last_of('/');
        f.Name = std::string(slash == std::string_view::npos ? name : name.substr(slash + 1));
        ws.QTP = std::move(f);
        ws.Panel.QTPFile = ws.QTP.Name;
        ws.Panel.SerialMode = "Enable";
        SerialNo2Memory(ws);
        return std::nullopt;
    }
    CloseQTP(ws);
    return message;
}

bool LoadQTPFile(TWorkspace& ws, const std::string& path, std::optional<std::string>& message) {
    ws.QTPActive = false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) return false;
    message = LoadQTP(ws, path, text.str());
    return true;
}

TSerialCheck AcceptSerialEntry(TWorkspace& ws, const TSerialEntry& e) {
    ws.GetICInfo();
    const TSerialCheck c = AcceptSerialEntry(ws.Serial, ws.Buffers, ws.Device, e);
    if (c.Ok) {
        ws.Panel.SerialMode = "Enable";
        SerialNo2Memory(ws);
    }
    return c;
}

TSerialCheck PrepareQTPEntry(TWorkspace& ws, const TSerialEntry& e, int& parts) {
    ws.GetICInfo();
    return PrepareQTPEntry(ws.Serial, ws.Buffers, ws.Device, e, parts);
}

} // namespace orvan
