// Pictures between files and buffers: every loader path compared pixel for
// pixel with an independent decoder, broken files, saving with quality and
// kept dates, and output names.

#include "gallery/pictures/pvutilsPictures.h"

#include "formats/ImageFormats.h"
#include "platform/core/ByteOrder.h"
#include "platform/picture/Picture.h"
#include "platform/registry/Registry.h"
#include "platform/system/System.h"
#include "raster/RasterFiles.h"
#include "tests/raster/RasterFileTestHelpers.h"
#include "tests/support/Raises.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <utime.h>

#include <cstring>
#include <ctime>
#include <filesystem>

using namespace filetest;

namespace {

class Pictures : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitializeImageFormats(); }
    void SetUp() override
    {
        if (!HaveTool("convert") || !HaveTool("djpeg") || !HaveTool("cjpeg") || !HaveTool("identify"))
            GTEST_SKIP() << "ImageMagick or libjpeg-turbo-progs missing";
        SetRegistryFile(dir / "registry.ini");
        ASSERT_TRUE(ReloadJpegLibrary()) << "libijl15.so was not found";
        ASSERT_TRUE(RunQuiet("convert -size 53x37 -seed 7 plasma: -depth 8 ppm:" + (dir / "src.ppm")));
    }
    void TearDown() override
    {
        ReloadJpegLibrary();
        SetRegistryFile("");
    }

    // Loads with ours and decodes the same file with ImageMagick; returns the
    // number of pixels differing by more than tolerance.
    int compareWithConvert(const std::string& file, int tolerance = 0)
    {
        TRasterDIB dib;
        LoadImageFile(dib, file);
        EXPECT_EQ(dib.BitCount(), 24) << file;
        EXPECT_TRUE(RunQuiet("convert " + file + " -depth 8 ppm:" + (dir / "ref.ppm")));
        return countDifferences(dib, readPnm(dir / "ref.ppm"), tolerance);
    }

    TempDir dir;
};

time_t modificationTime(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mtime : 0;
}

void setModificationTime(const std::string& path, time_t when)
{
    struct utimbuf times {
        when, when
    };
    ::utime(path.c_str(), &times);
}

void truncateFile(const std::string& path, double share)
{
    std::vector<std::uint8_t> bytes = ReadFileBytes(path);
    bytes.resize(std::size_t(double(bytes.size()) * share));
    WriteFileBytes(path, bytes);
}

}  // namespace

TEST_F(Pictures, JpegNamesGoToTheJpegReaderAndMatchDjpeg)
{
    const std::string options[] = {"-quality 85", "-quality 70 -progressive"};
    const std::string names[] = {"photo.jpg", "photo.JPEG", "photo.jfif", "photo.jpe"};
    for (const std::string& option : options)
        for (const std::string& name : names) {
            SCOPED_TRACE(option + " " + name);
            const std::string file = dir / name;
            ASSERT_TRUE(RunQuiet("cjpeg " + option + " " + (dir / "src.ppm") + " > " + file));
            ASSERT_TRUE(RunQuiet("djpeg -pnm " + file + " > " + (dir / "ref.ppm")));
            TRasterDIB dib;
            LoadImageFile(dib, file);
            EXPECT_EQ(dib.BitCount(), 24);
            EXPECT_EQ(countDifferences(dib, readPnm(dir / "ref.ppm")), 0);
        }
}

// Portable maps, SGI files and Photo-CD packs go through the picture
// registry and come out as 24-bit pictures, the lossless ones equal to the
// source.
TEST_F(Pictures, PortableMapSgiAndPhotoCdBecomeTwentyFourBits)
{
    if (!HaveTool("pnmtosgi")) GTEST_SKIP() << "netpbm missing";
    const std::string ppm = dir / "photo.ppm", sgi = dir / "photo.rgb", pcd = dir / "photo.pcd";
    ASSERT_TRUE(RunQuiet("cp " + (dir / "src.ppm") + " " + ppm));
    ASSERT_TRUE(RunQuiet("pnmtosgi -rle " + ppm + " > " + sgi));
    ASSERT_TRUE(RunQuiet("convert " + ppm + " -resize 768x512! pcd:" + pcd));
    for (const std::string& file : {ppm, sgi}) {
        TRasterDIB dib;
        LoadImageFile(dib, file);
        EXPECT_EQ(dib.BitCount(), 24) << file;
        EXPECT_EQ(countDifferences(dib, readPnm(dir / "src.ppm")), 0) << file;
    }
    TRasterDIB photo;
    LoadImageFile(photo, pcd);
    EXPECT_EQ(photo.BitCount(), 24);
    EXPECT_EQ(photo.Width(), 768);
    EXPECT_EQ(photo.AbsHeight, 512);
}

