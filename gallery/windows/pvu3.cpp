#include "gallery/windows/pvu3.h"

#include "gallery/mainwindow/pvu.h"
#include "gallery/records/pvutils.h"
#include "gallery/pictures/pvutilsGeometry.h"
#include "gallery/pictures/pvutilsPictures.h"
#include "gallery/text/srutils.h"
#include "gallery/text/srutilsFiles.h"
#include "platform/core/AsciiCase.h"
#include "platform/system/System.h"
#include "raster/RasterFX.h"
#include "raster/RasterView.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QWidget>

#include <cmath>

namespace {

constexpr TColor clMoneyGreen = 0xC0DCC0;
const char* const DescriptionFileIon = "descript.ion";
const char* const DescriptionFilePv = "descript.pv";

// Function keys released anywhere in the window reach the key handler (no
// control of the window uses them itself).
class EditorKeyFilter : public QObject {
public:
    EditorKeyFilter(TForm4* form, QObject* parent) : QObject(parent), form_(form) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyRelease) return QObject::eventFilter(watched, event);
        const int qtKey = static_cast<QKeyEvent*>(event)->key();
        int key = 0;
        if (qtKey == Qt::Key_F4) key = 115;
        if (qtKey >= Qt::Key_F9 && qtKey <= Qt::Key_F12) key = 120 + (qtKey - Qt::Key_F9);
        if (key == 0) return QObject::eventFilter(watched, event);
        form_->Dispatch([&] { form_->Memo1KeyUp(form_, key); });
        return true;
    }

private:
    TForm4* form_;
};

// A memo's lines, or none when it holds nothing but blanks: a blank
// description is no description.
std::vector<std::string> DescriptionLines(TMemo& memo)
{
    std::vector<std::string> lines = memo.Lines().ToVector();
    for (const std::string& line : lines)
        if (line.find_first_not_of(" \t\r") != std::string::npos) return lines;
    return {};
}

// The file's size as the editor shows it, in kilobytes.
std::string SizeCaption(const std::string& path)
{
    std::string kilobytes;
    FileSizeText(1, path, kilobytes);
    return kilobytes + " KB";
}

}  // namespace

TForm4::TForm4(TForm1& main) : TForm(nullptr, "Form4"), main_(main)
{
    SetCaption("Edit Description");
    QWidget* client = Client();
    Edit1 = Make<TEdit>("Edit1", client);
    Edit1->SetBounds(8, 8, 544, 24);
    static_cast<QLineEdit*>(Edit1->Widget())->setReadOnly(true);
    Edit1->SetColor(clMoneyGreen);
    Panel1 = Make<TPanel>("Panel1", client);
    Panel1->SetBounds(8, 40, 260, 260);
    RasterView1 = Make<TRasterView>("RasterView1", Panel1->Widget());
    RasterView1->SetSizeMode(smBilinear);
    RasterView1->SetDrawStyle(dsResize);
    RasterView1->SetAlign(alClient);
    Label4 = Make<TLabel>("Label4", client, "0x0");
    Label4->SetBounds(8, 304, 128, 20);
    Label5 = Make<TLabel>("Label5", client);
    Label5->SetBounds(140, 304, 128, 20);
    PageControl1 = Make<TPageControl>("PageControl1", client);
    PageControl1->SetBounds(276, 40, 276, 284);
    BuildDescriptionPage(PageControl1->AddPage("TabSheet1", "Description")->Widget());
    BuildAdjustPage(PageControl1->AddPage("TabSheet2", "Adjust Image")->Widget());
    Make<TLabel>("Label3", client, "F4=Save     F9=First     F10=Prev     F11=Next     F12=Last")
        ->SetBounds(8, 336, 376, 20);
    Button1 = Make<TButton>("Button1", client, "&Save");
    Button1->SetBounds(392, 332, 76, 28);
    Button1->OnClick = [this](TComponent* s) { Button1Click(s); };
    Button2 = Make<TButton>("Button2", client, "&Close");
    Button2->SetBounds(476, 332, 76, 28);
    Button2->OnClick = [this](TComponent*) {
        ModalResult = TModal::Cancel;
        Close();
    };
    Button2->SetCancel(true);
    SetFixedClientSize(560, 368);
    Window()->installEventFilter(new EditorKeyFilter(this, Window()));
}

void TForm4::BuildDescriptionPage(QWidget* page)
{
    Make<TLabel>("Label1", page, "&1:")->SetBounds(8, 10, 20, 20);
    Memo1 = Make<TMemo>("Memo1", page);
    Memo1->SetBounds(28, 8, 236, 110);
    Make<TLabel>("Label2", page, "&2:")->SetBounds(8, 128, 20, 20);
    Memo2 = Make<TMemo>("Memo2", page);
    Memo2->SetBounds(28, 126, 236, 110);
}

