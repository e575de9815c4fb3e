// TIFF and EPS loaders: files from tiffcp, ImageMagick and netpbm in every
// compression, byte order, depth and photometric the loader reads, decoded
// equal to libtiff's decode (tifftopnm, through tiff2rgba where tifftopnm
// has no YCbCr) or ImageMagick's; files of our own for the layouts no tool
// writes (modified Huffman before tiffcp re-encodes it, ThunderScan,
// subsampled YCbCr); and a table of hostile files.
//
// Differences by design: palette entries are scaled to 8 bits by
// truncation, so maps that are not multiples of 257 may differ by one from
// the tools, which round (the corpus uses exact maps); YCbCr is converted
// with our own tables (within one of libtiff); a run that ends exactly at a
// ThunderScan row's end is written (libtiff leaves those pixels undefined).

#include "formats/FormatCompressionTiff.h"
#include "formats/ImageFormatsTiff.h"
#include "LoaderCorpusSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <numeric>
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

using namespace corpus;

namespace {

// A TIFF file built tag by tag: strips first, then arrays, then the
// directory. StripOffsets and StripByteCounts are filled in unless set.
struct TiffFile {
    bool bigEndian = false;
    std::map<std::uint16_t, std::pair<std::uint16_t, std::vector<std::uint32_t>>> tags;
    std::vector<Bytes> strips;
    bool lastStripAtEnd = false;  // the last strip ends the file, after the directory

    TiffFile& tag(std::uint16_t t, std::uint16_t type, std::vector<std::uint32_t> values)
    {
        tags[t] = {type, std::move(values)};
        return *this;
    }

    Bytes build() const
    {
        Bytes out{static_cast<std::uint8_t>(bigEndian ? 'M' : 'I'), static_cast<std::uint8_t>(bigEndian ? 'M' : 'I')};
        auto put = [&](Bytes& to, std::uint32_t v, int size) {
            for (int i = 0; i < size; ++i)
                to.push_back(static_cast<std::uint8_t>(v >> (8 * (bigEndian ? size - 1 - i : i))));
        };
        put(out, 42, 2);
        put(out, 0, 4);  // the directory offset, set at the end
        auto all = tags;
        std::vector<std::uint32_t> offsets, counts;
        for (std::size_t i = 0; i < strips.size(); ++i) {
            offsets.push_back(static_cast<std::uint32_t>(out.size()));
            counts.push_back(static_cast<std::uint32_t>(strips[i].size()));
            if (!lastStripAtEnd || i + 1 < strips.size()) out.insert(out.end(), strips[i].begin(), strips[i].end());
        }
        all.try_emplace(273, std::pair{std::uint16_t(4), offsets});
        all.try_emplace(279, std::pair{std::uint16_t(4), counts});
        // Arrays go before the directory; the last strip may follow it.
        std::size_t arrays = 0;
        for (const auto& [t, typed] : all) {
            const std::size_t bytes = typed.second.size() * valueSize(typed.first);
            if (bytes > 4) arrays += bytes;
        }
        if (lastStripAtEnd) offsets.back() = static_cast<std::uint32_t>(out.size() + arrays + 2 + 12 * all.size() + 4);
        if (lastStripAtEnd && tags.count(273) == 0) all[273].second = offsets;
        Bytes entries;
        for (const auto& [t, typed] : all) {
            const auto& [type, values] = typed;
            const std::size_t size = valueSize(type);
            Bytes data;
            for (std::uint32_t v : values) put(data, v, static_cast<int>(size));
            put(entries, t, 2);
            put(entries, type, 2);
            const bool twoWords = type == 5 || type == 10 || type == 12;
            put(entries, static_cast<std::uint32_t>(twoWords ? values.size() / 2 : values.size()), 4);
            if (data.size() <= 4) {
                data.resize(4, 0);
                entries.insert(entries.end(), data.begin(), data.end());
            } else {
                put(entries, static_cast<std::uint32_t>(out.size()), 4);
                out.insert(out.end(), data.begin(), data.end());
            }
        }
        const std::uint32_t directory = static_cast<std::uint32_t>(out.size());
        put(out, static_cast<std::uint32_t>(all.size()), 2);
        out.insert(out.end(), entries.begin(), entries.end());
        put(out, 0, 4);
        Bytes offset;
        put(offset, directory, 4);
        std::copy(offset.begin(), offset.end(), out.begin() + 4);
        if (lastStripAtEnd) out.insert(out.end(), strips.back().begin(), strips.back().end());
        return out;
    }

    // RATIONALs, SRATIONALs and DOUBLEs are given as pairs of LONGs.
    static std::size_t valueSize(std::uint16_t type)
    {
        return type == 3 ? 2 : type == 1 || type == 2 || type == 7 ? 1 : 4;
    }
};

// An uncompressed picture of width x height with the given samples.
TiffFile plainTiff(std::uint32_t width, std::uint32_t height, std::uint32_t bits, std::uint32_t samples,
                   std::uint32_t photometric, Bytes data)
{
    TiffFile file;
    file.tag(256, 4, {width}).tag(257, 4, {height}).tag(258, 3, std::vector<std::uint32_t>(samples, bits));
    file.tag(259, 3, {1}).tag(262, 3, {photometric}).tag(277, 3, {samples}).tag(278, 4, {height});
    file.strips = {std::move(data)};
    return file;
}

// A grey baseline JPEG whose frame claims width x height and whose one
// block (with one-bit codes: DC difference 0, end of block) is all its data.
Bytes oneBlockJpeg(std::uint16_t width, std::uint16_t height)
{
    Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x43, 0x00};
    jpeg.insert(jpeg.end(), 64, 1);
    jpeg.insert(jpeg.end(), {0xFF, 0xC0, 0x00, 0x0B, 0x08, std::uint8_t(height >> 8), std::uint8_t(height),
                             std::uint8_t(width >> 8), std::uint8_t(width), 0x01, 0x01, 0x11, 0x00});
    for (std::uint8_t table : {0x00, 0x10}) {
        jpeg.insert(jpeg.end(), {0xFF, 0xC4, 0x00, 0x14, table, 0x01});
        jpeg.insert(jpeg.end(), 16, 0);  // 15 more code lengths, then the one value 0
    }
    jpeg.insert(jpeg.end(), {0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00, 0x3F, 0xFF, 0xD9});
    return jpeg;
}

std::string substitute(const std::string& command, const std::map<std::string, std::string>& names)
{
    return Substitute(command, Substitutions(names.begin(), names.end()));
}

