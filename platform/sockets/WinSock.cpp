// WinSock over POSIX sockets. Asynchronous select is a readiness watch per
// socket (platform/messages) whose callback posts FD_* events and disarms
// them until the call that re-enables them on Windows.
#include "platform/sockets/WinSock.h"
#include "platform/core/AsciiCase.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <functional>
#include <system_error>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace winsock {

namespace {

thread_local int tLastError = 0;
std::atomic<int> gStartupCount{0};

int Fail(int wsaError)
{
    tLastError = wsaError;
    return SOCKET_ERROR;
}

int FailErrno() { return Fail(ErrnoToWinSock(errno)); }

// What WSAAsyncSelect knows of one socket (window thread only).
struct SelectState {
    HWND Wnd = 0;
    UINT Msg = 0;
    long Events = 0;
    int Type = SOCK_STREAM;
    bool ReadArmed = true;
    bool WriteArmed = true;
    bool AcceptArmed = true;
    bool CloseArmed = true;
    bool InputWatch = true;  // off while received data waits for a recv
    bool Connecting = false;
    int PendingConnectError = 0;  // a connect that failed at once reports later
    bool Listening = false;
};

std::map<SOCKET, SelectState> gSockets;

SelectState& StateOf(SOCKET s) { return gSockets[s]; }

void Post(const SelectState& st, SOCKET s, long event, int error)
{
    if (st.Wnd != 0 && (st.Events & event) != 0)
        PostMessage(st.Wnd, st.Msg, static_cast<WPARAM>(s),
                    MakeLParam(static_cast<std::uint16_t>(event), static_cast<std::uint16_t>(error)));
}

short InterestOf(SOCKET s)
{
    auto it = gSockets.find(s);
    if (it == gSockets.end()) return 0;
    const SelectState& st = it->second;
    if (st.Wnd == 0 || st.Events == 0) return 0;
    if (st.Connecting) return POLLOUT;
    if (st.Listening) return (st.AcceptArmed && (st.Events & FD_ACCEPT)) ? POLLIN : 0;
    short interest = 0;
    if (st.InputWatch && ((st.ReadArmed && (st.Events & FD_READ)) || (st.CloseArmed && (st.Events & FD_CLOSE))))
        interest |= POLLIN;
    if (st.WriteArmed && (st.Events & FD_WRITE)) interest |= POLLOUT;
    return interest;
}

int SocketError(SOCKET s)
{
    int error = 0;
    socklen_t len = sizeof error;
    if (::getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &len) != 0) error = errno;
    return ErrnoToWinSock(error);
}

void OnReady(SOCKET s, short revents)
{
    auto it = gSockets.find(s);
    if (it == gSockets.end()) return;
    SelectState& st = it->second;
    if (st.Connecting) {
        if ((revents & (POLLOUT | POLLERR | POLLHUP)) == 0) return;
        int error = st.PendingConnectError ? st.PendingConnectError : SocketError(s);
        st.Connecting = false;
        st.PendingConnectError = 0;
        Post(st, s, FD_CONNECT, error);
        if (error == 0 && st.WriteArmed && (st.Events & FD_WRITE)) {
            st.WriteArmed = false;
            Post(st, s, FD_WRITE, 0);
        }
        if (error != 0) {
            // Nothing more comes from a failed connect.
            st.InputWatch = false;
            st.WriteArmed = false;
            st.CloseArmed = false;
        }
        return;
    }
    if (st.Listening) {
        if ((revents & (POLLIN | POLLERR | POLLHUP)) && st.AcceptArmed) {
            st.AcceptArmed = false;
            Post(st, s, FD_ACCEPT, 0);
        }
        return;
    }
    if ((revents & POLLOUT) && st.WriteArmed) {
        st.WriteArmed = false;
        Post(st, s, FD_WRITE, 0);
    }
    if ((revents & (POLLIN | POLLHUP | POLLERR)) && st.InputWatch) {
        char probe;
        ssize_t n = ::recv(s, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
        if (n > 0 || (n == 0 && st.Type == SOCK_DGRAM)) {
            st.InputWatch = false;
            if (st.ReadArmed) {
                st.ReadArmed = false;
                Post(st, s, FD_READ, 0);
            }
        } else if (n == 0) {
            st.InputWatch = false;
            if (st.CloseArmed) {
                st.CloseArmed = false;
                Post(st, s, FD_CLOSE, 0);
            }
        } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            int error = ErrnoToWinSock(errno);
            st.InputWatch = false;
            if (st.CloseArmed) {
                st.CloseArmed = false;
                Post(st, s, FD_CLOSE, error);
            }
        }
    }
}

