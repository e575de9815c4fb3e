// The main window's start-up and shutdown, the File and Help menus, the
// template and caption lists, and the property records.
#include "gallery/mainwindow/pvu.h"

#include "gallery/records/PropertyRecords.h"
#include "gallery/properties/pvu1.h"
#include "gallery/records/pvutils.h"
#include "gallery/text/srutils.h"
#include "gallery/text/srutilsFiles.h"
#include "platform/help/Help.h"
#include "platform/system/FindFiles.h"
#include "platform/system/System.h"

#include <QWidget>

const char* const ProductName = "Pictavo";
const char* const ProductVersion = "1.0";
const char* const ProductHomePage = "https://pictavo.example.org/";

void PageCount(int& pages, int& remainder, int layout, int a, int b, int items)
{
    pages = 0;
    remainder = 0;
    if (items <= 0) return;
    pages = 1;
    long long perPage = 0;
    if (layout == 0)
        perPage = static_cast<long long>(a) * b;
    else if (layout == 1)
        perPage = a;
    else
        return;
    // A layout of no thumbnails per page cannot divide: everything goes on one page.
    if (perPage <= 0) return;
    if (perPage < items) {
        long long whole = items / perPage;
        pages = static_cast<int>(whole < 1 ? 1 : whole);
        if (items % perPage != 0) {
            remainder = static_cast<int>(items - perPage * pages);
            ++pages;
        }
    }
}

void SplitNameVersion(int mode, const std::string& text, std::string& result)
{
    const std::size_t at = text.find(" v");
    if (at == std::string::npos) {
        result = text;
        return;
    }
    result = mode == 0 ? text.substr(0, at) : text.substr(0, at) + " " + text.substr(at + 2);
}

bool PathLess::operator()(const std::string& a, const std::string& b) const
{
    // Sorted without regard to case; but names that differ only in case are
    // different files here, so neither is dropped as a duplicate of the other.
    const int c = CompareText(a, b);
    return c != 0 ? c < 0 : a < b;
}

// ---------------------------------------------------------------------------

std::function<void(TComponent*)> TForm1::Handler(void (TForm1::*handler)(TComponent*))
{
    return [this, handler](TComponent* sender) { (this->*handler)(sender); };
}

void TForm1::ConnectHandlers()
{
    ConnectFileHandlers();
    ConnectItemHandlers();
    ConnectControlHandlers();
    ConnectCommandHandlers();
    // The build commands share one handler, which takes the mode from the command's name.
    for (TMenuItem* m : {CreateAll2, CreateThumbnail1, CreateImage1, CreateHTML1, Thumbnail1, Images1, HTMLPages1})
        m->OnClick = Handler(&TForm1::CreateAll2Click);
    ToolButton6all->OnClick = Handler(&TForm1::CreateAll2Click);
    Button14->OnClick = Handler(&TForm1::Button14Click);

    // The message boxes and the properties dialog of the utility routines need a window.
    SetMessageDlgHook([](const std::string& caption, const std::string& message, int type, int buttons) {
        return MessageDlg(caption, message, static_cast<TMsgDlgType>(type), buttons);
    });
    SetFilePropertiesHook([](const std::string& fileName) {
        MessageDlg("Properties", fileName + "\n\nSize: " + std::to_string(FileSizeOf(fileName)) + " bytes",
                   TMsgDlgType::Information, mbOK);
    });
}

// The File, Options and Help menus and their tool buttons.
void TForm1::ConnectFileHandlers()
{
    New1->OnClick = Handler(&TForm1::New1Click);
    Open1->OnClick = Handler(&TForm1::Open1Click);
    MenuItem15->OnClick = Handler(&TForm1::Open1Click);
    Save1->OnClick = Handler(&TForm1::Save1Click);
    Saveas1->OnClick = Handler(&TForm1::Saveas1Click);
    Exit1->OnClick = Handler(&TForm1::Exit1Click);
    for (TMenuItem* m : {Replace1, Skip1, Ask1}) m->OnClick = Handler(&TForm1::Replace1Click);
    PictavoHelp1->OnClick = Handler(&TForm1::PictavoHelp1Click);
    ToolButton8->OnClick = Handler(&TForm1::ToolButton8Click);
    LicenseAgreement1->OnClick = Handler(&TForm1::LicenseAgreement1Click);
    PictavoHomepage1->OnClick = Handler(&TForm1::PictavoHomepage1Click);
    AboutPictavo1->OnClick = Handler(&TForm1::AboutPictavo1Click);
}

