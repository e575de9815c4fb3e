#include "formats/ImageFormats.h"

#include "platform/picture/Icon.h"
#include "tests/support/RunCommand.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Stand-ins for every class of the start-up table, so the whole table can be
// registered whatever loaders are built.
TGraphicClass fakeClass(const std::string& name)
{
    static std::map<std::string, std::unique_ptr<TGraphicClassRec>> classes;
    auto& rec = classes[name];
    if (!rec) {
        static std::vector<std::unique_ptr<std::string>> names;
        names.push_back(std::make_unique<std::string>("Fake" + name));
        rec = std::make_unique<TGraphicClassRec>(TGraphicClassRec{names.back()->c_str(), nullptr, nullptr, nullptr});
    }
    return rec.get();
}

void registerWholeTable(TFileFormatList& list)
{
    for (const TFormatRegistration& r : StartupRegistrations())
        list.RegisterFileFormat(r.Extension, r.Common, r.Individual, r.Types, false, fakeClass(r.ClassName));
}

int countOf(const TFileFormatList& list, const std::string& className)
{
    int index = list.FindGraphicClass(fakeClass(className));
    return index < 0 ? -1 : list.ClassList()[std::size_t(index)]->Count;
}

using testsupport::ImageMagick;
using testsupport::TempDir;

}  // namespace

TEST(FileFormatRegistry, StartupTableHasAll40ExtensionsWithTheirDescriptions)
{
    // Extension -> the description the picture registry receives.
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"bmp", "Windows bitmaps"},
        {"ico", "Windows icons"},
        {"wmf", "Windows metafiles"},
        {"emf", "Windows enhanced meta files"},
        {"jfif", "JFIF images"},
        {"jpg", "JPG images"},
        {"jpe", "JPE images"},
        {"jpeg", "JPEG images"},
        {"rle", "Run length encoded Windows bitmaps"},
        {"dib", "Device independant Windows bitmaps"},
        {"win", "Truevision images"},
        {"vst", "Truevision images"},
        {"vda", "Truevision images"},
        {"tga", "Truevision images"},
        {"icb", "Truevision images"},
        {"tiff", "Macintosh TIFF images"},
        {"tif", "PC TIF images"},
        {"fax", "GFI fax images"},
        {"eps", "Encapsulated Postscript images"},
        {"pcx", "ZSoft Paintbrush images"},
        {"pcc", "ZSoft Paintbrush images"},
        {"scr", "Word 5.x screen capture images"},
        {"rpf", "Alias/Wavefront images"},
        {"rla", "Alias/Wavefront images"},
        {"sgi", "SGI true color images"},
        {"rgba", "SGI true color images with alpha"},
        {"rgb", "SGI true color images"},
        {"bw", "SGI black/white images"},
        {"psd", "Photoshop images"},
        {"pdd", "Photoshop images"},
        {"ppm", "Portable pixel map images"},
        {"pgm", "Portable gray map images"},
        {"pbm", "Portable bitmap images"},
        {"cel", "Autodesk images"},
        {"pic", "Autodesk images"},
        {"pcd", "Kodak Photo-CD images"},
        {"gif", "CompuServe images"},
        {"cut", "Dr. Halo images"},
        {"psp", "Paintshop Pro images"},
        {"png", "Portable network graphic images"},
    };
    TFileFormatList list;
    registerWholeTable(list);
    ASSERT_EQ(list.ExtensionList().size(), 40u);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(list.ExtensionList()[i]->Extension, expected[i].first);
        EXPECT_EQ(TPicture::FileFormatDescription(expected[i].first), expected[i].second) << expected[i].first;
    }
    std::map<std::string, TFormatTypes> types = {{"tiff", 12}, {"gif", 13}, {"psd", 10},
                                                 {"psp", 24},  {"wmf", 16}, {"png", 8}};
    for (const auto& [extension, bits] : types)
        EXPECT_EQ(list.ExtensionList()[std::size_t(list.FindExtension(extension))]->Types, bits) << extension;
}

