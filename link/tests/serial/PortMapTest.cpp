// ports.map: parsing, defaults and the explanations of open failures.
#include "link/PortMap.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
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
                                         "cOm5 /dev/pts/4 NOCTS");
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
    EXPECT_TRUE(map.Resolve("COM5").NoCts);
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
        // Only the names the port selector offers can ever be looked up.
        {"Com1 /dev/ttyUSB0\nsim /dev/pts/4\n",
         "line 2: port name \"sim\" is not one of Com1 .. Com8"},
        {"Com9 /dev/ttyUSB0\n", "line 1: port name \"Com9\""},
        {"Com0 /dev/ttyUSB0\n", "line 1: port name \"Com0\""},
        {"Com10 /dev/ttyUSB0\n", "line 1: port name \"Com10\""},
        {"/dev/ttyUSB0 Com1\n", "line 1: port name \"/dev/ttyUSB0\""},
        {"COM 1 /dev/ttyUSB0\n", "line 1: port name \"COM\""},
        // A second byte-order mark, or one not at the start, is text.
        {"\xEF\xBB\xBF\xEF\xBB\xBF"
         "Com1 /dev/ttyS0\n",
         "line 1: port name"},
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

TEST(PortMap, AByteOrderMarkIsSkipped) {
    const TPortMap map = TPortMap::Parse("\xEF\xBB\xBF"
                                         "Com2 /dev/ttyUSB1 nocts\r\n"
                                         "Com3 /dev/ttyUSB2\r\n");
    ASSERT_TRUE(map.Valid()) << map.Error();
    EXPECT_EQ(map.Resolve("com2").Device, "/dev/ttyUSB1");
    EXPECT_EQ(map.Resolve("com3").Device, "/dev/ttyUSB2");
    EXPECT_EQ(map.Entries()[0].Name, "Com2");
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
    EXPECT_EQ(OpenFailureHint(EACCES), "permission denied");
    EXPECT_EQ(OpenFailureHint(EBUSY), "in use by another program");
    EXPECT_EQ(OpenFailureHint(0), "");
    EXPECT_FALSE(OpenFailureHint(EMFILE).empty());
}

// The permission hint reads the device's owner, group and mode instead of
// guessing a group; a scratch file stands in for the device.
TEST(PortMap, PermissionHintNamesOwnerGroupAndMode) {
    char name[] = "/tmp/orvan-perm-XXXXXX";
    const int fd = ::mkstemp(name);
    ASSERT_GE(fd, 0);
    ::close(fd);
    const std::string path = name;
    const passwd* pw = ::getpwuid(::getuid());
    const group* gr = ::getgrgid(::getgid());
    ASSERT_TRUE(pw && gr);
    const std::string owner = std::string(pw->pw_name) + ":" + gr->gr_name;

    ASSERT_EQ(::chmod(name, 0660), 0);
    std::string hint = OpenFailureHint(EACCES, path);
    EXPECT_EQ(hint.rfind("permission denied: " + path + " is -rw-rw---- " + owner + "; ", 0), 0u)
        << hint;
    // Our own group: membership is not the problem, the session is.
    EXPECT_NE(hint.find("you are in group " + std::string(gr->gr_name)), std::string::npos) << hint;

    ASSERT_EQ(::chmod(name, 0600), 0);
    hint = OpenFailureHint(EACCES, path);
    EXPECT_NE(hint.find("-rw------- " + owner + "; only its owner may open it"), std::string::npos)
        << hint;
    EXPECT_EQ(hint.find("dialout"), std::string::npos) << hint;
    std::remove(name);

    EXPECT_EQ(OpenFailureHint(EACCES, "/nonexistent/tty"), "permission denied");
    EXPECT_EQ(ModeText(S_IFCHR | 0620), "crw--w----");
}

} // namespace
} // namespace orvan
