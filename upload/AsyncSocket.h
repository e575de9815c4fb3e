#pragma once
// The asynchronous TCP/UDP socket of the upload: it never blocks the window
// thread. Network events arrive as messages to a hidden message target that
// every socket owns (platform/messages), host names are resolved by
// asynchronous look-ups, and outgoing data is queued in memory and sent as
// the network accepts it.
//
// Layers: TCustomAsyncSocket (the socket) <- TCustomSocksSocket (SOCKS 4,
// 4A, 5 client) <- TCustomLineSocket (line mode) <- TCustomSyncSocket
// (waiting) <- TAsyncSocket (the class users create).
//
// Properties are read with X() and written with SetX(); events are public
// std::function members, each called with the socket as Sender.

#include "platform/core/Exception.h"
#include "platform/messages/Messages.h"
#include "platform/sockets/WinSock.h"
#include "upload/SocketBuffers.h"

#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using TSocket = winsock::SOCKET;
constexpr TSocket INVALID_SOCKET = winsock::INVALID_SOCKET;

// Messages of the hidden window.
constexpr UINT WM_ASYNCSELECT = WM_USER + 1;              // 1025 select notification
constexpr UINT WM_ASYNCGETHOSTBYNAME = WM_USER + 2;       // 1026 host-name look-up done
constexpr UINT WM_ASYNCGETHOSTBYADDR = WM_USER + 3;       // 1027 address look-up done
constexpr UINT WM_CLOSE_DELAYED = WM_USER + 4;            // 1028 Close later
constexpr UINT WM_FREE_DELAYED = WM_USER + 5;             // 1029 free later
constexpr UINT WM_TRIGGER_DATA_AVAILABLE = WM_USER + 20;  // 1044 line mode changed

class ESocketException : public Exception {
public:
    using Exception::Exception;
};

enum TSocketState {
    wsInvalidState = 0,
    wsOpened,
    wsBound,
    wsConnecting,
    wsConnected,
    wsAccepting /* never entered */,
    wsListening,
    wsClosed
};
enum TSocketLingerOnOff { wsLingerOff, wsLingerOn, wsLingerNoSet };
enum TSocketSendFlags { wsSendNormal = 0, wsSendUrgent = 1 };
enum TSocksAuthentication { socksNoAuthentication, socksAuthenticateUsercode };
enum TSocksAuthState { socksAuthStart = 0, socksAuthSuccess, socksAuthFailure, socksAuthNotRequired };

class TCustomAsyncSocket;
using TSessionEvent = std::function<void(TCustomAsyncSocket* Sender, std::uint16_t Error)>;
using TDataAvailable = TSessionEvent;
using TDnsLookupDone = TSessionEvent;
using TSendData = std::function<void(TCustomAsyncSocket* Sender, int BytesSent)>;
using TChangeState = std::function<void(TCustomAsyncSocket* Sender, TSocketState OldState, TSocketState NewState)>;
// Named apart from the window layer's TNotifyEvent (a component sender), so
// both layers can meet in one translation unit.
using TSocketNotifyEvent = std::function<void(TCustomAsyncSocket* Sender)>;
using TBgException = std::function<void(TCustomAsyncSocket* Sender, const std::exception& E, bool& CanClose)>;
using TSocksErrorEvent = std::function<void(TCustomAsyncSocket* Sender, int Error, const std::string& Msg)>;
using TSocksAuthStateEvent = std::function<void(TCustomAsyncSocket* Sender, TSocksAuthState AuthState)>;

// "Error text" of a WinSock error number ("Connection refused", ...).
std::string SocketErrorDesc(int error);
// Address as a 32-bit number in network order; raises ESocketException.
std::uint32_t SocketResolveHost(const std::string& text);
// Port number in host order; raises ESocketException.
int SocketResolvePort(const std::string& text, const std::string& proto);
// Protocol number; raises ESocketException.
int SocketResolveProto(const std::string& text);
// Live socket objects (the library is loaded while this is above 0).
int LiveSocketCount();
// Bytes sent on a TCP handle that the peer has not acknowledged yet
// (SIOCOUTQ); -1 when the system cannot tell.
int SocketUnsentCount(TSocket handle);

