// ports.map: parsing, defaults and the explanations of open failures.
#include "link/PortMap.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <unistd.h>

namespace orvan {
namespace {

TEST(PortMap, DefaultsWithoutAMap) {
    const TPortMap empty = TPortMap::Parse("");
    ASSERT_TRUE(empty.Valid());
    const std::pair<const char*, const char*> cases[] = {
        {"Com1", "/dev/ttyS0"}, {"COM3", "/dev/ttyS2"}, {"com8", "/dev/ttyS7"}};
    for (const auto& [name, dev] : cases) {
        const TPortResolution r = empty.Resolve(name);
        EXPECT_TRUE(r.Ok) << name;
        EXPECT_EQ(r.Device, dev);
        EXPECT_FALSE(r.NoCts);
    }
    for (const char* name : {"Com0", "Com9", "Com10", "Cox1", "", "ttyS0"}) {
        const TPortResolution r = empty.Resolve(name);
        EXPECT_FALSE(r.Ok) << name;
        EXPECT_FALSE(r.Error.empty());
    }
    // An absolute path stands for itself.
    EXPECT_EQ(empty.Resolve("/dev/pts/7").Device, "/dev/pts/7");
}

TEST(PortMap, EntriesCommentsAndCase) {
    const TPortMap map = TPortMap::Parse("# writer bench\n"
                                         "\n"
                                         "  Com1\t/dev/ttyUSB0   nocts  # 3-wire cable\r\n"
                                         "COM3 /dev/ttyACM0\n"
                                         "sim /dev/pts/4 NOCTS");
    ASSERT_TRUE(map.Valid()) << map.Error();
    ASSERT_EQ(map.Entries().size(), 3u);
    EXPECT_EQ(map.Entries()[0].Line, 3);

    TPortResolution r = map.Resolve("com1");
    EXPECT_TRUE(r.Ok);
    EXPECT_EQ(r.Device, "/dev/ttyUSB0");
    EXPECT_TRUE(r.NoCts);
    r = map.Resolve("Com3");
    EXPECT_EQ(r.Device, "/dev/ttyACM0");
    EXPECT_FALSE(r.NoCts);
    EXPECT_TRUE(map.Resolve("SIM").NoCts);
    // A port the map leaves out keeps its default.
    EXPECT_EQ(map.Resolve("Com2").Device, "/dev/ttyS1");
}

TEST(PortMap, MalformedLinesAreNamed) {
    const struct {
        const char* text;
        const char* want; // part of the message
    } cases[] = {
        {"Com1\n", "ports.map line 1: port \"Com1\" has no device"},
        {"# ok\nCom1 ttyUSB0\n", "ports.map line 2: device \"ttyUSB0\" is not an absolute path"},
        {"Com1 /dev/ttyUSB0 rtscts\n", "line 1: unknown option \"rtscts\""},
        {"Com1 /dev/ttyUSB0 nocts 9600\n", "line 1: unexpected text \"9600\""},
        {"Com1 /dev/ttyUSB0\n\ncom1 /dev/ttyUSB1\n",
         "line 3: port \"com1\" is already mapped on line 1"},
    };
    for (const auto& c : cases) {
        const TPortMap map = TPortMap::Parse(c.text);
        EXPECT_FALSE(map.Valid()) << c.text;
        EXPECT_NE(map.Error().find(c.want), std::string::npos) << map.Error();
        EXPECT_TRUE(map.Entries().empty());
        // A broken map resolves nothing, not even the defaults.
        const TPortResolution r = map.Resolve("Com2");
        EXPECT_FALSE(r.Ok);
        EXPECT_EQ(r.Error, map.Error());
    }
}

TEST(PortMap, LoadFromFile) {
    char name[] = "/tmp/orvan-ports-XXXXXX";
    const int fd = ::mkstemp(name);
    ASSERT_GE(fd, 0);
    ::close(fd);
    std::ofstream(name) << "Com4 /dev/ttyUSB3 nocts\n";
    TPortResolution r = ResolvePort("com4", name);
    EXPECT_TRUE(r.Ok);
    EXPECT_EQ(r.Device, "/dev/ttyUSB3");
    EXPECT_TRUE(r.NoCts);

    std::ofstream(name) << "Com4\n";
    r = ResolvePort("Com1", name);
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Error.rfind(std::string(name) + " line 1:", 0), 0u) << r.Error;
    std::remove(name);

    // No file: the defaults.
    r = ResolvePort("Com5", name);
    EXPECT_TRUE(r.Ok);
    EXPECT_EQ(r.Device, "/dev/ttyS4");
}

TEST(PortMap, OpenFailureHints) {
    EXPECT_EQ(OpenFailureHint(ENOENT), "no such device");
    EXPECT_EQ(OpenFailureHint(EACCES), "permission denied: add your user to the dialout group "
                                       "(sudo usermod -aG dialout $USER) and log in again");
    EXPECT_EQ(OpenFailureHint(EBUSY), "in use by another program");
    EXPECT_EQ(OpenFailureHint(0), "");
    EXPECT_FALSE(OpenFailureHint(EMFILE).empty());
}

} // namespace
} // namespace orvan
