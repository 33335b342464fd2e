// Loading data files into the program-memory buffer: the record reader
// HexToObj, the word-pair conversion, and a data file's bytes as a program
// image. File Open itself is a command of the session (session/FileCommands.h).
#pragma once

#include "buffer/BufferBlock.h"
#include "buffer/FileNames.h"
#include "device/Catalogue.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace orvan {

struct THexResult {
    int Highest = 0;   // highest byte address a data record named, at most 32766
    int ErrorLine = 0; // last record (counted from 1) that failed, 0 when none
};

// Reads hexadecimal records into `image` (first filled with FFh). Every
// record with a non-zero length is data at its address, whatever its type;
// a zero-length record ends the file. A record whose checksum does not
// match is stored all the same; a record cut short or holding non-hex
// characters is not stored. Both count as a failing line.
THexResult HexToObj(std::span<const uint8_t> text, std::span<uint8_t> image);

// Byte image (little-endian words) to word pairs, in place, for every word
// of `image`: FFFFh becomes 3FFFh.
void ImageToWordPairs(std::span<uint8_t> image);

// "File data error at line N !"
std::string RecordErrorText(int line);

inline constexpr const char* FileMissingText = "File don't exist!";
inline constexpr const char* FileCantOpenText = "File can't open!";
// Follows "File can't open!" for a file over MaxFileBytes.
inline constexpr const char* TooLargeSuffix = " It is larger than 16 MiB.";
inline constexpr const char* SizeUnmatchText = "File size unmatch!";
inline constexpr const char* TypeIncorrectText = "File type incorrect!";

struct TFileOptions {
    // Keeps the record error message from showing (the start-up load).
    bool SuppressRecordError = false;
    // The format warnings show only while the program-memory window is open.
    bool ShowFormatWarnings = false;
};

// What a file command did, and what the window still has to do.
struct TFileResult {
    bool Ok = false;
    std::vector<std::string> Messages; // plain message boxes, in order
    bool RecordError = false;          // a record failed, shown or not
    bool ResetWindows = false;         // the data was reset: child windows and controls too
    bool RecreateMemoryWindow = false;
    bool RecreateIDWindow = false;
    bool CloseDisasm = false;

    void Merge(const TFileResult& other);
};

// Reads a data file's contents into a new program image in word pairs:
// records ("HEX", "OHX") or raw bytes that must be exactly the device's
// size, then translated from PIC code ("OBJ", "HEX"). False with
// "File size unmatch!" when a raw file has the wrong size.
bool BuildProgramImage(const TDeviceState& device, std::span<const uint8_t> bytes,
                       const std::string& type, const TFileOptions& options, TFileResult& result,
                       std::vector<uint8_t>& image);
} // namespace orvan