TEST_F(Pictures, GreyJpegBecomesTwentyFourBits)
{
    const std::string file = dir / "grey.jpg";
    ASSERT_TRUE(RunQuiet("cjpeg -grayscale " + (dir / "src.ppm") + " > " + file));
    ASSERT_TRUE(RunQuiet("djpeg -pnm " + file + " > " + (dir / "ref.pgm")));
    TRasterDIB dib;
    LoadImageFile(dib, file);
    ASSERT_EQ(dib.BitCount(), 24);
    const Pnm ref = readPnm(dir / "ref.pgm");
    ASSERT_EQ(ref.channels, 1);
    // The grey ramp of the JPEG reader runs at most one level from djpeg's.
    EXPECT_EQ(countDifferences(dib, ref, 1), 0);
    const TColorTriple p = pixelFromTop(dib, 10, 10);
    EXPECT_TRUE(p.Red == p.Green && p.Green == p.Blue);
}

TEST_F(Pictures, BmpAtEveryDepthBecomesTwentyFourBits)
{
    const std::pair<std::string, std::string> kinds[] = {{"-monochrome -type bilevel", "bmp3"},
                                                         {"-colors 16 -type palette", "bmp3"},
                                                         {"-colors 200 -type palette", "bmp3"},
                                                         {"-type truecolor", "bmp3"},
                                                         {"-type truecoloralpha -alpha set", "bmp"}};
    int n = 0;
    for (const auto& [option, format] : kinds) {
        SCOPED_TRACE(option);
        const std::string file = dir / ("photo" + std::to_string(n++) + ".BMP");
        ASSERT_TRUE(RunQuiet("convert " + (dir / "src.ppm") + " " + option + " " + format + ":" + file));
        EXPECT_EQ(compareWithConvert(file), 0);
    }
}

TEST_F(Pictures, RegistryFormatsBecomeTwentyFourBits)
{
    // GIF and PCX are palette pictures; PNG keeps every colour, also at 16
    // bits per sample and with a palette.
    const std::pair<std::string, std::string> made[] = {{"photo.gif", ""},
                                                        {"photo.png", ""},
                                                        {"photo16.png", "-depth 16"},
                                                        {"photo8.png", "-colors 50 -type palette"},
                                                        {"photo.pcx", ""},
                                                        {"photo.tif", "-compress lzw"},
                                                        {"photo16.TIFF", "-depth 16 -compress zip"},
                                                        {"photo8.tif", "-colors 50 -type palette"},
                                                        {"photo.GIF", "-colors 7"}};
    for (const auto& [name, option] : made) {
        SCOPED_TRACE(name);
        const std::string file = dir / name;
        ASSERT_TRUE(RunQuiet("convert " + (dir / "src.ppm") + " " + option + " " + file));
        EXPECT_EQ(compareWithConvert(file), 0);
    }
    // Targa made by netpbm (ImageMagick's own Targa files store their rows
    // against the header's origin flag).
    if (HaveTool("ppmtotga")) {
        const std::string tga = dir / "photo.tga";
        ASSERT_TRUE(RunQuiet("ppmtotga -rgb " + (dir / "src.ppm") + " > " + tga));
        TRasterDIB dib;
        LoadImageFile(dib, tga);
        EXPECT_EQ(dib.BitCount(), 24);
        EXPECT_EQ(countDifferences(dib, readPnm(dir / "src.ppm")), 0);
    }
}

TEST_F(Pictures, MissingFilesAndUnknownExtensions)
{
    TRasterDIB fresh;
    LoadImageFile(fresh, dir / "nothing.jpg");
    EXPECT_EQ(fresh.Width(), 0);
    EXPECT_EQ(fresh.AbsHeight, 0);
    // A missing file leaves what the buffer held.
    TRasterDIB held;
    held.SetSize(3, 2, 24);
    LoadImageFile(held, dir / "nothing.png");
    EXPECT_EQ(held.Width(), 3);

    WriteFileBytes(dir / "photo.xyz", {1, 2, 3});
    TRasterDIB dib;
    try {
        LoadImageFile(dib, dir / "photo.xyz");
        FAIL() << "an unknown extension must raise";
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message, "Unknown picture file extension (.xyz)");
    }
}