// ThunderScan, as simple as an encoder may be: raw samples, runs of the
// last sample (never up to a row's end: libtiff leaves those pixels
// undefined) and 2- and 3-bit deltas.
Bytes thunderEncode(const std::vector<std::vector<int>>& rows)
{
    Bytes out;
    for (const auto& samples : rows) {
        int last = 0;
        for (std::size_t i = 0; i < samples.size();) {
            std::size_t run = 0;
            while (i + run + 1 < samples.size() && samples[i + run] == last && run < 63) ++run;
            if (run > 0) {
                out.push_back(static_cast<std::uint8_t>(run));
                i += run;
                continue;
            }
            const int delta = ((samples[i] - last) % 16 + 16) % 16;
            if (delta == 1 || delta == 15) {
                out.push_back(
                    static_cast<std::uint8_t>(0x40 | (delta == 1 ? 1 : 3) << 4 | 0x0A));  // one delta, two "none"
            } else if (delta <= 3 || delta >= 13) {
                const int field = delta <= 3 ? delta : delta - 8;
                out.push_back(static_cast<std::uint8_t>(0x80 | field << 3 | 4));
            } else {
                out.push_back(static_cast<std::uint8_t>(0xC0 | samples[i]));
            }
            last = samples[i++];
        }
    }
    return out;
}

// Loads bytes; the error message, or "" when the load went through.
std::string loadError(const Bytes& bytes, TTIFFGraphic* into = nullptr)
{
    TMemoryStream stream(bytes);
    TTIFFGraphic local;
    TTIFFGraphic& graphic = into ? *into : local;
    try {
        graphic.LoadFromStream(stream);
    } catch (const Exception& e) {
        return e.Message;
    }
    return "";
}

class TiffCorpus : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        for (const char* tool : {"convert", "tiffcp", "tifftopnm", "tiff2rgba", "pnmtotiff"})
            if (FindTool(tool).empty()) return;
        WritePpm(ScratchPath("rgb.ppm"), MakePattern(61, 37));
        WritePpm(ScratchPath("c16.ppm"), MakePattern(61, 37, 16));
        WritePpm(ScratchPath("c200.ppm"), MakePattern(61, 37, 200));
        WritePpm(ScratchPath("c2.ppm"), MakePattern(61, 37, 2));
        // Bilevel rows holding runs of every terminating and make-up length,
        // in both colours, wider than the longest make-up code.
        std::vector<std::uint32_t> runs;
        for (std::uint32_t k = 0; k <= 40; ++k)
            for (std::uint32_t t = 0; t < 64; t += k == 0 ? 1 : 21) runs.insert(runs.end(), 2, 64 * k + (t + k) % 64);
        const std::uint32_t width = 2650;
        const std::uint32_t height = std::accumulate(runs.begin(), runs.end(), 0u) / width + 1;
        std::string header = "P4\n2650 " + std::to_string(height) + "\n";
        Bytes pbm(header.begin(), header.end());
        const std::size_t rowBytes = (width + 7) / 8;
        pbm.resize(header.size() + rowBytes * height, 0);
        std::size_t pixel = 0;
        bool black = false;
        for (std::uint32_t run : runs) {
            for (std::uint32_t i = 0; i < run; ++i, ++pixel)
                if (black)
                    pbm[header.size() + pixel / width * rowBytes + pixel % width / 8] |=
                        static_cast<std::uint8_t>(0x80 >> (pixel % width % 8));
            black = !black;
        }
        WriteFileBytes(ScratchPath("runs.pbm"), pbm);
        const std::string make[] = {
            "CONVERT DIR/rgb.ppm -compress none DIR/rgb.tif",
            "CONVERT DIR/rgb.ppm -depth 16 -compress none DIR/rgb16.tif",
            "CONVERT DIR/rgb.ppm -colorspace gray -compress none DIR/grey.tif",
            "CONVERT DIR/rgb.ppm -colorspace gray -depth 16 -compress none DIR/grey16.tif",
            "PNMTOTIFF -none DIR/runs.pbm > DIR/runs.tif",
        };
        for (const std::string& command : make)
            if (!RunQuiet(substitute(command, names()))) return;
        ready_ = true;
    }
    void SetUp() override
    {
        if (!ready_) GTEST_SKIP() << "convert, libtiff's tools or netpbm are not installed";
    }

    static std::map<std::string, std::string> names()
    {
        return {{"CONVERT", FindTool("convert")},
                {"TIFFCP", FindTool("tiffcp")},
                {"PNMTOTIFF", FindTool("pnmtotiff")},
                {"DIR", ScratchDir()}};
    }

    // tifftopnm; by rows keeps 16-bit samples (it reduces them through RGBA otherwise).
    enum class Oracle { LibTiff, LibTiffByRow, LibTiffRgba, Magick };

    // Decodes file with ours and the oracle; psnr 0 asks for equal pixels,
    // otherwise that many dB at least; tolerance allows channel differences.
    static void expectLikeOracle(const std::string& file, Oracle oracle, TPixelFormat format, double psnr = 0,
                                 int tolerance = 0)
    {
        std::string reference = file + ".pnm";
        std::string command =
            oracle == Oracle::LibTiff || oracle == Oracle::LibTiffByRow
                ? FindTool("tifftopnm") + (oracle == Oracle::LibTiffByRow ? " -byrow " : " ") + file + " > " + reference
            : oracle == Oracle::LibTiffRgba ? FindTool("tiff2rgba") + " " + file + " " + file + ".rgba.tif && " +
                                                  FindTool("tifftopnm") + " " + file + ".rgba.tif > " + reference
                                            : FindTool("convert") + " " + file + " -alpha off ppm:" + reference;
        ASSERT_TRUE(RunQuiet(command)) << command;
        RgbImage expected = ReadNetpbm(reference);
        ASSERT_GT(expected.Width, 0);
        TTIFFGraphic loaded;
        loaded.LoadFromFile(file);
        EXPECT_EQ(loaded.PixelFormat(), format);
        EXPECT_FALSE(loaded.DataIncomplete());
        RgbImage ours = ToRgb(loaded);
        if (psnr > 0)
            EXPECT_GE(Psnr(expected, ours), psnr);
        else if (tolerance > 0)
            EXPECT_LE(MaxDifference(expected, ours), tolerance);
        else
            EXPECT_EQ(Compare(expected, ours), "");
    }

    static inline bool ready_ = false;
};

