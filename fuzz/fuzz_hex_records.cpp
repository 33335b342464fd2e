// HexToObj on arbitrary text, then the word-pair conversion over its image.
#include "buffer/BufferBlock.h"
#include "buffer/DataFile.h"

#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> image(orvan::ProgramBytes);
    const orvan::THexResult r = orvan::HexToObj({data, size}, image);
    if (r.Highest < 0 || r.Highest > orvan::ProgramBytes || r.ErrorLine < 0) std::abort();
    orvan::ImageToWordPairs(image);
    for (uint8_t b : image)
        if (b > 0x7F) std::abort();
    return 0;
}