void TForm4::BuildAdjustPage(QWidget* page)
{
    struct Adjustment {
        TSpinEdit*& spin;
        const char* name;
        const char* label;
        const char* caption;
    };
    const Adjustment adjustments[] = {{SpinEdit3, "SpinEdit3", "Label6", "Brightness:"},
                                      {SpinEdit2, "SpinEdit2", "Label7", "Contrast:"},
                                      {SpinEdit5, "SpinEdit5", "Label8", "Saturation:"},
                                      {SpinEdit6, "SpinEdit6", "Label9", "Lightness:"}};
    int y = 8;
    for (const Adjustment& a : adjustments) {
        Make<TLabel>(a.label, page, a.caption)->SetBounds(8, y + 2, 90, 20);
        a.spin = Make<TSpinEdit>(a.name, page, -100, 100);
        a.spin->SetBounds(100, y, 70, 24);
        a.spin->OnChange = [this](TComponent* s) { SpinEdit2Change(s); };
        y += 30;
    }
    // Gamma is kept but never applied.
    SpinEdit4 = Make<TSpinEdit>("SpinEdit4", page, -100, 100);
    SpinEdit4->SetVisible(false);
    SpinEdit4->OnChange = [this](TComponent* s) { SpinEdit2Change(s); };
    const char* const turns[][3] = {{"SpeedButton1", "-90", "Rotate -90"},
                                    {"SpeedButton2", "+90", "Rotate +90"},
                                    {"SpeedButton3", "Flip", "Flip vertical"},
                                    {"SpeedButton4", "Mirror", "Mirror horizontal"}};
    TButton** buttons[] = {&SpeedButton1, &SpeedButton2, &SpeedButton3, &SpeedButton4};
    for (int i = 0; i < 4; ++i) {
        *buttons[i] = Make<TButton>(turns[i][0], page, turns[i][1]);
        (*buttons[i])->SetBounds(8 + i * 64, y + 6, 60, 28);
        (*buttons[i])->SetHint(turns[i][2]);
        (*buttons[i])->OnClick = [this](TComponent* s) { SpeedButton1Click(s); };
    }
    y += 50;
    Make<TLabel>("Label10", page, "JPEG Quality:")->SetBounds(8, y + 2, 90, 20);
    SpinEdit1 = Make<TSpinEdit>("SpinEdit1", page, 40, 100);
    SpinEdit1->SetBounds(100, y, 70, 24);
    SpinEdit1->SetValue(80);
    Button7 = Make<TButton>("Button7", page, "Apply");
    Button7->SetBounds(184, y - 2, 72, 28);
    Button7->SetHint("Save modified image");
    Button7->OnClick = [this](TComponent* s) { Button7Click(s); };
}

void TForm4::FormShow()
{
    // Made once without an owner, the editor would open wherever the desktop
    // puts a new window; it opens over the main window instead.
    CenterOver(&main_);
    for (TSpinEdit* spin : {SpinEdit3, SpinEdit2, SpinEdit4}) spin->SetValue(0);
}

bool TForm4::ShownFileIsJpeg() const
{
    const std::string ext = AsciiLower(ExtractFileExt(Edit1->Text()));
    return ext == ".jpg" || ext == ".jpeg" || ext == ".jpe" || ext == ".jfif" || ext == ".jif";
}

void TForm4::ShowItem(int index)
{
    if (index < 0 || index >= main_.ListView1->Count()) return;
    const std::string path = main_.ItemFullPath(index);
    if (!FileExists(path)) return;
    Edit1->SetText(path);
    const std::string folder = ExtractFilePath(path);
    struct Description {
        const char* file;
        TMemo* memo;
        int& line;
    };
    for (const Description& d : {Description{DescriptionFileIon, Memo1, DescriptionLine1},
                                 Description{DescriptionFilePv, Memo2, DescriptionLine2}}) {
        std::string text;
        d.line = -1;
        if (FileExists(folder + d.file)) ReadDescription(d.line, folder + d.file, path, text);
        // The file ends each description with a blank; shown without it, an
        // unchanged description is saved back as it was, not a blank longer.
        text.erase(text.find_last_not_of(' ') + 1);
        d.memo->Lines().Clear();
        if (!text.empty()) d.memo->Lines().Add(text);
    }
    // Adjustments belong to the picture they were made on.
    ClearAdjustments();
    // Only a JPEG is ever written back; other pictures can be looked at.
    const bool jpeg = ShownFileIsJpeg();
    for (TControl* c : std::initializer_list<TControl*>{SpeedButton1, SpeedButton2, SpeedButton3, SpeedButton4,
                                                        SpinEdit1, SpinEdit2, SpinEdit3, SpinEdit5, SpinEdit6, Button7})
        c->SetEnabled(jpeg);
    ShowPicture(path);
}

void TForm4::ShowPicture(const std::string& path)
{
    TRasterDIB loaded;
    try {
        LoadImageFile(loaded, path);
    } catch (const Exception&) {
        // A picture that cannot be read is shown as nothing; its descriptions stay editable.
        loaded.SetSize(0, 0, 24);
    }
    CopyPicture(loaded, RasterView1->PictureDIB);
    main_.UpdateControls();
    ShowPictureSize();
    Label5->SetCaption(SizeCaption(path));
    RemakeKeptCopy();
    // The values shown are the values applied, from the first look on.
    SpinEdit2Change(SpinEdit2);
}

void TForm4::RemakeKeptCopy() { CopyPicture(RasterView1->PictureDIB, kept_); }

