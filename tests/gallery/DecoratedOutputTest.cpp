// Decorated builds pinned by their bytes: "Create All" of photo-like pictures
// of several sizes (odd ones among them) with each decoration alone, and all
// of them with the mask, must write exactly the pictures it wrote when these
// checksums were taken. The made pictures' pixels are pinned as well, since a
// JPEG file can hide a small change in its pixels.
//
// Written pictures are recognised by their JPEG content, not by their names.

#include "WindowTestSupport.h"

#include "gallery/records/PropertyRecords.h"
#include "raster/RasterDIB.h"
#include "tests/support/RunCommand.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Photo {
    const char* name;
    const char* make;  // ImageMagick arguments before the output file
};

// JPEG photos (top-down and odd sizes), a BMP one (bottom-up, the mask's own
// size) and one smaller than the outline is wide.
const Photo Photos[] = {
    {"p1.jpg", "-seed 1 -size 640x480 plasma:fractal -blur 0x1 -quality 92"},
    {"p2.jpg",
     "-seed 2 -size 517x389 plasma:fractal \\( -size 517x389 gradient:navy-gold \\) -compose blend "
     "-define compose:args=50 -composite -quality 90"},
    {"p3.bmp", "-seed 3 -size 400x300 plasma:fractal -type TrueColor BMP3:"},
    {"p4.jpg", "-seed 4 -size 1201x797 plasma:fractal -blur 0x2 -quality 88"},
    {"p5.jpg", "-seed 5 -size 29x19 plasma:fractal -quality 95"},
    {"p6.jpg", "-size 333x501 gradient:white-darkgreen -swirl 90 -quality 90"},
};

// The decorations' pictures, in the program's frames folder: plasma with
// silver (always a transparent key), red and black areas.
const Photo Decorations[] = {
    {"frames/t-frame-small.bmp",
     "-seed 11 -size 97x71 plasma:fractal -fill silver -draw 'rectangle 10,8 86,62' "
     "-fill black -draw 'rectangle 0,0 4,4' -fill red -draw 'circle 48,35 60,35'"},
    {"frames/t-frame-big.bmp",
     "-seed 12 -size 431x317 plasma:fractal -fill silver -draw 'rectangle 40,30 390,286' "
     "-fill black -draw 'line 0,158 430,158' -fill red -draw 'rectangle 0,0 30,316'"},
    {"frames/t-tile.bmp",
     "-seed 13 -size 13x9 plasma:fractal -fill silver -draw 'line 6,0 6,8' "
     "-fill red -draw 'point 2,2' -fill black -draw 'point 10,6'"},
    {"frames/t-logo.bmp",
     "-seed 14 -size 37x19 plasma:fractal -fill red -draw 'rectangle 0,0 8,18' "
     "-fill black -draw 'rectangle 30,0 36,5'"},
    {"frames/t-bar.bmp",
     "-seed 15 -size 120x16 plasma:fractal -fill silver -draw 'rectangle 0,6 119,9' "
     "-fill red -draw 'rectangle 100,0 119,15'"},
    {"frames/t-mask.bmp",
     "-size 400x300 radial-gradient:white-black \\( -seed 16 -size 400x300 plasma:fractal \\) "
     "-compose blend -define compose:args=70 -composite"},
};

std::string text(int value) { return std::to_string(value); }

std::string maskRecord(const char* file, int brightening, int scale, TColor colour, int invert)
{
    return MakePropertyRecord(
        {"1", file, text(brightening), text(scale), "0", text(int(colour)), text(invert), "0", "0", ""});
}

std::string frameRecord(const char* file, int transparency, TColor key, int expandWidth, int expandHeight)
{
    return MakePropertyRecord({"1", file, text(transparency), text(int(key)), text(expandWidth), text(expandHeight)});
}

std::string outlineRecord(const char* file, int transparency, TColor key, int width)
{
    return MakePropertyRecord({"1", file, text(transparency), text(int(key)), text(width)});
}

