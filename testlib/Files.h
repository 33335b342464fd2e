// Whole files in and out, and Intel HEX records built by hand, for tests that
// write their inputs and read back what a program wrote.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvan::test {

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);
std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

inline std::vector<uint8_t> Bytes(const std::string& s) {
    return {s.begin(), s.end()};
}
inline std::string Str(const std::vector<uint8_t>& b) {
    return {b.begin(), b.end()};
}

// The lines of `text`, without their newlines.
std::vector<std::string> Lines(const std::string& text);

// One record ":LLAAAATT..CC" with a correct checksum (add `bias` to break it).
std::string Record(unsigned address, unsigned type, const std::vector<uint8_t>& data, int bias = 0);

// True when the outside program `name` (an oracle such as gpasm) is installed.
bool HaveTool(const char* name);

} // namespace orvan::test
