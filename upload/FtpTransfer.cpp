// Data transfers of the FTP client (PORT, STOR, APPE, RETR, LIST, NLST) and
// the blocking calls of TFtpClient.

#include "upload/FtpClient.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The file being sent. Unlike a plain file stream it tells a read error
// from the end of the file, so a failing disk never passes for a short file.
class TLocalReadStream : public TStream {
public:
    explicit TLocalReadStream(const std::string& fileName)
    {
        fd_ = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) throw EFOpenError("Cannot open file \"" + fileName + "\"");
        struct stat st {};
        if (::fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode)) {
            ::close(fd_);
            throw EFOpenError("Cannot open file \"" + fileName + "\"");
        }
    }
    ~TLocalReadStream() override { ::close(fd_); }
    TLocalReadStream(const TLocalReadStream&) = delete;
    TLocalReadStream& operator=(const TLocalReadStream&) = delete;

    std::size_t Read(void* buffer, std::size_t count) override
    {
        for (;;) {
            ssize_t n = ::read(fd_, buffer, count);
            if (n >= 0) return static_cast<std::size_t>(n);
            if (errno != EINTR) throw EReadError("Error reading file");
        }
    }
    std::size_t Write(const void*, std::size_t) override { return 0; }
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override
    {
        int whence = origin == SeekOrigin::Beginning ? SEEK_SET : origin == SeekOrigin::Current ? SEEK_CUR : SEEK_END;
        off_t at = ::lseek(fd_, static_cast<off_t>(offset), whence);
        return at < 0 ? 0 : static_cast<std::int64_t>(at);
    }

private:
    int fd_ = -1;
};

}  // namespace

// --- the data socket ----------------------------------------------------------

void TCustomFtpClient::UnbindDataEvents()
{
    FDataSocket->OnSessionAvailable = nullptr;
    FDataSocket->OnSessionClosed = nullptr;
    FDataSocket->OnDataAvailable = nullptr;
    FDataSocket->OnDataSent = nullptr;
    FDataSocket->OnSendData = nullptr;
}

void TCustomFtpClient::BreakDataConnection()
{
    // An upload ends whole only by its close at the end of the file (and the
    // server's confirmation); any other end of it is a break.
    if (FSending) {
        FDrain.Close(true);
        if (FDataSocket->State() == wsConnected) {
            FDataSocket->ResetConnection();
            return;
        }
    }
    if (FDataSocket->State() != wsClosed) FDataSocket->Close();
}

void TCustomFtpClient::CloseDataSocket()
{
    UnbindDataEvents();
    BreakDataConnection();
}

void TCustomFtpClient::FreeStream() { FLocalStream.reset(); }

void TCustomFtpClient::PrepareDataSocket()
{
    CloseDataSocket();
    FDataSocket->SetProto("tcp");
    // Only on the address the server reaches us at (the one PORT announces),
    // not on every interface of the machine.
    sockaddr_in local{};
    FControlSocket->LocalSockAddr(local);
    FDataSocket->SetAddr(winsock::inet_ntoa(local.sin_addr.s_addr));
    FDataSocket->SetPort("0");
    FDataConnected = false;
    FDataClosed = false;
    FDataCloseError = 0;
    FTransferRunning = false;
    // Bound before listening: some servers connect as soon as they get PORT,
    // before the transfer command is even sent.
    FDataSocket->OnSessionAvailable = [this](TCustomAsyncSocket* s, std::uint16_t e) { DataSocketAccept(s, e); };
    FDataSocket->Listen();
}

