// Translation of PIC object code into this family's instruction words,
// done in place on the little-endian byte image while a file loads.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace orvan {

// How a table entry recognises a PIC word and which operand bits it keeps.
enum class TPicMatch : uint8_t {
    Masked, // (c AND Mask) = (PicCode AND Mask)
    Range,  // RangeLo <= c <= RangeHi
};

enum class TPicOperand : uint8_t {
    None,
    Low3,  // c AND 7 (TRIS)
    F5,    // f = c AND 1Fh
    F5D,   // f = c AND 1Fh, d = bit 5 of c moved to bit 7
    F5B,   // f = c AND 1Fh, b = bits 5-7 of c moved to bits 7-9
    Low7,  // c AND 7Fh
    Low8,  // c AND FFh
    Low9,  // c AND 1FFh
    Low10, // c AND 3FFh
    Low11, // c AND 7FFh
};

struct TPicRule {
    uint16_t PicCode;
    const char* PicMnemonic;
    uint16_t NewCode;
    const char* NewMnemonic;
    TPicMatch Match;
    uint16_t Mask;    // Masked
    uint16_t RangeLo; // Range
    uint16_t RangeHi;
    TPicOperand Operand;
};

struct TPicTable {
    std::span<const TPicRule> Rules;    // by entry index j
    std::span<const uint8_t> TestOrder; // entry indices in the order they are tried
};

// 12-bit PIC code (33 entries) and 14-bit PIC code (37 entries).
const TPicTable& Pic5xTable();
const TPicTable& Pic6x7xTable();

// The translated word for one PIC word; FFFFh stays as it is, and so does a
// word no entry claims.
uint16_t Pic5xWord(uint16_t c);
uint16_t Pic6x7xWord(uint16_t c);

// Translate `length` bytes (rounded up to whole words, at most the span)
// of the byte image in place.
void Pic5xToOrvan(std::span<uint8_t> image, std::size_t length);
void Pic6x7xToOrvan(std::span<uint8_t> image, std::size_t length);

// The plausibility checks over the first `memBytes` bytes of the
// untranslated image: the warning text, or nullopt.
std::optional<std::string> Pic5xFormatWarning(std::span<const uint8_t> image, std::size_t memBytes);
std::optional<std::string> Pic6x7xFormatWarning(std::span<const uint8_t> image,
                                                std::size_t memBytes);

inline constexpr const char* Warning14BitText = "Warning: File format error !(14 bit)";
inline constexpr const char* Warning12BitText = "Warning: File format error !(12 bit)";

} // namespace orvan
