// The base asynchronous socket: state, send queue, select notifications,
// closing and the WinSock error reporting.
#include "upload/AsyncSocket.h"
#include "upload/AsyncSocketDetail.h"
#include "platform/core/Integers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

using namespace asyncsocket_detail;

namespace {
int gLiveSockets = 0;
bool gLibraryLoaded = false;

// Lingering on with a time of 0: the last close of the connection resets it
// and drops what the system still holds for it, instead of sending it on.
void ResetOnClose(TSocket handle)
{
    const linger abortive{1, 0};
    ::setsockopt(handle, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
}
}  // namespace

namespace asyncsocket_detail {

void EnsureWinSock()
{
    if (gLibraryLoaded) return;
    int rc = winsock::WSAStartup(0x0101);
    if (rc != 0) throw ESocketException("WinSock: WSAStartup error #" + std::to_string(rc));
    gLibraryLoaded = true;
}

void UnloadWinSock()
{
    if (!gLibraryLoaded) return;
    winsock::WSACleanup();
    gLibraryLoaded = false;
}

bool LooksDotted(const std::string& text)
{
    int dots = 0;
    for (char c : text) {
        if (c == '.')
            ++dots;
        else if (c < '0' || c > '9')
            return false;
    }
    return dots == 3;
}

long ReadDecimal(const std::string& text, long limit)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    std::uint64_t value = 0;
    if (!ReadDecimalDigits(text, i, static_cast<std::uint64_t>(limit), value)) return -1;
    return static_cast<long>(value);
}

}  // namespace asyncsocket_detail

std::string SocketErrorDesc(int error) { return winsock::WinSockErrorText(error); }

std::uint32_t SocketResolveHost(const std::string& text)
{
    if (text.empty() || text.size() > 256)
        throw ESocketException("SocketResolveHost: '" + text + "' Invalid Hostname.");
    std::string name = Trim(text);
    if (LooksDotted(name)) {
        std::uint32_t address = winsock::inet_addr(name);
        if (address == INADDR_NONE && name != "255.255.255.255")
            throw ESocketException("SocketResolveHost: '" + text + "' Invalid IP address.");
        return address;
    }
    std::vector<std::uint32_t> addresses;
    if (name.empty() || !winsock::gethostbyname(name, addresses))
        throw ESocketException("SocketResolveHost: Cannot convert host address '" + text + "'");
    return addresses.front();
}

int SocketResolvePort(const std::string& text, const std::string& proto)
{
    if (text.empty() || text.size() >= 32) throw ESocketException("SocketResolvePort: Invalid Port.");
    if (text[0] >= '0' && text[0] <= '9') {
        long port = ReadDecimal(text, 65535);
        if (port < 0) throw ESocketException("SocketResolvePort: Invalid Port.");
        return static_cast<int>(port);
    }
    int port = winsock::getservbyname(text, proto);
    if (port < 0) throw ESocketException("SocketResolvePort: Cannot convert port '" + text + "'");
    return port;
}

int SocketResolveProto(const std::string& text)
{
    if (text.empty() || text.size() >= 32) throw ESocketException("SocketResolveProto: Invalid Protocol.");
    if (text[0] >= '0' && text[0] <= '9') {
        long proto = ReadDecimal(text, 255);
        if (proto < 0) throw ESocketException("SocketResolveProto: Invalid Protocol.");
        return static_cast<int>(proto);
    }
    int proto = winsock::getprotobyname(text);
    if (proto < 0) throw ESocketException("SocketResolveProto: Cannot convert protocol '" + text + "'");
    return proto;
}

int LiveSocketCount() { return gLiveSockets; }

int SocketUnsentCount(TSocket handle)
{
    int count = 0;
    if (handle == INVALID_SOCKET || ::ioctl(handle, SIOCOUTQ, &count) != 0) return -1;
    return count;
}

TSocketDrain::TSocketDrain(TSocket handle)
    : handle_(handle == INVALID_SOCKET ? INVALID_SOCKET : ::fcntl(handle, F_DUPFD_CLOEXEC, 0))
{
}

TSocketDrain& TSocketDrain::operator=(TSocketDrain&& other) noexcept
{
    if (this != &other) {
        Close(false);
        handle_ = other.handle_;
        error_ = other.error_;
        other.handle_ = INVALID_SOCKET;
    }
    return *this;
}