TEST_F(TiffCorpus, EveryCompressionByteOrderDepthAndPhotometric)
{
    struct Case {
        const char* name;
        const char* command;  // makes OUT
        Oracle oracle;
        TPixelFormat format;
        double psnr = 0;
        int tolerance = 0;
    };
    const Case cases[] = {
        {"rgb", "TIFFCP -c none DIR/rgb.tif OUT", Oracle::LibTiff, pf24bit},
        {"rgb packbits MM", "TIFFCP -B -c packbits DIR/rgb.tif OUT", Oracle::LibTiff, pf24bit},
        {"rgb lzw strips", "TIFFCP -c lzw -r 5 DIR/rgb.tif OUT", Oracle::LibTiff, pf24bit},
        {"rgb lzw predictor MM", "TIFFCP -B -c lzw:2 -r 8 DIR/rgb.tif OUT", Oracle::LibTiff, pf24bit},
        {"rgb deflate", "TIFFCP -c zip DIR/rgb.tif OUT", Oracle::LibTiff, pf24bit},
        {"rgb deflate predictor", "TIFFCP -c zip:2 -r 3 DIR/rgb.tif OUT", Oracle::LibTiff, pf24bit},
        {"rgb separate planes", "TIFFCP -p separate -c lzw:2 -r 7 DIR/rgb.tif OUT", Oracle::LibTiff, pf24bit},
        {"rgb 16 predictor MM", "TIFFCP -B -c lzw:2 DIR/rgb16.tif OUT", Oracle::LibTiffByRow, pf24bit},
        {"rgb 16 predictor II", "TIFFCP -L -c zip:2 DIR/rgb16.tif OUT", Oracle::LibTiffByRow, pf24bit},
        {"rgba", "CONVERT DIR/rgb.ppm -alpha set -channel A -fx i/w +channel OUT", Oracle::Magick, pf32bit},
        {"cmyk", "CONVERT DIR/rgb.ppm -colorspace CMYK -compress lzw OUT", Oracle::LibTiff, pf24bit},
        {"grey", "TIFFCP -c lzw:2 DIR/grey.tif OUT", Oracle::LibTiff, pf8bit},
        {"grey 16 MM", "TIFFCP -B -c zip DIR/grey16.tif OUT", Oracle::LibTiffByRow, pf8bit},
        {"grey 4", "CONVERT DIR/grey.tif -depth 4 -compress RLE OUT", Oracle::LibTiff, pf4bit},
        {"grey 2", "CONVERT DIR/grey.tif -depth 2 OUT", Oracle::LibTiff, pf4bit},
        {"grey min-is-white", "CONVERT DIR/grey.tif -define quantum:polarity=min-is-white OUT", Oracle::LibTiff,
         pf8bit},
        {"palette 8", "CONVERT DIR/c200.ppm -type Palette -compress lzw OUT", Oracle::LibTiff, pf8bit},
        {"palette 4 MM", "CONVERT DIR/c16.ppm -type Palette -depth 4 -endian MSB OUT", Oracle::LibTiff, pf4bit},
        {"palette 1", "CONVERT DIR/c2.ppm -type Palette -depth 1 OUT", Oracle::LibTiff, pf1bit},
        {"bilevel", "TIFFCP -c packbits DIR/runs.tif OUT", Oracle::LibTiff, pf1bit},
        {"bilevel reversed fill order", "TIFFCP -c none -f lsb2msb DIR/runs.tif OUT", Oracle::LibTiff, pf1bit},
        {"group 3", "TIFFCP -c g3:1d -r 9 DIR/runs.tif OUT", Oracle::LibTiff, pf1bit},
        {"group 3 aligned, reversed MM", "TIFFCP -B -c g3:1d:fill -f lsb2msb DIR/runs.tif OUT", Oracle::LibTiff,
         pf1bit},
        {"group 3 ImageMagick", "CONVERT DIR/c2.ppm -compress Fax OUT", Oracle::LibTiff, pf1bit},
        // Fax codes keep the stored bits; photometric 1 then makes 1 white.
        {"group 3 min-is-black",
         "CONVERT DIR/rgb.ppm -monochrome -depth 1 -define quantum:polarity=min-is-black -compress none DIR/mib.tif && "
         "TIFFCP -c g3 DIR/mib.tif OUT",
         Oracle::LibTiff, pf1bit},
        {"jpeg ycbcr", "TIFFCP -c jpeg -r 16 DIR/rgb.tif OUT", Oracle::LibTiffRgba, pf24bit, 40},
        {"jpeg rgb", "TIFFCP -c jpeg:r DIR/rgb.tif OUT", Oracle::LibTiffRgba, pf24bit, 40},
        {"jpeg grey MM", "TIFFCP -B -c jpeg DIR/grey.tif OUT", Oracle::LibTiff, pf8bit, 40},
        // Fill order 2 reverses the bits of compressed strips, but not of JPEG ones.
        {"rgb lzw reversed fill order", "TIFFCP -f lsb2msb -c lzw DIR/rgb.tif OUT", Oracle::LibTiff, pf24bit},
        {"jpeg reversed fill order", "TIFFCP -f lsb2msb -c jpeg -r 16 DIR/rgb.tif OUT", Oracle::LibTiffRgba, pf24bit,
         40},
        {"jpeg ycbcr MM", "TIFFCP -B -c jpeg -r 32 DIR/rgb.tif OUT", Oracle::LibTiffRgba, pf24bit, 40},
        {"rgba 16 MM", "CONVERT DIR/rgb.ppm -depth 16 -alpha set -channel A -fx j/h +channel -endian MSB OUT",
         Oracle::Magick, pf32bit},
        {"grey alpha", "CONVERT DIR/grey.tif -alpha set -channel A -fx i/w +channel OUT", Oracle::Magick, pf8bit},
        {"cmyk 16 MM", "CONVERT DIR/rgb.ppm -depth 16 -colorspace CMYK -endian MSB -compress zip OUT", Oracle::Magick,
         pf24bit, 0, 2},
        {"palette 8 deflate MM", "TIFFCP -B -c zip:2 DIR/case-palette-8.tif OUT", Oracle::LibTiff, pf8bit},
        {"bilevel lzw MM", "TIFFCP -B -c lzw DIR/runs.tif OUT", Oracle::LibTiff, pf1bit},
        {"grey 4 lzw", "CONVERT DIR/grey.tif -depth 4 -compress lzw OUT", Oracle::LibTiff, pf4bit},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string out = ScratchPath("case " + std::string(c.name) + ".tif");
        std::replace(out.begin(), out.end(), ' ', '-');
        auto replacements = names();
        replacements["OUT"] = out;
        std::string command = substitute(c.command, replacements);
        ASSERT_TRUE(RunQuiet(command)) << command;
        expectLikeOracle(out, c.oracle, c.format, c.psnr, c.tolerance);
    }
}

