#include "production/IDText.h"

#include "device/Checksum.h"

#include <cctype>

namespace orvan {

std::string IDHexText(const TBufferBlock& b) {
    std::string t;
    for (size_t i = 0; i < 12; ++i) {
        if (i) t += ' ';
        t += HexText(b.IDBuffer[i], 2);
    }
    return t;
}

namespace {
char Shown(uint8_t c) {
    return c >= 0x20 && c < 0x7F ? char(c) : '.';
}
} // namespace

std::string IDAsciiText(const TBufferBlock& b) {
    std::string t;
    for (size_t i = 0; i < 12 && b.IDBuffer[i] != 0; ++i)
        t += Shown(b.IDBuffer[i]);
    return t;
}

std::string IDAsciiEditText(const TBufferBlock& b) {
    size_t n = 0;
    while (n < 12 && b.IDBuffer[n] != 0)
        ++n;
    while (n > 0 && b.IDBuffer[n - 1] == Blank7)
        --n;
    std::string t;
    for (size_t i = 0; i < n; ++i)
        t += Shown(b.IDBuffer[i]);
    return t;
}

std::string IDChecksumText(const TBufferBlock& b) {
    std::string t;
    for (size_t i = 12; i < 16; ++i)
        t += b.IDBuffer[i] < 0x20 ? ' ' : char(b.IDBuffer[i]);
    return t;
}

std::string IDInfoText(const TBufferBlock& b) {
    std::string t;
    for (size_t i = 16; i < 32; ++i) {
        if (i > 16) t += ' ';
        t += HexText(b.IDBuffer[i], 2);
    }
    return t;
}

void StoreASCIIID(TBufferBlock& b, const std::string& text) {
    const size_t n = std::min<size_t>(text.size(), 12);
    for (size_t i = 0; i < 12; ++i)
        b.IDBuffer[i] = i < n ? uint8_t(text[i]) : Blank7;
}

void StoreHexID(TBufferBlock& b, const std::string& text) {
    auto digit = [&](size_t at) -> unsigned {
        if (at >= text.size()) return 15;
        const char c = char(std::toupper(static_cast<unsigned char>(text[at])));
        if (c >= '0' && c <= '9') return unsigned(c - '0');
        if (c >= 'A' && c <= 'F') return unsigned(c - 'A' + 10);
        return 15;
    };
    for (size_t i = 0; i < 12; ++i)
        b.IDBuffer[i] = uint8_t((16 * digit(3 * i) + digit(3 * i + 1)) & 0x7F);
}

} // namespace orvan
