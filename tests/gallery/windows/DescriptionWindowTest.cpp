// The description editor over a three-picture list: saving, re-saving and
// deleting descriptions with the neighbours' lines checked, walking the list
// with the function keys, and the picture corrections written back by Apply.
#include "WindowTestSupport.h"

#include "gallery/windows/pvu3.h"
#include "gallery/pictures/pvutilsGeometry.h"
#include "gallery/pictures/pvutilsPictures.h"
#include "platform/system/System.h"
#include "raster/RasterFX.h"
#include "raster/RasterView.h"
#include "tests/support/RunCommand.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>

#include <cstring>
#include <filesystem>
#include <sys/stat.h>

namespace {

class DescriptionEditor : public ::testing::Test {
protected:
    void SetUp() override
    {
        pics = folder.Path() + "pics/";
        std::filesystem::create_directories(pics);
        // Two JPEGs around a BMP; the last name is long enough to be quoted.
        ASSERT_TRUE(testsupport::ImageMagick("-size 64x48 gradient:red-blue -quality 95 " + pics + "a.jpg"))
            << "needs ImageMagick";
        ASSERT_TRUE(testsupport::ImageMagick("-size 30x20 xc:green " + pics + "b.bmp"));
        ASSERT_TRUE(testsupport::ImageMagick("-size 40x30 xc:yellow -quality 90 '" + pics + "long picture name.jpg'"));
        for (const char* name : {"a.jpg", "b.bmp", "long picture name.jpg"})
            form.ListView1->Add(TForm1::MakeSourceItem(pics + name));
        form.ShowDialogWindow = [](TForm&) { return TModal::Cancel; };
        form.ListView1->SetSelected(0, true);
        form.Button13Click(form.Button13);
    }
    std::string Ion() const { return ReadFile(pics + "descript.ion"); }
    // What a user types into a memo.
    static void Type(TMemo* memo, const std::string& text)
    {
        static_cast<QPlainTextEdit*>(memo->Widget())->setPlainText(QString::fromStdString(text));
    }
    // A function key released over the first memo, as the keyboard sends it.
    static void Release(TMemo* memo, Qt::Key key)
    {
        QKeyEvent event(QEvent::KeyRelease, key, Qt::NoModifier);
        QApplication::sendEvent(memo->Widget(), &event);
    }

