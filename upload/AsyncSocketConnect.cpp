// Connecting, listening, accepting, look-ups and addresses of the socket.
#include "upload/AsyncSocket.h"
#include "upload/AsyncSocketDetail.h"

#include <arpa/inet.h>

using namespace asyncsocket_detail;

// --- connecting, listening, accepting

void TCustomAsyncSocket::BindLocal()
{
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<std::uint16_t>(FLocalPortNum));
    local.sin_addr.s_addr = SocketResolveHost(FLocalAddr);
    if (winsock::bind(FHSocket, local) != 0) {
        RaiseException("winsock.bind failed, error #" + std::to_string(winsock::WSAGetLastError()));
        return;
    }
    if (winsock::getsockname(FHSocket, &local) != 0) {
        RaiseException("winsock.getsockname failed, error #" + std::to_string(winsock::WSAGetLastError()));
        return;
    }
    FLocalPortNum = ntohs(local.sin_port);
    FLocalPortStr = std::to_string(FLocalPortNum);
}

void TCustomAsyncSocket::SetLingerOption()
{
    if (FLingerOnOff == wsLingerNoSet) return;
    if (FHSocket == INVALID_SOCKET) {
        RaiseException("Cannot set linger option at this time");
        return;
    }
    winsock::LingerOption linger{static_cast<std::uint16_t>(FLingerOnOff == wsLingerOn ? 1 : 0),
                                 static_cast<std::uint16_t>(FLingerTimeout)};
    if (winsock::setsockopt(FHSocket, winsock::SOL_SOCKET_WS, winsock::SO_LINGER_WS, &linger, sizeof linger) != 0)
        RaiseSocketError("setsockopt(SO_LINGER)");
}

void TCustomAsyncSocket::Connect() { DoConnect(); }

void TCustomAsyncSocket::DoConnect()
{
    EnsureWinSock();
    if (FHSocket != INVALID_SOCKET && FState != wsClosed) {
        RaiseException("Connect: Socket already in use");
        return;
    }
    if (!FPortAssigned) {
        RaiseException("Connect: No Port Specified");
        return;
    }
    if (!FAddrAssigned) {
        RaiseException("Connect: No IP Address Specified");
        return;
    }
    if (!FProtoAssigned) {
        RaiseException("Connect: No Protocol Specified");
        return;
    }
    try {
        ResolveAssigned(true);
    } catch (const ESocketException& e) {
        RaiseException("connect: " + e.Message);
        return;
    }
    FSin.sin_family = AF_INET;

    BeginConnection();
    FHSocket = winsock::socket(AF_INET, FType, FProto);
    if (FHSocket == INVALID_SOCKET) {
        RaiseSocketError("Connect (socket)");
        return;
    }
    ChangeState(wsOpened);

    if (FType == SOCK_DGRAM) {
        BindLocal();
        if (FSin.sin_addr.s_addr == INADDR_BROADCAST) {
            int on = 1;
            if (winsock::setsockopt(FHSocket, winsock::SOL_SOCKET_WS, winsock::SO_BROADCAST_WS, &on, sizeof on) != 0) {
                RaiseSocketError("setsockopt(SO_BROADCAST)");
                return;
            }
        }
    } else {
        if (FLocalPortNum != 0 || FLocalAddr != "0.0.0.0") BindLocal();
        SetLingerOption();
        int on = -1;
        if (winsock::setsockopt(FHSocket, winsock::SOL_SOCKET_WS, winsock::SO_KEEPALIVE_WS, &on, sizeof on) != 0) {
            RaiseSocketError("setsockopt(SO_KEEPALIVE)");
            return;
        }
        if (winsock::setsockopt(FHSocket, winsock::SOL_SOCKET_WS, winsock::SO_REUSEADDR_WS, &on, sizeof on) != 0) {
            RaiseSocketError("setsockopt(SO_REUSEADDR)");
            return;
        }
    }

    if (winsock::WSAAsyncSelect(FHSocket, FWindowHandle, WM_ASYNCSELECT, kSelectConnect) != 0) {
        RaiseSocketError("WSAAsyncSelect");
        return;
    }

    if (FType == SOCK_DGRAM) {
        ChangeState(wsConnected);
        TriggerSessionConnected(0);
        return;
    }
    if (winsock::connect(FHSocket, FSin) == 0 || winsock::WSAGetLastError() == winsock::WSAEWOULDBLOCK) {
        ChangeState(wsConnecting);
        return;
    }
    FLastError = winsock::WSAGetLastError();
    RaiseSocketError("Connect");
}