// A second handle on a connection, kept after the socket object has closed its
// own: the system still sends what it holds, and that stays in sight
// (SocketUnsentCount). Closing it can reset the connection instead.
class TSocketDrain {
public:
    TSocketDrain() = default;
    // Takes a duplicate of handle; none when handle is INVALID_SOCKET.
    explicit TSocketDrain(TSocket handle);
    ~TSocketDrain() { Close(false); }
    TSocketDrain(TSocketDrain&& other) noexcept : handle_(other.handle_), error_(other.error_)
    {
        other.handle_ = INVALID_SOCKET;
    }
    TSocketDrain& operator=(TSocketDrain&& other) noexcept;
    TSocketDrain(const TSocketDrain&) = delete;
    TSocketDrain& operator=(const TSocketDrain&) = delete;

    TSocket Handle() const { return handle_; }
    // With resetIfUnsent, a connection that still holds unacknowledged bytes
    // is reset rather than left to send them.
    void Close(bool resetIfUnsent);

    // How the connection stands at its end, as far as this handle shows.
    struct TEnd {
        int Error = 0;            // the error it ended with (a reset), as a WinSock number
        int Unacknowledged = -1;  // bytes the peer has not acknowledged, the end included; -1 unknown
        bool PeerEnded = false;   // the peer ended its side, or the connection is gone
    };
    // The system reports an error once; it is kept here from then on.
    TEnd End();

private:
    TSocket handle_ = INVALID_SOCKET;
    int error_ = 0;
};

class TCustomAsyncSocket {
public:
    TCustomAsyncSocket();
    virtual ~TCustomAsyncSocket();
    TCustomAsyncSocket(const TCustomAsyncSocket&) = delete;
    TCustomAsyncSocket& operator=(const TCustomAsyncSocket&) = delete;

    // --- operations
    virtual void Connect();
    virtual void Listen();
    virtual void Close();  // CloseSocket(true, 0)
    void PostClose();      // Close when message 1028 arrives
    void PostFree();       // delete this on message 1029 (only for
                           // sockets created with new that nobody owns)
    virtual void Abort();
    // Ends a connected stream so that the peer sees it broken (a reset),
    // never its orderly end: the send queue and what the system still holds
    // are dropped. Any other socket is closed as by Abort.
    void ResetConnection();
    void Flush();  // pumps until the queue is sent or the socket gone
    void WaitForClose();
    TSocket Accept();          // handle of the incoming connection or -1
    void Dup(TSocket handle);  // take over an accepted handle
    void Shutdown(int how);
    void Pause();
    void Resume();

    int Send(const void* data, int len);  // len or -1
    int SendText(const std::string& text);
    int SendTo(const sockaddr_in& to, const void* data, int len);
    int Receive(void* buffer, int size);  // count, 0 at end, or -1 (LastError())
    std::string ReceiveText();
    int ReceiveFrom(void* buffer, int size, sockaddr_in& from);

    void DnsLookup(const std::string& hostName);
    void ReverseDnsLookup(const std::string& addressText);
    void CancelDnsLookup();

    std::string PeerAddress();  // "error" when not connected
    std::string PeerPortText();
    // The read-only properties over the two queries above.
    std::string PeerAddr() { return PeerAddress(); }
    std::string PeerPort() { return PeerPortText(); }
    int PeerSockAddr(sockaddr_in& address);   // 0 or -1
    int LocalSockAddr(sockaddr_in& address);  // 0 or -1
    std::string LocalPortText();              // "error" unless bound, connected or listening

    void PumpMessages();  // processes pending messages once

