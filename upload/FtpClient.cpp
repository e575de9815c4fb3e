#include "upload/FtpClient.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <sys/stat.h>

namespace {

constexpr std::uint32_t stepBit(int step) { return 1u << step; }

const char* const RequestNames[] = {
    "none", "OpenAsync", "UserAsync", "PassAsync", "CwdAsync", "ConnectAsync", "ReceiveAsync",
    "DirAsync", "LsAsync", "PortAsync", "GetAsync", "DirectoryAsync", "ListAsync", "SystemAsync",
    "SystAsync", "QuitAsync", "SizeAsync", "PutAsync", "AppendAsync", "FileSizeAsync", "RqAbort",
    "MkdAsync", "RmdAsync", "RenameAsync", "DeleAsync", "RenAsync", "RenToAsync", "RenFromAsync",
    "DeleteAsync", "MkdirAsync", "RmdirAsync", "PwdAsync", "QuoteAsync", "CDupAsync",
    "DoQuoteAsync", "TransmitAsync", "TypeSetAsync", "RestAsync", "RestGetAsync",
    "RestartGetAsync"};

bool startsWithDigit(const std::string& s)
{
    return !s.empty() && std::isdigit(static_cast<unsigned char>(s[0]));
}

} // namespace

std::string FtpRequestName(int request)
{
    if (request < 0 || request >= static_cast<int>(std::size(RequestNames)))
        return "unknown";
    return RequestNames[request];
}

TCustomFtpClient::TCustomFtpClient()
{
    FWindowHandle = AllocateHWnd([this](TMessage& msg) { WndProc(msg); });
    FControlSocket = std::make_unique<TAsyncSocket>();
    FControlSocket->OnSessionConnected = [this](TCustomAsyncSocket* s, std::uint16_t e) { ControlSessionConnected(s, e); };
    FControlSocket->OnDataAvailable = [this](TCustomAsyncSocket* s, std::uint16_t e) { ControlDataAvailable(s, e); };
    FControlSocket->OnSessionClosed = [this](TCustomAsyncSocket* s, std::uint16_t e) { ControlSessionClosed(s, e); };
    FControlSocket->OnDnsLookupDone = [this](TCustomAsyncSocket* s, std::uint16_t e) { ControlDnsLookupDone(s, e); };
    FDataSocket = std::make_unique<TAsyncSocket>();
    FRequestDoneFlag = true;
}

TCustomFtpClient::~TCustomFtpClient()
{
    // The sockets close as they go; nothing of ours may run then.
    for (TAsyncSocket* socket : {FControlSocket.get(), FDataSocket.get()}) {
        socket->OnSessionConnected = nullptr;
        socket->OnDataAvailable = nullptr;
        socket->OnSessionClosed = nullptr;
        socket->OnDnsLookupDone = nullptr;
        socket->OnSessionAvailable = nullptr;
        socket->OnDataSent = nullptr;
    }
    FDataSocket.reset();
    FControlSocket.reset();
    DeallocateHWnd(FWindowHandle);
}

std::string TCustomFtpClient::WinsockFailureText(int error)
{
    return "500 " + WSocketErrorDesc(error) + " (Winsock error #" + std::to_string(error) + ")";
}

bool TCustomFtpClient::Connected() const
{
    return FControlSocket->State() != wsClosed;
}

// --- window messages --------------------------------------------------------

void TCustomFtpClient::WndProc(TMessage& msg)
{
    try {
        switch (msg.Msg) {
        case WM_FTP_REQUEST_DONE:
            if (OnRequestDone)
                OnRequestDone(this, static_cast<TFtpRequest>(msg.WParam), static_cast<int>(msg.LParam));
            break;
        case WM_FTP_SENDDATA:
            StartSending();
            break;
        default:
            break;
        }
    } catch (const std::exception& e) {
        HandleBackgroundError(e);
    }
}

void TCustomFtpClient::HandleBackgroundError(const std::exception& e)
{
    bool canClose = true;
    if (OnBgException) {
        try {
            OnBgException(this, e, canClose);
        } catch (...) {
        }
    }
    if (canClose) {
        try {
            Abort();
        } catch (...) {
        }
    }
}