// Group 3 data coded two-dimensionally has no decoder: refused, never shown
// as noise.
TEST_F(TiffCorpus, TwoDimensionalGroup3IsRefused)
{
    for (const char* command : {"TIFFCP -c g3:2d DIR/runs.tif OUT", "TIFFCP -c g3:2d:fill -r 3 DIR/runs.tif OUT",
                                "PNMTOTIFF -g3 -2d DIR/runs.pbm > OUT"}) {
        SCOPED_TRACE(command);
        auto replacements = names();
        replacements["OUT"] = ScratchPath("g3-2d.tif");
        ASSERT_TRUE(RunQuiet(substitute(command, replacements)));
        TTIFFGraphic loaded;
        try {
            loaded.LoadFromFile(replacements["OUT"]);
            ADD_FAILURE() << "loaded";
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(e.Message, "Cannot load image. The compression scheme is not supported for TIF/TIFF files.");
        }
        EXPECT_TRUE(loaded.Empty());
    }
}

TEST_F(TiffCorpus, LayoutsNoToolWrites)
{
    // Deflate under its older code 32946, which libtiff reads as well: a
    // little-endian tiffcp file with the Compression value changed.
    const std::string zip = ScratchPath("zip.tif"), oldZip = ScratchPath("old-zip.tif");
    ASSERT_TRUE(RunQuiet(FindTool("tiffcp") + " -L -c zip:2 -r 5 " + ScratchPath("rgb.tif") + " " + zip));
    Bytes bytes = ReadFileBytes(zip);
    const std::size_t directory = GetLE32(bytes.data() + 4);
    bool patched = false;
    for (std::size_t i = 0, at = directory + 2; i < GetLE16(bytes.data() + directory); ++i, at += 12)
        if (GetLE16(bytes.data() + at) == 259) {
            PutLE16(bytes.data() + at + 8, 32946);
            patched = true;
        }
    ASSERT_TRUE(patched);
    WriteFileBytes(oldZip, bytes);
    expectLikeOracle(oldZip, Oracle::LibTiff, pf24bit);

    // Modified Huffman rows, byte-aligned, re-encoded by libtiff (tiffcp
    // keeps the compression of its input).
    RgbImage runs = ReadNetpbm(ScratchPath("runs.pbm"));
    std::string bits;
    for (int y = 0; y < runs.Height; ++y) {
        bool white = true;
        for (int x = 0; x < runs.Width; white = !white) {
            std::uint32_t run = 0;
            while (x + run < std::uint32_t(runs.Width) && (runs.pixel(x + run, y)[0] != 0) == white) ++run;
            bits += FaxRunBits(run, white);
            x += run;
        }
        bits.resize((bits.size() + 7) / 8 * 8, '0');
    }
    const Bytes packed = PackBitString(bits);
    TiffFile mh = plainTiff(runs.Width, runs.Height, 1, 1, 0, packed);
    mh.tag(259, 3, {2});
    WriteFileBytes(ScratchPath("mh-ours.tif"), mh.build());
    ASSERT_TRUE(RunQuiet(FindTool("tiffcp") + " -r 11 " + ScratchPath("mh-ours.tif") + " " + ScratchPath("mh.tif")));
    expectLikeOracle(ScratchPath("mh.tif"), Oracle::LibTiff, pf1bit);

    // ThunderScan: 4-bit grey in two strips, odd width.
    std::vector<std::vector<int>> samples(9, std::vector<int>(23));
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 23; ++x) samples[y][x] = x < 6 ? y : x < 15 ? (x + y) % 16 : (x * 7 + y * 3) % 16;
    TiffFile thunder = plainTiff(23, 9, 4, 1, 1, {});
    thunder.strips = {thunderEncode({samples.begin(), samples.begin() + 5}),
                      thunderEncode({samples.begin() + 5, samples.end()})};
    thunder.tag(259, 3, {32809}).tag(278, 4, {5});
    WriteFileBytes(ScratchPath("thunder.tif"), thunder.build());
    expectLikeOracle(ScratchPath("thunder.tif"), Oracle::LibTiff, pf4bit);
    // Fill order 2 reverses ThunderScan strips as it does other compressed ones.
    for (Bytes& strip : thunder.strips) std::transform(strip.begin(), strip.end(), strip.begin(), ReverseBitOrder);
    thunder.tag(266, 3, {2});
    WriteFileBytes(ScratchPath("thunder-reversed.tif"), thunder.build());
    expectLikeOracle(ScratchPath("thunder-reversed.tif"), Oracle::LibTiff, pf4bit);

    // YCbCr that is not JPEG, subsampled: blocks of luma with one Cb and Cr.
    for (auto [h, v] : {std::pair{2u, 2u}, {2u, 1u}, {4u, 2u}, {1u, 1u}}) {
        SCOPED_TRACE(std::to_string(h) + "x" + std::to_string(v));
        const std::uint32_t width = 13, height = 7;
        Bytes data;
        for (std::uint32_t by = 0; by < (height + v - 1) / v; ++by)
            for (std::uint32_t bx = 0; bx < (width + h - 1) / h; ++bx) {
                for (std::uint32_t i = 0; i < h * v; ++i)
                    data.push_back(static_cast<std::uint8_t>(40 + (bx * 29 + by * 13 + i * 7) % 170));
                data.push_back(static_cast<std::uint8_t>(60 + bx * 11 % 130));
                data.push_back(static_cast<std::uint8_t>(200 - by * 23 % 150));
            }
        TiffFile ycc = plainTiff(width, height, 8, 3, 6, data);
        ycc.tag(530, 3, {h, v});
        const std::string name = ScratchPath("ycc" + std::to_string(h) + std::to_string(v) + ".tif");
        WriteFileBytes(name, ycc.build());
        expectLikeOracle(name, Oracle::LibTiffRgba, pf24bit, 0, 1);
    }
}

