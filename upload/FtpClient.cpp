#include "upload/FtpClient.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

const char* const RequestNames[] = {
    "none",          "OpenAsync",    "UserAsync",   "PassAsync",    "CwdAsync",       "ConnectAsync",  "ReceiveAsync",
    "DirAsync",      "LsAsync",      "PortAsync",   "GetAsync",     "DirectoryAsync", "ListAsync",     "SystemAsync",
    "SystAsync",     "QuitAsync",    "SizeAsync",   "PutAsync",     "AppendAsync",    "FileSizeAsync", "RqAbort",
    "MkdAsync",      "RmdAsync",     "RenameAsync", "DeleAsync",    "RenAsync",       "RenToAsync",    "RenFromAsync",
    "DeleteAsync",   "MkdirAsync",   "RmdirAsync",  "PwdAsync",     "QuoteAsync",     "CDupAsync",     "DoQuoteAsync",
    "TransmitAsync", "TypeSetAsync", "RestAsync",   "RestGetAsync", "RestartGetAsync"};

bool startsWithDigit(const std::string& s) { return !s.empty() && std::isdigit(static_cast<unsigned char>(s[0])); }

}  // namespace

std::string FtpRequestName(int request)
{
    if (request < 0 || request >= static_cast<int>(std::size(RequestNames))) return "unknown";
    return RequestNames[request];
}

TCustomFtpClient::TCustomFtpClient()
{
    FWindowHandle = AllocateHWnd([this](TMessage& msg) { WndProc(msg); });
    FControlSocket = std::make_unique<TAsyncSocket>();
    FControlSocket->OnSessionConnected = [this](TCustomAsyncSocket* s, std::uint16_t e) {
        ControlSessionConnected(s, e);
    };
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
    // An upload still running goes no further.
    BreakDataConnection();
    EndDataWatch();
    FDataSocket.reset();
    FControlSocket.reset();
    DeallocateHWnd(FWindowHandle);
}

std::string TCustomFtpClient::WinsockFailureText(int error)
{
    return "500 " + SocketErrorDesc(error) + " (Winsock error #" + std::to_string(error) + ")";
}

bool TCustomFtpClient::Connected() const { return FControlSocket->State() != wsClosed; }

// --- window messages --------------------------------------------------------

void TCustomFtpClient::WndProc(TMessage& msg)
{
    try {
        switch (msg.Msg) {
        case WM_FTP_REQUEST_DONE:
            if (OnRequestDone) OnRequestDone(this, static_cast<TFtpRequest>(msg.WParam), static_cast<int>(msg.LParam));
            break;
        case WM_FTP_SENDDATA: StartSending(); break;
        case WM_TIMER:
            if (msg.WParam == DataWatchTimer) WatchData();
            break;
        default: break;
        }
    } catch (const std::exception& e) {
        HandleBackgroundError(e);
    }
}

void TCustomFtpClient::HandleBackgroundError(const std::exception& e) { HandleBackgroundErrorOf(*this, e); }

// --- small helpers ----------------------------------------------------------

void TCustomFtpClient::StateChange(TFtpClientState newState)
{
    if (FState == newState) return;
    FState = newState;
    if (OnStateChange) OnStateChange(this);
}

void TCustomFtpClient::Display(const std::string& text)
{
    if (!OnDisplay) return;
    std::string msg = text;
    OnDisplay(this, msg);
}

void TCustomFtpClient::CheckReady()
{
    if (FState != ftpReady && FState != ftpInternalReady) throw FtpException("FTP component not ready");
}

void TCustomFtpClient::CheckArgument(const char* name, const std::string& value)
{
    CheckReady();
    // A command is one line: a line break in an argument would end it and
    // start a command of the argument's choosing, and a NUL cuts it short.
    if (value.find_first_of(std::string("\r\n\0", 3)) == std::string::npos) return;
    const std::string text = std::string(name) + " contains CR, LF or NUL";
    FErrorMessage = "501 " + text;
    FStatusCode = 501;
    FRequestResult = 501;
    throw FtpException(text);
}

void TCustomFtpClient::CheckConnected(const std::string& text)
{
    if (FConnected) return;
    // Said in the reply form, like every other failure, so the caller's log
    // tells why nothing was sent.
    FErrorMessage = "426 Session closed: not connected to the server";
    FStatusCode = 426;
    FRequestResult = 426;
    throw FtpException(text);
}

void TCustomFtpClient::SetErrorMessage()
{
    if (FErrorMessage.empty()) FErrorMessage = FLastResponse;
}

void TCustomFtpClient::CloseControl()
{
    if (FControlSocket->State() == wsClosed) return;
    FClosingControl = true;
    FControlSocket->Close();
}

bool TCustomFtpClient::IsQuitting() const { return FDoneAsync == &TCustomFtpClient::QuitDone; }

// --- commands ---------------------------------------------------------------

void TCustomFtpClient::ExecAsync(TFtpRequest request, const std::string& command,
                                 std::initializer_list<int> okResponses, TRoutine doneAsync)
{
    CheckReady();
    CheckConnected("FTP component not connected");
    if (!FHighLevelFlag) FRequestType = request;
    FOkResponses.assign(okResponses.begin(), okResponses.end());
    if (FOkResponses.size() > 16) FOkResponses.resize(16);
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
    if (OnCommand) OnCommand(this, text);
    Display("> " + text);
    if (FControlSocket->State() == wsConnected) FControlSocket->SendText(text + "\r\n");
}

// --- opening ----------------------------------------------------------------

