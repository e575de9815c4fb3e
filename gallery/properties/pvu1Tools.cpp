// Tools of the properties dialog that help fill its fields: the banner
// editor, the header and footer preview, the transparent-colour picker,
// colours copied and pasted as text, the frame-page template's editors and
// the editor-program pickers. None of them touches the property records.
#include "gallery/properties/pvu1.h"

#include "gallery/properties/pvu1ToolFiles.h"
#include "gallery/pictures/pvutilsGeometry.h"
#include "gallery/pictures/pvutilsPictures.h"
#include "gallery/text/srutils.h"
#include "gallery/text/srutilsFiles.h"
#include "platform/core/AsciiCase.h"
#include "platform/system/System.h"
#include "raster/RasterView.h"

#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QWidget>

#include <algorithm>

namespace {

// The picture edit and the word for messages of a transparent-colour panel.
struct PickerSource {
    const char* panel;
    const char* edit;
    const char* word;
};
const PickerSource PickerSources[] = {
    {"Panel22", "edit15", "frame"},
    {"Panel21", "Edit18", "logo"},
    {"Panel34", "Edit7", "background"},
    {"Panel35", "Edit25", "outline"},
};

const PickerSource* PickerSourceOf(const std::string& panelName)
{
    for (const PickerSource& s : PickerSources)
        if (SameText(s.panel, panelName)) return &s;
    return nullptr;
}

// A picture named without a folder lies in the program folder.
std::string PicturePath(const std::string& name)
{
    const std::string path = ToFileSystemPath(name);
    if (path.empty() || path[0] == '/' || FileExists(path)) return path;
    return ProgramFolder() + path;
}

// The edit holding the program an editor-program picker chooses; null for
// any other sender.
TEdit* EditorProgramEdit(TForm2& form, const std::string& button)
{
    if (button == "button41") return form.Edit13;
    if (button == "button42") return form.Edit14;
    return button == "button43" ? form.Edit22 : nullptr;
}

// The picker opens in the folder of the program chosen before, else in the
// program folder.
std::string EditorDialogFolder(const std::string& program)
{
    const std::string current = ExtractFilePath(ToFileSystemPath(program));
    return !current.empty() && DirectoryExists(current) ? current : ProgramFolder();
}

}  // namespace

void TForm2::ConnectToolHandlers()
{
    SpeedButton4->OnClick = [this](TComponent* s) { SpeedButton4Click(s); };
    Button1->OnClick = [this](TComponent* s) { Button1Click(s); };
    Button11->OnClick = [this](TComponent* s) { Button11Click(s); };
    auto* memo = static_cast<QPlainTextEdit*>(memo3->Widget());
    QObject::connect(memo, &QPlainTextEdit::textChanged, memo, [this] { memo3Change(memo3); });
    for (TButton* b : {SpeedButton2, SpeedButton3}) b->OnClick = [this](TComponent* s) { SpeedButton2Click(s); };
    for (const PickerSource& s : PickerSources)
        if (TControl* panel = Find<TControl>(s.panel)) panel->OnClick = [this](TComponent* c) { Panel22Click(c); };
    RasterView1->OnMouseUp = [this](TComponent* s, TMouseButton b, bool left, int x, int y) {
        RasterView1MouseUp(s, b, left, x, y);
    };
    for (TButton* b : {Button35, Button36}) b->OnClick = [this](TComponent* s) { Button35Click(s); };
    ConnectColourFollowers();
    Copy1->OnClick = [this](TComponent* s) { Copy1Click(s); };
    Pastewebcolor1->OnClick = [this](TComponent* s) { Pastewebcolor1Click(s); };
    ToolButton9->Tag = 2;
    ToolButton9->OnClick = [this](TComponent* s) { MenuItem1Click(s); };
    for (TMenuItem* m : {MenuItem1, MenuItem2, MenuItem9}) m->OnClick = [this](TComponent* s) { MenuItem1Click(s); };
    for (TButton* b : {Button41, Button42, Button43}) b->OnClick = [this](TComponent* s) { Button41Click(s); };
    // The visible stamp text and its hidden holder stay equal.
    Edit8->OnChange = [this](TComponent*) { Edit17->SetText(Edit8->Text()); };
}