    // --- properties
    const std::string& Addr() const { return FAddrStr; }
    void SetAddr(const std::string& value);
    const std::string& Port() const { return FPortStr; }
    void SetPort(const std::string& value);
    const std::string& Proto() const { return FProtoStr; }
    void SetProto(const std::string& value);
    const std::string& LocalAddr() const { return FLocalAddr; }
    void SetLocalAddr(const std::string& value);
    const std::string& LocalPort() const { return FLocalPortStr; }
    void SetLocalPort(const std::string& value);
    TSocketLingerOnOff LingerOnOff() const { return FLingerOnOff; }
    void SetLingerOnOff(TSocketLingerOnOff value) { FLingerOnOff = value; }
    int LingerTimeout() const { return FLingerTimeout; }
    void SetLingerTimeout(int seconds) { FLingerTimeout = seconds; }
    TSocketSendFlags SendFlags() const { return static_cast<TSocketSendFlags>(FSendFlags); }
    void SetSendFlags(TSocketSendFlags value);
    bool MultiThreaded() const { return FMultiThreaded; }
    void SetMultiThreaded(bool value) { FMultiThreaded = value; }
    int FlushTimeout() const { return FFlushTimeout; }
    void SetFlushTimeout(int seconds) { FFlushTimeout = seconds; }

    int LastError() const { return FLastError; }
    long ReadCount() const { return FReadCount; }
    int RcvdCount();  // bytes waiting (-1 on failure)
    const std::string& DnsResult() const { return FDnsResult; }
    const std::vector<std::string>& DnsResultList() const { return FDnsResultList; }
    TSocketState State() const { return FState; }
    TSocket HSocket() const { return FHSocket; }
    HWND Handle() const { return FWindowHandle; }
    bool AllSent() const { return FAllSent; }
    int BufferedByteCount() const;  // bytes in the send queue

    // --- events
    TDataAvailable OnDataAvailable;
    TSessionEvent OnDataSent;
    TSessionEvent OnSessionClosed;
    TSessionEvent OnSessionAvailable;
    TSessionEvent OnSessionConnected;
    TDnsLookupDone OnDnsLookupDone;
    TSendData OnSendData;
    TChangeState OnChangeState;
    TSocketNotifyEvent OnError;
    TBgException OnBgException;
    TSocketNotifyEvent OnLineTooLong;

protected:
    // The hidden window's message handler.
    virtual void WndProc(TMessage& msg);
    virtual void ResetDefaults();
    void CloseSocket(bool shut, int error);
    virtual int GetRcvdCount();
    void BindLocal();
    int SendRaw(const void* data, int len);
    void RaiseException(const std::string& text);  // OnError or ESocketException
    void RaiseSocketError(const std::string& operation);
    void HandleBackgroundError(const std::exception& e);
    virtual bool TriggerDataAvailable(std::uint16_t error);  // true when a handler exists
    virtual void TriggerSessionAvailable(std::uint16_t error);
    virtual void TriggerSessionConnected(std::uint16_t error);
    virtual void TriggerSessionClosed(std::uint16_t error);
    virtual void TriggerDataSent(std::uint16_t error);
    virtual void TriggerChangeState(TSocketState oldState, TSocketState newState);
    virtual void TriggerDnsLookupDone(std::uint16_t error);
    virtual void TriggerError();
    virtual int RecvRaw(void* buffer, int size, int flags);  // the raw receive
    int RecvFromRaw(void* buffer, int size, int flags, sockaddr_in& from);
    void ChangeState(TSocketState newState);
    void TryToSend();
    void ReceiveLoop(std::uint16_t error);  // the receive loop of read/close events
    void DeleteBufferedData();
    // Every connection (connected, listening or taken over) starts with
    // nothing queued and its close not yet reported, whatever the last
    // connection of this object left behind.
    void BeginConnection();
    void SetLingerOption();
    void DoConnect();  // the base connect, for the SOCKS layer
    void DoListen();
    // Resolves what is not yet resolved of the protocol, the port (with
    // localPort, the local port too) and the address, in that order; a name
    // that cannot be resolved raises ESocketException for the caller to report.
    void ResolveAssigned(bool localPort);
    // Addr, Port and Proto: changed only while closed (else "Cannot change
    // <property> if not closed"); a new text must be resolved again.
    // The start of both look-ups: an invalid request ends at once like a failed
    // look-up (false); a valid one cancels the look-up still running and
    // forgets the last results (true).
    bool BeginLookup(bool valid);
    // Raises "<what>: can't start DNS lookup, error #n" when no look-up was started.
    void CheckLookupStarted(const std::string& what);
    void SetEndpointText(const char* property, const std::string& value, std::string& text, bool& assigned,
                         bool& resolved);
    bool IsBeingDestroyed() const { return FDestroying; }

