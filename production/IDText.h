// The ID bytes as the ID window shows them and as the ID edit dialog
// stores them.
#pragma once

#include "buffer/BufferBlock.h"

#include <string>

namespace orvan {

// HEX mode: bytes 0-11 as two upper-case digits each, single blanks between.
std::string IDHexText(const TBufferBlock& b);
// ASCII mode: bytes 0-11 up to the first zero byte; a byte that is no
// printable character (a blank 7Fh among them) shows as ".".
std::string IDAsciiText(const TBufferBlock& b);
// The same for the edit field, without the trailing blank bytes a stored
// entry is padded with, so that accepting it unchanged changes nothing.
std::string IDAsciiEditText(const TBufferBlock& b);
// "IC Checksum:": bytes 12-15 as characters, below 20h as a blank.
std::string IDChecksumText(const TBufferBlock& b);
// Bytes 16-31 as hex, single blanks between.
std::string IDInfoText(const TBufferBlock& b);

// ASCII entry: its characters (at most 12), the rest 7Fh.
void StoreASCIIID(TBufferBlock& b, const std::string& text);
// HEX entry "HH HH ...": digit pairs at positions 3i and 3i+1; anything
// not 0-9/A-F (or missing) counts as F; the top bit is cleared.
void StoreHexID(TBufferBlock& b, const std::string& text);

} // namespace orvan