void Rearm(SOCKET s, bool read, bool write, bool accept)
{
    auto it = gSockets.find(s);
    if (it == gSockets.end()) return;
    if (read) {
        it->second.ReadArmed = true;
        it->second.InputWatch = true;
    }
    if (write) it->second.WriteArmed = true;
    if (accept) it->second.AcceptArmed = true;
    if (it->second.Wnd != 0) FdInterestChanged();
}

bool SetNonBlocking(SOCKET s)
{
    int flags = ::fcntl(s, F_GETFL, 0);
    return flags >= 0 && ::fcntl(s, F_SETFL, flags | O_NONBLOCK) == 0;
}

bool IsNameInvalidDomain(const std::string& name)
{
    // Names under ".invalid" never resolve: no need to ask the network.
    std::string lower = AsciiLower(name);
    while (!lower.empty() && lower.back() == '.') lower.pop_back();
    return lower == "invalid" || (lower.size() > 8 && lower.compare(lower.size() - 8, 8, ".invalid") == 0);
}

int AddrInfoToWinSock(int code)
{
    switch (code) {
    case EAI_NONAME: return WSAHOST_NOT_FOUND;
    case EAI_AGAIN: return WSATRY_AGAIN;
    case EAI_FAIL: return WSANO_RECOVERY;
#ifdef EAI_NODATA
    case EAI_NODATA: return WSANO_DATA;
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY: return WSANO_DATA;
#endif
    case EAI_MEMORY: return WSAENOBUFS;
    default: return WSANO_RECOVERY;
    }
}

// Resolves a name to IPv4 addresses; 0 or a WinSock error.
int ResolveName(const std::string& name, std::vector<std::uint32_t>& addresses, std::string& canonical)
{
    addresses.clear();
    if (name.empty() || IsNameInvalidDomain(name)) return WSAHOST_NOT_FOUND;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* list = nullptr;
    int rc = ::getaddrinfo(name.c_str(), nullptr, &hints, &list);
    if (rc != 0) return AddrInfoToWinSock(rc);
    for (addrinfo* ai = list; ai != nullptr && addresses.size() < 256; ai = ai->ai_next) {
        if (ai->ai_family != AF_INET || ai->ai_addrlen < sizeof(sockaddr_in)) continue;
        std::uint32_t a = reinterpret_cast<const sockaddr_in*>(ai->ai_addr)->sin_addr.s_addr;
        if (std::find(addresses.begin(), addresses.end(), a) == addresses.end()) addresses.push_back(a);
    }
    if (list && list->ai_canonname) canonical = list->ai_canonname;
    ::freeaddrinfo(list);
    return addresses.empty() ? WSANO_DATA : 0;
}

int ReverseResolve(std::uint32_t address, std::string& name)
{
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_addr.s_addr = address;
    char host[NI_MAXHOST];
    int rc = ::getnameinfo(reinterpret_cast<sockaddr*>(&sin), sizeof sin, host, sizeof host, nullptr, 0, NI_NAMEREQD);
    if (rc != 0) return AddrInfoToWinSock(rc);
    name = host;
    return 0;
}

// Asynchronous look-ups: the worker thread touches only this table (under
// its lock) and the message queue.
struct LookupRequest {
    HWND Wnd = 0;
    UINT Msg = 0;
    bool Cancelled = false;
    bool Done = false;
    int Error = 0;
    AsyncHostResult Result;
};
// Never destroyed: a worker may finish while the program exits.
std::mutex& gLookupLock = *new std::mutex;
std::map<AsyncHandle, std::shared_ptr<LookupRequest>>& gLookups =
    *new std::map<AsyncHandle, std::shared_ptr<LookupRequest>>;
AsyncHandle gNextLookup = 1;

