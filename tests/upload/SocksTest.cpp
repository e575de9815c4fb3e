// Connecting through SOCKS 4, 4A and 5 with the test proxy (socks_proxy.py),
// and against scripted proxies that misbehave.
#include "SocketTestSupport.h"

#include <gtest/gtest.h>

using namespace socktest;

namespace {

// An echo server on 127.0.0.1: the destination behind the proxy.
struct EchoServer {
    EchoServer()
    {
        Listener = MakeListener(Port);
        Listener->OnSessionAvailable = [this](TCustomAsyncSocket*, std::uint16_t) {
            auto peer = std::make_unique<TAsyncSocket>();
            peer->Dup(Listener->Accept());
            peer->OnDataAvailable = [](TCustomAsyncSocket* s, std::uint16_t) {
                std::string text = s->ReceiveText();
                if (!text.empty()) s->SendText(text);
            };
            Peers.push_back(std::move(peer));
        };
    }
    std::unique_ptr<TAsyncSocket> Listener;
    std::vector<std::unique_ptr<TAsyncSocket>> Peers;
    int Port = 0;
};

struct SocksClient {
    SocksClient(int proxyPort, const std::string& level, const std::string& addr, int port)
    {
        Socket.SetSocksServer("127.0.0.1");
        Socket.SetSocksPort(std::to_string(proxyPort));
        Socket.SetSocksLevel(level);
        Socket.SetAddr(addr);
        Socket.SetPort(std::to_string(port));
        Socket.SetLingerOnOff(wsLingerOff);
        Socket.OnSessionConnected = [this](TCustomAsyncSocket*, std::uint16_t error) { Connected.push_back(error); };
        Socket.OnSocksConnected = [this](TCustomAsyncSocket*, std::uint16_t error) { ProxyConnected.push_back(error); };
        Socket.OnSocksError = [this](TCustomAsyncSocket*, int error, const std::string& msg) {
            Errors.emplace_back(error, msg);
        };
        Socket.OnSocksAuthState = [this](TCustomAsyncSocket*, TSocksAuthState state) { AuthStates.push_back(state); };
        Socket.OnDataAvailable = [this](TCustomAsyncSocket* s, std::uint16_t) { Received += s->ReceiveText(); };
    }
    bool ConnectAndWait()
    {
        Socket.Connect();
        return WaitFor([this] { return !Connected.empty(); });
    }
    bool Echo(const std::string& text)
    {
        Received.clear();
        Socket.SendText(text);
        return WaitFor([&] { return Received.size() >= text.size(); }) && Received == text;
    }

    TAsyncSocket Socket;
    std::vector<int> Connected, ProxyConnected;
    std::vector<std::pair<int, std::string>> Errors;
    std::vector<TSocksAuthState> AuthStates;
    std::string Received;
};

std::string PortHex(int port) { return Hex(std::string{static_cast<char>(port >> 8), static_cast<char>(port & 255)}); }

}  // namespace

TEST(Socks, Level5WithoutAuthentication)
{
    SocksProxy proxy;
    ASSERT_GT(proxy.Port(), 0);
    EchoServer echo;
    SocksClient client(proxy.Port(), "5", "127.0.0.1", echo.Port);
    ASSERT_TRUE(client.ConnectAndWait());
    EXPECT_EQ(client.ProxyConnected, std::vector<int>{0});
    EXPECT_EQ(client.Connected, std::vector<int>{0});
    EXPECT_TRUE(client.AuthStates.empty());
    EXPECT_EQ(client.Socket.BoundAddr(), "127.0.0.1");
    EXPECT_EQ(client.Socket.BoundPort(), "4321");
    EXPECT_TRUE(client.Echo("through the proxy\r\n"));
    auto log = proxy.LogLines();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], "methods 050100");
    // The destination always goes as a name.
    EXPECT_EQ(log[1], "connect5 05010003" + Hex("\x09") + Hex("127.0.0.1") + PortHex(echo.Port));
}

