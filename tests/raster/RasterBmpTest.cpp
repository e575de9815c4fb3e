// BMP files: pictures made by ImageMagick compared pixel for pixel with its
// own decode, round trips through our writer, the exact layout we write, and
// a table of hostile files that must each raise the reader's error.

#include "raster/RasterFiles.h"
#include "RasterFileTestHelpers.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace filetest;

namespace {

class ImageMagickBmp : public ::testing::TestWithParam<std::pair<std::string, std::string>> {};

TEST_P(ImageMagickBmp, MatchesImageMagickDecode)
{
    if (!HaveTool("convert")) GTEST_SKIP() << "ImageMagick is not installed";
    TempDir dir;
    const auto& [name, args] = GetParam();
    ASSERT_TRUE(RunQuiet("convert -size 37x23 -seed 7 plasma: " + (dir / "src.png")));
    const std::string bmp = dir / (name + ".bmp");
    ASSERT_TRUE(RunQuiet("convert " + (dir / "src.png") + " " + args + bmp));
    ASSERT_TRUE(RunQuiet("convert " + bmp + " -depth 8 ppm:" + (dir / "ref.ppm")));
    TRasterDIB dib;
    ReadBmpFile(dib, bmp);
    const Pnm ref = readPnm(dir / "ref.ppm");
    ASSERT_EQ(dib.Header.Width, 37);
    ASSERT_EQ(dib.AbsHeight, 23);
    EXPECT_EQ(countDifferences(dib, ref), 0) << name;
}

INSTANTIATE_TEST_SUITE_P(Files, ImageMagickBmp, ::testing::ValuesIn(MagickBmpCases),
                         [](const auto& info) { return info.param.first; });

// A V5 file turned into a V4 one (108-byte header): the palette and pixels
// must be found at 14 + header size and at the data offset.
TEST(BmpReader, ReadsV4HeaderAndNetpbmAgrees)
{
    if (!HaveTool("convert") || !HaveTool("bmptopnm")) GTEST_SKIP() << "tools missing";
    TempDir dir;
    ASSERT_TRUE(RunQuiet("convert -size 19x11 -seed 3 plasma: -define bmp:subtype=RGB565 BMP:" + (dir / "v5.bmp")));
    std::vector<std::uint8_t> v5 = ReadFileBytes(dir / "v5.bmp");
    ASSERT_EQ(get32(v5, 14), 124u);
    std::vector<std::uint8_t> v4(v5.begin(), v5.begin() + 14 + 108);
    v4.insert(v4.end(), v5.begin() + 14 + 124, v5.end());
    put32(v4, 14, 108);
    put32(v4, 10, get32(v5, 10) - 16);
    put32(v4, 2, std::uint32_t(v4.size()));
    WriteFileBytes(dir / "v4.bmp", v4);
    ASSERT_TRUE(RunQuiet("convert " + (dir / "v5.bmp") + " -depth 8 ppm:" + (dir / "ref.ppm")));
    auto dib = bmpFromBytes(v4);
    EXPECT_EQ(dib->Header.BitCount, 16);
    EXPECT_EQ(dib->GreenBits, 6);
    EXPECT_EQ(countDifferences(*dib, readPnm(dir / "ref.ppm")), 0);

    // netpbm as a second, independent decoder of a plain file.
    ASSERT_TRUE(RunQuiet("convert -size 19x11 -seed 3 plasma: -colors 50 -compress none BMP3:" + (dir / "p8.bmp")));
    ASSERT_TRUE(RunQuiet("bmptopnm " + (dir / "p8.bmp") + " > " + (dir / "p8.ppm")));
    TRasterDIB p8;
    ReadBmpFile(p8, dir / "p8.bmp");
    EXPECT_EQ(countDifferences(p8, readPnm(dir / "p8.ppm")), 0);
}

// Masks in another order than blue-green-red from the low bits (written by
// hand, as some tools do) unpack into 24-bit pixels that ImageMagick agrees with.
TEST(BmpReader, ReordersUnusualBitFieldMasks)
{
    if (!HaveTool("convert")) GTEST_SKIP() << "ImageMagick is not installed";
    TempDir dir;
    struct Case {
        int bits;
        std::uint32_t red, green, blue;
    };
    for (const Case c :
         {Case{32, 0xFF, 0xFF00, 0xFF0000}, Case{16, 0x1F, 0x3E0, 0x7C00}, Case{32, 0xFFC00000, 0x3FF000, 0xFFC}}) {
        SCOPED_TRACE(c.bits);
        const int w = 5, h = 3, stride = (w * c.bits + 31) / 32 * 4;
        std::vector<std::uint8_t> f(14 + 40 + 12, 0);
        f[0] = 'B';
        f[1] = 'M';
        put32(f, 10, std::uint32_t(f.size()));
        put32(f, 14, 40);
        put32(f, 18, w);
        put32(f, 22, h);
        f[26] = 1;
        f[28] = std::uint8_t(c.bits);
        put32(f, 30, 3);
        put32(f, 54, c.red);
        put32(f, 58, c.green);
        put32(f, 62, c.blue);
        for (int y = 0; y < h; ++y) {
            std::vector<std::uint8_t> row(std::size_t(stride), 0);
            for (int x = 0; x < w; ++x) {
                const std::uint32_t v = (x * 0x01234567u + y * 0x89ABCDEFu) * 2654435761u;
                for (int k = 0; k < c.bits / 8; ++k) row[std::size_t(x * c.bits / 8 + k)] = std::uint8_t(v >> (8 * k));
            }
            f.insert(f.end(), row.begin(), row.end());
        }
        put32(f, 2, std::uint32_t(f.size()));
        put32(f, 34, std::uint32_t(stride * h));
        WriteFileBytes(dir / "m.bmp", f);
        ASSERT_TRUE(RunQuiet("convert " + (dir / "m.bmp") + " -depth 8 ppm:" + (dir / "m.ppm")));
        TRasterDIB dib;
        ReadBmpFile(dib, dir / "m.bmp");
        EXPECT_EQ(dib.Header.BitCount, 24);
        EXPECT_EQ(countDifferences(dib, readPnm(dir / "m.ppm"), 1), 0);
    }
}

// Our writer, then ImageMagick reading what we wrote, at every depth and both row orders.
TEST(BmpWriter, RoundTripsEveryDepthAndImageMagickReadsIt)
{
    const bool magick = HaveTool("convert");
    TempDir dir;
    struct Case {
        int bits, red, green, blue;
    };
    const Case cases[] = {{1, 0, 0, 0},  {4, 0, 0, 0},  {8, 0, 0, 0},  {16, 0, 0, 0},
                          {16, 5, 6, 5}, {24, 0, 0, 0}, {32, 0, 0, 0}, {32, 8, 8, 8}};
    for (const Case& c : cases)
        for (int sign : {1, -1}) {
            SCOPED_TRACE(std::to_string(c.bits) + " bits, " + std::to_string(c.green) + " green, sign " +
                         std::to_string(sign));
            TRasterDIB dib;
            dib.UseGDI = false;
            dib.SetSizeEx(13, 7 * sign, c.bits, c.red, c.green, c.blue);
            if (c.bits <= 8)
                for (int i = 0; i < (1 << c.bits); ++i)
                    dib.Colors[i] = RGBQUAD{std::uint8_t(i * 37), std::uint8_t(255 - i * 11), std::uint8_t(i * 5), 0};
            for (int y = 0; y < 7; ++y)
                for (int x = 0; x < 13; ++x) {
                    if (c.bits <= 8)
                        dib.SetPixelIndex(y, x, (x * 3 + y * 5) % (1 << c.bits));
                    else
                        dib.SetPixelColor(
                            y, x, TColorTriple{std::uint8_t(x * 19), std::uint8_t(y * 36), std::uint8_t(x * y * 3)});
                }
            const std::string file = dir / "rt.bmp";
            WriteBmpFile(dib, file);
            TRasterDIB back;
            ReadBmpFile(back, file);
            EXPECT_EQ(back.Header.Width, 13);
            EXPECT_EQ(back.Header.Height, 7 * sign);
            EXPECT_EQ(back.Header.BitCount, c.bits);
            EXPECT_EQ(back.Header.Compression, dib.Header.Compression);
            ASSERT_EQ(back.Header.ImageSize, dib.Header.ImageSize);
            EXPECT_EQ(std::memcmp(back.Bits, dib.Bits, dib.Header.ImageSize), 0);
            if (c.bits <= 8) {
                EXPECT_EQ(std::memcmp(back.Colors, dib.Colors, 4u << c.bits), 0);
            }
            if (magick) {
                ASSERT_TRUE(RunQuiet("convert " + file + " -depth 8 ppm:" + (dir / "rt.ppm")));
                EXPECT_EQ(countDifferences(dib, readPnm(dir / "rt.ppm")), 0);
            }
        }
}

TEST(BmpWriter, WritesTheDocumentedLayout)
{
    TRasterDIB one;
    one.UseGDI = false;
    one.SetSize(1, 1, 24);
    TMemoryStream s1;
    WriteBmpStream(one, s1);
    const auto& b1 = s1.Bytes();
    ASSERT_EQ(b1.size(), 58u);
    EXPECT_EQ(get32(b1, 2), 58u);
    EXPECT_EQ(get32(b1, 10), 54u);
    EXPECT_EQ(get32(b1, 14), 40u);

    TRasterDIB pal;
    pal.UseGDI = false;
    pal.SetSize(4, 2, 8);
    TMemoryStream s2;
    WriteBmpStream(pal, s2);
    EXPECT_EQ(get32(s2.Bytes(), 10), 1078u);
    EXPECT_EQ(s2.Bytes().size(), 1078u + 8);

    TRasterDIB fields;
    fields.UseGDI = false;
    fields.SetSizeEx(2, 2, 16, 5, 6, 5);
    TMemoryStream s3;
    WriteBmpStream(fields, s3);
    EXPECT_EQ(get32(s3.Bytes(), 10), 54u + 12);
    EXPECT_EQ(get32(s3.Bytes(), 54), 0xF800u);

    TRasterDIB topDown;
    topDown.UseGDI = false;
    topDown.SetSize(3, -2, 24);
    TMemoryStream s4;
    WriteBmpStream(topDown, s4);
    EXPECT_EQ(std::int32_t(get32(s4.Bytes(), 22)), -2);
}

TEST(BmpReader, ShortPixelDataLeavesMissingRowsUntouched)
{
    TRasterDIB dib;
    dib.UseGDI = false;
    dib.SetSize(4, 3, 24);
    dib.Clear(TColorTriple{10, 20, 30});
    TMemoryStream s;
    WriteBmpStream(dib, s);
    std::vector<std::uint8_t> bytes = s.Bytes();
    bytes.resize(54 + 12);  // the first (bottom) row only
    auto back = bmpFromBytes(bytes);
    TColorTriple t;
    back->GetPixelColor(0, 3, t);
    EXPECT_EQ(t, (TColorTriple{10, 20, 30}));
    back->GetPixelColor(2, 0, t);
    EXPECT_EQ(t, BlackTriple);
}

// --- RLE ---------------------------------------------------------------------

std::vector<std::uint8_t> rleFile(int bits, int width, int height, const std::vector<std::uint8_t>& data)
{
    std::vector<std::uint8_t> f(54 + (4u << bits), 0);
    f[0] = 'B';
    f[1] = 'M';
    put32(f, 10, std::uint32_t(f.size()));
    put32(f, 14, 40);
    put32(f, 18, std::uint32_t(width));
    put32(f, 22, std::uint32_t(height));
    f[26] = 1;
    f[28] = std::uint8_t(bits);
    put32(f, 30, bits == 8 ? 1 : 2);
    for (int i = 0; i < (1 << bits); ++i) {
        f[54 + 4 * i] = std::uint8_t(i);
        f[55 + 4 * i] = std::uint8_t(i * 2);
        f[56 + 4 * i] = std::uint8_t(255 - i);
    }
    f.insert(f.end(), data.begin(), data.end());
    put32(f, 2, std::uint32_t(f.size()));
    return f;
}

// The mode the picture registry reads with: what the file cuts short is an
// error, found before the buffer is allocated; the default keeps going.
TEST(BmpReader, RefuseModeRaisesForCutShortDataBeforeAllocating)
{
    TRasterDIB dib;
    dib.UseGDI = false;
    dib.SetSize(4, 3, 8);
    TMemoryStream s;
    WriteBmpStream(dib, s);
    const std::vector<std::uint8_t> whole = s.Bytes();
    std::vector<std::uint8_t> shortPixels(whole.begin(), whole.end() - 1);
    std::vector<std::uint8_t> shortTable(whole.begin(), whole.begin() + 54 + 100);
    // 16384 x 16384 pixels from four bytes of run-length data.
    std::vector<std::uint8_t> hugeRle = rleFile(8, 1 << 14, 1 << 14, {0, 0, 0, 1});
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        const char* message;
    } cases[] = {
        {"pixels", shortPixels, "Invalid BMP file: the pixel data is cut short"},
        {"colour table", shortTable, "Invalid BMP file: the colour table is cut short"},
        {"run-length", hugeRle, "Invalid BMP file: the run-length data cannot fill the picture"},
    };
    for (const Case& c : cases) {
        TRasterDIB refused;
        refused.UseGDI = false;
        TByteViewStream strict(c.bytes.data(), c.bytes.size());
        try {
            ReadBmpStream(refused, strict, TBmpShortData::Refuse);
            ADD_FAILURE() << c.name;
        } catch (const EBmpError& e) {
            EXPECT_EQ(e.Message, c.message) << c.name;
        }
        EXPECT_EQ(refused.Bits, nullptr) << c.name;
    }
    // Run-length data that stops before its end code and before the last
    // row is cut short too; by default it keeps the rows it reached.
    const std::vector<std::uint8_t> noEnd = rleFile(8, 4, 2, {4, 1, 0, 0});
    TByteViewStream cutRuns(noEnd.data(), noEnd.size());
    TRasterDIB refused;
    refused.UseGDI = false;
    EXPECT_THROW(ReadBmpStream(refused, cutRuns, TBmpShortData::Refuse), EBmpError);
    EXPECT_EQ(bmpFromBytes(noEnd)->Width(), 4);
    // By default a short file keeps going.
    EXPECT_EQ(bmpFromBytes(shortPixels)->Width(), 4);
    TByteViewStream strict(whole.data(), whole.size());
    TRasterDIB complete;
    complete.UseGDI = false;
    ReadBmpStream(complete, strict, TBmpShortData::Refuse);
    EXPECT_EQ(complete.Width(), 4);
}