// --- small helpers ----------------------------------------------------------

void TCustomFtpClient::StateChange(TFtpClientState newState)
{
    if (FState == newState)
        return;
    FState = newState;
    if (OnStateChange)
        OnStateChange(this);
}

void TCustomFtpClient::Display(const std::string& text)
{
    if (!OnDisplay)
        return;
    std::string msg = text;
    OnDisplay(this, msg);
}

void TCustomFtpClient::CheckReady()
{
    if (FState != ftpReady && FState != ftpInternalReady)
        throw FtpException("FTP component not ready");
}

void TCustomFtpClient::SetErrorMessage()
{
    if (FErrorMessage.empty())
        FErrorMessage = FLastResponse;
}

void TCustomFtpClient::CloseControl()
{
    if (FControlSocket->State() == wsClosed)
        return;
    FClosingControl = true;
    FControlSocket->Close();
}

bool TCustomFtpClient::IsQuitting() const
{
    return FDoneAsync == &TCustomFtpClient::QuitDone;
}

// --- commands ---------------------------------------------------------------

void TCustomFtpClient::ExecAsync(TFtpRequest request, const std::string& command,
                                 std::initializer_list<int> okResponses, TRoutine doneAsync)
{
    CheckReady();
    if (!FConnected)
        throw FtpException("FTP component not connected");
    if (!FHighLevelFlag)
        FRequestType = request;
    FOkResponses.assign(okResponses.begin(), okResponses.end());
    if (FOkResponses.size() > 16)
        FOkResponses.resize(16);
    FRequestDoneFlag = false;
    FNext = &TCustomFtpClient::StandardReply;
    FDoneAsync = doneAsync;
    FMultiLineCode = 0;
    StateChange(ftpWaitingResponse);
    SendCommand(command);
}

void TCustomFtpClient::SendCommand(const std::string& command)
{
    std::string text = command;
    if (OnCommand)
        OnCommand(this, text);
    Display("> " + text);
    if (FControlSocket->State() == wsConnected)
        FControlSocket->SendText(text + "\r\n");
}

void TCustomFtpClient::UserAsync()
{
    if (UserName.empty())
        throw FtpException("UserName emtpy");
    FFctPrv = stepUser;
    ExecAsync(ftpUserAsync, "USER " + UserName, {331, 230}, nullptr);
}

void TCustomFtpClient::PassAsync()
{
    if (PassWord.empty())
        throw FtpException("Password emtpy");
    FFctPrv = stepPass;
    ExecAsync(ftpPassAsync, "PASS " + PassWord, {230}, nullptr);
}

void TCustomFtpClient::CwdAsync()
{
    if (HostDirName.empty())
        throw FtpException("HostDirName emtpy");
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
    FFctPrv = stepMkd;
    ExecAsync(ftpMkdAsync, "MKD " + HostFileName, {257}, nullptr);
}

void TCustomFtpClient::RmdAsync()
{
    FFctPrv = stepRmd;
    ExecAsync(ftpRmdAsync, "RMD " + HostFileName, {250, 257}, nullptr);
}

void TCustomFtpClient::DeleAsync()
{
    FFctPrv = stepDele;
    ExecAsync(ftpDeleAsync, "DELE " + HostFileName, {250, 257}, nullptr);
}

void TCustomFtpClient::RenFromAsync()
{
    FFctPrv = stepRenFrom;
    ExecAsync(ftpRenFromAsync, "RNFR " + HostFileName, {350}, nullptr);
}

void TCustomFtpClient::RenToAsync()
{
    FFctPrv = stepRenTo;
    ExecAsync(ftpRenToAsync, "RNTO " + LocalFileName, {200, 250, 257}, nullptr);
}