    TempProgramFolder folder;
    DialogScript dialogs;
    TForm1 form;
    TForm4& editor = form.DescriptionEditor();
    std::string pics;
};

TEST_F(DescriptionEditor, SaveResaveDeleteAndWalkKeepTheNeighboursLines)
{
    WriteFile(pics + "descript.ion", "a.jpg First picture\r\nother.jpg Someone else\r\n");
    editor.ShowItem(0);
    EXPECT_EQ(editor.Memo1->Lines().ToVector(), std::vector<std::string>{"First picture"});
    EXPECT_EQ(editor.Label4->Caption(), "64x48");
    // Next item: no line yet; a typed description is appended once, however often it is saved.
    Release(editor.Memo1, Qt::Key_F11);
    EXPECT_EQ(editor.Edit1->Text(), pics + "b.bmp");
    EXPECT_TRUE(editor.Memo1->Lines().ToVector().empty());
    Type(editor.Memo1, "Green\nsquare");
    Release(editor.Memo1, Qt::Key_F4);
    Release(editor.Memo1, Qt::Key_F4);
    EXPECT_EQ(Ion(), "a.jpg First picture\r\nother.jpg Someone else\r\nb.bmp Green square \r\n");
    // The first picture's line goes when its memo is emptied ...
    Release(editor.Memo1, Qt::Key_F9);
    Type(editor.Memo1, "");
    editor.Button1Click(editor.Button1);
    EXPECT_EQ(Ion(), "other.jpg Someone else\r\nb.bmp Green square \r\n");
    // ... and the second picture's new text still lands on its own, moved line.
    Release(editor.Memo1, Qt::Key_F11);
    Type(editor.Memo1, "Green");
    editor.SaveDescriptions();
    EXPECT_EQ(Ion(), "other.jpg Someone else\r\nb.bmp Green \r\n");
    EXPECT_EQ(editor.DescriptionLine1, 1);
    // A picture without a line and an empty (or blank) memo: nothing is appended anywhere.
    Release(editor.Memo1, Qt::Key_F12);
    Type(editor.Memo1, "  ");
    editor.SaveDescriptions();
    EXPECT_EQ(Ion(), "other.jpg Someone else\r\nb.bmp Green \r\n");
    EXPECT_FALSE(FileExists(pics + "descript.pv"));
    // The second file holds its own descriptions; a long name is quoted.
    Type(editor.Memo2, "Yellow");
    editor.SaveDescriptions();
    EXPECT_EQ(ReadFile(pics + "descript.pv"), "\"long picture name.jpg\" Yellow \r\n");
    Release(editor.Memo1, Qt::Key_F10);
    EXPECT_TRUE(editor.Memo2->Lines().ToVector().empty());  // the neighbour had none
    Release(editor.Memo1, Qt::Key_F11);
    EXPECT_EQ(editor.Memo2->Lines().ToVector(), std::vector<std::string>{"Yellow"});
    // Saving what was read writes the same bytes.
    editor.SaveDescriptions();
    EXPECT_EQ(ReadFile(pics + "descript.pv"), "\"long picture name.jpg\" Yellow \r\n");
}

TEST_F(DescriptionEditor, FunctionKeysStopAtTheEndsOfTheList)
{
    struct Step {
        int key;
        int selected;
    };
    const Step steps[] = {{121, 0}, {122, 1}, {122, 2}, {122, 2}, {120, 0}, {121, 0}, {123, 2}, {121, 1}};
    for (const Step& step : steps) {
        int key = step.key;
        editor.Memo1KeyUp(editor.Memo1, key);
        EXPECT_EQ(form.ListView1->FirstSelected(), step.selected) << "key " << step.key;
        EXPECT_EQ(form.ListView1->SelCount(), 1);
        EXPECT_EQ(editor.Edit1->Text(), form.ItemFullPath(step.selected));
    }
}

TEST_F(DescriptionEditor, ApplyRewritesOnlyJpegsKeepingTheirDateWithTheChosenQuality)
{
    const std::string jpeg = pics + "a.jpg";
    ASSERT_TRUE(testsupport::RunQuiet("touch -d '2010-06-15 12:34:56' '" + jpeg + "'"));
    struct stat before {};
    stat(jpeg.c_str(), &before);
    editor.ShowItem(0);
    for (TControl* c :
         std::initializer_list<TControl*>{editor.Button7, editor.SpeedButton1, editor.SpinEdit1, editor.SpinEdit3})
        EXPECT_TRUE(c->Enabled()) << c->Name;
    editor.SpinEdit1->SetValue(55);
    editor.SpeedButton1Click(editor.SpeedButton2);
    EXPECT_EQ(editor.Label4->Caption(), "48x64");
    editor.Button7Click(editor.Button7);
    struct stat after {};
    stat(jpeg.c_str(), &after);
    EXPECT_EQ(after.st_mtime, before.st_mtime);
    EXPECT_EQ(testsupport::RunCapture("identify -format '%Q %wx%h' '" + jpeg + "'").Output, "55 48x64");

    // A BMP is shown but never written: its corrections and Apply are off, and Apply itself refuses.
    const std::string bmp = pics + "b.bmp";
    const std::string bytes = ReadFile(bmp);
    editor.ShowItem(1);
    for (TControl* c : std::initializer_list<TControl*>{
             editor.Button7, editor.SpeedButton1, editor.SpeedButton2, editor.SpeedButton3, editor.SpeedButton4,
             editor.SpinEdit1, editor.SpinEdit2, editor.SpinEdit3, editor.SpinEdit5, editor.SpinEdit6})
        EXPECT_FALSE(c->Enabled()) << c->Name;
    editor.Button7Click(editor.Button7);
    EXPECT_EQ(ReadFile(bmp), bytes);
}

// A small ICC profile for RGB pictures: its header and a white point.
std::string RgbProfile()
{
    std::string p(164, '\0');
    auto be32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) p[at + std::size_t(i)] = char(v >> (24 - 8 * i));
    };
    be32(0, 164);
    p.replace(4, 4, "none");
    be32(8, 0x02100000);
    p.replace(12, 4, "mntr");
    p.replace(16, 4, "RGB ");
    p.replace(20, 4, "XYZ ");
    p.replace(36, 4, "acsp");
    for (std::size_t at : {std::size_t(68), std::size_t(152)}) {
        be32(at, 0xF6D6);
        be32(at + 4, 0x10000);
        be32(at + 8, 0xD32D);
    }
    be32(128, 1);
    p.replace(132, 4, "wtpt");
    be32(136, 144);
    be32(140, 20);
    p.replace(144, 4, "XYZ ");
    return p;
}

