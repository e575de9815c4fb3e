// JPEG files through our JPEG library: decodes compared with djpeg (and
// ImageMagick for CMYK), writes read back by djpeg and by us, corrupt files,
// and the "library missing" path.

#include "platform/registry/Registry.h"
#include "raster/RasterFiles.h"
#include "RasterFileTestHelpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

using namespace filetest;

namespace {

class JpegFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveTool("cjpeg") || !HaveTool("djpeg") || !HaveTool("convert")) GTEST_SKIP() << "tools missing";
        SetRegistryFile(dir / "registry.ini");
        ASSERT_TRUE(ReloadJpegLibrary()) << "libijl15.so was not found";
        ASSERT_TRUE(RunQuiet("convert -size 61x47 -seed 5 plasma: -blur 0x2 -depth 8 ppm:" + (dir / "src.ppm")));
    }
    void TearDown() override { SetRegistryFile(""); }

    // Decodes `jpeg` with us and with djpeg; returns the number of differing pixels.
    int compareWithDjpeg(const std::string& jpeg, TRasterDIB& dib)
    {
        ReadJpegFile(dib, jpeg, 1);
        EXPECT_TRUE(RunQuiet("djpeg -pnm " + jpeg + " > " + (dir / "ref.pnm")));
        return countDifferences(dib, readPnm(dir / "ref.pnm"));
    }

    TempDir dir;
};

TEST_F(JpegFiles, BaselineAndProgressiveMatchDjpeg)
{
    for (const std::string options : {"-quality 85", "-quality 70 -progressive", "-quality 95 -sample 1x1"}) {
        SCOPED_TRACE(options);
        const std::string jpeg = dir / "c.jpg";
        ASSERT_TRUE(RunQuiet("cjpeg " + options + " " + (dir / "src.ppm") + " > " + jpeg));
        TRasterDIB dib;
        EXPECT_EQ(compareWithDjpeg(jpeg, dib), 0);
        EXPECT_EQ(dib.Header.BitCount, 24);
        EXPECT_GT(dib.Header.Height, 0) << "JPEG pictures load bottom-up";
    }
}

TEST_F(JpegFiles, GreyLoadsAsEightBitsWithTheGreyRamp)
{
    const std::string jpeg = dir / "g.jpg";
    ASSERT_TRUE(RunQuiet("cjpeg -grayscale " + (dir / "src.ppm") + " > " + jpeg));
    TRasterDIB dib;
    ReadJpegFile(dib, jpeg, 1);
    ASSERT_EQ(dib.Header.BitCount, 8);
    EXPECT_EQ(dib.Colors[255].rgbRed, 255);
    EXPECT_EQ(dib.Colors[100].rgbGreen, 99);  // the ramp runs one level dark
    ASSERT_TRUE(RunQuiet("djpeg -pnm " + jpeg + " > " + (dir / "g.pgm")));
    const Pnm ref = readPnm(dir / "g.pgm");
    ASSERT_EQ(ref.channels, 1);
    int differences = 0;
    for (int y = 0; y < ref.height; ++y)
        for (int x = 0; x < ref.width; ++x)
            differences += dib.GetPixelIndex(dib.AbsHeight - 1 - y, x) != ref.pixels[std::size_t(y) * ref.width + x];
    EXPECT_EQ(differences, 0);
}

TEST_F(JpegFiles, CmykIsConvertedToColour)
{
    const std::string jpeg = dir / "k.jpg";
    ASSERT_TRUE(RunQuiet("convert " + (dir / "src.ppm") + " -quality 95 -colorspace CMYK " + jpeg));
    ASSERT_TRUE(RunQuiet("convert " + jpeg + " -colorspace sRGB -depth 8 ppm:" + (dir / "k.ppm")));
    TRasterDIB dib;
    ReadJpegFile(dib, jpeg, 1);
    ASSERT_EQ(dib.Header.BitCount, 24);
    EXPECT_EQ(countDifferences(dib, readPnm(dir / "k.ppm"), 3), 0);
}