AsyncHandle StartLookup(HWND wnd, UINT msg, std::function<int(AsyncHostResult&)> work)
{
    auto request = std::make_shared<LookupRequest>();
    request->Wnd = wnd;
    request->Msg = msg;
    AsyncHandle handle;
    {
        std::lock_guard lock(gLookupLock);
        handle = gNextLookup++;
        gLookups[handle] = request;
    }
    try {
        std::thread([request, handle, work = std::move(work)] {
            AsyncHostResult result;
            int error = work(result);
            std::lock_guard lock(gLookupLock);
            if (request->Cancelled) return;
            request->Done = true;
            request->Error = error;
            request->Result = std::move(result);
            PostMessage(request->Wnd, request->Msg, handle, MakeLParam(0, static_cast<std::uint16_t>(error)));
        }).detach();
    } catch (const std::system_error&) {
        std::lock_guard lock(gLookupLock);
        gLookups.erase(handle);
        tLastError = WSAENOBUFS;
        return 0;
    }
    return handle;
}

struct KnownName {
    const char* Name;
    int Number;
};
// Used when the system's services or protocols database lacks an entry.
constexpr KnownName kServices[] = {
    {"ftp-data", 20}, {"ftp", 21},   {"ssh", 22},   {"telnet", 23}, {"smtp", 25},    {"http", 80},
    {"www", 80},      {"pop3", 110}, {"nntp", 119}, {"https", 443}, {"socks", 1080},
};
constexpr KnownName kProtocols[] = {{"ip", 0}, {"icmp", 1}, {"tcp", 6}, {"udp", 17}};

}  // namespace

int WSAStartup(std::uint16_t versionRequested)
{
    if ((versionRequested & 0xFF) < 1) return WSAVERNOTSUPPORTED;
    ++gStartupCount;
    return 0;
}

int WSACleanup()
{
    if (gStartupCount <= 0) return Fail(WSANOTINITIALISED);
    --gStartupCount;
    return 0;
}

int StartupCount() { return gStartupCount; }

int WSAGetLastError() { return tLastError; }

void WSASetLastError(int error) { tLastError = error; }

SOCKET socket(int family, int type, int protocol)
{
    SOCKET s = ::socket(family, type | SOCK_CLOEXEC, protocol);
    if (s < 0) {
        FailErrno();
        return INVALID_SOCKET;
    }
    gSockets[s] = SelectState{};
    gSockets[s].Type = type;
    return s;
}

int closesocket(SOCKET s)
{
    if (s < 0) return Fail(WSAENOTSOCK);
    auto it = gSockets.find(s);
    if (it != gSockets.end()) {
        HWND wnd = it->second.Wnd;
        UINT msg = it->second.Msg;
        gSockets.erase(it);
        UnwatchFd(s);
        // The handle number will be reused: its stale notifications must go.
        if (wnd != 0) RemovePendingMessages(wnd, msg, static_cast<WPARAM>(s));
    }
    if (::close(s) != 0 && errno != EINTR) return FailErrno();
    return 0;
}

int shutdown(SOCKET s, int how)
{
    if (::shutdown(s, how) != 0) return FailErrno();
    return 0;
}

