// Port names ("Com1".."Com8") to serial devices. A text file `ports.map` in
// the working directory maps a name to a device, one port per line:
//
//     # the writer on a USB adapter with a 3-wire cable
//     Com1 /dev/ttyUSB0 nocts
//
// `nocts` marks a line without a CTS wire: CTS then reads as set while the
// port is open. Port names are "Com1".."Com8" in any case, as the port
// selector offers them. A UTF-8 byte-order mark at the start is skipped.
// Without the file, "Com1".."Com8" are /dev/ttyS0../dev/ttyS7; with it, a
// port it does not name has no device.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvan {

inline constexpr const char* PortMapFileName = "ports.map";

struct TPortEntry {
    std::string Name;   // as written in the file
    std::string Device; // absolute path
    bool NoCts = false;
    int Line = 0; // 1-based line of the file
};

// Where a port name leads, or why it leads nowhere.
struct TPortResolution {
    bool Ok = false;
    std::string Device;
    bool NoCts = false;
    std::string Error; // set when !Ok; ready to show to the operator
};

class TPortMap {
  public:
    // Parses the text of a map. On a malformed line the result holds no
    // entries and Error() names the line and what is wrong with it.
    // `source` names the file in messages.
    static TPortMap Parse(std::string_view text, const std::string& source = PortMapFileName);
    // Reads `path`; a missing file is an empty, valid map.
    static TPortMap Load(const std::string& path = PortMapFileName);

    bool Valid() const { return ErrorText.empty(); }
    const std::string& Error() const { return ErrorText; }
    const std::vector<TPortEntry>& Entries() const { return List; }

    // The entry for `name` (case-insensitive), if the map has one.
    std::optional<TPortEntry> Find(std::string_view name) const;
    // The device for `name`: the map's entry, else the built-in default,
    // else an absolute path given as the name itself. An invalid map
    // resolves nothing.
    TPortResolution Resolve(std::string_view name) const;

  private:
    std::vector<TPortEntry> List;
    std::string ErrorText;
    // The file the map came from; empty for a map that has no file. A port
    // missing from a file falls back to no default: the file was meant to
    // name it, and a default could be a stranger's line.
    std::string Source;
};

// "/dev/ttyS0".."/dev/ttyS7" for "Com1".."Com8" (any case); empty otherwise.
std::string DefaultPortDevice(std::string_view name);

// Loads the map at `mapPath` and resolves `name` in it.
TPortResolution ResolvePort(std::string_view name, const std::string& mapPath = PortMapFileName);

// A short explanation of an open failure (errno) for the operator:
// ENOENT "no such device", EBUSY "in use by another program", others
// strerror. For EACCES with the `device` named, the hint gives the device's
// owner, group and mode and what would let this user open it.
std::string OpenFailureHint(int error, const std::string& device = {});

// "crw-rw----" for a stat mode.
std::string ModeText(unsigned mode);
// An owner's and a group's names (the number when the user database has
// none), and whether this login session carries the group.
std::string UserName(unsigned uid);
std::string GroupName(unsigned gid);
bool SessionHasGroup(unsigned gid);

} // namespace orvan