void TCustomFtpClient::DoPortAsync()
{
    CheckReady();
    CheckConnected("FTP component not connected");
    PrepareDataSocket();
    sockaddr_in listening{};
    FDataSocket->LocalSockAddr(listening);
    const int port = ntohs(listening.sin_port);
    sockaddr_in local{};
    FControlSocket->LocalSockAddr(local);
    std::string command;
    if (FControlSocket->Addr() == "127.0.0.1") {
        command = "PORT 127,0,0,1," + std::to_string((port >> 8) & 0xFF) + "," + std::to_string(port & 0xFF);
    } else {
        const auto* b = reinterpret_cast<const std::uint8_t*>(&local.sin_addr.s_addr);
        command = "PORT " + std::to_string(b[0]) + "," + std::to_string(b[1]) + "," + std::to_string(b[2]) + "," +
                  std::to_string(b[3]) + "," + std::to_string((port >> 8) & 0xFF) + "," + std::to_string(port & 0xFF);
    }
    FByteCount = 0;
    FFctPrv = stepPort;
    ExecAsync(ftpPortAsync, command, {200, 227}, nullptr);
}

void TCustomFtpClient::PortAsync() { DoPortAsync(); }

void TCustomFtpClient::DataSocketAccept(TCustomAsyncSocket*, std::uint16_t error)
{
    if (error != 0) return;
    TakeDataCaller(FDataSocket->Accept());
}

void TCustomFtpClient::TakeDataCaller(TSocket handle)
{
    // The data connection must come from the server we are talking to; anyone
    // else who found the port is turned away and we keep listening.
    if (handle != INVALID_SOCKET && !FromServer(handle)) {
        winsock::closesocket(handle);
        return;
    }
    // The listening socket goes now; its close is not the end of a transfer.
    UnbindDataEvents();
    FDataSocket->Close();
    if (handle == INVALID_SOCKET) return;
    FDataBytesOut = 0;
    BindDataEvents();
    // Lingering off: closing after the last block lets the system deliver it.
    FDataSocket->SetLingerOnOff(wsLingerOff);
    FDataSocket->SetLingerTimeout(10);
    FDataSocket->Dup(handle);
    int sendBuffer = 0;
    int length = sizeof sendBuffer;
    if (winsock::getsockopt(handle, winsock::SOL_SOCKET_WS, winsock::SO_SNDBUF_WS, &sendBuffer, &length) != 0)
        throw FtpException("winsock.getsockopt(SO_SNDBUF) failed");
    FDataConnected = true;
    if (!FTransferRunning) return;
    if (FSending) {
        if (FPutSessionOpened && !FSendStarted) PostMessage(FWindowHandle, WM_FTP_SENDDATA, 0, 0);
    } else {
        FStartTime = GetTickCount64();
    }
}

bool TCustomFtpClient::TakeWaitingDataCaller()
{
    // The server's connection may wait in the listening queue while its
    // accept event is still on its way behind the control reply.
    while (!FDataConnected && FDataSocket->State() == wsListening) {
        sockaddr_in caller{};
        const TSocket handle = winsock::accept(FDataSocket->HSocket(), &caller);
        if (handle == INVALID_SOCKET) break;
        TakeDataCaller(handle);
    }
    return FDataConnected;
}

bool TCustomFtpClient::FromServer(TSocket handle)
{
    sockaddr_in caller{};
    sockaddr_in peer{};
    const bool known = winsock::getpeername(handle, &caller) == 0 && FControlSocket->PeerSockAddr(peer) == 0;
    if (known && caller.sin_addr.s_addr == peer.sin_addr.s_addr) return true;
    // Through a SOCKS proxy the control peer is the proxy, while the server
    // connects from its own address: the one the proxy was asked to reach.
    if (known && !FControlSocket->SocksServer().empty() &&
        caller.sin_addr.s_addr == winsock::inet_addr(FControlSocket->Addr()))
        return true;
    Display("! Data connection from " + (known ? winsock::inet_ntoa(caller.sin_addr.s_addr) : std::string("?")) +
            " refused: not the server");
    return false;
}

