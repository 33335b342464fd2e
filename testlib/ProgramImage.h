// The production tests' program: the model's size, a pattern in its first
// 40h words, `serialWords` RTIW words (3100h) at `serialAt` for the serial
// number, and a GOTO in the reset word; as BIN bytes.
#pragma once

#include "device/Catalogue.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvan::test {

inline std::string RtiwProgramBin(const char* model, size_t serialAt, size_t serialWords,
                                  unsigned first, unsigned step) {
    TDeviceState d;
    GetICInfo(model, d);
    std::vector<uint16_t> words(size_t(d.WordCount()), 0x3FFF);
    for (size_t w = 0; w < 0x40; ++w)
        words[w] = uint16_t(first + w * step);
    for (size_t w = serialAt; w < serialAt + serialWords; ++w)
        words[w] = 0x3100;
    words.back() = 0x2800;
    std::string bytes;
    for (uint16_t w : words) {
        bytes += char(w & 0xFF);
        bytes += char(w >> 8);
    }
    return bytes;
}

} // namespace orvan::test
