// The steps chip operations are made of: each runs its exchanges with the
// writer over the worker's own buffers and returns what it came to, and the
// dialog wording of its outcomes stands beside it. The single operations and
// auto program call the same steps and put the wording on their own lines.
#pragma once

#include "ops/Operation.h"

#include <functional>
#include <string>

namespace orvan {

// What reading an area back came to: the read's result and, when it read,
// the first byte that differs from what the area should hold (-1: none).
struct TReadBack {
    WriterResult Read = WriterResult::Done;
    int At = -1;
    bool Same() const { return Read == WriterResult::Done && At < 0; }
};

// The line for a write that failed: `cellText` when a cell would not take
// its byte, else the result's standard line.
std::string WriteFailureLine(WriterResult r, const std::string& cellText);

// --- Erase (flash models) --------------------------------------------------

inline constexpr const char* EraseStartText = "Erase flash memory...";
inline constexpr const char* EraseEndText = "Erase End";

// Done when the writer erased the chip.
WriterResult EraseChip(TOperationContext& ctx, TWriterProtocol& p);

// --- Blank check, one area at a time ---------------------------------------

inline constexpr const char* OptionNotBlankText = "OPTION ....... Not Blank!!";
inline constexpr const char* IDNotBlankText = "ID Checksum ....... Not Blank!!";

// The OPTION word in its implemented bits.
TReadBack BlankCheckOption(TOperationContext& ctx, TWriterProtocol& p);
// The ID words and the stored checksum; the rest of the area is read but
// not looked at.
TReadBack BlankCheckID(TOperationContext& ctx, TWriterProtocol& p);
// The first `n` bytes of the program memory.
TReadBack BlankCheckProgram(TOperationContext& ctx, TWriterProtocol& p, int n);
// "Error at AAAAh = ..." for the byte `at` a blank check of the program
// memory found (the transfer buffer still holds the area).
std::string NotBlankAtText(const TBufferBlock& b, int at);

// --- OPTION ----------------------------------------------------------------

inline constexpr const char* OptionOkText = "OPTION program && verify OK!!";
inline constexpr const char* OptionProgramFailText = "OPTION program fail !!";
inline constexpr const char* OptionVerifyFailText = "OPTION verify Fail!!";

// The word `lo`/`hi` and the two bytes `read` agree in the device's
// implemented OPTION bits.
bool OptionMatches(const TDeviceState& dev, uint8_t lo, uint8_t hi, const uint8_t* read);
// Reads the OPTION word and compares it with `lo`/`hi` (At 0 when it
// differs); the transfer buffer keeps what was read.
TReadBack CompareOption(TOperationContext& ctx, TWriterProtocol& p, uint8_t lo, uint8_t hi);
// The buffer's OPTION word into the chip: BlockDone when the writer took
// it, WriteFail when a cell would not.
WriterResult ProgramOptionWord(TOperationContext& ctx, TWriterProtocol& p);

// --- Program memory --------------------------------------------------------

inline constexpr const char* ProgramBlankText = "Data memory are blank or error!";
inline constexpr const char* DataVerifyOkText = "Data verify OK!!";
inline constexpr const char* DataVerifyFailText = "Data verify Fail!!";

// Bytes between two updates of the address a stream has reached: every 16
// words, or more in a block that would otherwise update the dialog more
// than about 100 times (each update wakes the window's thread).
int AddressStep(int n);

// True when every one of the first `n` bytes has its low five bits set: such
// an image is refused before the writer is contacted.
bool ProgramImageBlank(const uint8_t* program, int n);

enum class TStreamEnd : uint8_t {
    BlockEnd,     // the writer ended the block (B0)
    AllSent,      // it took every byte offered without ending it
    WriteFail,    // a cell would not take its byte (B1)
    NoChip,       // FE
    AdapterError, // FD
    UnknownReply, // any other reply
    TimedOut,     // a wait ran out, or a stop request cut it short
    Stopped,      // the stop request was seen between two bytes
};

struct TStream {
    TStreamEnd End = TStreamEnd::AllSent;
    int At = 0; // the byte the writer's last reply answered
};

// After the programming header: `image` byte by byte (ProgramBytes of it),
// each one paced by CTS and answered by the writer, each wait given `ticks`
// ticks, until the writer ends the block (at most n + 6 bytes).
// `progress(k, answered)`: byte k went out (false), the writer took it
// (true). The line stays open unless the writer ended the block.
TStream StreamProgram(TOperationContext& ctx, const uint8_t* image, int n, int ticks,
                      const std::function<void(int k, bool answered)>& progress);
// The stream's failure on `control`, red, in the dialog's words: `cellText`
// for a cell that would not program; a dialog that does not name the
// adapter takes its reply for an unknown one.
void FailStream(TOperationContext& ctx, const std::string& control, TStreamEnd end,
                const std::string& cellText, bool namesAdapter);

// Reads the first `n` bytes of the program memory back and compares them
// with `image` in the bits of `mask`.
TReadBack ReadBackProgram(TOperationContext& ctx, TWriterProtocol& p, const uint8_t* image, int n,
                          uint8_t mask = 0xFF);
// "Data Verify error at AAAAH" for the byte `at`.
std::string DataVerifyErrorText(int at);
// The chip's and the image's word around byte `at` (the transfer buffer
// holds the chip's); in protect mode the image word with the bits a
// protected chip reads as set.
std::string WordDifferenceText(const TBufferBlock& b, const uint8_t* image, int at, bool protect);

// --- ID and checksum -------------------------------------------------------

inline constexpr const char* ChecksumProgramFailText = "Checksum program fail !!";

// The ID words and the first four characters of the checksum display into
// the chip, so the chip gets the checksum of the program it holds.
// `dataStarts` is called once the writer took the header. BlockDone when
// written; WriteFail: the protocol's FailIndex says where.
WriterResult ProgramIDWords(TOperationContext& ctx, TWriterProtocol& p,
                            const std::function<void()>& dataStarts = {});
// A cell of the ID area that would not program: the checksum's, or
// `idText` + " at address AAAA !!".
std::string IDCellFailText(int failIndex, const std::string& idText);

struct TIDCheck {
    WriterResult Read = WriterResult::Done;
    unsigned Flags = 0; // bit 0: the ID differs; bit 1: the checksum differs
};
// Reads the ID area back and compares it with IDBuffer and the checksum
// display.
TIDCheck VerifyIDWords(TOperationContext& ctx, TWriterProtocol& p);
// "ID && Checksum verify OK!!" for 0, else the failure text.
std::string IDVerifyText(unsigned flags);

} // namespace orvan