void TCustomFtpClient::BindDataEvents()
{
    FDataSocket->OnSessionClosed = [this](TCustomAsyncSocket* s, std::uint16_t e) { DataSocketSessionClosed(s, e); };
    FDataSocket->OnDataAvailable = [this](TCustomAsyncSocket* s, std::uint16_t e) {
        if (FTransferRunning && !FSending)
            DataSocketReceive(s, e);
        else
            DataSocketDiscard(s, e);
    };
    FDataSocket->OnDataSent = [this](TCustomAsyncSocket* s, std::uint16_t e) { DataSocketDataSent(s, e); };
    FDataSocket->OnSendData = [this](TCustomAsyncSocket*, int bytes) { FDataBytesOut += bytes; };
}

void TCustomFtpClient::DataSocketDiscard(TCustomAsyncSocket*, std::uint16_t)
{
    std::uint8_t buffer[ReceivePieceSize];
    FDataSocket->Receive(buffer, sizeof buffer);
}

void TCustomFtpClient::DataSocketSessionClosed(TCustomAsyncSocket*, std::uint16_t error)
{
    if (FSending) FreeStream();
    if (FTransferRunning && FSending && !FEofFlag && FTransferError == 0) {
        // The connection ended before the whole file went out.
        if (error != 0)
            TransferFailed(error, WinsockFailureText(error));
        else
            TransferFailed(426, "426 Data connection closed before the whole file was sent");
    }
    if (!FSending) {
        if (!FDisplayLine.empty() && DisplayFileFlag && OnDisplayFile) {
            std::string line;
            line.swap(FDisplayLine);
            OnDisplayFile(this, line);
        }
        FreeStream();
    }
    FDataClosed = true;
    FDataCloseError = error;
    TransferEndIfDone();
}

void TCustomFtpClient::TransferFailed(int status, const std::string& text)
{
    if (FTransferError == 0) {
        FTransferError = status;
        FTransferErrorText = text;
    }
}

void TCustomFtpClient::TransferStopped(int status, const std::string& text)
{
    if (FTransferError == 0) FTransferStopped = true;
    TransferFailed(status, text);
}

// --- sending ------------------------------------------------------------------

void TCustomFtpClient::DoPutAppendAsync(bool append)
{
    CheckConnected("STOR/APPE: not connected");
    if (LocalFileName.empty()) throw FtpException("LocalFileName empty");
    CheckArgument("HostFileName", HostFileName);
    if (!FHighLevelFlag) FRequestType = append ? ftpAppendAsync : ftpPutAsync;
    FFctPrv = append ? stepAppend : stepPut;
    FRequestDoneFlag = false;
    FPutSessionOpened = false;
    FEofFlag = false;
    FStorAnswerRcvd = false;
    FSendStarted = false;
    FStartTime = 0;
    FByteCount = 0;
    FTransferError = 0;
    FTransferStopped = false;
    FTransferErrorText.clear();
    FSending = true;
    FTransferRunning = true;

    bool cancel = false;
    if (OnReadyToTransmit) OnReadyToTransmit(this, cancel);
    if (cancel) {
        FErrorMessage = "426 Transmit cancelled by application";
        FStatusCode = 426;
        Display("! " + FErrorMessage);
        FTransferRunning = false;
        FinishRequest(426);
        return;
    }

    FreeStream();
    try {
        FLocalStream = std::make_unique<TLocalReadStream>(LocalFileName);
        if (FResumeAt > 0) FLocalStream->SetPosition(FResumeAt);
    } catch (const std::exception&) {
        FLocalStream.reset();
        FErrorMessage = "426 Unable to open local file " + LocalFileName;
        FStatusCode = 426;
        Display("! " + FErrorMessage);
        FTransferRunning = false;
        CloseDataSocket();
        FinishRequest(426);
        return;
    }
    if (FDataConnected && !FDataClosed) BindDataEvents();
    StateChange(ftpWaitingResponse);
    FNext = &TCustomFtpClient::StorReply;
    FMultiLineCode = 0;
    SendCommand((append ? "APPE " : "STOR ") + HostFileName);
}