void TCustomFtpClient::SizeAsync()
{
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
    struct stat st{};
    std::int64_t size = 0;
    if (!LocalFileName.empty() && ::stat(LocalFileName.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        size = st.st_size;
    if (size <= 0) {
        // Nothing to resume: the request is over before it began.
        CheckReady();
        if (!FHighLevelFlag)
            FRequestType = ftpRestAsync;
        FRequestDoneFlag = false;
        FinishRequest(0);
        return;
    }
    FResumeAt = size;
    ExecAsync(ftpRestAsync, "REST " + std::to_string(size), {}, nullptr);
}

void TCustomFtpClient::QuoteAsync()
{
    FFctPrv = stepQuote;
    ExecAsync(ftpQuoteAsync, LocalFileName, {}, nullptr);
}

void TCustomFtpClient::QuitAsync()
{
    FreeStream();
    FFctPrv = stepQuit;
    ExecAsync(ftpQuitAsync, "QUIT", {221}, &TCustomFtpClient::QuitDone);
}

void TCustomFtpClient::QuitDone()
{
    CloseControl();
}

// --- opening ----------------------------------------------------------------

void TCustomFtpClient::OpenAsync()
{
    CheckReady();
    if (FConnected)
        throw FtpException("FTP component already connected");
    if (!FHighLevelFlag)
        FRequestType = ftpOpenAsync;
    FFctPrv = stepOpen;
    FRequestDoneFlag = false;
    FReceiveLen = 0;
    FSkippingLongLine = false;
    FMultiLineCode = 0;
    FRequestResult = 0;
    FClosingControl = false;
    StateChange(ftpDnsLookup);
    std::string host = HostName;
    host.erase(0, host.find_first_not_of(" \t"));
    host.erase(host.find_last_not_of(" \t") + 1);
    if (host.empty()) {
        // No host to look up: end the request instead of waiting for nothing.
        ControlDnsLookupDone(FControlSocket.get(), static_cast<std::uint16_t>(winsock::WSAEINVAL));
        return;
    }
    try {
        FControlSocket->DnsLookup(host);
    } catch (const std::exception& e) {
        if (FState == ftpDnsLookup && !FRequestDoneFlag)
            FailRequest(500, std::string("500 ") + e.what());
    }
}

void TCustomFtpClient::FailRequest(int status, const std::string& text)
{
    FLastResponse = text;
    FStatusCode = 500;
    FRequestResult = 500;
    SetErrorMessage();
    FNextRequest = nullptr;
    FinishRequest(status);
}

void TCustomFtpClient::ControlDnsLookupDone(TCustomAsyncSocket*, std::uint16_t error)
{
    if (FState != ftpDnsLookup)
        return;
    if (error != 0) {
        FailRequest(error, WinsockFailureText(error));
        return;
    }
    try {
        FControlSocket->SetAddr(FControlSocket->DnsResult());
        FControlSocket->SetProto("tcp");
        FControlSocket->SetPort(Port);
        StateChange(ftpWaitingBanner);
        FControlSocket->Connect();
    } catch (const ESocketException& e) {
        FailRequest(500, "500 ESocketException: " + e.Message);
    } catch (const std::exception& e) {
        FailRequest(500, std::string("500 Exception: ") + e.what());
    }
}

void TCustomFtpClient::ControlSessionConnected(TCustomAsyncSocket*, std::uint16_t error)
{
    if (error == 0) {
        FConnected = true;
        return;
    }
    FailRequest(error, WinsockFailureText(error));
    CloseControl();
    StateChange(ftpReady);
}

void TCustomFtpClient::ControlSessionClosed(TCustomAsyncSocket*, std::uint16_t error)
{
    const bool onPurpose = FClosingControl || IsQuitting();
    FClosingControl = false;
    if (FConnected) {
        FConnected = false;
        if (FState != ftpAbort)
            StateChange(ftpNotConnected);
        if (OnSessionClosed)
            OnSessionClosed(this, error);
    }
    if (FState != ftpAbort)
        StateChange(ftpInternalReady);
    if (FRequestType == ftpRqAbort)
        return;
    if (FRequestDoneFlag) {
        // No request was waiting: the session simply ended.
        if (FState != ftpAbort)
            StateChange(ftpReady);
        return;
    }
    if (!onPurpose) {
        // The server went away in the middle of a request: whatever it was
        // doing (a transfer above all) did not complete.
        int status = error != 0 ? error : winsock::WSAECONNRESET;
        FLastResponse = WinsockFailureText(status);
        FStatusCode = 500;
        SetErrorMessage();
        FNextRequest = nullptr;
        Display("! Control connection closed");
        FinishRequest(status);
        return;
    }
    FinishRequest(FRequestResult);
}

// --- replies ----------------------------------------------------------------

void TCustomFtpClient::ControlDataAvailable(TCustomAsyncSocket*, std::uint16_t error)
{
    const int room = ReceiveBufferSize - 1 - FReceiveLen;
    int count = FControlSocket->Receive(FReceiveBuffer.data() + FReceiveLen, room);
    if (FRequestType == ftpRqAbort)
        return;
    if (count == 0) {
        FControlSocket->Close();
        return;
    }
    if (count < 0)
        return;
    FReceiveLen += count;

    const bool acceptLF = (Options & ftpAcceptLF) != 0;
    while (FReceiveLen > 0) {
        char* begin = FReceiveBuffer.data();
        char* end = begin + FReceiveLen;
        if (FSkippingLongLine) {
            char* lf = std::find(begin, end, '\n');
            if (lf == end) {
                FReceiveLen = 0;
                break;
            }
            FSkippingLongLine = false;
            FReceiveLen = static_cast<int>(end - (lf + 1));
            std::memmove(begin, lf + 1, static_cast<std::size_t>(FReceiveLen));
            continue;
        }
        char* lineEnd = end;
        int endLength = 0;
        if (acceptLF) {
            lineEnd = std::find(begin, end, '\n');
            endLength = 1;
        } else {
            for (char* p = begin; p + 1 < end; ++p) {
                if (p[0] == '\r' && p[1] == '\n') {
                    lineEnd = p;
                    endLength = 2;
                    break;
                }
            }
        }
        if (lineEnd == end) {
            if (FReceiveLen < ReceiveBufferSize - 1)
                break;   // wait for the rest of the line
            // A line longer than the buffer: take what we hold as the line
            // and drop the rest of it as it arrives, keeping the session.
            FSkippingLongLine = true;
            endLength = 0;
        }
        std::string line(begin, lineEnd);
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
            line.pop_back();
        char* next = lineEnd + endLength;
        FReceiveLen = static_cast<int>(end - next);
        std::memmove(begin, next, static_cast<std::size_t>(FReceiveLen));

        FLastResponse = line;
        if (OnResponse)
            OnResponse(this);
        HandleReplyLine(error);
        if (FControlSocket->State() == wsClosed) {
            FReceiveLen = 0;
            break;
        }
    }
}

void TCustomFtpClient::HandleReplyLine(std::uint16_t error)
{
    switch (FState) {
    case ftpWaitingBanner: {
        int code = 0;
        if (!TakeReplyLine(code))
            return;
        if (code != 220) {
            SetErrorMessage();
            FRequestResult = code;
            CloseControl();
            return;
        }
        StateChange(ftpConnected);
        if (OnSessionConnected)
            OnSessionConnected(this, error);
        FinishRequest(0);
        return;
    }
    case ftpWaitingResponse:
        if (FNext == nullptr)
            throw FtpException("Program error: FNext is nil");
        (this->*FNext)();
        return;
    default:
        Display("< " + FLastResponse);
        return;
    }
}

bool TCustomFtpClient::TakeReplyLine(int& code)
{
    Display("< " + FLastResponse);
    const std::string& line = FLastResponse;
    if (!startsWithDigit(line))
        return false;
    std::size_t i = 0;
    int number = 0;
    while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i]))) {
        if (number < 100000000)
            number = number * 10 + (line[i] - '0');
        ++i;
    }
    const bool continuation = i < line.size() && line[i] == '-';
    if (FMultiLineCode != 0) {
        // Inside a multi-line reply only "<same code> " ends it.
        if (number != FMultiLineCode || continuation)
            return false;
        FMultiLineCode = 0;
    } else if (continuation) {
        FMultiLineCode = number;
        FStatusCode = number;
        return false;
    }
    FStatusCode = number;
    code = number;
    return true;
}

