// Requests of the FTP client: the single commands and the multi-step
// requests with their sequencer.

#include "upload/FtpClient.h"

#include <sys/stat.h>

#include <tuple>

namespace {
constexpr std::uint32_t stepBit(int step) { return 1u << step; }
// The steps that send HostFileName.
constexpr std::uint32_t HostFileSteps = stepBit(stepMkd) | stepBit(stepRmd) | stepBit(stepDele) | stepBit(stepSize) |
                                        stepBit(stepRenFrom) | stepBit(stepPut) | stepBit(stepAppend) |
                                        stepBit(stepGet) | stepBit(stepDir) | stepBit(stepLs);
}  // namespace

// --- single commands ----------------------------------------------------------

void TCustomFtpClient::UserAsync()
{
    if (UserName.empty()) throw FtpException("UserName emtpy");
    CheckArgument("UserName", UserName);
    FFctPrv = stepUser;
    ExecAsync(ftpUserAsync, "USER " + UserName, {331, 230}, nullptr);
}

void TCustomFtpClient::PassAsync()
{
    if (PassWord.empty()) throw FtpException("Password emtpy");
    CheckArgument("PassWord", PassWord);
    FFctPrv = stepPass;
    ExecAsync(ftpPassAsync, "PASS " + PassWord, {230}, nullptr);
}

void TCustomFtpClient::CwdAsync()
{
    if (HostDirName.empty()) throw FtpException("HostDirName emtpy");
    CheckArgument("HostDirName", HostDirName);
    FFctPrv = stepCwd;
    ExecAsync(ftpCwdAsync, "CWD " + HostDirName, {200, 250, 257}, nullptr);
}

void TCustomFtpClient::CDupAsync()
{
    FFctPrv = stepCDup;
    ExecAsync(ftpCDupAsync, "CDUP", {250}, nullptr);
}

void TCustomFtpClient::PwdAsync()
{
    FFctPrv = stepPwd;
    ExecAsync(ftpPwdAsync, "PWD", {250, 257}, nullptr);
}

void TCustomFtpClient::MkdAsync()
{
    CheckArgument("HostFileName", HostFileName);
    FFctPrv = stepMkd;
    ExecAsync(ftpMkdAsync, "MKD " + HostFileName, {257}, nullptr);
}

void TCustomFtpClient::RmdAsync()
{
    CheckArgument("HostFileName", HostFileName);
    FFctPrv = stepRmd;
    ExecAsync(ftpRmdAsync, "RMD " + HostFileName, {250, 257}, nullptr);
}

void TCustomFtpClient::DeleAsync()
{
    CheckArgument("HostFileName", HostFileName);
    FFctPrv = stepDele;
    ExecAsync(ftpDeleAsync, "DELE " + HostFileName, {250, 257}, nullptr);
}

void TCustomFtpClient::RenFromAsync()
{
    CheckArgument("HostFileName", HostFileName);
    FFctPrv = stepRenFrom;
    ExecAsync(ftpRenFromAsync, "RNFR " + HostFileName, {350}, nullptr);
}

void TCustomFtpClient::RenToAsync()
{
    CheckArgument("LocalFileName", LocalFileName);
    FFctPrv = stepRenTo;
    ExecAsync(ftpRenToAsync, "RNTO " + LocalFileName, {200, 250, 257}, nullptr);
}

void TCustomFtpClient::SizeAsync()
{
    CheckArgument("HostFileName", HostFileName);
    FSizeResult = 0;
    FFctPrv = stepSize;
    ExecAsync(ftpSizeAsync, "SIZE " + HostFileName, {213}, nullptr);
}

void TCustomFtpClient::SystAsync()
{
    FFctPrv = stepSyst;
    ExecAsync(ftpSystAsync, "SYST", {215}, nullptr);
}

void TCustomFtpClient::TypeSetAsync()
{
    FFctPrv = stepTypeSet;
    ExecAsync(ftpTypeSetAsync, std::string("TYPE ") + FType, {200}, nullptr);
}

void TCustomFtpClient::TypeBinaryAsync()
{
    SetBinary(true);
    TypeSetAsync();
}

void TCustomFtpClient::TypeAsciiAsync()
{
    SetBinary(false);
    TypeSetAsync();
}

void TCustomFtpClient::RestAsync()
{
    FFctPrv = stepRest;
    struct stat st {};
    std::int64_t size = 0;
    if (!LocalFileName.empty() && ::stat(LocalFileName.c_str(), &st) == 0 && S_ISREG(st.st_mode)) size = st.st_size;
    if (size <= 0) {
        // Nothing to resume: the request is over before it began.
        CheckReady();
        if (!FHighLevelFlag) FRequestType = ftpRestAsync;
        FRequestDoneFlag = false;
        FinishRequest(0);
        return;
    }
    FResumeAt = size;
    ExecAsync(ftpRestAsync, "REST " + std::to_string(size), {}, nullptr);
}