// Every colour control: the panels that show a colour and the four sample labels.
void TForm2::ConnectColourFollowers()
{
    auto follow = [this](TComponent* s, TMouseButton b, bool left, int x, int y) {
        Panel28MouseMove(s, b, left, x, y);
    };
    for (int i = 0; i < ComponentCount(); ++i) {
        auto* control = dynamic_cast<TControl*>(Component(i));
        if (control && control->ClicksOnRelease()) control->OnMouseMove = follow;
    }
}

// ---------------------------------------------------------------------------
// Banner editor

void TForm2::SpeedButton4Click(TComponent*)
{
    const std::string file = EditableDataFile(BannerFileName(Caption()));
    Notebook1->SetPageIndex(ppBanner);
    Button33->SetVisible(false);
    memo3->Lines().Assign(ReadBannerLines(file));
    memo3Change(memo3);
    memo3->SetFocus();
}

void TForm2::memo3Change(TComponent*) { Label63->SetCaption(std::to_string(memo3->Lines().Count())); }

void TForm2::Button1Click(TComponent* Sender)
{
    const std::string file = WritableFolder() + BannerFileName(Caption());
    // The text stays in the editor when it could not be saved.
    if (!WriteBannerLines(file, memo3->Lines().ToVector())) {
        MessageDlgCentered("Error", "Unable to write to " + file, mtInformation, mbOK);
        return;
    }
    Button11Click(Sender);
}

void TForm2::Button11Click(TComponent*)
{
    Button33->SetVisible(true);
    Notebook1->SetPageIndex(ppPageProperties);
    memo3->Lines().Clear();
    memo3Change(memo3);
}

// ---------------------------------------------------------------------------
// Header and footer preview

void TForm2::SpeedButton2Click(TComponent* Sender)
{
    if (!Sender) return;
    const std::string text = (Sender->Name.find('2') != std::string::npos ? Edit11 : Edit24)->Text();
    const std::string file = WritableFolder() + "temp1.htm";
    if (!WritePreviewFile(file, text)) {
        MessageDlgCentered("Error", "Unable to write to " + file, mtInformation, mbOK);
        return;
    }
    ShellOpen(file);
}

// ---------------------------------------------------------------------------
// Transparent-colour picker

void TForm2::Panel22Click(TComponent* Sender)
{
    const PickerSource* source = Sender ? PickerSourceOf(Sender->Name) : nullptr;
    if (!source) return;
    const std::string name = Find<TEdit>(source->edit)->Text();
    TRasterDIB picture;
    // A missing file leaves the buffer empty; a file no loader knows says why.
    if (!name.empty()) LoadImageFile(picture, PicturePath(name));
    if (picture.Width() == 0 || picture.AbsHeight == 0) {
        MessageDlgCentered("Error", std::string("Choose ") + source->word + " image file first!!", mtInformation, mbOK);
        return;
    }
    pickerOpener_ = source->panel;
    Label62->SetCaption(std::to_string(Notebook1->PageIndex()));
    Notebook1->SetPageIndex(ppColorPicker);
    // The picture takes the page but for a column on the right for the sample and the buttons,
    // whichever of the three faces (each of its own width) opened the picker.
    const QRect book = Notebook1->Widget()->geometry();
    const QRect box = ScrollBox1->Widget()->geometry();
    const int columnWidth = Panel33->Widget()->width();
    const int boxWidth = std::max(0, book.width() - 2 * box.left() - columnWidth - 8);
    ScrollBox1->SetBounds(box.left(), box.top(), boxWidth, std::max(0, book.height() - box.top() - 10));
    const int column = box.left() + boxWidth + 8;
    for (TControl* c : std::initializer_list<TControl*>{Panel33, Label61}) {
        const QRect at = c->Widget()->geometry();
        c->SetBounds(column, at.top(), at.width(), at.height());
    }
    // OK and Cancel sit at the foot of the column, above the face's lower edge.
    const QRect ok = Button35->Widget()->geometry();
    const int cancelTop = std::max(0, book.height() - 10 - ok.height());
    Button36->SetBounds(column, cancelTop, ok.width(), ok.height());
    Button35->SetBounds(column, std::max(0, cancelTop - ok.height() - 7), ok.width(), ok.height());
    SetControlColor(*Panel33, ControlColor(*Find<TControl>(source->panel)));
    Label61->SetCaption(std::to_string(ControlColor(*Panel33)));
    Button33->SetVisible(false);
    Label74->SetCaption(Caption());
    SetCaption("Select transparent color");
    CopyPicture(picture, RasterView1->PictureDIB);
    RasterView1->SetDrawStyle(dsDraw);
    RasterView1->SetAutoSize(true);
    RasterView1->Refresh();
    ScrollBox1->Content()->resize(picture.Width(), picture.AbsHeight);
}