void TCustomFtpClient::StandardReply()
{
    int code = 0;
    if (!TakeReplyLine(code))
        return;
    bool ok = FOkResponses.empty() ? code < 500
                                   : std::find(FOkResponses.begin(), FOkResponses.end(), code) != FOkResponses.end();
    if (ok) {
        FRequestResult = 0;
        DeriveResults(FFctPrv);
    } else {
        FRequestResult = code;
        SetErrorMessage();
    }
    if (FDoneAsync != nullptr)
        (this->*FDoneAsync)();
    else
        FinishRequest(FRequestResult);
}

void TCustomFtpClient::DeriveResults(int step)
{
    switch (step) {
    case stepSize:
        ExtractSizeResult();
        break;
    case stepCwd:
    case stepMkd:
    case stepPwd:
    case stepCDup:
        ExtractDirResult();
        break;
    default:
        break;
    }
}

void TCustomFtpClient::ExtractDirResult()
{
    const std::string& line = FLastResponse;
    std::size_t i = 0;
    while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])))
        ++i;
    while (i < line.size() && (line[i] == ' ' || line[i] == '-'))
        ++i;
    FDirResult.clear();
    if (i >= line.size() || line[i] != '"')
        return;
    for (++i; i < line.size(); ++i) {
        if (line[i] == '"') {
            if (i + 1 < line.size() && line[i + 1] == '"') {
                FDirResult += '"';
                ++i;
            } else {
                break;
            }
        } else {
            FDirResult += line[i];
        }
    }
}

