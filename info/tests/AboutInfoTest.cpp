// The about box's version, memory and system lines.
#include "info/AboutInfo.h"

#include <gtest/gtest.h>

#include <regex>

#include <sys/utsname.h>

namespace orvan {
namespace {

TEST(AboutInfo, VersionLineFromTheFirstUpperCaseV) {
    EXPECT_EQ(VersionLine("Orvan Writer  V2.43"), "Version V2.43");
    // Lower-case v does not count; the first upper-case V does, to the end.
    EXPECT_EQ(VersionLine("Orvan writer v1 V3.0 Beta V"), "Version V3.0 Beta V");
    EXPECT_EQ(VersionLine("VERSION"), "Version VERSION");
    EXPECT_EQ(VersionLine("Orvan Writer"), "Version Orvan Writer");
    EXPECT_EQ(VersionLine(""), "Version ");
}

TEST(AboutInfo, MemoryInWholeKilobytes) {
    EXPECT_EQ(MemoryLine(0), "0 KB");
    EXPECT_EQ(MemoryLine(1023), "0 KB");
    EXPECT_EQ(MemoryLine(1024), "1 KB");
    EXPECT_EQ(MemoryLine(4050976767ull), "3956031 KB");
    EXPECT_EQ(MemoryLine(64ull << 40), "68719476736 KB"); // past 32 bits
    EXPECT_GT(TotalPhysicalMemory(), 16ull << 20);
}

TEST(AboutInfo, SystemNamesByPlatformAndMinorVersion) {
    using P = TOsPlatform;
    EXPECT_EQ(OsName(P::Windows9x, 10), "Windows 98");
    EXPECT_EQ(OsName(P::Windows9x, 90), "Windows me");
    EXPECT_EQ(OsName(P::Windows9x, 0), "Windows 95");
    EXPECT_EQ(OsName(P::WindowsNT, 1), "Windows XP");
    EXPECT_EQ(OsName(P::WindowsNT, 0), "Windows 2000");
    EXPECT_EQ(OsName(P::WindowsNT, 10), "Windows NT");
    EXPECT_EQ(OsName(P::Windows9x, 1), "");
    EXPECT_EQ(OsName(P::WindowsNT, 90), "");
    for (unsigned minor : {0u, 1u, 10u, 90u})
        EXPECT_EQ(OsName(P::Other, minor), "");
}

TEST(AboutInfo, BuildFigure) {
    // 9x: the upper half of the build value repeats the version.
    EXPECT_EQ(BuildFigure(TOsPlatform::Windows9x, 0x040A08AE), 0x08AEu);
    EXPECT_EQ(BuildFigure(TOsPlatform::Windows9x, 0x045A0BB8), 0x0BB8u);
    // Short hex texts give what their characters 4-7 hold, or nothing.
    EXPECT_EQ(BuildFigure(TOsPlatform::Windows9x, 0x12345), 0x45u);
    EXPECT_EQ(BuildFigure(TOsPlatform::Windows9x, 0x5), 0u);
    EXPECT_EQ(BuildFigure(TOsPlatform::Windows9x, 0xFFF), 0u);
    // Everywhere else the number is shown as it is.
    EXPECT_EQ(BuildFigure(TOsPlatform::WindowsNT, 2600), 2600u);
    EXPECT_EQ(BuildFigure(TOsPlatform::Other, 7), 7u);
}

TEST(AboutInfo, SystemLine) {
    TOsVersion win98{TOsPlatform::Windows9x, 4, 10, 0x040A08AE, " A"};
    EXPECT_EQ(OsLine(win98), "Windows 98 (Build 4.10.2222 A)");
    TOsVersion xp{TOsPlatform::WindowsNT, 5, 1, 2600, "Service Pack 2"};
    EXPECT_EQ(OsLine(xp), "Windows XP (Build 5.1.2600Service Pack 2)");
    EXPECT_EQ(OsLine(OsVersionFromRelease("6.1.0-18-amd64")), " (Build 6.1.0-18-amd64)");
}

TEST(AboutInfo, KernelReleases) {
    struct {
        const char* Release;
        unsigned Major, Minor, Build;
        const char* Rest;
    } cases[] = {
        {"6.1.0-18-amd64", 6, 1, 0, "-18-amd64"},
        {"5.15.153.1-microsoft-standard-WSL2", 5, 15, 153, ".1-microsoft-standard-WSL2"},
        {"6.8", 6, 8, 0, ""},
        {"4.", 4, 0, 0, "."},
        {"6.x.1", 6, 0, 0, ".x.1"},
        {"", 0, 0, 0, ""},
        {"custom", 0, 0, 0, "custom"},
    };
    for (const auto& c : cases) {
        const TOsVersion v = OsVersionFromRelease(c.Release);
        EXPECT_EQ(v.Platform, TOsPlatform::Other) << c.Release;
        EXPECT_EQ(v.Major, c.Major) << c.Release;
        EXPECT_EQ(v.Minor, c.Minor) << c.Release;
        EXPECT_EQ(v.Build, c.Build) << c.Release;
        EXPECT_EQ(v.ServicePack, c.Rest) << c.Release;
    }
    // This machine's line shows its kernel release as uname gives it.
    utsname u{};
    ASSERT_EQ(uname(&u), 0);
    const std::string release = u.release;
    if (std::regex_search(release, std::regex("^[0-9]+\\.[0-9]+\\.[0-9]+"))) {
        EXPECT_EQ(OsLine(QueryOsVersion()), " (Build " + release + ")");
    }
}

} // namespace
} // namespace orvan
