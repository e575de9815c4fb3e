#pragma once
// The FTP client of the upload: an asynchronous client (RFC 959) over two
// TAsyncSocket objects, one for the control connection and one for active
// (PORT) data connections. A request starts and returns at once; its end is
// reported by OnRequestDone (request type and status: 0, an FTP reply code or
// a WinSock error number), always through a posted message. TFtpClient adds
// blocking calls that wait, with a time-out, by running the message loop.
//
// FtpClient.cpp holds the control connection and the reply machinery,
// FtpRequests.cpp the commands and the multi-step requests,
// FtpTransfer.cpp the data transfers and the blocking calls.

#include "platform/core/Exception.h"
#include "platform/messages/Messages.h"
#include "platform/streams/Streams.h"
#include "upload/AsyncSocket.h"

#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class FtpException : public Exception {
public:
    using Exception::Exception;
};

// Request types, as OnRequestDone reports them.
enum TFtpRequest {
    ftpNone = 0,
    ftpOpenAsync,
    ftpUserAsync,
    ftpPassAsync,
    ftpCwdAsync,
    ftpConnectAsync,
    ftpReceiveAsync,
    ftpDirAsync,
    ftpLsAsync,
    ftpPortAsync,
    ftpGetAsync,
    ftpDirectoryAsync,
    ftpListAsync,
    ftpSystemAsync,
    ftpSystAsync,
    ftpQuitAsync,
    ftpSizeAsync,
    ftpPutAsync,
    ftpAppendAsync,
    ftpFileSizeAsync,
    ftpRqAbort,
    ftpMkdAsync,
    ftpRmdAsync,
    ftpRenameAsync,
    ftpDeleAsync,
    ftpRenAsync,
    ftpRenToAsync,
    ftpRenFromAsync,
    ftpDeleteAsync,
    ftpMkdirAsync,
    ftpRmdirAsync,
    ftpPwdAsync,
    ftpQuoteAsync,
    ftpCDupAsync,
    ftpDoQuoteAsync,
    ftpTransmitAsync,
    ftpTypeSetAsync,
    ftpRestAsync,
    ftpRestGetAsync,
    ftpRestartGetAsync
};
// The name shown for a request type ("PutAsync", ...; "unknown" out of range).
std::string FtpRequestName(int request);

enum TFtpClientState {
    ftpNotConnected = 0,   // the control connection closed
    ftpReady = 1,          // no request running
    ftpInternalReady = 2,  // between two steps of a request
    ftpDnsLookup = 3,
    ftpConnected = 4,  // greeting accepted
    ftpAbort = 5,
    ftpInternalAbort = 6,  // never entered
    ftpWaitingBanner = 7,
    ftpWaitingResponse = 8
};

enum TFtpShareMode {
    ftpShareCompat = 0,
    ftpShareExclusive = 16,
    ftpShareDenyWrite = 32,
    ftpShareDenyRead = 48,
    ftpShareDenyNone = 64
};

enum TFtpOption { ftpAcceptLF = 1 };
using TFtpOptions = unsigned;  // a set of TFtpOption bits

// Steps of a multi-step request (bit numbers of the step set).
enum TFtpStep {
    stepOpen = 1,
    stepUser,
    stepPass,
    stepCwd,
    stepSize,
    stepMkd,
    stepRmd,
    stepRenFrom,
    stepRenTo,
    stepGet,
    stepDir,
    stepQuit,
    stepSyst,
    stepDele,
    stepPwd,
    stepQuote,
    stepPut,
    stepTypeSet,
    stepRest,
    stepCDup,
    stepLs,
    stepAppend,
    stepPort
};

class TCustomFtpClient;
using TFtpDisplay = std::function<void(TCustomFtpClient* Sender, std::string& Msg)>;
using TFtpCommand = std::function<void(TCustomFtpClient* Sender, std::string& Cmd)>;
using TFtpNotify = std::function<void(TCustomFtpClient* Sender)>;
using TFtpProgress = std::function<void(TCustomFtpClient* Sender, std::int64_t Count, bool& Abort)>;
using TFtpSessionEvent = std::function<void(TCustomFtpClient* Sender, std::uint16_t Error)>;
using TFtpRequestDone = std::function<void(TCustomFtpClient* Sender, TFtpRequest RqType, int Error)>;
using TFtpReadyToTransmit = std::function<void(TCustomFtpClient* Sender, bool& bCancel)>;
using TFtpBgException = std::function<void(TCustomFtpClient* Sender, const std::exception& E, bool& CanClose)>;

