// JPEG photos as the gallery loads them: turned upright by their EXIF
// orientation as ImageMagick's -auto-orient turns them, and headers that claim
// far more picture than their data could fill refused before any memory is
// spent on them.

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

// The peak memory of loading each file, measured from a reset of the peak.
TEST_F(JpegPhotos, HeadersClaimingMoreThanTheDataCanFillCostNoMemory)
{
    if (!std::ofstream("/proc/self/clear_refs")) GTEST_SKIP() << "the peak memory cannot be reset here";
    const std::string files[] = {claimingJpeg(dir, "baseline.jpg", "", 16000, 16000),
                                 claimingJpeg(dir, "tall.jpg", "", 4096, 65500),
                                 claimingJpeg(dir, "progressive.jpg", "-progressive", 4000, 4000)};
    EXPECT_LT(ReadFileBytes(files[0]).size(), 700u);
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        TRasterDIB dib;
        std::ofstream("/proc/self/clear_refs") << "5";
        const long before = statusKiB("VmRSS");
        LoadImageFile(dib, file);
        const long peak = statusKiB("VmHWM");
        EXPECT_FALSE(PictureLoaded(dib));
        EXPECT_LT(peak - before, 64 * 1024) << "KiB";
        std::printf("%s: peak %ld KiB above the start\n", file.c_str(), peak - before);
    }
}

}  // namespace