constexpr TColor Red = 255, Black = 0;

// The records of one build; empty ones stay off.
struct Case {
    const char* name;
    std::string maskImage, maskThumb, frameImage, frameThumb, bevelImage, bevelThumb, outlineImage, outlineThumb;
    std::string logo, text;
};

const std::string MaskImage = maskRecord("frames/t-mask.bmp", 0, 100, RGBColor(40, 60, 90), 0);
const std::string MaskThumb = maskRecord("frames/t-mask.bmp", 10, 50, RGBColor(200, 30, 30), 1);
const std::string FrameImage = frameRecord("frames/t-frame-small.bmp", 0, Red, 7, 3);
const std::string FrameThumb = frameRecord("frames/t-frame-big.bmp", 40, Black, 0, 0);
const std::string BevelImage = "2|6|30|40|16777215|0|1|4|30|60|12632256|";
const std::string BevelThumb = "3|3|2|20|65535|8421504|0|0|0|0|0|";
const std::string OutlineImage = outlineRecord("frames/t-tile.bmp", 30, Red, 0);
const std::string OutlineThumb = outlineRecord("frames/t-tile.bmp", 0, Black, 5);
const std::string Logo = "frames/t-logo.bmp|8|-5|-4|25|0|0|255|1|";
const std::string Text =
    "DejaVu Sans|b|14|14|16711680|%filenoext (%width)|1|3|0|30|90|0|2|0|255|100|120301|31231|0|"
    "frames/t-bar.bmp|255|1|0|6|3|255|255|255|";

const Case Cases[] = {
    {"plain", "", "", "", "", "", "", "", "", "", ""},
    {"mask", MaskImage, MaskThumb, "", "", "", "", "", "", "", ""},
    {"frame", "", "", FrameImage, FrameThumb, "", "", "", "", "", ""},
    {"bevel", "", "", "", "", BevelImage, BevelThumb, "", "", "", ""},
    {"outline", "", "", "", "", "", "", OutlineImage, OutlineThumb, "", ""},
    {"logo", "", "", "", "", "", "", "", "", Logo, ""},
    {"text", "", "", "", "", "", "", "", "", "", Text},
    {"everything", MaskImage, MaskThumb, FrameImage, FrameThumb, BevelImage, BevelThumb, OutlineImage, OutlineThumb,
     Logo, Text},
    // The other ways each decoration can go: frames keyed on black and on red
    // the other way round, a frame larger than the picture, an outline that
    // grows the picture, a turned logo, a text on a gradient along a border.
    {"everything, variants", maskRecord("frames/t-mask.bmp", 35, 100, RGBColor(0, 0, 0), 1),
     maskRecord("frames/t-mask.bmp", 0, 130, RGBColor(250, 250, 250), 0),
     frameRecord("frames/t-frame-big.bmp", 10, Black, 0, 0), frameRecord("frames/t-frame-small.bmp", 0, Red, 2, 5),
     "1|4|0|100|16777215|0|0|0|0|0|0|", "", outlineRecord("frames/t-tile.bmp", 0, Red, 12),
     outlineRecord("frames/t-tile.bmp", 55, 12632256, 0), "frames/t-logo.bmp|0|3|2|0|90|1|255|0|",
     "DejaVu Sans|i|11|11|0|%filename|6|4|0|0|0|0|1|0|255|100|120301|31231|1|"
     "|255|0|0|2|1|255|255|255|"},
};

// 64-bit FNV-1a.
struct Hash {
    std::uint64_t value = 1469598103934665603ull;
    void add(const void* data, std::size_t size)
    {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        for (std::size_t i = 0; i < size; ++i) value = (value ^ bytes[i]) * 1099511628211ull;
    }
    std::string hex() const
    {
        char buffer[17];
        std::snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(value));
        return buffer;
    }
};

