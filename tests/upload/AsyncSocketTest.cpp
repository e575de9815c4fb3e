// The asynchronous socket over 127.0.0.1: connect, accept, send, receive,
// close events, the send queue, look-ups and the failure texts.
#include "SocketTestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace socktest;

namespace {

std::string Pattern(std::size_t size)
{
    std::string bytes(size, '\0');
    std::uint32_t x = 12345;
    for (auto& c : bytes) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 16);
    }
    return bytes;
}

// Collects everything the socket receives.
void CollectInto(TAsyncSocket& socket, std::string& received)
{
    socket.OnDataAvailable = [&received](TCustomAsyncSocket* s, std::uint16_t) {
        char buffer[4096];
        int n;
        while ((n = s->Receive(buffer, sizeof buffer)) > 0) received.append(buffer, static_cast<std::size_t>(n));
    };
}

}  // namespace

TEST(AsyncSocket, EchoThroughListenerAndClient)
{
    LoopbackPair pair;
    ASSERT_TRUE(pair.Ok);
    EXPECT_EQ(pair.Client.State(), wsConnected);
    EXPECT_EQ(pair.Server.State(), wsConnected);
    EXPECT_EQ(pair.Client.PeerAddress(), "127.0.0.1");
    EXPECT_EQ(pair.Client.PeerPortText(), std::to_string(pair.Port));
    EXPECT_EQ(pair.Server.PeerPortText(), pair.Client.LocalPortText());

    // The server echoes every piece back.
    pair.Server.OnDataAvailable = [](TCustomAsyncSocket* s, std::uint16_t) {
        std::string text = s->ReceiveText();
        if (!text.empty()) s->SendText(text);
    };
    std::string received;
    CollectInto(pair.Client, received);
    EXPECT_EQ(pair.Client.SendText("hello, world\r\n"), 14);
    ASSERT_TRUE(WaitFor([&] { return received.size() >= 14; }));
    EXPECT_EQ(received, "hello, world\r\n");
    EXPECT_EQ(pair.Client.ReadCount(), 14);
}

TEST(AsyncSocket, DataSentComesLaterAsAMessage)
{
    LoopbackPair pair;
    ASSERT_TRUE(pair.Ok);
    int sentEvents = 0;
    int bytesReported = 0;
    pair.Client.OnDataSent = [&](TCustomAsyncSocket*, std::uint16_t error) {
        EXPECT_EQ(error, 0);
        ++sentEvents;
    };
    pair.Client.OnSendData = [&](TCustomAsyncSocket*, int bytes) { bytesReported += bytes; };
    ProcessMessages();  // the write event that follows the connection
    sentEvents = 0;
    pair.Client.SendText("abc");
    EXPECT_EQ(sentEvents, 0) << "never from inside Send";
    EXPECT_EQ(bytesReported, 3);
    ASSERT_TRUE(WaitFor([&] { return sentEvents == 1; }));
    EXPECT_TRUE(pair.Client.AllSent());
}

TEST(AsyncSocket, LargeSendIsQueuedAndFullyDelivered)
{
    LoopbackPair pair;
    ASSERT_TRUE(pair.Ok);
    const std::string data = Pattern(8 * 1024 * 1024 + 17);
    std::string received;
    // The receiver starts late, so the network buffers fill and the rest
    // waits in the send queue.
    bool allSent = false;
    pair.Client.OnDataSent = [&](TCustomAsyncSocket* s, std::uint16_t) { allSent = s->AllSent(); };
    ProcessMessages();
    allSent = false;
    ASSERT_EQ(pair.Client.Send(data.data(), static_cast<int>(data.size())), static_cast<int>(data.size()));
    EXPECT_FALSE(pair.Client.AllSent());
    EXPECT_GT(pair.Client.BufferedByteCount(), 0);
    CollectInto(pair.Server, received);
    ASSERT_TRUE(WaitFor([&] { return received.size() >= data.size() && allSent; }));
    EXPECT_TRUE(received == data);
    EXPECT_EQ(pair.Client.BufferedByteCount(), 0);
}