// Messages of the client's own hidden window.
constexpr UINT WM_FTP_REQUEST_DONE = WM_USER + 1;  // 1025, lParam = status
constexpr UINT WM_FTP_SENDDATA = WM_USER + 2;      // 1026, start sending a file

class TCustomFtpClient {
public:
    TCustomFtpClient();
    virtual ~TCustomFtpClient();
    TCustomFtpClient(const TCustomFtpClient&) = delete;
    TCustomFtpClient& operator=(const TCustomFtpClient&) = delete;

    // --- properties
    std::string HostName;
    std::string Port = "ftp";
    std::string UserName;
    std::string PassWord;
    std::string HostDirName;
    std::string HostFileName;
    std::string LocalFileName;  // also the raw command of a quote and the new name of RNTO
    TFtpShareMode ShareMode = ftpShareExclusive;
    TFtpOptions Options = ftpAcceptLF;
    bool DisplayFileFlag = false;

    bool Binary() const { return FType == 'I'; }
    void SetBinary(bool value) { FType = value ? 'I' : 'A'; }
    const std::string& ErrorMessage() const { return FErrorMessage; }
    const std::string& LastResponse() const { return FLastResponse; }
    const std::string& DirResult() const { return FDirResult; }
    std::int64_t SizeResult() const { return FSizeResult; }
    int StatusCode() const { return FStatusCode; }
    int RequestResult() const { return FRequestResult; }
    TFtpRequest RequestType() const { return FRequestType; }
    TFtpClientState State() const { return FState; }
    bool Connected() const;  // the control socket is not closed
    std::int64_t ByteCount() const { return FByteCount; }
    std::int64_t ResumeAt() const { return FResumeAt; }
    void SetResumeAt(std::int64_t position) { FResumeAt = position; }
    TAsyncSocket* ControlSocket() const { return FControlSocket.get(); }
    TAsyncSocket* DataSocket() const { return FDataSocket.get(); }

    // --- events
    TFtpDisplay OnDisplay;
    TFtpDisplay OnDisplayFile;
    TFtpCommand OnCommand;
    TFtpNotify OnResponse;
    TFtpProgress OnProgress;
    TFtpSessionEvent OnSessionConnected;
    TFtpSessionEvent OnSessionClosed;
    TFtpRequestDone OnRequestDone;
    TFtpNotify OnStateChange;
    TFtpReadyToTransmit OnReadyToTransmit;
    TFtpBgException OnBgException;

    // --- single-command requests
    void OpenAsync();
    void UserAsync();
    void PassAsync();
    void CwdAsync();
    void CDupAsync();
    void PwdAsync();
    void MkdAsync();
    void RmdAsync();
    void DeleAsync();
    void RenFromAsync();
    void RenToAsync();
    void SizeAsync();
    void SystAsync();
    void TypeSetAsync();
    void TypeBinaryAsync();  // Binary := true, then TYPE
    void TypeAsciiAsync();   // Binary := false, then TYPE
    void RestAsync();
    void QuoteAsync();
    void QuitAsync();
    void PortAsync();

    // --- multi-step requests
    void ConnectAsync();
    void ReceiveAsync();
    void TransmitAsync();
    void AppendFileAsync();  // a transmit that appends
    void PutAsync();
    void AppendAsync();
    void GetAsync();
    void RestGetAsync();
    void RestartGetAsync();
    void DirAsync();
    void LsAsync();
    void DirectoryAsync();
    void ListAsync();
    void SystemAsync();
    void MkdirAsync();
    void RmdirAsync();
    void DeleteAsync();
    void DoQuoteAsync();
    void RenameAsync();
    void RenAsync();
    void FileSizeAsync();  // a size query with log-in

    // Ends whatever runs: both connections closed, state ready. A request
    // that was running ends with 426.
    void Abort();

protected:
    using TReplyHandler = void (TCustomFtpClient::*)();
    using TRoutine = void (TCustomFtpClient::*)();

    static constexpr int ReceiveBufferSize = 4096;
    static constexpr int SendBlockSize = 1514;
    static constexpr int ReceivePieceSize = 2048;

    void StateChange(TFtpClientState newState);
    void Display(const std::string& text);
    void ExecAsync(TFtpRequest request, const std::string& command, std::initializer_list<int> okResponses,
                   TRoutine doneAsync);
    void SendCommand(const std::string& command);
    void HighLevelAsync(TFtpRequest request, std::uint32_t steps);
    void NextExecAsync();
    void FinishRequest(int status);
    void CheckReady();
    // Refuses (FtpException, ErrorMessage "501 <name> contains CR, LF or
    // NUL") an argument that would not stay one command line; checks
    // readiness first, so a refusal never touches a request that runs.
    void CheckArgument(const char* name, const std::string& value);
    // Refuses (FtpException with `text`; ErrorMessage "426 Session closed:
    // not connected to the server", result 426) a command without a session.
    void CheckConnected(const std::string& text);
    void SetErrorMessage();
    void DeriveResults(int step);
    void ExtractDirResult();
    void ExtractSizeResult();
    void QuitDone();
    // Closes the control connection ourselves (not a failure of the peer).
    void CloseControl();
    bool IsQuitting() const;

