#include "gallery/windows/pvftp1.h"

#include "gallery/records/PropertyRecords.h"
#include "gallery/windows/pvu5.h"
#include "gallery/records/pvutils.h"
#include "gallery/text/srutils.h"
#include "gallery/text/srutilsFiles.h"
#include "platform/messages/MessagesQt.h"
#include "platform/strings/StringList.h"
#include "platform/streams/Streams.h"
#include "platform/system/Files.h"
#include "platform/system/System.h"
#include "widgets/kitnwgui.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <cstring>

namespace {

const char* const ListFilter = "ftp generated files (*.pfp)|*.pfp";
constexpr std::size_t MaxLogLines = 5000;

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

std::string CountText(const std::string& pattern, std::int64_t n)
{
    std::string out;
    FormatCount(1, pattern, n, out);
    return out;
}

std::string DigitOf(const std::string& name)
{
    for (auto it = name.rbegin(); it != name.rend(); ++it)
        if (*it >= '0' && *it <= '9') return std::string(1, *it);
    return std::string();
}

}  // namespace

// ---------------------------------------------------------------------------
// Profiles

std::string FormatProfileLine(const TFtpProfile& p)
{
    return MakePropertyRecord({p.Name, p.Host, p.Port, p.Timeout, p.User, p.Password, p.WebFolder});
}

TFtpProfile ParseProfileLine(const std::string& line)
{
    std::string rest = line;
    TFtpProfile p;
    for (std::string* field : {&p.Name, &p.Host, &p.Port, &p.Timeout, &p.User, &p.Password, &p.WebFolder})
        *field = UnescapeRecordField(NextField(rest));
    return p;
}

void SavePrivateLines(const std::string& fileName, const std::vector<std::string>& lines)
{
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    if (const int error = WritePrivateFile(fileName, text); error != 0)
        throw EFCreateError("Cannot create file \"" + fileName + "\". " + std::strerror(error));
}

std::string TForm5::ProfilesFileName() { return WritableFolder() + "pvftp.pv"; }

std::vector<std::string> TForm5::LoadProfiles() const
{
    std::vector<std::string> lines;
    if (!FileExists(ProfilesFileName())) return lines;
    TStringList list;
    list.LoadFromFile(ProfilesFileName());
    for (const auto& line : list) lines.push_back(line);
    return lines;
}

void TForm5::SaveProfiles(const std::vector<std::string>& lines) const { SavePrivateLines(ProfilesFileName(), lines); }

void TForm5::ReloadProfileNames(const std::vector<std::string>& lines)
{
    std::vector<std::string> names;
    for (const auto& line : lines) names.push_back(ParseProfileLine(line).Name);
    ComboBox1->Items().Assign(names);
}

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

    FtpClient1.Timeout = 15;
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

void TForm5::BuildPastePage(QWidget* page)
{
    Button21 = Make<TButton>("Button21", page, "Close");
    Button21->SetBounds(294, 330, 80, 26);
    Button21->OnClick = [this](TComponent* s) { Button21Click(s); };
    TEdit** edits[5] = {&Edit43, &Edit44, &Edit45, &Edit46, &Edit47};
    for (int k = 0; k < 5; ++k) {
        const std::string n = std::to_string(k + 1);
        Make<TLabel>("Label4" + std::to_string(3 + k), page, "Alt+&" + n)->SetBounds(8, 8 + 28 * k, 60, 22);
        *edits[k] = Make<TEdit>("Edit" + std::to_string(43 + k), page);
        (*edits[k])->SetBounds(70, 6 + 28 * k, 304, 24);
    }
    ComboBox29 = Make<TComboBox>("ComboBox29", page, false);
    ComboBox29->SetBounds(70, 148, 304, 24);
    ComboBox29->Items().Add("x:\\path\\path_etc\\filename");
    ComboBox29->Items().Add("Filename");
    Make<TLabel>("Label48", page, "&Generated files:")->SetBounds(8, 178, 200, 20);
    ListBox1 = Make<TListBox>("ListBox1", page);
    ListBox1->SetBounds(8, 200, 366, 124);
    Edit48 = Make<TEdit>("Edit48", page);
    Edit48->SetVisible(false);
}