TEST(AsyncSocket, ConnectionRefusedGivesTheError)
{
    int port = 0;
    {
        auto listener = MakeListener(port);  // take a port, then free it
    }
    TAsyncSocket client;
    int connectedError = -1;
    int closedEvents = 0;
    client.OnSessionConnected = [&](TCustomAsyncSocket*, std::uint16_t error) { connectedError = error; };
    client.OnSessionClosed = [&](TCustomAsyncSocket*, std::uint16_t) { ++closedEvents; };
    client.SetAddr("127.0.0.1");
    client.SetPort(std::to_string(port));
    client.Connect();
    EXPECT_EQ(client.State(), wsConnecting);
    ASSERT_TRUE(WaitFor([&] { return connectedError >= 0 && client.State() == wsClosed; }));
    EXPECT_EQ(connectedError, 10061);
    EXPECT_EQ(SocketErrorDesc(connectedError), "Connection refused");
    EXPECT_EQ(closedEvents, 1);
}

TEST(AsyncSocket, PeerCloseDeliversDataThenOneCloseEvent)
{
    LoopbackPair pair;
    ASSERT_TRUE(pair.Ok);
    std::string received;
    CollectInto(pair.Client, received);
    std::vector<int> closes;
    std::string receivedAtClose;
    pair.Client.OnSessionClosed = [&](TCustomAsyncSocket*, std::uint16_t error) {
        closes.push_back(error);
        receivedAtClose = received;
    };
    pair.Server.SetLingerOnOff(wsLingerOff);
    pair.Server.SendText("last words");
    pair.Server.Flush();
    pair.Server.Close();
    ASSERT_TRUE(WaitFor([&] { return !closes.empty(); }));
    ProcessMessages();
    EXPECT_EQ(closes, std::vector<int>{0});
    EXPECT_EQ(receivedAtClose, "last words");
    EXPECT_EQ(pair.Client.State(), wsClosed);
}

TEST(AsyncSocket, ResetConnectionIsABreakNotAnEnd)
{
    // Lingering off, as the upload's data connection has it, and nothing
    // left to send: the peer still sees a reset, never the orderly end of
    // what it received (Close gives that, above).
    LoopbackPair pair;
    ASSERT_TRUE(pair.Ok);
    std::string received;
    CollectInto(pair.Client, received);
    std::vector<int> closes, ownCloses;
    pair.Client.OnSessionClosed = [&](TCustomAsyncSocket*, std::uint16_t error) { closes.push_back(error); };
    pair.Server.OnSessionClosed = [&](TCustomAsyncSocket*, std::uint16_t error) { ownCloses.push_back(error); };
    const linger off{0, 0};
    ASSERT_EQ(::setsockopt(pair.Server.HSocket(), SOL_SOCKET, SO_LINGER, &off, sizeof off), 0);
    pair.Server.SendText("part of a file");
    pair.Server.Flush();
    ASSERT_TRUE(WaitFor([&] { return received.size() == 14; }));
    pair.Server.ResetConnection();
    EXPECT_EQ(pair.Server.State(), wsClosed);
    EXPECT_EQ(ownCloses, std::vector<int>{0});
    ASSERT_TRUE(WaitFor([&] { return !closes.empty(); }));
    EXPECT_EQ(closes, std::vector<int>{winsock::WSAECONNRESET});
}