// A '\' in a stored name is a folder separator.
TEST_F(Pictures, BackslashesSeparateFolders)
{
    std::filesystem::create_directory(dir / "frames");
    ASSERT_TRUE(RunQuiet("convert " + (dir / "src.ppm") + " " + (dir / "frames/bar1.png")));
    TRasterDIB dib;
    LoadImageFile(dib, dir.path.string() + "\\frames\\bar1.png");
    EXPECT_EQ(dib.Width(), 53);
}

// Corrupt and truncated files of every reader give "not loaded", never a
// half-made picture and never an error the build would stop at.
TEST_F(Pictures, BrokenFilesAreNotLoaded)
{
    ASSERT_TRUE(RunQuiet("cjpeg " + (dir / "src.ppm") + " > " + (dir / "cut.jpg")));
    const std::string others[] = {"cut.bmp", "cut.gif", "cut.png", "cut.pcx"};
    for (const std::string& name : others) ASSERT_TRUE(RunQuiet("convert " + (dir / "src.ppm") + " " + (dir / name)));
    std::vector<std::string> broken = {"cut.jpg", "cut.bmp", "cut.gif", "cut.png", "cut.pcx"};
    if (HaveTool("ppmtotga")) {
        ASSERT_TRUE(RunQuiet("ppmtotga -rgb " + (dir / "src.ppm") + " > " + (dir / "cut.tga")));
        broken.push_back("cut.tga");
    }
    // netpbm writes the TIFF directory before the strips, so the cut falls in them.
    if (HaveTool("pnmtotiff")) {
        ASSERT_TRUE(RunQuiet("pnmtotiff -lzw " + (dir / "src.ppm") + " > " + (dir / "cut.tif")));
        broken.push_back("cut.tif");
    }
    // Cut near the end, then in the middle: one missing row is enough.
    for (const double share : {0.97, 0.5})
        for (const std::string& name : broken) {
            SCOPED_TRACE(name + " cut to " + std::to_string(share));
            truncateFile(dir / name, share);
            TRasterDIB dib;
            dib.SetSize(5, 5, 24);
            EXPECT_NO_THROW(LoadImageFile(dib, dir / name));
            EXPECT_EQ(dib.Width(), 0);
            EXPECT_EQ(dib.AbsHeight, 0);
        }
    // Run-length BMP files cut inside their runs.
    for (const std::string colours : {"200", "12"}) {
        SCOPED_TRACE("RLE " + colours);
        const std::string rle = dir / ("rle" + colours + ".bmp");
        ASSERT_TRUE(RunQuiet("convert " + (dir / "src.ppm") + " -colors " + colours +
                             " -type palette -compress rle bmp3:" + rle));
        TRasterDIB whole;
        LoadImageFile(whole, rle);
        ASSERT_EQ(whole.Width(), 53);
        EXPECT_EQ(compareWithConvert(rle), 0);
        truncateFile(rle, 0.9);
        TRasterDIB cut;
        LoadImageFile(cut, rle);
        EXPECT_EQ(cut.Width(), 0);
    }
    for (const std::string ext : {".jpg", ".bmp", ".gif", ".png", ".pcx", ".tga"}) {
        SCOPED_TRACE(ext);
        WriteFileBytes(dir / ("junk" + ext), std::vector<std::uint8_t>(300, 0x5A));
        TRasterDIB dib;
        EXPECT_NO_THROW(LoadImageFile(dib, dir / ("junk" + ext)));
        EXPECT_EQ(dib.Width(), 0);
        WriteFileBytes(dir / ("empty" + ext), {});
        EXPECT_NO_THROW(LoadImageFile(dib, dir / ("empty" + ext)));
        EXPECT_EQ(dib.Width(), 0);
    }
}