void TCustomFtpClient::StorReply()
{
    int code = 0;
    if (!TakeReplyLine(code)) return;
    if (code == 125 || code == 150) {
        FPutSessionOpened = true;
        if (FDataConnected && !FSendStarted) PostMessage(FWindowHandle, WM_FTP_SENDDATA, 0, 0);
        FNext = &TCustomFtpClient::StorFinalReply;
        return;
    }
    TransferRefused(code);
}

void TCustomFtpClient::TransferRefused(int code)
{
    SetErrorMessage();
    CloseDataSocket();
    FreeStream();
    FResumeAt = 0;
    FTransferRunning = false;
    FinishRequest(code);
}

void TCustomFtpClient::FinalReplyFailed(int code, const std::string& display)
{
    // After a stop of our own (the progress callback, a read error) the
    // server only answers the broken connection: ours is what happened. A
    // reply the server sends for its own reason (a full disk, a quota) stays,
    // even when it broke the data connection first.
    if (FTransferStopped) {
        code = FTransferError;
        if (FErrorMessage.empty()) FErrorMessage = FTransferErrorText;
    }
    SetErrorMessage();
    FreeStream();
    CloseDataSocket();
    Display(display);
    FTransferRunning = false;
    FinishRequest(code);
}

void TCustomFtpClient::StartSending()
{
    // A message left over from an aborted transfer must not start this one
    // before the server accepted it and connected.
    if (!FTransferRunning || !FSending || FSendStarted || !FPutSessionOpened || !FDataConnected) return;
    FSendStarted = true;
    FStartTime = GetTickCount64();
    FAckedSeen = -1;
    FAckWaitEnd = 0;
    SetTimer(FWindowHandle, DataWatchTimer, DataWatchInterval);
    SendNextBlock(0);
}

void TCustomFtpClient::DataSocketDataSent(TCustomAsyncSocket*, std::uint16_t error)
{
    if (FTransferRunning && FSending) SendNextBlock(error);
}

void TCustomFtpClient::SendNextBlock(std::uint16_t error)
{
    if (!FLocalStream || !FSendStarted) return;
    if (!ProgressCheck()) return;
    if (error != 0) {
        Display("! Error #" + std::to_string(error) + " sending data");
        TransferFailed(error, WinsockFailureText(error));
        BreakDataConnection();
        return;
    }
    if (FEofFlag || !FPutSessionOpened || !FDataConnected) return;
    std::size_t count = 0;
    try {
        count = FLocalStream->Read(FSendBuffer.data(), FSendBuffer.size());
    } catch (const std::exception&) {
        Display("! Error reading file");
        TransferStopped(426, "426 Error reading local file " + LocalFileName);
        BreakDataConnection();
        return;
    }
    if (count == 0) {
        FEofFlag = true;
        KeepDrainHandle();
        FDataSocket->Close();
        return;
    }
    FByteCount += static_cast<std::int64_t>(count);
    try {
        if (FDataSocket->Send(FSendBuffer.data(), static_cast<int>(count)) < 0) throw ESocketException("Send failed");
    } catch (const std::exception&) {
        FByteCount -= static_cast<std::int64_t>(count);
        int code = FDataSocket->LastError() != 0 ? FDataSocket->LastError() : 426;
        Display("! Error #" + std::to_string(code) + " sending data");
        TransferFailed(code, WinsockFailureText(code));
        BreakDataConnection();
    }
}

void TCustomFtpClient::StorFinalReply()
{
    int code = 0;
    if (!TakeReplyLine(code)) return;
    if (code == 226 || code == 250) {
        FinalReplyArrived();
        return;
    }
    FinalReplyFailed(code, "! STOR Failed");
}

void TCustomFtpClient::FinalReplyArrived()
{
    if (!TakeWaitingDataCaller()) {
        // Nothing can arrive any more: the server has ended the transfer
        // without a data connection of ours (none came, or only strangers).
        const std::string reply = FLastResponse;
        FLastResponse = "425 No data connection was accepted before the server's final reply: " + reply;
        FinalReplyFailed(425, "! " + FLastResponse);
        return;
    }
    FStorAnswerRcvd = true;
    TransferEndIfDone();
}