TEST(BmpReader, DecodesRle8RunsLiteralsAndDeltas)
{
    // Row 0: run of 3 x 7, literal 1 2 3 (padded); row 1: delta (2, 0), run 2 x 9; end.
    const std::vector<std::uint8_t> data = {3, 7, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 2, 0, 2, 9, 0, 1};
    auto dib = bmpFromBytes(rleFile(8, 6, 3, data));
    const int expected[3][6] = {{7, 7, 7, 1, 2, 3}, {0, 0, 9, 9, 0, 0}, {0, 0, 0, 0, 0, 0}};
    for (int r = 0; r < 3; ++r)
        for (int x = 0; x < 6; ++x) EXPECT_EQ(dib->GetPixelIndex(r, x), expected[r][x]) << r << "," << x;
}

TEST(BmpReader, DecodesRle4NibblesFromAnyParity)
{
    // Row 0: literal of 3 nibbles 1 2 3 (2 bytes), run of 3 alternating 4,5 from odd x.
    const std::vector<std::uint8_t> data = {0, 3, 0x12, 0x30, 3, 0x45, 0, 0, 2, 0xAB, 0, 1};
    auto dib = bmpFromBytes(rleFile(4, 7, 2, data));
    const int row0[7] = {1, 2, 3, 4, 5, 4, 0};
    for (int x = 0; x < 7; ++x) EXPECT_EQ(dib->GetPixelIndex(0, x), row0[x]) << x;
    EXPECT_EQ(dib->GetPixelIndex(1, 0), 0xA);
    EXPECT_EQ(dib->GetPixelIndex(1, 1), 0xB);
    EXPECT_EQ(dib->GetPixelIndex(1, 2), 0);
}