    // Replies
    void ControlDataAvailable(TCustomAsyncSocket* sender, std::uint16_t error);
    void HandleReplyLine(std::uint16_t error);
    // Shows the reply line and reads its code; false while the reply is not
    // complete (no code, or a line inside a multi-line reply).
    bool TakeReplyLine(int& code);
    void StandardReply();

    // Control connection events
    void ControlDnsLookupDone(TCustomAsyncSocket* sender, std::uint16_t error);
    void ControlSessionConnected(TCustomAsyncSocket* sender, std::uint16_t error);
    void ControlSessionClosed(TCustomAsyncSocket* sender, std::uint16_t error);
    void FailRequest(int status, const std::string& text);
    // "500 <error text> (Winsock error #<n>)", the reply text of a network failure.
    static std::string WinsockFailureText(int error);

    // Data transfers (FtpTransfer.cpp)
    void DoPortAsync();
    void DoPutAppendAsync(bool append);
    void DoGetAsync(TFtpRequest request, const std::string& command);
    void PrepareDataSocket();
    void DataSocketAccept(TCustomAsyncSocket* sender, std::uint16_t error);
    // Takes an accepted caller as the data connection, or closes it when it
    // is not the server; INVALID_SOCKET (a failed accept) ends the listening.
    void TakeDataCaller(TSocket handle);
    // Takes a caller still waiting to be accepted; true once connected.
    bool TakeWaitingDataCaller();
    void BindDataEvents();
    void UnbindDataEvents();
    // The control connection's peer, or through SOCKS also the server's own
    // address; false (logged) for any other caller.
    bool FromServer(TSocket handle);
    void DataSocketSessionClosed(TCustomAsyncSocket* sender, std::uint16_t error);
    void DataSocketDataSent(TCustomAsyncSocket* sender, std::uint16_t error);
    void DataSocketDiscard(TCustomAsyncSocket* sender, std::uint16_t error);
    void DataSocketReceive(TCustomAsyncSocket* sender, std::uint16_t error);
    void SendNextBlock(std::uint16_t error);
    void StartSending();
    void StorReply();
    void StorFinalReply();
    void GetFirstReply();
    void GetFinalReply();
    // The server refused to start a transfer: the data connection and the
    // local stream go, the resume point is forgotten, the request ends.
    void TransferRefused(int code);
    // A started transfer ended with a failure reply; display is the line shown.
    void FinalReplyFailed(int code, const std::string& display);
    // A 226 or 250 (125 too for a receive): fails at once when no data
    // connection was accepted, else ends the transfer once its data is done.
    void FinalReplyArrived();
    void TransferEndIfDone();
    // An upload the server confirmed counts as sent only when its data
    // connection ended cleanly: the kept handle shows no error and every
    // byte, its end included, acknowledged. Unacknowledged bytes get a short
    // wait (FinalAckWait ms) unless the peer has ended its side. False while
    // waiting; a connection that did not end cleanly fails the transfer.
    bool UploadEndSettled();
    static constexpr unsigned FinalAckWait = 10000;  // a lost acknowledgement resent twice over a slow link
    static constexpr unsigned FinalAckPoll = 20;
    // A failure met by the transfer (the network, the peer); a reply the
    // server sends for its own reason still decides the step.
    void TransferFailed(int status, const std::string& text);
    // A stop of the client's own (the progress callback, a local read or
    // write error): the server's answer to it does not replace it.
    void TransferStopped(int status, const std::string& text);
    void DeliverDisplayLines(const std::uint8_t* data, std::size_t count);
    void ShowStatistics();
    // The data connection ends short of a transfer's success (a failure, a
    // stop, a time-out). An upload's is reset, mid-file and after the last
    // block alike: closed in order, it would go on sending what the system
    // holds and end like a whole file, so the server would store a cut file
    // as complete. Its events still report the end.
    void BreakDataConnection();
    // Ends the data connection (broken off, as above) with its events unbound:
    // nothing of the transfer may react to it any more.
    void CloseDataSocket();
    void FreeStream();
    virtual bool ProgressCheck();  // false when the transfer must stop
    // Watching an upload's bytes on their way to the server: every
    // DataWatchInterval ms while it runs, DataMoved when the server's side
    // acknowledged more than at the last look.
    static constexpr WPARAM DataWatchTimer = 1;
    static constexpr unsigned DataWatchInterval = 250;
    // Bytes of the running upload the server's side acknowledged: those put
    // on the data connection minus what the system still holds for it; -1
    // without an upload connection to look at.
    std::int64_t AcknowledgedBytes() const;
    void WatchData();
    virtual void DataMoved() {}
    // Keeps a second handle on the data connection that closes at the end of
    // the file, whose buffer the system still sends from.
    void KeepDrainHandle();
    // Stops watching and lets the second handle go (a failed upload's was
    // broken off before).
    void EndDataWatch();