void TCustomFtpClient::TransferEndIfDone()
{
    if (!FTransferRunning || !FStorAnswerRcvd || !FDataClosed) return;
    if (FSending && FTransferError == 0 && FDataCloseError == 0 && FEofFlag && !UploadEndSettled()) return;
    FTransferRunning = false;
    ShowStatistics();
    FResumeAt = 0;
    int status = FTransferError != 0 ? FTransferError : FDataCloseError;
    if (status == 0 && FSending && !FEofFlag) {
        status = 426;
        FTransferErrorText = "426 Data connection closed before the whole file was sent";
    }
    if (status == 0 && FSending && FDataBytesOut != FByteCount) {
        // Only a connection that carried exactly this file's bytes sent it.
        status = 426;
        FTransferErrorText = "426 Data connection carried " + std::to_string(FDataBytesOut) + " bytes for " +
                             std::to_string(FByteCount) + " bytes of the file";
    }
    if (status != 0) {
        // The server's final reply does not make an incomplete transfer whole.
        if (FTransferErrorText.empty()) FTransferErrorText = WinsockFailureText(status);
        FLastResponse = FTransferErrorText;
        if (FErrorMessage.empty()) FErrorMessage = FTransferErrorText;
    }
    FinishRequest(status);
}

bool TCustomFtpClient::UploadEndSettled()
{
    const TSocketDrain::TEnd end = FDrain.End();
    std::string why;
    if (end.Error != 0) {
        why = "broken (" + SocketErrorDesc(end.Error) + ")";
    } else if (end.Unacknowledged <= 0) {
        // Every byte acknowledged (or, without the second handle, nothing
        // to tell): the server's confirmation stands.
        return true;
    } else if (end.PeerEnded) {
        why = "ended by the other side with " + std::to_string(end.Unacknowledged) + " bytes unacknowledged";
    } else {
        // The acknowledgement of the end may come after the reply that it
        // made the server send.
        const std::uint64_t now = GetTickCount64();
        if (FAckWaitEnd == 0) {
            FAckWaitEnd = now + FinalAckWait;
            SetTimer(FWindowHandle, DataWatchTimer, FinalAckPoll);
            return false;
        }
        if (now < FAckWaitEnd) return false;
        why = "left " + std::to_string(end.Unacknowledged) + " bytes unacknowledged";
    }
    const std::string text = "426 Data connection " + why + ": the file may not have arrived whole";
    Display("! " + text);
    TransferFailed(426, text);
    return true;
}

void TCustomFtpClient::ShowStatistics()
{
    FStopTime = GetTickCount64();
    const std::uint64_t ticks = FStartTime != 0 && FStopTime > FStartTime ? FStopTime - FStartTime : 0;
    std::string text =
        std::to_string(FByteCount) + " bytes received/sent in " + std::to_string(ticks / 1000) + " seconds";
    if (ticks != 0) {
        const auto count = static_cast<std::uint64_t>(FByteCount);
        const std::uint64_t rate = count < 32768 ? count * 1000 / ticks : count / ticks * 1000;
        text += " (" + std::to_string(rate) + " Bytes/sec)";
    }
    Display("! " + text);
}

bool TCustomFtpClient::ProgressCheck()
{
    if (!OnProgress) return true;
    bool abort = false;
    OnProgress(this, FByteCount + FResumeAt, abort);
    if (!abort) return true;
    Display("! Abort requested");
    TransferStopped(426, "426 Transfer aborted");
    BreakDataConnection();
    return false;
}

// --- watching an upload on its way ----------------------------------------------
//
// The system takes megabytes into a socket's buffer and sends them at the
// server's pace, long after the last block was handed over. What the server's
// side acknowledged shows that the data still moves while no block is handed
// over, above all after the last one, until the final reply.