TEST(Socks, Level5WithUserAndPassword)
{
    SocksProxy proxy({"--auth", "alice:open sesame"});
    ASSERT_GT(proxy.Port(), 0);
    EchoServer echo;
    SocksClient client(proxy.Port(), "5", "localhost", echo.Port);
    client.Socket.SetSocksAuthentication(socksAuthenticateUsercode);
    client.Socket.SetSocksUsercode("alice");
    client.Socket.SetSocksPassword("open sesame");
    ASSERT_TRUE(client.ConnectAndWait());
    EXPECT_EQ(client.Connected, std::vector<int>{0});
    EXPECT_EQ(client.AuthStates, (std::vector<TSocksAuthState>{socksAuthStart, socksAuthSuccess}));
    EXPECT_TRUE(client.Echo("authenticated"));
    auto log = proxy.LogLines();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0], "methods 050102");
    EXPECT_EQ(log[1], "auth 0105" + Hex("alice") + "0b" + Hex("open sesame"));
}

TEST(Socks, Level5WrongPasswordFails)
{
    SocksProxy proxy({"--auth", "alice:right"});
    ASSERT_GT(proxy.Port(), 0);
    EchoServer echo;
    SocksClient client(proxy.Port(), "5", "127.0.0.1", echo.Port);
    client.Socket.SetSocksAuthentication(socksAuthenticateUsercode);
    client.Socket.SetSocksUsercode("alice");
    client.Socket.SetSocksPassword("wrong");
    int closed = -1;
    client.Socket.OnSessionClosed = [&](TCustomAsyncSocket*, std::uint16_t error) { closed = error; };
    ASSERT_TRUE(client.ConnectAndWait());
    EXPECT_EQ(client.Connected, std::vector<int>{20015});
    ASSERT_EQ(client.Errors.size(), 1u);
    EXPECT_EQ(client.Errors[0], std::make_pair(20015, std::string("socks authentication failed")));
    EXPECT_EQ(client.AuthStates, (std::vector<TSocksAuthState>{socksAuthStart, socksAuthFailure}));
    EXPECT_EQ(closed, 20015);
    EXPECT_EQ(client.Socket.State(), wsClosed);
}

TEST(Socks, Level5ProxyDemandsAMethodNotOffered)
{
    SocksProxy proxy({"--auth", "alice:right"});
    ASSERT_GT(proxy.Port(), 0);
    SocksClient client(proxy.Port(), "5", "127.0.0.1", 9);
    ASSERT_TRUE(client.ConnectAndWait());
    EXPECT_EQ(client.Connected, std::vector<int>{20003});
    ASSERT_EQ(client.Errors.size(), 1u);
    EXPECT_EQ(client.Errors[0].second, "authentification method not acceptable");
}

TEST(Socks, Level5RefusedByTheProxy)
{
    SocksProxy proxy({"--reply", "5"});
    ASSERT_GT(proxy.Port(), 0);
    SocksClient client(proxy.Port(), "5", "127.0.0.1", 9);
    ASSERT_TRUE(client.ConnectAndWait());
    EXPECT_EQ(client.Connected, std::vector<int>{20008});
    ASSERT_EQ(client.Errors.size(), 1u);
    EXPECT_EQ(client.Errors[0].second, "connection refused");
}

TEST(Socks, Level5BoundNameAndDataBehindTheReply)
{
    SocksProxy proxy({"--bound-name", "relay.example", "--behind", "early bytes"});
    ASSERT_GT(proxy.Port(), 0);
    EchoServer echo;
    SocksClient client(proxy.Port(), "5", "127.0.0.1", echo.Port);
    std::string receivedWhenConnected;
    client.Socket.OnSessionConnected = [&](TCustomAsyncSocket*, std::uint16_t error) {
        client.Connected.push_back(error);
        receivedWhenConnected = client.Received;
    };
    ASSERT_TRUE(client.ConnectAndWait());
    EXPECT_EQ(client.Connected, std::vector<int>{0});
    EXPECT_EQ(receivedWhenConnected, "");
    ASSERT_TRUE(WaitFor([&] { return client.Received.size() >= 11; }));
    EXPECT_EQ(client.Received, "early bytes");
    EXPECT_EQ(client.Socket.BoundAddr(), "relay.example");
    EXPECT_EQ(client.Socket.BoundPort(), "4321");
    EXPECT_TRUE(client.Echo("after"));
}

