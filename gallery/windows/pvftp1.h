#pragma once
// The upload window: sends the files of the last build to a web server by FTP,
// keeps the user's FTP sites as profiles (pvftp.pv), and on its second page
// puts produced paths and five texts on the clipboard by hot keys.
//
// The upload runs as a flat loop over the client's blocking calls: each call
// waits by running the message loop, but no call starts the next file from
// inside another's wait, so the stack stays flat however long the list is.

#include "platform/gui/Gui.h"
#include "upload/FtpClient.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

class TQtMessageDriver;
class TKitGlobalHotKey;

// One line of pvftp.pv: name|host|port|time-out|user|password|web folder|
struct TFtpProfile {
    std::string Name, Host, Port, Timeout, User, Password, WebFolder;
};
std::string FormatProfileLine(const TFtpProfile& profile);
TFtpProfile ParseProfileLine(const std::string& line);
// A line as pvftp.pv holds it, with name and host made UTF-8 when the Windows
// program stored them in Windows-1252; the other fields pass byte for byte.
std::string StoredProfileLine(const std::string& line);
// Writes lines (CR LF after each) to a file readable by its owner only: the
// profiles hold passwords. Raises EFCreateError when the file cannot be written.
void SavePrivateLines(const std::string& fileName, const std::vector<std::string>& lines);

class TForm5 : public TForm {
public:
    explicit TForm5(TComponent* owner);
    ~TForm5() override;

    // The file names this window works with (in the writable program folder).
    static std::string ProfilesFileName();

    // Fills the page that is shown (see the opener); public so the opener's
    // tests can run it without a display.
    void FormShow() override;

    // --- handlers
    void Button1Click(TComponent* Sender);    // Upload
    void Click(TComponent* Sender);           // Exit
    void Button2Click(TComponent* Sender);    // Disconnect
    void Button21Click(TComponent* Sender);   // Close (manual paste)
    void Button14Click(TComponent* Sender);   // add profile
    void Button13Click(TComponent* Sender);   // delete profile
    void Button15Click(TComponent* Sender);   // rename profile
    void ComboBox1Click(TComponent* Sender);  // load profile
    void Button4Click(TComponent* Sender);    // open a saved list
    void Button5Click(TComponent* Sender);    // save the list
    void SpeedButton1Click(TComponent* Sender);
    void FtpClient1RequestDone(TCustomFtpClient* Sender, TFtpRequest RqType, int Error);
    void FtpClient1SessionConnected(TCustomFtpClient* Sender, std::uint16_t Error);
    void FtpClient1SessionClosed(TCustomFtpClient* Sender, std::uint16_t Error);
    void FtpClient1Progress(TCustomFtpClient* Sender, std::int64_t Count, bool& Abort);
    void FtpClient1DisplayFile(TCustomFtpClient* Sender, std::string& Msg);
    void PVCut1KeyDown(TComponent* Sender);  // the four arrow hot keys
    void PVCut5KeyDown(TComponent* Sender);  // the five digit hot keys

    // --- state
    bool Uploading() const { return uploading_; }
    int FilesLeft = 0;
    int SentCount() const { return sentCount_; }
    int FailedCount() const { return failedCount_; }
    // The log of Memo1 (kept here too, so a long upload appends cheaply).
    const std::vector<std::string>& LogLines() const { return log_; }
    void AddLog(const std::string& line);
    // Bytes between the deepest and the shallowest frame of the per-file step
    // and of the request-done handler seen in the last upload.
    std::uintptr_t StackSpread() const { return stackHigh_ ? stackHigh_ - stackLow_ : 0; }
    // Runs after each file of an upload (index of its line, success); tests
    // use it to act in the middle of a chain.
    std::function<void(int index, bool sent)> AfterEachFile;
    // Asks for a profile name; the default shows the name prompt.
    std::function<bool(const std::string& caption, std::string& name)> AskName;

    // --- controls
    TStatusBar* StatusBar1;
    TNotebook* Notebook1;
    TButton *Button1, *Button2, *Button3, *Button4, *Button5, *Button13, *Button14, *Button15, *SpeedButton1;
    TPageControl* PageControl1;
    TComboBox* ComboBox1;
    TEdit *Edit1, *Edit2, *Edit3, *Edit4, *Edit5, *Edit6;
    TSpinEdit *SpinEdit1, *SpinEdit2;
    TListBox *ListBox2, *ListBox3;
    TLabel* Panel1;
    TMemo* Memo1;
    TLabel* Label1;  // output folder, with a trailing separator
    // Manual paste
    TButton* Button21;
    TEdit *Edit43, *Edit44, *Edit45, *Edit46, *Edit47, *Edit48;
    TComboBox* ComboBox29;
    TListBox* ListBox1;
    std::vector<TKitGlobalHotKey*> HotKeys;  // PVCut1 .. PVCut9

    TFtpClient FtpClient1;

private:
    void BuildUploadPage(QWidget* page);
    void BuildPastePage(QWidget* page);
    void CreateHotKeys();
    void SetStatus(int panel, const std::string& text);
    void NoteStackDepth();
    // One step of the upload: the next file from the end of the list. False
    // when no file is left.
    bool SendNextFile();
    // MKD of every level of a remote folder not yet made in this session.
    void MakeRemoteFolders(const std::string& folder);
    void SetUploading(bool on);
    // Logs the client's error text after a blocking call that failed; returns ok.
    bool LogIfFailed(TFtpRequest request, bool ok);
    void RequestStop(int closeResult);
    void UpdateTotals();
    void CopyToClipboard(const std::string& text);
    std::vector<std::string> LoadProfiles() const;
    void SaveProfiles(const std::vector<std::string>& lines) const;
    void ReloadProfileNames(const std::vector<std::string>& lines);

    std::unique_ptr<TQtMessageDriver> driver_;
    bool uploading_ = false;
    bool stopRequested_ = false;
    int closeAfterRun_ = TModal::None;  // a result to close with once the upload ends
    int sentCount_ = 0;
    int failedCount_ = 0;
    std::set<std::string> madeFolders_;
    std::vector<std::string> log_;
    std::uintptr_t stackLow_ = 0, stackHigh_ = 0;
};
