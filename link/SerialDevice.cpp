#include "link/SerialDevice.h"

#include "link/PortMap.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvan {
namespace {

namespace fs = std::filesystem;

std::string ReadLine(const fs::path& p) {
    std::ifstream in(p);
    std::string line;
    std::getline(in, line);
    return line;
}

// The sysfs folder of a tty device: /sys/class/tty/ttyUSB0.
fs::path SysTty(const std::string& devicePath) {
    return fs::path("/sys/class/tty") / fs::path(devicePath).filename();
}

std::string ByIdName(const std::string& devicePath) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("/dev/serial/by-id", ec)) {
        std::error_code ec2;
        if (fs::canonical(e.path(), ec2).string() == devicePath && !ec2) return e.path().string();
    }
    return {};
}

std::string DriverOf(const fs::path& sys) {
    std::error_code ec;
    const fs::path driver = fs::read_symlink(sys / "device" / "driver", ec);
    return ec ? std::string() : driver.filename().string();
}

// The groups the user database gives this user: what a new login would carry.
bool UserHasGroup(gid_t gid) {
    const passwd* p = ::getpwuid(::getuid());
    if (!p) return false;
    const std::string name = p->pw_name;
    const gid_t primary = p->pw_gid;
    if (primary == gid) return true;
    int n = 64;
    std::vector<gid_t> groups(static_cast<size_t>(n));
    if (::getgrouplist(name.c_str(), primary, groups.data(), &n) < 0) {
        groups.resize(static_cast<size_t>(n));
        if (::getgrouplist(name.c_str(), primary, groups.data(), &n) < 0) return false;
    }
    return std::find(groups.begin(), groups.begin() + n, gid) != groups.begin() + n;
}

} // namespace

std::vector<TSerialDevice> SerialDevices() {
    std::vector<TSerialDevice> list;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("/sys/class/tty", ec)) {
        const fs::path sys = e.path();
        TSerialDevice d;
        d.Driver = DriverOf(sys);
        if (d.Driver.empty()) continue; // virtual terminals, pseudo-terminals
        const std::string name = sys.filename().string();
        if (name.rfind("ttyS", 0) == 0 && ReadLine(sys / "type") == "0") continue; // no UART
        d.Path = "/dev/" + name;
        d.ById = ByIdName(d.Path);
        d.Latency = ReadLine(sys / "device" / "latency_timer");
        list.push_back(d);
    }
    std::sort(list.begin(), list.end(),
              [](const TSerialDevice& a, const TSerialDevice& b) { return a.Path < b.Path; });
    return list;
}

TSerialDevice DescribeSerialDevice(const std::string& path) {
    TSerialDevice d;
    std::error_code ec;
    const fs::path real = fs::canonical(path, ec);
    if (ec) return d;
    d.Path = real.string();
    d.ById = ByIdName(d.Path);
    d.Driver = DriverOf(SysTty(d.Path));
    d.Latency = LatencyTimerOf(d.Path);
    return d;
}

std::string LatencyTimerOf(const std::string& path) {
    std::error_code ec;
    const fs::path real = fs::canonical(path, ec);
    if (ec) return {};
    return ReadLine(SysTty(real.string()) / "device" / "latency_timer");
}

TDeviceAccess DeviceAccessOf(const std::string& path) {
    TDeviceAccess a;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return a;
    a.Exists = true;
    a.CharDevice = S_ISCHR(st.st_mode);
    a.Owner = UserName(st.st_uid);
    a.Group = GroupName(st.st_gid);
    a.Mode = ModeText(st.st_mode);
    a.GroupMember = UserHasGroup(st.st_gid);
    a.SessionInGroup = SessionHasGroup(st.st_gid);
    a.CanOpen = ::access(path.c_str(), R_OK | W_OK) == 0;
    return a;
}

} // namespace orvan
