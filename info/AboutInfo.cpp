#include "info/AboutInfo.h"

#include "buffer/HexText.h"

#include <sys/sysinfo.h>
#include <sys/utsname.h>

#include <cctype>
#include <cstdio>
#include <iterator>

namespace orvan {

namespace {

struct TOsNameRow {
    TOsPlatform Platform;
    unsigned Minor;
    const char* Name;
};

constexpr TOsNameRow OsNames[] = {
    {TOsPlatform::Windows9x, 10, "Windows 98"},  {TOsPlatform::Windows9x, 90, "Windows me"},
    {TOsPlatform::Windows9x, 0, "Windows 95"},   {TOsPlatform::WindowsNT, 1, "Windows XP"},
    {TOsPlatform::WindowsNT, 0, "Windows 2000"}, {TOsPlatform::WindowsNT, 10, "Windows NT"},
};

// Reads a decimal number at `pos`; false (and 0) when there is none.
bool ReadNumber(const std::string& s, std::size_t& pos, unsigned& value) {
    value = 0;
    const std::size_t start = pos;
    while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos])) && pos - start < 9)
        value = value * 10 + static_cast<unsigned>(s[pos++] - '0');
    return pos > start;
}

} // namespace

std::string VersionLine(const std::string& caption) {
    const std::size_t v = caption.find('V');
    return "Version " + (v == std::string::npos ? caption : caption.substr(v));
}

std::string MemoryLine(uint64_t totalBytes) {
    return std::to_string(totalBytes / 1024u) + " KB";
}

uint64_t TotalPhysicalMemory() {
    struct sysinfo info {};
    if (sysinfo(&info) != 0) return 0;
    return static_cast<uint64_t>(info.totalram) * info.mem_unit;
}

std::string OsName(TOsPlatform platform, unsigned minor) {
    for (const TOsNameRow& row : OsNames)
        if (row.Platform == platform && row.Minor == minor) return row.Name;
    return {};
}

uint32_t BuildFigure(TOsPlatform platform, uint32_t build) {
    if (platform != TOsPlatform::Windows9x) return build;
    // The build value as hex text of at least two digits; its characters
    // 4 to 7 are the build number proper.
    char hex[16];
    std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned>(build));
    const std::string text = hex;
    const std::string part = text.size() > 3 ? text.substr(3, 4) : std::string();
    return static_cast<uint32_t>(HexToInt(part));
}

std::string OsLine(const TOsVersion& v) {
    return OsName(v.Platform, v.Minor) + " (Build " + std::to_string(v.Major) + "." +
           std::to_string(v.Minor) + "." + std::to_string(BuildFigure(v.Platform, v.Build)) +
           v.ServicePack + ")";
}

TOsVersion OsVersionFromRelease(const std::string& release) {
    TOsVersion v;
    unsigned* fields[] = {&v.Major, &v.Minor, &v.Build};
    std::size_t pos = 0;
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        std::size_t next = pos;
        if (i > 0) {
            if (next >= release.size() || release[next] != '.') break;
            ++next;
        }
        unsigned n = 0;
        if (!ReadNumber(release, next, n)) break;
        *fields[i] = n;
        pos = next;
    }
    // Whatever follows the numbers is shown as the system gives it.
    v.ServicePack = release.substr(pos);
    return v;
}

TOsVersion QueryOsVersion() {
    struct utsname u {};
    if (uname(&u) != 0) return {};
    return OsVersionFromRelease(u.release);
}

} // namespace orvan