void TCustomFtpClient::ExtractSizeResult()
{
    const std::string& line = FLastResponse;
    std::size_t i = 0;
    while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])))
        ++i;
    while (i < line.size() && line[i] == ' ')
        ++i;
    std::int64_t size = 0;
    while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i]))) {
        if (size < (INT64_MAX - 9) / 10)
            size = size * 10 + (line[i] - '0');
        ++i;
    }
    FSizeResult = size;
}

// --- ending a step, multi-step requests -------------------------------------

void TCustomFtpClient::FinishRequest(int status)
{
    if (FRequestDoneFlag)
        return;
    FRequestDoneFlag = true;
    FRequestResult = status;
    if (status == 0 && FNextRequest != nullptr) {
        if (FState != ftpAbort)
            StateChange(ftpInternalReady);
        (this->*FNextRequest)();
        return;
    }
    StateChange(ftpReady);
    FTransferRunning = false;
    if (FDataSocket->State() != wsClosed)
        CloseDataSocket();
    if (FHighLevelFlag && FStatusCodeSave >= 0) {
        FLastResponse = FLastResponseSave;
        FStatusCode = FStatusCodeSave;
    }
    FHighLevelFlag = false;
    FNextRequest = nullptr;
    PostMessage(FWindowHandle, WM_FTP_REQUEST_DONE, static_cast<WPARAM>(FRequestType), status);
}

