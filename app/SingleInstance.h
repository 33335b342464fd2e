// Single-instance guard: an exclusive flock on a per-user lock file, held
// for the life of the process (the kernel drops it when the process ends,
// however it ends, so a crash never leaves a stale lock behind).
#pragma once

#include <string>

class TInstanceLock {
  public:
    TInstanceLock() = default;
    ~TInstanceLock();
    TInstanceLock(const TInstanceLock&) = delete;
    TInstanceLock& operator=(const TInstanceLock&) = delete;

    // True when this process now holds the lock at `path`; false when another
    // process holds it or the file cannot be opened.
    bool Acquire(const std::string& path);
    bool Held() const { return Fd >= 0; }
    void Release();

  private:
    int Fd = -1;
};

// One instance per user and display: $XDG_RUNTIME_DIR/orvan-writer<D>.lock,
// or /tmp/orvan-writer-<uid>/orvan-writer<D>.lock (a private directory made
// on demand) when that is unset or unusable; empty when neither can be
// used. <D> names the display ($DISPLAY, else $WAYLAND_DISPLAY): "-:0" for
// ":0", nothing without one.
std::string DefaultLockPath();