TEST(Socks, Level4ConnectsWithTheAddress)
{
    SocksProxy proxy({"--user", "bob"});
    ASSERT_GT(proxy.Port(), 0);
    EchoServer echo;
    SocksClient client(proxy.Port(), "4", "127.0.0.1", echo.Port);
    client.Socket.SetSocksUsercode("bob");
    ASSERT_TRUE(client.ConnectAndWait());
    EXPECT_EQ(client.Connected, std::vector<int>{0});
    EXPECT_TRUE(client.Echo("four"));
    auto log = proxy.LogLines();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "connect4 0401" + PortHex(echo.Port) + "7f000001" + Hex("bob") + "00");
}

TEST(Socks, Level4ARequestCarriesTheName)
{
    SocksProxy proxy;
    ASSERT_GT(proxy.Port(), 0);
    EchoServer echo;
    SocksClient client(proxy.Port(), "4a", "localhost", echo.Port);
    EXPECT_EQ(client.Socket.SocksLevel(), "4A");
    ASSERT_TRUE(client.ConnectAndWait());
    EXPECT_EQ(client.Connected, std::vector<int>{0});
    EXPECT_TRUE(client.Echo("four A"));
    auto log = proxy.LogLines();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "connect4 0401" + PortHex(echo.Port) + "00000001" + "00" + Hex("localhost") + "00");
}

TEST(Socks, Level4Rejected)
{
    SocksProxy proxy({"--reply", "91"});
    ASSERT_GT(proxy.Port(), 0);
    SocksClient client(proxy.Port(), "4", "127.0.0.1", 9);
    ASSERT_TRUE(client.ConnectAndWait());
    EXPECT_EQ(client.Connected, std::vector<int>{20016});
    ASSERT_EQ(client.Errors.size(), 1u);
    EXPECT_EQ(client.Errors[0].second, "request rejected or failed");
    EXPECT_TRUE(WaitFor([&] { return client.Socket.State() == wsClosed; }));
}

TEST(Socks, Level4UnknownStatus)
{
    SocksProxy proxy({"--reply", "77"});
    ASSERT_GT(proxy.Port(), 0);
    SocksClient client(proxy.Port(), "4", "127.0.0.1", 9);
    ASSERT_TRUE(client.ConnectAndWait());
    EXPECT_EQ(client.Connected, std::vector<int>{20012});
    ASSERT_EQ(client.Errors.size(), 1u);
    EXPECT_EQ(client.Errors[0].second, "unassigned error #77");
}

TEST(Socks, Settings)
{
    TAsyncSocket socket;
    EXPECT_EQ(socket.SocksLevel(), "5");
    try {
        socket.SetSocksLevel("6");
        FAIL();
    } catch (const ESocketException& e) {
        EXPECT_EQ(e.Message, "Invalid socks level. Must be 4, 4A or 5.");
    }
    socket.SetSocksServer(" 127.0.0.1 ");
    EXPECT_EQ(socket.SocksServer(), "127.0.0.1");
    socket.SetAddr("127.0.0.1");
    socket.SetPort("0");
    try {
        socket.Listen();
        FAIL();
    } catch (const ESocketException& e) {
        EXPECT_EQ(e.Message, "listening is not supported thru socks server");
    }
    socket.SetProto("udp");
    socket.SetSocksPort("1080");
    try {
        socket.Connect();
        FAIL();
    } catch (const ESocketException& e) {
        EXPECT_EQ(e.Message, "tcp is the only protocol supported thru socks server");
    }
}