void TCustomAsyncSocket::ResolveAssigned(bool localPort)
{
    if (!FProtoResolved) {
        FProto = SocketResolveProto(FProtoStr);
        FType = FProto == 17 ? SOCK_DGRAM : SOCK_STREAM;
        FProtoResolved = true;
    }
    if (!FPortResolved) {
        FPortNum = SocketResolvePort(FPortStr, FProtoStr);
        FSin.sin_port = htons(static_cast<std::uint16_t>(FPortNum));
        FPortResolved = true;
    }
    if (localPort && !FLocalPortResolved) {
        FLocalPortNum = SocketResolvePort(FLocalPortStr, FProtoStr);
        FLocalPortResolved = true;
    }
    if (!FAddrResolved) {
        FSin.sin_addr.s_addr = SocketResolveHost(FAddrStr);
        FAddrResolved = true;
    }
}

void TCustomAsyncSocket::Listen() { DoListen(); }

void TCustomAsyncSocket::DoListen()
{
    EnsureWinSock();
    if (!FPortAssigned) {
        winsock::WSASetLastError(winsock::WSAEINVAL);
        RaiseSocketError("listen: port not assigned");
        return;
    }
    if (!FProtoAssigned) {
        winsock::WSASetLastError(winsock::WSAEINVAL);
        RaiseSocketError("listen: protocol not assigned");
        return;
    }
    if (!FAddrAssigned) {
        winsock::WSASetLastError(winsock::WSAEINVAL);
        RaiseSocketError("listen: address not assigned");
        return;
    }
    try {
        ResolveAssigned(false);
    } catch (const ESocketException& e) {
        RaiseException("listen: " + e.Message);
        return;
    }
    FSin.sin_family = AF_INET;

    BeginConnection();
    FHSocket = winsock::socket(AF_INET, FType, FProto);
    if (FHSocket == INVALID_SOCKET) {
        RaiseSocketError("socket");
        return;
    }
    if (winsock::bind(FHSocket, FSin) != 0) {
        // The handle is not bound to any state yet: close it here, or it leaks.
        int error = winsock::WSAGetLastError();
        winsock::closesocket(FHSocket);
        FHSocket = INVALID_SOCKET;
        winsock::WSASetLastError(error);
        RaiseSocketError("Bind");
        return;
    }
    ChangeState(wsBound);
    if (FType == SOCK_DGRAM) {
        ChangeState(wsListening);
        ChangeState(wsConnected);
        TriggerSessionConnected(0);
    } else {
        if (winsock::listen(FHSocket, 5) != 0) {
            RaiseSocketError("Listen");
            return;
        }
        ChangeState(wsListening);
    }
    if (winsock::WSAAsyncSelect(FHSocket, FWindowHandle, WM_ASYNCSELECT, kSelectListen) != 0)
        RaiseSocketError("WSAASyncSelect");
}

TSocket TCustomAsyncSocket::Accept()
{
    if (FState != wsListening) {
        winsock::WSASetLastError(winsock::WSAEINVAL);
        RaiseSocketError("not a listening socket");
        return INVALID_SOCKET;
    }
    TSocket handle = winsock::accept(FHSocket, &FSin);
    if (handle == INVALID_SOCKET) {
        RaiseSocketError("Accept");
        return INVALID_SOCKET;
    }
    return handle;
}

void TCustomAsyncSocket::Dup(TSocket handle)
{
    EnsureWinSock();
    // Only INVALID_SOCKET means "no socket": descriptor 0 is a real one here.
    if (handle == INVALID_SOCKET || handle < 0) {
        winsock::WSASetLastError(winsock::WSAEINVAL);
        RaiseSocketError("Dup");
        return;
    }
    if (FState != wsClosed) {
        int rc = winsock::closesocket(FHSocket);
        FHSocket = INVALID_SOCKET;
        if (rc != 0) {
            RaiseSocketError("Dup (closesocket)");
            return;
        }
        ChangeState(wsClosed);
    }
    BeginConnection();
    FHSocket = handle;
    SetLingerOption();
    if (winsock::WSAAsyncSelect(FHSocket, FWindowHandle, WM_ASYNCSELECT, kSelectDup) != 0) {
        RaiseSocketError("WSAAsyncSelect");
        return;
    }
    ChangeState(wsConnected);
}

