// Saving program memory as a BIN file: the device's words as little-endian
// 16-bit values, no header, no trailer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvan {

struct TBufferBlock;
struct TDeviceState;

inline constexpr const char* SorryCantBeSavedText = "Sorry, file can't be saved!";

// Word pairs back to the byte image, for all 32766 bytes: low byte = word
// bits 0-7, high byte = word bits 8-13.
std::vector<uint8_t> ProgramImage(const TBufferBlock& buffers);

// The first ICMemBytes bytes of that image for `device`.
std::vector<uint8_t> BinFileBytes(const TBufferBlock& buffers, const TDeviceState& device);

// Writes the BIN file safely; false when it could not be written.
bool SaveBin(const TBufferBlock& buffers, const TDeviceState& device, const std::string& path);

} // namespace orvan
