// JPEG photos as the gallery loads them: turned upright by their EXIF
// orientation as ImageMagick's -auto-orient turns them, and headers that claim
// far more picture than their data could fill, or corrupt data in a .jpg or a
// TIFF or EPS strip, refused before much memory is spent on them.

#include "gallery/pictures/pvutilsPictures.h"

#include "formats/ImageFormats.h"
#include "platform/registry/Registry.h"
#include "raster/RasterFiles.h"
#include "tests/raster/RasterFileTestHelpers.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace filetest;

namespace {

class JpegPhotos : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitializeImageFormats(); }
    void SetUp() override
    {
        if (!HaveTool("convert") || !HaveTool("cjpeg") || !HaveTool("exiftool"))
            GTEST_SKIP() << "ImageMagick, libjpeg-turbo-progs or exiftool missing";
        SetRegistryFile(dir / "registry.ini");
        ASSERT_TRUE(ReloadJpegLibrary()) << "libijl15.so was not found";
    }
    void TearDown() override { SetRegistryFile(""); }

    TempDir dir;
};

TEST_F(JpegPhotos, EveryOrientationLoadsAsImageMagickAutoOrientsIt)
{
    // Not square and not a whole number of blocks, so every turn shows.
    ASSERT_TRUE(RunQuiet("convert -size 60x36 -seed 3 plasma: -quality 95 " + (dir / "base.jpg")));
    // One exiftool run tags all eight copies.
    std::string tagging = "exiftool";
    for (int orientation = 1; orientation <= 8; ++orientation) {
        const std::string photo = dir / ("o" + std::to_string(orientation) + ".jpg");
        std::filesystem::copy_file(dir / "base.jpg", photo);
        tagging += (orientation > 1 ? " -execute" : "") + std::string(" -Orientation=") + std::to_string(orientation) +
                   " " + photo;
    }
    ASSERT_TRUE(RunQuiet(tagging + " -common_args -q -n -overwrite_original"));
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        const std::string photo = dir / ("o" + std::to_string(orientation) + ".jpg");
        ASSERT_TRUE(RunQuiet("convert " + photo + " -auto-orient -depth 8 ppm:" + (dir / "ref.ppm")));
        const Pnm ref = readPnm(dir / "ref.ppm");
        TRasterDIB dib;
        LoadImageFile(dib, photo);
        ASSERT_EQ(dib.Width(), ref.width);
        ASSERT_EQ(dib.AbsHeight, ref.height);
        EXPECT_EQ(dib.Width(), orientation >= 5 ? 36 : 60);
        EXPECT_EQ(countDifferences(dib, ref), 0);
    }
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// Resident memory in KiB from /proc/self/status ("VmHWM" the peak, "VmRSS" now).
long statusKiB(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
    return -1;
}

// A small real JPEG whose frame header is made to claim width x height.
std::string claimingJpeg(const TempDir& dir, const std::string& name, const std::string& options, int width, int height)
{
    const std::string file = dir / name;
    EXPECT_TRUE(RunQuiet("convert -size 16x16 xc:'#808080' ppm:" + (dir / "s.ppm") + " && cjpeg " + options + " " +
                         (dir / "s.ppm") + " > " + file));
    std::vector<std::uint8_t> bytes = ReadFileBytes(file);
    for (std::size_t i = 2; i + 9 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && (bytes[i + 1] == 0xC0 || bytes[i + 1] == 0xC2)) {
            bytes[i + 5] = std::uint8_t(height >> 8);
            bytes[i + 6] = std::uint8_t(height);
            bytes[i + 7] = std::uint8_t(width >> 8);
            bytes[i + 8] = std::uint8_t(width);
            break;
        }
    WriteFileBytes(file, bytes);
    return file;
}

// The JPEG stream with `inside` put just before its end marker, inside its scan.
std::vector<std::uint8_t> withInsideScan(std::vector<std::uint8_t> jpeg, const std::vector<std::uint8_t>& inside)
{
    jpeg.insert(jpeg.end() - 2, inside.begin(), inside.end());
    return jpeg;
}

// A little-endian TIFF of one YCbCr strip (subsampled 2 x 2, as cjpeg codes)
// holding a whole JPEG stream.
std::vector<std::uint8_t> jpegTiff(const std::vector<std::uint8_t>& jpeg, std::uint32_t width, std::uint32_t height)
{
    const std::uint32_t entries[][3] = {{256, 4, width}, {257, 4, height}, {258, 3, 8},
                                        {259, 3, 7},     {262, 3, 6},      {273, 4, 8 + 2 + 10 * 12 + 4},
                                        {277, 3, 3},     {278, 4, height}, {279, 4, std::uint32_t(jpeg.size())}};
    std::vector<std::uint8_t> file = {'I', 'I', 42, 0, 8, 0, 0, 0, 10, 0};
    auto put = [&](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) file.push_back(std::uint8_t(value >> (8 * i)));
    };
    for (const auto& [tag, type, value] : entries) {
        put(tag, 2), put(type, 2), put(1, 4), put(value, 4);
    }
    put(530, 2), put(3, 2), put(2, 4), put(2, 2), put(2, 2);  // YCbCrSubSampling 2, 2
    put(0, 4);
    file.insert(file.end(), jpeg.begin(), jpeg.end());
    return file;
}

