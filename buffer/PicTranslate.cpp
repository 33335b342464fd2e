#include "buffer/PicTranslate.h"

namespace orvan {

namespace {

using M = TPicMatch;
using O = TPicOperand;

constexpr uint16_t Exact = 0xFFFF;
constexpr uint16_t HighByte = 0xFF00;

constexpr TPicRule Pic5xRules[] = {
    {0x0040, "CLRW", 0x1080, "CLRW", M::Masked, Exact, 0, 0, O::None},
    {0x0000, "NOP", 0x1000, "NOP", M::Masked, Exact, 0, 0, O::None},
    {0x0004, "CLRWDT", 0x1001, "CLRWT", M::Masked, Exact, 0, 0, O::None},
    {0x0002, "OPTION", 0x1003, "TMODE", M::Masked, Exact, 0, 0, O::None},
    {0x0003, "SLEEP", 0x1002, "SLEEP", M::Masked, Exact, 0, 0, O::None},
    {0x0060, "CLRF", 0x1100, "CLRR", M::Masked, 0xFFE0, 0, 0, O::F5},
    {0x0020, "MOVWF", 0x1180, "STWR", M::Masked, 0xFFE0, 0, 0, O::F5},
    {0x0000, "TRIS", 0x1000, "CPIO", M::Range, 0, 5, 7, O::Low3},
    {0x01C0, "ADDWF", 0x1B00, "ADDWR", M::Masked, 0xFFC0, 0, 0, O::F5D},
    {0x0140, "ANDWF", 0x1200, "ANDWR", M::Masked, 0xFFC0, 0, 0, O::F5D},
    {0x0240, "COMF", 0x1F00, "COMR", M::Masked, 0xFFC0, 0, 0, O::F5D},
    {0x00C0, "DECF", 0x1D00, "DECR", M::Masked, 0xFFC0, 0, 0, O::F5D},
    {0x02C0, "DECFSZ", 0x1E00, "DECRSZ", M::Masked, 0xFFC0, 0, 0, O::F5D},
    {0x0280, "INCF", 0x1900, "INCR", M::Masked, 0xFFC0, 0, 0, O::F5D},
    {0x03C0, "INCFSZ", 0x1A00, "INCRSZ", M::Masked, 0xFFC0, 0, 0, O::F5D},
    {0x0100, "IORWF", 0x1300, "IORWR", M::Masked, 0xFFC0, 0, 0, O::F5D},
    {0x0200, "MOVF", 0x1800, "LDR", M::Masked, 0xFFC0, 0, 0, O::F5D},
    {0x0340, "RLF", 0x1500, "RLR", M::Masked, 0xFFC0, 0, 0, O::F5D},
    {0x0300, "RRF", 0x1600, "RRR", M::Masked, 0xFFC0, 0, 0, O::F5D},
    {0x0080, "SUBWF", 0x1C00, "SUBWR", M::Masked, 0xFFC0, 0, 0, O::F5D},
    {0x0380, "SWAPF", 0x1700, "SWAPR", M::Masked, 0xFFC0, 0, 0, O::F5D},
    {0x0180, "XORWF", 0x1400, "XORWR", M::Masked, 0xFFC0, 0, 0, O::F5D},
    {0x0400, "BCF", 0x0000, "BCR", M::Masked, HighByte, 0, 0, O::F5B},
    {0x0500, "BSF", 0x0800, "BSR", M::Masked, HighByte, 0, 0, O::F5B},
    {0x0600, "BTFSC", 0x0400, "BTSC", M::Masked, HighByte, 0, 0, O::F5B},
    {0x0700, "BTFSS", 0x0C00, "BTSS", M::Masked, HighByte, 0, 0, O::F5B},
    {0x0E00, "ANDLW", 0x3400, "ANDWI", M::Masked, HighByte, 0, 0, O::Low8},
    {0x0900, "CALL", 0x3000, "CALL", M::Masked, HighByte, 0, 0, O::Low8},
    {0x0D00, "IORLW", 0x3500, "IORWI", M::Masked, HighByte, 0, 0, O::Low8},
    {0x0C00, "MOVLW", 0x3A00, "LDWI", M::Masked, HighByte, 0, 0, O::Low8},
    {0x0800, "RETLW", 0x3100, "RTIW", M::Masked, HighByte, 0, 0, O::Low8},
    {0x0F00, "XORLW", 0x3600, "XORWI", M::Masked, HighByte, 0, 0, O::Low8},
    // Any word with bits 9 and 11 set; ANDLW and XORLW also have them, so
    // this entry must come after theirs.
    {0x0A00, "GOTO", 0x3200, "JUMP", M::Masked, 0x0A00, 0, 0, O::Low9},
};

constexpr uint8_t Pic5xOrder[] = {7,  0,  1,  2,  3,  4,  5,  6,  8,  9,  10,
                                  11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
                                  22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32};

constexpr TPicRule Pic6x7xRules[] = {
    {0x0100, "CLRW", 0x1080, "CLRW", M::Masked, 0xFF80, 0, 0, O::None},
    // (c OR 0060h) = 0060h: nothing but bits 5 and 6 may be set.
    {0x0000, "NOP", 0x1000, "NOP", M::Masked, 0xFF9F, 0, 0, O::None},
    {0x0064, "CLRWDT", 0x1001, "CLRWT", M::Masked, Exact, 0, 0, O::None},
    {0x0062, "OPTION", 0x1003, "TMODE", M::Masked, Exact, 0, 0, O::None},
    {0x0063, "SLEEP", 0x1002, "SLEEP", M::Masked, Exact, 0, 0, O::None},
    {0x0009, "RETFIE", 0x1009, "RTFI", M::Masked, Exact, 0, 0, O::None},
    {0x0008, "RETURN", 0x1004, "RET", M::Masked, Exact, 0, 0, O::None},
    {0x0180, "CLRF", 0x1100, "CLRR", M::Masked, 0xFF80, 0, 0, O::Low7},
    {0x0080, "MOVWF", 0x1180, "STWR", M::Masked, 0xFF80, 0, 0, O::Low7},
    {0x0000, "TRIS", 0x1000, "CPIO", M::Range, 0, 0x65, 0x67, O::Low3},
    {0x0700, "ADDWF", 0x1B00, "ADDWR", M::Masked, HighByte, 0, 0, O::Low8},
    {0x0500, "ANDWF", 0x1200, "ANDWR", M::Masked, HighByte, 0, 0, O::Low8},
    {0x0900, "COMF", 0x1F00, "COMR", M::Masked, HighByte, 0, 0, O::Low8},
    {0x0300, "DECF", 0x1D00, "DECR", M::Masked, HighByte, 0, 0, O::Low8},
    {0x0B00, "DECFSZ", 0x1E00, "DECRSZ", M::Masked, HighByte, 0, 0, O::Low8},
    {0x0A00, "INCF", 0x1900, "INCR", M::Masked, HighByte, 0, 0, O::Low8},
    {0x0F00, "INCFSZ", 0x1A00, "INCRSZ", M::Masked, HighByte, 0, 0, O::Low8},
    {0x0400, "IORWF", 0x1300, "IORWR", M::Masked, HighByte, 0, 0, O::Low8},
    {0x0800, "MOVF", 0x1800, "LDR", M::Masked, HighByte, 0, 0, O::Low8},
    {0x0D00, "RLF", 0x1500, "RLR", M::Masked, HighByte, 0, 0, O::Low8},
    {0x0C00, "RRF", 0x1600, "RRR", M::Masked, HighByte, 0, 0, O::Low8},
    {0x0200, "SUBWF", 0x1C00, "SUBWR", M::Masked, HighByte, 0, 0, O::Low8},
    {0x0E00, "SWAPF", 0x1700, "SWAPR", M::Masked, HighByte, 0, 0, O::Low8},
    {0x0600, "XORWF", 0x1400, "XORWR", M::Masked, HighByte, 0, 0, O::Low8},
    {0x1000, "BCF", 0x0000, "BCR", M::Masked, 0xFC00, 0, 0, O::Low10},
    {0x1400, "BSF", 0x0800, "BSR", M::Masked, 0xFC00, 0, 0, O::Low10},
    {0x1800, "BTFSC", 0x0400, "BTSC", M::Masked, 0xFC00, 0, 0, O::Low10},
    {0x1C00, "BTFSS", 0x0C00, "BTSS", M::Masked, 0xFC00, 0, 0, O::Low10},
    {0x3900, "ANDLW", 0x3400, "ANDWI", M::Masked, HighByte, 0, 0, O::Low8},
    {0x3800, "IORLW", 0x3500, "IORWI", M::Masked, HighByte, 0, 0, O::Low8},
    {0x3A00, "XORLW", 0x3600, "XORWI", M::Masked, HighByte, 0, 0, O::Low8},
    {0x3E00, "ADDLW", 0x3700, "ADDWI", M::Masked, 0xFE00, 0, 0, O::Low8},
    {0x3C00, "SUBLW", 0x3800, "SUBWI", M::Masked, 0xFE00, 0, 0, O::Low8},
    {0x3000, "MOVLW", 0x3A00, "LDWI", M::Masked, 0xFC00, 0, 0, O::Low8},
    {0x3400, "RETLW", 0x3100, "RTIW", M::Masked, 0xFC00, 0, 0, O::Low8},
    {0x2000, "CALL", 0x2000, "LCALL", M::Masked, 0xF800, 0, 0, O::Low11},
    {0x2800, "GOTO", 0x2800, "LJUMP", M::Masked, 0xF800, 0, 0, O::Low11},
};

constexpr uint8_t Pic6x7xOrder[] = {9,  0,  1,  2,  3,  4,  5,  6,  7,  8,  10, 11, 12,
                                    13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 28, 29,
                                    30, 24, 25, 26, 27, 33, 34, 31, 32, 35, 36};

static_assert(std::size(Pic5xOrder) == std::size(Pic5xRules));
static_assert(std::size(Pic6x7xOrder) == std::size(Pic6x7xRules));

const TPicTable Pic5x{Pic5xRules, Pic5xOrder};
const TPicTable Pic6x7x{Pic6x7xRules, Pic6x7xOrder};

bool Matches(const TPicRule& r, unsigned c) {
    if (r.Match == M::Range) return c >= r.RangeLo && c <= r.RangeHi;
    return (c & r.Mask) == (r.PicCode & r.Mask);
}

unsigned OperandBits(TPicOperand op, unsigned c) {
    switch (op) {
    case O::None:
        return 0;
    case O::Low3:
        return c & 0x7u;
    case O::F5:
        return c & 0x1Fu;
    case O::F5D:
        return (c & 0x1Fu) | (((c >> 5) & 1u) << 7);
    case O::F5B:
        return (c & 0x1Fu) | (((c >> 5) & 7u) << 7);
    case O::Low7:
        return c & 0x7Fu;
    case O::Low8:
        return c & 0xFFu;
    case O::Low9:
        return c & 0x1FFu;
    case O::Low10:
        return c & 0x3FFu;
    case O::Low11:
        return c & 0x7FFu;
    }
    return 0;
}

uint16_t Translate(const TPicTable& table, uint16_t c) {
    if (c == 0xFFFF) return c;
    for (const uint8_t j : table.TestOrder) {
        const TPicRule& r = table.Rules[j];
        if (Matches(r, c)) return static_cast<uint16_t>(r.NewCode | OperandBits(r.Operand, c));
    }
    return c;
}

template <typename F> void TranslateImage(std::span<uint8_t> image, std::size_t length, F word) {
    if (length > image.size()) length = image.size();
    for (std::size_t i = 0; i < length && i + 1 < image.size(); i += 2) {
        const auto c = static_cast<uint16_t>(image[i] | (image[i + 1] << 8));
        const uint16_t n = word(c);
        image[i] = static_cast<uint8_t>(n & 0xFF);
        image[i + 1] = static_cast<uint8_t>(n >> 8);
    }
}

// A word using bits 12-13 but not 14-15: real 14-bit code has such words,
// 12-bit code never does.
bool HasWideWord(std::span<const uint8_t> image, std::size_t memBytes) {
    if (memBytes > image.size()) memBytes = image.size();
    for (std::size_t i = 1; i < memBytes; i += 2) {
        const uint8_t hi = image[i];
        if ((hi & 0x30) != 0 && (hi & 0xC0) == 0) return true;
    }
    return false;
}

} // namespace

const TPicTable& Pic5xTable() {
    return Pic5x;
}
const TPicTable& Pic6x7xTable() {
    return Pic6x7x;
}

uint16_t Pic5xWord(uint16_t c) {
    if (c == 0x0FFF) return 0x36FF;
    return Translate(Pic5x, c);
}

uint16_t Pic6x7xWord(uint16_t c) {
    return Translate(Pic6x7x, c);
}

void Pic5xToOrvan(std::span<uint8_t> image, std::size_t length) {
    TranslateImage(image, length, Pic5xWord);
}

void Pic6x7xToOrvan(std::span<uint8_t> image, std::size_t length) {
    TranslateImage(image, length, Pic6x7xWord);
}

std::optional<std::string> Pic5xFormatWarning(std::span<const uint8_t> image,
                                              std::size_t memBytes) {
    if (HasWideWord(image, memBytes)) return std::string(Warning14BitText);
    return std::nullopt;
}

std::optional<std::string> Pic6x7xFormatWarning(std::span<const uint8_t> image,
                                                std::size_t memBytes) {
    if (!HasWideWord(image, memBytes)) return std::string(Warning12BitText);
    return std::nullopt;
}

} // namespace orvan
