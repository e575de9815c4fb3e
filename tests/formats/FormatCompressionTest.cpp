// The decoders on hand-made packets: the documented packet forms, the Targa
// encoder, both LZW bit orders, inflate across split input, and a table of
// hostile blocks that must stop inside their buffers.

#include "LoaderCorpusSupport.h"
#include "formats/FormatCompression.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>
#include <zlib.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Decodes into a buffer with guard bytes behind the output space so a write
// past UnpackedSize shows up even without a sanitizer.
struct Decoded {
    Bytes out;
    bool raised = false;
    std::size_t consumed = 0;
};

Decoded run(TDecoder& decoder, const Bytes& packed, std::size_t unpacked, std::size_t unit = 1)
{
    Bytes space(unpacked * unit + 16, 0xEE);
    Decoded result;
    const std::uint8_t* source = packed.data();
    std::uint8_t* dest = space.data();
    try {
        decoder.Decode(source, dest, packed.size(), unpacked);
    } catch (const EGraphicCompression&) {
        result.raised = true;
    }
    for (std::size_t i = unpacked * unit; i < space.size(); ++i)
        EXPECT_EQ(space[i], 0xEE) << "write past the output at " << i;
    space.resize(std::min(decoder.Produced() * unit, unpacked * unit));
    result.out = space;
    result.consumed = decoder.Consumed();
    return result;
}

TEST(TargaRle, RunAndLiteralPackets)
{
    TTargaRLEDecoder decoder(24);
    Decoded d = run(decoder, {0x82, 1, 2, 3}, 3, 3);
    EXPECT_FALSE(d.raised);
    EXPECT_EQ(d.out, (Bytes{1, 2, 3, 1, 2, 3, 1, 2, 3}));

    d = run(decoder, {0x01, 1, 2, 3, 4, 5, 6}, 2, 3);
    EXPECT_EQ(d.out, (Bytes{1, 2, 3, 4, 5, 6}));
}

TEST(TargaRle, AdvancesSourceByWhatItUsed)
{
    TTargaRLEDecoder decoder(8);
    Bytes packed{0x81, 7, 0x00, 9, 0x85, 1};
    Bytes out(3);
    const std::uint8_t* source = packed.data();
    std::uint8_t* dest = out.data();
    decoder.Decode(source, dest, packed.size(), 3);
    EXPECT_EQ(source, packed.data() + 4);
    EXPECT_EQ(dest, out.data());  // Dest stays
    EXPECT_EQ(out, (Bytes{7, 7, 9}));
}

TEST(TargaRle, EncoderPacketsFollowTheNeighbourRule)
{
    TTargaRLEDecoder decoder(8);
    auto encode = [&](const Bytes& pixels) {
        Bytes out(decoder.EncodedCapacity(pixels.size()));
        std::size_t stored = 0;
        decoder.Encode(pixels.data(), out.data(), pixels.size(), stored);
        out.resize(stored);
        return out;
    };
    EXPECT_EQ(encode({'A', 'A', 'B'}), (Bytes{0x81, 'A', 0x00, 'B'}));
    EXPECT_EQ(encode({'A', 'B', 'B'}), (Bytes{0x00, 'A', 0x81, 'B'}));
    EXPECT_EQ(encode(Bytes(300, 'Q')), (Bytes{0xFF, 'Q', 0xFF, 'Q', 0xAB, 'Q'}));
    EXPECT_EQ(encode({'A', 'B', 'C'}), (Bytes{0x02, 'A', 'B', 'C'}));
}

TEST(TargaRle, EncodeDecodeRoundTripsEveryDepth)
{
    for (int depth : {8, 16, 24, 32}) {
        TTargaRLEDecoder decoder(depth);
        std::size_t b = decoder.BytesPerPixel();
        const std::size_t count = 517;
        Bytes pixels(count * b);
        for (std::size_t i = 0; i < count; ++i)
            for (std::size_t k = 0; k < b; ++k)
                pixels[i * b + k] = static_cast<std::uint8_t>((i / 7) % 3 == 0 ? 5 : (i * 31 + k) & 0xFF);
        Bytes packed(decoder.EncodedCapacity(count));
        std::size_t stored = 0;
        decoder.Encode(pixels.data(), packed.data(), count, stored);
        ASSERT_LE(stored, packed.size());
        packed.resize(stored);
        Decoded d = run(decoder, packed, count, b);
        EXPECT_FALSE(d.raised);
        EXPECT_EQ(d.out, pixels) << depth;
        EXPECT_EQ(d.consumed, stored);
    }
}