void TForm4::ShowPictureSize()
{
    const TRasterDIB& shown = RasterView1->PictureDIB;
    Label4->SetCaption(std::to_string(shown.Width()) + "x" + std::to_string(shown.AbsHeight));
}

// The line index is read again before and after the write, so a file that
// changed meanwhile (or this write itself) never makes a later save hit
// another picture's line.
void TForm4::SaveDescription(const std::string& descriptionFile, TMemo& memo, int& line)
{
    const std::string picture = Edit1->Text();
    std::string ignored;
    line = -1;
    if (FileExists(descriptionFile)) ReadDescription(line, descriptionFile, picture, ignored);
    const std::vector<std::string> lines = DescriptionLines(memo);
    // Nothing to remove and nothing to add: the file stays as it is.
    if (lines.empty() && line < 0) return;
    if (!WriteDescription(line, descriptionFile, picture, lines))
        throw Exception("Cannot write the description file " + descriptionFile + ".");
    line = -1;
    ReadDescription(line, descriptionFile, picture, ignored);
}

void TForm4::SaveDescriptions()
{
    if (Edit1->Text().empty()) return;
    const std::string folder = ExtractFilePath(Edit1->Text());
    SaveDescription(folder + DescriptionFileIon, *Memo1, DescriptionLine1);
    SaveDescription(folder + DescriptionFilePv, *Memo2, DescriptionLine2);
}

void TForm4::Button1Click(TComponent*) { SaveDescriptions(); }

void TForm4::GoToItem(int where)
{
    if (where < 1 || where > 4) return;
    const int target = main_.StepSelection(static_cast<TListStep>(where));
    if (target >= 0) ShowItem(target);
}

void TForm4::Memo1KeyUp(TComponent*, int& Key)
{
    if (Key == 115) SaveDescriptions();
    if (Key >= 120 && Key <= 123) {
        GoToItem(Key - 119);
        Memo1->SetFocus();
    }
}

void TForm4::ClearAdjustments()
{
    clearingAdjustments_ = true;
    for (TSpinEdit* spin : {SpinEdit3, SpinEdit2, SpinEdit5, SpinEdit6, SpinEdit4}) spin->SetValue(0);
    clearingAdjustments_ = false;
}

void TForm4::SpinEdit2Change(TComponent*)
{
    if (clearingAdjustments_) return;
    TRasterDIB& shown = RasterView1->PictureDIB;
    if (kept_.Width() > 0 && kept_.AbsHeight > 0) CopyPicture(kept_, shown);
    // A value of 0 asks for no change and makes none (saturation included,
    // whose scale would otherwise strengthen the colours at 0); a box that is
    // off has no say.
    const auto value = [](const TSpinEdit* spin) { return spin->Enabled() ? spin->Value() : 0; };
    if (const int v = value(SpinEdit3); v != 0) {
        const int amount = int(std::trunc(v * 1.25));
        ApplyBrightness(shown, amount, amount, amount);
    }
    if (const int v = value(SpinEdit2); v != 0) {
        const int amount = int(std::trunc(v * 1.25));
        ApplyContrast(shown, amount, amount, amount);
    }
    if (const int v = value(SpinEdit5); v != 0) ApplySaturation(shown, 300 + 3 * v);
    if (const int v = value(SpinEdit6); v != 0) {
        const int amount = int(std::trunc(v * 2.4));
        ApplyBrightness(shown, amount, amount, amount);
    }
    RasterView1->Refresh();
}

// Turns work on the kept copy, before the adjustments, and the adjustments
// are applied again: the picture shows the turn with the values on screen,
// and a later change of a value never adds to an earlier one.
void TForm4::SpeedButton1Click(TComponent* Sender)
{
    if (!Sender || !PictureLoaded(kept_)) return;
    const std::string& name = Sender->Name;
    if (name.find('1') != std::string::npos || name.find('2') != std::string::npos) {
        const double angle = name.find('1') != std::string::npos ? -90 : 90;
        TRasterDIB turned;
        SizeForRotation(kept_, turned, angle);
        turned.Clear(BlackTriple);
        RotateDIB(kept_, turned, true, angle);
        kept_.TakeOver(turned);
    } else if (name.find('3') != std::string::npos) {
        FlipVertical(kept_);
    } else if (name.find('4') != std::string::npos) {
        MirrorHorizontal(kept_);
    }
    SpinEdit2Change(Sender);
    ShowPictureSize();
}

void TForm4::Button7Click(TComponent*)
{
    // Only a JPEG is written back, so no other kind of file ever gets JPEG bytes.
    if (!ShownFileIsJpeg() || !FileExists(Edit1->Text())) return;
    const std::string path = Edit1->Text();
    // The photo keeps its metadata and its date; what is written is the
    // upright picture as shown.
    RewriteJpegFile(RasterView1->PictureDIB, path, SpinEdit1->Value());
    Label5->SetCaption(SizeCaption(path));
    // The file holds the adjustments now: the picture shown is the one
    // further changes start from, and no value is left to apply again.
    RemakeKeptCopy();
    ClearAdjustments();
}