// A plain run-length encoder for test pictures: runs of three or more equal
// pixels, literal groups otherwise, short leftovers as one- or two-pixel runs.
std::vector<std::uint8_t> encodeRle(const std::vector<std::vector<int>>& rows, bool nibbles)
{
    std::vector<std::uint8_t> out;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const std::vector<int>& p = rows[r];
        const int w = int(p.size());
        int x = 0;
        auto runLength = [&](int at) {
            int n = 1;
            while (at + n < w && p[std::size_t(at + n)] == p[std::size_t(at)] && n < 255) ++n;
            return n;
        };
        while (x < w) {
            int n = runLength(x);
            if (n >= 3) {
                out.push_back(std::uint8_t(n));
                out.push_back(std::uint8_t(nibbles ? (p[std::size_t(x)] << 4 | p[std::size_t(x)]) : p[std::size_t(x)]));
                x += n;
                continue;
            }
            int end = x;
            while (end < w && runLength(end) < 3 && end - x < 254) ++end;
            int count = end - x;
            if (count < 3) {
                for (int i = 0; i < count; i += nibbles ? 2 : 1) {
                    const int k = nibbles ? std::min(2, count - i) : 1;
                    out.push_back(std::uint8_t(k));
                    const int a = p[std::size_t(x + i)], b = k == 2 ? p[std::size_t(x + i + 1)] : 0;
                    out.push_back(std::uint8_t(nibbles ? (a << 4 | b) : a));
                }
            } else {
                out.push_back(0);
                out.push_back(std::uint8_t(count));
                std::size_t bytes = 0;
                for (int i = 0; i < count; i += nibbles ? 2 : 1, ++bytes) {
                    const int a = p[std::size_t(x + i)];
                    const int b = nibbles && i + 1 < count ? p[std::size_t(x + i + 1)] : 0;
                    out.push_back(std::uint8_t(nibbles ? (a << 4 | b) : a));
                }
                if (bytes & 1) out.push_back(0);
            }
            x = end;
        }
        out.push_back(0);
        out.push_back(r + 1 == rows.size() ? 1 : 0);
    }
    return out;
}