TEST_F(JpegFiles, WrittenFilesReadBackByDjpegAndByUs)
{
    for (int sign : {1, -1}) {
        TRasterDIB dib;
        const std::string jpeg = dir / "w.jpg";
        ASSERT_TRUE(RunQuiet("cjpeg -quality 100 -sample 1x1 " + (dir / "src.ppm") + " > " + (dir / "hq.jpg")));
        ReadJpegFile(dib, dir / "hq.jpg", 1);
        if (sign < 0) {
            // The same picture in a top-down buffer must come out the same way up.
            TRasterDIB top;
            top.SetSize(dib.Header.Width, -dib.AbsHeight, 24);
            CopyDIBRect(top, dib, 0, 0, dib.Header.Width, dib.AbsHeight, 0, 0);
            dib.TakeOver(top);
        }
        WriteJpegFile(dib, jpeg, 60);
        ASSERT_TRUE(RunQuiet("djpeg -pnm " + jpeg + " > " + (dir / "w.ppm")));
        const Pnm ref = readPnm(dir / "w.ppm");
        EXPECT_EQ(ref.width, 61);
        EXPECT_EQ(ref.height, 47);
        TRasterDIB back;
        ReadJpegFile(back, jpeg, 1);
        EXPECT_EQ(countDifferences(back, ref), 0);
        // Quality 60 stays close to the source, the same way up.
        EXPECT_LT(meanDifference(dib, ref), 6.0);
    }
}

// Peak signal-to-noise ratio in dB over the three channels of two buffers of
// the same size (rows compared from the top).
namespace {
double psnr(const TRasterDIB& a, const TRasterDIB& b)
{
    double squares = 0;
    for (int y = 0; y < a.AbsHeight; ++y)
        for (int x = 0; x < a.Header.Width; ++x) {
            const TColorTriple p = pixelFromTop(a, x, y), q = pixelFromTop(b, x, y);
            for (const int d : {p.Red - q.Red, p.Green - q.Green, p.Blue - q.Blue}) squares += double(d) * d;
        }
    const double mse = squares / (3.0 * a.Header.Width * a.AbsHeight);
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}
}  // namespace

// A photo-like picture (plasma, softened, with a sharp-edged box on it)
// written at quality 90 reads back at 33 dB or more, at quality 60 at 30 dB
// or more, and the higher quality is the closer one.
TEST_F(JpegFiles, WrittenFilesStayWithinAPsnrBound)
{
    ASSERT_TRUE(
        RunQuiet("convert -size 160x120 -seed 21 plasma: -blur 0x1.5 -fill '#d03020' -draw 'rectangle 40,30 90,70' "
                 "-type truecolor BMP3:" +
                 (dir / "photo.bmp")));
    TRasterDIB source;
    ReadBmpFile(source, dir / "photo.bmp");
    ASSERT_EQ(source.Header.BitCount, 24);
    double previous = 0;
    for (const auto& [quality, bound] : {std::pair{60, 30.0}, std::pair{90, 33.0}}) {
        SCOPED_TRACE(quality);
        WriteJpegFile(source, dir / "q.jpg", quality);
        TRasterDIB back;
        ReadJpegFile(back, dir / "q.jpg", 1);
        ASSERT_EQ(back.Header.Width, 160);
        ASSERT_EQ(back.AbsHeight, 120);
        const double db = psnr(source, back);
        EXPECT_GE(db, bound);
        EXPECT_LT(db, 99.0);  // lossy: never a bit-exact copy
        EXPECT_GT(db, previous);
        previous = db;
        std::printf("quality %d: PSNR %.2f dB\n", quality, db);
    }
}

TEST_F(JpegFiles, EightBitPicturesAreWrittenGreyOrThroughColour)
{
    TRasterDIB grey;
    grey.SetSize(16, 8, 8);
    const TColorTriple ramp[] = {BlackTriple, WhiteTriple};
    grey.MakeGradientPalette(0, 255, ramp);
    for (int x = 0; x < 16; ++x)
        for (int y = 0; y < 8; ++y) grey.SetPixelIndex(y, x, x * 16);
    WriteJpegFile(grey, dir / "g.jpg", 90);
    TRasterDIB back;
    ReadJpegFile(back, dir / "g.jpg", 1);
    EXPECT_EQ(back.Header.BitCount, 8);
    EXPECT_NEAR(back.GetPixelIndex(3, 5), 80, 3);

    TRasterDIB paletted;
    paletted.SetSize(16, 8, 4);
    paletted.Colors[1] = RGBQUAD{0, 0, 255, 0};  // red
    paletted.Clear(TColorTriple{0, 0, 255});
    WriteJpegFile(paletted, dir / "p.jpg", 90);
    ReadJpegFile(back, dir / "p.jpg", 1);
    ASSERT_EQ(back.Header.BitCount, 24);
    TColorTriple t;
    back.GetPixelColor(4, 8, t);
    EXPECT_GT(t.Red, 240);
    EXPECT_LT(t.Green, 16);
}