    // Socket data (the upper layers use them).
    TSocket FHSocket = INVALID_SOCKET;
    HWND FWindowHandle = 0;
    std::string FAddrStr, FPortStr, FProtoStr = "tcp";
    bool FAddrAssigned = false, FPortAssigned = false, FProtoAssigned = true;
    bool FAddrResolved = false, FPortResolved = false, FProtoResolved = false;
    bool FLocalPortResolved = false;
    sockaddr_in FSin{};
    int FPortNum = 0;
    int FProto = 6;
    int FType = SOCK_STREAM;
    std::string FLocalAddr = "0.0.0.0";
    std::string FLocalPortStr = "0";
    int FLocalPortNum = 0;
    TSocketLingerOnOff FLingerOnOff = wsLingerOn;
    int FLingerTimeout = 0;
    int FSendFlags = 0;
    int FLastError = 0;
    long FReadCount = 0;
    std::string FDnsResult;
    std::vector<std::string> FDnsResultList;
    winsock::AsyncHandle FDnsLookupHandle = 0;
    bool FMultiThreaded = false;
    int FFlushTimeout = 60;
    TSocketState FState = wsClosed;
    std::deque<std::unique_ptr<TBuffer>> FBufList;
    int FBufSize = TBuffer::DefaultSize;
    bool FAllSent = true;
    bool FPaused = false;
    bool FCloseInvoked = false;
    bool FDestroying = false;
};

// The background-error rule of sockets and FTP clients: the OnBgException
// handler may keep the object open; otherwise it is aborted. Neither the
// handler nor the abort may raise out of a message handler, so their own
// errors are dropped.
template <class Owner>
void HandleBackgroundErrorOf(Owner& owner, const std::exception& e)
{
    bool canClose = true;
    if (owner.OnBgException) {
        try {
            owner.OnBgException(&owner, e, canClose);
        } catch (...) {
        }
    }
    if (canClose) {
        try {
            owner.Abort();
        } catch (...) {
        }
    }
}

class TCustomSocksSocket : public TCustomAsyncSocket {
public:
    TCustomSocksSocket();
    void Connect() override;
    void Listen() override;

    const std::string& SocksServer() const { return FSocksServer; }
    void SetSocksServer(const std::string& value);
    const std::string& SocksPort() const { return FSocksPort; }
    void SetSocksPort(const std::string& value);
    const std::string& SocksLevel() const { return FSocksLevel; }
    void SetSocksLevel(const std::string& value);
    const std::string& SocksUsercode() const { return FSocksUsercode; }
    void SetSocksUsercode(const std::string& value) { FSocksUsercode = value; }
    const std::string& SocksPassword() const { return FSocksPassword; }
    void SetSocksPassword(const std::string& value) { FSocksPassword = value; }
    TSocksAuthentication SocksAuthentication() const { return FSocksAuthentication; }
    void SetSocksAuthentication(TSocksAuthentication value) { FSocksAuthentication = value; }
    // Address and port that a SOCKS 5 proxy reported as bound.
    const std::string& BoundAddr() const { return FBoundAddr; }
    const std::string& BoundPort() const { return FBoundPort; }

    TSessionEvent OnSocksConnected;
    TSocksErrorEvent OnSocksError;
    TSocksAuthStateEvent OnSocksAuthState;

protected:
    // Largest reply a proxy can send: SOCKS 5 with a 255-byte name.
    static constexpr int SocksReplyCapacity = 4 + 1 + 255 + 2;