// A flat grey progressive JPEG of side x side pixels coded by hand, as cjpeg
// codes one: a first scan of DC differences 0 at half precision (a one-bit
// code each, so zero bytes), a scan of AC bands that all end at once
// (end-of-band runs of `run` blocks, 16384 to 32767, that make up the
// picture) and, when `refined`, the DC's last bit (zero bytes again). Every
// coefficient has its last scan unless the refinement is left out.
std::vector<std::uint8_t> flatProgressive(int side, std::uint32_t run, bool refined = true)
{
    const std::uint32_t blocks = std::uint32_t(side / 8) * std::uint32_t(side / 8);
    EXPECT_EQ(blocks % run, 0u);
    const auto hi = std::uint8_t(side >> 8), lo = std::uint8_t(side);
    std::vector<std::uint8_t> b = {0xFF, 0xD8, 0xFF, 0xDB, 0, 67, 0};
    b.insert(b.end(), 64, 1);
    b.insert(b.end(), {0xFF, 0xC2, 0, 11, 8, hi, lo, hi, lo, 1, 1, 0x11, 0});
    for (const std::uint8_t table : {0x00, 0x10}) {  // one code each: DC difference 0, AC end-of-band run (EOB14)
        b.insert(b.end(), {0xFF, 0xC4, 0, 20, table, 1});
        b.insert(b.end(), 15, 0);
        b.push_back(table ? 0xE0 : 0x00);
    }
    b.insert(b.end(), {0xFF, 0xDA, 0, 8, 1, 1, 0x00, 0, 0, std::uint8_t(refined ? 0x01 : 0x00)});
    b.insert(b.end(), blocks / 8, 0);
    b.insert(b.end(), {0xFF, 0xDA, 0, 8, 1, 1, 0x00, 1, 63, 0});
    std::uint32_t bits = 0;
    int count = 0;
    auto put = [&](std::uint32_t value, int n) {
        for (int i = n - 1; i >= 0; --i) {
            bits = bits << 1 | (value >> i & 1);
            if (++count == 8) {
                b.push_back(std::uint8_t(bits));
                if (std::uint8_t(bits) == 0xFF) b.push_back(0);
                bits = count = 0;
            }
        }
    };
    for (std::uint32_t i = 0; i < blocks / run; ++i) put(run - 16384, 15);  // the code 0, then 14 bits
    if (count) put(0x7F, 8 - count);
    if (refined) {
        b.insert(b.end(), {0xFF, 0xDA, 0, 8, 1, 1, 0x00, 0, 0, 0x10});
        b.insert(b.end(), blocks / 8, 0);
    }
    b.insert(b.end(), {0xFF, 0xD9});
    return b;
}