// The Items menu, its pop-up menu and the list itself.
void TForm1::ConnectItemHandlers()
{
    Newitems1->OnClick = Handler(&TForm1::Newitems1Click);
    ToolButton1->OnClick = Handler(&TForm1::Newitems1Click);
    Adddirectory1->OnClick = Handler(&TForm1::Adddirectory1Click);
    ToolButton2->OnClick = Handler(&TForm1::Adddirectory1Click);
    Addfiles1->OnClick = Handler(&TForm1::Addfiles1Click);
    ToolButton3->OnClick = Handler(&TForm1::Addfiles1Click);
    Delete1->OnClick = Handler(&TForm1::Delete1Click);
    ToolButton4->OnClick = Handler(&TForm1::Delete1Click);
    Invert1->OnClick = Handler(&TForm1::Invert1Click);
    Selectall1->OnClick = Handler(&TForm1::Selectall1Click);
    Deselectall1->OnClick = Handler(&TForm1::Deselectall1Click);
    Refresh1->OnClick = Handler(&TForm1::Refresh1Click);
    Name1->OnClick = Handler(&TForm1::Name1Click);
    ExtName1->OnClick = Handler(&TForm1::ExtName1Click);
    PathName1->OnClick = Handler(&TForm1::PathName1Click);
    PathExtName1->OnClick = Handler(&TForm1::PathExtName1Click);
    DateTime1->OnClick = Handler(&TForm1::DateTime1Click);
    PathDateTime1->OnClick = Handler(&TForm1::PathDateTime1Click);
    for (TMenuItem* m : {Moveitemup1, Moveitemdown1, Moveitemtop1, Moveitembottom1})
        m->OnClick = Handler(&TForm1::Moveitemup1Click);
    MenuItem12->OnClick = Handler(&TForm1::MenuItem12Click);
    PlaceHere1->OnClick = Handler(&TForm1::PlaceHere1Click);
    MenuItem16->OnClick = Handler(&TForm1::MenuItem16Click);
    Open2->OnClick = Handler(&TForm1::Open2Click);
    Save2->OnClick = Handler(&TForm1::Save2Click);
    for (TMenuItem* m :
         {menuitem3, Menuitem4, Menuitem5, Menuitem6, Menuitem7, Menuitem8, menuitem10, menuitem13, menuitem17})
        m->OnClick = Handler(&TForm1::menuitem3Click);
    ListView1->OnClick = Handler(&TForm1::ListView1Click);
    ListView1->OnKeyUp = [this](TComponent* s, int& key) { ListView1KeyUp(s, key); };
    ListView1->OnMouseMove = [this](TComponent* s, TMouseButton b, bool left, int x, int y) {
        ListView1MouseMove(s, b, left, x, y);
    };
    ListView1->OnMouseUp = [this](TComponent* s, TMouseButton b, bool left, int x, int y) {
        ListView1MouseUp(s, b, left, x, y);
    };
    // The list's pop-up menu on a right click.
    ListView1->Widget()->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(ListView1->Widget(), &QWidget::customContextMenuRequested, ListView1->Widget(),
                     [this](const QPoint& p) {
                         QPoint g = ListView1->Widget()->mapToGlobal(p);
                         PopupMenu2->Popup(g.x(), g.y());
                     });
}