    virtual void TriggerSocksConnected(std::uint16_t error);
    virtual void TriggerSocksError(int error, const std::string& msg);
    void TriggerSocksAuthState(TSocksAuthState state);
    bool SocksNegotiating() const { return FSocksState != 0; }
    void ResetDefaults() override;
    int GetRcvdCount() override;
    int RecvRaw(void* buffer, int size, int flags) override;
    bool TriggerDataAvailable(std::uint16_t error) override;
    void TriggerSessionConnected(std::uint16_t error) override;
    void TriggerSessionClosed(std::uint16_t error) override;

private:
    void ResetSocks();
    void SocksDoConnect();
    void SocksDoAuthenticate();
    void SocksError(int error, const std::string& msg);
    void SocksConnected(int replyLength);
    int ReadReply();  // reads into the reply area; bytes read or -1
    void ConsumeReply(int length);
    void SocksMethodReply();
    void SocksAuthReply();
    void SocksConnectReply();
    int FSocksDestPort = 0;  // the real destination, behind the proxy

    std::string FSocksServer, FSocksPort, FSocksLevel = "5";
    bool FSocksServerAssigned = false, FSocksPortAssigned = false;
    std::string FSocksUsercode, FSocksPassword;
    TSocksAuthentication FSocksAuthentication = socksNoAuthentication;
    int FSocksState = 0;  // 0 none, 1 method reply / connecting, 2 auth, 3 connect reply
    std::vector<std::uint8_t> FRcvBuf = std::vector<std::uint8_t>(SocksReplyCapacity);
    int FRcvCnt = 0;
    int FSocksMethod = 0;
    int FSocksRcvdCnt = 0;  // data bytes that arrived behind the proxy's reply
    int FSocksRcvdPtr = 0;
    std::string FBoundAddr, FBoundPort;
};

class TCustomLineSocket : public TCustomSocksSocket {
public:
    TCustomLineSocket();

    bool LineMode() const { return FLineMode; }
    void SetLineMode(bool value);
    const std::string& LineEnd() const { return FLineEnd; }
    void SetLineEnd(const std::string& value) { FLineEnd = value; }
    bool LineEcho() const { return FLineEcho; }
    void SetLineEcho(bool value) { FLineEcho = value; }
    bool LineEdit() const { return FLineEdit; }
    void SetLineEdit(bool value) { FLineEdit = value; }
    // Longest line held while waiting for its end; a longer one is handed
    // out in pieces of this size after OnLineTooLong (default 65536).
    int LineLimit() const { return FLineLimit; }
    void SetLineLimit(int bytes) { FLineLimit = bytes > 0 ? bytes : 1; }
    int LineLength() const { return FLineLength; }
    // Bytes received and held in the line buffer (lines not yet read).
    int LineBufferedCount() const { return static_cast<int>(FRcvdPtr.size()); }

protected:
    void WndProc(TMessage& msg) override;
    void ResetDefaults() override;
    int GetRcvdCount() override;
    int RecvRaw(void* buffer, int size, int flags) override;
    bool TriggerDataAvailable(std::uint16_t error) override;
    void TriggerSessionClosed(std::uint16_t error) override;
    virtual void EditLine(std::size_t oldCount);

private:
    void DeliverLines(std::size_t oldCount);
    bool HandOutLine(std::size_t length, std::uint16_t error);

    bool FLineMode = false;
    std::string FLineEnd = "\r\n";
    bool FLineEcho = false;
    bool FLineEdit = false;
    int FLineLimit = 65536;
    std::string FRcvdPtr;  // received bytes not yet handed out
    int FLineLength = 0;   // length of the ready line, 0 = none
    bool FLineReceivedFlag = false;
};

class TCustomSyncSocket : public TCustomLineSocket {
public:
    // 0 when the flag became true; 12001 when the application is
    // terminating (RequestTermination).
    int WaitForFlag(const bool& flag);
    int RunAndWait(bool& flag, const std::function<void()>& routine);
};

class TAsyncSocket : public TCustomSyncSocket {};
