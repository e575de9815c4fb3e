// The CCITT and ThunderScan decoders on hand-made blocks: the documented
// cases, the codes of a block's last byte, resynchronisation after broken
// rows, and blocks that must stop inside their buffers. Where the format
// leaves a point open the expected rows are what libtiff's tifftopnm shows
// for the same data.

#include "LoaderCorpusSupport.h"
#include "formats/FormatCompressionTiff.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Rows written with the decoder's own code table; the table itself is
// checked against libtiff's files in the loader's corpus.
std::string code(std::uint32_t run, bool white) { return corpus::FaxRunBits(run, white); }

std::string row(std::initializer_list<std::uint32_t> runs)
{
    std::string bits;
    bool white = true;
    for (std::uint32_t run : runs) {
        bits += code(run, white);
        white = !white;
    }
    return bits;
}

const std::string EOL = "000000000001";

std::string alignTo(std::string bits, std::size_t multiple)
{
    while (bits.size() % multiple) bits += '0';
    return bits;
}

Bytes pack(const std::string& bits) { return corpus::PackBitString(bits); }

// Decodes into a buffer with guard bytes behind the output space.
Bytes decode(TDecoder& decoder, Bytes packed, std::size_t unpacked)
{
    Bytes space(unpacked + 16, 0xEE);
    const std::uint8_t* source = packed.data();
    std::uint8_t* dest = space.data();
    decoder.Decode(source, dest, packed.size(), unpacked);
    EXPECT_EQ(source, packed.data());
    for (std::size_t i = unpacked; i < space.size(); ++i) EXPECT_EQ(space[i], 0xEE) << "write past the output at " << i;
    space.resize(unpacked);
    return space;
}

TEST(CCITTDecoders, RowsOfTheFormat)
{
    TCCITTFax3Decoder fax3(0, false, 8);
    EXPECT_EQ(decode(fax3, pack(EOL + row({2, 6}) + EOL), 1), Bytes{0x3F});
    // Make-up 64 and terminating 0 are one white run of 64.
    TCCITTFax3Decoder wide(0, false, 72);
    EXPECT_EQ(decode(wide, pack(EOL + "11011" + "00110101" + code(8, false)), 9),
              (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0xFF}));
    // Runs past the extended make-up codes: 2560 + 2560 + 100 white, 7 black.
    TCCITTFax3Decoder widest(0, false, 5227);
    Bytes rows = decode(widest, pack(EOL + row({5220, 7})), 654);
    EXPECT_EQ(rows[652], 0x0F);
    EXPECT_EQ(rows[653], 0xE0);

    // Modified Huffman rows of 12 pixels start on byte boundaries, in the
    // block and in Dest; the second byte of a row keeps its low bits clear.
    TCCITTMHDecoder mh(0, false, false, 12);
    EXPECT_EQ(decode(mh, pack(alignTo(row({0, 12}), 8) + alignTo(row({4, 8}), 8)), 4), (Bytes{0xFF, 0xF0, 0x0F, 0xF0}));
    // Word-aligned rows start on 16-bit boundaries of the block.
    TCCITTMHDecoder words(0, false, true, 12);
    EXPECT_EQ(decode(words, pack(alignTo(row({0, 12}), 16) + alignTo(row({12}), 16) + alignTo(row({4, 8}), 16)), 6),
              (Bytes{0xFF, 0xF0, 0, 0, 0x0F, 0xF0}));
}

TEST(CCITTDecoders, FillOrderReversesTheCallersBlockInPlace)
{
    Bytes packed = pack(EOL + row({2, 6}) + EOL);
    Bytes reversed = packed;
    for (auto& b : reversed) {
        std::uint8_t r = 0;
        for (int i = 0; i < 8; ++i) r = static_cast<std::uint8_t>(r | ((b >> i) & 1) << (7 - i));
        b = r;
    }
    Bytes original = reversed;
    TCCITTFax3Decoder decoder(0, true, 8);
    const std::uint8_t* source = reversed.data();
    std::uint8_t out = 0xEE;
    std::uint8_t* dest = &out;
    decoder.Decode(source, dest, reversed.size(), 1);
    EXPECT_EQ(out, 0x3F);
    EXPECT_EQ(reversed, packed) << "the block is left bit-reversed";
    EXPECT_NE(reversed, original);
}

// Each case: the block, the rows libtiff's tifftopnm shows for it (8 pixels
// each, one byte per row).
struct Fax3Case {
    const char* name;
    std::string bits;
    Bytes rows;
};

