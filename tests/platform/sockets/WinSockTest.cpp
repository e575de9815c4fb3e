// The WinSock layer: error numbers, addresses, and the re-enabling rules of
// asynchronous select.
#include "platform/sockets/WinSock.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <unistd.h>

using namespace winsock;

namespace {

struct Events {
    Events() : Wnd(AllocateHWnd([this](TMessage& m) { Got.push_back(m); })) {}
    ~Events() { DeallocateHWnd(Wnd); }
    int Count(SOCKET s, long event) const
    {
        int n = 0;
        for (auto& m : Got)
            if (static_cast<SOCKET>(m.WParam) == s && LoWord(m.LParam) == event) ++n;
        return n;
    }
    int ErrorOf(SOCKET s, long event) const
    {
        for (auto& m : Got)
            if (static_cast<SOCKET>(m.WParam) == s && LoWord(m.LParam) == event) return HiWord(m.LParam);
        return -1;
    }
    HWND Wnd;
    std::vector<TMessage> Got;
};

constexpr UINT kMsg = WM_USER + 1;

bool Wait(const std::function<bool()>& pred) { return RunFor(pred, std::chrono::seconds(10)); }

void Settle()
{
    RunFor([] { return false; }, std::chrono::milliseconds(50));
}

sockaddr_in Loopback(int port)
{
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_port = htons(static_cast<std::uint16_t>(port));
    sin.sin_addr.s_addr = htonl(0x7F000001);
    return sin;
}

// A listener on a free port of 127.0.0.1.
SOCKET Listen(int& port)
{
    SOCKET s = winsock::socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_EQ(winsock::bind(s, Loopback(0)), 0);
    EXPECT_EQ(winsock::listen(s, 5), 0);
    sockaddr_in sin{};
    winsock::getsockname(s, &sin);
    port = ntohs(sin.sin_port);
    return s;
}

}  // namespace

TEST(WinSockErrors, MappedFromErrnoWithTexts)
{
    EXPECT_EQ(ErrnoToWinSock(ECONNREFUSED), 10061);
    EXPECT_EQ(ErrnoToWinSock(EWOULDBLOCK), 10035);
    EXPECT_EQ(ErrnoToWinSock(ECONNRESET), 10054);
    EXPECT_EQ(ErrnoToWinSock(EPIPE), 10054);
    EXPECT_EQ(ErrnoToWinSock(ENOTCONN), 10057);
    EXPECT_EQ(ErrnoToWinSock(EADDRINUSE), 10048);
    EXPECT_EQ(ErrnoToWinSock(ETIMEDOUT), 10060);
    EXPECT_EQ(WinSockErrorText(10061), "Connection refused");
    EXPECT_EQ(WinSockErrorText(10093), "WinSock not initialized");
    EXPECT_EQ(WinSockErrorText(11004), "No Data");
    EXPECT_EQ(WinSockErrorText(9999), "Not a WinSock error");
}

TEST(WinSockAddresses, DottedTextOnly)
{
    EXPECT_EQ(winsock::inet_addr("127.0.0.1"), htonl(0x7F000001));
    EXPECT_EQ(winsock::inet_addr("0.0.0.0"), 0u);
    EXPECT_EQ(winsock::inet_addr("255.255.255.255"), INADDR_NONE);
    for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.4x", "a.b.c.d", "1..2.3", "1.2.3.0001"})
        EXPECT_EQ(winsock::inet_addr(bad), INADDR_NONE) << bad;
    EXPECT_EQ(winsock::inet_ntoa(htonl(0xC0A80001)), "192.168.0.1");
    EXPECT_EQ(winsock::getservbyname("ftp", "tcp"), 21);
    EXPECT_EQ(winsock::getprotobyname("tcp"), 6);
    EXPECT_EQ(winsock::getservbyname("surely-not-a-service", "tcp"), -1);
}

TEST(WinSockStartup, CountsUpAndDown)
{
    int before = StartupCount();
    EXPECT_EQ(WSAStartup(0x0101), 0);
    EXPECT_EQ(StartupCount(), before + 1);
    EXPECT_EQ(WSACleanup(), 0);
    EXPECT_EQ(StartupCount(), before);
    EXPECT_EQ(WSAStartup(0x0000), WSAVERNOTSUPPORTED);
}

TEST(WinSockSelect, AcceptIsReEnabledByAccept)
{
    Events ev;
    int port = 0;
    SOCKET listener = Listen(port);
    ASSERT_EQ(WSAAsyncSelect(listener, ev.Wnd, kMsg, FD_ACCEPT), 0);
    SOCKET c1 = winsock::socket(AF_INET, SOCK_STREAM, 0);
    SOCKET c2 = winsock::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(winsock::connect(c1, Loopback(port)), 0);
    ASSERT_EQ(winsock::connect(c2, Loopback(port)), 0);
    ASSERT_TRUE(Wait([&] { return ev.Count(listener, FD_ACCEPT) == 1; }));
    Settle();
    EXPECT_EQ(ev.Count(listener, FD_ACCEPT), 1) << "one FD_ACCEPT until accept is called";
    SOCKET a1 = winsock::accept(listener, nullptr);
    ASSERT_NE(a1, INVALID_SOCKET);
    ASSERT_TRUE(Wait([&] { return ev.Count(listener, FD_ACCEPT) == 2; }));
    SOCKET a2 = winsock::accept(listener, nullptr);
    ASSERT_NE(a2, INVALID_SOCKET);
    Settle();
    EXPECT_EQ(ev.Count(listener, FD_ACCEPT), 2);
    EXPECT_EQ(winsock::accept(listener, nullptr), INVALID_SOCKET);
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
    for (SOCKET s : {a1, a2, c1, c2, listener}) closesocket(s);
}