void TCustomFtpClient::QuoteAsync()
{
    CheckArgument("LocalFileName", LocalFileName);
    FFctPrv = stepQuote;
    ExecAsync(ftpQuoteAsync, LocalFileName, {}, nullptr);
}

void TCustomFtpClient::QuitAsync()
{
    FreeStream();
    FFctPrv = stepQuit;
    ExecAsync(ftpQuitAsync, "QUIT", {221}, &TCustomFtpClient::QuitDone);
}

void TCustomFtpClient::QuitDone() { CloseControl(); }

// --- multi-step requests ------------------------------------------------------

void TCustomFtpClient::HighLevelAsync(TFtpRequest request, std::uint32_t steps)
{
    if ((steps & stepBit(stepOpen)) && FConnected) throw FtpException("FTP component already connected");
    CheckReady();
    // Every argument the steps will send is checked before the first step
    // sends anything.
    for (const auto& [step, name, value] :
         {std::tuple{stepUser, "UserName", &UserName}, std::tuple{stepPass, "PassWord", &PassWord},
          std::tuple{stepCwd, "HostDirName", &HostDirName}, std::tuple{stepRenTo, "LocalFileName", &LocalFileName},
          std::tuple{stepQuote, "LocalFileName", &LocalFileName}})
        if (steps & stepBit(step)) CheckArgument(name, *value);
    if (steps & HostFileSteps) CheckArgument("HostFileName", HostFileName);
    FLastResponseSave = FLastResponse;
    FStatusCodeSave = -1;
    FRequestType = request;
    FRequestResult = 0;
    FFctPrv = 0;
    FHighLevelResult = 0;
    FFctSet = steps;
    FHighLevelFlag = true;
    FLastResponse.clear();
    FErrorMessage.clear();
    try {
        NextExecAsync();
    } catch (...) {
        // The first step could not start: nothing runs, nothing is left half set.
        FHighLevelFlag = false;
        FNextRequest = nullptr;
        FFctSet = 0;
        FRequestDoneFlag = true;
        StateChange(ftpReady);
        throw;
    }
}

void TCustomFtpClient::NextExecAsync()
{
    if (FState == ftpAbort) {
        FFctSet = 0;
        FHighLevelResult = 426;
        FErrorMessage = "426 Operation aborted.";
    }
    FNextRequest = &TCustomFtpClient::NextExecAsync;
    if (FRequestResult != 0) {
        FHighLevelResult = FRequestResult;
        if ((FFctSet & stepBit(stepQuit)) && FFctPrv != stepQuit)
            FFctSet = stepBit(stepQuit);
        else
            FFctSet = 0;
    } else {
        DeriveResults(FFctPrv);
    }

    auto take = [this](int step) {
        if ((FFctSet & stepBit(step)) == 0) return false;
        FFctSet &= ~stepBit(step);
        return true;
    };

    if (take(stepOpen)) {
        OpenAsync();
        return;
    }
    if (take(stepUser)) {
        UserAsync();
        return;
    }
    if (take(stepPass)) {
        if (FFctPrv != stepUser || FStatusCode == 331) {
            PassAsync();
            return;
        }
    }
    if (take(stepCwd)) {
        if (!HostDirName.empty()) {
            CwdAsync();
            return;
        }
    }
    if (take(stepCDup)) {
        CDupAsync();
        return;
    }
    if (take(stepTypeSet)) {
        TypeSetAsync();
        return;
    }
    if (take(stepPort)) {
        DoPortAsync();
        return;
    }
    if (take(stepRest)) {
        RestAsync();
        return;
    }
    if (take(stepGet)) {
        if (!(FFctPrv == stepRest && FStatusCode == 350 && FResumeAt >= 0)) FResumeAt = 0;
        DoGetAsync(ftpGetAsync, "RETR");
        return;
    }
    if (take(stepPut)) {
        DoPutAppendAsync(false);
        return;
    }
    if (take(stepAppend)) {
        DoPutAppendAsync(true);
        return;
    }
    if (take(stepDir)) {
        DoGetAsync(ftpDirAsync, "LIST");
        return;
    }
    if (take(stepLs)) {
        DoGetAsync(ftpLsAsync, "NLST");
        return;
    }
    if (take(stepSyst)) {
        SystAsync();
        return;
    }
    if (take(stepMkd)) {
        MkdAsync();
        return;
    }
    if (take(stepRmd)) {
        RmdAsync();
        return;
    }
    if (take(stepRenFrom)) {
        RenFromAsync();
        return;
    }
    if (take(stepRenTo)) {
        RenToAsync();
        return;
    }
    if (take(stepSize)) {
        SizeAsync();
        return;
    }
    if (take(stepDele)) {
        DeleAsync();
        return;
    }
    if (take(stepPwd)) {
        PwdAsync();
        return;
    }
    if (take(stepQuote)) {
        QuoteAsync();
        return;
    }
    if (take(stepQuit)) {
        FLastResponseSave = FLastResponse;
        FStatusCodeSave = FStatusCode;
        QuitAsync();
        return;
    }
    FNextRequest = nullptr;
    FRequestDoneFlag = false;
    FinishRequest(FHighLevelResult);
}