// Hand-made headers that promise more than the file holds, or sizes no
// picture can have: each is "not loaded", nothing is allocated from them.
TEST_F(Pictures, HostileHeadersAreNotLoaded)
{
    auto le32 = [](std::vector<std::uint8_t>& b, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(std::uint8_t(v >> (8 * i)));
    };
    auto bmp = [&](std::int32_t width, std::int32_t height, int bits, std::uint32_t compression,
                   const std::vector<std::uint8_t>& data) {
        std::vector<std::uint8_t> b = {'B', 'M'};
        le32(b, std::uint32_t(54 + data.size()));
        le32(b, 0);
        le32(b, 54 + (bits <= 8 ? 4u << bits : 0u));
        le32(b, 40);
        le32(b, std::uint32_t(width));
        le32(b, std::uint32_t(height));
        b.push_back(1), b.push_back(0), b.push_back(std::uint8_t(bits)), b.push_back(0);
        le32(b, compression);
        for (int i = 0; i < 5; ++i) le32(b, 0);
        if (bits <= 8) b.resize(b.size() + (4u << bits), 0x40);
        b.insert(b.end(), data.begin(), data.end());
        return b;
    };
    const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> cases = {
        {"huge.bmp", bmp(0x7FFFFFFF, -0x7FFFFFFF - 1, 32, 0, {1, 2, 3})},
        {"wide.bmp", bmp(0x40000000, 0x40000000, 24, 0, {})},
        {"short.bmp", bmp(4, 4, 24, 0, std::vector<std::uint8_t>(47, 9))},
        {"noend.bmp", bmp(4, 4, 8, 1, {4, 1, 4, 2, 0, 0, 4, 3})},
        {"runaway.bmp", bmp(4, 4, 8, 1, {0, 200, 1, 2})},
        {"table.gif", {'G', 'I', 'F', '8', '9', 'a', 4, 0, 4, 0, 0xF7, 0, 0, 1, 2, 3}},
        {"blocks.gif",
         {'G', 'I', 'F', '8', '9', 'a', 2, 0, 2, 0, 0, 0, 0, 0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0, 2, 200, 1, 2}},
        {"huge.gif", {'G', 'I', 'F', '8',  '9',  'a',  0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0x2C, 0,
                      0,   0,   0,   0xFF, 0xFF, 0xFF, 0xFF, 0,    8,    2,    0, 1, 0, 0x3B}},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        WriteFileBytes(dir / name, bytes);
        TRasterDIB dib;
        EXPECT_NO_THROW(LoadImageFile(dib, dir / name));
        EXPECT_EQ(dib.Width(), 0);
        EXPECT_EQ(dib.AbsHeight, 0);
    }
    // A complete run-length picture still loads.
    WriteFileBytes(dir / "rle.bmp", bmp(2, 2, 8, 1, {2, 5, 0, 0, 2, 6, 0, 1}));
    TRasterDIB dib;
    LoadImageFile(dib, dir / "rle.bmp");
    EXPECT_EQ(dib.Width(), 2);
    EXPECT_EQ(dib.AbsHeight, 2);
}

// A 21 KB run-length BMP whose header claims 16384 x 16384 pixels: its runs
// cannot fill a 268-megapixel picture, so no path allocates one.
TEST_F(Pictures, SparseRunLengthBmpClaimingAHugePictureIsRefusedOnEveryPath)
{
    std::vector<std::uint8_t> file(54 + 1024, 0);
    file[0] = 'B';
    file[1] = 'M';
    PutLE32(&file[10], std::uint32_t(file.size()));
    PutLE32(&file[14], 40);
    PutLE32(&file[18], 1 << 14);
    PutLE32(&file[22], 1 << 14);
    PutLE16(&file[26], 1);
    PutLE16(&file[28], 8);
    PutLE32(&file[30], 1);  // RLE8
    for (int row = 0; row < 5000; ++row) file.insert(file.end(), {255, std::uint8_t(row), 0, 0});
    file.insert(file.end(), {0, 1});
    PutLE32(&file[2], std::uint32_t(file.size()));
    const std::string path = dir / "sparse.bmp";
    WriteFileBytes(path, file);

    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    TRasterDIB dib;
    EXPECT_NO_THROW(LoadImageFile(dib, path));
    EXPECT_EQ(dib.Width(), 0);
    TPicture picture;
    EXPECT_EQ(testsupport::MessageOf<EInvalidGraphic>([&] { picture.LoadFromFile(path); }, "the registry loaded it"),
              "Invalid BMP file: the run-length data cannot fill the picture");
    TRasterDIB direct;
    EXPECT_THROW(ReadBmpFile(direct, path), EBmpError);
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 32 * 1024) << "peak memory grew by kilobytes";
}