TEST(FileFormatRegistry, ClassEntriesCountTheirExtensions)
{
    TFileFormatList list;
    registerWholeTable(list);
    EXPECT_EQ(list.ClassList().size(), 18u);
    std::map<std::string, int> counts = {
        {"TBitmap", 3},          {"TMetafile", 2},   {"TJPEGImage", 4},  {"TTargaGraphic", 5}, {"TTIFFGraphic", 3},
        {"TPCXGraphic", 3},      {"TRLAGraphic", 2}, {"TSGIGraphic", 4}, {"TPSDGraphic", 2},   {"TPPMGraphic", 3},
        {"TAutodeskGraphic", 2}, {"TIcon", 1},       {"TEPSGraphic", 1}, {"TPCDGraphic", 1},   {"TGIFGraphic", 1},
        {"TCUTGraphic", 1},      {"TPSPGraphic", 1}, {"TPNGGraphic", 1}};
    for (const auto& [name, count] : counts) EXPECT_EQ(countOf(list, name), count) << name;
    EXPECT_EQ(list.ClassList()[std::size_t(list.FindGraphicClass(fakeClass("TPCXGraphic")))]->Description,
              "ZSoft Paintbrush images");
}

TEST(FileFormatRegistry, FindsExtensionsIgnoringCaseAndRefusesDoubleRegistration)
{
    TFileFormatList list;
    registerWholeTable(list);
    EXPECT_EQ(list.FindExtension("TIF"), list.FindExtension("tif"));
    EXPECT_EQ(list.ExtensionList()[std::size_t(list.FindExtension("TIF"))]->Extension, "tif");
    EXPECT_EQ(list.FindExtension(""), -1);
    EXPECT_EQ(list.FindExtension("xyz"), -1);
    try {
        list.RegisterFileFormat("gif", "", "", ftRaster, false, fakeClass("TPNGGraphic"));
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message, "Attempt to register gif twice.");
    }
    EXPECT_EQ(list.ExtensionList().size(), 40u);
    EXPECT_EQ(countOf(list, "TGIFGraphic"), 1);
    // An empty extension registers nothing.
    list.RegisterFileFormat("", "x", "y", 0, false, fakeClass("TNothing"));
    EXPECT_EQ(list.FindGraphicClass(fakeClass("TNothing")), -1);
}

TEST(FileFormatRegistry, ReplacingRelinksAndDropsAnEmptiedClass)
{
    TFileFormatList list;
    registerWholeTable(list);
    list.RegisterFileFormat("GIF", "Other", "", ftRaster, true, fakeClass("TOther"));
    EXPECT_EQ(list.FindGraphicClass(fakeClass("TGIFGraphic")), -1);
    EXPECT_EQ(countOf(list, "TOther"), 1);
    EXPECT_EQ(TPicture::FindGraphicClass("gif"), fakeClass("TOther"));
    EXPECT_EQ(TPicture::FileFormatDescription("gif"), "Other");
    // The same class again changes nothing.
    list.RegisterFileFormat("gif", "", "", ftRaster, true, fakeClass("TOther"));
    EXPECT_EQ(countOf(list, "TOther"), 1);
    EXPECT_EQ(list.ExtensionList().size(), 40u);
}