std::int64_t TCustomFtpClient::AcknowledgedBytes() const
{
    if (!FTransferRunning || !FSending) return -1;
    TSocket handle = FDrain.Handle();
    if (handle == INVALID_SOCKET && FDataConnected && FDataSocket->State() == wsConnected)
        handle = FDataSocket->HSocket();
    const int unsent = SocketUnsentCount(handle);
    return unsent < 0 ? -1 : FDataBytesOut - unsent;
}

void TCustomFtpClient::WatchData()
{
    if (FAckWaitEnd != 0) TransferEndIfDone();
    const std::int64_t acknowledged = AcknowledgedBytes();
    // The first look only sets the mark, and the mark only rises: after the
    // close the connection's end counts as one more unacknowledged byte
    // until the server confirms it.
    if (acknowledged <= FAckedSeen) return;
    const bool moved = FAckedSeen >= 0;
    FAckedSeen = acknowledged;
    if (moved) DataMoved();
}

void TCustomFtpClient::KeepDrainHandle()
{
    // The socket object closes its handle at the end of the file, as it always
    // has; this second handle keeps the connection in sight (without it, no
    // watch: the wait is then as before).
    FDrain = TSocketDrain(FDataSocket->HSocket());
}

void TCustomFtpClient::EndDataWatch()
{
    KillTimer(FWindowHandle, DataWatchTimer);
    FAckedSeen = -1;
    FAckWaitEnd = 0;
    FDrain.Close(false);
}

// --- receiving ----------------------------------------------------------------

void TCustomFtpClient::DoGetAsync(TFtpRequest request, const std::string& command)
{
    CheckConnected(command + ": not connected");
    if (LocalFileName.empty() && !DisplayFileFlag) throw FtpException("LocalFileName empty");
    CheckArgument("HostFileName", HostFileName);
    if (!FHighLevelFlag) FRequestType = request;
    FFctPrv = request == ftpDirAsync ? stepDir : request == ftpLsAsync ? stepLs : stepGet;
    FRequestDoneFlag = false;
    FDataCommand = command;
    FStorAnswerRcvd = false;
    FByteCount = 0;
    FTransferError = 0;
    FTransferStopped = false;
    FTransferErrorText.clear();
    FDisplayLine.clear();
    FSending = false;
    FEofFlag = false;
    FStartTime = FDataConnected ? GetTickCount64() : 0;

    if (!DisplayFileFlag) {
        FreeStream();
        try {
            if (FResumeAt > 0) {
                FLocalStream = std::make_unique<TFileStream>(LocalFileName, FileMode::OpenWrite);
                FLocalStream->SetPosition(FResumeAt);
            } else {
                FLocalStream = std::make_unique<TFileStream>(LocalFileName, FileMode::Create);
            }
        } catch (const std::exception&) {
            FLocalStream.reset();
            FLastResponse = "Unable to open local file " + LocalFileName;
            FStatusCode = 550;
            SetErrorMessage();
            CloseDataSocket();
            FinishRequest(550);
            return;
        }
    }
    FTransferRunning = true;
    if (FDataConnected && !FDataClosed) BindDataEvents();
    StateChange(ftpWaitingResponse);
    FNext = &TCustomFtpClient::GetFirstReply;
    FMultiLineCode = 0;
    SendCommand(HostFileName.empty() ? command : command + " " + HostFileName);
}

void TCustomFtpClient::GetFirstReply()
{
    int code = 0;
    if (!TakeReplyLine(code)) return;
    if (code == 125 || code == 150) {
        FNext = &TCustomFtpClient::GetFinalReply;
        return;
    }
    TransferRefused(code);
}

void TCustomFtpClient::GetFinalReply()
{
    int code = 0;
    if (!TakeReplyLine(code)) return;
    if (code == 125 || code == 226 || code == 250) {
        FinalReplyArrived();
        return;
    }
    FinalReplyFailed(code, "! RETR/LIST/NLST Failed");
}