TEST(PackBits, PacketForms)
{
    TPackbitsRLEDecoder decoder;
    EXPECT_EQ(run(decoder, {0x80, 0xFE, 0x41}, 3).out, (Bytes{0x41, 0x41, 0x41}));
    EXPECT_EQ(run(decoder, {0x02, 1, 2, 3, 0xFF, 9}, 5).out, (Bytes{1, 2, 3, 9, 9}));
}

TEST(Pcx, PacketForms)
{
    TPCXRLEDecoder decoder;
    EXPECT_EQ(run(decoder, {0xC3, 0x20}, 3).out, (Bytes{0x20, 0x20, 0x20}));
    EXPECT_EQ(run(decoder, {0xC0, 0x55, 0xBF}, 1).out, (Bytes{0xBF}));
}

TEST(Sgi, EightAndSixteenBitRows)
{
    TSGIRLEDecoder eight(8);
    EXPECT_EQ(run(eight, {0x83, 1, 2, 3, 0x02, 7, 0x00, 0x05, 9}, 10).out, (Bytes{1, 2, 3, 7, 7}));

    TSGIRLEDecoder sixteen(16);
    Decoded d = run(sixteen, {0x00, 0x82, 0x12, 0x34, 0x56, 0x78, 0x00, 0x00, 0x00, 0x02, 1, 1}, 8);
    EXPECT_EQ(d.out, (Bytes{0x12, 0x34, 0x56, 0x78}));
    EXPECT_EQ(d.consumed, 8u);
}

TEST(Cut, SkipsLengthWordAndAdvancesPastZeroHeader)
{
    TCUTRLEDecoder decoder;
    Bytes packed{0x09, 0x00, 0x83, 4, 0x02, 5, 6, 0x00, 0xAA};
    Bytes out(8);
    const std::uint8_t* source = packed.data();
    std::uint8_t* dest = out.data();
    decoder.Decode(source, dest, packed.size(), out.size());
    EXPECT_EQ(source, packed.data() + 8);
    out.resize(decoder.Produced());
    EXPECT_EQ(out, (Bytes{4, 4, 4, 5, 6}));
}

TEST(Psp, PacketForms)
{
    TPSPRLEDecoder decoder;
    Decoded d = run(decoder, {0x80, 0x33}, 4);
    EXPECT_TRUE(d.out.empty());
    EXPECT_EQ(d.consumed, 2u);
    EXPECT_EQ(run(decoder, {0x02, 8, 9, 0x83, 1}, 5).out, (Bytes{8, 9, 1, 1, 1}));
}

TEST(Rla, PacketForms)
{
    TRLADecoder decoder;
    EXPECT_EQ(run(decoder, {0x00, 0x55}, 4).out, (Bytes{0x55}));
    EXPECT_EQ(run(decoder, {0xFF, 0x66}, 4).out, (Bytes{0x66}));
    EXPECT_EQ(run(decoder, {0xFE, 1, 2, 0x02, 3}, 5).out, (Bytes{1, 2, 3, 3, 3}));
}

using corpus::PackCodes;

TEST(TiffLzw, ClearLiteralsRepeatEnd)
{
    TTIFFLZWDecoder decoder;
    Bytes packed = PackCodes({{256, 9}, {65, 9}, {66, 9}, {258, 9}, {257, 9}}, true);
    Decoded d = run(decoder, packed, 10);
    EXPECT_FALSE(d.raised);
    EXPECT_EQ(d.out, (Bytes{'A', 'B', 'A', 'B'}));
}