void TForm5::CreateHotKeys()
{
    // Alt + arrow keys walk the produced files; Alt + 1..5 give the five texts.
    struct Key {
        const char* name;
        std::uint16_t virtualKey;
        bool arrow;
    };
    static const Key keys[] = {{"PVCut1", 37, true},   {"PVCut2", 39, true},   {"PVCut3", 38, true},
                               {"PVCut4", 40, true},   {"PVCut5", '1', false}, {"PVCut6", '2', false},
                               {"Pvcut7", '3', false}, {"PVCut8", '4', false}, {"PVCut9", '5', false}};
    for (const Key& k : keys) {
        auto* hotKey = Make<TKitGlobalHotKey>(k.name);
        if (k.arrow)
            hotKey->OnKeyDown = [this](TComponent* s, std::uint16_t&, TShiftState) { PVCut1KeyDown(s); };
        else
            hotKey->OnKeyDown = [this](TComponent* s, std::uint16_t&, TShiftState) { PVCut5KeyDown(s); };
        hotKey->SetHotKey(static_cast<TShortCut>(scAlt + k.virtualKey));
        HotKeys.push_back(hotKey);
    }
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

void TForm5::UpdateTotals()
{
    std::int64_t total = 0;
    const std::string base = NormalizeFolderPath(Label1->Caption());
    for (const auto& line : ListBox2->Items().ToVector()) total += FileSizeOf(base + line);
    Panel1->SetCaption(CountText("Total Size: %s Kb", total / 1024) + " / " + CountText("%s bytes", total));
}

void TForm5::SetStatus(int panel, const std::string& text) { StatusBar1->SetPanelText(panel, text); }

void TForm5::AddLog(const std::string& line)
{
    if (log_.size() >= MaxLogLines) log_.erase(log_.begin(), log_.begin() + static_cast<long>(MaxLogLines / 10));
    log_.push_back(line);
    // Appended straight to the view: rewriting the whole memo per line would
    // make a long upload quadratic.
    if (auto* text = qobject_cast<QPlainTextEdit*>(Memo1->Widget())) text->appendPlainText(ToQString(line));
}

// ---------------------------------------------------------------------------
// Upload

void TForm5::SetUploading(bool on)
{
    uploading_ = on;
    for (TControl* c :
         std::initializer_list<TControl*>{Button1, Button4, Button5, Button13, Button14, Button15, ComboBox1})
        c->SetEnabled(!on);
}

void TForm5::NoteStackDepth()
{
    const auto here = reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
    if (stackHigh_ == 0) {
        stackLow_ = stackHigh_ = here;
        return;
    }
    if (here < stackLow_) stackLow_ = here;
    if (here > stackHigh_) stackHigh_ = here;
}

void TForm5::RequestStop(int closeResult)
{
    if (!uploading_) return;
    stopRequested_ = true;
    if (closeResult != TModal::None) closeAfterRun_ = closeResult;
    AddLog("! Upload stopped by the user");
    // Ends the transfer that runs; its blocking call then returns.
    FtpClient1.Abort();
}

void TForm5::Button1Click(TComponent*)
{
    if (uploading_) return;
    SetUploading(true);
    stopRequested_ = false;
    closeAfterRun_ = TModal::None;
    sentCount_ = failedCount_ = 0;
    madeFolders_.clear();
    stackLow_ = stackHigh_ = 0;
    const int listed = ListBox2->Items().Count();
    bool connected = false;
    try {
        if (FtpClient1.Connected()) {
            FtpClient1.Quit();
            SetStatus(0, "Close!");
        }
        SetStatus(0, "Connecting to " + Edit1->Text() + " ...");
        ProcessMessages();
        FtpClient1.SetBinary(true);
        // Remote paths are relative to the folder the server reports after log-in.
        FtpClient1.HostDirName.clear();
        FtpClient1.Port = std::to_string(SpinEdit1->Value());
        FtpClient1.HostName = Edit1->Text();
        FtpClient1.UserName = Edit2->Text();
        FtpClient1.PassWord = Edit3->Text();
        connected = LogIfFailed(ftpConnectAsync, FtpClient1.Connect());
        if (connected && !stopRequested_) {
            LogIfFailed(ftpPwdAsync, FtpClient1.Pwd());
            Edit4->SetText(FtpClient1.DirResult());
            FtpClient1.SetBinary(true);
            LogIfFailed(ftpTypeSetAsync, FtpClient1.TypeSet());
            FilesLeft = ListBox2->Items().Count();
            while (!stopRequested_ && FtpClient1.Connected() && SendNextFile()) {
            }
            if (FtpClient1.Connected()) FtpClient1.Quit();
        }
    } catch (...) {
        SetUploading(false);
        throw;
    }
    SetUploading(false);

    const int left = ListBox2->Items().Count();
    const int notTried = left - failedCount_;
    std::string summary;
    if (!connected) {
        summary = "Not connected: no file sent";
    } else {
        summary = "Sent " + FormatThousands(sentCount_) + " of " + FormatThousands(listed) + " files, " +
                  FormatThousands(failedCount_) + " failed";
        if (notTried > 0) summary += ", " + FormatThousands(notTried) + " not tried";
    }
    SetStatus(0, summary);
    SetStatus(1, CountText("Total Files: %s", left));
    AddLog("! " + summary);
    UpdateTotals();
    if (closeAfterRun_ != TModal::None) {
        ModalResult = closeAfterRun_;
        closeAfterRun_ = TModal::None;
        Close();
    }
}

bool TForm5::SendNextFile()
{
    NoteStackDepth();
    --FilesLeft;
    SetStatus(0, CountText("Files Left: %s", FilesLeft));
    if (FilesLeft < 0) return false;
    const int index = FilesLeft;
    const std::string line = ListBox2->Items()[index];
    const std::string remote = ToFileSystemPath(NormalizeFolderPath(Edit5->Text()) + line);
    const std::size_t slash = remote.rfind('/');
    if (slash != std::string::npos) MakeRemoteFolders(remote.substr(0, slash));
    if (stopRequested_ || !FtpClient1.Connected()) return false;

    FtpClient1.HostDirName = Edit4->Text();
    FtpClient1.HostFileName = remote;
    const std::string local = NormalizeFolderPath(Label1->Caption()) + ToFileSystemPath(line);
    FtpClient1.LocalFileName = local;
    FtpClient1.SetBinary(AsciiLower(local).find(".htm") == std::string::npos);
    std::string size;
    FileSizeText(0, local, size);
    AddLog("Transfer (" + size + " bytes) " + local + " " + remote);
    const bool sent = FtpClient1.Put();
    if (!stopRequested_) LogIfFailed(ftpPutAsync, sent);
    if (sent) {
        ListBox2->Items().Delete(index);
        ++sentCount_;
    } else if (!stopRequested_) {
        ++failedCount_;
    }
    if (AfterEachFile) AfterEachFile(index, sent);
    return true;
}

void TForm5::MakeRemoteFolders(const std::string& folder)
{
    // Level by level, so the first upload into a new folder tree succeeds; a
    // refusal because the folder exists is the usual answer and is no error.
    std::size_t from = 0;
    while (from <= folder.size()) {
        std::size_t next = folder.find('/', from);
        if (next == std::string::npos) next = folder.size();
        const std::string level = folder.substr(0, next);
        if (next > from && !madeFolders_.count(level)) {
            if (stopRequested_ || !FtpClient1.Connected()) return;
            FtpClient1.HostFileName = level;
            LogIfFailed(ftpMkdAsync, FtpClient1.Mkd());
            madeFolders_.insert(level);
        }
        from = next + 1;
    }
}

void TForm5::FtpClient1RequestDone(TCustomFtpClient*, TFtpRequest, int)
{
    // A blocking call returns once its request is over, and this event comes
    // later, when the client's error text may belong to the next request; so
    // failures are logged where each call returns (LogIfFailed).
    NoteStackDepth();
}

bool TForm5::LogIfFailed(TFtpRequest request, bool ok)
{
    if (ok) return true;
    // An existing folder is the usual answer to MKD; every other failure,
    // also a refused STOR, goes to the log.
    const int status = FtpClient1.RequestResult();
    if (!(request == ftpMkdAsync && (status == 521 || status == 550))) AddLog(FtpClient1.ErrorMessage());
    return false;
}

void TForm5::FtpClient1SessionConnected(TCustomFtpClient*, std::uint16_t Error)
{
    SetStatus(0, "Connected (" + std::to_string(Error) + ")");
}

void TForm5::FtpClient1SessionClosed(TCustomFtpClient*, std::uint16_t) { SetStatus(0, "Disconnected"); }

void TForm5::FtpClient1Progress(TCustomFtpClient*, std::int64_t Count, bool&)
{
    SetStatus(0, CountText("Files Left: %s", FilesLeft) + CountText("  Transfer: %s bytes", Count));
}

void TForm5::FtpClient1DisplayFile(TCustomFtpClient*, std::string& Msg) { AddLog(Msg); }

void TForm5::Button2Click(TComponent*)
{
    if (uploading_) {
        RequestStop(TModal::None);
        return;
    }
    if (FtpClient1.Connected()) {
        FtpClient1.Quit();
        SetStatus(0, "Close!");
    }
}

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

void TForm5::Button21Click(TComponent*)
{
    ModalResult = TModal::Ok;
    Close();
}

void TForm5::SpeedButton1Click(TComponent*) { ShellOpen(Edit6->Text()); }

// ---------------------------------------------------------------------------
// Profiles

void TForm5::Button14Click(TComponent*)
{
    if (uploading_) return;
    std::string name;
    if (!AskName || !AskName("Save Setting", name) || name.empty()) return;
    std::vector<std::string> lines = LoadProfiles();
    TFtpProfile p{name,
                  Edit1->Text(),
                  std::to_string(SpinEdit1->Value()),
                  std::to_string(SpinEdit2->Value()),
                  Edit2->Text(),
                  Edit3->Text(),
                  Edit5->Text()};
    int match = -1;
    for (int i = 0; i < static_cast<int>(lines.size()); ++i)
        if (ParseProfileLine(lines[static_cast<std::size_t>(i)]).Name == name) match = i;
    if (match < 0) {
        lines.insert(lines.begin(), FormatProfileLine(p));
    } else {
        if (MessageDlgCentered("Confirm Replace", "\"" + name + "\" already exists. Would you like to replace it?",
                               mtConfirmation, mbOK | mbCancel) != mrOk)
            return;
        lines[static_cast<std::size_t>(match)] = FormatProfileLine(p);
    }
    SaveProfiles(lines);
    ReloadProfileNames(lines);
    ComboBox1->SetItemIndex(match < 0 ? 0 : match);
}

void TForm5::Button13Click(TComponent*)
{
    if (uploading_ || !FileExists(ProfilesFileName())) return;
    std::vector<std::string> lines = LoadProfiles();
    const int index = ComboBox1->ItemIndex();
    if (index < 0 || index >= static_cast<int>(lines.size())) return;
    const std::string name = ComboBox1->Items()[index];
    if (MessageDlgCentered("Confirm Delete", "Are you sure you want to delete \"" + name + "\"?", mtConfirmation,
                           mbOK | mbCancel) != mrOk)
        return;
    lines.erase(lines.begin() + index);
    SaveProfiles(lines);
    ComboBox1->Items().Delete(index);
}

void TForm5::Button15Click(TComponent*)
{
    if (uploading_ || !FileExists(ProfilesFileName())) return;
    std::vector<std::string> lines = LoadProfiles();
    const int index = ComboBox1->ItemIndex();
    if (index < 0 || index >= static_cast<int>(lines.size())) return;
    TFtpProfile p = ParseProfileLine(lines[static_cast<std::size_t>(index)]);
    std::string name = p.Name;
    if (!AskName || !AskName("Rename Setting", name) || name.empty() || name == p.Name) return;
    for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
        if (i != index && ParseProfileLine(lines[static_cast<std::size_t>(i)]).Name == name) {
            if (MessageDlgCentered("Confirm Replace", "\"" + name + "\" already exists. Would you like to replace it?",
                                   mtConfirmation, mbOK | mbCancel) != mrOk)
                return;
        }
    }
    p.Name = name;
    lines[static_cast<std::size_t>(index)] = FormatProfileLine(p);
    // A profile replaced by the renamed one goes.
    int kept = index;
    for (int i = static_cast<int>(lines.size()) - 1; i >= 0; --i) {
        if (i != kept && ParseProfileLine(lines[static_cast<std::size_t>(i)]).Name == name) {
            lines.erase(lines.begin() + i);
            if (i < kept) --kept;
        }
    }
    SaveProfiles(lines);
    ReloadProfileNames(lines);
    ComboBox1->SetItemIndex(kept);
}