// The settings controls whose changes bring the window up to date.
void TForm1::ConnectControlHandlers()
{
    SpinEdit1->OnExit = Handler(&TForm1::SpinEdit1Exit);
    SpinEdit2->OnExit = Handler(&TForm1::SpinEdit1Exit);
    ComboBox1->OnChange = Handler(&TForm1::ComboBox1Change);
    ComboBox19->OnClick = Handler(&TForm1::ComboBox19Click);
    ComboBox6->OnClick = Handler(&TForm1::ComboBox19Click);
    ComboBox4->OnChange = Handler(&TForm1::ComboBox4Change);
    ComboBox7->OnClick = Handler(&TForm1::ComboBox7Click);
    ComboBox8->OnClick = Handler(&TForm1::ComboBox7Click);
    Button8->OnClick = Handler(&TForm1::Button8Click);
    for (TComboBox* c : {ComboBox16, ComboBox20, ComboBox23, ComboBox11, ComboBox13})
        c->OnExit = Handler(&TForm1::ComboBox16Exit);
    for (TComboBox* c : {ComboBox13, ComboBox16, ComboBox20, ComboBox23, ComboBox11, ComboBox12, ComboBox15})
        c->OnKeyUp = [this](TComponent* s, int& key) { ComboBox13KeyUp(s, key); };
}

std::string TForm1::SettingsFileName() const { return WritableFolder() + "pv.ini"; }

void TForm1::FormCreate()
{
    const std::string title = std::string(ProductName) + " v" + ProductVersion;
    std::string shown, name;
    SplitNameVersion(1, title, shown);
    SplitNameVersion(0, title, name);
    Label45->SetCaption(title);
    if (Application) Application->Title = shown;
    SetCaption(shown);

    PictavoHelp1->SetCaption(name + " Help");
    PictavoHomepage1->SetCaption(name + " Homepage");
    AboutPictavo1->SetCaption("&About " + name);
    if (Application) Application->HelpFile = ProgramFolder() + "pv.hlp";

    // Reads pv.ini at its end; reading it a second time would give the same result.
    LoadTemplateLists(true);
    Label31->SetCaption("");
    UpdateControls();
    ComboBox7->SetItemIndex(0);
    ComboBox8->SetItemIndex(0);
    ComboBox7Click(ComboBox7);
    UpdateEditWithCaptions();
}

void TForm1::FormShow() { DragPending = 0; }

void TForm1::FormClose() { WriteProgramSettings(); }

namespace {

// A settings file that cannot be written says so, instead of losing the settings without a word.
void ReportSettingsNotWritten(const std::string& fileName, const std::string& consequence)
{
    MessageDlgCentered("Error", "Settings file \"" + fileName + "\" cannot be written: " + consequence, mtError, mbOK);
}

}  // namespace

void TForm1::WriteProgramSettings()
{
    const std::string file = SettingsFileName();
    // "Exit" writes the file, then the closing window writes it again: one box is enough.
    if (ReadWriteSettings("w", file) || settingsFailureShown_) return;
    settingsFailureShown_ = true;
    ReportSettingsNotWritten(file, "the settings of this session are not kept.");
}

void TForm1::LoadTemplateLists(bool readSettings)
{
    auto fill = [](TComboBox* box, const std::string& pattern) {
        box->Items().Clear();
        TSearchRec rec;
        int rc = FindFirst(pattern, 0, rec);
        while (rc == 0) {
            box->Items().Add(rec.Name);
            rc = FindNext(rec);
        }
        FindClose(rec);
    };
    fill(ComboBox3, ProgramFolder() + "indexpg/*.htm");
    fill(ComboBox5, ProgramFolder() + "imagepg/*.htm");
    ComboBox9->Items().Clear();
    ComboBox14->Items().Clear();
    LoadComboItems("combobox9", ProgramFolder() + "pvcapt.pv");
    LoadComboItems("combobox14", ProgramFolder() + "pvcapi.pv");
    if (readSettings) ReadWriteSettings("r", SettingsFileName());
}

