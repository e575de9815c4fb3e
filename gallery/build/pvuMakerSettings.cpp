// The makers' settings gathered from the main window: the "Images" page, the
// output formats and the decoration records, handed to the image copy and
// thumbnail makers.

#include "gallery/mainwindow/pvu.h"

#include "gallery/records/PropertyRecords.h"
#include "gallery/pictures/pvutilsMakers.h"
#include "gallery/pictures/pvutilsPictures.h"

TMakerSettings TForm1::MakerSettings() const
{
    TMakerSettings s;
    s.ImageFilter = ComboBox18->ItemIndex();
    s.ImageUseFrame = CheckBox4->Checked();
    s.AddLogo = CheckBox6->Checked();
    s.AddText = CheckBox5->Checked();
    s.Resize = CheckBox3->Checked();
    s.ImageWidth = SpinEdit8->Value();
    s.ImageHeight = SpinEdit9->Value();
    s.ResizeMethod = ComboBox19->ItemIndex();
    s.ThumbSize = ComboBox6->ItemIndex();
    s.LockDimension = CheckBox1->Checked();
    s.ThumbWidth = SpinEdit6->Value();
    s.ThumbHeight = SpinEdit7->Value();
    s.ThumbFilter = ComboBox17->ItemIndex();
    s.ThumbUseFrame = CheckBox2->Checked();
    s.ImageOutput = {ComboBox8->ItemIndex() == 1 ? okGif : okJpeg, SpinEdit13->Value(), SpinEdit15->Value()};
    s.ThumbOutput = {ComboBox7->ItemIndex() == 1 ? okGif : okJpeg, SpinEdit12->Value(), SpinEdit14->Value()};
    s.MaskImage = CompletedPropertyRecord(prAddMaskImage);
    s.FrameImage = CompletedPropertyRecord(prAddFrameImage);
    s.BevelImage = CompletedPropertyRecord(prAddButtonImage);
    s.OutlineImage = CompletedPropertyRecord(prAddOutlineI);
    s.MaskThumb = CompletedPropertyRecord(prAddMaskThumb);
    s.FrameThumb = CompletedPropertyRecord(prAddFrameThumb);
    s.BevelThumb = CompletedPropertyRecord(prAddButtonThumb);
    s.OutlineThumb = CompletedPropertyRecord(prAddOutlineT);
    s.Logo = CompletedPropertyRecord(prAddLogo);
    s.Text = CompletedPropertyRecord(prAddText);
    return s;
}

void TForm1::CreateImage(int& failed, const std::string& fileName, TRasterDIB& target)
{
    MakeImageCopy(failed, fileName, target, MakerSettings(), Decorations);
}

void TForm1::CreateThumbnail(int& failed, const std::string& fileName, TRasterDIB& target)
{
    MakeThumbnail(failed, fileName, target, MakerSettings(), Decorations);
}

void TForm1::LoadOriginal(int& failed, const std::string& fileName, TRasterDIB& target)
{
    LoadOriginalPicture(failed, fileName, target);
}
