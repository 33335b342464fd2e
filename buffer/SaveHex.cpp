#include "buffer/SaveHex.h"

#include "buffer/BufferBlock.h"
#include "buffer/FileNames.h"
#include "buffer/PicTranslate.h"
#include "buffer/SaveBin.h"
#include "device/Catalogue.h"
#include "device/Checksum.h"

#include <algorithm>
#include <array>

namespace orvan {
namespace {

constexpr unsigned BlankWord = 0x3FFF;
constexpr int NoWord = -1;
constexpr int RecordBytes = 16;

// For every 14-bit word, the PIC word a ".hex" load turns into it, or
// NoWord. Among several, a word of the model's own width is taken first
// (real PIC code, which the format warnings accept), then the lowest.
class TPicInverse {
  public:
    explicit TPicInverse(uint32_t wordType) {
        Code.fill(NoWord);
        const unsigned native = wordType == Word12Bit ? 0x0FFF : 0x3FFF;
        for (unsigned c = 0; c <= 0xFFFF; ++c) {
            const unsigned w = PicLoadedWord(wordType, uint16_t(c));
            int& slot = Code[w];
            if (slot == NoWord || (unsigned(slot) > native && c <= native)) slot = int(c);
        }
    }
    int operator[](unsigned word) const { return Code[word & BlankWord]; }

  private:
    std::array<int, BlankWord + 1> Code{};
};

const TPicInverse& InverseFor(uint32_t wordType) {
    static const TPicInverse twelve(Word12Bit);
    static const TPicInverse fourteen(Word14Bit);
    return wordType == Word12Bit ? twelve : fourteen;
}

std::string Record(unsigned address, const std::vector<uint8_t>& data, unsigned type = 0) {
    unsigned sum = unsigned(data.size()) + (address >> 8) + (address & 0xFF) + type;
    std::string line =
        ":" + HexText(unsigned(data.size()), 2) + HexText(address, 4) + HexText(type, 2);
    for (uint8_t b : data) {
        line += HexText(b, 2);
        sum += b;
    }
    return line + HexText((0x100 - (sum & 0xFF)) & 0xFF, 2) + "\n";
}

} // namespace

TProgramFormat ProgramFormatOf(std::string_view path) {
    const std::string type = TypeAfterFirstDot(path);
    if (type == "HEX") return TProgramFormat::PicHex;
    if (type == "OHX") return TProgramFormat::OrvanHex;
    return TProgramFormat::Bin;
}

unsigned PicLoadedWord(uint32_t wordType, uint16_t c) {
    const uint16_t n = wordType == Word12Bit ? Pic5xWord(c) : Pic6x7xWord(c);
    // The word-pair form keeps bits 0-13.
    return n & BlankWord;
}

THexSave HexFileText(const TBufferBlock& buffers, const TDeviceState& device, bool picCode) {
    THexSave save;
    const TPicInverse* inverse = picCode ? &InverseFor(device.ICWordType) : nullptr;
    const int words = std::min(device.WordCount(), ProgramBytes / 2);
    std::vector<uint8_t> run;
    unsigned runStart = 0;
    auto flush = [&] {
        if (!run.empty()) save.Text += Record(runStart, run);
        run.clear();
    };
    for (int n = 0; n < words; ++n) {
        const unsigned w = GetWord(buffers.ProgramBuffer.data(), n);
        if (w == BlankWord) {
            flush();
            continue;
        }
        unsigned c = w;
        if (inverse) {
            const int code = (*inverse)[w];
            if (code == NoWord) {
                save.Unwritable = n;
                save.Text.clear();
                return save;
            }
            c = unsigned(code);
        }
        if (run.empty()) runStart = unsigned(2 * n);
        run.push_back(uint8_t(c & 0xFF));
        run.push_back(uint8_t(c >> 8));
        if (run.size() == RecordBytes) flush();
    }
    flush();
    save.Text += Record(0, {}, 1);
    return save;
}

std::string UnwritableWordText(const TBufferBlock& buffers, int word) {
    return "Word " + HexText(GetWord(buffers.ProgramBuffer.data(), word), 4) + " at " +
           HexText(unsigned(word), 4) +
           " has no PIC code that loads back to it: save as .ohx or .bin";
}

bool ProgramFileBytes(const TBufferBlock& buffers, const TDeviceState& device,
                      std::string_view path, std::vector<uint8_t>& bytes, std::string& error) {
    const TProgramFormat format = ProgramFormatOf(path);
    if (format == TProgramFormat::Bin) {
        bytes = BinFileBytes(buffers, device);
        return true;
    }
    const THexSave save = HexFileText(buffers, device, format == TProgramFormat::PicHex);
    if (save.Unwritable >= 0) {
        error = UnwritableWordText(buffers, save.Unwritable);
        return false;
    }
    bytes.assign(save.Text.begin(), save.Text.end());
    return true;
}

} // namespace orvan