// A JPEG that lacks only its end marker is the picture djpeg makes of it;
// one that loses any byte of its scans is still not loaded.
TEST_F(Pictures, JpegWithoutItsEndMarkerLoadsAsDjpegDecodesIt)
{
    for (const std::string option : {"-quality 85", "-quality 70 -progressive", "-grayscale"}) {
        SCOPED_TRACE(option);
        const std::string whole = dir / "whole.jpg", cut = dir / "cut.jpg";
        ASSERT_TRUE(RunQuiet("cjpeg " + option + " " + (dir / "src.ppm") + " > " + whole));
        std::vector<std::uint8_t> bytes = ReadFileBytes(whole);
        ASSERT_EQ(bytes[bytes.size() - 2], 0xFF);
        ASSERT_EQ(bytes.back(), 0xD9);
        bytes.resize(bytes.size() - 2);
        WriteFileBytes(cut, bytes);
        // djpeg warns of the premature end (exit status 2) and writes the picture.
        RunQuiet("djpeg -pnm " + cut + " > " + (dir / "ref.pnm"));
        TRasterDIB fromCut, fromWhole;
        LoadImageFile(fromCut, cut);
        LoadImageFile(fromWhole, whole);
        ASSERT_EQ(fromCut.Width(), 53);
        // Grey pictures take the reader's grey ramp, at most one level from djpeg's.
        EXPECT_EQ(countDifferences(fromCut, readPnm(dir / "ref.pnm"), option == "-grayscale" ? 1 : 0), 0);
        ASSERT_EQ(fromWhole.Width(), 53);
        EXPECT_EQ(std::memcmp(fromCut.Bits, fromWhole.Bits, fromWhole.Header.ImageSize), 0);

        bytes.pop_back();  // the last byte of the last scan
        WriteFileBytes(cut, bytes);
        TRasterDIB lost;
        LoadImageFile(lost, cut);
        EXPECT_EQ(lost.Width(), 0);
    }
    // A progressive file that ends between scans lacks its last refinement.
    ASSERT_TRUE(RunQuiet("cjpeg -progressive " + (dir / "src.ppm") + " > " + (dir / "scans.jpg")));
    std::vector<std::uint8_t> bytes = ReadFileBytes(dir / "scans.jpg");
    std::size_t lastScan = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xDA) lastScan = i;
    ASSERT_GT(lastScan, 0u);
    bytes.resize(lastScan);
    WriteFileBytes(dir / "scans.jpg", bytes);
    TRasterDIB partial;
    LoadImageFile(partial, dir / "scans.jpg");
    EXPECT_EQ(partial.Width(), 0);
}

// Every cut and a few hundred changed bytes of real files: each load gives a
// 24-bit picture or none, never an error or a read outside the file.
TEST_F(Pictures, DamagedFilesNeverBreakTheLoad)
{
    ASSERT_TRUE(RunQuiet("convert " + (dir / "src.ppm") + " bmp3:" + (dir / "plain.bmp")));
    ASSERT_TRUE(
        RunQuiet("convert " + (dir / "src.ppm") + " -colors 30 -type palette -compress rle bmp3:" + (dir / "rle.bmp")));
    ASSERT_TRUE(RunQuiet("convert " + (dir / "src.ppm") + " " + (dir / "whole.gif")));
    std::uint32_t seed = 12345;
    auto random = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    for (const std::string name : {"plain.bmp", "rle.bmp", "whole.gif"}) {
        SCOPED_TRACE(name);
        const std::vector<std::uint8_t> original = ReadFileBytes(dir / name);
        const std::string damaged = dir / ("damaged" + ExtractFileExt(name));
        auto check = [&](const std::vector<std::uint8_t>& bytes) {
            WriteFileBytes(damaged, bytes);
            TRasterDIB dib;
            ASSERT_NO_THROW(LoadImageFile(dib, damaged));
            // A changed header may describe another picture; it still loads whole or not at all.
            if (dib.Width() != 0) {
                EXPECT_EQ(dib.BitCount(), 24);
                EXPECT_GT(dib.AbsHeight, 0);
            }
        };
        const std::size_t step = std::max<std::size_t>(1, original.size() / 60);
        for (std::size_t cut = 0; cut < original.size(); cut += step) {
            check(std::vector<std::uint8_t>(original.begin(), original.begin() + std::ptrdiff_t(cut)));
            TRasterDIB dib;
            LoadImageFile(dib, damaged);
            EXPECT_EQ(dib.Width(), 0) << "cut at " << cut;
        }
        for (int round = 0; round < 150; ++round) {
            std::vector<std::uint8_t> bytes = original;
            for (int k = 0; k < 4; ++k)
                bytes[random() % std::min<std::size_t>(bytes.size(), 1200)] = std::uint8_t(random());
            check(bytes);
        }
    }
}

