// QTP files: prepared serial numbers, one hexadecimal record per chip,
// ended by ":00000001FF".
//
// Data record: ":" LL AAAA "00" then n groups "BB31" (serial byte, RTIW
// opcode), CC, CR LF; LL = 2n, AAAA the first RTIW word, CC the two's
// complement of the byte sum (only the low byte of AAAA enters it).
#pragma once

#include "production/SerialSettings.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace orvan {

inline constexpr const char* QTPEndRecord = ":00000001FF";
inline constexpr const char* QTPInformationErrorText = "File Information Error!";
inline constexpr const char* QTPDataErrorText = "File data error!";
inline constexpr const char* QTPChecksumErrorText = "File Checksum Error!";
inline constexpr const char* QTPFinishedText = "QTP Program Finished!";
inline constexpr const char* FileCantBeSavedText = "File can't be saved!";

// The loaded QTP file (QTPHandle and QTPEnd): its text, read once when it
// is loaded, and the reading position. Copies share the text, so a worker
// can read ahead on its own copy and hand the position back.
struct TQTPFile {
    std::shared_ptr<const std::string> Text;
    std::size_t Pos = 0;
    std::string Name; // shown beside "QTP file :"
    bool QTPEnd = false;

    bool IsOpen() const { return Text != nullptr; }
    void Close() { *this = TQTPFile{}; }
};

// One data record for the current settings, line end included.
std::string QTPRecord(const TSerialSettings& s);

// QTP_File: the record for the current number, then SerialNoNext.
std::string QTP_File(TSerialSettings& s);

// `parts` records with consecutive numbers and the end record (no line
// end after it); the settings then hold the number after the last record.
std::string GenerateQTP(TSerialSettings& s, int parts);

// Written to a temporary file beside `path` and renamed over it; false
// when it could not be written ("File can't be saved!").
bool WriteQTPFile(const std::string& path, const std::string& text);

// ReadSerialData: the next record into the settings. Returns the message
// to show, or nullopt when the record was read (QTPActive set, f.QTPEnd
// telling whether it was the end record). A record that fails leaves the
// settings as they were; one with more than 8 serial bytes is refused.
std::optional<std::string> ReadSerialData(TQTPFile& f, TSerialSettings& s, bool& qtpActive);

} // namespace orvan
