// A workspace ready for production on the simulated writer: a program with
// four RTIW words at 0010h, a valid OPTION word, and the chip's image.
#pragma once

#include "testlib/OpsBench.h"

#include <string>

namespace orvan::test {

inline constexpr int SerialWordsAt = 0x10;

// Fills the bench's workspace with a small program and OPTION word.
void PrepareProgram(TOpsBench& b);
// Serial mode on: n bytes at SerialWordsAt, the number given MSB first.
void SerialOn(TWorkspace& ws, int n, const std::string& hexNumber, int random = 0);
// The serial number the chip carries, read from its RTIW words (MSB first).
std::string ChipSerial(const sim::TSimChip& chip, int n);
// The four checksum characters in the chip's ID words 6 and 7.
std::string ChipChecksum(const sim::TSimChip& chip);

} // namespace orvan::test
