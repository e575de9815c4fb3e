#pragma once
// The description editor: the two descriptions of a source picture (the
// folder's "descript.ion" and descript.pv), and simple corrections of the
// picture itself (quarter turns, flip, mirror, brightness, contrast,
// saturation, lightness) saved back over a JPEG file. Function keys walk the
// main window's list. Made once, after the main window, and reused.

#include "platform/gui/Gui.h"
#include "raster/RasterDIB.h"

class TForm1;
class TRasterView;

class TForm4 : public TForm {
public:
    explicit TForm4(TForm1& main);

    // Shows item index of the main list: path, both descriptions, the
    // picture, its size and file size. A missing file changes nothing.
    void ShowItem(int index);
    // Writes both memos as the picture's descriptions.
    void SaveDescriptions();
    // 1 first, 2 previous, 3 next, 4 last.
    void GoToItem(int where);
    // F4 (115) saves; F9..F12 (120..123) go to the first, previous, next, last item.
    void Memo1KeyUp(TComponent* Sender, int& Key);
    void Button1Click(TComponent* Sender);
    void SpeedButton1Click(TComponent* Sender);
    void SpinEdit2Change(TComponent* Sender);
    void Button7Click(TComponent* Sender);
    // Whether the shown file may be changed: a JPEG by its extension.
    bool ShownFileIsJpeg() const;

    TEdit* Edit1;
    TMemo *Memo1, *Memo2;
    TPanel* Panel1;
    TRasterView* RasterView1;
    TLabel *Label4, *Label5;
    TPageControl* PageControl1;
    TSpinEdit *SpinEdit1, *SpinEdit2, *SpinEdit3, *SpinEdit4, *SpinEdit5, *SpinEdit6;
    TButton *SpeedButton1, *SpeedButton2, *SpeedButton3, *SpeedButton4;
    TButton *Button1, *Button2, *Button7;

    // The line of the shown picture in each description file as last read (-1: none).
    int DescriptionLine1 = -1, DescriptionLine2 = -1;

protected:
    void FormShow() override;

private:
    void BuildDescriptionPage(QWidget* page);
    void BuildAdjustPage(QWidget* page);
    void ShowPicture(const std::string& path);
    void RemakeKeptCopy();
    void ShowPictureSize();
    // Sets every adjustment back to 0 without applying anything.
    void ClearAdjustments();
    void SaveDescription(const std::string& descriptionFile, TMemo& memo, int& line);

    TForm1& main_;
    TRasterDIB kept_;  // the shown picture before the adjustments
    bool clearingAdjustments_ = false;
};