void TCustomFtpClient::DataSocketReceive(TCustomAsyncSocket*, std::uint16_t)
{
    if (!ProgressCheck()) return;
    std::uint8_t buffer[ReceivePieceSize];
    const int count = FDataSocket->Receive(buffer, sizeof buffer);
    if (count > 0) {
        FByteCount += count;
        if (FLocalStream &&
            FLocalStream->Write(buffer, static_cast<std::size_t>(count)) != static_cast<std::size_t>(count)) {
            Display("! Error writing local file");
            TransferStopped(426, "426 Error writing local file " + LocalFileName);
            FDataSocket->Shutdown(2);
            FDataSocket->Close();
            return;
        }
        if (DisplayFileFlag) DeliverDisplayLines(buffer, static_cast<std::size_t>(count));
    } else if (count < 0) {
        const int error = FDataSocket->LastError();
        if (error != winsock::WSAEWOULDBLOCK && FDataSocket->State() == wsConnected) {
            Display("! Data: Receive error " + std::to_string(error));
            TransferFailed(error, WinsockFailureText(error));
            FDataSocket->Shutdown(2);
            FDataSocket->Close();
        }
    }
}

void TCustomFtpClient::DeliverDisplayLines(const std::uint8_t* data, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        const char c = static_cast<char>(data[i]);
        if (c == '\r' || c == '\n') {
            if (!FDisplayLine.empty()) {
                std::string line;
                line.swap(FDisplayLine);
                if (OnDisplayFile) OnDisplayFile(this, line);
            }
        } else {
            FDisplayLine += c;
        }
    }
}

// --- blocking calls -------------------------------------------------------------

bool TFtpClient::ProgressCheck()
{
    const bool goOn = TCustomFtpClient::ProgressCheck();
    DataMoved();
    return goOn;
}

void TFtpClient::DataMoved()
{
    // The time-out measures a stall, not the length of a transfer.
    if (Timeout > 0) FTimeStop = GetTickCount64() + static_cast<std::uint64_t>(Timeout) * 1000;
}

bool TFtpClient::WaitUntilReady()
{
    FTimeStop = GetTickCount64() + static_cast<std::uint64_t>(Timeout > 0 ? Timeout : 0) * 1000;
    auto timedOut = [this] { return Timeout > 0 && GetTickCount64() >= FTimeStop; };
    for (;;) {
        if (FState == ftpReady) return FRequestResult == 0;
        if (TerminationRequested() || timedOut()) break;
        TDeadline deadline = TDeadline::max();
        if (Timeout > 0) {
            const std::uint64_t now = GetTickCount64();
            const std::uint64_t left = FTimeStop > now ? FTimeStop - now : 0;
            deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(left);
        }
        // Blocks in the loop until something happens or the deadline; the
        // deadline moves while data moves, so the loop re-reads it.
        RunUntil([this, &timedOut] { return FState == ftpReady || timedOut(); }, deadline);
    }
    FErrorMessage = "426 Timeout";
    FStatusCode = 426;
    Abort();
    FRequestResult = 426;
    return false;
}

bool TFtpClient::Synchronize(const std::function<void()>& start)
{
    try {
        start();
    } catch (const std::exception&) {
        return false;
    }
    return WaitUntilReady();
}

bool TFtpClient::Connect()
{
    return Synchronize([this] { ConnectAsync(); });
}
bool TFtpClient::Cwd()
{
    return Synchronize([this] { CwdAsync(); });
}
bool TFtpClient::Pwd()
{
    return Synchronize([this] { PwdAsync(); });
}
bool TFtpClient::TypeSet()
{
    return Synchronize([this] { TypeSetAsync(); });
}
bool TFtpClient::Put()
{
    return Synchronize([this] { PutAsync(); });
}
bool TFtpClient::Mkd()
{
    return Synchronize([this] { MkdAsync(); });
}
bool TFtpClient::Quit()
{
    return Synchronize([this] { QuitAsync(); });
}