TEST_F(Pictures, WithoutTheJpegLibraryJpegIsNotLoadedAndNotWritten)
{
    ASSERT_TRUE(RunQuiet("cjpeg " + (dir / "src.ppm") + " > " + (dir / "a.jpg")));
    ASSERT_FALSE(ReloadJpegLibrary(dir / "missing.so"));
    TRasterDIB dib;
    dib.SetSize(4, 4, 24);
    LoadImageFile(dib, dir / "a.jpg");
    EXPECT_EQ(dib.Width(), 0);
    dib.SetSize(4, 4, 24);
    EXPECT_THROW(SaveImageFile(dib, "", dir / "out.jpg", okJpeg, 60, false), ESaveImageError);
    EXPECT_FALSE(std::filesystem::exists(dir / "out.jpg"));
}

TEST_F(Pictures, ScaledOverlayIsCentredOnABlackPicture)
{
    // 200 x 100 of one colour: at 50 % it is drawn 100 x 50 at (50, 25).
    ASSERT_TRUE(RunQuiet("convert -size 200x100 xc:'rgb(10,200,30)' " + (dir / "o.png")));
    TRasterDIB dib;
    LoadScaledImage(dib, dir / "o.png", 50, 0, 0);
    ASSERT_EQ(dib.Width(), 200);
    ASSERT_EQ(dib.AbsHeight, 100);
    const TColorTriple green{30, 200, 10};
    EXPECT_EQ(pixelFromTop(dib, 50, 25), green);
    EXPECT_EQ(pixelFromTop(dib, 149, 74), green);
    EXPECT_EQ(pixelFromTop(dib, 49, 25), BlackTriple);
    EXPECT_EQ(pixelFromTop(dib, 50, 24), BlackTriple);
    EXPECT_EQ(pixelFromTop(dib, 150, 74), BlackTriple);
    EXPECT_EQ(pixelFromTop(dib, 50, 75), BlackTriple);

    TRasterDIB whole;
    LoadScaledImage(whole, dir / "o.png", 100, 1, 0);
    ASSERT_EQ(whole.Width(), 200);
    EXPECT_EQ(pixelFromTop(whole, 0, 0), (TColorTriple{225, 55, 245}));  // inverted
    TRasterDIB brighter;
    LoadScaledImage(brighter, dir / "o.png", 100, 0, 10);
    EXPECT_GT(pixelFromTop(brighter, 7, 7).Red, 10);
    EXPECT_GT(pixelFromTop(brighter, 7, 7).Blue, 30);
}

TEST_F(Pictures, SavedJpegCarriesItsQualityAndTheKeptDate)
{
    TRasterDIB dib;
    LoadImageFile(dib, dir / "src.ppm.png");  // missing: nothing happens
    ASSERT_TRUE(RunQuiet("convert " + (dir / "src.ppm") + " " + (dir / "src.png")));
    LoadImageFile(dib, dir / "src.png");
    ASSERT_EQ(dib.Width(), 53);

    const time_t past = 981173106;  // 2001-02-03 04:05:06 UTC, an even second
    setModificationTime(dir / "src.png", past);
    SaveImageFile(dib, dir / "src.png", dir / "out.jpg", okJpeg, 37, true);
    EXPECT_EQ(modificationTime(dir / "out.jpg"), past);
    EXPECT_EQ(modificationTime(dir / "src.png"), past);
    ASSERT_TRUE(RunQuiet("identify -format '%Q %w %h' " + (dir / "out.jpg") + " > " + (dir / "q.txt")));
    const std::vector<std::uint8_t> q = ReadFileBytes(dir / "q.txt");
    EXPECT_EQ(std::string(q.begin(), q.end()), "37 53 37");
    ASSERT_TRUE(RunQuiet("TZ=UTC identify -format '%[date:modify]' " + (dir / "out.jpg") + " > " + (dir / "d.txt")));
    const std::vector<std::uint8_t> d = ReadFileBytes(dir / "d.txt");
    EXPECT_EQ(std::string(d.begin(), d.end()).substr(0, 19), "2001-02-03T04:05:06");

    // Saved over itself, the file keeps its own date.
    SaveImageFile(dib, dir / "out.jpg", dir / "out.jpg", okJpeg, 90, true);
    EXPECT_EQ(modificationTime(dir / "out.jpg"), past);

    // Without the option, or with a date source that cannot be opened, the
    // file keeps the time it was written.
    const time_t before = std::time(nullptr) - 5;
    SaveImageFile(dib, "", dir / "fresh.jpg", okJpeg, 60, true);
    EXPECT_GE(modificationTime(dir / "fresh.jpg"), before);
    SaveImageFile(dib, dir / "src.png", dir / "fresh2.jpg", okJpeg, 60, false);
    EXPECT_GE(modificationTime(dir / "fresh2.jpg"), before);
}

