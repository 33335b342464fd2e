#include "buffer/SaveBin.h"

#include "buffer/BufferBlock.h"
#include "buffer/FileNames.h"
#include "device/Catalogue.h"

namespace orvan {

std::vector<uint8_t> ProgramImage(const TBufferBlock& buffers) {
    std::vector<uint8_t> image(ProgramBytes);
    for (std::size_t i = 0; i + 1 < image.size(); i += 2) {
        const uint8_t first = buffers.ProgramBuffer[i];
        const uint8_t second = buffers.ProgramBuffer[i + 1];
        image[i] = static_cast<uint8_t>((first & 0x7F) | ((second & 1) << 7));
        image[i + 1] = static_cast<uint8_t>((second & 0x7F) >> 1);
    }
    return image;
}

std::vector<uint8_t> BinFileBytes(const TBufferBlock& buffers, const TDeviceState& device) {
    std::vector<uint8_t> image = ProgramImage(buffers);
    const auto size = static_cast<std::size_t>(device.ICMemBytes);
    image.resize(size < image.size() ? size : image.size());
    return image;
}

bool SaveBin(const TBufferBlock& buffers, const TDeviceState& device, const std::string& path) {
    return WriteFileAtomic(path, BinFileBytes(buffers, device));
}

} // namespace orvan
