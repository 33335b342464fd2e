// A pseudo-terminal for the serial tests: the test holds the master side, the
// component opens the slave. On Linux the master's termios calls act on the
// slave, so the tests read the line settings there.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace orvan::test {

class PtyPair {
  public:
    PtyPair() {
        Master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (Master < 0 || ::grantpt(Master) != 0 || ::unlockpt(Master) != 0) return;
        char name[128];
        if (::ptsname_r(Master, name, sizeof name) == 0) Slave = name;
    }
    ~PtyPair() { CloseMaster(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool Ok() const { return Master >= 0 && !Slave.empty(); }
    void CloseMaster() {
        if (Master >= 0) ::close(Master);
        Master = -1;
    }

    termios Line() const {
        termios t{};
        EXPECT_EQ(::tcgetattr(Master, &t), 0);
        return t;
    }
    void SetLine(const termios& t) const { ASSERT_EQ(::tcsetattr(Master, TCSANOW, &t), 0); }

    void Send(const std::string& bytes) const {
        ASSERT_EQ(::write(Master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Reads what the component wrote, waiting up to `ms` for `want` bytes.
    std::string Receive(size_t want, int ms = 1000) const;

    int Master = -1;
    std::string Slave;
};

inline std::string PtyPair::Receive(size_t want, int ms) const {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    const int flags = ::fcntl(Master, F_GETFL);
    ::fcntl(Master, F_SETFL, flags | O_NONBLOCK);
    while (got.size() < want && std::chrono::steady_clock::now() < deadline) {
        char buf[256];
        const ssize_t n = ::read(Master, buf, sizeof buf);
        if (n > 0)
            got.append(buf, static_cast<size_t>(n));
        else
            ::usleep(1000);
    }
    ::fcntl(Master, F_SETFL, flags);
    return got;
}

inline double MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

} // namespace orvan::test