// Size, then the pixel bytes of the rows from the top, without row padding.
std::string pixelHash(const TRasterDIB& dib)
{
    Hash hash;
    const std::int32_t size[3] = {dib.Width(), dib.AbsHeight, dib.BitCount()};
    hash.add(size, sizeof size);
    for (int y = 0; y < dib.AbsHeight; ++y) {
        const int row = dib.Header.Height > 0 ? dib.AbsHeight - 1 - y : y;
        hash.add(dib.Rows[std::size_t(row)], std::size_t(dib.Stride - dib.RowGap));
    }
    return hash.hex();
}

// One checksum of every JPEG file below the folder, taken in the order of
// their own checksums.
std::string writtenPicturesHash(const std::string& folder, int& count)
{
    std::vector<std::string> hashes;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        const std::string bytes = ReadFile(entry.path().string());
        if (bytes.size() < 3 || bytes.compare(0, 3, "\xFF\xD8\xFF") != 0) continue;
        Hash hash;
        hash.add(bytes.data(), bytes.size());
        hashes.push_back(hash.hex());
    }
    std::sort(hashes.begin(), hashes.end());
    count = int(hashes.size());
    Hash all;
    for (const std::string& h : hashes) all.add(h.data(), h.size());
    return all.hex();
}

// The checksums when they were pinned: the written pictures, then the pixels
// of each photo's image copy and thumbnail.
const std::map<std::string, std::string> Pinned = {
    {"plain",
     "written 172a330c497bce2a\n"
     "p1.jpg 6ab5741ed91c1d2e b67f2a1fd7816ef3\n"
     "p2.jpg 6862a71210d2ef65 f5326859e346d230\n"
     "p3.bmp b2b1a9e99dd63c1f 8352f3412c10fe67\n"
     "p4.jpg b70cbe2c1b0bdcea 956096ce123522c5\n"
     "p5.jpg 36c7202cb7cccbf1 bf1db56c374550b5\n"
     "p6.jpg e350a1397668f0ff 4d3ea3d5ba615951\n"},
    {"mask",
     "written 39160bf78cc0c7ab\n"
     "p1.jpg 6406d8f074b7aaa8 70cc2a1fd7d73834\n"
     "p2.jpg 2c252c73fec49a09 38911ddd972ec3a8\n"
     "p3.bmp 03c5687e42209a10 46019ec9fc6252c6\n"
     "p4.jpg c1bfded5ce7d5dc0 20221c565bc1daff\n"
     "p5.jpg cdef2a4484527249 cce6ee2c00c952e4\n"
     "p6.jpg 5d8b467b7f39fa0b f9df869a167b42bf\n"},
    {"frame",
     "written ac2c0ce50261a6ab\n"
     "p1.jpg c92bde5a453b235b b68fa875ecc0c624\n"
     "p2.jpg 268f703c159b54df 79b784392513da61\n"
     "p3.bmp 836106d3e771166a a23f52bcd1db088c\n"
     "p4.jpg 0055d41bc7363b15 4066d3807aaf8661\n"
     "p5.jpg 3e34128ff4a9624a 3a8e36812368894a\n"
     "p6.jpg f0f3c5740e6e8d2f b6c2a1a498e9faac\n"},
    {"bevel",
     "written 3c92905c2c483c46\n"
     "p1.jpg 7e83c5f59400d10e 6d5d4067e9af7185\n"
     "p2.jpg fa2c167e3b61a424 252548342c30f62b\n"
     "p3.bmp 7aafd9e542203047 906c47a93f6bbb6e\n"
     "p4.jpg 6a261ee83188b6f4 33fb613a721d0e1a\n"
     "p5.jpg 36c7202cb7cccbf1 91f4e30db6ea9137\n"
     "p6.jpg a617ec6fe82aad51 9283dbfde9bbd71a\n"},
    {"outline",
     "written 1defbb7e285215af\n"
     "p1.jpg 4d09682751d565ad 9e08fe264e6da09b\n"
     "p2.jpg 3b854f487a77fcad e919e3e37099ce7e\n"
     "p3.bmp 6f7d7ce0cd28810d f503ce45419ad6a7\n"
     "p4.jpg 0fdb32e4a3d7d68b ae42db779c741fb5\n"
     "p5.jpg ea5722faee724bd7 c39b1630697eb8c3\n"
     "p6.jpg 372e20a7c3438450 792830c2edf55951\n"},
    {"logo",
     "written a53eb9ebe4ed4bf5\n"
     "p1.jpg d65da322acedb43b b67f2a1fd7816ef3\n"
     "p2.jpg 479dc4728a62773e f5326859e346d230\n"
     "p3.bmp 6db1082da9baba4e 8352f3412c10fe67\n"
     "p4.jpg 4e9eb8415b6fb1d1 956096ce123522c5\n"
     "p5.jpg 7d670da07e1903b0 bf1db56c374550b5\n"
     "p6.jpg 1c01226f510ad631 4d3ea3d5ba615951\n"},
    {"text",
     "written c9446ebacf946c91\n"
     "p1.jpg 74f8bad276ed8921 b67f2a1fd7816ef3\n"
     "p2.jpg 1985a5035f473baf f5326859e346d230\n"
     "p3.bmp 5a83bdd2c0e26529 8352f3412c10fe67\n"
     "p4.jpg 4ca87da0016c58ba 956096ce123522c5\n"
     "p5.jpg fbd004d860079e26 bf1db56c374550b5\n"
     "p6.jpg b79dce8f1d6dad62 4d3ea3d5ba615951\n"},
    {"everything",
     "written a05e31daf1d4c85b\n"
     "p1.jpg c397857c9fbfb6ee 73971391b1fab0de\n"
     "p2.jpg 1b5a00dd3b19eb4c 0be3a5ee8b436e46\n"
     "p3.bmp fd8e050688dfc2b9 3acfe155177ad338\n"
     "p4.jpg 160d753cd08f3bde bcbc5afdc51eb89c\n"
     "p5.jpg 923baa85cd669af1 020353d3bd8baba0\n"
     "p6.jpg 0a48f4df9123a209 29adddb5f09ca2dd\n"},
    {"everything, variants",
     "written 3475f7bdf655f54d\n"
     "p1.jpg bee52ee308d51994 ed82c5928ab2eb5b\n"
     "p2.jpg c0b3848ed53db667 564ffcb424c8637e\n"
     "p3.bmp 7e395ab6406abfef 8b66ae3d53330e22\n"
     "p4.jpg 5ff23a1dec38266e 08a6ace9f18061a6\n"
     "p5.jpg ff86381f1e2f2072 849cabda35b764d6\n"
     "p6.jpg 8ed8880ea48f9f79 626f34c3eaaf6e87\n"},
};