// --- look-ups

bool TCustomAsyncSocket::BeginLookup(bool valid)
{
    if (!valid) {
        // Ends like a failed look-up, so whoever waits for it is not left hanging.
        FLastError = winsock::WSAEINVAL;
        TriggerError();
        TriggerDnsLookupDone(winsock::WSAEINVAL);
        return false;
    }
    if (FDnsLookupHandle != 0) {
        winsock::WSACancelAsyncRequest(FDnsLookupHandle);
        FDnsLookupHandle = 0;
    }
    FDnsResult.clear();
    FDnsResultList.clear();
    return true;
}

void TCustomAsyncSocket::CheckLookupStarted(const std::string& what)
{
    if (FDnsLookupHandle == 0)
        RaiseException(what + ": can't start DNS lookup, error #" + std::to_string(winsock::WSAGetLastError()));
}

void TCustomAsyncSocket::DnsLookup(const std::string& hostName)
{
    EnsureWinSock();
    if (!BeginLookup(!hostName.empty())) return;
    std::string name = Trim(hostName);
    if (LooksDotted(name)) {
        std::uint32_t address = winsock::inet_addr(name);
        if (address != INADDR_NONE || name == "255.255.255.255") {
            FDnsResult = winsock::inet_ntoa(address);
            FDnsResultList.push_back(FDnsResult);
            TriggerDnsLookupDone(0);
            return;
        }
    }
    FDnsLookupHandle = winsock::WSAAsyncGetHostByName(FWindowHandle, WM_ASYNCGETHOSTBYNAME, name);
    CheckLookupStarted(hostName);
}

void TCustomAsyncSocket::ReverseDnsLookup(const std::string& addressText)
{
    EnsureWinSock();
    std::string text = Trim(addressText);
    std::uint32_t address = winsock::inet_addr(text);
    if (!BeginLookup(!text.empty() && (address != INADDR_NONE || text == "255.255.255.255"))) return;
    FDnsLookupHandle = winsock::WSAAsyncGetHostByAddr(FWindowHandle, WM_ASYNCGETHOSTBYADDR, address);
    CheckLookupStarted(addressText);
}

void TCustomAsyncSocket::CancelDnsLookup()
{
    if (FDnsLookupHandle == 0) return;
    winsock::AsyncHandle handle = FDnsLookupHandle;
    FDnsLookupHandle = 0;
    if (winsock::WSACancelAsyncRequest(handle) != 0) {
        RaiseSocketError("WSACancelAsyncRequest");
        return;
    }
    if (!FDestroying) TriggerDnsLookupDone(winsock::WSAEINTR);
}

// --- addresses

std::string TCustomAsyncSocket::PeerAddress()
{
    if (FState != wsConnected) return "error";
    sockaddr_in sin{};
    if (winsock::getpeername(FHSocket, &sin) != 0) {
        RaiseSocketError("GetPeerName");
        return "error";
    }
    return winsock::inet_ntoa(sin.sin_addr.s_addr);
}

std::string TCustomAsyncSocket::PeerPortText()
{
    if (FState != wsConnected) return "error";
    sockaddr_in sin{};
    if (winsock::getpeername(FHSocket, &sin) != 0) {
        RaiseSocketError("GetPeerPort");
        return "error";
    }
    return std::to_string(ntohs(sin.sin_port));
}

int TCustomAsyncSocket::PeerSockAddr(sockaddr_in& address)
{
    if (winsock::getpeername(FHSocket, &address) != 0) {
        FLastError = winsock::WSAGetLastError();
        return -1;
    }
    return 0;
}

int TCustomAsyncSocket::LocalSockAddr(sockaddr_in& address)
{
    if (winsock::getsockname(FHSocket, &address) != 0) {
        FLastError = winsock::WSAGetLastError();
        return -1;
    }
    return 0;
}

std::string TCustomAsyncSocket::LocalPortText()
{
    if (FState != wsBound && FState != wsConnected && FState != wsListening) return "error";
    sockaddr_in sin{};
    if (winsock::getsockname(FHSocket, &sin) != 0) return "error";
    return std::to_string(ntohs(sin.sin_port));
}
