#include "device/Checksum.h"
#include "buffer/BufferBlock.h"
#include "device/Catalogue.h"

#include <gtest/gtest.h>

#include <memory>

namespace orvan {
namespace {

struct TFixture {
    TDeviceState Device;
    int Row;
    std::unique_ptr<TBufferBlock> Buffers = std::make_unique<TBufferBlock>();
    explicit TFixture(const char* model) : Row(GetICInfo(model, Device)) {}
    TChecksums Sum() {
        return CalChecksum(Device, Row, Buffers->ProgramBuffer.data(), Buffers->OptionLo,
                           Buffers->OptionHi);
    }
};

TEST(Checksum, BlankDevices) {
    TFixture ov101("OV101");
    TChecksums s = ov101.Sum();
    EXPECT_EQ(s.DataChecksum, 0x7C00);
    EXPECT_EQ(s.ProtectSum, 0x7C00);
    EXPECT_EQ(s.OptionSum, 0x7D2E); // OPTION masked to 2FFFh
    EXPECT_EQ(ov101.Buffers->OptionHi, 0x5F);

    TFixture ov132("OV132"); // 6144 words: 6144 * 13Eh wraps
    s = ov132.Sum();
    EXPECT_EQ(s.DataChecksum, (6144 * 0x13E) & 0xFFFF);
    EXPECT_EQ(s.DataChecksum, s.ProtectSum);
}

TEST(Checksum, ZeroWordAndProtectPattern) {
    TFixture f("OV101");
    SetWord(f.Buffers->ProgramBuffer.data(), 7, 0x0000);
    TChecksums s = f.Sum();
    EXPECT_EQ(s.DataChecksum, 0x7C00 - 0x13E);
    EXPECT_EQ(s.ProtectSum, 0x7C00 - 0x13E + 0xAE);

    // Only the protect pattern's bits survive: 0060h | 0F9Fh = 0FFFh.
    SetWord(f.Buffers->ProgramBuffer.data(), 7, 0x0060);
    s = f.Sum();
    EXPECT_EQ(s.ProtectSum, 0x7C00 - 0x13E + WordByteSum(0x0FFF));
}

TEST(Checksum, OnlyTheDeviceWordsCount) {
    TFixture f("OV101");
    f.Buffers->ProgramBuffer[1024] = 0; // past the 512 words
    f.Buffers->IDBuffer.fill(0);
    f.Buffers->EEBuffer.fill(0x55);
    EXPECT_EQ(f.Sum().DataChecksum, 0x7C00);
}

TEST(Checksum, OptionSumUsesMaskedOption) {
    TFixture f("OV112"); // OR masks force 0Ah / 08h
    f.Buffers->OptionLo = 0;
    f.Buffers->OptionHi = 0;
    const TChecksums s = f.Sum();
    EXPECT_EQ(f.Buffers->OptionLo, 0x0A);
    EXPECT_EQ(f.Buffers->OptionHi, 0x08);
    EXPECT_EQ(s.OptionSum, (s.DataChecksum + WordByteSum(0x08 * 128 + 0x0A)) & 0xFFFF);
}

TEST(Checksum, HexText) {
    EXPECT_EQ(HexText(0x7C00, 4), "7C00");
    EXPECT_EQ(HexText(0xA, 4), "000A");
    EXPECT_EQ(HexText(0x1FF, 2), "1FF");
}

} // namespace
} // namespace orvan