void TForm5::ComboBox1Click(TComponent*)
{
    if (uploading_) return;
    const int index = ComboBox1->ItemIndex();
    if (ComboBox1->Items().Count() == 0 || index < 0 || !FileExists(ProfilesFileName())) return;
    const std::vector<std::string> lines = LoadProfiles();
    if (index >= static_cast<int>(lines.size())) return;
    const TFtpProfile p = ParseProfileLine(lines[static_cast<std::size_t>(index)]);
    Edit1->SetText(p.Host);
    SpinEdit1->SetValue(StrToInt(p.Port));
    SpinEdit2->SetValue(StrToInt(p.Timeout));
    Edit2->SetText(p.User);
    Edit3->SetText(p.Password);
    Edit5->SetText(p.WebFolder);
}

// ---------------------------------------------------------------------------
// Saved lists

void TForm5::Button4Click(TComponent*)
{
    if (uploading_) return;
    TFileDialog dialog(this, "OpenDialog1", TFileDialogKind::Open);
    dialog.Filter = ListFilter;
    dialog.DefaultExt = "pfp";
    dialog.InitialDir = ProgramFolder();
    if (!dialog.Execute()) return;
    TStringList list;
    list.LoadFromFile(dialog.FileName);
    std::vector<std::string> lines;
    for (const auto& line : list) lines.push_back(line);
    ListBox2->Items().Assign(lines);
    if (!lines.empty()) ListBox2->SetItemIndex(0);
    SetStatus(1, CountText("Total Files: %s", static_cast<std::int64_t>(lines.size())));
    UpdateTotals();
}

