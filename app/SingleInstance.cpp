#include "app/SingleInstance.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The lock file's name for this user's display.
std::string LockName() {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) display = std::getenv("WAYLAND_DISPLAY");
    std::string name = "/orvan-writer";
    if (display && *display) {
        name += '-';
        for (const char* c = display; *c; ++c)
            name += (*c == '/' || static_cast<unsigned char>(*c) < 0x20) ? '_' : *c;
    }
    return name + ".lock";
}

bool UsableDir(const std::string& dir) {
    struct stat st {};
    return !dir.empty() && stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           access(dir.c_str(), W_OK) == 0;
}

// A directory only we own, so another user cannot hold our lock file.
bool PrivateDir(const std::string& dir) {
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st {};
    return lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid() &&
           (st.st_mode & 077) == 0;
}

} // namespace

TInstanceLock::~TInstanceLock() {
    Release();
}

bool TInstanceLock::Acquire(const std::string& path) {
    Release();
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return false;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    Fd = fd;
    return true;
}

void TInstanceLock::Release() {
    if (Fd < 0) return;
    close(Fd); // closing the last descriptor drops the flock
    Fd = -1;
}

std::string DefaultLockPath() {
    if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && UsableDir(run))
        return std::string(run) + LockName();
    const std::string dir = "/tmp/orvan-writer-" + std::to_string(getuid());
    if (PrivateDir(dir)) return dir + LockName();
    return {}; // Acquire then fails and the start is refused
}