// A camera's portrait photo, stored sideways with its orientation tag: shown
// upright, and Apply writes that upright picture with the camera's metadata,
// profile, XMP and comment, orientation normal, and the date to the nanosecond.
TEST_F(DescriptionEditor, ApplyKeepsThePhotosMetadataAndItsExactDate)
{
    if (!testsupport::HaveTool("exiftool")) GTEST_SKIP() << "exiftool missing";
    const std::string jpeg = pics + "a.jpg";
    WriteFile(pics + "p.icc", RgbProfile());
    ASSERT_TRUE(testsupport::ImageMagick("-size 120x75 gradient:red-blue -quality 90 " + jpeg));
    ASSERT_TRUE(testsupport::RunQuiet(
        "cd " + pics +
        " && exiftool -q -n -overwrite_original '-ICC_Profile<=p.icc' -Make=Canon '-Model=EOS 5D' "
        "'-DateTimeOriginal=2019:07:04 10:20:30' -ExposureTime=0.008 -FNumber=5.6 -Orientation=6 "
        "-XMP-dc:Title=Lake -Comment=Summer a.jpg && cp a.jpg original.jpg && "
        "touch -d '2010-06-15 12:34:56.123456789' a.jpg"));
    struct stat before {};
    stat(jpeg.c_str(), &before);
    editor.ShowItem(0);
    EXPECT_EQ(editor.Label4->Caption(), "75x120");
    editor.Button7Click(editor.Button7);

    struct stat after {};
    stat(jpeg.c_str(), &after);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(testsupport::RunCapture("exiftool -s3 -n -Make -Model -DateTimeOriginal -ExposureTime -FNumber "
                                      "-Orientation -Title -Comment -ColorSpaceData -ImageWidth -ImageHeight " +
                                      jpeg)
                  .Output,
              "Canon\nEOS 5D\n2019:07:04 10:20:30\n0.008\n5.6\n1\nLake\nSummer\nRGB\n75\n120\n");
    // What was written is the picture as every viewer shows the original.
    const std::string difference =
        testsupport::RunCapture("convert " + jpeg + " " + pics +
                                "original.jpg -auto-orient -compose difference "
                                "-composite -colorspace gray -format '%[fx:mean<0.02]' info:")
            .Output;
    EXPECT_EQ(difference, "1");
}

// The bytes of the shown picture.
std::string Pixels(const TRasterDIB& dib)
{
    return std::string(reinterpret_cast<const char*>(dib.Bits), std::size_t(dib.Stride) * std::size_t(dib.AbsHeight));
}

