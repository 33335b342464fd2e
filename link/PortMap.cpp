#include "link/PortMap.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace orvan {
namespace {

inline constexpr int DefaultPortCount = 8;

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        const size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

std::string Quoted(std::string_view s) {
    return "\"" + std::string(s) + "\"";
}

} // namespace

TPortMap TPortMap::Parse(std::string_view text, const std::string& source) {
    TPortMap map;
    // Editors on other systems may start the file with a byte-order mark.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    int lineNo = 0;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;

        if (const size_t hash = line.find('#'); hash != std::string_view::npos)
            line = line.substr(0, hash);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const auto words = Words(line);
        if (words.empty()) continue;

        auto fail = [&](const std::string& what) {
            map.List.clear();
            map.ErrorText = source + " line " + std::to_string(lineNo) + ": " + what;
            return map;
        };
        if (DefaultPortDevice(words[0]).empty())
            return fail("port name " + Quoted(words[0]) + " is not one of Com1 .. Com8");
        if (words.size() < 2)
            return fail("port " + Quoted(words[0]) +
                        " has no device (expected e.g. \"Com1 /dev/ttyUSB0 [nocts]\")");
        if (words[1].front() != '/')
            return fail("device " + Quoted(words[1]) +
                        " is not an absolute path (expected e.g. /dev/ttyUSB0)");
        bool nocts = false;
        if (words.size() >= 3) {
            if (!SameName(words[2], "nocts"))
                return fail("unknown option " + Quoted(words[2]) + " (only \"nocts\" is allowed)");
            nocts = true;
        }
        if (words.size() > 3) return fail("unexpected text " + Quoted(words[3]) + " after nocts");
        for (const auto& e : map.List)
            if (SameName(e.Name, words[0]))
                return fail("port " + Quoted(words[0]) + " is already mapped on line " +
                            std::to_string(e.Line));
        map.List.push_back({std::string(words[0]), std::string(words[1]), nocts, lineNo});
    }
    return map;
}

TPortMap TPortMap::Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        const int err = errno;
        if (err == ENOENT || err == ENOTDIR) return {};
        TPortMap map;
        map.ErrorText = path + ": cannot be read (" + std::strerror(err) + ")";
        return map;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        TPortMap map;
        map.ErrorText = path + ": cannot be read";
        return map;
    }
    TPortMap map = Parse(text.str(), path);
    map.Source = path;
    return map;
}

std::optional<TPortEntry> TPortMap::Find(std::string_view name) const {
    for (const auto& e : List)
        if (SameName(e.Name, name)) return e;
    return std::nullopt;
}

TPortResolution TPortMap::Resolve(std::string_view name) const {
    TPortResolution r;
    if (!Valid()) {
        r.Error = ErrorText;
        return r;
    }
    if (auto e = Find(name)) {
        r.Ok = true;
        r.Device = e->Device;
        r.NoCts = e->NoCts;
        return r;
    }
    if (!name.empty() && name.front() == '/') {
        r.Ok = true;
        r.Device = std::string(name);
        return r;
    }
    if (!Source.empty()) {
        r.Error = "port " + Quoted(name) + " has no line in " + Source;
        return r;
    }
    if (std::string dev = DefaultPortDevice(name); !dev.empty()) {
        r.Ok = true;
        r.Device = std::move(dev);
        return r;
    }
    if (!name.empty() && name.front() == '/') {
        r.Ok = true;
        r.Device = std::string(name);
        return r;
    }
    r.Error = "port " + Quoted(name) + " has no device: it is not in " +
              std::string(PortMapFileName) + " and only Com1..Com8 have defaults";
    return r;
}

std::string DefaultPortDevice(std::string_view name) {
    if (name.size() != 4 || !SameName(name.substr(0, 3), "com")) return {};
    const char d = name[3];
    if (d < '1' || d > '0' + DefaultPortCount) return {};
    return "/dev/ttyS" + std::to_string(d - '1');
}

TPortResolution ResolvePort(std::string_view name, const std::string& mapPath) {
    return TPortMap::Load(mapPath).Resolve(name);
}

std::string ModeText(unsigned mode) {
    std::string t = S_ISCHR(mode) ? "c" : S_ISDIR(mode) ? "d" : S_ISBLK(mode) ? "b" : "-";
    const char* rwx = "rwxrwxrwx";
    for (int i = 0; i < 9; ++i)
        t += (mode & (0400u >> i)) ? rwx[i] : '-';
    return t;
}

std::string UserName(unsigned uid) {
    if (const passwd* p = ::getpwuid(uid)) return p->pw_name;
    return std::to_string(uid);
}

std::string GroupName(unsigned gid) {
    if (const group* g = ::getgrgid(gid)) return g->gr_name;
    return std::to_string(gid);
}

bool SessionHasGroup(unsigned gid) {
    if (::getegid() == gid) return true;
    const int n = ::getgroups(0, nullptr);
    if (n <= 0) return false;
    std::vector<gid_t> groups(static_cast<size_t>(n));
    const int got = ::getgroups(n, groups.data());
    return got > 0 && std::find(groups.begin(), groups.begin() + got, gid) != groups.begin() + got;
}

namespace {

// Why this user may not open `device`, from its owner, group and mode.
std::string PermissionHint(const std::string& device) {
    struct stat st {};
    if (::stat(device.c_str(), &st) != 0) return "permission denied";
    const std::string group = GroupName(st.st_gid);
    std::string text = "permission denied: " + device + " is " + ModeText(st.st_mode) + " " +
                       UserName(st.st_uid) + ":" + group;
    const bool groupRw = (st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    if (!groupRw)
        return text + "; only its owner may open it (ask the administrator for a udev rule "
                      "that gives a group read and write access)";
    if (SessionHasGroup(st.st_gid))
        return text + "; you are in group " + group +
               " but this session is not yet: log out and in again";
    return text + "; add your user to group " + group + " (sudo usermod -aG " + group +
           " $USER) and log in again";
}

} // namespace

std::string OpenFailureHint(int error, const std::string& device) {
    switch (error) {
    case 0:
        return {};
    case ENOENT:
    case ENXIO:
    case ENODEV:
        return "no such device";
    case EACCES:
    case EPERM:
        if (!device.empty()) return PermissionHint(device);
        return "permission denied";
    case EBUSY:
        return "in use by another program";
    case ENOTTY:
        return "not a serial device";
    case EIO:
        return "the device does not respond (no such port hardware?)";
    default:
        return std::strerror(error);
    }
}

} // namespace orvan