// JPEG strips made by cjpeg (a whole JFIF image per strip, no tables tag):
// the checks on each strip, tables that hold an image, strips that lost
// their end marker, which warn once per file, and strips cut inside their
// scan, which are refused.
TEST_F(TiffCorpus, JpegStripsOfOurOwn)
{
    const std::string cjpeg = FindTool("cjpeg");
    if (cjpeg.empty() || FindTool("djpeg").empty()) GTEST_SKIP() << "cjpeg or djpeg is not installed";
    WritePpm(ScratchPath("half.ppm"), MakePattern(64, 16));
    ASSERT_TRUE(
        RunQuiet(cjpeg + " -quality 95 -sample 2x2 " + ScratchPath("half.ppm") + " > " + ScratchPath("half.jpg")));
    const Bytes jpeg = ReadFileBytes(ScratchPath("half.jpg"));
    auto colourFile = [&](std::vector<Bytes> strips) {
        TiffFile f = plainTiff(64, 32, 8, 3, 6, {});
        f.strips = std::move(strips);
        f.tag(259, 3, {7}).tag(278, 4, {16}).tag(530, 3, {2, 2});
        return f;
    };
    std::vector<std::string> warnings;
    SetJPEGWarningHook(
        [&](const std::string& caption, const std::string& text) { warnings.push_back(caption + ": " + text); });

    TTIFFGraphic whole;
    EXPECT_EQ(loadError(colourFile({jpeg, jpeg}).build(), &whole), "");
    EXPECT_FALSE(whole.DataIncomplete());
    // Each strip decodes as djpeg decodes the same image.
    ASSERT_TRUE(RunQuiet(FindTool("djpeg") + " " + ScratchPath("half.jpg") + " > " + ScratchPath("half.jpg.ppm")));
    RgbImage twice = ReadNetpbm(ScratchPath("half.jpg.ppm"));
    twice.Height *= 2;
    twice.Rgb.insert(twice.Rgb.end(), twice.Rgb.begin(), twice.Rgb.end());
    EXPECT_EQ(Compare(twice, ToRgb(whole)), "");
    EXPECT_TRUE(warnings.empty());

    // A picture of one strip whose rows per strip are 0 or above its height.
    for (std::uint32_t rowsPerStrip : {0u, 1000u}) {
        TiffFile one = colourFile({jpeg});
        one.tag(257, 4, {16}).tag(278, 4, {rowsPerStrip});
        TTIFFGraphic single;
        EXPECT_EQ(loadError(one.build(), &single), "") << rowsPerStrip;
        EXPECT_EQ(single.Height(), 16);
    }

    // Both strips without their end marker: whole, one warning for the file.
    const Bytes unended(jpeg.begin(), jpeg.end() - 2);
    TTIFFGraphic truncated;
    EXPECT_EQ(loadError(colourFile({unended, unended}).build(), &truncated), "");
    EXPECT_TRUE(truncated.DataIncomplete());
    EXPECT_EQ(Compare(twice, ToRgb(truncated)), "");
    EXPECT_EQ(warnings, std::vector<std::string>{"Warning: JPEG decompression error. Unexpected end of input."});
    // Cut inside their scan, with or without an end marker added: corrupt
    // data, refused without a warning rather than filled with grey.
    warnings.clear();
    Bytes cut(jpeg.begin(), jpeg.end() - static_cast<std::ptrdiff_t>(jpeg.size() / 5));
    for (bool ended : {false, true}) {
        if (ended) cut.insert(cut.end(), {0xFF, 0xD9});
        EXPECT_EQ(loadError(colourFile({jpeg, cut}).build()), "JPEG error #" + std::to_string(JWRN_HIT_MARKER));
    }
    EXPECT_TRUE(warnings.empty());
    // A progressive strip that lost only its end marker is whole too; one that
    // ends between its scans lost more, and is refused as such a file is.
    ASSERT_TRUE(RunQuiet(cjpeg + " -quality 95 -sample 2x2 -progressive " + ScratchPath("half.ppm") + " > " +
                         ScratchPath("halfp.jpg")));
    const Bytes progressive = ReadFileBytes(ScratchPath("halfp.jpg"));
    std::size_t lastScan = 0;
    for (std::size_t i = 0; i + 1 < progressive.size(); ++i)
        if (progressive[i] == 0xFF && progressive[i + 1] == 0xDA) lastScan = i;
    const Bytes betweenScans(progressive.begin(), progressive.begin() + std::ptrdiff_t(lastScan));
    EXPECT_EQ(loadError(colourFile({progressive, betweenScans}).build()),
              "JPEG error #" + std::to_string(JWRN_JPEG_EOF));
    EXPECT_TRUE(warnings.empty());
    TTIFFGraphic progressiveUnended;
    EXPECT_EQ(loadError(colourFile({progressive, Bytes(progressive.begin(), progressive.end() - 2)}).build(),
                        &progressiveUnended),
              "");
    EXPECT_EQ(Compare(twice, ToRgb(progressiveUnended)), "");
    EXPECT_EQ(warnings.size(), 1u);
    SetJPEGWarningHook(nullptr);

    TiffFile grey = colourFile({jpeg, jpeg});
    grey.tag(277, 3, {1}).tag(258, 3, {8}).tag(262, 3, {1});
    EXPECT_EQ(loadError(grey.build()), "Improper JPEG component count.");
    TiffFile tall = colourFile({jpeg});
    tall.tag(278, 4, {32});
    EXPECT_EQ(loadError(tall.build()), "Improper JPEG strip/tile size.");
    TiffFile sampling = colourFile({jpeg, jpeg});
    sampling.tag(530, 3, {2, 1});
    EXPECT_EQ(loadError(sampling.build()), "Improper JPEG sampling factors.");
    TiffFile tables = colourFile({jpeg, jpeg});
    tables.tags[347] = {7, std::vector<std::uint32_t>(jpeg.begin(), jpeg.end())};
    EXPECT_EQ(loadError(tables.build()), "Bogus JPEG tables field.");
}

// CIE L*a*b* of 16 bits (lightness 0..65535, a* and b* signed words) loads
// like its 8-bit twin, in both byte orders. ImageMagick's files are
// compared with its own decode in LabLoaderTest.
TEST_F(TiffCorpus, SixteenBitLabLikeItsEightBitTwin)
{
    const int width = 29, height = 11;
    Bytes narrow, wide[2];
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint8_t lab[3] = {std::uint8_t(x * 37 + y * 11), std::uint8_t(x * 9 - 128),
                                         std::uint8_t(y * 23 + x)};
            for (int c = 0; c < 3; ++c) {
                narrow.push_back(lab[c]);
                const auto word = std::uint16_t(c == 0 ? lab[c] * 257 : std::int8_t(lab[c]) * 256);
                wide[0].insert(wide[0].end(), {std::uint8_t(word), std::uint8_t(word >> 8)});
                wide[1].insert(wide[1].end(), {std::uint8_t(word >> 8), std::uint8_t(word)});
            }
        }
    TTIFFGraphic twin;
    ASSERT_EQ(loadError(plainTiff(width, height, 8, 3, 8, narrow).build(), &twin), "");
    for (bool bigEndian : {false, true}) {
        TiffFile file = plainTiff(width, height, 16, 3, 8, wide[bigEndian]);
        file.bigEndian = bigEndian;
        TTIFFGraphic loaded;
        EXPECT_EQ(loadError(file.build(), &loaded), "");
        EXPECT_EQ(Compare(ToRgb(twin), ToRgb(loaded)), "") << bigEndian;
    }
}