TEST(TiffLzw, WidthGrowsOneCodeEarly)
{
    // 253 literals after A fill codes 258..510; the next free code is then
    // 511, so the code read after that is 10 bits wide.
    std::vector<std::pair<int, int>> codes{{256, 9}};
    Bytes expected;
    for (int i = 0; i < 254; ++i) {
        codes.push_back({i, 9});
        expected.push_back(static_cast<std::uint8_t>(i));
    }
    codes.push_back({258, 10});  // the string "0 1"
    expected.push_back(0);
    expected.push_back(1);
    codes.push_back({257, 10});
    TTIFFLZWDecoder decoder;
    Decoded d = run(decoder, PackCodes(codes, true), 1000);
    EXPECT_EQ(d.out, expected);
}

TEST(GifLzw, CodeSizeTwoGrowsAfterEntrySeven)
{
    // Clear 4, end 5; entries 6 and 7 come with 3-bit codes, then 4 bits.
    TGIFLZWDecoder decoder(2);
    Bytes packed = PackCodes({{4, 3}, {1, 3}, {2, 3}, {3, 3}, {0, 4}, {6, 4}, {5, 4}}, false);
    Decoded d = run(decoder, packed, 100);
    EXPECT_FALSE(d.raised);
    EXPECT_EQ(d.out, (Bytes{1, 2, 3, 0, 1, 2}));
}

TEST(GifLzw, RepeatCodeAndEndCodeDropped)
{
    TGIFLZWDecoder decoder(2);
    // 1, then code 6 (= next free): "1 1"; the end code is passed over.
    Bytes packed = PackCodes({{4, 3}, {1, 3}, {6, 3}, {5, 3}, {2, 4}}, false);
    Decoded d = run(decoder, packed, 4);
    EXPECT_EQ(d.out, (Bytes{1, 1, 1, 2}));
}

TEST(GifLzw, CodeSizeOutsideTwoToEightRaises)
{
    EXPECT_THROW(TGIFLZWDecoder(0), EGraphicCompression);
    EXPECT_THROW(TGIFLZWDecoder(1), EGraphicCompression);
    EXPECT_THROW(TGIFLZWDecoder(9), EGraphicCompression);
    EXPECT_NO_THROW(TGIFLZWDecoder(8));
}

TEST(GifLzw, FullTableTakesNoSelfReferringEntry)
{
    // Never clears: the table fills to 4095 and then repeats its last code
    // (the point where a replacing entry would refer to itself).
    std::vector<std::pair<int, int>> codes{{256, 9}};
    int width = 9;
    int nextFree = 258;
    codes.push_back({0, width});
    while (nextFree < 4096) {
        codes.push_back({nextFree, width});  // KwKwK: grows the string each time
        ++nextFree;
        if (nextFree == (1 << width) && width < 12) ++width;
    }
    for (int i = 0; i < 50; ++i) codes.push_back({4095, 12});
    TGIFLZWDecoder decoder(8);
    Bytes packed = PackCodes(codes, false);
    // 1 + (2 + 3 + ... + 3839) bytes, then 50 more copies of the longest string.
    const std::size_t expected = 1 + (3839u * 3840u / 2 - 1) + 50u * 3839u;
    const std::size_t capacity = expected + 1000;
    Bytes out(capacity);
    const std::uint8_t* source = packed.data();
    std::uint8_t* dest = out.data();
    EXPECT_NO_THROW(decoder.Decode(source, dest, packed.size(), capacity));
    EXPECT_EQ(decoder.Produced(), expected);
    EXPECT_EQ(out[expected - 1], 0);
}

TEST(Lz77, InflatesAcrossSplitInputWithoutReset)
{
    Bytes plain(5000);
    for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<std::uint8_t>(i * 7 / 3);
    uLongf size = compressBound(plain.size());
    Bytes packed(size);
    ASSERT_EQ(compress(packed.data(), &size, plain.data(), plain.size()), Z_OK);
    packed.resize(size);

    TLZ77Decoder decoder(Z_PARTIAL_FLUSH, false);
    decoder.DecodeInit();
    Bytes out(plain.size());
    std::uint8_t* dest = out.data();
    std::size_t half = packed.size() / 2;
    const std::uint8_t* source = packed.data();
    decoder.Decode(source, dest, half, out.size());
    EXPECT_EQ(decoder.ZLibResult(), Z_OK);
    EXPECT_EQ(source, packed.data() + half);
    decoder.Decode(source, dest, packed.size() - half, out.data() + out.size() - dest);
    EXPECT_EQ(decoder.ZLibResult(), Z_STREAM_END);
    EXPECT_EQ(out, plain);

    // After the end a further call changes nothing.
    std::uint8_t* before = dest;
    source = packed.data();
    decoder.Decode(source, dest, packed.size(), 10);
    EXPECT_EQ(dest, before);
    EXPECT_EQ(decoder.ZLibResult(), Z_STREAM_END);
    decoder.DecodeEnd();
}