void TCustomFtpClient::OpenAsync()
{
    CheckReady();
    if (FConnected) throw FtpException("FTP component already connected");
    if (!FHighLevelFlag) FRequestType = ftpOpenAsync;
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
        if (FState == ftpDnsLookup && !FRequestDoneFlag) FailRequest(500, std::string("500 ") + e.what());
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
    if (FState != ftpDnsLookup) return;
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
        if (FState != ftpAbort) StateChange(ftpNotConnected);
        if (OnSessionClosed) OnSessionClosed(this, error);
    }
    if (FState != ftpAbort) StateChange(ftpInternalReady);
    if (FRequestType == ftpRqAbort) return;
    if (FRequestDoneFlag) {
        // No request was waiting: the session simply ended.
        if (FState != ftpAbort) StateChange(ftpReady);
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
    if (FRequestType == ftpRqAbort) return;
    if (count == 0) {
        FControlSocket->Close();
        return;
    }
    if (count < 0) return;
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
            if (FReceiveLen < ReceiveBufferSize - 1) break;  // wait for the rest of the line
            // A line longer than the buffer: take what we hold as the line
            // and drop the rest of it as it arrives, keeping the session.
            FSkippingLongLine = true;
            endLength = 0;
        }
        std::string line(begin, lineEnd);
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
        char* next = lineEnd + endLength;
        FReceiveLen = static_cast<int>(end - next);
        std::memmove(begin, next, static_cast<std::size_t>(FReceiveLen));

        FLastResponse = line;
        if (OnResponse) OnResponse(this);
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
        if (!TakeReplyLine(code)) return;
        if (code != 220) {
            SetErrorMessage();
            FRequestResult = code;
            CloseControl();
            return;
        }
        StateChange(ftpConnected);
        if (OnSessionConnected) OnSessionConnected(this, error);
        FinishRequest(0);
        return;
    }
    case ftpWaitingResponse:
        if (FNext == nullptr) throw FtpException("Program error: FNext is nil");
        (this->*FNext)();
        return;
    default: Display("< " + FLastResponse); return;
    }
}

bool TCustomFtpClient::TakeReplyLine(int& code)
{
    Display("< " + FLastResponse);
    const std::string& line = FLastResponse;
    if (!startsWithDigit(line)) return false;
    std::size_t i = 0;
    int number = 0;
    while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i]))) {
        if (number < 100000000) number = number * 10 + (line[i] - '0');
        ++i;
    }
    const bool continuation = i < line.size() && line[i] == '-';
    if (FMultiLineCode != 0) {
        // Inside a multi-line reply only "<same code> " ends it.
        if (number != FMultiLineCode || continuation) return false;
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
    if (!TakeReplyLine(code)) return;
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
    case stepSize: ExtractSizeResult(); break;
    case stepCwd:
    case stepMkd:
    case stepPwd:
    case stepCDup: ExtractDirResult(); break;
    default: break;
    }
}

void TCustomFtpClient::ExtractDirResult()
{
    const std::string& line = FLastResponse;
    std::size_t i = 0;
    while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i]))) ++i;
    while (i < line.size() && (line[i] == ' ' || line[i] == '-')) ++i;
    FDirResult.clear();
    if (i >= line.size() || line[i] != '"') return;
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
    while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i]))) ++i;
    while (i < line.size() && line[i] == ' ') ++i;
    std::int64_t size = 0;
    while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i]))) {
        if (size < (INT64_MAX - 9) / 10) size = size * 10 + (line[i] - '0');
        ++i;
    }
    FSizeResult = size;
}

// --- ending a step, multi-step requests -------------------------------------

void TCustomFtpClient::FinishRequest(int status)
{
    if (FRequestDoneFlag) return;
    FRequestDoneFlag = true;
    FRequestResult = status;
    // Every transfer step ends here. One that failed is broken off before
    // anything else runs: nothing of an upload may go on arriving.
    if (status != 0) {
        FTransferRunning = false;
        // (A closed socket may be the one whose close event brought us here.)
        if (FDataSocket->State() != wsClosed) UnbindDataEvents();
        BreakDataConnection();
    }
    EndDataWatch();
    if (status == 0 && FNextRequest != nullptr) {
        if (FState != ftpAbort) StateChange(ftpInternalReady);
        (this->*FNextRequest)();
        return;
    }
    StateChange(ftpReady);
    FTransferRunning = false;
    if (FDataSocket->State() != wsClosed) CloseDataSocket();
    if (FHighLevelFlag && FStatusCodeSave >= 0) {
        FLastResponse = FLastResponseSave;
        FStatusCode = FStatusCodeSave;
    }
    FHighLevelFlag = false;
    FNextRequest = nullptr;
    PostMessage(FWindowHandle, WM_FTP_REQUEST_DONE, static_cast<WPARAM>(FRequestType), status);
}

// --- abort ------------------------------------------------------------------

void TCustomFtpClient::Abort()
{
    const TFtpClientState oldState = FState;
    // A request runs while it waits for a reply or sits between two steps.
    const bool running = !FRequestDoneFlag || (oldState != ftpReady && oldState != ftpNotConnected);
    if (running) FRequestDoneFlag = false;
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
        if (FErrorMessage.empty()) FErrorMessage = "426 Operation aborted.";
        FRequestResult = 426;
    }
    if (FControlSocket->State() != wsClosed) CloseControl();
    CloseDataSocket();
    EndDataWatch();
    FConnected = false;
    if (!FRequestDoneFlag) FinishRequest(426);
    StateChange(ftpReady);
}