TEST(BmpReader, RunLengthFilesMatchImageMagick)
{
    if (!HaveTool("convert")) GTEST_SKIP() << "ImageMagick is not installed";
    TempDir dir;
    for (int bits : {4, 8}) {
        SCOPED_TRACE(bits);
        const int w = 45, h = 9;
        std::vector<std::vector<int>> rows(h, std::vector<int>(w));
        std::uint32_t seed = 99;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                seed = seed * 1103515245u + 12345u;
                // Stretches of flat colour among noise, so both runs and literals occur.
                rows[std::size_t(y)][std::size_t(x)] =
                    (x / 7 + y) % 3 == 0 ? (y * 5) % (1 << bits) : int(seed >> 16) % (1 << bits);
            }
        WriteFileBytes(dir / "r.bmp", rleFile(bits, w, h, encodeRle(rows, bits == 4)));
        ASSERT_TRUE(RunQuiet("convert " + (dir / "r.bmp") + " -depth 8 ppm:" + (dir / "r.ppm")));
        TRasterDIB dib;
        ReadBmpFile(dib, dir / "r.bmp");
        EXPECT_EQ(countDifferences(dib, readPnm(dir / "r.ppm")), 0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(dib.GetPixelIndex(y, x), rows[std::size_t(y)][std::size_t(x)]) << x << "," << y;
    }
}