TEST_F(DescriptionEditor, AdjustmentsStartFromThePictureAndNeverAddUp)
{
    editor.ShowItem(0);
    TRasterDIB& shown = editor.RasterView1->PictureDIB;
    const std::string original = Pixels(shown);
    // Every value at 0 leaves the picture exactly as loaded.
    editor.SpinEdit2Change(editor.SpinEdit2);
    EXPECT_EQ(Pixels(shown), original);
    // Saturation -100 gives grey; back at 0 the colours return.
    editor.SpinEdit5->SetValue(-100);
    TColorTriple t;
    shown.GetPixelColor(10, 5, t);
    EXPECT_LE(std::abs(t.Red - t.Blue), 1);
    editor.SpinEdit5->SetValue(0);
    EXPECT_EQ(Pixels(shown), original);
    // A turn made while brightened, then the brightness taken back: the turned original.
    editor.SpinEdit3->SetValue(40);
    editor.SpeedButton1Click(editor.SpeedButton3);
    editor.SpinEdit3->SetValue(0);
    TRasterDIB flipped;
    LoadImageFile(flipped, pics + "a.jpg");
    FlipVertical(flipped);
    EXPECT_EQ(Pixels(shown), Pixels(flipped));
    // Showing the editor again sets brightness and contrast back to 0 and keeps saturation.
    editor.SpinEdit5->SetValue(20);
    editor.SpinEdit3->SetValue(15);
    form.Show();
    form.Window()->move(300, 200);
    editor.Show();
    // It opens over the main window, not in a corner of the desktop.
    EXPECT_LE((editor.Window()->frameGeometry().center() - form.Window()->frameGeometry().center()).manhattanLength(),
              4);
    EXPECT_EQ(editor.SpinEdit3->Value(), 0);
    EXPECT_EQ(editor.SpinEdit5->Value(), 20);
    editor.Hide();
}

TEST_F(DescriptionEditor, AppliedAdjustmentsAreShownOnceAndNeverFollowToTheNextPicture)
{
    editor.ShowItem(0);
    editor.SpinEdit1->SetValue(95);
    editor.SpinEdit3->SetValue(40);
    editor.SpinEdit5->SetValue(-60);
    const std::string adjusted = Pixels(editor.RasterView1->PictureDIB);
    editor.Button7Click(editor.Button7);
    // The saved picture is what was shown, and its adjustments are in the file now.
    EXPECT_TRUE(Pixels(editor.RasterView1->PictureDIB) == adjusted);
    for (TSpinEdit* spin : {editor.SpinEdit2, editor.SpinEdit3, editor.SpinEdit5, editor.SpinEdit6})
        EXPECT_EQ(spin->Value(), 0) << spin->Name;
    editor.SpinEdit6->SetValue(10);
    editor.SpinEdit6->SetValue(0);
    EXPECT_TRUE(Pixels(editor.RasterView1->PictureDIB) == adjusted);
    // Each picture shown next is its file as stored, whatever was set before:
    // the BMP (whose boxes are off and hold nothing), then the saved JPEG.
    const auto expectStored = [&] {
        TRasterDIB stored;
        LoadImageFile(stored, editor.Edit1->Text());
        EXPECT_TRUE(Pixels(editor.RasterView1->PictureDIB) == Pixels(stored)) << editor.Edit1->Text();
    };
    editor.SpinEdit3->SetValue(25);
    Release(editor.Memo1, Qt::Key_F11);
    EXPECT_EQ(editor.Edit1->Text(), pics + "b.bmp");
    expectStored();
    for (TSpinEdit* spin : {editor.SpinEdit2, editor.SpinEdit3, editor.SpinEdit5, editor.SpinEdit6}) {
        EXPECT_FALSE(spin->Enabled()) << spin->Name;
        EXPECT_EQ(spin->Value(), 0) << spin->Name;
    }
    // A box that is off has no effect, whatever it holds.
    editor.SpinEdit5->SetValue(-100);
    expectStored();
    Release(editor.Memo1, Qt::Key_F10);
    expectStored();
}

}  // namespace
