// Hexadecimal text to integer, as every hexadecimal entry field and record
// reader converts it.
#pragma once

#include <cstdint>
#include <string_view>

namespace orvan {

// Upper-cases and converts; any non-hex character gives 0 with `valid`
// cleared. The empty text converts to 0 and is valid. Values that overflow
// wrap as 32-bit arithmetic would.
int32_t HexToInt(std::string_view text, bool& valid);
int32_t HexToInt(std::string_view text);

// True for 0-9, A-F, a-f and backspace: the key filter of the hex entries.
bool IsHexKey(char c);

} // namespace orvan