// --- hostile files ------------------------------------------------------------

std::vector<std::uint8_t> validBmp()
{
    TRasterDIB dib;
    dib.UseGDI = false;
    dib.SetSize(8, 4, 8);
    TMemoryStream s;
    WriteBmpStream(dib, s);
    return s.Bytes();
}

struct Hostile {
    const char* name;
    std::vector<std::uint8_t> bytes;
};

std::vector<Hostile> hostileFiles()
{
    std::vector<Hostile> list;
    auto edit = [&](const char* name, auto change) {
        std::vector<std::uint8_t> b = validBmp();
        change(b);
        list.push_back({name, b});
    };
    edit("truncated header", [](auto& b) { b.resize(30); });
    edit("truncated file header", [](auto& b) { b.resize(10); });
    edit("no signature", [](auto& b) { b[0] = 'X'; });
    edit("header size 64", [](auto& b) { put32(b, 14, 64); });
    edit("header size huge", [](auto& b) { put32(b, 14, 0x7FFFFFF0); });
    edit("zero width", [](auto& b) { put32(b, 18, 0); });
    edit("negative width", [](auto& b) { put32(b, 18, std::uint32_t(-5)); });
    edit("zero height", [](auto& b) { put32(b, 22, 0); });
    edit("huge size", [](auto& b) {
        put32(b, 18, 100000);
        put32(b, 22, 100000);
    });
    edit("most negative height", [](auto& b) { put32(b, 22, 0x80000000u); });
    edit("bit count 7", [](auto& b) { b[28] = 7; });
    edit("JPEG compression", [](auto& b) { put32(b, 30, 4); });
    edit("RLE8 at 24 bits", [](auto& b) {
        b[28] = 24;
        put32(b, 30, 1);
    });
    edit("colours used past 256", [](auto& b) { put32(b, 46, 5000); });
    edit("offset past the end", [](auto& b) { put32(b, 10, 1u << 30); });
    edit("offset inside the header", [](auto& b) { put32(b, 10, 20); });
    edit("overlapping masks", [](auto& b) {
        b[28] = 16;
        put32(b, 30, 3);
        put32(b, 54, 0xFFFF);
        put32(b, 58, 0x00FF);
        put32(b, 62, 0x000F);
    });
    list.push_back({"RLE run past the row", rleFile(8, 4, 2, {10, 1, 0, 1})});
    list.push_back({"RLE literal past the row", rleFile(8, 4, 2, {0, 6, 1, 2, 3, 4, 5, 6, 0, 1})});
    list.push_back({"RLE runs past the buffer", rleFile(8, 4, 2, {4, 1, 4, 1, 4, 1, 0, 1})});
    list.push_back({"RLE literal past the data", rleFile(8, 200, 2, {0, 100, 1, 2})});
    list.push_back({"RLE delta past the picture", rleFile(8, 4, 2, {0, 2, 0, 9, 1, 1, 0, 1})});
    list.push_back({"RLE delta past the row", rleFile(8, 4, 2, {0, 2, 200, 0, 1, 1, 0, 1})});
    list.push_back({"RLE4 run past the row", rleFile(4, 3, 1, {9, 0x11, 0, 1})});
    // Refused in every mode before the buffer is made: four bytes of runs
    // cannot fill 16384 x 16384 pixels.
    list.push_back({"RLE4 claiming a huge picture", rleFile(4, 1 << 14, 1 << 14, {0, 0, 0, 1})});
    {
        auto b = rleFile(8, 4, 2, {0, 1});
        put32(b, 22, std::uint32_t(-2));
        list.push_back({"top-down RLE", b});
    }
    return list;
}