// Loaders refuse pictures larger than MaxExpansion times their packed data:
// the densest packets each scheme has must stay within it, or valid files
// would be refused.
TEST(DensestPackets, StayWithinEachDecodersMaxExpansion)
{
    struct Case {
        const char* name;
        std::function<std::unique_ptr<TDecoder>()> make;
        Bytes packet;
        std::size_t unit;
        std::uint64_t maxExpansion;
    };
    const std::vector<Case> cases{
        {"targa 32-bit run",
         [] { return std::make_unique<TTargaRLEDecoder>(32); },
         {0xFF, 1, 2, 3, 4},
         4,
         TTargaRLEDecoder::MaxExpansion},
        {"targa 8-bit run",
         [] { return std::make_unique<TTargaRLEDecoder>(8); },
         {0xFF, 1},
         1,
         TTargaRLEDecoder::MaxExpansion},
        {"packbits run",
         [] { return std::make_unique<TPackbitsRLEDecoder>(); },
         {0x81, 7},
         1,
         TPackbitsRLEDecoder::MaxExpansion},
        {"pcx run", [] { return std::make_unique<TPCXRLEDecoder>(); }, {0xFF, 7}, 1, TPCXRLEDecoder::MaxExpansion},
        {"sgi 8-bit run",
         [] { return std::make_unique<TSGIRLEDecoder>(8); },
         {0x7F, 7},
         1,
         TSGIRLEDecoder::MaxExpansion},
        {"sgi 16-bit run",
         [] { return std::make_unique<TSGIRLEDecoder>(16); },
         {0x00, 0x7F, 7, 7},
         1,
         TSGIRLEDecoder::MaxExpansion},
        {"psp run", [] { return std::make_unique<TPSPRLEDecoder>(); }, {0xFF, 7}, 1, TPSPRLEDecoder::MaxExpansion},
        {"rla run", [] { return std::make_unique<TRLADecoder>(); }, {0x7F, 7}, 1, TRLADecoder::MaxExpansion},
    };
    for (const Case& c : cases) {
        Bytes packed;
        for (int i = 0; i < 100; ++i) packed.insert(packed.end(), c.packet.begin(), c.packet.end());
        auto decoder = c.make();
        const Decoded d = run(*decoder, packed, 100 * 512, c.unit);
        EXPECT_FALSE(d.raised) << c.name;
        EXPECT_EQ(d.consumed, packed.size()) << c.name;
        EXPECT_LE(d.out.size(), d.consumed * c.maxExpansion) << c.name;
    }
    // CUT rows: a length word, runs of 127, the zero header.
    Bytes row = {0, 0};
    for (int i = 0; i < 100; ++i) row.insert(row.end(), {0xFF, 7});
    row.push_back(0);
    TCUTRLEDecoder cut;
    EXPECT_LE(run(cut, row, 100 * 127).out.size(), row.size() * TCUTRLEDecoder::MaxExpansion);
    // Deflate of one repeated byte, zlib's densest.
    const Bytes zeros(1 << 22, 0);
    uLongf size = compressBound(zeros.size());
    Bytes packed(size);
    ASSERT_EQ(compress2(packed.data(), &size, zeros.data(), zeros.size(), 9), Z_OK);
    EXPECT_LE(zeros.size(), size * TLZ77Decoder::MaxExpansion);
}

TEST(Lz77, BadDataReportedNotRaised)
{
    TLZ77Decoder decoder(Z_PARTIAL_FLUSH, false);
    decoder.DecodeInit();
    Bytes junk{0x78, 0x9C, 0xFF, 0xFF, 0xFF, 0xFF};
    Bytes out(64);
    const std::uint8_t* source = junk.data();
    std::uint8_t* dest = out.data();
    EXPECT_NO_THROW(decoder.Decode(source, dest, junk.size(), out.size()));
    EXPECT_LT(decoder.ZLibResult(), 0);
    decoder.DecodeEnd();
}