TSocketDrain::TEnd TSocketDrain::End()
{
    TEnd end;
    if (handle_ == INVALID_SOCKET) return end;
    int error = 0;
    socklen_t length = sizeof error;
    if (error_ == 0 && ::getsockopt(handle_, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error != 0)
        error_ = winsock::ErrnoToWinSock(error);
    end.Error = error_;
    end.Unacknowledged = SocketUnsentCount(handle_);
    tcp_info info{};
    length = sizeof info;
    if (::getsockopt(handle_, IPPROTO_TCP, TCP_INFO, &info, &length) == 0) {
        // Closed is also where a connection ended in order on both sides
        // goes, then with nothing unacknowledged.
        const int state = info.tcpi_state;
        end.PeerEnded = state == TCP_CLOSING || state == TCP_CLOSE_WAIT || state == TCP_LAST_ACK || state == TCP_CLOSE;
    }
    return end;
}

void TSocketDrain::Close(bool resetIfUnsent)
{
    if (handle_ == INVALID_SOCKET) return;
    if (resetIfUnsent && SocketUnsentCount(handle_) > 0) ResetOnClose(handle_);
    ::close(handle_);
    handle_ = INVALID_SOCKET;
}

// --- life

TCustomAsyncSocket::TCustomAsyncSocket()
{
    FWindowHandle = AllocateHWnd([this](TMessage& msg) {
        try {
            WndProc(msg);
        } catch (const std::exception& e) {
            HandleBackgroundError(e);
        }
    });
    ++gLiveSockets;
    TCustomAsyncSocket::ResetDefaults();
}

TCustomAsyncSocket::~TCustomAsyncSocket()
{
    FDestroying = true;
    try {
        CancelDnsLookup();
    } catch (...) {
    }
    if (FState != wsClosed || FHSocket != INVALID_SOCKET) {
        try {
            CloseSocket(false, 0);
        } catch (...) {
        }
        if (FHSocket != INVALID_SOCKET) {  // a listener closed before it was bound
            winsock::closesocket(FHSocket);
            FHSocket = INVALID_SOCKET;
        }
    }
    if (--gLiveSockets < 1) UnloadWinSock();
    DeallocateHWnd(FWindowHandle);
}

void TCustomAsyncSocket::ResetDefaults()
{
    FSin = sockaddr_in{};
    FSin.sin_family = AF_INET;
    FAddrResolved = FPortResolved = FLocalPortResolved = FProtoResolved = false;
    FAddrAssigned = FPortAssigned = false;
    FProtoAssigned = true;
    FProtoStr = "tcp";
    FProto = 6;
    FType = SOCK_STREAM;
    FLocalPortStr = "0";
    FLocalAddr = "0.0.0.0";
    FLingerOnOff = wsLingerOn;
    FLingerTimeout = 0;
    FHSocket = INVALID_SOCKET;
    FState = wsClosed;
    FAllSent = true;
    FPaused = false;
    FReadCount = 0;
    FCloseInvoked = false;
    FFlushTimeout = 60;
}

// --- properties

void TCustomAsyncSocket::SetEndpointText(const char* property, const std::string& value, std::string& text,
                                         bool& assigned, bool& resolved)
{
    if (FState != wsClosed) {
        RaiseException(std::string("Cannot change ") + property + " if not closed");
        return;
    }
    std::string trimmed = Trim(value);
    if (assigned && trimmed == text) return;
    text = trimmed;
    assigned = !trimmed.empty();
    resolved = false;
}

void TCustomAsyncSocket::SetAddr(const std::string& value)
{
    SetEndpointText("Addr", value, FAddrStr, FAddrAssigned, FAddrResolved);
}

void TCustomAsyncSocket::SetPort(const std::string& value)
{
    SetEndpointText("Port", value, FPortStr, FPortAssigned, FPortResolved);
}

void TCustomAsyncSocket::SetProto(const std::string& value)
{
    SetEndpointText("Proto", value, FProtoStr, FProtoAssigned, FProtoResolved);
}

void TCustomAsyncSocket::SetLocalAddr(const std::string& value)
{
    if (FState != wsClosed) {
        RaiseException("Cannot change LocalAddr if not closed");
        return;
    }
    std::string text = Trim(value);
    if (text.empty()) text = "0.0.0.0";
    std::uint32_t address = winsock::inet_addr(text);
    if (address == INADDR_NONE && text != "255.255.255.255") {
        RaiseException("SetLocalAddr(): Invalid IP address");
        return;
    }
    FLocalAddr = winsock::inet_ntoa(address);
}

void TCustomAsyncSocket::SetLocalPort(const std::string& value)
{
    if (FState != wsClosed) {
        RaiseException("Cannot change LocalPort if not closed");
        return;
    }
    FLocalPortStr = Trim(value);
    FLocalPortResolved = false;
}

void TCustomAsyncSocket::SetSendFlags(TSocketSendFlags value)
{
    int flags = static_cast<int>(value);
    if (flags != wsSendNormal && flags != wsSendUrgent) {
        RaiseException("Invalid SendFlags");
        return;
    }
    FSendFlags = flags;
}

int TCustomAsyncSocket::RcvdCount() { return GetRcvdCount(); }

int TCustomAsyncSocket::GetRcvdCount()
{
    if (FHSocket == INVALID_SOCKET) return 0;
    unsigned long count = 0;
    if (winsock::ioctlsocket(FHSocket, winsock::FIONREAD_WS, &count) == winsock::SOCKET_ERROR) {
        RaiseSocketError("ioctlSocket");
        return -1;
    }
    return static_cast<int>(std::min<unsigned long>(count, 0x7FFFFFFF));
}

int TCustomAsyncSocket::BufferedByteCount() const
{
    int total = 0;
    for (const auto& block : FBufList) total += block->WrCount() - block->RdCount();
    return total;
}

// --- errors

void TCustomAsyncSocket::RaiseException(const std::string& text)
{
    if (OnError)
        TriggerError();
    else
        throw ESocketException(text);
}

void TCustomAsyncSocket::RaiseSocketError(const std::string& operation)
{
    int error = winsock::WSAGetLastError();
    std::string text = "Error " + std::to_string(error) + " in function " + operation + "\r\n" + SocketErrorDesc(error);
    if (error == winsock::WSAECONNRESET || error == winsock::WSAENOTCONN) {
        if (FHSocket != INVALID_SOCKET) winsock::closesocket(FHSocket);
        FHSocket = INVALID_SOCKET;
        if (FState != wsClosed) ChangeState(wsClosed);
    }
    FLastError = error;
    RaiseException(text);
}

void TCustomAsyncSocket::HandleBackgroundError(const std::exception& e) { HandleBackgroundErrorOf(*this, e); }

// --- triggers

bool TCustomAsyncSocket::TriggerDataAvailable(std::uint16_t error)
{
    if (!OnDataAvailable) return false;
    OnDataAvailable(this, error);
    return true;
}

void TCustomAsyncSocket::TriggerSessionAvailable(std::uint16_t error)
{
    if (OnSessionAvailable) OnSessionAvailable(this, error);
}

void TCustomAsyncSocket::TriggerSessionConnected(std::uint16_t error)
{
    if (OnSessionConnected) OnSessionConnected(this, error);
}

void TCustomAsyncSocket::TriggerSessionClosed(std::uint16_t error)
{
    if (OnSessionClosed) OnSessionClosed(this, error);
}

void TCustomAsyncSocket::TriggerDataSent(std::uint16_t error)
{
    if (OnDataSent) OnDataSent(this, error);
}

void TCustomAsyncSocket::TriggerChangeState(TSocketState oldState, TSocketState newState)
{
    if (OnChangeState) OnChangeState(this, oldState, newState);
}

void TCustomAsyncSocket::TriggerDnsLookupDone(std::uint16_t error)
{
    if (OnDnsLookupDone) OnDnsLookupDone(this, error);
}

void TCustomAsyncSocket::TriggerError()
{
    if (OnError) OnError(this);
}

void TCustomAsyncSocket::ChangeState(TSocketState newState)
{
    TSocketState oldState = FState;
    FState = newState;
    TriggerChangeState(oldState, newState);
}

// --- the hidden window

void TCustomAsyncSocket::WndProc(TMessage& msg)
{
    switch (msg.Msg) {
    case WM_ASYNCSELECT: {
        if (FHSocket == INVALID_SOCKET || static_cast<TSocket>(msg.WParam) != FHSocket || FPaused) return;
        std::uint16_t events = LoWord(msg.LParam);
        std::uint16_t error = HiWord(msg.LParam);
        if (events & winsock::FD_CONNECT) {
            ChangeState(wsConnected);
            TriggerSessionConnected(error);
            if (error != 0 && FState != wsClosed) Close();
        }
        if (events & winsock::FD_READ) ReceiveLoop(error);
        if (events & winsock::FD_WRITE) {
            TryToSend();
            if (FAllSent) TriggerDataSent(error);
        }
        if (events & winsock::FD_ACCEPT) TriggerSessionAvailable(error);
        if ((events & winsock::FD_CLOSE) && FState != wsConnecting) {
            const TSocket handle = FHSocket;
            ReceiveLoop(0);  // deliver what is still buffered
            // A handler that closed the connection while reading (it read its
            // end) has reported the close already, and the reset after it
            // belongs to the next connection.
            if (FHSocket != handle || FState == wsClosed) return;
            if (!FCloseInvoked) {
                FCloseInvoked = true;
                TriggerSessionClosed(error);
            }
            if (FState != wsClosed) Close();
        }
        return;
    }
    case WM_ASYNCGETHOSTBYNAME:
    case WM_ASYNCGETHOSTBYADDR: {
        auto handle = static_cast<winsock::AsyncHandle>(msg.WParam);
        if (handle == 0 || handle != FDnsLookupHandle) return;
        FDnsLookupHandle = 0;
        std::uint16_t error = HiWord(msg.LParam);
        winsock::AsyncHostResult result;
        bool fetched = winsock::WSAAsyncResult(handle, result);
        if (error == 0 && fetched) {
            if (msg.Msg == WM_ASYNCGETHOSTBYNAME) {
                for (std::uint32_t address : result.Addresses) {
                    if (FDnsResultList.size() >= 256) break;
                    FDnsResultList.push_back(winsock::inet_ntoa(address));
                }
            } else {
                FDnsResultList.push_back(result.Name);
            }
            if (!FDnsResultList.empty()) FDnsResult = FDnsResultList.front();
        }
        TriggerDnsLookupDone(error);
        return;
    }
    case WM_CLOSE_DELAYED: Close(); return;
    case WM_FREE_DELAYED: delete this; return;
    default: return;
    }
}

// --- receiving

void TCustomAsyncSocket::ReceiveLoop(std::uint16_t error)
{
    for (;;) {
        FLastError = 0;
        unsigned long before = 0;
        if (FHSocket != INVALID_SOCKET) winsock::ioctlsocket(FHSocket, winsock::FIONREAD_WS, &before);
        try {
            if (!TriggerDataAvailable(error)) {
                char sink[1024];
                int n = Receive(sink, sizeof sink);
                if (n < 0 && FLastError == winsock::WSAEWOULDBLOCK) break;
            }
        } catch (...) {
            // The handler's failure ends this delivery, unreported, as it
            // always has; the connection stays up.
            break;
        }
        if (FHSocket == INVALID_SOCKET) break;
        unsigned long waiting = 0;
        if (winsock::ioctlsocket(FHSocket, winsock::FIONREAD_WS, &waiting) == winsock::SOCKET_ERROR) break;
        // A handler that leaves the data where it is would make this loop
        // spin; the next read event comes once it reads.
        if (waiting == 0 || FLastError != 0 || waiting >= before) break;
    }
}

int TCustomAsyncSocket::RecvRaw(void* buffer, int size, int flags)
{
    return winsock::recv(FHSocket, buffer, size, flags);
}

int TCustomAsyncSocket::RecvFromRaw(void* buffer, int size, int flags, sockaddr_in& from)
{
    return winsock::recvfrom(FHSocket, buffer, size, flags, &from);
}

int TCustomAsyncSocket::Receive(void* buffer, int size)
{
    if (buffer == nullptr || size < 0) {
        FLastError = winsock::WSAEFAULT;
        return -1;
    }
    int n = RecvRaw(buffer, size, 0);
    if (n < 0)
        FLastError = winsock::WSAGetLastError();
    else
        FReadCount += n;
    return n;
}

std::string TCustomAsyncSocket::ReceiveText()
{
    int waiting = RcvdCount();
    if (waiting <= 0) return {};
    std::string text(static_cast<std::size_t>(waiting), '\0');
    int n = Receive(text.data(), waiting);
    if (n <= 0) return {};
    text.resize(static_cast<std::size_t>(n));
    return text;
}

int TCustomAsyncSocket::ReceiveFrom(void* buffer, int size, sockaddr_in& from)
{
    if (buffer == nullptr || size < 0) {
        FLastError = winsock::WSAEFAULT;
        return -1;
    }
    int n = RecvFromRaw(buffer, size, 0, from);
    if (n < 0)
        FLastError = winsock::WSAGetLastError();
    else
        FReadCount += n;
    return n;
}

// --- sending

int TCustomAsyncSocket::SendRaw(const void* data, int len)
{
    int flags;
    switch (FSendFlags) {
    case wsSendNormal: flags = 0; break;
    case wsSendUrgent: flags = winsock::MSG_OOB_WS; break;
    default: RaiseException("Invalid internal SendFlags"); return -1;
    }
    int n = FType == SOCK_DGRAM ? winsock::sendto(FHSocket, data, len, flags, FSin)
                                : winsock::send(FHSocket, data, len, flags);
    if (n > 0 && OnSendData) OnSendData(this, n);
    return n;
}

void TCustomAsyncSocket::TryToSend()
{
    if (FHSocket == INVALID_SOCKET || FBufList.empty()) return;
    for (;;) {
        TBuffer& block = *FBufList.front();
        int count = 0;
        const std::uint8_t* data = block.Peek(count);
        if (count == 0) {
            if (FBufList.size() > 1) {
                FBufList.pop_front();
                continue;
            }
            FAllSent = true;
            return;
        }
        int sent = SendRaw(data, count);
        if (sent < 0) {
            int error = winsock::WSAGetLastError();
            if (error == winsock::WSAECONNRESET || error == winsock::WSAENOTSOCK || error == winsock::WSAENOTCONN ||
                error == winsock::WSAEINVAL || error == winsock::WSAECONNABORTED) {
                FCloseInvoked = true;  // the close below must not report it a second time
                Close();
                TriggerSessionClosed(static_cast<std::uint16_t>(error));
                return;
            }
            if (error == winsock::WSAEWOULDBLOCK) return;
            winsock::WSASetLastError(error);
            RaiseSocketError("TryToSend failed");
            return;
        }
        block.Remove(sent);
        if (sent < count) return;
    }
}

void TCustomAsyncSocket::DeleteBufferedData() { FBufList.clear(); }

void TCustomAsyncSocket::BeginConnection()
{
    DeleteBufferedData();
    FAllSent = true;
    FCloseInvoked = false;
}

int TCustomAsyncSocket::Send(const void* data, int len)
{
    if (FState != wsConnected) {
        winsock::WSASetLastError(winsock::WSAENOTCONN);
        RaiseSocketError("Send");
        return -1;
    }
    FAllSent = false;
    if (len > 0 && data != nullptr) {
        auto bytes = static_cast<const std::uint8_t*>(data);
        int done = 0;
        if (FBufList.empty()) FBufList.push_back(std::make_unique<TBuffer>(FBufSize));
        while (done < len) {
            int n = FBufList.back()->Write(bytes + done, len - done);
            if (n == 0) FBufList.push_back(std::make_unique<TBuffer>(FBufSize));
            done += n;
        }
    }
    TryToSend();
    // OnDataSent always follows later as a message, never from inside Send.
    if (FAllSent && FHSocket != INVALID_SOCKET)
        PostMessage(FWindowHandle, WM_ASYNCSELECT, static_cast<WPARAM>(FHSocket),
                    MakeLParam(static_cast<std::uint16_t>(winsock::FD_WRITE), 0));
    return std::max(len, 0);
}

int TCustomAsyncSocket::SendText(const std::string& text) { return Send(text.data(), static_cast<int>(text.size())); }

int TCustomAsyncSocket::SendTo(const sockaddr_in& to, const void* data, int len)
{
    int flags = FSendFlags == wsSendUrgent ? winsock::MSG_OOB_WS : 0;
    int n = winsock::sendto(FHSocket, data, len, flags, to);
    if (n < 0)
        FLastError = winsock::WSAGetLastError();
    else if (n > 0 && OnSendData)
        OnSendData(this, n);
    return n;
}

// --- closing

void TCustomAsyncSocket::CloseSocket(bool shut, int error)
{
    if (FHSocket == INVALID_SOCKET) {
        if (FState != wsClosed) {
            ChangeState(wsClosed);
            try {
                ResetDefaults();
            } catch (...) {
            }
        }
        return;
    }
    if (FState == wsClosed) return;
    if (shut) winsock::shutdown(FHSocket, 1);
    // What is still queued can never go out on this connection, and must not
    // go out on the next one.
    DeleteBufferedData();
    // close() never reports "would block", so no retry loop is needed here.
    int closeError = 0;
    if (winsock::closesocket(FHSocket) != 0) {
        int rc = winsock::WSAGetLastError();
        if (rc != winsock::WSANOTINITIALISED) closeError = rc;
    }
    FHSocket = INVALID_SOCKET;
    ChangeState(wsClosed);
    if (!FDestroying && !FCloseInvoked) {
        FCloseInvoked = true;
        TriggerSessionClosed(static_cast<std::uint16_t>(error));
    }
    // A handler that connected again keeps its new connection.
    if (FHSocket == INVALID_SOCKET && FState == wsClosed) {
        try {
            ResetDefaults();
        } catch (...) {
        }
    }
    if (closeError != 0) {
        FLastError = closeError;
        winsock::WSASetLastError(closeError);
        RaiseSocketError("Disconnect (closesocket)");
    }
}

void TCustomAsyncSocket::Close() { CloseSocket(true, 0); }

void TCustomAsyncSocket::PostClose() { PostMessage(FWindowHandle, WM_CLOSE_DELAYED, 0, 0); }

void TCustomAsyncSocket::PostFree() { PostMessage(FWindowHandle, WM_FREE_DELAYED, 0, 0); }

void TCustomAsyncSocket::Abort()
{
    CancelDnsLookup();
    DeleteBufferedData();
    if (FState == wsConnected && FType == SOCK_STREAM && FHSocket != INVALID_SOCKET) {
        FLingerOnOff = wsLingerOff;
        SetLingerOption();
    }
    CloseSocket(false, 0);
}

void TCustomAsyncSocket::ResetConnection()
{
    CancelDnsLookup();
    DeleteBufferedData();
    // No shutdown first: its FIN would reach the peer as the orderly end of
    // whatever was sent so far.
    if (FState == wsConnected && FType == SOCK_STREAM && FHSocket != INVALID_SOCKET) ResetOnClose(FHSocket);
    CloseSocket(false, 0);
}

void TCustomAsyncSocket::Flush()
{
    TryToSend();
    RunUntil([this] { return FAllSent || FHSocket == INVALID_SOCKET || FState != wsConnected; });
}

void TCustomAsyncSocket::WaitForClose()
{
    // Waiting data goes through the normal read events (to the handler, or
    // read and dropped); the close event ends the wait.
    RunUntil([this] { return FHSocket == INVALID_SOCKET || FState == wsClosed; });
}

void TCustomAsyncSocket::Shutdown(int how)
{
    if (FHSocket != INVALID_SOCKET) winsock::shutdown(FHSocket, how);
}

void TCustomAsyncSocket::Pause()
{
    FPaused = true;
    if (FHSocket != INVALID_SOCKET) winsock::WSAAsyncSelect(FHSocket, FWindowHandle, WM_ASYNCSELECT, 0);
}

void TCustomAsyncSocket::Resume()
{
    FPaused = false;
    if (FHSocket == INVALID_SOCKET) return;
    long events = kSelectDup;
    if (FState == wsListening) events |= winsock::FD_ACCEPT;  // a resumed listener must still accept
    winsock::WSAAsyncSelect(FHSocket, FWindowHandle, WM_ASYNCSELECT, events);
}

void TCustomAsyncSocket::PumpMessages() { ProcessMessages(); }