// Pages after the first are reached by ReadImageProperties alone; a load
// reads the first.
// The cap counts pixels: 100 megapixels of RGB (300 million samples) load.
TEST_F(TiffCorpus, HundredMegapixelsOfRgb)
{
    const std::string file = ScratchPath("big.tif");
    ASSERT_TRUE(RunQuiet(FindTool("convert") + " -size 10000x10000 xc:#3080c0 -depth 8 -compress zip " + file));
    TTIFFGraphic loaded;
    loaded.LoadFromFile(file);
    ASSERT_EQ(loaded.Width(), 10000);
    ASSERT_EQ(loaded.Height(), 10000);
    ASSERT_EQ(loaded.PixelFormat(), pf24bit);
    EXPECT_FALSE(loaded.DataIncomplete());
    Bytes row;
    for (int x = 0; x < 10000; ++x) row.insert(row.end(), {0xC0, 0x80, 0x30});
    int wrongRows = 0;
    for (int y = 0; y < 10000; ++y) wrongRows += std::memcmp(loaded.ScanLine(y), row.data(), row.size()) != 0;
    EXPECT_EQ(wrongRows, 0);
}

TEST_F(TiffCorpus, SecondDirectory)
{
    const std::string two = ScratchPath("two.tif");
    ASSERT_TRUE(
        RunQuiet(FindTool("tiffcp") + " " + ScratchPath("rgb.tif") + " " + ScratchPath("runs.tif") + " " + two));
    TFileStream stream(two, FileMode::OpenRead);
    TTIFFGraphic graphic;
    ASSERT_TRUE(graphic.ReadImageProperties(stream, 1));
    EXPECT_EQ(graphic.ImageProperties.Width, 2650u);
    EXPECT_FALSE(graphic.ReadImageProperties(stream, 2));
    graphic.LoadFromFile(two);
    EXPECT_EQ(graphic.Width(), 61);
}

TEST_F(TiffCorpus, EpsWithATiffPreview)
{
    // The binary header, a little PostScript, then the TIFF section.
    Bytes tiff = ReadFileBytes(ScratchPath("rgb.tif"));
    const std::string postscript = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 61 37\nshowpage\n";
    Bytes eps(30, 0);
    eps.reserve(30 + postscript.size() + tiff.size());
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) eps[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    put32(0, 0xC6D3D0C5);
    put32(4, 30);
    put32(8, static_cast<std::uint32_t>(postscript.size()));
    put32(20, static_cast<std::uint32_t>(30 + postscript.size()));
    put32(24, static_cast<std::uint32_t>(tiff.size()));
    eps[28] = eps[29] = 0xFF;
    eps.insert(eps.end(), postscript.begin(), postscript.end());
    eps.insert(eps.end(), tiff.begin(), tiff.end());
    Bytes inside(100, 'x');  // the picture starts where the stream stands
    inside.insert(inside.end(), eps.begin(), eps.end());
    TMemoryStream stream(inside);
    stream.SetPosition(100);
    EXPECT_TRUE(TEPSGraphic::CanLoad(stream));
    EXPECT_EQ(stream.Position(), 100);
    TEPSGraphic loaded;
    loaded.LoadFromStream(stream);
    EXPECT_EQ(Compare(ReadNetpbm(ScratchPath("rgb.ppm")), ToRgb(loaded)), "");

    eps[0] = 0;
    TMemoryStream bad(eps);
    EXPECT_FALSE(TEPSGraphic::CanLoad(bad));
    try {
        TEPSGraphic().LoadFromStream(bad);
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message, "Cannot load image. Invalid or unexpected EPS image format.");
    }
}

// --- hostile and unusual files ----------------------------------------------------