TEST(FileFormatRegistry, UnregisteringExtensionsAndWholeClasses)
{
    TFileFormatList list;
    registerWholeTable(list);
    list.UnregisterFileFormat("rle", fakeClass("TBitmap"));
    EXPECT_EQ(countOf(list, "TBitmap"), 2);
    EXPECT_EQ(list.FindExtension("rle"), -1);
    EXPECT_EQ(TPicture::FindGraphicClass("bmp"), fakeClass("TBitmap"));
    list.UnregisterFileFormat("nothing", fakeClass("TBitmap"));
    EXPECT_EQ(list.ExtensionList().size(), 39u);

    list.UnregisterFileFormat("", fakeClass("TSGIGraphic"));
    for (const char* extension : {"sgi", "rgba", "rgb", "bw"}) {
        EXPECT_EQ(list.FindExtension(extension), -1) << extension;
        EXPECT_EQ(TPicture::FindGraphicClass(extension), nullptr) << extension;
    }
    EXPECT_EQ(list.FindGraphicClass(fakeClass("TSGIGraphic")), -1);
    EXPECT_EQ(list.ExtensionList().size(), 35u);
    EXPECT_EQ(list.ClassList().size(), 17u);

    // The last extension of a class takes the class with it.
    list.UnregisterFileFormat("eps", nullptr);
    EXPECT_EQ(list.FindGraphicClass(fakeClass("TEPSGraphic")), -1);
    EXPECT_EQ(TPicture::FindGraphicClass("eps"), nullptr);
    // A class that is not registered: nothing happens.
    list.UnregisterFileFormat("", fakeClass("TSGIGraphic"));
    EXPECT_EQ(list.ClassList().size(), 16u);

    list.Clear();
    EXPECT_TRUE(list.ExtensionList().empty());
    EXPECT_EQ(TPicture::FindGraphicClass("png"), nullptr);
}

TEST(FileFormatRegistry, StartUpRegistersTheBuiltLoadersOnly)
{
    InitializeImageFormats();
    TFileFormatList* list = FileFormatList();
    ASSERT_NE(list, nullptr);
    InitializeImageFormats();  // once only
    EXPECT_EQ(FileFormatList(), list);
    // Built: the framework's bitmaps, icons, metafiles and JPEG images and the
    // GIF, PNG, Targa, TIFF, EPS, PCX, RLA, SGI, Photoshop, portable map, Autodesk, Photo-CD, CUT
    // and Paint Shop Pro loaders: every class of the table.
    std::vector<std::string> registered;
    for (const auto& e : list->ExtensionList()) registered.push_back(e->Extension);
    EXPECT_EQ(registered,
              (std::vector<std::string>{"bmp", "ico", "wmf", "emf", "jfif", "jpg",  "jpe", "jpeg", "rle", "dib",
                                        "win", "vst", "vda", "tga", "icb",  "tiff", "tif", "fax",  "eps", "pcx",
                                        "pcc", "scr", "rpf", "rla", "sgi",  "rgba", "rgb", "bw",   "psd", "pdd",
                                        "ppm", "pgm", "pbm", "cel", "pic",  "pcd",  "gif", "cut",  "psp", "png"}));
    for (const TFormatRegistration& r : StartupRegistrations()) {
        TGraphicClass cls = BuiltGraphicClass(r.ClassName);
        EXPECT_EQ(TPicture::FindGraphicClass(r.Extension), cls) << r.Extension;
        if (cls) {
            EXPECT_STREQ(cls->ClassName, r.ClassName);
        }
    }
    EXPECT_EQ(TPicture::FindGraphicClass("GIF"), BuiltGraphicClass("TGIFGraphic"));
    EXPECT_EQ(TPicture::FileFormatDescription("vst"), "Truevision images");
    EXPECT_EQ(TPicture::FileFormatDescription("pcc"), "ZSoft Paintbrush images");

    TPicture picture;
    try {
        picture.LoadFromFile("/nonexistent/photo.XYZ");
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message, "Unknown picture file extension (.XYZ)");
    }

    FinalizeImageFormats();
    EXPECT_EQ(FileFormatList(), nullptr);
    for (const char* extension : {"gif", "png", "tga", "pcx", "bmp", "rle", "ico", "emf", "jpg", "jfif"})
        EXPECT_EQ(TPicture::FindGraphicClass(extension), nullptr) << extension;
}