TEST_F(JpegFiles, CorruptOrTruncatedFilesGiveAnEmptyBuffer)
{
    const std::string jpeg = dir / "c.jpg";
    ASSERT_TRUE(RunQuiet("cjpeg -quality 85 " + (dir / "src.ppm") + " > " + jpeg));
    std::vector<std::uint8_t> bytes = ReadFileBytes(jpeg);
    std::vector<std::vector<std::uint8_t>> bad;
    bad.emplace_back(bytes.begin(), bytes.begin() + std::ptrdiff_t(bytes.size() / 2));  // truncated
    auto scrambled = bytes;
    for (std::size_t i = bytes.size() / 3; i < bytes.size() - 2; i += 7) scrambled[i] ^= 0x5A;
    bad.push_back(scrambled);
    bad.push_back({'n', 'o', 't', ' ', 'j', 'p', 'e', 'g'});
    bad.push_back({});
    for (const auto& b : bad) {
        WriteFileBytes(dir / "bad.jpg", b);
        TRasterDIB dib;
        dib.SetSize(5, 5, 24);
        ReadJpegFile(dib, dir / "bad.jpg", 1);
        EXPECT_EQ(dib.Header.Width, 0);
        EXPECT_EQ(dib.AbsHeight, 0);
    }
    TRasterDIB missing;
    ReadJpegFile(missing, dir / "none.jpg", 1);
    EXPECT_EQ(missing.Header.Width, 0);
}

// An arithmetic coder's data may stop before its scan ends (the decoder goes
// on with zeros), so a cut there loads no more than a cut Huffman scan does;
// without its end marker such a file cannot be told from a cut one.
TEST_F(JpegFiles, CutArithmeticFilesAreRefusedAsCutHuffmanFiles)
{
    for (const std::string options : {"", "-arithmetic", "-arithmetic -progressive", "-arithmetic -restart 1"}) {
        SCOPED_TRACE(options);
        const std::string jpeg = dir / "a.jpg";
        ASSERT_TRUE(RunQuiet("cjpeg " + options + " " + (dir / "src.ppm") + " > " + jpeg));
        const std::vector<std::uint8_t> bytes = ReadFileBytes(jpeg);
        TRasterDIB whole;
        EXPECT_EQ(compareWithDjpeg(jpeg, whole), 0);
        std::vector<std::size_t> cuts = {bytes.size() / 2, bytes.size() - 40};
        if (options != "") cuts.push_back(bytes.size() - 2);  // only the end marker lost
        for (std::size_t cut : cuts) {
            SCOPED_TRACE(cut);
            WriteFileBytes(dir / "cut.jpg",
                           std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + std::ptrdiff_t(cut)));
            TRasterDIB dib;
            ReadJpegFile(dib, dir / "cut.jpg", 1);
            EXPECT_EQ(dib.Width(), 0);
            EXPECT_EQ(dib.Bits, nullptr);
        }
    }
}

TEST_F(JpegFiles, HugeDeclaredSizeRaisesBeforeAllocating)
{
    const std::string jpeg = dir / "c.jpg";
    ASSERT_TRUE(RunQuiet("cjpeg -quality 85 " + (dir / "src.ppm") + " > " + jpeg));
    std::vector<std::uint8_t> bytes = ReadFileBytes(jpeg);
    std::size_t sof = 0;
    for (std::size_t i = 2; i + 9 < bytes.size() && !sof; ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) sof = i;
    ASSERT_NE(sof, 0u);
    for (std::size_t at : {sof + 5, sof + 7}) {  // height, then width: 60000 each
        bytes[at] = 0xEA;
        bytes[at + 1] = 0x60;
    }
    WriteFileBytes(dir / "huge.jpg", bytes);
    TRasterDIB dib;
    EXPECT_THROW(ReadJpegFile(dib, dir / "huge.jpg", 1), EJpegError);
    EXPECT_EQ(dib.Bits, nullptr);
}