void TForm1::LoadComboItems(const std::string& componentName, const std::string& fileName)
{
    if (!FileExists(fileName)) return;
    auto* box = Find<TComboBox>(AsciiLower(componentName));
    if (!box) return;
    box->Items().Assign(LoadFirstFields(fileName).Items());
}

std::string TForm1::GetPropertyRecord(int index) const { return ListBox1->Items().Get(index); }

std::string TForm1::CompletedPropertyRecord(int index) const
{
    return CompletePropertyRecord(index, GetPropertyRecord(index));
}

void TForm1::SetPropertyRecord(int index, const std::string& text)
{
    ListBox1->Items().Delete(index);
    ListBox1->Items().Insert(index, text);
}

// ---------------------------------------------------------------------------
// File menu

namespace {

// The settings-file dialogs: ".pvs" files, starting in the program folder.
void ForSettingsFiles(TFileDialog& dialog)
{
    dialog.DefaultExt = "pvs";
    dialog.Filter = "ini files (*.pvs)|*.pvs";
    dialog.InitialDir = ProgramFolder();
}

}  // namespace

void TForm1::New1Click(TComponent*)
{
    ReadWriteSettings("r", ProgramFolder() + "pvmk1.pvs");
    Label31->SetCaption("");
    UpdateControls();
}

void TForm1::Open1Click(TComponent*)
{
    ForSettingsFiles(*OpenDialog1);
    // A cancelled dialog leaves the current settings file name alone.
    if (OpenDialog1->Execute()) {
        ReadWriteSettings("r", OpenDialog1->FileName);
        Label31->SetCaption(OpenDialog1->FileName);
    }
    UpdateControls();
}

void TForm1::Saveas1Click(TComponent*)
{
    ForSettingsFiles(*SaveDialog1);
    if (SaveDialog1->Execute()) {
        std::string name = SaveDialog1->FileName;
        if (ExtractFileExt(name).empty()) name += ".pvs";
        if (!ReadWriteSettings("w", name)) ReportSettingsNotWritten(name, "the settings were not saved.");
        Label31->SetCaption(name);
    }
    UpdateControls();
}

void TForm1::Save1Click(TComponent*)
{
    const std::string name = Label31->Caption();
    if (!name.empty() && !ReadWriteSettings("w", name)) ReportSettingsNotWritten(name, "the settings were not saved.");
}

void TForm1::Exit1Click(TComponent*)
{
    WriteProgramSettings();
    Close();
}

void TForm1::Replace1Click(TComponent* Sender)
{
    for (TMenuItem* m : {Replace1, Skip1, Ask1}) m->SetChecked(false);
    if (auto* chosen = dynamic_cast<TMenuItem*>(Sender)) chosen->SetChecked(true);
}

// ---------------------------------------------------------------------------
// Help menu

namespace {
void OpenHelp(int context)
{
    std::string message;
    if (ShowHelpContext(context, &message) != THelpResult::Opened)
        MessageDlgCentered(Application ? Application->Title : ProductName, message, mtInformation, mbOK);
}
}  // namespace

void TForm1::PictavoHelp1Click(TComponent*) { OpenHelp(1); }

void TForm1::ToolButton8Click(TComponent*) { OpenHelp(41 + PageControl1->ActivePageIndex()); }

void TForm1::LicenseAgreement1Click(TComponent*) { OpenHelp(6); }

void TForm1::PictavoHomepage1Click(TComponent*) { ShellOpen(ProductHomePage); }

void TForm1::AboutPictavo1Click(TComponent*)
{
    // The caption without its accelerator mark: "About " + the product name.
    std::string caption = AboutPictavo1->Caption().substr(1);
    std::string nameVersion;
    SplitNameVersion(1, Label45->Caption(), nameVersion);
    TForm2 about(this);
    about.Button33->SetVisible(false);
    about.Notebook1->SetPageIndex(ppAbout);
    about.SetCaption(caption);
    about.Label23->SetCaption(nameVersion);
    about.SetOuterSize(411, 233);
    ShowDialog(about);
}