    // Hidden window
    void WndProc(TMessage& msg);
    void HandleBackgroundError(const std::exception& e);

    HWND FWindowHandle = 0;
    std::unique_ptr<TAsyncSocket> FControlSocket;
    std::unique_ptr<TAsyncSocket> FDataSocket;
    TFtpClientState FState = ftpReady;
    TFtpRequest FRequestType = ftpNone;
    char FType = 'I';
    int FStatusCode = 0;
    int FRequestResult = 0;
    std::string FLastResponse;
    std::string FErrorMessage;
    std::string FDirResult;
    std::int64_t FSizeResult = 0;
    std::uint32_t FFctSet = 0;    // steps still to run
    int FFctPrv = 0;              // the step that ran last
    int FHighLevelResult = 0;     // the result carried through the steps
    bool FHighLevelFlag = false;  // a multi-step request runs
    std::string FLastResponseSave;
    int FStatusCodeSave = -1;
    bool FConnected = false;
    std::array<char, ReceiveBufferSize> FReceiveBuffer{};
    int FReceiveLen = 0;
    bool FSkippingLongLine = false;  // dropping the rest of an over-long reply line
    int FMultiLineCode = 0;          // code of the multi-line reply being read (0 = none)
    std::vector<int> FOkResponses;   // empty: any code below 500
    TReplyHandler FNext = nullptr;
    TRoutine FDoneAsync = nullptr;
    TRoutine FNextRequest = nullptr;
    bool FRequestDoneFlag = false;
    bool FClosingControl = false;  // we close the control connection on purpose

    // Transfer fields
    std::unique_ptr<TStream> FLocalStream;
    std::int64_t FByteCount = 0;
    std::int64_t FResumeAt = 0;
    std::uint64_t FStartTime = 0;
    std::uint64_t FStopTime = 0;
    bool FSending = false;           // the transfer running sends a file
    bool FTransferRunning = false;   // a transfer step waits for its end
    bool FPutSessionOpened = false;  // the server accepted the transfer command
    bool FDataConnected = false;     // the data connection is established
    bool FEofFlag = false;           // the local file is exhausted
    bool FStorAnswerRcvd = false;    // the final reply arrived
    bool FDataClosed = false;        // the data connection closed
    bool FSendStarted = false;
    int FDataCloseError = 0;
    std::int64_t FDataBytesOut = 0;  // bytes the data connection put on the network
    TSocketDrain FDrain;             // see KeepDrainHandle
    std::int64_t FAckedSeen = -1;    // AcknowledgedBytes at the last look
    int FTransferError = 0;          // a failure of the transfer (0 = none)
    bool FTransferStopped = false;   // that failure is a stop of the client's own
    std::string FTransferErrorText;
    std::uint64_t FAckWaitEnd = 0;  // waiting for the last acknowledgement until then (0 = not)
    std::string FDataCommand;       // "RETR", "LIST", "NLST"
    std::vector<std::uint8_t> FSendBuffer = std::vector<std::uint8_t>(SendBlockSize);
    std::string FDisplayLine;  // partial line for OnDisplayFile
};

class TFtpClient : public TCustomFtpClient {
public:
    int Timeout = 15;  // seconds; 0 or less = no limit
    bool MultiThreaded = false;

    // Blocking calls: start the request, then wait; true when it ended with 0.
    bool Connect();
    bool Cwd();
    bool Pwd();
    bool TypeSet();
    bool Put();
    bool Mkd();
    bool Quit();
    // Starts `start` and waits for its request like the calls above.
    bool Synchronize(const std::function<void()>& start);

protected:
    bool ProgressCheck() override;
    void DataMoved() override;  // moves the deadline
    bool WaitUntilReady();

    std::uint64_t FTimeStop = 0;  // deadline, GetTickCount64 milliseconds
};