TEST(Socks, ProxyClosingMidwayEndsTheConnectWithAnError)
{
    // A "proxy" that accepts and hangs up at once.
    int port = 0;
    auto listener = MakeListener(port);
    TAsyncSocket peer;
    listener->OnSessionAvailable = [&](TCustomAsyncSocket*, std::uint16_t) {
        peer.Dup(listener->Accept());
        peer.SetLingerOnOff(wsLingerOff);
        peer.PostClose();
    };
    SocksClient client(port, "5", "127.0.0.1", 9);
    bool closed = false;
    client.Socket.OnSessionClosed = [&](TCustomAsyncSocket*, std::uint16_t) { closed = true; };
    ASSERT_TRUE(client.ConnectAndWait());
    ASSERT_EQ(client.Connected.size(), 1u);
    EXPECT_NE(client.Connected[0], 0);
    EXPECT_TRUE(WaitFor([&] { return closed; }));
}

TEST(Socks, LongestReplyAndDataBehindItStayInBounds)
{
    // A scripted proxy: accepts any method, then answers the connect
    // request with a 255-byte bound name and 3000 data bytes in one write.
    int port = 0;
    auto listener = MakeListener(port);
    TAsyncSocket peer;
    std::string request;
    const std::string name(255, 'n');
    std::string data;
    for (int i = 0; i < 3000; ++i) data += static_cast<char>('a' + i % 26);
    listener->OnSessionAvailable = [&](TCustomAsyncSocket*, std::uint16_t) {
        peer.Dup(listener->Accept());
        peer.OnDataAvailable = [&](TCustomAsyncSocket* s, std::uint16_t) {
            request += s->ReceiveText();
            if (request.size() == 3) {
                s->SendText(std::string("\x05\x00", 2));
            } else if (request.size() > 3 + 5 && request.size() == 3 + 5 + std::size_t(request[7]) + 2) {
                std::string reply("\x05\x00\x00\x03", 4);
                reply += static_cast<char>(255);
                reply += name;
                reply += "\x10\x92";
                s->SendText(reply + data);
            }
        };
    };
    SocksClient client(port, "5", "127.0.0.1", 9);
    ASSERT_TRUE(client.ConnectAndWait());
    EXPECT_EQ(client.Connected, std::vector<int>{0});
    EXPECT_EQ(client.Socket.BoundAddr(), name);
    EXPECT_EQ(client.Socket.BoundPort(), "4242");
    ASSERT_TRUE(WaitFor([&] { return client.Received.size() >= data.size(); }));
    EXPECT_EQ(client.Received, data);
}

TEST(Socks, Level5AuthenticationOfferedButNotRequired)
{
    SocksProxy proxy;
    ASSERT_GT(proxy.Port(), 0);
    EchoServer echo;
    SocksClient client(proxy.Port(), "5", "127.0.0.1", echo.Port);
    client.Socket.SetSocksAuthentication(socksAuthenticateUsercode);
    client.Socket.SetSocksUsercode("alice");
    ASSERT_TRUE(client.ConnectAndWait());
    EXPECT_EQ(client.Connected, std::vector<int>{0});
    EXPECT_EQ(client.AuthStates, std::vector<TSocksAuthState>{socksAuthNotRequired});
    EXPECT_TRUE(client.Echo("no password needed"));
}

TEST(Socks, Level4UnresolvableDestination)
{
    SocksProxy proxy;
    ASSERT_GT(proxy.Port(), 0);
    SocksClient client(proxy.Port(), "4", "no.such.host.invalid", 9);
    int closed = -1;
    client.Socket.OnSessionClosed = [&](TCustomAsyncSocket*, std::uint16_t error) { closed = error; };
    ASSERT_TRUE(client.ConnectAndWait());
    EXPECT_EQ(client.Connected, std::vector<int>{20017});
    ASSERT_EQ(client.Errors.size(), 1u);
    EXPECT_EQ(client.Errors[0].second,
              "ESocketException SocketResolveHost: Cannot convert host address 'no.such.host.invalid'");
    EXPECT_EQ(closed, 20017);
}
