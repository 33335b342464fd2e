#include "buffer/SaveBin.h"

#include "buffer/FileNames.h"
#include "session/Workspace.h"

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

std::vector<uint8_t> BinFileBytes(TWorkspace& ws) {
    std::vector<uint8_t> image = ProgramImage(ws.Buffers);
    ws.GetICInfo();
    const auto size = static_cast<std::size_t>(ws.Device.ICMemBytes);
    image.resize(size < image.size() ? size : image.size());
    return image;
}

bool SaveBin(TWorkspace& ws, const std::string& path) {
    return WriteFileAtomic(path, BinFileBytes(ws));
}

} // namespace orvan