TEST(TiffLoader, HostileFiles)
{
    const std::string invalid = "Cannot load image. Invalid or unexpected TIF/TIFF image format.";
    const std::string shortData = "Stream read error in TIF/TIFF file.";
    const std::string palette = "Cannot load image. Palette in TIF/TIFF file is invalid.";
    const std::string colours = "Invalid color format in TIF/TIFF file.";
    const std::string size = "Cannot load image. Image size in TIF/TIFF file is invalid.";
    const std::string unsupported = "Cannot load image. The compression scheme is not supported for TIF/TIFF files.";
    const Bytes grey(16 * 4, 0x80);
    auto greyFile = [&] { return plainTiff(16, 4, 8, 1, 1, grey); };
    auto palette4 = [] {
        TiffFile f = plainTiff(4, 2, 4, 1, 3, Bytes(4, 0x12));
        f.tag(320, 3, std::vector<std::uint32_t>(48, 0x8080));
        return f;
    };
    struct Case {
        const char* name;
        std::function<TiffFile()> make;
        std::string message;
    };
    const Case cases[] = {
        {"colour map of 45 values for 4 bits",
         [&] { return palette4().tag(320, 3, std::vector<std::uint32_t>(45, 1)); }, palette},
        {"colour map of 16-bit samples",
         [] {
             TiffFile f = plainTiff(2, 2, 16, 1, 3, Bytes(8, 0));
             return f.tag(320, 3, std::vector<std::uint32_t>(3 * 65536, 1));
         },
         palette},
        {"byte counts shorter than offsets",
         [&] {
             TiffFile f = greyFile();
             f.strips = {Bytes(32, 1), Bytes(32, 2)};
             return f.tag(278, 4, {2}).tag(259, 3, {5}).tag(279, 4, {32});
         },
         invalid},
        {"no strip offsets", [&] { return greyFile().tag(273, 4, {}); }, invalid},
        {"width zero", [&] { return greyFile().tag(256, 4, {0}); }, invalid},
        {"beyond the pixel cap", [&] { return greyFile().tag(256, 4, {1u << 20}).tag(257, 4, {1u << 20}); },
         "Cannot load image. The picture is too large."},
        {"a big picture from a small file", [&] { return greyFile().tag(256, 4, {8000}).tag(257, 4, {8000}); }, size},
        {"one pixel past the cap", [&] { return greyFile().tag(256, 4, {16384}).tag(257, 4, {16385}); },
         "Cannot load image. The picture is too large."},
        {"RGB at the cap from a small file",  // its samples are past the cap, its pixels are not
         [&] { return plainTiff(16384, 16384, 8, 3, 2, Bytes(64, 0)); }, size},
        {"JPEG strip padded after its end",
         [] {
             TiffFile f = plainTiff(4000, 4000, 8, 1, 1, oneBlockJpeg(4000, 4000));
             f.strips[0].resize(f.strips[0].size() + 65536, 0);
             return f.tag(259, 3, {7});
         },
         size},
        {"12-bit samples", [&] { return greyFile().tag(258, 3, {12}); }, colours},
        {"five samples", [&] { return greyFile().tag(277, 3, {5}); }, colours},
        {"RGB of 4-bit samples",
         [&] {
             return greyFile().tag(258, 3, {4, 4, 4}).tag(277, 3, {3}).tag(262, 3, {2});
         },
         colours},
        {"fax data of 8-bit samples", [&] { return greyFile().tag(259, 3, {3}); }, colours},
        {"predictor on 4-bit samples", [&] { return greyFile().tag(258, 3, {4}).tag(259, 3, {5}).tag(317, 3, {2}); },
         colours},
        {"group 4", [&] { return greyFile().tag(259, 3, {4}).tag(258, 3, {1}); }, unsupported},
        {"group 3 coded two-dimensionally",
         [&] { return greyFile().tag(259, 3, {3}).tag(258, 3, {1}).tag(292, 4, {1}); }, unsupported},
        {"old-style JPEG", [&] { return greyFile().tag(259, 3, {6}); }, unsupported},
        {"JPEG strip that is no JPEG", [&] { return greyFile().tag(259, 3, {7}); }, "JPEG error #"},
        // Integer tags stored as fractions (the float FLT_MAX cast to an
        // integer was undefined), and bytes that do not fit one.
        {"JPEG tables of type FLOAT",
         [] {
             return plainTiff(8, 8, 8, 1, 1, oneBlockJpeg(8, 8)).tag(259, 3, {7}).tag(347, 11, {0x7F7FFFFF, 0});
         },
         invalid},
        {"JPEG tables of SHORTs over 255",
         [] {
             return plainTiff(8, 8, 8, 1, 1, oneBlockJpeg(8, 8)).tag(259, 3, {7}).tag(347, 3, {0xFFD8, 0xFFD9});
         },
         invalid},
        {"strip byte counts of type FLOAT", [&] { return greyFile().tag(279, 11, {0x42800000}); }, invalid},
        // One value of a fraction type gives the tag's default: no compression code.
        {"compression of type RATIONAL",
         [&] {
             return greyFile().tag(259, 5, {1, 1});
         },
         unsupported},
        {"corrupt deflate data",
         [&] {
             TiffFile f = greyFile().tag(259, 3, {8});
             f.strips = {Bytes{0x78, 0x9C, 0xFF, 0xFF, 0xFF, 0xFF, 0x00}};
             return f;
         },
         "Cannot load image. Compression error found in TIF/TIFF file."},
        {"separate planes of JPEG data",
         [&] {
             return greyFile()
                 .tag(259, 3, {7})
                 .tag(277, 3, {3})
                 .tag(258, 3, {8, 8, 8})
                 .tag(284, 3, {2})
                 .tag(262, 3, {2});
         },
         colours},
        {"subsampling 3",
         [&] {
             return plainTiff(4, 4, 8, 3, 6, Bytes(48, 0)).tag(530, 3, {3, 1});
         },
         colours},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string message = loadError(c.make().build());
        if (c.message.empty() || c.message.back() == '#')
            EXPECT_EQ(message.substr(0, c.message.size()), c.message);
        else
            EXPECT_EQ(message, c.message);
    }

    // The one-block JPEG strip in a frame of its own size: a grey block.
    TTIFFGraphic block;
    ASSERT_EQ(loadError(plainTiff(8, 8, 8, 1, 1, oneBlockJpeg(8, 8)).tag(259, 3, {7}).build(), &block), "");
    EXPECT_EQ(block.PixelColor(7, 7), RGBColor(128, 128, 128));

    // Headers and directories that are not there.
    Bytes good = greyFile().build();
    for (std::size_t cut : {std::size_t(7), std::size_t(12)}) {
        Bytes shorter(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_EQ(loadError(shorter), invalid) << cut;
    }
    Bytes hugeDirectory = good;
    const std::size_t directory = good[4] | good[5] << 8;
    hugeDirectory[directory] = hugeDirectory[directory + 1] = 0xFF;
    EXPECT_EQ(loadError(hugeDirectory), shortData);
    // A count of a billion strip offsets where the file holds a few bytes.
    Bytes offsets = good;
    for (std::size_t at = directory + 2; at + 12 <= offsets.size(); at += 12)
        if (offsets[at] == 273 - 256 && offsets[at + 1] == 1) offsets[at + 7] = 0x40;
    EXPECT_EQ(loadError(offsets), shortData);
    Bytes version = good;
    version[2] = 43;
    EXPECT_EQ(loadError(version), invalid);

    // Luma shares that no colour table can hold (green's 0, red's FLT_MAX)
    // saturate the colours; nothing overflows.
    for (auto [type, shares] : {std::pair{std::uint16_t(5), std::vector<std::uint32_t>{299, 1000, 0, 1, 114, 1000}},
                                {std::uint16_t(11), {0x7F7FFFFF, 0x3F000000, 0x3DE978D5}}}) {
        TTIFFGraphic ycbcr;
        EXPECT_EQ(
            loadError(plainTiff(2, 2, 8, 3, 6, Bytes(12, 0x10)).tag(530, 3, {1, 1}).tag(529, type, shares).build(),
                      &ycbcr),
            "")
            << type;
    }
}

TEST(TiffLoader, ShortAndOddStrips)
{
    // A strip cut short leaves zeros behind it, not what the previous strip held.
    TiffFile twoStrips = plainTiff(4, 4, 8, 1, 1, {});
    twoStrips.strips = {Bytes(8, 200), Bytes(3, 100)};
    twoStrips.lastStripAtEnd = true;
    twoStrips.tag(278, 4, {2});
    TTIFFGraphic loaded;
    EXPECT_EQ(loadError(twoStrips.build(), &loaded), "");
    EXPECT_TRUE(loaded.DataIncomplete());
    const Bytes rows[] = {{200, 200, 200, 200}, {200, 200, 200, 200}, {100, 100, 100, 0}, {0, 0, 0, 0}};
    for (int y = 0; y < 4; ++y) EXPECT_EQ(Bytes(loaded.ScanLine(y), loaded.ScanLine(y) + 4), rows[y]) << y;
    // A caller that takes no partial pictures gets an error instead.
    TTIFFGraphic refusing;
    refusing.RefuseCutData = true;
    EXPECT_EQ(loadError(twoStrips.build(), &refusing), "Stream read error in TIF/TIFF file.");

    // RowsPerStrip absent, 0xFFFFFFFF or above the height: one strip.
    for (std::vector<std::uint32_t> rowsPerStrip : {std::vector<std::uint32_t>{}, {0xFFFFFFFF}, {1000}}) {
        TiffFile file = plainTiff(4, 3, 8, 1, 1, Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
        if (rowsPerStrip.empty())
            file.tags.erase(278);
        else
            file.tag(278, 4, rowsPerStrip);
        TTIFFGraphic one;
        EXPECT_EQ(loadError(file.build(), &one), "");
        EXPECT_FALSE(one.DataIncomplete());
        EXPECT_EQ(one.ScanLine(2)[3], 12);
    }

    // A tiled picture is not read: the picture stays empty, without an error.
    TiffFile tiled = plainTiff(16, 16, 8, 1, 1, Bytes(256, 1));
    tiled.tag(322, 4, {16}).tag(323, 4, {16});
    TTIFFGraphic tiles;
    EXPECT_EQ(loadError(tiled.build(), &tiles), "");
    EXPECT_TRUE(tiles.Empty());

    // Two-bit palette pixels land in a 4-bit bitmap with their own colours.
    TiffFile twoBit = plainTiff(4, 1, 2, 1, 3, Bytes{0x1B});
    std::vector<std::uint32_t> map(12, 0);
    for (int i = 0; i < 4; ++i) map[i] = map[4 + i] = map[8 + i] = static_cast<std::uint32_t>(i * 0x5555);
    twoBit.tag(320, 3, map);
    TTIFFGraphic palette;
    EXPECT_EQ(loadError(twoBit.build(), &palette), "");
    EXPECT_EQ(palette.PixelFormat(), pf4bit);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(palette.PixelColor(x, 0), RGBColor(x * 85, x * 85, x * 85)) << x;
}

// Strips that all claim the rest of the file: the load reads a bounded
// multiple of the file, not the file once per strip.
TEST(TiffLoader, SharedStripDataIsNotReadOverAndOver)
{
    struct CountingStream : TMemoryStream {
        using TMemoryStream::TMemoryStream;
        std::uint64_t read = 0;
        std::size_t Read(void* buffer, std::size_t count) override
        {
            const std::size_t done = TMemoryStream::Read(buffer, count);
            read += done;
            return done;
        }
    };
    const std::uint32_t rows = 3000;
    TiffFile file = plainTiff(1, rows, 8, 1, 1, {});
    file.strips = {Bytes(256 * 1024, 0x80)};
    file.tag(259, 3, {5}).tag(278, 4, {1});
    file.tag(273, 4, std::vector<std::uint32_t>(rows, 8)).tag(279, 4, std::vector<std::uint32_t>(rows, 0xFFFFFFFF));
    const Bytes bytes = file.build();
    CountingStream stream(bytes);
    TTIFFGraphic loaded;
    loaded.LoadFromStream(stream);
    EXPECT_EQ(loaded.Height(), int(rows));
    EXPECT_LT(stream.read, 20 * bytes.size());
}

// CIE L*a*b* of 8 bits: lightness scaled from 0..255, a* and b* signed.
// Greys stay grey and get lighter with L*; a positive a* is red, a negative
// b* blue.
TEST(TiffLoader, LabSamples)
{
    const Bytes lab{0, 0, 0, 128, 0, 0, 255, 0, 0, 128, 60, 0, 128, 0, 0xC0};
    TTIFFGraphic loaded;
    ASSERT_EQ(loadError(plainTiff(5, 1, 8, 3, 8, lab).build(), &loaded), "");
    ASSERT_EQ(loaded.PixelFormat(), pf24bit);
    const RgbImage rgb = ToRgb(loaded);
    auto at = [&](int x, int c) { return int(rgb.pixel(x, 0)[c]); };
    for (int x : {0, 1, 2}) {
        EXPECT_LE(std::abs(at(x, 0) - at(x, 1)), 1) << x;
        EXPECT_LE(std::abs(at(x, 2) - at(x, 1)), 1) << x;
    }
    EXPECT_EQ(at(0, 1), 0);
    EXPECT_GT(at(1, 1), 20);
    EXPECT_LT(at(1, 1), 200);
    EXPECT_EQ(at(2, 1), 255);
    EXPECT_GT(at(3, 0), at(3, 1) + 50) << "a* of +60 is red";
    EXPECT_GT(at(4, 2), at(4, 0) + 50) << "b* of -64 is blue";
}

TEST(TiffLoader, PropertiesOfTheDirectory)
{
    // MM and II directories with inline multi-value entries read alike; a
    // RATIONAL with a zero denominator is the default.
    for (bool bigEndian : {false, true}) {
        TiffFile file = plainTiff(6, 2, 8, 3, 6, Bytes(18, 0));
        file.bigEndian = bigEndian;
        file.tag(530, 3, {2, 1}).tag(282, 5, {300, 0}).tag(283, 5, {300, 2}).tag(296, 3, {3});
        Bytes bytes = file.build();
        TMemoryStream stream(bytes);
        TTIFFGraphic graphic;
        ASSERT_TRUE(graphic.ReadImageProperties(stream, 0));
        const TImageProperties& p = graphic.ImageProperties;
        EXPECT_EQ(p.Options & BigEndianOption, bigEndian ? BigEndianOption : 0);
        EXPECT_EQ(p.YCbCrSubSampling, (TByteArray{2, 1}));
        EXPECT_EQ(p.ColorScheme, csYCbCr);
        EXPECT_FLOAT_EQ(p.XResolution, 0);
        EXPECT_FLOAT_EQ(p.YResolution, 150 * 2.54f);
        EXPECT_EQ(graphic.ReadImageProperties(stream, 1), false) << "there is no second directory";
    }

    // An integer tag of one value stored as a fraction type is read as its
    // default, as libtiff ignores it: the picture loads as it does without.
    Bytes rows(8 * 4);
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<std::uint8_t>(i * 7);
    TTIFFGraphic plain;
    ASSERT_EQ(loadError(plainTiff(8, 4, 8, 1, 1, rows).build(), &plain), "");
    const std::pair<std::uint16_t, std::vector<std::uint32_t>> fractions[] = {
        {5, {3, 1}}, {10, {2, 1}}, {11, {0x40400000}}, {12, {0, 0x40080000}}};
    for (const auto& [type, three] : fractions) {
        for (std::uint16_t tag : {296, 317}) {  // ResolutionUnit, Predictor
            TiffFile file = plainTiff(8, 4, 8, 1, 1, rows);
            file.tag(282, 5, {72, 1}).tag(tag, type, three);
            TTIFFGraphic graphic;
            ASSERT_EQ(loadError(file.build(), &graphic), "") << tag << " of type " << type;
            EXPECT_EQ(Compare(ToRgb(plain), ToRgb(graphic)), "") << tag << " of type " << type;
            if (tag == 296) {
                EXPECT_FLOAT_EQ(graphic.ImageProperties.XResolution, 72) << type;
            }
        }
    }
}

}  // namespace
