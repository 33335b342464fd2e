#include "buffer/DataFile.h"

#include "buffer/PicTranslate.h"

#include <algorithm>

namespace orvan {

namespace {

int HexDigit(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Two hex characters at `at` of the record, or -1.
int HexByte(std::span<const uint8_t> rec, std::size_t at) {
    if (at + 2 > rec.size()) return -1;
    const int hi = HexDigit(rec[at]);
    const int lo = HexDigit(rec[at + 1]);
    if (hi < 0 || lo < 0) return -1;
    return hi * 16 + lo;
}

} // namespace

THexResult HexToObj(std::span<const uint8_t> text, std::span<uint8_t> image) {
    std::fill(image.begin(), image.end(), uint8_t{0xFF});
    const auto limit = static_cast<int>(std::min<std::size_t>(image.size(), ProgramBytes));
    THexResult result;
    int highest = 0;
    int record = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        ++record;
        while (pos < text.size() && text[pos] != ':')
            ++pos;
        if (pos >= text.size()) break; // only line ends or junk were left
        const std::size_t start = pos;
        while (pos < text.size() && text[pos] != '\r' && text[pos] != '\n')
            ++pos;
        const std::span<const uint8_t> rec = text.subspan(start, pos - start);

        const int ll = HexByte(rec, 1);
        if (ll == 0) break; // end record, or any empty record
        const int addrHi = HexByte(rec, 3);
        const int addrLo = HexByte(rec, 5);
        const int type = HexByte(rec, 7);
        bool wellFormed = ll > 0 && addrHi >= 0 && addrLo >= 0 && type >= 0 &&
                          rec.size() >= 11 + 2 * static_cast<std::size_t>(ll);
        for (int k = 0; wellFormed && k <= ll; ++k) // data bytes and the checksum
            wellFormed = HexByte(rec, 9 + 2 * static_cast<std::size_t>(k)) >= 0;
        if (!wellFormed) {
            result.ErrorLine = record;
            continue;
        }
        unsigned sum = static_cast<unsigned>(ll + addrHi + addrLo + type);
        // Segment, linear-address and start-address records (types 2-5, which
        // PIC assemblers write first) hold no program bytes: storing their
        // payload at address 0 would plant a word the file never had.
        const bool holdsData = type < 2 || type > 5;
        int address = addrHi * 256 + addrLo;
        for (int k = 0; k < ll; ++k, ++address) {
            const int b = HexByte(rec, 9 + 2 * static_cast<std::size_t>(k));
            if (holdsData) {
                if (address < limit)
                    image[static_cast<std::size_t>(address)] = static_cast<uint8_t>(b);
                highest = std::max(highest, address);
            }
            sum += static_cast<unsigned>(b);
        }
        const int cc = HexByte(rec, 9 + 2 * static_cast<std::size_t>(ll));
        if (static_cast<unsigned>(cc) != ((256u - (sum & 0xFFu)) & 0xFFu))
            result.ErrorLine = record;
    }
    result.Highest = std::min(highest, ProgramBytes);
    return result;
}

void ImageToWordPairs(std::span<uint8_t> image) {
    for (std::size_t i = 0; i + 1 < image.size(); i += 2) {
        const uint8_t lo = image[i];
        const uint8_t hi = image[i + 1];
        image[i] = lo & 0x7F;
        image[i + 1] = static_cast<uint8_t>(((hi << 1) | (lo >> 7)) & 0x7F);
    }
}

std::string RecordErrorText(int line) {
    return "File data error at line " + std::to_string(line) + " !";
}

void TFileResult::Merge(const TFileResult& other) {
    Messages.insert(Messages.end(), other.Messages.begin(), other.Messages.end());
    RecordError = RecordError || other.RecordError;
    ResetWindows = ResetWindows || other.ResetWindows;
    RecreateMemoryWindow = RecreateMemoryWindow || other.RecreateMemoryWindow;
    RecreateIDWindow = RecreateIDWindow || other.RecreateIDWindow;
    CloseDisasm = CloseDisasm || other.CloseDisasm;
}

bool BuildProgramImage(const TDeviceState& device, std::span<const uint8_t> bytes,
                       const std::string& type, const TFileOptions& options, TFileResult& result,
                       std::vector<uint8_t>& image) {
    const auto memBytes = static_cast<std::size_t>(device.ICMemBytes);
    image.assign(ProgramBytes, 0xFF);
    std::size_t length = 0; // bytes the translation covers
    if (type == "HEX" || type == "OHX") {
        const THexResult hex = HexToObj(bytes, image);
        length = static_cast<std::size_t>(hex.Highest) + 1;
        if (hex.ErrorLine != 0) {
            result.RecordError = true;
            if (!options.SuppressRecordError)
                result.Messages.push_back(RecordErrorText(hex.ErrorLine));
        }
    } else {
        if (bytes.size() != memBytes) {
            result.Messages.push_back(SizeUnmatchText);
            return false;
        }
        std::copy(bytes.begin(), bytes.end(), image.begin());
        length = bytes.size();
    }
    if (type == "OBJ" || type == "HEX") {
        const bool twelveBit = device.ICWordType == Word12Bit;
        const auto warning =
            twelveBit ? Pic5xFormatWarning(image, memBytes) : Pic6x7xFormatWarning(image, memBytes);
        if (warning && options.ShowFormatWarnings) result.Messages.push_back(*warning);
        if (twelveBit)
            Pic5xToOrvan(image, length);
        else
            Pic6x7xToOrvan(image, length);
    }
    ImageToWordPairs(image);
    return true;
}

} // namespace orvan
