// SHA-256 of data files and QTP files: the records name an image by its
// digest, so a file renamed or copied to another station is still known.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvan {

class TSha256 {
  public:
    TSha256();
    void Add(const void* data, size_t size);
    void Add(std::string_view text) { Add(text.data(), text.size()); }
    // The digest as 64 lower-case hex digits; the object is spent after it.
    std::string HexDigest();

  private:
    void Block(const uint8_t* p);
    std::array<uint32_t, 8> H;
    std::array<uint8_t, 64> Buf{};
    size_t Used = 0;
    uint64_t Length = 0;
};

std::string Sha256Hex(std::string_view data);
// The digest of a file's bytes, or nullopt when it cannot be read.
std::optional<std::string> Sha256OfFile(const std::string& path);

} // namespace orvan