// The road of a build: a picture loaded through the registry and rendered at
// 24 bits, compared with ImageMagick's reading of the same file.
TEST(FileFormatRegistry, PicturesLoadThroughTheRegistryAndRenderAt24Bits)
{
    InitializeImageFormats();
    TempDir dir;
    std::string ppm = dir / "in.ppm";
    {
        std::ofstream out(ppm, std::ios::binary);
        out << "P6\n7 5\n255\n";
        for (int i = 0; i < 35; ++i) out.put(char(i * 7)).put(char(255 - i * 3)).put(char(i * i % 256));
    }
    for (const char* name : {"a.gif", "b.PNG", "d.pcx", "e.bmp", "f.ico", "g.jpeg"}) {
        std::string file = dir / name;
        ASSERT_TRUE(ImageMagick(ppm + " " + file)) << name;
        std::string back = dir / (std::string(name) + ".ppm");
        ASSERT_TRUE(ImageMagick(file + " -depth 8 " + back)) << name;
        std::ifstream in(back, std::ios::binary);
        std::string magic;
        int w, h, maximum;
        in >> magic >> w >> h >> maximum;
        in.get();
        std::vector<std::uint8_t> reference(std::size_t(w * h * 3));
        in.read(reinterpret_cast<char*>(reference.data()), std::streamsize(reference.size()));

        TPicture picture;
        picture.LoadFromFile(file);
        TBitmap& bitmap = picture.Bitmap();
        bitmap.SetPixelFormat(pf24bit);
        ASSERT_EQ(bitmap.Width(), w) << name;
        ASSERT_EQ(bitmap.Height(), h) << name;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const std::uint8_t* p = &reference[std::size_t((y * w + x) * 3)];
                ASSERT_EQ(bitmap.PixelColor(x, y), RGBColor(p[0], p[1], p[2])) << name << " " << x << "," << y;
            }
    }
    // Targa goes through the registry too (its pixels are the loader's own tests' business).
    ASSERT_TRUE(ImageMagick(ppm + " " + dir / "c.TGA"));
    TPicture targa;
    targa.LoadFromFile(dir / "c.TGA");
    EXPECT_EQ(targa.Graphic()->ClassType(), BuiltGraphicClass("TTargaGraphic"));
    EXPECT_EQ(targa.Width(), 7);
    EXPECT_EQ(targa.Height(), 5);
    FinalizeImageFormats();
}

// A program that never finalizes still exits cleanly: the list is torn down
// before the picture registry it unregisters from.
TEST(FileFormatRegistry, ExitWithoutFinalizingIsClean)
{
    InitializeImageFormats();
    EXPECT_NE(FileFormatList(), nullptr);
}

// Newer icons hold PNG images: decoded through the PNG loader once the
// library is initialised, refused with a clear message before.
TEST(FileFormatRegistry, IconsWithPngImagesDecodeThroughThePngLoader)
{
    TempDir dir;
    std::string ppm = dir / "big.ppm";
    {
        std::ofstream out(ppm, std::ios::binary);
        out << "P6\n256 256\n255\n";
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) out.put(char(x)).put(char(y)).put(char((x * y) % 256));
    }
    std::string ico = dir / "big.ico";
    ASSERT_TRUE(ImageMagick(ppm + " " + ico));
    FinalizeImageFormats();  // whatever an earlier test in this process left
    TIcon before;
    try {
        before.LoadFromFile(ico);
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message, "Cannot load image. PNG-compressed icons are not supported.");
    }
    InitializeImageFormats();
    TPicture picture;
    picture.LoadFromFile(ico);
    TBitmap& bitmap = picture.Bitmap();
    bitmap.SetPixelFormat(pf24bit);
    ASSERT_EQ(bitmap.Width(), 256);
    ASSERT_EQ(bitmap.Height(), 256);
    for (int y = 0; y < 256; y += 5)
        for (int x = 0; x < 256; x += 3)
            ASSERT_EQ(bitmap.PixelColor(x, y), RGBColor(std::uint8_t(x), std::uint8_t(y), std::uint8_t(x * y % 256)))
                << x << "," << y;
    FinalizeImageFormats();
    EXPECT_FALSE(TIcon::PngDecoder);
}
