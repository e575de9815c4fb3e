// The upload window's transfer chain: connect, then one blocking call after
// another from the end of the list, with stop and disconnect.

#include "gallery/windows/pvftp1.h"

#include "gallery/windows/pvftp1Internal.h"
#include "gallery/records/pvutils.h"
#include "gallery/text/srutils.h"
#include "gallery/text/srutilsFiles.h"
#include "platform/core/AsciiCase.h"
#include "platform/system/System.h"

using upload_window_detail::CountText;

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
        // The Timeout field is how long the server may stay silent: a server
        // reading slowly can hold megabytes it has acknowledged but not yet
        // read, which the client cannot see, so the user may give it longer.
        FtpClient1.Timeout = SpinEdit2->Value() > 0 ? SpinEdit2->Value() : upload_window_detail::DefaultTimeout;
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