TEST(AsyncSocket, SendFailureAndCloseReportClosedOnce)
{
    LoopbackPair pair;
    ASSERT_TRUE(pair.Ok);
    int closes = 0;
    pair.Client.OnSessionClosed = [&](TCustomAsyncSocket*, std::uint16_t) { ++closes; };
    // The peer vanishes with a reset (default linger on, time-out 0).
    pair.Server.SetLingerOnOff(wsLingerOn);
    pair.Server.SetLingerTimeout(0);
    ::shutdown(pair.Server.HSocket(), SHUT_RDWR);
    pair.Server.Abort();
    const std::string chunk(64 * 1024, 'x');
    for (int i = 0; i < 50 && pair.Client.State() == wsConnected; ++i) {
        pair.Client.SendText(chunk);
        RunFor([] { return false; }, std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(WaitFor([&] { return pair.Client.State() == wsClosed; }));
    RunFor([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_EQ(closes, 1);
}

TEST(AsyncSocket, PropertiesAreResetByClose)
{
    LoopbackPair pair;
    ASSERT_TRUE(pair.Ok);
    EXPECT_THROW(pair.Client.SetAddr("127.0.0.2"), ESocketException);
    try {
        pair.Client.SetPort("21");
        FAIL();
    } catch (const ESocketException& e) {
        EXPECT_EQ(e.Message, "Cannot change Port if not closed");
    }
    pair.Client.Close();
    EXPECT_EQ(pair.Client.State(), wsClosed);
    EXPECT_EQ(pair.Client.Addr(), "127.0.0.1");  // the text stays, unassigned
    try {
        pair.Client.Connect();
        FAIL();
    } catch (const ESocketException& e) {
        EXPECT_EQ(e.Message, "Connect: No Port Specified");
    }
    pair.Client.SetPort(std::to_string(pair.Port));
    try {
        pair.Client.Connect();
        FAIL();
    } catch (const ESocketException& e) {
        EXPECT_EQ(e.Message, "Connect: No IP Address Specified");
    }
}

TEST(AsyncSocket, OnErrorReplacesTheException)
{
    TAsyncSocket socket;
    int errors = 0;
    socket.OnError = [&](TCustomAsyncSocket*) { ++errors; };
    EXPECT_EQ(socket.SendText("x"), -1);
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(socket.LastError(), 10057);
    socket.SetSendFlags(static_cast<TSocketSendFlags>(7));
    EXPECT_EQ(errors, 2);
    EXPECT_EQ(socket.SendFlags(), wsSendNormal);
}

TEST(AsyncSocket, TextValidation)
{
    TAsyncSocket socket;
    try {
        socket.SetLocalAddr("1.2.3");
        FAIL();
    } catch (const ESocketException& e) {
        EXPECT_EQ(e.Message, "SetLocalAddr(): Invalid IP address");
    }
    socket.SetLocalAddr("");
    EXPECT_EQ(socket.LocalAddr(), "0.0.0.0");
    socket.SetLocalAddr(" 127.0.0.1 ");
    EXPECT_EQ(socket.LocalAddr(), "127.0.0.1");
    try {
        socket.SetSendFlags(static_cast<TSocketSendFlags>(2));
        FAIL();
    } catch (const ESocketException& e) {
        EXPECT_EQ(e.Message, "Invalid SendFlags");
    }

    EXPECT_EQ(SocketResolvePort("ftp", "tcp"), 21);
    EXPECT_EQ(SocketResolvePort("2121", "tcp"), 2121);
    EXPECT_EQ(SocketResolvePort("21abc", "tcp"), 21);
    EXPECT_THROW(SocketResolvePort("99999999", "tcp"), ESocketException);
    EXPECT_THROW(SocketResolvePort(std::string(32, '1'), "tcp"), ESocketException);
    try {
        SocketResolvePort("", "tcp");
        FAIL();
    } catch (const ESocketException& e) {
        EXPECT_EQ(e.Message, "SocketResolvePort: Invalid Port.");
    }
    try {
        SocketResolvePort("no-such-service-here", "tcp");
        FAIL();
    } catch (const ESocketException& e) {
        EXPECT_EQ(e.Message, "SocketResolvePort: Cannot convert port 'no-such-service-here'");
    }
    EXPECT_EQ(SocketResolveProto("tcp"), 6);
    EXPECT_EQ(SocketResolveProto("udp"), 17);
    EXPECT_EQ(SocketResolveProto("17"), 17);
    EXPECT_THROW(SocketResolveProto(""), ESocketException);

    EXPECT_EQ(SocketResolveHost("127.0.0.1"), htonl(0x7F000001));
    EXPECT_EQ(SocketResolveHost("255.255.255.255"), 0xFFFFFFFFu);
    try {
        SocketResolveHost("1.2.3.256");
        FAIL();
    } catch (const ESocketException& e) {
        EXPECT_EQ(e.Message, "SocketResolveHost: '1.2.3.256' Invalid IP address.");
    }
    try {
        SocketResolveHost("");
        FAIL();
    } catch (const ESocketException& e) {
        EXPECT_EQ(e.Message, "SocketResolveHost: '' Invalid Hostname.");
    }
    EXPECT_THROW(SocketResolveHost(std::string(257, 'a')), ESocketException);
    try {
        SocketResolveHost("no.such.host.invalid");
        FAIL();
    } catch (const ESocketException& e) {
        EXPECT_EQ(e.Message, "SocketResolveHost: Cannot convert host address 'no.such.host.invalid'");
    }
    EXPECT_EQ(SocketResolveHost("localhost"), htonl(0x7F000001));
}

TEST(AsyncSocket, ErrorTexts)
{
    EXPECT_EQ(SocketErrorDesc(0), "No Error");
    EXPECT_EQ(SocketErrorDesc(10035), "Operation would block");
    EXPECT_EQ(SocketErrorDesc(10054), "Connection reset by peer");
    EXPECT_EQ(SocketErrorDesc(11001), "Host not found");
    EXPECT_EQ(SocketErrorDesc(12345), "Not a WinSock error");

    TAsyncSocket socket;
    try {
        socket.SendText("x");
        FAIL();
    } catch (const ESocketException& e) {
        EXPECT_EQ(e.Message, "Error 10057 in function Send\r\nSocket is not connected");
    }
}

TEST(AsyncSocketLookup, DottedAddressCompletesBeforeReturning)
{
    TAsyncSocket socket;
    int done = -1;
    socket.OnDnsLookupDone = [&](TCustomAsyncSocket*, std::uint16_t error) { done = error; };
    socket.DnsLookup("127.0.0.1");
    EXPECT_EQ(done, 0);
    EXPECT_EQ(socket.DnsResult(), "127.0.0.1");
}

TEST(AsyncSocketLookup, EmptyNameEndsWithAnErrorEvent)
{
    // Without OnError as with it, the look-up ends with the done event, so
    // a connect waiting for it is never left hanging.
    TAsyncSocket socket;
    int done = -1;
    socket.OnDnsLookupDone = [&](TCustomAsyncSocket*, std::uint16_t error) { done = error; };
    EXPECT_NO_THROW(socket.DnsLookup(""));
    EXPECT_EQ(done, 10022);
    done = -1;
    int errors = 0;
    socket.OnError = [&](TCustomAsyncSocket*) { ++errors; };
    socket.DnsLookup("");
    EXPECT_EQ(done, 10022);
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(socket.LastError(), 10022);
}

TEST(AsyncSocketLookup, LocalhostResolvesAsynchronously)
{
    TAsyncSocket socket;
    int done = -1;
    socket.OnDnsLookupDone = [&](TCustomAsyncSocket*, std::uint16_t error) { done = error; };
    socket.DnsLookup("localhost");
    EXPECT_EQ(done, -1) << "the result comes as a message";
    ASSERT_TRUE(WaitFor([&] { return done >= 0; }));
    EXPECT_EQ(done, 0);
    EXPECT_EQ(socket.DnsResult(), "127.0.0.1");
    ASSERT_FALSE(socket.DnsResultList().empty());
    EXPECT_EQ(socket.DnsResultList().front(), "127.0.0.1");
}

TEST(AsyncSocketLookup, UnknownNameFailsWithHostNotFound)
{
    TAsyncSocket socket;
    int done = -1;
    socket.OnDnsLookupDone = [&](TCustomAsyncSocket*, std::uint16_t error) { done = error; };
    socket.DnsLookup("no.such.host.invalid");
    ASSERT_TRUE(WaitFor([&] { return done >= 0; }));
    EXPECT_EQ(done, 11001);
    EXPECT_EQ(socket.DnsResult(), "");
}

TEST(AsyncSocketLookup, CancelReportsInterruptedAndNothingElse)
{
    TAsyncSocket socket;
    std::vector<int> done;
    socket.OnDnsLookupDone = [&](TCustomAsyncSocket*, std::uint16_t error) { done.push_back(error); };
    socket.DnsLookup("localhost");
    socket.CancelDnsLookup();
    EXPECT_EQ(done, std::vector<int>{10004});
    RunFor([] { return false; }, std::chrono::milliseconds(300));
    EXPECT_EQ(done, std::vector<int>{10004});
}

TEST(AsyncSocketLookup, ReverseLookupOfLoopback)
{
    TAsyncSocket socket;
    int done = -1;
    socket.OnDnsLookupDone = [&](TCustomAsyncSocket*, std::uint16_t error) { done = error; };
    socket.ReverseDnsLookup("127.0.0.1");
    ASSERT_TRUE(WaitFor([&] { return done >= 0; }));
    EXPECT_EQ(done, 0);
    // /etc/hosts may name it "localhost" or "localhost.localdomain".
    EXPECT_EQ(socket.DnsResult().substr(0, 9), "localhost");
    EXPECT_EQ(socket.DnsResultList().size(), 1u);
}

TEST(AsyncSocketLibrary, LoadedOnceUnloadedWithTheLastSocket)
{
    ASSERT_EQ(LiveSocketCount(), 0);
    EXPECT_EQ(winsock::StartupCount(), 0);
    {
        TAsyncSocket a, b, c;
        a.DnsLookup("127.0.0.1");
        b.DnsLookup("127.0.0.1");
        EXPECT_EQ(winsock::StartupCount(), 1);
        EXPECT_EQ(LiveSocketCount(), 3);
    }
    EXPECT_EQ(LiveSocketCount(), 0);
    EXPECT_EQ(winsock::StartupCount(), 0);
}

TEST(AsyncSocket, DupTakesDescriptorZero)
{
    // Descriptor 0 is a socket like any other; it is not "no socket".
    int port = 0;
    auto listener = MakeListener(port);
    TAsyncSocket server, client;
    bool accepted = false;
    TSocket handle = INVALID_SOCKET;
    listener->OnSessionAvailable = [&](TCustomAsyncSocket*, std::uint16_t) {
        handle = listener->Accept();
        server.Dup(handle);
        accepted = true;
    };
    client.SetAddr("127.0.0.1");
    client.SetPort(std::to_string(port));
    client.Connect();
    // The accepted connection gets the lowest free descriptor: 0.
    int savedStdin = ::dup(0);
    ASSERT_GE(savedStdin, 0);
    ::close(0);
    bool ok = WaitFor([&] { return accepted && client.State() == wsConnected; });
    EXPECT_TRUE(ok);
    EXPECT_EQ(handle, 0);
    EXPECT_EQ(server.HSocket(), 0);
    EXPECT_EQ(server.State(), wsConnected);
    std::string received;
    CollectInto(client, received);
    server.SendText("zero");
    EXPECT_TRUE(WaitFor([&] { return received == "zero"; }));
    server.Close();
    EXPECT_TRUE(WaitFor([&] { return client.State() == wsClosed; }));
    listener.reset();
    ::dup2(savedStdin, 0);
    ::close(savedStdin);
}

TEST(AsyncSocket, AcceptOutsideListeningFails)
{
    TAsyncSocket socket;
    try {
        socket.Accept();
        FAIL();
    } catch (const ESocketException& e) {
        EXPECT_EQ(e.Message, "Error 10022 in function not a listening socket\r\nInvalid argument");
    }
    try {
        socket.Dup(INVALID_SOCKET);
        FAIL();
    } catch (const ESocketException& e) {
        EXPECT_EQ(e.Message, "Error 10022 in function Dup\r\nInvalid argument");
    }
}

TEST(AsyncSocket, PauseHoldsEventsUntilResume)
{
    LoopbackPair pair;
    ASSERT_TRUE(pair.Ok);
    std::string received;
    CollectInto(pair.Client, received);
    pair.Client.Pause();
    pair.Server.SendText("held");
    RunFor([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_EQ(received, "");
    pair.Client.Resume();
    EXPECT_TRUE(WaitFor([&] { return received == "held"; }));
}

TEST(AsyncSocket, PostCloseClosesLater)
{
    LoopbackPair pair;
    ASSERT_TRUE(pair.Ok);
    pair.Client.PostClose();
    EXPECT_EQ(pair.Client.State(), wsConnected);
    EXPECT_TRUE(WaitFor([&] { return pair.Client.State() == wsClosed; }));
    EXPECT_TRUE(WaitFor([&] { return pair.Server.State() == wsClosed; }));
}

TEST(AsyncSocket, DatagramRoundTrip)
{
    TAsyncSocket receiver;
    receiver.SetProto("udp");
    receiver.SetAddr("127.0.0.1");
    receiver.SetPort("0");
    receiver.Listen();
    EXPECT_EQ(receiver.State(), wsConnected);
    int port = std::stoi(receiver.LocalPortText());
    std::string got;
    receiver.OnDataAvailable = [&](TCustomAsyncSocket* s, std::uint16_t) {
        char buffer[512];
        sockaddr_in from{};
        int n = s->ReceiveFrom(buffer, sizeof buffer, from);
        if (n > 0) got.assign(buffer, static_cast<std::size_t>(n));
    };
    TAsyncSocket sender;
    sender.SetProto("udp");
    sender.SetAddr("127.0.0.1");
    sender.SetPort(std::to_string(port));
    sender.Connect();
    EXPECT_EQ(sender.State(), wsConnected);
    sender.SendText("datagram");
    EXPECT_TRUE(WaitFor([&] { return got == "datagram"; }));
}

TEST(AsyncSocket, CloseNoticeWhileConnectingIsNotAClose)
{
    int port = 0;
    auto listener = MakeListener(port);
    TAsyncSocket client;
    int closes = 0;
    int connected = -1;
    client.OnSessionClosed = [&](TCustomAsyncSocket*, std::uint16_t) { ++closes; };
    client.OnSessionConnected = [&](TCustomAsyncSocket*, std::uint16_t error) { connected = error; };
    client.SetAddr("127.0.0.1");
    client.SetPort(std::to_string(port));
    client.Connect();
    ASSERT_EQ(client.State(), wsConnecting);
    // A close notice delivered ahead of the connect event.
    SendMessage(client.Handle(), WM_ASYNCSELECT, static_cast<WPARAM>(client.HSocket()),
                MakeLParam(static_cast<std::uint16_t>(winsock::FD_CLOSE), 0));
    EXPECT_EQ(closes, 0);
    EXPECT_EQ(client.State(), wsConnecting);
    ASSERT_TRUE(WaitFor([&] { return connected == 0; }));
    EXPECT_EQ(client.State(), wsConnected);
}

TEST(AsyncSocket, StateChangesAreReported)
{
    int port = 0;
    auto listener = MakeListener(port);
    TAsyncSocket client;
    std::vector<std::pair<TSocketState, TSocketState>> changes;
    client.OnChangeState = [&](TCustomAsyncSocket*, TSocketState from, TSocketState to) {
        changes.emplace_back(from, to);
    };
    client.SetAddr("127.0.0.1");
    client.SetPort(std::to_string(port));
    client.Connect();
    ASSERT_TRUE(WaitFor([&] { return client.State() == wsConnected; }));
    client.Close();
    using C = std::pair<TSocketState, TSocketState>;
    EXPECT_EQ(
        changes,
        (std::vector<C>{
            {wsClosed, wsOpened}, {wsOpened, wsConnecting}, {wsConnecting, wsConnected}, {wsConnected, wsClosed}}));
}

TEST(AsyncSocket, HandlerExceptionInAMessageGoesToOnBgExceptionThenAborts)
{
    int port = 0;
    auto listener = MakeListener(port);
    TAsyncSocket client;
    std::string seen;
    client.OnSessionConnected = [](TCustomAsyncSocket*, std::uint16_t) { throw Exception("handler failed"); };
    client.OnBgException = [&](TCustomAsyncSocket*, const std::exception& e, bool& canClose) {
        seen = e.what();
        EXPECT_TRUE(canClose);
    };
    client.SetAddr("127.0.0.1");
    client.SetPort(std::to_string(port));
    client.Connect();
    ASSERT_TRUE(WaitFor([&] { return !seen.empty(); }));
    EXPECT_EQ(seen, "handler failed");
    EXPECT_EQ(client.State(), wsClosed);
}

TEST(AsyncSocket, DataHandlerExceptionIsDroppedAndTheConnectionStays)
{
    LoopbackPair pair;
    ASSERT_TRUE(pair.Ok);
    int calls = 0;
    bool bg = false;
    pair.Client.OnBgException = [&](TCustomAsyncSocket*, const std::exception&, bool&) { bg = true; };
    pair.Client.OnDataAvailable = [&](TCustomAsyncSocket* s, std::uint16_t) {
        ++calls;
        s->ReceiveText();
        throw Exception("ignored");
    };
    pair.Server.SendText("a");
    ASSERT_TRUE(WaitFor([&] { return calls == 1; }));
    pair.Server.SendText("b");
    ASSERT_TRUE(WaitFor([&] { return calls == 2; }));
    EXPECT_FALSE(bg);
    EXPECT_EQ(pair.Client.State(), wsConnected);
}

TEST(AsyncSocket, PostFreeDeletesTheSocketLater)
{
    int before = LiveSocketCount();
    auto* socket = new TAsyncSocket;  // owned by nobody: frees itself
    EXPECT_EQ(LiveSocketCount(), before + 1);
    socket->PostFree();
    EXPECT_TRUE(WaitFor([&] { return LiveSocketCount() == before; }));
}

TEST(AsyncSocket, FlushSendsTheWholeQueue)
{
    LoopbackPair pair;
    ASSERT_TRUE(pair.Ok);
    std::string received;
    CollectInto(pair.Server, received);
    const std::string data = Pattern(3 * 1024 * 1024);
    pair.Client.SendText(data);
    pair.Client.Flush();
    EXPECT_TRUE(pair.Client.AllSent());
    EXPECT_EQ(pair.Client.BufferedByteCount(), 0);
    ASSERT_TRUE(WaitFor([&] { return received.size() == data.size(); }));
    EXPECT_TRUE(received == data);
}

TEST(AsyncSocket, ReconnectFromTheClosedHandlerKeepsTheNewConnection)
{
    int port = 0;
    auto listener = MakeListener(port);
    std::vector<std::unique_ptr<TAsyncSocket>> accepted;
    listener->OnSessionAvailable = [&](TCustomAsyncSocket*, std::uint16_t) {
        accepted.push_back(std::make_unique<TAsyncSocket>());
        accepted.back()->Dup(listener->Accept());
    };
    TAsyncSocket client;
    int connects = 0;
    bool reconnected = false;
    client.OnSessionConnected = [&](TCustomAsyncSocket*, std::uint16_t error) {
        EXPECT_EQ(error, 0);
        ++connects;
    };
    client.OnSessionClosed = [&](TCustomAsyncSocket* s, std::uint16_t) {
        if (reconnected) return;
        reconnected = true;
        s->SetAddr("127.0.0.1");
        s->SetPort(std::to_string(port));
        s->Connect();
    };
    client.SetAddr("127.0.0.1");
    client.SetPort(std::to_string(port));
    client.Connect();
    ASSERT_TRUE(WaitFor([&] { return connects == 1; }));
    client.Close();
    ASSERT_TRUE(reconnected);
    EXPECT_NE(client.HSocket(), INVALID_SOCKET);
    ASSERT_TRUE(WaitFor([&] { return connects == 2 && accepted.size() == 2; }));
    EXPECT_EQ(client.State(), wsConnected);
    std::string received;
    CollectInto(client, received);
    accepted.back()->SendText("again");
    EXPECT_TRUE(WaitFor([&] { return received == "again"; }));
}

TEST(AsyncSocket, EveryConnectionStartsEmptyAndReportsItsOwnCloseOnce)
{
    int port = 0;
    auto listener = MakeListener(port);
    // One socket object serves two connections in turn, as a data socket does.
    TAsyncSocket server;
    listener->OnSessionAvailable = [&](TCustomAsyncSocket*, std::uint16_t) { server.Dup(listener->Accept()); };
    server.OnDataAvailable = [](TCustomAsyncSocket* s, std::uint16_t) {
        char buffer[64];
        if (s->Receive(buffer, sizeof buffer) == 0) s->Close();  // read the end: close
    };
    int closes = 0;
    server.OnSessionClosed = [&](TCustomAsyncSocket*, std::uint16_t) { ++closes; };
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        TAsyncSocket client;
        std::string received;
        CollectInto(client, received);
        client.SetAddr("127.0.0.1");
        client.SetPort(std::to_string(port));
        client.Connect();
        ASSERT_TRUE(WaitFor([&] { return client.State() == wsConnected && server.State() == wsConnected; }));
        if (round == 1) {
            // More than the system buffers hold while the client reads nothing.
            client.Pause();
            server.SendText(std::string(16 * 1024 * 1024, 'x'));
            EXPECT_GT(server.BufferedByteCount(), 0);
        } else {
            server.SendText("fresh");
            EXPECT_TRUE(WaitFor([&] { return received.size() >= 5; }));
            EXPECT_TRUE(received == "fresh") << received.size() << " bytes received";
        }
        client.Abort();
        ASSERT_TRUE(WaitFor([&] { return server.State() == wsClosed; }));
        RunFor([] { return false; }, std::chrono::milliseconds(50));
        EXPECT_EQ(closes, round);
        EXPECT_EQ(server.BufferedByteCount(), 0);
    }
}

TEST(AsyncSocket, ListenOnAPortInUseFailsAndLeavesNoHandle)
{
    int port = 0;
    auto first = MakeListener(port);
    TAsyncSocket second;
    second.SetAddr("127.0.0.1");
    second.SetPort(std::to_string(port));
    try {
        second.Listen();
        FAIL();
    } catch (const ESocketException& e) {
        EXPECT_EQ(e.Message, "Error 10048 in function Bind\r\nAddress already in use");
    }
    EXPECT_EQ(second.HSocket(), INVALID_SOCKET);
    EXPECT_EQ(second.State(), wsClosed);
}

TEST(AsyncSocket, ResumedListenerStillAccepts)
{
    int port = 0;
    auto listener = MakeListener(port);
    int available = 0;
    listener->OnSessionAvailable = [&](TCustomAsyncSocket*, std::uint16_t) {
        ++available;
        TSocket handle = listener->Accept();
        if (handle != INVALID_SOCKET) winsock::closesocket(handle);
    };
    listener->Pause();
    listener->Resume();
    TAsyncSocket client;
    client.SetAddr("127.0.0.1");
    client.SetPort(std::to_string(port));
    client.Connect();
    EXPECT_TRUE(WaitFor([&] { return available == 1; }));
}