TEST(WinSockSelect, ReadIsReEnabledByRecvAndCloseComesOnce)
{
    Events ev;
    int port = 0;
    SOCKET listener = Listen(port);
    SOCKET client = winsock::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(WSAAsyncSelect(client, ev.Wnd, kMsg, FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE), 0);
    ASSERT_EQ(winsock::connect(client, Loopback(port)), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
    ASSERT_TRUE(Wait([&] { return ev.Count(client, FD_CONNECT) == 1 && ev.Count(client, FD_WRITE) == 1; }));
    EXPECT_EQ(ev.ErrorOf(client, FD_CONNECT), 0);
    SOCKET server = winsock::accept(listener, nullptr);
    ASSERT_NE(server, INVALID_SOCKET);

    ASSERT_EQ(winsock::send(server, "abcdef", 6, 0), 6);
    ASSERT_TRUE(Wait([&] { return ev.Count(client, FD_READ) == 1; }));
    Settle();
    EXPECT_EQ(ev.Count(client, FD_READ), 1) << "no second FD_READ before a recv";
    char buffer[4];
    ASSERT_EQ(winsock::recv(client, buffer, 4, 0), 4);
    ASSERT_TRUE(Wait([&] { return ev.Count(client, FD_READ) == 2; })) << "data remains after the recv";
    ASSERT_EQ(winsock::recv(client, buffer, 4, 0), 2);
    Settle();
    EXPECT_EQ(ev.Count(client, FD_READ), 2);

    closesocket(server);
    ASSERT_TRUE(Wait([&] { return ev.Count(client, FD_CLOSE) == 1; }));
    EXPECT_EQ(ev.ErrorOf(client, FD_CLOSE), 0);
    EXPECT_EQ(winsock::recv(client, buffer, 4, 0), 0);
    Settle();
    EXPECT_EQ(ev.Count(client, FD_CLOSE), 1);
    closesocket(client);
    closesocket(listener);
}

TEST(WinSockSelect, RefusedConnectReportsItsError)
{
    int port = 0;
    SOCKET listener = Listen(port);
    closesocket(listener);
    Events ev;
    SOCKET client = winsock::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(WSAAsyncSelect(client, ev.Wnd, kMsg, FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE), 0);
    EXPECT_EQ(winsock::connect(client, Loopback(port)), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
    ASSERT_TRUE(Wait([&] { return ev.Count(client, FD_CONNECT) == 1; }));
    EXPECT_EQ(ev.ErrorOf(client, FD_CONNECT), WSAECONNREFUSED);
    Settle();
    EXPECT_EQ(ev.Count(client, FD_WRITE), 0);
    closesocket(client);
}

TEST(WinSockSelect, SendToAClosedPeerFailsWithoutSignal)
{
    int port = 0;
    SOCKET listener = Listen(port);
    SOCKET client = winsock::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(winsock::connect(client, Loopback(port)), 0);
    SOCKET server = winsock::accept(listener, nullptr);
    LingerOption hard{1, 0};
    ASSERT_EQ(winsock::setsockopt(server, SOL_SOCKET_WS, SO_LINGER_WS, &hard, sizeof hard), 0);
    closesocket(server);  // reset
    std::string chunk(65536, 'x');
    int result = 0;
    for (int i = 0; i < 100 && result >= 0; ++i)
        result = winsock::send(client, chunk.data(), static_cast<int>(chunk.size()), 0);
    EXPECT_EQ(result, SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAECONNRESET);
    closesocket(client);
    closesocket(listener);
}

TEST(WinSockSelect, ClosedHandleLosesItsQueuedNotifications)
{
    Events ev;
    SOCKET s = winsock::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(WSAAsyncSelect(s, ev.Wnd, kMsg, FD_READ), 0);
    PostMessage(ev.Wnd, kMsg, static_cast<WPARAM>(s), MakeLParam(FD_READ, 0));
    closesocket(s);
    ProcessMessages();
    EXPECT_TRUE(ev.Got.empty());
}

TEST(WinSockLookup, AsynchronousByName)
{
    Events ev;
    AsyncHandle h = WSAAsyncGetHostByName(ev.Wnd, kMsg, "localhost");
    ASSERT_NE(h, 0u);
    ASSERT_TRUE(Wait([&] { return !ev.Got.empty(); }));
    EXPECT_EQ(ev.Got[0].WParam, h);
    EXPECT_EQ(HiWord(ev.Got[0].LParam), 0);
    AsyncHostResult result;
    ASSERT_TRUE(WSAAsyncResult(h, result));
    ASSERT_FALSE(result.Addresses.empty());
    EXPECT_EQ(result.Addresses[0], htonl(0x7F000001));
    EXPECT_FALSE(WSAAsyncResult(h, result)) << "fetched once";

    AsyncHandle bad = WSAAsyncGetHostByName(ev.Wnd, kMsg, "no.such.host.invalid");
    ASSERT_TRUE(Wait([&] { return ev.Got.size() == 2; }));
    EXPECT_EQ(ev.Got[1].WParam, bad);
    EXPECT_EQ(HiWord(ev.Got[1].LParam), WSAHOST_NOT_FOUND);
    EXPECT_EQ(WSACancelAsyncRequest(bad), 0) << "drops the unfetched result";
    EXPECT_EQ(WSACancelAsyncRequest(bad), SOCKET_ERROR);
}

TEST(WinSockLookup, CancelledLookupPostsNothing)
{
    Events ev;
    AsyncHandle h = WSAAsyncGetHostByName(ev.Wnd, kMsg, "localhost");
    EXPECT_EQ(WSACancelAsyncRequest(h), 0);
    RunFor([] { return false; }, std::chrono::milliseconds(300));
    EXPECT_TRUE(ev.Got.empty());
}