// The least data a real JPEG spends on its blocks: one flat colour at
// quality 1, in every coding a tool makes. None may be taken for a header
// that claims more than its data can fill.
TEST_F(JpegFiles, FlatPicturesAtTheLowestQualityAreNeverRefused)
{
    ASSERT_TRUE(RunQuiet("convert -size 1200x800 xc:'#3080c0' ppm:" + (dir / "flat.ppm")));
    const char* const encodings[] = {
        "cjpeg -quality 1 -sample 2x2",
        "cjpeg -quality 1 -sample 1x1",
        "cjpeg -quality 1 -sample 2x2 -progressive",
        "cjpeg -quality 1 -sample 1x1 -progressive -optimize",
        "cjpeg -quality 1 -restart 1B",
        "cjpeg -quality 1 -progressive -restart 1",
        "cjpeg -quality 1 -arithmetic",
        "cjpeg -quality 1 -arithmetic -progressive",
    };
    for (const char* encoding : encodings) {
        SCOPED_TRACE(encoding);
        const std::string jpeg = dir / "flat.jpg";
        ASSERT_TRUE(RunQuiet(std::string(encoding) + " " + (dir / "flat.ppm") + " > " + jpeg));
        TRasterDIB dib;
        EXPECT_EQ(compareWithDjpeg(jpeg, dib), 0);
        EXPECT_EQ(dib.Width(), 1200);
    }
    ASSERT_TRUE(RunQuiet("cjpeg -quality 1 -optimize -grayscale " + (dir / "flat.ppm") + " > " + (dir / "g.jpg")));
    TRasterDIB grey;
    ReadJpegFile(grey, dir / "g.jpg", 1);
    EXPECT_EQ(grey.AbsHeight, 800);
    for (const char* options : {"-sampling-factor 4:2:0", "-sampling-factor 4:4:4 -interlace JPEG"}) {
        SCOPED_TRACE(options);
        ASSERT_TRUE(RunQuiet("convert " + (dir / "flat.ppm") + " -quality 1 " + options + " " + (dir / "im.jpg")));
        TRasterDIB dib;
        EXPECT_EQ(compareWithDjpeg(dir / "im.jpg", dib), 0);
        EXPECT_EQ(dib.AbsHeight, 800);
    }
}

// A real 16 x 16 file whose frame claims 16000 x 16000 (about 630 bytes for
// 768 MB of picture): refused in the header call, before the picture is
// made, in every coding, also padded to 900 KB by bytes that are no scan
// data: after the end marker, in comments, or after a restart marker where no
// restart interval is set (libjpeg reads no further).
TEST_F(JpegFiles, HeaderClaimingMoreThanTheDataCanFillIsRefused)
{
    ASSERT_TRUE(RunQuiet("convert -size 16x16 xc:gray ppm:" + (dir / "s.ppm")));
    const std::vector<std::uint8_t> zeros(900 * 1024, 0);
    std::vector<std::uint8_t> comments;  // 14 of the longest
    for (int i = 0; i < 14; ++i) {
        comments.insert(comments.end(), {0xFF, 0xFE, 0xFF, 0xFF});
        comments.insert(comments.end(), 65533, 0);
    }
    std::vector<std::uint8_t> restart = {0xFF, 0xD0};
    restart.insert(restart.end(), zeros.begin(), zeros.end());
    for (const std::string options : {"", "-progressive", "-arithmetic"}) {
        ASSERT_TRUE(RunQuiet("cjpeg " + options + " " + (dir / "s.ppm") + " > " + (dir / "s.jpg")));
        std::vector<std::uint8_t> bytes = ReadFileBytes(dir / "s.jpg");
        std::size_t sof = 0;
        for (std::size_t i = 2; i + 9 < bytes.size() && !sof; ++i)
            if (bytes[i] == 0xFF && bytes[i + 1] >= 0xC0 && bytes[i + 1] <= 0xCA && bytes[i + 1] != 0xC4) sof = i;
        ASSERT_NE(sof, 0u);
        for (std::size_t at : {sof + 5, sof + 7}) {
            bytes[at] = 16000 >> 8;
            bytes[at + 1] = 16000 & 0xFF;
        }
        const std::ptrdiff_t end = std::ptrdiff_t(bytes.size()) - 2;
        for (const auto& [padding, beforeEnd] :
             {std::pair{std::vector<std::uint8_t>{}, false}, {zeros, false}, {comments, true}, {restart, true}}) {
            SCOPED_TRACE(options + ", " + std::to_string(padding.size()) + " bytes " +
                         (beforeEnd ? "before" : "after") + " the end marker");
            std::vector<std::uint8_t> file = bytes;
            file.insert(beforeEnd ? file.begin() + end : file.end(), padding.begin(), padding.end());
            WriteFileBytes(dir / "claims.jpg", file);
            TJpegMetadata metadata;
            EXPECT_FALSE(ReadJpegMetadata(dir / "claims.jpg", metadata));
            TRasterDIB dib;
            dib.SetSize(5, 5, 24);
            ReadJpegFile(dib, dir / "claims.jpg", 1);
            EXPECT_EQ(dib.Width(), 0);
            EXPECT_EQ(dib.Bits, nullptr);
        }
    }
}

