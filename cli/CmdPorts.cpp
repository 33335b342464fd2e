// ports: the serial devices this machine shows and where ports.map leads,
// so that a station's port can be named and checked before the first chip.
#include "cli/Commands.h"
#include "link/PortMap.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sys/stat.h>

namespace orvan::cli {
namespace {

namespace fs = std::filesystem;

std::string ReadLine(const fs::path& p) {
    std::ifstream in(p);
    std::string line;
    std::getline(in, line);
    return line;
}

struct TDevice {
    std::string Path, ById, Driver, Latency, Holder;
};

// Serial devices with hardware behind them: USB adapters and every tty
// that has a driver (the built-in ttyS ports only when a UART answers).
std::vector<TDevice> SerialDevices() {
    std::map<std::string, std::string> byId; // device path -> by-id name
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("/dev/serial/by-id", ec)) {
        std::error_code ec2;
        const fs::path target = fs::canonical(e.path(), ec2);
        if (!ec2) byId[target.string()] = e.path().string();
    }
    std::vector<TDevice> list;
    for (const auto& e : fs::directory_iterator("/sys/class/tty", ec)) {
        const fs::path sys = e.path();
        std::error_code ec2;
        const fs::path driver = fs::read_symlink(sys / "device" / "driver", ec2);
        if (ec2) continue; // virtual terminals, pseudo-terminals
        const std::string name = sys.filename().string();
        if (name.rfind("ttyS", 0) == 0 && ReadLine(sys / "type") == "0") continue; // no UART
        TDevice d;
        d.Path = "/dev/" + name;
        d.Driver = driver.filename().string();
        if (auto it = byId.find(d.Path); it != byId.end()) d.ById = it->second;
        d.Latency = ReadLine(sys / "device" / "latency_timer");
        list.push_back(d);
    }
    std::sort(list.begin(), list.end(),
              [](const TDevice& a, const TDevice& b) { return a.Path < b.Path; });
    return list;
}

// The processes that hold `device` open: "name (pid)", comma-separated.
std::string Holders(const std::string& device) {
    struct stat want {};
    if (stat(device.c_str(), &want) != 0) return {};
    std::string text;
    std::error_code ec;
    for (const auto& proc : fs::directory_iterator("/proc", ec)) {
        const std::string pid = proc.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        std::error_code ec2;
        for (const auto& fd : fs::directory_iterator(proc.path() / "fd", ec2)) {
            struct stat got {};
            if (stat(fd.path().c_str(), &got) != 0) continue;
            if (got.st_rdev != want.st_rdev || !S_ISCHR(got.st_mode)) continue;
            if (!text.empty()) text += ", ";
            text += ReadLine(proc.path() / "comm") + " (" + pid + ")";
            break;
        }
    }
    return text;
}

} // namespace

int CmdPorts(const TArgs& args) {
    if (!args.Files.empty()) return UsageError("ports takes no arguments");
    TJson devices = TJson::array();
    for (TDevice& d : SerialDevices()) {
        d.Holder = Holders(d.Path);
        if (JsonOutput()) {
            devices.push_back({{"path", d.Path},
                               {"byId", d.ById},
                               {"driver", d.Driver},
                               {"latencyMs", d.Latency},
                               {"holder", d.Holder}});
            continue;
        }
        std::string line = d.Path + "  driver " + d.Driver;
        if (!d.ById.empty()) line += "  " + d.ById;
        if (!d.Latency.empty()) line += "  latency " + d.Latency + " ms";
        if (!d.Holder.empty()) line += "  held by " + d.Holder;
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
