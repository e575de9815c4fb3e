// Every row of the start-up registry loads through the picture registry: a
// picture ImageMagick writes for the row's class, under the row's extension,
// comes back at 24 bits as ImageMagick reads it (or at its size, for lossy
// files); classes without a writer get a file of zeros, which their own
// loader refuses with its own text or loads empty. Only extensions that no
// row names give "Unknown picture file extension".

#include "formats/ImageFormats.h"

#include "tests/support/RunCommand.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

using testsupport::ImageMagick;
using testsupport::TempDir;

// How a sample of a class is made: ImageMagick's format prefix, whether its
// pixels match ImageMagick's own decode, and the size it comes out at.
struct Maker {
    std::string prefix;  // "" when no tool writes the format
    bool exact = true;
    int width = 7, height = 5;
};

const std::map<std::string, Maker>& Makers()
{
    static const std::map<std::string, Maker> makers = {
        {"TBitmap", {"bmp3:"}},
        {"TIcon", {"ico:"}},
        {"TJPEGImage", {"jpg:", false}},
        {"TTargaGraphic", {"tga:"}},
        {"TTIFFGraphic", {"tiff:"}},
        {"TEPSGraphic", {"eps"}},  // a TIFF preview behind the binary header, below
        {"TPCXGraphic", {"pcx:"}},
        {"TSGIGraphic", {"sgi:"}},
        {"TPSDGraphic", {"psd:"}},
        {"TPPMGraphic", {"ppm:"}},
        {"TPCDGraphic", {"pcd:", false, 768, 512}},
        {"TGIFGraphic", {"gif:"}},
        {"TPNGGraphic", {"png:"}},
        {"TMetafile", {}},
        {"TRLAGraphic", {}},
        {"TAutodeskGraphic", {}},
        {"TCUTGraphic", {}},
        {"TPSPGraphic", {}},
    };
    return makers;
}

std::vector<std::uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// An encapsulated PostScript file whose binary header points at the TIFF.
void writeEps(const std::string& path, const std::vector<std::uint8_t>& tiff)
{
    const std::string postscript = "%!PS-Adobe-3.0 EPSF-3.0\n";
    std::vector<std::uint8_t> eps(30, 0);
    auto put32 = [&](std::size_t at, std::size_t v) {
        for (int i = 0; i < 4; ++i) eps[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    put32(0, 0xC6D3D0C5);
    put32(4, 30);
    put32(8, postscript.size());
    put32(20, 30 + postscript.size());
    put32(24, tiff.size());
    eps[28] = eps[29] = 0xFF;
    eps.insert(eps.end(), postscript.begin(), postscript.end());
    eps.insert(eps.end(), tiff.begin(), tiff.end());
    writeFile(path, eps);
}

// ImageMagick's decode of file (read as format, "" by its name) as 8-bit RGB
// rows, turned upright (it keeps a Targa file's bottom-up rows as stored).
std::vector<std::uint8_t> magickPixels(const std::string& format, const std::string& file, int& width, int& height)
{
    const std::string back = file + ".ppm";
    if (!ImageMagick(format + file + "[0] -auto-orient -depth 8 ppm:" + back)) return {};
    std::ifstream in(back, std::ios::binary);
    std::string magic;
    int maximum;
    in >> magic >> width >> height >> maximum;
    in.get();
    std::vector<std::uint8_t> pixels(std::size_t(width) * height * 3);
    in.read(reinterpret_cast<char*>(pixels.data()), std::streamsize(pixels.size()));
    return pixels;
}

std::string loadError(const std::string& file)
{
    try {
        TPicture picture;
        picture.LoadFromFile(file);
    } catch (const Exception& e) {
        return e.Message;
    }
    return "";
}

}  // namespace

TEST(RegistryLoad, EveryRegisteredRowLoadsItsPicture)
{
    ASSERT_TRUE(testsupport::HaveTool("convert"));
    InitializeImageFormats();
    TempDir dir;
    const std::string source = dir / "source.ppm";
    {
        std::ofstream out(source, std::ios::binary);
        out << "P6\n7 5\n255\n";
        for (int i = 0; i < 35; ++i) out.put(char(i * 7)).put(char(255 - i * 3)).put(char(i * i % 256));
    }
    for (const TFormatRegistration& row : StartupRegistrations()) {
        SCOPED_TRACE(row.Extension);
        ASSERT_NE(BuiltGraphicClass(row.ClassName), nullptr) << row.ClassName << " is not built";
        EXPECT_EQ(TPicture::FindGraphicClass(row.Extension), BuiltGraphicClass(row.ClassName));
        const auto found = Makers().find(row.ClassName);
        ASSERT_NE(found, Makers().end()) << row.ClassName << " has no maker in this test";
        const Maker& maker = found->second;
        const std::string file = dir / ("sample." + std::string(row.Extension));
        if (maker.prefix.empty()) {
            // Nothing writes it: a file of zeros reaches the class's own
            // loader, which refuses it with its own text or loads nothing.
            writeFile(file, std::vector<std::uint8_t>(64, 0));
            TPicture picture;
            try {
                picture.LoadFromFile(file);
                EXPECT_EQ(picture.Graphic()->ClassType(), BuiltGraphicClass(row.ClassName));
            } catch (const Exception& e) {
                EXPECT_EQ(e.Message.find("Unknown picture file extension"), std::string::npos) << e.Message;
            }
            continue;
        }
        if (maker.prefix == "eps") {
            const std::string tiff = dir / "preview.tif";
            ASSERT_TRUE(ImageMagick(source + " -compress lzw tiff:" + tiff));
            writeEps(file, readFile(tiff));
        } else {
            ASSERT_TRUE(ImageMagick(source + " " + maker.prefix + file));
        }
        TPicture picture;
        picture.LoadFromFile(file);
        EXPECT_EQ(picture.Graphic()->ClassType(), BuiltGraphicClass(row.ClassName));
        TBitmap& bitmap = picture.Bitmap();
        bitmap.SetPixelFormat(pf24bit);
        ASSERT_EQ(bitmap.Width(), maker.width);
        ASSERT_EQ(bitmap.Height(), maker.height);
        if (!maker.exact) continue;
        int width = 0, height = 0;
        const bool eps = maker.prefix == "eps";
        const auto expected = magickPixels(eps ? "" : maker.prefix, eps ? dir / "preview.tif" : file, width, height);
        ASSERT_EQ(width, maker.width);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const std::uint8_t* p = &expected[(std::size_t(y) * width + x) * 3];
                ASSERT_EQ(bitmap.PixelColor(x, y), RGBColor(p[0], p[1], p[2])) << x << "," << y;
            }
    }
    for (const char* unknown : {"xyz", "tiff2", "jp"}) {
        const std::string file = dir / (std::string("sample.") + unknown);
        writeFile(file, {0});
        EXPECT_EQ(loadError(file), std::string("Unknown picture file extension (.") + unknown + ")");
    }
    FinalizeImageFormats();
}