void TCustomFtpClient::HighLevelAsync(TFtpRequest request, std::uint32_t steps)
{
    if ((steps & stepBit(stepOpen)) && FConnected)
        throw FtpException("FTP component already connected");
    CheckReady();
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
        if ((FFctSet & stepBit(step)) == 0)
            return false;
        FFctSet &= ~stepBit(step);
        return true;
    };

    if (take(stepOpen)) { OpenAsync(); return; }
    if (take(stepUser)) { UserAsync(); return; }
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
    if (take(stepCDup)) { CDupAsync(); return; }
    if (take(stepTypeSet)) { TypeSetAsync(); return; }
    if (take(stepPort)) { DoPortAsync(); return; }
    if (take(stepRest)) { RestAsync(); return; }
    if (take(stepGet)) {
        if (!(FFctPrv == stepRest && FStatusCode == 350 && FResumeAt >= 0))
            FResumeAt = 0;
        DoGetAsync(ftpGetAsync, "RETR");
        return;
    }
    if (take(stepPut)) { DoPutAppendAsync(false); return; }
    if (take(stepAppend)) { DoPutAppendAsync(true); return; }
    if (take(stepDir)) { DoGetAsync(ftpDirAsync, "LIST"); return; }
    if (take(stepLs)) { DoGetAsync(ftpLsAsync, "NLST"); return; }
    if (take(stepSyst)) { SystAsync(); return; }
    if (take(stepMkd)) { MkdAsync(); return; }
    if (take(stepRmd)) { RmdAsync(); return; }
    if (take(stepRenFrom)) { RenFromAsync(); return; }
    if (take(stepRenTo)) { RenToAsync(); return; }
    if (take(stepSize)) { SizeAsync(); return; }
    if (take(stepDele)) { DeleAsync(); return; }
    if (take(stepPwd)) { PwdAsync(); return; }
    if (take(stepQuote)) { QuoteAsync(); return; }
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
    HighLevelAsync(ftpReceiveAsync, loginSteps | stepBit(stepCwd) | stepBit(stepTypeSet) | stepBit(stepPort)
                                        | stepBit(stepGet) | stepBit(stepQuit));
}
void TCustomFtpClient::TransmitAsync()
{
    HighLevelAsync(ftpTransmitAsync, loginSteps | stepBit(stepCwd) | stepBit(stepTypeSet) | stepBit(stepPort)
                                         | stepBit(stepPut) | stepBit(stepQuit));
}
void TCustomFtpClient::AppendFileAsync()
{
    HighLevelAsync(ftpTransmitAsync, loginSteps | stepBit(stepCwd) | stepBit(stepTypeSet) | stepBit(stepPort)
                                         | stepBit(stepAppend) | stepBit(stepQuit));
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
    HighLevelAsync(ftpRestartGetAsync, loginSteps | stepBit(stepCwd) | stepBit(stepTypeSet) | stepBit(stepPort)
                                           | stepBit(stepRest) | stepBit(stepGet) | stepBit(stepQuit));
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
    HighLevelAsync(ftpListAsync, loginSteps | stepBit(stepCwd) | stepBit(stepPort) | stepBit(stepLs) | stepBit(stepQuit));
}
void TCustomFtpClient::SystemAsync() { HighLevelAsync(ftpSystemAsync, loginSteps | stepBit(stepSyst) | stepBit(stepQuit)); }
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
    HighLevelAsync(ftpRenameAsync, loginSteps | stepBit(stepCwd) | stepBit(stepRenFrom) | stepBit(stepRenTo)
                                       | stepBit(stepQuit));
}
void TCustomFtpClient::RenAsync() { HighLevelAsync(ftpRenAsync, stepBit(stepRenFrom) | stepBit(stepRenTo)); }
void TCustomFtpClient::FileSizeAsync()
{
    HighLevelAsync(ftpSizeAsync, loginSteps | stepBit(stepCwd) | stepBit(stepSize) | stepBit(stepQuit));
}

// --- abort ------------------------------------------------------------------

void TCustomFtpClient::Abort()
{
    const TFtpClientState oldState = FState;
    // A request runs while it waits for a reply or sits between two steps.
    const bool running = !FRequestDoneFlag || (oldState != ftpReady && oldState != ftpNotConnected);
    if (running)
        FRequestDoneFlag = false;
    StateChange(ftpAbort);
    FreeStream();
    if (oldState == ftpDnsLookup) {
        try {
            FControlSocket->CancelDnsLookup();
        } catch (...) {
        }
    }
    FNextRequest = nullptr;
    FFctSet = 0;
    FTransferRunning = false;
    if (running) {
        // The request that was running did not succeed, whatever it had done.
        if (FErrorMessage.empty())
            FErrorMessage = "426 Operation aborted.";
        FRequestResult = 426;
    }
    if (FControlSocket->State() != wsClosed)
        CloseControl();
    CloseDataSocket();
    FConnected = false;
    if (!FRequestDoneFlag)
        FinishRequest(426);
    StateChange(ftpReady);
}