class DecoratedOutput : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::copy(std::string(PICTAVO_SOURCE_DIR) + "/data", program.Path(), fs::copy_options::recursive);
        sources = program.Path() + "photos/";
        destination = program.Path() + "web";
        fs::create_directories(sources);
        for (const Photo& picture : Decorations) make(picture, program.File(picture.name));
        form = std::make_unique<TForm1>();
        form->FormCreate();
        configure();
    }

    void make(const Photo& photo, const std::string& path)
    {
        std::string arguments = photo.make;
        std::string prefix;
        if (const std::size_t space = arguments.rfind(' '); space != std::string::npos && arguments.back() == ':') {
            prefix = arguments.substr(space + 1);
            arguments.resize(space);
        } else if (path.ends_with(".bmp")) {
            prefix = "BMP3:";
            arguments += " -type TrueColor";
        }
        ASSERT_TRUE(testsupport::ImageMagick(arguments + " '" + prefix + path + "'")) << photo.name;
    }

    void configure()
    {
        TForm1& f = *form;
        f.Edit1->SetText(destination);
        f.Edit2->SetText("index1.html");
        f.Edit4->SetText("image01.htm");
        f.Edit5->SetText("tn_*");
        f.Edit9->SetText("image01");
        f.ComboBox3->SetItemIndex(0);
        f.ComboBox5->SetItemIndex(0);
        f.ComboBox4->SetItemIndex(2);  // thumbnails link to image pages
        f.CheckBox7->SetChecked(true);
        f.ComboBox7->SetItemIndex(0);  // JPEG image copies and thumbnails
        f.ComboBox8->SetItemIndex(0);
        f.SpinEdit12->SetValue(80);
        f.SpinEdit13->SetValue(90);
        f.ComboBox6->SetItemIndex(1);  // thumbnails by pixels
        f.SpinEdit6->SetValue(120);
        f.SpinEdit7->SetValue(120);
        f.CheckBox1->SetChecked(true);
        // Image copies at the source's size: every decorated pixel is written.
        f.CheckBox3->SetChecked(false);
        f.Menuitem7->SetChecked(false);
        f.Menuitem8->SetChecked(false);
    }

    void apply(const Case& c)
    {
        TForm1& f = *form;
        auto set = [&](int record, const std::string& value) {
            f.SetPropertyRecord(record, value.empty() ? PropertyRecordDefault(record) : value);
        };
        // The mask is read from where its record says, not from the program folder.
        auto absolute = [&](std::string record) {
            const std::string stored = "|frames/t-mask.bmp|";
            if (const std::size_t at = record.find(stored); at != std::string::npos)
                record.replace(at, stored.size(), "|" + program.File("frames/t-mask.bmp") + "|");
            return record;
        };
        set(prAddMaskImage, absolute(c.maskImage));
        set(prAddMaskThumb, absolute(c.maskThumb));
        set(prAddFrameImage, c.frameImage);
        set(prAddFrameThumb, c.frameThumb);
        set(prAddButtonImage, c.bevelImage);
        set(prAddButtonThumb, c.bevelThumb);
        set(prAddOutlineI, c.outlineImage);
        set(prAddOutlineT, c.outlineThumb);
        set(prAddLogo, c.logo);
        set(prAddText, c.text);
        const bool frameImage = !(c.maskImage + c.frameImage + c.bevelImage + c.outlineImage).empty();
        const bool frameThumb = !(c.maskThumb + c.frameThumb + c.bevelThumb + c.outlineThumb).empty();
        f.CheckBox4->SetChecked(frameImage);
        f.CheckBox2->SetChecked(frameThumb);
        f.CheckBox6->SetChecked(!c.logo.empty());
        f.CheckBox5->SetChecked(!c.text.empty());
    }

    // The photos made, then for each case "Create All" into an emptied
    // folder and each photo's pictures made again in memory: the checksums
    // compared with the pinned ones.
    template <std::size_t PhotoCount, std::size_t CaseCount>
    void expectPinned(const Photo (&photos)[PhotoCount], const Case (&cases)[CaseCount],
                      const std::map<std::string, std::string>& pinned)
    {
        for (const Photo& photo : photos) make(photo, sources + photo.name);
        for (const Case& c : cases) {
            apply(c);
            EXPECT_EQ(checksums(photos), pinned.at(c.name)) << c.name;
        }
        for (const TMessageRequest& message : dialogs.Messages)
            ADD_FAILURE() << message.Caption << ": " << message.Text;
    }

    template <std::size_t PhotoCount>
    std::string checksums(const Photo (&photos)[PhotoCount])
    {
        fs::remove_all(destination);
        form->ListView1->Clear();
        for (const Photo& photo : photos) form->ListView1->Add(TForm1::MakeSourceItem(sources + photo.name));
        form->CreateAll2->Click();
        int count = 0;
        std::string report = "written " + writtenPicturesHash(destination, count) + "\n";
        EXPECT_EQ(count, 2 * int(PhotoCount));
        for (const Photo& photo : photos) {
            TRasterDIB image, thumbnail;
            int failed = -1;
            form->CreateImage(failed, sources + photo.name, image);
            EXPECT_EQ(failed, 0) << photo.name;
            form->CreateThumbnail(failed, sources + photo.name, thumbnail);
            EXPECT_EQ(failed, 0) << photo.name;
            report += std::string(photo.name) + " " + pixelHash(image) + " " + pixelHash(thumbnail) + "\n";
        }
        return report;
    }

    TempProgramFolder program;
    DialogScript dialogs;
    std::string sources, destination;
    std::unique_ptr<TForm1> form;
};

}  // namespace

