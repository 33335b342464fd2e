// What the about box shows of the program and the machine: the version line
// from the main window's caption, the memory line and the operating-system
// line. Plain C++; the box itself is TAboutBox.
#pragma once

#include <cstdint>
#include <string>

namespace orvan {

// "Version " followed by the caption from its first upper-case "V" on (the
// whole caption when it has none).
std::string VersionLine(const std::string& caption);

// Total physical memory in whole kilobytes: "3956028 KB".
std::string MemoryLine(uint64_t totalBytes);
// The machine's total physical memory in bytes (0 if it cannot be read).
uint64_t TotalPhysicalMemory();

// The platforms the writer's desktop software was first sold for, and the
// rest (this one among them).
enum class TOsPlatform { Windows9x, WindowsNT, Other };

struct TOsVersion {
    TOsPlatform Platform = TOsPlatform::Other;
    unsigned Major = 0;
    unsigned Minor = 0;
    uint32_t Build = 0;
    std::string ServicePack; // shown straight after the build figure
};

// The system's name by platform and minor version; empty for any other
// combination (and always on this platform).
std::string OsName(TOsPlatform platform, unsigned minor);

// The build figure: on the 9x platform the low half of the build value
// (its upper half repeats the version), elsewhere the build number itself.
uint32_t BuildFigure(TOsPlatform platform, uint32_t build);

// name " (Build " major "." minor "." figure service-pack ")".
std::string OsLine(const TOsVersion& v);

// A kernel release such as "6.1.0-18-amd64": major 6, minor 1, build 0,
// and "-18-amd64" after the numbers. Missing numbers read as 0.
TOsVersion OsVersionFromRelease(const std::string& release);
// This machine's kernel, from uname.
TOsVersion QueryOsVersion();

} // namespace orvan