// The reader reports the orientation and the metadata segments and leaves the
// pixels as stored; the writer puts given segments into its file.
TEST_F(JpegFiles, MetadataIsReportedAndWrittenBack)
{
    if (!HaveTool("exiftool")) GTEST_SKIP() << "exiftool missing";
    const std::string jpeg = dir / "tagged.jpg";
    ASSERT_TRUE(RunQuiet("cjpeg " + (dir / "src.ppm") + " > " + jpeg));
    ASSERT_TRUE(RunQuiet("exiftool -q -n -overwrite_original -Orientation=6 -Model=Pocket -Comment=Hello " + jpeg));
    TRasterDIB dib;
    TJpegMetadata metadata;
    EXPECT_EQ(compareWithDjpeg(jpeg, dib), 0);
    ReadJpegFile(dib, jpeg, 1, &metadata);
    EXPECT_EQ(metadata.Orientation, 6);
    EXPECT_EQ(dib.Width(), 61) << "read as stored";
    std::string markers;
    for (const TJpegSegment& s : metadata.Segments) markers += std::to_string(s.Marker) + " ";
    EXPECT_EQ(markers, "224 225 254 ") << "JFIF, EXIF, comment in file order";

    OrientPicture(dib, metadata.Orientation);
    EXPECT_EQ(dib.Width(), 47);
    const std::vector<TJpegSegment> kept = SegmentsForUprightCopy(metadata.Segments, 47, 61, false);
    WriteJpegFile(dib, dir / "upright.jpg", 90, &kept);
    EXPECT_EQ(
        testsupport::RunCapture("exiftool -s3 -n -Orientation -Model -Comment -ImageWidth " + (dir / "upright.jpg"))
            .Output,
        "1\nPocket\nHello\n47\n");
}

TEST_F(JpegFiles, FailedWriteRaisesAndLeavesNoFile)
{
    TRasterDIB dib;
    dib.SetSize(8, 8, 24);
    EXPECT_THROW(WriteJpegFile(dib, dir / "no/such/folder/x.jpg", 75), EJpegError);
    TRasterDIB empty;
    EXPECT_THROW(WriteJpegFile(empty, dir / "empty.jpg", 75), EJpegError);
    EXPECT_FALSE(std::filesystem::exists(dir / "empty.jpg"));
    if (std::filesystem::exists("/dev/full")) {
        // A full disk: the library fails part-way and removes what it wrote.
        EXPECT_THROW(WriteJpegFile(dib, "/dev/full", 75), EJpegError);
    }
}

TEST_F(JpegFiles, MissingLibraryLeavesBuffersAlone)
{
    ASSERT_FALSE(ReloadJpegLibrary(dir / "hidden/libijl15.so"));
    EXPECT_FALSE(JpegLibraryPresent());
    ASSERT_TRUE(RunQuiet("cjpeg " + (dir / "src.ppm") + " > " + (dir / "c.jpg")));
    TRasterDIB dib;
    dib.SetSize(5, 4, 8);
    ReadJpegFile(dib, dir / "c.jpg", 1);
    EXPECT_EQ(dib.Header.Width, 5);
    EXPECT_EQ(dib.Header.BitCount, 8);
    WriteJpegFile(dib, dir / "out.jpg", 75);
    EXPECT_FALSE(std::filesystem::exists(dir / "out.jpg"));
    EXPECT_TRUE(ReloadJpegLibrary());
    ReadJpegFile(dib, dir / "c.jpg", 1);
    EXPECT_EQ(dib.Header.Width, 61);
}

TEST_F(JpegFiles, LoadingWritesTheProcessorValue)
{
    const auto value = RegistryReadDWord("HKEY_LOCAL_MACHINE\\SOFTWARE\\Intel Corporation\\PLSuite\\IJLib", "USECPU");
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(*value, JpegProcessorValue(CPUInfo));
}

TEST(JpegProcessorValue, FollowsVendorFamilyAndFeatures)
{
    TCPUInfo info;
    EXPECT_EQ(JpegProcessorValue(info), 0u);
    info.VendorID = "GenuineIntel";
    info.Family = 5;
    EXPECT_EQ(JpegProcessorValue(info), 1u);
    info.Features[cfMMX] = true;
    EXPECT_EQ(JpegProcessorValue(info), 3u);
    info.Family = 6;
    info.Model = 1;
    info.Features[cfMMX] = false;
    EXPECT_EQ(JpegProcessorValue(info), 2u);
    info.Model = 8;
    EXPECT_EQ(JpegProcessorValue(info), 4u);
    info.Features[cfMMX] = true;
    EXPECT_EQ(JpegProcessorValue(info), 4u);
    info.Features[cfSSE] = true;
    EXPECT_EQ(JpegProcessorValue(info), 5u);
    info.Features[cfSSE2] = true;
    EXPECT_EQ(JpegProcessorValue(info), 6u);
    info.VendorID = "AuthenticAMD";
    EXPECT_EQ(JpegProcessorValue(info), 6u);
}

}  // namespace