TEST_F(Pictures, BmpKindsRoundTrip)
{
    ASSERT_TRUE(RunQuiet("convert " + (dir / "src.ppm") + " " + (dir / "src.png")));
    TRasterDIB dib;
    LoadImageFile(dib, dir / "src.png");
    for (const int kind : {okBmpRaster, okBmpBuffer}) {
        const std::string out = dir / ("out" + std::to_string(kind) + ".bmp");
        SaveImageFile(dib, "", out, kind, 0, false);
        ASSERT_TRUE(RunQuiet("convert " + out + " ppm:" + (dir / "back.ppm")));
        EXPECT_EQ(countDifferences(dib, readPnm(dir / "back.ppm")), 0) << kind;
    }
}

// GIF output read back by ImageMagick and by our own GIF loader: a picture
// with few colours keeps them exactly; one with more is mapped onto an even
// colour cube of at most the "Colors" setting.
TEST_F(Pictures, GifOutputReadsBackWithItsColours)
{
    TRasterDIB few;
    ASSERT_TRUE(RunQuiet("convert " + (dir / "src.ppm") + " -colors 100 " + (dir / "few.png")));
    LoadImageFile(few, dir / "few.png");
    ASSERT_EQ(few.Width(), 53);
    const int fewColours = few.CountColors();
    ASSERT_LE(fewColours, 100);
    SaveImageFile(few, "", dir / "few.gif", okGif, 0, false, 255);
    EXPECT_EQ(compareWithConvert(dir / "few.gif"), 0);
    TRasterDIB ours;
    LoadImageFile(ours, dir / "few.gif");
    ASSERT_EQ(ours.Width(), 53);
    for (int y = 0; y < 37; ++y) {
        for (int x = 0; x < 53; ++x) {
            ASSERT_EQ(pixelFromTop(ours, x, y), pixelFromTop(few, x, y));
        }
    }
    if (HaveTool("gifsicle")) {
        EXPECT_TRUE(RunQuiet("gifsicle --info " + (dir / "few.gif") + " > /dev/null"));
    }

    // Many colours, a large picture (the code table fills and starts again)
    // and small colour limits.
    ASSERT_TRUE(RunQuiet("convert -size 300x200 -seed 3 plasma: -depth 8 ppm:" + (dir / "big.ppm")));
    TRasterDIB big;
    ASSERT_TRUE(RunQuiet("convert " + (dir / "big.ppm") + " " + (dir / "big.png")));
    LoadImageFile(big, dir / "big.png");
    ASSERT_EQ(big.Width(), 300);
    for (const int colours : {255, 16, 2, 0}) {
        SCOPED_TRACE(colours);
        const std::string gif = dir / ("big" + std::to_string(colours) + ".gif");
        SaveImageFile(big, "", gif, okGif, 0, false, colours);
        TRasterDIB back;
        LoadImageFile(back, gif);
        ASSERT_EQ(back.Width(), 300);
        EXPECT_EQ(compareWithConvert(gif), 0);
        EXPECT_LE(back.CountColors(), std::max(colours, 2));
        // Each channel lands on the nearest level of the cube.
        const int step = colours == 255 ? 255 / 5 : 255;
        EXPECT_EQ(countDifferences(back, readPnm(dir / "big.ppm"), step / 2 + 1), 0);
    }
    // One pixel, and one colour.
    TRasterDIB dot;
    dot.SetSize(1, 1, 24);
    dot.SetPixelColor(0, 0, TColorTriple{1, 2, 3});
    SaveImageFile(dot, "", dir / "dot.gif", okGif, 0, false);
    EXPECT_EQ(compareWithConvert(dir / "dot.gif"), 0);
}