void TForm2::RasterView1MouseUp(TComponent*, TMouseButton, bool, int X, int Y)
{
    TColor colour = 0;
    // The picture is shown 1:1 from the control's corner, top row first.
    if (!PixelColourAt(RasterView1->PictureDIB, X, Y, colour)) return;
    SetControlColor(*Panel33, colour);
    Label61->SetCaption(std::to_string(colour));
}

void TForm2::Button35Click(TComponent* Sender)
{
    const bool ok = Sender && AsciiLower(static_cast<TButton*>(Sender)->Caption()) == "ok";
    // Only the panel that opened the picker takes the colour.
    if (ok)
        if (TControl* opener = Find<TControl>(pickerOpener_)) SetControlColor(*opener, ControlColor(*Panel33));
    pickerOpener_.clear();
    Notebook1->SetPageIndex(StrToIntDef(Label62->Caption(), ppPageProperties));
    SetCaption(Label74->Caption());
    Button33->SetVisible(true);
    RasterView1->PictureDIB.SetSize(0, 0, 24);
}

// ---------------------------------------------------------------------------
// Colours as text

void TForm2::Panel28MouseMove(TComponent* Sender, TMouseButton, bool, int, int)
{
    if (Sender) Label75->SetCaption(Sender->Name);
}

void TForm2::Copy1Click(TComponent*)
{
    const TControl* control = Find<TControl>(Label75->Caption());
    if (!control) return;
    Edit10->SetText(ColourCopyText(ControlColor(*control)));
    QApplication::clipboard()->setText(ToQString(Edit10->Text()));
}

void TForm2::Pastewebcolor1Click(TComponent*)
{
    TControl* control = Find<TControl>(Label75->Caption());
    Edit10->SetText(FromQString(QApplication::clipboard()->text()));
    TColor colour = 0;
    if (!control || !ParsePastedColour(Edit10->Text(), colour)) return;
    // A pasted colour counts as a chosen one: the colour group and what uses the colour follow.
    ApplyChosenColor(*control, colour);
}

// ---------------------------------------------------------------------------
// Frame-page template and editor programs

void TForm2::MenuItem1Click(TComponent* Sender)
{
    if (!Sender) return;
    const std::string name = ComboBox11->Text();
    if (name.empty()) {
        MessageDlgCentered("Error", "Choose a frame page template first.", mtInformation, mbOK);
        return;
    }
    const std::string file = ProgramFolder() + "framepg/" + ToFileSystemPath(name);
    if (Sender->Tag == 2) {
        ShellOpen(file);
        return;
    }
    const int editor = Sender->Tag - 20;
    if (editor < 0 || editor > 2) return;
    // An editor list that lost its entries means no editor, never a failure of the dialog.
    const std::string program = editor < ListBox1->Items().Count() ? ListBox1->Items().Get(editor) : std::string();
    std::string error;
    if (!StartEditor(program, file, error)) MessageDlgCentered("Error", error, mtInformation, mbOK);
}

void TForm2::Button41Click(TComponent* Sender)
{
    if (!Sender) return;
    TEdit* edit = EditorProgramEdit(*this, AsciiLower(Sender->Name));
    if (!edit) return;
    TFileDialog dialog(this, "OpenDialog1", TFileDialogKind::Open);
    dialog.Title = "Choose the editor program";
    // Any program: on this system programs carry no extension of their own.
    dialog.Filter = "Programs|*";
    dialog.InitialDir = EditorDialogFolder(edit->Text());
    dialog.FileName = edit->Text();
    if (!dialog.Execute()) return;
    if (!IsProgramFile(dialog.FileName)) {
        MessageDlgCentered("Error", dialog.FileName + " is not a program that can be run.", mtInformation, mbOK);
        return;
    }
    edit->SetText(dialog.FileName);
}