TEST_F(DecoratedOutput, EveryDecorationWritesThePinnedPictures) { expectPinned(Photos, Cases, Pinned); }

namespace {

// Pictures smaller than the decorations: outlines wider than half the
// picture, bevel rings whose sides meet, frames and masks shrunk, a logo
// along the whole height and partly outside.
const Photo SmallPhotos[] = {
    {"s1.jpg", "-seed 31 -size 13x7 plasma:fractal -quality 95"},
    {"s2.bmp", "-seed 32 -size 8x21 plasma:fractal"},
    {"s3.jpg", "-seed 33 -size 3x3 plasma:fractal -quality 95"},
    {"s4.bmp", "-seed 34 -size 1x1 plasma:fractal"},
};

const Case SmallCases[] = {
    {"thick outlines", "", "", "", "", "", "", outlineRecord("frames/t-tile.bmp", 30, Red, 12),
     outlineRecord("frames/t-tile.bmp", 50, Black, 40), "", ""},
    {"bevels", "", "", "", "", "2|3|0|40|16777215|0|1|1|-20|60|8421504|", "3|50|2|70|65535|8421504|1|3|25|10|255|", "",
     "", "", ""},
    {"everything", MaskImage, MaskThumb, frameRecord("frames/t-frame-big.bmp", 55, Black, 3, 9),
     frameRecord("frames/t-frame-small.bmp", 20, Red, 0, 0), "1|4|0|100|16777215|0|0|0|0|0|0|", BevelThumb,
     outlineRecord("frames/t-tile.bmp", 0, Red, 12), OutlineThumb, "frames/t-logo.bmp|5|-20|3|10|0|0|255|2|",
     "DejaVu Sans|u|9|9|255|%filename|3|0|-4|10|90|2|2|0|255|100|120301|31231|1|frames/t-bar.bmp|255|0|0|1|1|"
     "255|255|255|"},
};

const std::map<std::string, std::string> SmallPinned = {
    {"thick outlines",
     "written f6974271a29a1b74\n"
     "s1.jpg c959cd0699fd4a23 888bcbb78160b3c1\n"
     "s2.bmp 43fa5bed0a1787c4 29a69d20b1072fab\n"
     "s3.jpg d1ea5bdf9b4fbb60 834fcd7988bfbebc\n"
     "s4.bmp 86ab1c6ec9799144 1f47630e125bd7d3\n"},
    {"bevels",
     "written 92f80c9a4d36d183\n"
     "s1.jpg fdbe4a3faa1e310b 158ec3b86a23c784\n"
     "s2.bmp 328815bbd64be23e 0a29b20ce703dfdb\n"
     "s3.jpg e7c468eafeb35d3c 2219c523c10796d7\n"
     "s4.bmp 56080771834f6c8b 504690d99a44ef85\n"},
    {"everything",
     "written 3f20a33c5cdcfe17\n"
     "s1.jpg f4f4644431006818 a4deb4ca0a241aae\n"
     "s2.bmp 0b1a93ec10b11704 9b84250993042d53\n"
     "s3.jpg 845c0f921a6fc511 064ae01f951964e0\n"
     "s4.bmp 95ef20d4019a2545 ef854d19d128ab07\n"},
};

}  // namespace

TEST_F(DecoratedOutput, SmallPicturesWriteThePinnedPictures) { expectPinned(SmallPhotos, SmallCases, SmallPinned); }