namespace {
constexpr std::uint32_t loginSteps = stepBit(stepOpen) | stepBit(stepUser) | stepBit(stepPass);
}

void TCustomFtpClient::ConnectAsync() { HighLevelAsync(ftpConnectAsync, loginSteps); }
void TCustomFtpClient::ReceiveAsync()
{
    HighLevelAsync(ftpReceiveAsync, loginSteps | stepBit(stepCwd) | stepBit(stepTypeSet) | stepBit(stepPort) |
                                        stepBit(stepGet) | stepBit(stepQuit));
}
void TCustomFtpClient::TransmitAsync()
{
    HighLevelAsync(ftpTransmitAsync, loginSteps | stepBit(stepCwd) | stepBit(stepTypeSet) | stepBit(stepPort) |
                                         stepBit(stepPut) | stepBit(stepQuit));
}
void TCustomFtpClient::AppendFileAsync()
{
    HighLevelAsync(ftpTransmitAsync, loginSteps | stepBit(stepCwd) | stepBit(stepTypeSet) | stepBit(stepPort) |
                                         stepBit(stepAppend) | stepBit(stepQuit));
}
void TCustomFtpClient::PutAsync() { HighLevelAsync(ftpPutAsync, stepBit(stepPort) | stepBit(stepPut)); }
void TCustomFtpClient::AppendAsync() { HighLevelAsync(ftpAppendAsync, stepBit(stepPort) | stepBit(stepAppend)); }
void TCustomFtpClient::GetAsync() { HighLevelAsync(ftpGetAsync, stepBit(stepPort) | stepBit(stepGet)); }
void TCustomFtpClient::RestGetAsync()
{
    HighLevelAsync(ftpRestGetAsync, stepBit(stepPort) | stepBit(stepRest) | stepBit(stepGet));
}
void TCustomFtpClient::RestartGetAsync()
{
    HighLevelAsync(ftpRestartGetAsync, loginSteps | stepBit(stepCwd) | stepBit(stepTypeSet) | stepBit(stepPort) |
                                           stepBit(stepRest) | stepBit(stepGet) | stepBit(stepQuit));
}
void TCustomFtpClient::DirAsync() { HighLevelAsync(ftpDirAsync, stepBit(stepPort) | stepBit(stepDir)); }
void TCustomFtpClient::LsAsync() { HighLevelAsync(ftpLsAsync, stepBit(stepPort) | stepBit(stepLs)); }
void TCustomFtpClient::DirectoryAsync()
{
    HighLevelAsync(ftpDirectoryAsync,
                   loginSteps | stepBit(stepCwd) | stepBit(stepPort) | stepBit(stepDir) | stepBit(stepQuit));
}
void TCustomFtpClient::ListAsync()
{
    HighLevelAsync(ftpListAsync,
                   loginSteps | stepBit(stepCwd) | stepBit(stepPort) | stepBit(stepLs) | stepBit(stepQuit));
}
void TCustomFtpClient::SystemAsync()
{
    HighLevelAsync(ftpSystemAsync, loginSteps | stepBit(stepSyst) | stepBit(stepQuit));
}
void TCustomFtpClient::MkdirAsync()
{
    HighLevelAsync(ftpMkdirAsync, loginSteps | stepBit(stepCwd) | stepBit(stepMkd) | stepBit(stepQuit));
}
void TCustomFtpClient::RmdirAsync()
{
    HighLevelAsync(ftpRmdirAsync, loginSteps | stepBit(stepCwd) | stepBit(stepRmd) | stepBit(stepQuit));
}
void TCustomFtpClient::DeleteAsync()
{
    HighLevelAsync(ftpDeleteAsync, loginSteps | stepBit(stepCwd) | stepBit(stepDele) | stepBit(stepQuit));
}
void TCustomFtpClient::DoQuoteAsync()
{
    HighLevelAsync(ftpDoQuoteAsync, loginSteps | stepBit(stepCwd) | stepBit(stepQuote) | stepBit(stepQuit));
}
void TCustomFtpClient::RenameAsync()
{
    HighLevelAsync(ftpRenameAsync,
                   loginSteps | stepBit(stepCwd) | stepBit(stepRenFrom) | stepBit(stepRenTo) | stepBit(stepQuit));
}
void TCustomFtpClient::RenAsync() { HighLevelAsync(ftpRenAsync, stepBit(stepRenFrom) | stepBit(stepRenTo)); }
void TCustomFtpClient::FileSizeAsync()
{
    HighLevelAsync(ftpSizeAsync, loginSteps | stepBit(stepCwd) | stepBit(stepSize) | stepBit(stepQuit));
}