int bind(SOCKET s, const sockaddr_in& address)
{
    if (::bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return FailErrno();
    return 0;
}

int listen(SOCKET s, int backlog)
{
    if (::listen(s, backlog) != 0) return FailErrno();
    StateOf(s).Listening = true;
    FdInterestChanged();
    return 0;
}

SOCKET accept(SOCKET s, sockaddr_in* address)
{
    sockaddr_in peer{};
    socklen_t len = sizeof peer;
    SOCKET client = ::accept4(s, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_CLOEXEC);
    int savedErrno = errno;
    Rearm(s, false, false, true);
    if (client < 0) {
        Fail(ErrnoToWinSock(savedErrno));
        return INVALID_SOCKET;
    }
    if (address) *address = peer;
    gSockets[client] = SelectState{};
    return client;
}

int connect(SOCKET s, const sockaddr_in& address)
{
    int rc = ::connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    int error = rc == 0 ? 0 : errno;
    auto it = gSockets.find(s);
    bool async = it != gSockets.end() && it->second.Wnd != 0;
    if (!async) return rc == 0 ? 0 : Fail(ErrnoToWinSock(error));
    SelectState& st = it->second;
    if (rc == 0 || error == EINPROGRESS || error == EAGAIN) {
        st.Connecting = true;
        FdInterestChanged();
        return rc == 0 ? 0 : Fail(WSAEWOULDBLOCK);
    }
    if (error == ECONNREFUSED || error == ENETUNREACH || error == EHOSTUNREACH || error == ETIMEDOUT) {
        // As with WinSock, the outcome of an asynchronous connect comes as FD_CONNECT.
        st.Connecting = true;
        st.PendingConnectError = ErrnoToWinSock(error);
        FdInterestChanged();
        return Fail(WSAEWOULDBLOCK);
    }
    return Fail(ErrnoToWinSock(error));
}

int send(SOCKET s, const void* data, int length, int flags)
{
    if (length < 0) return Fail(WSAEINVAL);
    int posixFlags = MSG_NOSIGNAL | ((flags & MSG_OOB_WS) ? MSG_OOB : 0);
    ssize_t n = ::send(s, data, static_cast<size_t>(length), posixFlags);
    if (n < 0) {
        int error = errno;
        if (error == EAGAIN || error == EWOULDBLOCK) Rearm(s, false, true, false);
        return Fail(ErrnoToWinSock(error));
    }
    // A short write means the network buffer is full: the next FD_WRITE
    // tells when it has room again.
    if (n < length) Rearm(s, false, true, false);
    return static_cast<int>(n);
}

int sendto(SOCKET s, const void* data, int length, int flags, const sockaddr_in& to)
{
    if (length < 0) return Fail(WSAEINVAL);
    int posixFlags = MSG_NOSIGNAL | ((flags & MSG_OOB_WS) ? MSG_OOB : 0);
    ssize_t n =
        ::sendto(s, data, static_cast<size_t>(length), posixFlags, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (n < 0) {
        int error = errno;
        if (error == EAGAIN || error == EWOULDBLOCK) Rearm(s, false, true, false);
        return Fail(ErrnoToWinSock(error));
    }
    return static_cast<int>(n);
}

int recv(SOCKET s, void* buffer, int length, int flags)
{
    if (length < 0) return Fail(WSAEINVAL);
    int posixFlags = (flags & MSG_OOB_WS) ? MSG_OOB : 0;
    if (flags & MSG_PEEK) posixFlags |= MSG_PEEK;
    ssize_t n = ::recv(s, buffer, static_cast<size_t>(length), posixFlags);
    int error = errno;
    Rearm(s, true, false, false);
    if (n < 0) return Fail(ErrnoToWinSock(error));
    return static_cast<int>(n);
}

int recvfrom(SOCKET s, void* buffer, int length, int flags, sockaddr_in* from)
{
    if (length < 0) return Fail(WSAEINVAL);
    sockaddr_in peer{};
    socklen_t len = sizeof peer;
    int posixFlags = (flags & MSG_OOB_WS) ? MSG_OOB : 0;
    ssize_t n =
        ::recvfrom(s, buffer, static_cast<size_t>(length), posixFlags, reinterpret_cast<sockaddr*>(&peer), &len);
    int error = errno;
    Rearm(s, true, false, false);
    if (n < 0) return Fail(ErrnoToWinSock(error));
    if (from) *from = peer;
    return static_cast<int>(n);
}

int ioctlsocket(SOCKET s, long command, unsigned long* argument)
{
    if (argument == nullptr) return Fail(WSAEFAULT);
    if (command == FIONREAD_WS) {
        int count = 0;
        if (::ioctl(s, FIONREAD, &count) != 0) return FailErrno();
        *argument = static_cast<unsigned long>(count);
        return 0;
    }
    if (command == FIONBIO_WS) {
        int flags = ::fcntl(s, F_GETFL, 0);
        if (flags < 0) return FailErrno();
        flags = *argument ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
        if (::fcntl(s, F_SETFL, flags) != 0) return FailErrno();
        return 0;
    }
    return Fail(WSAEINVAL);
}

namespace {
bool MapOption(int level, int option, int& posixLevel, int& posixOption)
{
    if (level != SOL_SOCKET_WS) {
        posixLevel = level;  // IPPROTO_TCP options share their numbers
        posixOption = option;
        return true;
    }
    posixLevel = SOL_SOCKET;
    switch (option) {
    case SO_REUSEADDR_WS: posixOption = SO_REUSEADDR; return true;
    case SO_KEEPALIVE_WS: posixOption = SO_KEEPALIVE; return true;
    case SO_BROADCAST_WS: posixOption = SO_BROADCAST; return true;
    case SO_LINGER_WS: posixOption = SO_LINGER; return true;
    case SO_SNDBUF_WS: posixOption = SO_SNDBUF; return true;
    case SO_RCVBUF_WS: posixOption = SO_RCVBUF; return true;
    case SO_ERROR_WS: posixOption = SO_ERROR; return true;
    default: return false;
    }
}
}  // namespace

int setsockopt(SOCKET s, int level, int option, const void* value, int length)
{
    int posixLevel, posixOption;
    if (value == nullptr || length < 0) return Fail(WSAEFAULT);
    if (!MapOption(level, option, posixLevel, posixOption)) return Fail(WSAENOPROTOOPT);
    if (posixLevel == SOL_SOCKET && posixOption == SO_LINGER) {
        if (length < static_cast<int>(sizeof(LingerOption))) return Fail(WSAEFAULT);
        LingerOption wsLinger;
        std::memcpy(&wsLinger, value, sizeof wsLinger);
        linger l{wsLinger.l_onoff != 0, wsLinger.l_linger};
        if (::setsockopt(s, SOL_SOCKET, SO_LINGER, &l, sizeof l) != 0) return FailErrno();
        return 0;
    }
    if (::setsockopt(s, posixLevel, posixOption, value, static_cast<socklen_t>(length)) != 0) return FailErrno();
    return 0;
}

int getsockopt(SOCKET s, int level, int option, void* value, int* length)
{
    int posixLevel, posixOption;
    if (value == nullptr || length == nullptr || *length < 0) return Fail(WSAEFAULT);
    if (!MapOption(level, option, posixLevel, posixOption)) return Fail(WSAENOPROTOOPT);
    if (posixLevel == SOL_SOCKET && posixOption == SO_LINGER) {
        if (*length < static_cast<int>(sizeof(LingerOption))) return Fail(WSAEFAULT);
        linger l{};
        socklen_t len = sizeof l;
        if (::getsockopt(s, SOL_SOCKET, SO_LINGER, &l, &len) != 0) return FailErrno();
        LingerOption wsLinger{static_cast<std::uint16_t>(l.l_onoff), static_cast<std::uint16_t>(l.l_linger)};
        std::memcpy(value, &wsLinger, sizeof wsLinger);
        *length = sizeof wsLinger;
        return 0;
    }
    if (posixLevel == SOL_SOCKET && posixOption == SO_ERROR) {
        if (*length < static_cast<int>(sizeof(int))) return Fail(WSAEFAULT);
        int error = SocketError(s);
        std::memcpy(value, &error, sizeof error);
        *length = sizeof error;
        return 0;
    }
    socklen_t len = static_cast<socklen_t>(*length);
    if (::getsockopt(s, posixLevel, posixOption, value, &len) != 0) return FailErrno();
    *length = static_cast<int>(len);
    return 0;
}

namespace {

// getsockname and getpeername: the same call shape, another end of the connection.
template <class Query>
int queryAddress(Query query, SOCKET s, sockaddr_in* address)
{
    sockaddr_in sin{};
    socklen_t len = sizeof sin;
    if (query(s, reinterpret_cast<sockaddr*>(&sin), &len) != 0) return FailErrno();
    if (address) *address = sin;
    return 0;
}

}  // namespace

int getsockname(SOCKET s, sockaddr_in* address) { return queryAddress(::getsockname, s, address); }

int getpeername(SOCKET s, sockaddr_in* address) { return queryAddress(::getpeername, s, address); }

std::uint32_t inet_addr(const std::string& text)
{
    // Four decimal parts of 0 to 255: the only form this program accepts.
    std::uint32_t parts[4];
    std::size_t pos = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != '.') return INADDR_NONE;
            ++pos;
        }
        std::size_t start = pos;
        std::uint32_t value = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 3) {
            value = value * 10 + static_cast<std::uint32_t>(text[pos] - '0');
            ++pos;
        }
        if (pos == start || value > 255 || (pos < text.size() && text[pos] >= '0' && text[pos] <= '9'))
            return INADDR_NONE;
        parts[i] = value;
    }
    if (pos != text.size()) return INADDR_NONE;
    return htonl((parts[0] << 24) | (parts[1] << 16) | (parts[2] << 8) | parts[3]);
}

