// The main window's makers read the "Images" page and the decoration records.

#include "MakersWindowTestSupport.h"
#include "WindowTestSupport.h"

#include "gallery/records/PropertyRecords.h"

#include <gtest/gtest.h>

namespace {

using Size = std::pair<int, int>;

class MakersWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        source = folder.File("land.bmp");
        WriteTestBmp(source, 400, 300);
    }
    Size thumbnail(TForm1& form)
    {
        auto picture = NewTestPicture();
        int failed = -1;
        form.CreateThumbnail(failed, source, *picture);
        EXPECT_EQ(failed, 0);
        return TestPictureSize(*picture);
    }
    Size image(TForm1& form)
    {
        auto picture = NewTestPicture();
        int failed = -1;
        form.CreateImage(failed, source, *picture);
        EXPECT_EQ(failed, 0);
        return TestPictureSize(*picture);
    }

    TempProgramFolder folder;
    DialogScript dialogs;
    std::string source;
};

}  // namespace

TEST_F(MakersWindow, ThumbnailFollowsSizeLockAndBox)
{
    TForm1 form;
    form.ComboBox6->SetItemIndex(0);
    form.SpinEdit6->SetValue(25);
    form.SpinEdit7->SetValue(3);
    EXPECT_EQ(thumbnail(form), Size(100, 75));
    form.ComboBox6->SetItemIndex(1);
    form.CheckBox1->SetChecked(true);
    form.SpinEdit6->SetValue(120);
    form.SpinEdit7->SetValue(60);
    EXPECT_EQ(thumbnail(form), Size(80, 60));
    form.CheckBox1->SetChecked(false);
    EXPECT_EQ(thumbnail(form), Size(120, 90));
    form.ComboBox6->SetItemIndex(2);
    form.SpinEdit6->SetValue(100);
    form.SpinEdit7->SetValue(100);
    EXPECT_EQ(thumbnail(form), Size(100, 100));
}

TEST_F(MakersWindow, ImageFollowsResizeAndMethod)
{
    TForm1 form;
    form.CheckBox3->SetChecked(false);
    form.SpinEdit8->SetValue(200);
    form.SpinEdit9->SetValue(200);
    EXPECT_EQ(image(form), Size(400, 300));
    form.CheckBox3->SetChecked(true);
    form.ComboBox19->SetItemIndex(0);
    EXPECT_EQ(image(form), Size(200, 150));
    form.ComboBox19->SetItemIndex(1);
    EXPECT_EQ(image(form), Size(200, 150));
    form.ComboBox19->SetItemIndex(2);
    EXPECT_EQ(image(form), Size(267, 200));
}

TEST_F(MakersWindow, SettingsAndRecordsComeFromTheirControls)
{
    TForm1 form;
    form.ComboBox18->SetItemIndex(2);
    form.ComboBox17->SetItemIndex(3);
    form.CheckBox4->SetChecked(true);
    form.CheckBox2->SetChecked(false);
    form.CheckBox5->SetChecked(true);
    form.CheckBox6->SetChecked(false);
    form.SetPropertyRecord(prAddButtonImage, "1|4|0|100|0|0|0|0|0|0|0|");
    form.SetPropertyRecord(prAddButtonThumb, "2|1|1|1|1|1|1|1|1|1|1|");
    form.SetPropertyRecord(prAddMaskThumb, "1|mask.png|");
    const TMakerSettings s = form.MakerSettings();
    EXPECT_EQ(s.ImageFilter, 2);
    EXPECT_EQ(s.ThumbFilter, 3);
    EXPECT_TRUE(s.ImageUseFrame);
    EXPECT_FALSE(s.ThumbUseFrame);
    EXPECT_TRUE(s.AddText);
    EXPECT_FALSE(s.AddLogo);
    EXPECT_EQ(s.BevelImage, "1|4|0|100|0|0|0|0|0|0|0|");
    EXPECT_EQ(s.BevelThumb, "2|1|1|1|1|1|1|1|1|1|1|");
    // A short record reaches the makers completed with the default's fields.
    EXPECT_EQ(s.MaskThumb, "1|mask.png|0|100|0|16777215|0|0|0||");
    EXPECT_EQ(s.Text, form.GetPropertyRecord(prAddText));

    // The window's bevel hook sees the image grown by the flat bevel's width.
    form.CheckBox3->SetChecked(false);
    form.ComboBox18->SetItemIndex(0);
    Size seen;
    form.Decorations.ButtonizeImage = [&seen](TRasterDIB& picture, const std::string&, const std::string&) {
        seen = TestPictureSize(picture);
    };
    EXPECT_EQ(image(form), Size(408, 308));
    EXPECT_EQ(seen, Size(408, 308));

    auto untouched = NewTestPicture();
    int failed = -1;
    form.CreateImage(failed, folder.File("missing.bmp"), *untouched);
    EXPECT_EQ(failed, 1);
    form.LoadOriginal(failed, source, *untouched);
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(TestPictureSize(*untouched), Size(400, 300));
}