void TForm5::Button5Click(TComponent*)
{
    if (uploading_) return;
    TFileDialog dialog(this, "SaveDialog1", TFileDialogKind::Save);
    dialog.Filter = ListFilter;
    dialog.DefaultExt = "pfp";
    dialog.InitialDir = ProgramFolder();
    if (!dialog.Execute()) return;
    std::string name = dialog.FileName;
    if (ExtractFileExt(name).empty()) name += ".pfp";
    TStringList list;
    for (const auto& line : ListBox2->Items().ToVector()) list.Add(line);
    list.SaveToFile(name);
}

// ---------------------------------------------------------------------------
// Manual paste

void TForm5::CopyToClipboard(const std::string& text)
{
    Edit48->SetText(text);
    if (auto* edit = qobject_cast<QLineEdit*>(Edit48->Widget())) {
        edit->selectAll();
        edit->copy();
    }
}

void TForm5::PVCut1KeyDown(TComponent* Sender)
{
    const int count = ListBox1->Items().Count();
    if (count == 0 || !Sender) return;
    const std::string digit = DigitOf(Sender->Name);
    int index = ListBox1->ItemIndex();
    if (digit == "1")
        index = 0;
    else if (digit == "2")
        index = count - 1;
    else if (digit == "3")
        index -= 1;
    else if (digit == "4")
        index += 1;
    else
        return;
    if (index < 0) index = 0;
    if (index > count - 1) index = count - 1;
    ListBox1->SetItemIndex(index);
    const std::string line = ListBox1->Items()[index];
    if (ComboBox29->ItemIndex() == 0)
        CopyToClipboard(NormalizeFolderPath(Label1->Caption()) + ToFileSystemPath(line));
    else
        CopyToClipboard(ExtractFileName(line));
}

void TForm5::PVCut5KeyDown(TComponent* Sender)
{
    if (!Sender) return;
    const std::string digit = DigitOf(Sender->Name);
    if (digit.empty() || digit[0] < '5' || digit[0] > '9') return;
    TEdit* edits[5] = {Edit43, Edit44, Edit45, Edit46, Edit47};
    CopyToClipboard(edits[digit[0] - '5']->Text());
}
