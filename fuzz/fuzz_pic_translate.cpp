// Both PIC translators and their format checks over an arbitrary image.
// The first two bytes choose the device size and the length translated.
#include "buffer/BufferBlock.h"
#include "buffer/PicTranslate.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t memBytes = static_cast<size_t>(data[0]) * 64;
    const size_t length = static_cast<size_t>(data[1]) * 130;
    std::vector<uint8_t> image(orvan::ProgramBytes, 0xFF);
    std::copy_n(data + 2, std::min(size - 2, image.size()), image.begin());
    std::vector<uint8_t> other = image;
    (void)orvan::Pic5xFormatWarning(image, memBytes);
    (void)orvan::Pic6x7xFormatWarning(image, memBytes);
    orvan::Pic5xToOrvan(image, length);
    orvan::Pic6x7xToOrvan(other, length);
    // Every word a table claims comes out within 14 bits.
    for (size_t i = 0; i + 1 < size - 2 && i + 1 < image.size(); i += 2) {
        const auto c = static_cast<uint16_t>(data[2 + i] | (data[3 + i] << 8));
        const uint16_t a = orvan::Pic5xWord(c);
        const uint16_t b = orvan::Pic6x7xWord(c);
        if ((a != c && a > 0x3FFF) || (b != c && b > 0x3FFF)) std::abort();
    }
    return 0;
}