std::string inet_ntoa(std::uint32_t addressNetworkOrder)
{
    std::uint32_t a = ntohl(addressNetworkOrder);
    return std::to_string(a >> 24) + "." + std::to_string((a >> 16) & 255) + "." + std::to_string((a >> 8) & 255) +
           "." + std::to_string(a & 255);
}

bool gethostbyname(const std::string& name, std::vector<std::uint32_t>& addresses)
{
    std::string canonical;
    int error = ResolveName(name, addresses, canonical);
    if (error != 0) {
        tLastError = error;
        return false;
    }
    return true;
}

int getservbyname(const std::string& name, const std::string& protocol)
{
    servent entry{};
    servent* found = nullptr;
    char buffer[1024];
    if (::getservbyname_r(name.c_str(), protocol.empty() ? nullptr : protocol.c_str(), &entry, buffer, sizeof buffer,
                          &found) == 0 &&
        found != nullptr)
        return ntohs(static_cast<std::uint16_t>(found->s_port));
    for (const auto& known : kServices)
        if (name == known.Name) return known.Number;
    tLastError = WSANO_DATA;
    return -1;
}

int getprotobyname(const std::string& name)
{
    protoent entry{};
    protoent* found = nullptr;
    char buffer[1024];
    if (::getprotobyname_r(name.c_str(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr)
        return found->p_proto;
    for (const auto& known : kProtocols)
        if (name == known.Name) return known.Number;
    tLastError = WSANO_DATA;
    return -1;
}

int WSAAsyncSelect(SOCKET s, HWND wnd, UINT msg, long events)
{
    if (s < 0) return Fail(WSAENOTSOCK);
    if (!SetNonBlocking(s)) return FailErrno();
    SelectState& st = StateOf(s);
    if (wnd == 0 || events == 0) {
        st.Wnd = 0;
        st.Events = 0;
        UnwatchFd(s);
        return 0;
    }
    int type = SOCK_STREAM;
    socklen_t len = sizeof type;
    if (::getsockopt(s, SOL_SOCKET, SO_TYPE, &type, &len) == 0) st.Type = type;
    st.Wnd = wnd;
    st.Msg = msg;
    st.Events = events;
    // Selecting again re-enables every event whose condition still holds.
    st.ReadArmed = st.WriteArmed = st.AcceptArmed = st.CloseArmed = true;
    st.InputWatch = true;
    WatchFd(
        s, [s] { return InterestOf(s); }, [](int fd, short revents) { OnReady(fd, revents); });
    return 0;
}

AsyncHandle WSAAsyncGetHostByName(HWND wnd, UINT msg, const std::string& name)
{
    return StartLookup(wnd, msg, [name](AsyncHostResult& result) {
        int error = ResolveName(name, result.Addresses, result.Name);
        if (result.Name.empty()) result.Name = name;
        return error;
    });
}

AsyncHandle WSAAsyncGetHostByAddr(HWND wnd, UINT msg, std::uint32_t addressNetworkOrder)
{
    return StartLookup(wnd, msg, [addressNetworkOrder](AsyncHostResult& result) {
        int error = ReverseResolve(addressNetworkOrder, result.Name);
        if (error == 0) result.Addresses.push_back(addressNetworkOrder);
        return error;
    });
}

bool WSAAsyncResult(AsyncHandle handle, AsyncHostResult& result)
{
    std::lock_guard lock(gLookupLock);
    auto it = gLookups.find(handle);
    if (it == gLookups.end() || !it->second->Done) return false;
    result = std::move(it->second->Result);
    gLookups.erase(it);
    return true;
}

int WSACancelAsyncRequest(AsyncHandle handle)
{
    std::shared_ptr<LookupRequest> request;
    {
        std::lock_guard lock(gLookupLock);
        auto it = gLookups.find(handle);
        if (it == gLookups.end()) return Fail(WSAEINVAL);
        request = it->second;
        request->Cancelled = true;
        gLookups.erase(it);
    }
    // A result already posted but not yet dispatched is withdrawn as well.
    if (request->Done) RemovePendingMessages(request->Wnd, request->Msg, handle);
    return 0;
}

}  // namespace winsock
