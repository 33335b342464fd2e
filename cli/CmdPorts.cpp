// ports: the serial devices this machine shows and where ports.map leads,
// so that a station's port can be named and checked before the first chip.
#include "cli/Commands.h"
#include "link/PortHolders.h"
#include "link/PortMap.h"
#include "link/SerialDevice.h"

#include <sys/stat.h>

namespace orvan::cli {
namespace {

// The processes that hold `device` open: "name (pid)", comma-separated.
std::string Holders(const std::string& device) {
    std::string text;
    for (const TPortHolder& h : FindHolders(device, 0))
        text += (text.empty() ? "" : ", ") + h.Name + " (" + std::to_string(h.Pid) + ")";
    return text;
}

} // namespace

int CmdPorts(const TArgs& args) {
    if (!args.Files.empty()) return UsageError("ports takes no arguments");
    TJson devices = TJson::array();
    for (const TSerialDevice& d : SerialDevices()) {
        const std::string holder = Holders(d.Path);
        if (JsonOutput()) {
            devices.push_back({{"path", d.Path},
                               {"byId", d.ById},
                               {"driver", d.Driver},
                               {"latencyMs", d.Latency},
                               {"holder", holder}});
            continue;
        }
        std::string line = d.Path + "  driver " + d.Driver;
        if (!d.ById.empty()) line += "  " + d.ById;
        if (!d.Latency.empty()) line += "  latency " + d.Latency + " ms";
        if (!holder.empty()) line += "  held by " + holder;
        PrintLine(line);
    }
    const std::string mapPath = args.PortsMap.empty() ? PortMapFileName : args.PortsMap;
    const TPortMap map = TPortMap::Load(mapPath);
    TJson entries = TJson::array();
    if (!map.Valid()) PrintLine(map.Error());
    for (const TPortEntry& e : map.Entries()) {
        struct stat st {};
        const bool there = stat(e.Device.c_str(), &st) == 0;
        const bool serial = there && S_ISCHR(st.st_mode);
        const char* state = !there ? "missing" : serial ? "ok" : "not a character device";
        const std::string holder = serial ? Holders(e.Device) : "";
        if (JsonOutput()) {
            entries.push_back({{"port", e.Name},
                               {"device", e.Device},
                               {"nocts", e.NoCts},
                               {"state", state},
                               {"holder", holder}});
            continue;
        }
        std::string line =
            mapPath + ": " + e.Name + " -> " + e.Device + (e.NoCts ? " nocts" : "") + "  " + state;
        if (!holder.empty()) line += "  held by " + holder;
        PrintLine(line);
    }
    if (JsonOutput()) {
        Result()["devices"] = devices;
        Result()["map"] = mapPath;
        Result()["entries"] = entries;
        if (!map.Valid()) Result()["mapError"] = map.Error();
    }
    return map.Valid() ? ExitOk : ExitFile;
}

} // namespace orvan::cli
