// The upload window's construction: its two pages, the FTP client's settings
// and events, showing and closing.

#include "gallery/windows/pvftp1.h"

#include "gallery/windows/pvftp1Internal.h"
#include "gallery/windows/pvu5.h"
#include "gallery/text/srutilsFiles.h"
#include "platform/messages/MessagesQt.h"
#include "widgets/kitnwgui.h"

#include <QCloseEvent>
#include <QPlainTextEdit>

using upload_window_detail::MaxLogLines;

namespace {

// Keeps the window open while an upload runs: a close asks the upload to
// stop, and the window closes once it has.
class CloseWhileUploading : public QObject {
public:
    CloseWhileUploading(TForm5* form, std::function<void()> onClose, QObject* parent)
        : QObject(parent), form_(form), onClose_(std::move(onClose))
    {
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Close && form_->Uploading()) {
            event->ignore();
            onClose_();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    TForm5* form_;
    std::function<void()> onClose_;
};

}  // namespace

// ---------------------------------------------------------------------------
// Construction

TForm5::TForm5(TComponent* owner) : TForm(owner, "Form5")
{
    // Socket events must run inside Qt's loop while this window is open.
    driver_ = std::make_unique<TQtMessageDriver>();
    SetCaption("Pictavo FTP");
    SetFixedClientSize(382, 385);
    SetShowHint(true);
    QWidget* client = Client();

    StatusBar1 = Make<TStatusBar>("StatusBar1", client);
    StatusBar1->AddPanel(220);
    StatusBar1->AddPanel(200);
    StatusBar1->SetBounds(0, 363, 382, 22);
    Notebook1 = Make<TNotebook>("Notebook1", client);
    Notebook1->SetBounds(0, 0, 382, 363);
    BuildUploadPage(Notebook1->AddPage());
    BuildPastePage(Notebook1->AddPage());

    FtpClient1.Timeout = upload_window_detail::DefaultTimeout;
    FtpClient1.MultiThreaded = false;
    FtpClient1.Port = "ftp";
    FtpClient1.DisplayFileFlag = false;
    FtpClient1.SetBinary(true);
    FtpClient1.ShareMode = ftpShareExclusive;
    FtpClient1.Options = ftpAcceptLF;
    FtpClient1.OnDisplayFile = [this](TCustomFtpClient* s, std::string& m) { FtpClient1DisplayFile(s, m); };
    FtpClient1.OnDisplay = [this](TCustomFtpClient*, std::string& m) {
        // The log is on screen: the password stays out of it.
        AddLog(m.rfind("> PASS ", 0) == 0 ? std::string("> PASS ********") : m);
    };
    FtpClient1.OnProgress = [this](TCustomFtpClient* s, std::int64_t c, bool& a) { FtpClient1Progress(s, c, a); };
    FtpClient1.OnSessionConnected = [this](TCustomFtpClient* s, std::uint16_t e) { FtpClient1SessionConnected(s, e); };
    FtpClient1.OnSessionClosed = [this](TCustomFtpClient* s, std::uint16_t e) { FtpClient1SessionClosed(s, e); };
    FtpClient1.OnRequestDone = [this](TCustomFtpClient* s, TFtpRequest r, int e) { FtpClient1RequestDone(s, r, e); };

    AskName = [this](const std::string& caption, std::string& name) { return AskSettingName(this, caption, name); };
    Window()->installEventFilter(new CloseWhileUploading(
        this, [this] { RequestStop(TModal::Cancel); }, Window()));
    CreateHotKeys();
}

TForm5::~TForm5()
{
    // The session lives only while the window does.
    FtpClient1.OnDisplay = nullptr;
    FtpClient1.OnDisplayFile = nullptr;
    FtpClient1.OnProgress = nullptr;
    FtpClient1.OnSessionConnected = nullptr;
    FtpClient1.OnSessionClosed = nullptr;
    FtpClient1.OnRequestDone = nullptr;
    if (FtpClient1.Connected()) FtpClient1.Abort();
}

void TForm5::BuildUploadPage(QWidget* page)
{
    Button1 = Make<TButton>("Button1", page, "&Upload");
    Button1->SetBounds(8, 330, 80, 26);
    Button2 = Make<TButton>("Button2", page, "Disconnect");
    Button2->SetBounds(96, 330, 90, 26);
    Button3 = Make<TButton>("Button3", page, "E&xit");
    Button3->SetBounds(294, 330, 80, 26);

    PageControl1 = Make<TPageControl>("PageControl1", page);
    PageControl1->SetBounds(4, 4, 374, 226);
    TTabSheet* site = PageControl1->AddPage("TabSheet1", "Site Setting");
    TTabSheet* files = PageControl1->AddPage("TabSheet2", "Generated Files");
    QWidget* s = site->Widget();
    auto label = [&](const char* name, const char* caption, int x, int y) {
        Make<TLabel>(name, s, caption)->SetBounds(x, y, 100, 22);
    };
    label("Label2", "Profile:", 6, 6);
    ComboBox1 = Make<TComboBox>("ComboBox1", s, false);
    ComboBox1->SetBounds(108, 4, 180, 24);
    ComboBox1->SetHint("Profiles");
    Button14 = Make<TButton>("Button14", s, "+");
    Button14->SetBounds(292, 4, 22, 24);
    Button14->SetHint("Add");
    Button13 = Make<TButton>("Button13", s, "-");
    Button13->SetBounds(316, 4, 22, 24);
    Button13->SetHint("Delete");
    Button15 = Make<TButton>("Button15", s, "R");
    Button15->SetBounds(340, 4, 22, 24);
    Button15->SetHint("Rename");
    label("Label3", "&Host Address:", 6, 32);
    Edit1 = Make<TEdit>("Edit1", s);
    Edit1->SetBounds(108, 30, 254, 24);
    label("Label4", "&Port:", 6, 58);
    SpinEdit1 = Make<TSpinEdit>("SpinEdit1", s, 0, 65535);
    SpinEdit1->SetBounds(108, 56, 80, 24);
    label("Label5", "&Timeout:", 196, 58);
    SpinEdit2 = Make<TSpinEdit>("SpinEdit2", s, 0, 100000);
    SpinEdit2->SetBounds(282, 56, 80, 24);
    label("Label6", "&Name:", 6, 84);
    Edit2 = Make<TEdit>("Edit2", s);
    Edit2->SetBounds(108, 82, 254, 24);
    label("Label7", "&Password:", 6, 110);
    Edit3 = Make<TEdit>("Edit3", s);
    Edit3->SetBounds(108, 108, 254, 24);
    label("Label8", "Web &Folder/:", 6, 136);
    Edit5 = Make<TEdit>("Edit5", s);
    Edit5->SetBounds(108, 134, 254, 24);
    label("Label9", "Http://", 6, 162);
    Edit6 = Make<TEdit>("Edit6", s);
    Edit6->SetBounds(108, 160, 226, 24);
    SpeedButton1 = Make<TButton>("SpeedButton1", s, "...");
    SpeedButton1->SetBounds(338, 160, 24, 24);

    QWidget* f = files->Widget();
    ListBox2 = Make<TListBox>("ListBox2", f);
    ListBox2->SetBounds(4, 4, 270, 164);
    ListBox2->SetHint("Generated files");
    Button4 = Make<TButton>("Button4", f, "Open");
    Button4->SetBounds(280, 4, 80, 26);
    Button5 = Make<TButton>("Button5", f, "Save");
    Button5->SetBounds(280, 34, 80, 26);
    PageControl1->SetActivePageIndex(1);

    Panel1 = Make<TLabel>("Panel1", page);
    Panel1->SetBounds(4, 232, 374, 20);
    Memo1 = Make<TMemo>("Memo1", page);
    Memo1->SetBounds(4, 254, 374, 72);
    Memo1->SetHint("Messages Log");
    if (auto* text = qobject_cast<QPlainTextEdit*>(Memo1->Widget())) {
        text->setReadOnly(true);
        text->setMaximumBlockCount(static_cast<int>(MaxLogLines));
    }
    Label1 = Make<TLabel>("Label1", page);
    Label1->SetVisible(false);
    Edit4 = Make<TEdit>("Edit4", page);
    Edit4->SetVisible(false);
    ListBox3 = Make<TListBox>("ListBox3", page);
    ListBox3->SetVisible(false);

    auto bind = [this](void (TForm5::*handler)(TComponent*)) {
        return [this, handler](TComponent* sender) { (this->*handler)(sender); };
    };
    Button1->OnClick = bind(&TForm5::Button1Click);
    Button2->OnClick = bind(&TForm5::Button2Click);
    Button3->OnClick = bind(&TForm5::Click);
    Button4->OnClick = bind(&TForm5::Button4Click);
    Button5->OnClick = bind(&TForm5::Button5Click);
    Button13->OnClick = bind(&TForm5::Button13Click);
    Button14->OnClick = bind(&TForm5::Button14Click);
    Button15->OnClick = bind(&TForm5::Button15Click);
    ComboBox1->OnClick = bind(&TForm5::ComboBox1Click);
    SpeedButton1->OnClick = bind(&TForm5::SpeedButton1Click);
}

// ---------------------------------------------------------------------------
// Showing

void TForm5::FormShow()
{
    if (Notebook1->PageIndex() == 1) {
        if (ListBox1->Items().Count() > 0) ListBox1->SetItemIndex(0);
        return;
    }
    FilesLeft = 0;
    ListBox2->Items().Assign(ListBox1->Items().ToVector());
    if (ListBox2->Items().Count() > 0) ListBox2->SetItemIndex(0);
    UpdateTotals();
}

// ---------------------------------------------------------------------------
// Closing

void TForm5::Click(TComponent*)
{
    if (uploading_) {
        RequestStop(TModal::Ok);
        return;
    }
    if (FtpClient1.Connected()) FtpClient1.Quit();
    ModalResult = TModal::Ok;
    Close();
}

void TForm5::SpeedButton1Click(TComponent*) { ShellOpen(Edit6->Text()); }