// Hostile files under 1 MB, each refused at a peak of under 64 MB (measured
// from a reset of the peak): headers claiming more than their data can fill,
// filler inside a scan (zeros, and flat blocks coded right that run out
// before the picture is full) of a .jpg, a TIFF strip and an EPS preview,
// a TIFF strip cut at half and given an end marker (the same strip whole
// loads), and progressive files, whose scans libjpeg would otherwise read
// into a whole picture's coefficients before finding the fault: a flat
// 16000 x 16000 one cut at half, its DC scan of zeros ending at 90 % of the
// picture, its AC scan corrupt after a whole DC scan, and cjpeg's scans with
// 900 KB of zeros in the DC scan of a TIFF strip. A flat progressive picture
// coded right still loads.
TEST_F(JpegPhotos, HostileFilesAreRefusedWithinSixtyFourMegabytes)
{
    if (!std::ofstream("/proc/self/clear_refs")) GTEST_SKIP() << "the peak memory cannot be reset here";
    const std::vector<std::uint8_t> claiming = ReadFileBytes(claimingJpeg(dir, "claiming.jpg", "", 16000, 16000));
    EXPECT_LT(claiming.size(), 700u);
    // One flat 16 x 16 block group of cjpeg's standard tables: four luma blocks
    // (DC 0, end of block) and two chroma blocks, 32 bits.
    std::vector<std::uint8_t> flat;
    for (int i = 0; i < 225000; ++i) flat.insert(flat.end(), {0x28, 0xA2, 0x8A, 0x00});
    const auto zeros = withInsideScan(claiming, std::vector<std::uint8_t>(900000));
    const auto flatMcus = withInsideScan(claiming, flat);
    // The same without its Huffman tables, which libjpeg then takes to be the
    // standard ones: the check reads it with them too.
    std::vector<std::uint8_t> flatWithoutTables(flatMcus.begin(), flatMcus.begin() + 2);
    for (std::size_t i = 2; i + 4 <= flatMcus.size();) {
        const std::size_t end =
            flatMcus[i + 1] == 0xDA ? flatMcus.size() : i + 2 + (flatMcus[i + 2] << 8 | flatMcus[i + 3]);
        if (flatMcus[i + 1] != 0xC4)
            flatWithoutTables.insert(flatWithoutTables.end(), flatMcus.begin() + std::ptrdiff_t(i),
                                     flatMcus.begin() + std::ptrdiff_t(end));
        i = end;
    }
    ASSERT_TRUE(RunQuiet("convert -size 256x256 -seed 3 plasma: ppm:" + (dir / "p.ppm") + " && cjpeg -quality 90 " +
                         (dir / "p.ppm") + " > " + (dir / "photo.jpg")));
    const std::vector<std::uint8_t> photo = ReadFileBytes(dir / "photo.jpg");
    std::vector<std::uint8_t> cut(photo.begin(), photo.begin() + std::ptrdiff_t(photo.size() / 2));
    cut.insert(cut.end(), {0xFF, 0xD9});
    auto eps = [](const std::vector<std::uint8_t>& tiff) {
        std::vector<std::uint8_t> file = {0xC5, 0xD0, 0xD3, 0xC6, 30, 0,  0, 0, 0, 0, 0, 0, 0, 0,    0,
                                          0,    0,    0,    0,    0,  30, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
        for (int i = 0; i < 4; ++i) file[24 + i] = std::uint8_t(tiff.size() >> (8 * i));
        file.insert(file.end(), tiff.begin(), tiff.end());
        return file;
    };
    // Where the coded data of a file's first or last scan starts.
    auto scanData = [](const std::vector<std::uint8_t>& jpeg, bool last) {
        std::ptrdiff_t at = 0;
        for (std::size_t i = 0; i + 3 < jpeg.size() && (last || at == 0); ++i)
            if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA) at = std::ptrdiff_t(i + 2 + (jpeg[i + 2] << 8 | jpeg[i + 3]));
        return at;
    };
    // Over 1 MB whole (as cjpeg's own is): each variant is under it.
    const std::vector<std::uint8_t> flatGrey = flatProgressive(16000, 32000);
    std::vector<std::uint8_t> progressiveCut(flatGrey.begin(), flatGrey.begin() + std::ptrdiff_t(flatGrey.size() / 2));
    std::vector<std::uint8_t> progressiveZeros = flatGrey, progressiveAc = flatProgressive(16000, 32000, false);
    progressiveZeros.erase(progressiveZeros.begin() + scanData(flatGrey, false),
                           progressiveZeros.begin() + scanData(flatGrey, false) + 50000);
    progressiveAc.insert(progressiveAc.begin() + scanData(progressiveAc, true), {0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00});
    std::vector<std::uint8_t> cjpegZeros = ReadFileBytes(claimingJpeg(dir, "cz.jpg", "-progressive", 16000, 16000));
    cjpegZeros.insert(cjpegZeros.begin() + scanData(cjpegZeros, false), 900000, 0);
    const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files = {
        {"baseline.jpg", ReadFileBytes(claimingJpeg(dir, "baseline.jpg", "", 16000, 16000))},
        {"tall.jpg", ReadFileBytes(claimingJpeg(dir, "tall.jpg", "", 4096, 65500))},
        {"progressive.jpg", ReadFileBytes(claimingJpeg(dir, "progressive.jpg", "-progressive", 4000, 4000))},
        {"zeros.jpg", zeros},
        {"flat.jpg", flatMcus},
        {"zeros.tif", jpegTiff(zeros, 16000, 16000)},
        {"flat.tif", jpegTiff(flatMcus, 16000, 16000)},
        {"flat.eps", eps(jpegTiff(flatMcus, 16000, 16000))},
        {"flat-without-tables.jpg", flatWithoutTables},
        {"flat-without-tables.tif", jpegTiff(flatWithoutTables, 16000, 16000)},
        {"cut.tif", jpegTiff(cut, 256, 256)},
        {"whole.tif", jpegTiff(photo, 256, 256)},
        {"progressive-cut.jpg", progressiveCut},
        {"progressive-zeros.jpg", progressiveZeros},
        {"progressive-ac.jpg", progressiveAc},
        {"progressive-zeros.tif", jpegTiff(cjpegZeros, 16000, 16000)},
        {"flat-progressive.jpg", flatProgressive(4000, 25000)}};
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        EXPECT_LT(bytes.size(), 1000000u);
        WriteFileBytes(dir / name, bytes);
        TRasterDIB dib;
        std::ofstream("/proc/self/clear_refs") << "5";
        const long before = statusKiB("VmRSS");
        LoadImageFile(dib, dir / name);
        const long peak = statusKiB("VmHWM");
        const bool loads = name == "whole.tif" || name == "flat-progressive.jpg";
        EXPECT_EQ(PictureLoaded(dib), loads);
        // The sanitizer's shadow and quarantine make the figure meaningless;
        // a picture that loads costs its size.
        if (!kSanitized && name != "flat-progressive.jpg") {
            EXPECT_LT(peak - before, 64 * 1024) << "KiB";
        }
        std::printf("%s: peak %ld KiB above the start\n", name.c_str(), peak - before);
    }
}

}  // namespace
