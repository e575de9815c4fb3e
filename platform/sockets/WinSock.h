#pragma once
// WinSock 1.1 as this program uses it, over POSIX sockets: handles are file
// descriptors (0 is a valid handle; only INVALID_SOCKET means "none"),
// failures set a per-thread WinSock error number mapped from errno, sends
// never raise SIGPIPE, and WSAAsyncSelect delivers FD_* events as posted
// messages (platform/messages) with WinSock's re-enabling rules:
//   FD_READ    re-enabled by recv/recvfrom (posted again while data waits)
//   FD_WRITE   posted when writable after connect / select, re-enabled by a
//              send that would block or that went out only in part
//   FD_ACCEPT  re-enabled by accept
//   FD_CONNECT once per connect, with the connect's error
//   FD_CLOSE   once, when the peer closed (error 0) or reset the connection
// Asynchronous host look-ups run getaddrinfo on a worker thread and post
// their result to the caller's message target.

#include "platform/messages/Messages.h"

#include <cstdint>
#include <string>
#include <vector>

#include <netinet/in.h>
#include <sys/socket.h>

namespace winsock {

using SOCKET = int;
constexpr SOCKET INVALID_SOCKET = -1;
constexpr int SOCKET_ERROR = -1;

// Event bits of WSAAsyncSelect (low word of lParam; the high word is the error).
constexpr long FD_READ = 1;
constexpr long FD_WRITE = 2;
constexpr long FD_OOB = 4;
constexpr long FD_ACCEPT = 8;
constexpr long FD_CONNECT = 16;
constexpr long FD_CLOSE = 32;

// WinSock error numbers.
constexpr int WSABASEERR = 10000;
constexpr int WSAEINTR = 10004;
constexpr int WSAEBADF = 10009;
constexpr int WSAEACCES = 10013;
constexpr int WSAEFAULT = 10014;
constexpr int WSAEINVAL = 10022;
constexpr int WSAEMFILE = 10024;
constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAEINPROGRESS = 10036;
constexpr int WSAEALREADY = 10037;
constexpr int WSAENOTSOCK = 10038;
constexpr int WSAEDESTADDRREQ = 10039;
constexpr int WSAEMSGSIZE = 10040;
constexpr int WSAEPROTOTYPE = 10041;
constexpr int WSAENOPROTOOPT = 10042;
constexpr int WSAEPROTONOSUPPORT = 10043;
constexpr int WSAESOCKTNOSUPPORT = 10044;
constexpr int WSAEOPNOTSUPP = 10045;
constexpr int WSAEPFNOSUPPORT = 10046;
constexpr int WSAEAFNOSUPPORT = 10047;
constexpr int WSAEADDRINUSE = 10048;
constexpr int WSAEADDRNOTAVAIL = 10049;
constexpr int WSAENETDOWN = 10050;
constexpr int WSAENETUNREACH = 10051;
constexpr int WSAENETRESET = 10052;
constexpr int WSAECONNABORTED = 10053;
constexpr int WSAECONNRESET = 10054;
constexpr int WSAENOBUFS = 10055;
constexpr int WSAEISCONN = 10056;
constexpr int WSAENOTCONN = 10057;
constexpr int WSAESHUTDOWN = 10058;
constexpr int WSAETOOMANYREFS = 10059;
constexpr int WSAETIMEDOUT = 10060;
constexpr int WSAECONNREFUSED = 10061;
constexpr int WSAELOOP = 10062;
constexpr int WSAENAMETOOLONG = 10063;
constexpr int WSAEHOSTDOWN = 10064;
constexpr int WSAEHOSTUNREACH = 10065;
constexpr int WSAENOTEMPTY = 10066;
constexpr int WSAEPROCLIM = 10067;
constexpr int WSAEUSERS = 10068;
constexpr int WSAEDQUOT = 10069;
constexpr int WSAESTALE = 10070;
constexpr int WSAEREMOTE = 10071;
constexpr int WSASYSNOTREADY = 10091;
constexpr int WSAVERNOTSUPPORTED = 10092;
constexpr int WSANOTINITIALISED = 10093;
constexpr int WSAHOST_NOT_FOUND = 11001;
constexpr int WSATRY_AGAIN = 11002;
constexpr int WSANO_RECOVERY = 11003;
constexpr int WSANO_DATA = 11004;

// Socket options and levels with WinSock's numbers.
constexpr int SOL_SOCKET_WS = 0xFFFF;  // 65535
constexpr int SO_REUSEADDR_WS = 0x0004;
constexpr int SO_KEEPALIVE_WS = 0x0008;
constexpr int SO_BROADCAST_WS = 0x0020;
constexpr int SO_LINGER_WS = 0x0080;
constexpr int SO_SNDBUF_WS = 0x1001;
constexpr int SO_RCVBUF_WS = 0x1002;
constexpr int SO_ERROR_WS = 0x1007;
constexpr int MSG_OOB_WS = 1;

struct LingerOption {  // WinSock's linger: two 16-bit fields
    std::uint16_t l_onoff;
    std::uint16_t l_linger;
};

constexpr long FIONREAD_WS = 0x4004667F;
constexpr long FIONBIO_WS = static_cast<long>(0x8004667EUL);

// The library: reference counted in place of loading wsock32 by name.
// WSAStartup(0x0101) succeeds and counts; WSACleanup counts down.
int WSAStartup(std::uint16_t versionRequested);
int WSACleanup();
int StartupCount();  // how many WSAStartup calls are outstanding

int WSAGetLastError();
void WSASetLastError(int error);
int ErrnoToWinSock(int error);  // errno -> WinSock number
std::string WinSockErrorText(int error);

SOCKET socket(int family, int type, int protocol);
int closesocket(SOCKET s);
int shutdown(SOCKET s, int how);
int bind(SOCKET s, const sockaddr_in& address);
int listen(SOCKET s, int backlog);
SOCKET accept(SOCKET s, sockaddr_in* address);
// Non-blocking connect: returns SOCKET_ERROR with WSAEWOULDBLOCK while it
// proceeds (as on a socket under WSAAsyncSelect); FD_CONNECT completes it.
int connect(SOCKET s, const sockaddr_in& address);
int send(SOCKET s, const void* data, int length, int flags);
int sendto(SOCKET s, const void* data, int length, int flags, const sockaddr_in& to);
int recv(SOCKET s, void* buffer, int length, int flags);
int recvfrom(SOCKET s, void* buffer, int length, int flags, sockaddr_in* from);
int ioctlsocket(SOCKET s, long command, unsigned long* argument);
int setsockopt(SOCKET s, int level, int option, const void* value, int length);
int getsockopt(SOCKET s, int level, int option, void* value, int* length);
int getsockname(SOCKET s, sockaddr_in* address);
int getpeername(SOCKET s, sockaddr_in* address);

// Dotted IPv4 text <-> address in network order. inet_addr gives
// INADDR_NONE (0xFFFFFFFF) for text that is not four decimal parts.
std::uint32_t inet_addr(const std::string& text);
std::string inet_ntoa(std::uint32_t addressNetworkOrder);

// Blocking look-ups (services and protocols fall back to a small built-in
// table when the system database lacks them). Ports in host order.
// False / -1 on failure with the WinSock error set.
bool gethostbyname(const std::string& name, std::vector<std::uint32_t>& addresses);
int getservbyname(const std::string& name, const std::string& protocol);
int getprotobyname(const std::string& name);

// Asynchronous select: events of `s` arrive as `msg` posted to `wnd`
// (wParam = socket, lParam = MakeLParam(event, error)). events == 0 stops.
// The socket becomes non-blocking.
int WSAAsyncSelect(SOCKET s, HWND wnd, UINT msg, long events);

// Asynchronous look-ups: returns a non-zero handle, or 0 with the error set.
// When done, `msg` is posted to `wnd` with wParam = handle and
// lParam = MakeLParam(0, error); the result is then fetched (once) with
// WSAAsyncResult. Names ending in ".invalid" fail at once with
// WSAHOST_NOT_FOUND, without asking the network.
using AsyncHandle = std::uintptr_t;
AsyncHandle WSAAsyncGetHostByName(HWND wnd, UINT msg, const std::string& name);
// Reverse look-up of a 4-byte address in network order.
AsyncHandle WSAAsyncGetHostByAddr(HWND wnd, UINT msg, std::uint32_t addressNetworkOrder);
struct AsyncHostResult {
    std::string Name;                      // canonical or reverse name
    std::vector<std::uint32_t> Addresses;  // network order, at most 256
};
bool WSAAsyncResult(AsyncHandle handle, AsyncHostResult& result);
// Cancels a pending look-up (its message is never posted). SOCKET_ERROR
// with WSAEINVAL when the handle is unknown or already finished.
int WSACancelAsyncRequest(AsyncHandle handle);

}  // namespace winsock
