// Edit rules on the buffer block: Fill Buffer, the single-value entry and
// the reset-address check.
#pragma once

#include "buffer/BufferBlock.h"
#include "device/Catalogue.h"

#include <optional>
#include <string>
#include <string_view>

namespace orvan {

// Checks the Fill Buffer entries and fills words start..end with data.
// Returns the error text to show (caption "Error"), or nullopt when the
// fill was done.
std::optional<std::string> FillBuffer(const TDeviceState& device, TBufferBlock& buffers,
                                      std::string_view start, std::string_view end,
                                      std::string_view data);

// The single-value dialog's OK: the value below 4000h, or nullopt when the
// entry is too large (the dialog then shows "Invalid Value,too large!").
std::optional<unsigned> ParseSingleValue(std::string_view entry);

inline constexpr const char* TooLargeText = "Invalid Value,too large!";

// The reset-address test: the question text when the reset word is blank,
// else nullopt. Reset lies at word 0 when bit 5 of ICCodeHi is set, else at
// the last program word.
std::optional<std::string> ResetAddrQuestion(const TDeviceState& device,
                                             const TBufferBlock& buffers);

} // namespace orvan