TEST(BmpReader, HostileFilesRaiseTheReadersError)
{
    for (const Hostile& h : hostileFiles()) {
        SCOPED_TRACE(h.name);
        TempDir dir;
        WriteFileBytes(dir / "bad.bmp", h.bytes);
        TRasterDIB dib;
        try {
            ReadBmpFile(dib, dir / "bad.bmp");
            ADD_FAILURE() << "no error for " << h.name;
        } catch (const EBmpError& e) {
            EXPECT_EQ(e.Message.rfind("Invalid BMP file: ", 0), 0u) << e.Message;
        }
    }
}

TEST(BmpWriter, SaveToFileWritesTheSameBytesAndReportsFailure)
{
    TempDir dir;
    TRasterDIB dib;
    dib.SetSize(3, 2, 4);
    dib.SetPixelIndex(1, 2, 7);
    dib.SaveToFile(dir / "a.bmp");
    WriteBmpFile(dib, dir / "b.bmp");
    EXPECT_EQ(ReadFileBytes(dir / "a.bmp"), ReadFileBytes(dir / "b.bmp"));
    EXPECT_THROW(dib.SaveToFile(dir / "missing/a.bmp"), EStreamError);
}

TEST(BmpReader, MissingFileRaisesTheStreamError)
{
    TRasterDIB dib;
    EXPECT_THROW(ReadBmpFile(dib, "/nonexistent/folder/x.bmp"), EFOpenError);
    EXPECT_THROW(WriteBmpFile(dib, "/nonexistent/folder/x.bmp"), EFCreateError);
}

}  // namespace