// A picture that was not written is never reported as written.
TEST_F(Pictures, FailedSavesRaiseAndLeaveNoFile)
{
    TRasterDIB dib;
    dib.SetSize(8, 8, 24);
    EXPECT_THROW(SaveImageFile(dib, "", dir / "out.x", 2, 60, false), ESaveImageError);
    EXPECT_THROW(SaveImageFile(dib, "", dir / "out.y", -1, 60, false), ESaveImageError);
    TRasterDIB empty;
    for (const int kind : {okJpeg, okGif, okBmpRaster, okBmpBuffer})
        EXPECT_THROW(SaveImageFile(empty, "", dir / "empty.out", kind, 60, false), ESaveImageError);
    EXPECT_FALSE(std::filesystem::exists(dir / "empty.out"));
    for (const int kind : {okJpeg, okGif, okBmpRaster, okBmpBuffer}) {
        EXPECT_THROW(SaveImageFile(dib, "", dir / "no/such/folder/out", kind, 60, false), Exception) << kind;
        // A folder in the way of the target is neither written nor removed.
        std::filesystem::create_directory(dir / "taken");
        EXPECT_THROW(SaveImageFile(dib, "", dir / "taken", kind, 60, false), Exception) << kind;
        EXPECT_TRUE(std::filesystem::is_directory(dir / "taken"));
    }
}

TEST(TargetFileName, NumbersAndTemplates)
{
    std::string result;
    MakeTargetFileName(0, "out\\image01", "/pics/photo.jpg", result, 4, 2, "");
    EXPECT_EQ(result, "out/image05");
    MakeTargetFileName(1, "out\\image01", "/pics/photo.jpg", result, 4, 2, "tn_*.jpg");
    EXPECT_EQ(result, "tn_image05.jpg");
    MakeTargetFileName(1, "image01", "/pics/photo.jpg", result, 4, 2, "thumbs\\tn_*.jpg");
    EXPECT_EQ(result, "thumbs/tn_image05.jpg");
    // No file-name part: the source's own name and extension.
    MakeTargetFileName(0, "big\\", "/pics/photo.jpg", result, 3, 2, "");
    EXPECT_EQ(result, "big/photo.jpg");
    MakeTargetFileName(0, "", "/pics/Photo.Old.JPG", result, 3, 2, "");
    EXPECT_EQ(result, "Photo.Old.JPG");
    // A name without digits gets the number, unless numbering is 1.
    MakeTargetFileName(0, "img.jpg", "/p/a.jpg", result, 7, 2, "");
    EXPECT_EQ(result, "img7.jpg");
    MakeTargetFileName(0, "img.jpg", "/p/a.jpg", result, 7, 1, "");
    EXPECT_EQ(result, "img.jpg");
    MakeTargetFileName(0, "img009.jpg", "/p/a.jpg", result, 1, 1, "");
    EXPECT_EQ(result, "img010.jpg");
    // A template without '*' puts the name in front.
    MakeTargetFileName(1, "", "/p/a.jpg", result, 0, 2, "small.jpg");
    EXPECT_EQ(result, "asmall.jpg");
    // The folder part reaches to the last ':' too.
    MakeTargetFileName(0, "C:\\out\\image01", "/p/a.jpg", result, 4, 2, "");
    EXPECT_EQ(result, "C:/out/image05");
}

TEST(TargetFileName, NothingLeavesTheDestination)
{
    std::string result;
    MakeTargetFileName(0, "..\\..\\etc\\image01", "/p/a.jpg", result, 1, 2, "");
    EXPECT_EQ(result, "etc/image02");
    MakeTargetFileName(0, "/abs/./x/../img", "/p/a.jpg", result, 0, 2, "");
    EXPECT_EQ(result, "abs/x/img0");
    MakeTargetFileName(1, "image01", "/p/a.jpg", result, 0, 2, "..\\../tn_*.jpg");
    EXPECT_EQ(result, "tn_image01.jpg");
    MakeTargetFileName(0, "..", "/p/a.jpg", result, 0, 2, "");
    EXPECT_EQ(result.find(".."), std::string::npos) << result;
    EXPECT_EQ(ContainedRelativePath("a\\\\b//./c/.."), "a/b/c");
}
