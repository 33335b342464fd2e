// Helpers for the file tests: a scratch folder, whole-file I/O, Intel HEX
// records built by hand.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

namespace orvan::test {

class TTempDir {
  public:
    TTempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "orvan-files-XXXXXX").string();
        Path = ::mkdtemp(tmpl.data()) ? tmpl : std::string();
    }
    ~TTempDir() {
        std::error_code ec;
        std::filesystem::remove_all(Path, ec);
    }
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    std::string operator/(const std::string& name) const { return Path + "/" + name; }
    std::string Path;
};

inline std::vector<uint8_t> Bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

inline std::string Str(const std::vector<uint8_t>& b) {
    return {b.begin(), b.end()};
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline void WriteText(const std::string& path, const std::string& text) {
    WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// One record ":LLAAAATT..CC" with a correct checksum (add `bias` to break it).
inline std::string Record(unsigned address, unsigned type, const std::vector<uint8_t>& data,
                          int bias = 0) {
    char buf[16];
    std::string r = ":";
    unsigned sum = static_cast<unsigned>(data.size()) + (address >> 8) + (address & 0xFF) + type;
    std::snprintf(buf, sizeof buf, "%02X%04X%02X", static_cast<unsigned>(data.size()), address,
                  type);
    r += buf;
    for (uint8_t b : data) {
        std::snprintf(buf, sizeof buf, "%02X", b);
        r += buf;
        sum += b;
    }
    std::snprintf(buf, sizeof buf, "%02X",
                  (256u - (sum & 0xFF) + static_cast<unsigned>(bias)) & 0xFF);
    return r + buf;
}

inline bool HaveTool(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

} // namespace orvan::test
