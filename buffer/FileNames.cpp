#include "buffer/FileNames.h"

#include <cctype>
#include <cerrno>
#include <filesystem>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvan {

std::size_t FirstDotOfName(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    return path.find('.', nameStart);
}

std::string NameBeforeFirstDot(std::string_view path) {
    const std::size_t dot = FirstDotOfName(path);
    if (dot == std::string_view::npos) return {};
    return std::string(path.substr(0, dot));
}

std::string TypeAfterFirstDot(std::string_view path) {
    const std::size_t dot = FirstDotOfName(path);
    if (dot == std::string_view::npos) return {};
    std::string type(path.substr(dot + 1));
    for (char& c : type)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return type;
}

std::string CompanionCfgName(std::string_view dataPath) {
    return NameBeforeFirstDot(dataPath) + ".cfg";
}

namespace {

class TFd {
  public:
    explicit TFd(int fd) : Fd(fd) {}
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    ~TFd() {
        if (Fd >= 0) ::close(Fd);
    }
    int Get() const { return Fd; }
    int Release() {
        const int fd = Fd;
        Fd = -1;
        return fd;
    }

  private:
    int Fd;
};

bool WriteAll(int fd, const uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

TReadStatus ReadFileBytes(const std::string& path, std::size_t limit, bool refuseLonger,
                          std::vector<uint8_t>& out) {
    out.clear();
    // Non-blocking open so a FIFO or device node named by mistake cannot hang us.
    TFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.Get() < 0) return errno == ENOENT ? TReadStatus::Missing : TReadStatus::CantOpen;
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return TReadStatus::CantOpen;
    const auto size = static_cast<std::size_t>(st.st_size);
    if (refuseLonger && size > limit) return TReadStatus::TooLarge;
    const std::size_t want = size < limit ? size : limit;
    out.resize(want);
    std::size_t got = 0;
    while (got < want) {
        const ssize_t n = ::read(fd.Get(), out.data() + got, want - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            out.clear();
            return TReadStatus::CantOpen;
        }
        if (n == 0) break; // file shrank meanwhile
        got += static_cast<std::size_t>(n);
    }
    out.resize(got);
    return TReadStatus::Ok;
}

bool WriteFileAtomic(const std::string& path, const std::vector<uint8_t>& bytes) {
    namespace fs = std::filesystem;
    const fs::path target(path);
    if (target.filename().empty()) return false;
    // An existing file keeps its permissions; a new one gets the usual 0666 & ~umask.
    mode_t mode = 0666;
    struct stat old {};
    bool keepMode = false;
    if (::stat(path.c_str(), &old) == 0) {
        if (!S_ISREG(old.st_mode)) return false;
        mode = old.st_mode & 07777;
        keepMode = true;
    }
    std::random_device rd;
    std::string tmp;
    int raw = -1;
    for (int attempt = 0; attempt < 16 && raw < 0; ++attempt) {
        tmp = path + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(rd() % 1000000u);
        raw = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (raw < 0 && errno != EEXIST) return false;
    }
    if (raw < 0) return false;
    TFd fd(raw);
    bool ok = WriteAll(fd.Get(), bytes.data(), bytes.size());
    if (ok && keepMode) ok = ::fchmod(fd.Get(), mode) == 0;
    if (ok) ok = ::fsync(fd.Get()) == 0;
    ok = (::close(fd.Release()) == 0) && ok;
    if (ok) ok = ::rename(tmp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(tmp.c_str());
        return false;
    }
    // Make the rename itself durable.
    const fs::path dir = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    TFd dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dirFd.Get() >= 0) ::fsync(dirFd.Get());
    return true;
}

namespace {

class TRealFiles final : public TFileAccess {
  public:
    bool Exists(const std::string& path) const override {
        std::error_code ec;
        return !path.empty() && std::filesystem::exists(path, ec);
    }
    TReadStatus Read(const std::string& path, std::size_t limit, bool refuseLonger,
                     std::vector<uint8_t>& out) const override {
        return ReadFileBytes(path, limit, refuseLonger, out);
    }
};

} // namespace

const TFileAccess& RealFiles() {
    static const TRealFiles files;
    return files;
}

} // namespace orvan