// Every member, fed blocks that lie about their sizes: each must stop inside
// both buffers; a packet that runs past either one raises.
TEST(HostileBlocks, NoMemberLeavesItsBuffers)
{
    struct Case {
        const char* name;
        std::function<std::unique_ptr<TDecoder>()> make;
        Bytes packed;
        std::size_t unpacked;
        std::size_t unit;
        bool raises;
    };
    auto targa = [] { return std::make_unique<TTargaRLEDecoder>(24); };
    auto packbits = [] { return std::make_unique<TPackbitsRLEDecoder>(); };
    auto pcx = [] { return std::make_unique<TPCXRLEDecoder>(); };
    auto sgi8 = [] { return std::make_unique<TSGIRLEDecoder>(8); };
    auto sgi16 = [] { return std::make_unique<TSGIRLEDecoder>(16); };
    auto cut = [] { return std::make_unique<TCUTRLEDecoder>(); };
    auto psp = [] { return std::make_unique<TPSPRLEDecoder>(); };
    auto rla = [] { return std::make_unique<TRLADecoder>(); };
    auto gif = [] { return std::make_unique<TGIFLZWDecoder>(2); };
    auto tiff = [] { return std::make_unique<TTIFFLZWDecoder>(); };
    const std::vector<Case> cases{
        {"targa run past row", targa, {0xFF, 1, 2, 3}, 4, 3, true},
        {"targa literal past row", targa, {0x7F, 1, 2, 3, 4, 5, 6}, 1, 3, true},
        {"targa literal past input", targa, {0x05, 1, 2, 3}, 10, 3, true},
        {"targa run pixel cut", targa, {0x85, 1}, 10, 3, true},
        {"targa input ends between packets", targa, {0x80, 1, 2, 3}, 10, 3, false},
        {"packbits run past row", packbits, {0x81, 7}, 4, 1, true},
        {"packbits literal past input", packbits, {0x7F, 1, 2}, 200, 1, true},
        {"packbits literal past row", packbits, {0x05, 1, 2, 3, 4, 5, 6}, 3, 1, true},
        {"pcx run past buffer", pcx, {0xFF, 9}, 10, 1, true},
        {"pcx run byte missing", pcx, {0xC5}, 10, 1, true},
        {"sgi8 run past row", sgi8, {0x7F, 1}, 10, 1, true},
        {"sgi8 literal past input", sgi8, {0xFF, 1, 2}, 200, 1, true},
        {"sgi8 no terminator", sgi8, {0x02, 1}, 10, 1, false},
        {"sgi16 literal past row", sgi16, {0x00, 0x84, 1, 2, 3, 4, 5, 6, 7, 8}, 4, 1, true},
        {"sgi16 header cut", sgi16, {0x00}, 4, 1, true},
        {"cut length word cut", cut, {0x01}, 4, 1, true},
        {"cut run past row", cut, {0, 0, 0xFF, 3}, 4, 1, true},
        {"psp literal past input", psp, {0x7F, 1}, 500, 1, true},
        {"psp run past row", psp, {0xFF, 1}, 4, 1, true},
        {"rla run past row", rla, {0x7F, 1}, 4, 1, true},
        {"rla literal past input", rla, {0x80, 1}, 500, 1, true},
        {"gif string past output", gif, PackCodes({{4, 3}, {1, 3}, {6, 3}}, false), 2, 1, true},
        {"gif only garbage codes", gif, {0xFF, 0xFF, 0xFF}, 8, 1, false},
        {"tiff string past output", tiff, PackCodes({{256, 9}, {65, 9}, {258, 9}}, true), 2, 1, true},
        {"tiff empty", tiff, {}, 8, 1, false},
    };
    for (const Case& c : cases) {
        auto decoder = c.make();
        Decoded d = run(*decoder, c.packed, c.unpacked, c.unit);
        EXPECT_EQ(d.raised, c.raises) << c.name;
        EXPECT_LE(d.consumed, c.packed.size()) << c.name;
    }
}

}  // namespace
