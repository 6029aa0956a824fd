#include "runner/stream.h"

#include <gtest/gtest.h>

#include <cmath>

#include "graphics/bitmap32.h"
#include "graphics/bmp.h"

namespace tb {
namespace {

CStream Bytes(std::initializer_list<uint8_t> b) {
    return CStream(std::vector<uint8_t>(b));
}

TEST(Stream, PrimitivesRoundTrip) {
    CStream s;
    WriteInteger(s, -123456);
    WriteReal(s, 3.25);
    WriteBoolean(s, true);
    WriteString(s, "hello");
    WriteString(s, "");
    s.pos = 0;
    EXPECT_EQ(ReadInteger(s), -123456);
    EXPECT_EQ(ReadReal(s), 3.25);
    EXPECT_TRUE(ReadBoolean(s));
    EXPECT_EQ(ReadString(s), "hello");
    EXPECT_EQ(ReadString(s), "");
    EXPECT_EQ(s.Remaining(), 0u);
    EXPECT_THROW(ReadInteger(s), StreamError);
}

TEST(Stream, LittleEndianLayout) {
    CStream s;
    WriteInteger(s, 0x12D591);
    EXPECT_EQ(s.data, (std::vector<uint8_t>{0x91, 0xD5, 0x12, 0x00}));
}

TEST(Stream, BooleanIsTrueOnlyAboveZero) {
    struct Case {
        int32_t stored;
        bool value;
    } cases[] = {{0, false}, {1, true}, {2, true}, {255, true}, {-1, false}, {INT32_MIN, false}};
    for (auto c : cases) {
        CStream s;
        WriteInteger(s, c.stored);
        s.pos = 0;
        EXPECT_EQ(ReadBoolean(s), c.value) << c.stored;
    }
}

TEST(Stream, StringWithNegativeLengthReadsEmptyAndConsumesFourBytes) {
    CStream s;
    WriteInteger(s, -5);
    WriteInteger(s, 77);
    s.pos = 0;
    EXPECT_EQ(ReadString(s), "");
    EXPECT_EQ(s.pos, 4u);
    EXPECT_EQ(ReadInteger(s), 77);
}

TEST(Stream, HugeLengthsFailOnMissingDataWithoutAllocating) {
    CStream s;
    WriteInteger(s, 2000000000);
    s.pos = 0;
    EXPECT_THROW(ReadString(s), StreamError);
    s.pos = 0;
    EXPECT_THROW(ReadCompressed(s), StreamError);
    s.pos = 0;
    EXPECT_THROW(ReadCount(s, 4), StreamError);
}

TEST(Stream, CompressedBlockRoundTripAndCorruption) {
    std::vector<uint8_t> payload(100000);
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = uint8_t(i * 7 % 251);
    CStream s;
    WriteCompressed(s, payload.data(), payload.size());
    s.pos = 0;
    CStream out = ReadCompressed(s);
    EXPECT_EQ(out.data, payload);
    EXPECT_EQ(out.pos, 0u);

    // Truncated zlib stream (missing end) and garbage both fail instead of looping.
    CStream cut;
    WriteStored(cut, s.data.data() + 4, (s.data.size() - 4) / 2);
    cut.pos = 0;
    EXPECT_THROW(ReadCompressed(cut), StreamError);
    CStream junk = Bytes({4, 0, 0, 0, 1, 2, 3, 4});
    EXPECT_THROW(ReadCompressed(junk), StreamError);
}

TEST(Stream, InflateBudgetIsSharedByNestedBlocks) {
    std::vector<uint8_t> zeros(1 << 20);
    CStream inner;
    WriteCompressed(inner, zeros.data(), zeros.size());
    CStream outer;
    WriteCompressed(outer, inner);
    outer.pos = 0;
    outer.budget = std::make_shared<InflateBudget>(InflateBudget{(1 << 20) / 2});
    CStream mid = ReadCompressed(outer);  // small: the inner block is compressed
    EXPECT_THROW(ReadCompressed(mid), StreamError);
}

TEST(Stream, StoredBlock) {
    CStream s = Bytes({3, 0, 0, 0, 9, 8, 7, 6});
    CStream out = ReadStored(s);
    EXPECT_EQ(out.data, (std::vector<uint8_t>{9, 8, 7}));
    EXPECT_EQ(s.pos, 7u);
}

TEST(Stream, Hex) {
    CStream s = Bytes({0x00, 0xAB, 0x7F});
    EXPECT_EQ(ToHex(s), "00AB7F");
    EXPECT_EQ(ToHex(CStream()), "");
    CStream t;
    FromHex(t, "aBcD1");  // odd digit ignored, either case
    EXPECT_EQ(t.data, (std::vector<uint8_t>{0xAB, 0xCD}));
    EXPECT_EQ(t.pos, 0u);
}

TEST(Stream, UnshiftFileAddsOffset) {
    std::vector<uint8_t> v(300, 0);
    CStream s(v);
    UnshiftFile(s);
    EXPECT_EQ(s.data[0], 0);
    EXPECT_EQ(s.data[5], 5);
    EXPECT_EQ(s.data[256], 0);
    EXPECT_EQ(s.data[299], 43);
    ShiftFile(s);
    EXPECT_EQ(s.data, v);
}

TEST(Stream, DescrambleTableIsAPermutationFixingZero) {
    for (int32_t seed : {0, 1, 27183, 123456789, -5, -1000000, INT32_MIN, INT32_MAX}) {
        DescrambleTables t = MakeDescrambleTable(seed);
        EXPECT_EQ(t.decode[0], 0) << seed;
        EXPECT_EQ(t.encode[0], 0) << seed;
        bool seen[256] = {};
        for (int i = 0; i < 256; ++i) {
            EXPECT_FALSE(seen[t.decode[i]]);
            seen[t.decode[i]] = true;
            EXPECT_EQ(t.decode[t.encode[i]], i);
        }
    }
}

TEST(Stream, DescrambleTableMatchesTheDefinition) {
    // Recompute E for seed 27183 step by step: a = 27183 rem 250 + 6 = 189, b = 108.
    uint8_t e[256];
    for (int i = 0; i < 256; ++i) e[i] = uint8_t(i);
    for (int i = 1; i <= 10000; ++i) {
        int j = (i * 189 + 108) % 254 + 1;
        std::swap(e[j], e[j + 1]);
    }
    DescrambleTables t = MakeDescrambleTable(27183);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(t.encode[i], e[i]);
}

TEST(Stream, ScrambleOperationsInvertTheDescrambling) {
    std::vector<uint8_t> plain(1000);
    for (size_t i = 0; i < plain.size(); ++i) plain[i] = uint8_t(i * 13 + 5);
    CStream s(plain);
    ScrambleShifted(s, 4242, 7, 0);
    EXPECT_EQ(s.data[6], plain[6]);  // before start: untouched
    DescrambleShifted(s, 4242, 7, 0);
    EXPECT_EQ(s.data, plain);
    ScrambleSubstitute(s, 27183, 5, 10);
    EXPECT_EQ(s.data[15], plain[15]);  // past the length: untouched
    DescrambleSubstitute(s, 27183, 5, 10);
    EXPECT_EQ(s.data, plain);
}

TEST(Stream, ShiftedDescramblingUsesAbsoluteOffsets) {
    // A zero byte decodes to 0 and then loses its absolute offset.
    CStream s(std::vector<uint8_t>(12, 0));
    DescrambleShifted(s, 99, 10, 0);
    EXPECT_EQ(s.data[9], 0);
    EXPECT_EQ(s.data[10], uint8_t(-10));
    EXPECT_EQ(s.data[11], uint8_t(-11));
}

TEST(Bitmap, StreamFormRoundTripAndOtherVersions) {
    CBitmap32 b(3, 2);
    for (size_t i = 0; i < b.pixels.size(); ++i) b.pixels[i] = 0x11223344u * uint32_t(i + 1);
    CStream s;
    WriteBitmap32(s, b);
    WriteBitmap32(s, CBitmap32());
    WriteInteger(s, 541);  // unknown version: missing image, nothing more read
    WriteInteger(s, 7);
    s.pos = 0;
    EXPECT_EQ(ReadBitmap32(s), b);
    EXPECT_FALSE(ReadBitmap32(s).exists);
    EXPECT_FALSE(ReadBitmap32(s).exists);
    EXPECT_EQ(ReadInteger(s), 7);
}

TEST(Bitmap, PixelBlockOfWrongSizeFails) {
    CStream s;
    WriteInteger(s, 540);
    WriteBoolean(s, true);
    WriteInteger(s, 4);
    WriteInteger(s, 4);
    std::vector<uint8_t> short_block(60);
    WriteCompressed(s, short_block.data(), short_block.size());
    s.pos = 0;
    EXPECT_THROW(ReadBitmap32(s), StreamError);
}

TEST(Bmp, EncodeDecodeRoundTrip) {
    CBitmap32 b(5, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            b.At(x, y) = 0xFF000000u | uint32_t(x * 40) << 16 | uint32_t(y * 90);
    auto file = EncodeBmp(b);
    EXPECT_EQ(DecodeBmp(file.data(), file.size()), b);
    CBitmap32 alpha = b;
    alpha.At(1, 1) = 0x20304050;
    auto file32 = EncodeBmp(alpha, true);
    EXPECT_EQ(DecodeBmp(file32.data(), file32.size()), alpha);
}

TEST(Bmp, BadFilesDecodeAsMissing) {
    CBitmap32 b(4, 4, 0xFF102030);
    auto file = EncodeBmp(b);
    std::vector<uint8_t> truncated(file.begin(), file.end() - 10);
    EXPECT_FALSE(DecodeBmp(truncated.data(), truncated.size()).exists);
    std::vector<uint8_t> garbage = {'B', 'M', 1, 2, 3};
    EXPECT_FALSE(DecodeBmp(garbage.data(), garbage.size()).exists);
    EXPECT_FALSE(DecodeBmp(nullptr, 0).exists);
}

TEST(Bmp, ReadBitmapPrimitive) {
    CBitmap32 b(2, 2, 0xFFABCDEF);
    CStream s;
    WriteBitmap(s, &b);
    WriteBitmap(s, nullptr);
    WriteBoolean(s, true);  // present, but the BMP inside does not decode
    uint8_t junk[] = {1, 2, 3};
    WriteCompressed(s, junk, 3);
    s.pos = 0;
    auto got = ReadBitmap(s);
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, b);
    EXPECT_FALSE(ReadBitmap(s));
    EXPECT_FALSE(ReadBitmap(s));
    EXPECT_EQ(s.Remaining(), 0u);
}

}  // namespace
}  // namespace tb

namespace tb {
namespace {

TEST(Stream, CompressedIntoNeedsTheExactSize) {
    std::vector<uint8_t> payload(1000, 7);
    CStream s;
    WriteCompressed(s, payload.data(), payload.size());
    std::vector<uint8_t> out(1000);
    for (size_t size : {999u, 1001u}) {
        std::vector<uint8_t> wrong(size);
        s.pos = 0;
        EXPECT_THROW(ReadCompressedInto(s, wrong.data(), size), StreamError) << size;
    }
    s.pos = 0;
    ReadCompressedInto(s, out.data(), out.size());
    EXPECT_EQ(out, payload);
    EXPECT_EQ(s.Remaining(), 0u);
}

}  // namespace
}  // namespace tb
