#include "link/PortHolders.h"

#include <algorithm>
#include <cctype>
#include <dirent.h>
#include <fstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace orvan {
namespace {

bool AllDigits(const char* s) {
    if (!*s) return false;
    for (; *s; ++s)
        if (!std::isdigit(static_cast<unsigned char>(*s))) return false;
    return true;
}

std::string ProcessName(const std::string& pid) {
    std::ifstream in("/proc/" + pid + "/comm");
    std::string name;
    std::getline(in, name);
    return name.empty() ? "?" : name;
}

// Whether any descriptor of process `pid` is the file (dev, ino).
bool Holds(const std::string& pid, dev_t dev, ino_t ino) {
    const std::string dir = "/proc/" + pid + "/fd";
    DIR* d = ::opendir(dir.c_str());
    if (!d) return false; // gone, or not ours to read
    bool found = false;
    while (const dirent* e = ::readdir(d)) {
        if (!AllDigits(e->d_name)) continue;
        struct stat st {};
        if (::stat((dir + "/" + e->d_name).c_str(), &st) == 0 && st.st_dev == dev &&
            st.st_ino == ino) {
            found = true;
            break;
        }
    }
    ::closedir(d);
    return found;
}

// Whether a descriptor of process `pid` is a pseudo-terminal master whose
// slave is number `index`.
bool HoldsMaster(const std::string& pid, const std::string& index) {
    const std::string dir = "/proc/" + pid + "/fdinfo";
    DIR* d = ::opendir(dir.c_str());
    if (!d) return false;
    bool found = false;
    while (const dirent* e = ::readdir(d)) {
        if (!AllDigits(e->d_name)) continue;
        std::ifstream in(dir + "/" + e->d_name);
        for (std::string line; std::getline(in, line);)
            if (line.rfind("tty-index:", 0) == 0) {
                const size_t at = line.find_first_not_of(" \t", 10);
                found = at != std::string::npos && line.substr(at) == index;
                break;
            }
        if (found) break;
    }
    ::closedir(d);
    return found;
}

} // namespace

std::vector<TPortHolder> FindPtyMasterHolders(const std::string& slavePath) {
    std::vector<TPortHolder> holders;
    const std::string prefix = "/dev/pts/";
    if (slavePath.rfind(prefix, 0) != 0 || !AllDigits(slavePath.c_str() + prefix.size()))
        return holders;
    const std::string index = slavePath.substr(prefix.size());
    DIR* proc = ::opendir("/proc");
    if (!proc) return holders;
    while (const dirent* e = ::readdir(proc)) {
        if (!AllDigits(e->d_name)) continue;
        if (HoldsMaster(e->d_name, index))
            holders.push_back({std::atoi(e->d_name), ProcessName(e->d_name)});
    }
    ::closedir(proc);
    std::sort(holders.begin(), holders.end(),
              [](const TPortHolder& a, const TPortHolder& b) { return a.Pid < b.Pid; });
    return holders;
}

std::vector<TPortHolder> FindHolders(const std::string& path, int exceptPid) {
    std::vector<TPortHolder> holders;
    struct stat target {};
    if (::stat(path.c_str(), &target) != 0) return holders;
    DIR* proc = ::opendir("/proc");
    if (!proc) return holders;
    while (const dirent* e = ::readdir(proc)) {
        if (!AllDigits(e->d_name)) continue;
        const int pid = std::atoi(e->d_name);
        if (pid == exceptPid) continue;
        if (Holds(e->d_name, target.st_dev, target.st_ino))
            holders.push_back({pid, ProcessName(e->d_name)});
    }
    ::closedir(proc);
    std::sort(holders.begin(), holders.end(),
              [](const TPortHolder& a, const TPortHolder& b) { return a.Pid < b.Pid; });
    return holders;
}

std::string HoldersText(const std::vector<TPortHolder>& holders) {
    std::string text = "in use by ";
    for (size_t i = 0; i < holders.size(); ++i) {
        if (i) text += ", ";
        text += holders[i].Name + " (pid " + std::to_string(holders[i].Pid) + ")";
    }
    return text;
}

bool IsPseudoTerminal(dev_t rdev) {
    const unsigned m = major(rdev);
    // 136..143: Unix 98 slaves; 3: legacy BSD slaves.
    return (m >= 136 && m <= 143) || m == 3;
}

} // namespace orvan