TEST(CCITTDecoders, Group3ResynchronisesAsLibtiffDoes)
{
    const std::string r1 = row({2, 6}), r2 = row({8}), r3 = row({1, 3, 4});
    const Fax3Case cases[] = {
        // The last code ends on the block's last bit: the row is complete.
        {"last code on the last bit", EOL + r1 + EOL + r2 + EOL + r3, {0x3F, 0x00, 0x70}},
        // An end of line inside a row leaves the rest white; the next row
        // begins right after it.
        {"premature end of line", EOL + r1 + EOL + code(3, true) + EOL + r3 + EOL + r1, {0x3F, 0x00, 0x70, 0x3F}},
        // Two ends of line make a white row.
        {"double end of line", EOL + r1 + EOL + EOL + r3 + EOL + r1, {0x3F, 0x00, 0x70, 0x3F}},
        // An invalid code ends its row; the next row waits for an end of line.
        {"invalid code",
         EOL + r1 + EOL + code(3, true) + code(2, false) + "000000001" + "1111" + EOL + r3,
         {0x3F, 0x18, 0x70, 0}},
        // A run past the row's end is cut (libtiff blanks such a row); zeros
        // before an end of line are fill.
        {"long run and fill",
         EOL + r1 + EOL + code(3, true) + code(2368, false) + "0" + EOL + r3,
         {0x3F, 0x1F, 0x70, 0}},
        // The block ends inside row 3: what was decoded stays.
        {"truncated", EOL + r1 + EOL + r2 + EOL + code(1, true) + code(3, false), {0x3F, 0x00, 0x70, 0}},
        {"empty block", "", {0, 0, 0, 0}},
    };
    for (const Fax3Case& c : cases) {
        SCOPED_TRACE(c.name);
        TCCITTFax3Decoder decoder(0, false, 8);
        EXPECT_EQ(decode(decoder, pack(c.bits), c.rows.size()), c.rows);
    }
}

TEST(CCITTDecoders, ModifiedHuffmanKeepsTheLastByteAndStaysInside)
{
    // The last row's codes end in the block's last byte.
    TCCITTMHDecoder decoder(0, false, false, 12);
    EXPECT_EQ(decode(decoder, pack(alignTo(row({2, 6, 4}), 8) + row({1, 3, 8})), 4), (Bytes{0x3F, 0x00, 0x70, 0x00}));
    // Rows that overrun their width are cut; Dest smaller than a row, or
    // with a partial last row, is never passed.
    TCCITTMHDecoder overrun(0, false, false, 12);
    EXPECT_EQ(decode(overrun, pack(alignTo(row({5, 10, 3}), 8) + alignTo(row({0, 12}), 8)), 3),
              (Bytes{0x07, 0xF0, 0xFF}));
    TCCITTFax3Decoder wide(0, false, 2000);
    Bytes black = decode(wide, pack(EOL + row({0, 2000}) + EOL + row({0, 2000})), 300);
    EXPECT_EQ(black, Bytes(300, 0xFF));
}

TEST(ThunderDecoder, CodesOfTheFormat)
{
    struct Case {
        const char* name;
        std::uint32_t width;
        Bytes packed;
        Bytes rows;
    };
    const Case cases[] = {
        {"raw 5, run 2", 3, {0xC5, 0x02}, {0x55, 0x50}},
        {"2-bit deltas 1, -1, 0", 4, {0xC7, 0x5C}, {0x78, 0x77}},
        {"3-bit deltas 3 and none", 2, {0xC2, 0x9C}, {0x25}},
        // Rows as libtiff reads them: each starts from 0, samples past its
        // end are dropped, the next row takes the next code.
        {"rows", 5, {0xC5, 0x02, 0xC7, 0x5C, 0x9C, 0xC1, 0x01, 0x41}, {0x55, 0x57, 0x80, 0x31, 0x11, 0x10}},
        {"run over the row end", 3, {0xC5, 0x05, 0xC9}, {0x55, 0x50, 0x90, 0x00}},
        {"truncated", 4, {0xC3}, {0x30, 0x00, 0x00, 0x00}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TThunderDecoder decoder(c.width);
        Bytes out(c.rows.size() + 16, 0xEE);
        std::fill(out.begin(), out.begin() + c.rows.size(), 0);
        const std::uint8_t* source = c.packed.data();
        std::uint8_t* dest = out.data();
        decoder.Decode(source, dest, c.packed.size(), c.rows.size());
        EXPECT_EQ(Bytes(out.begin(), out.begin() + c.rows.size()), c.rows);
        for (std::size_t i = c.rows.size(); i < out.size(); ++i) EXPECT_EQ(out[i], 0xEE) << i;
    }
}

}  // namespace
