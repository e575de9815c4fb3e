// The same socket exchange with the message queue run by QCoreApplication.
#include "SocketTestSupport.h"
#include "platform/messages/MessagesQt.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

using namespace socktest;

namespace {

class QtDriverTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "qtsocketdrivertest";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) app_ = new QCoreApplication(argc, argv);  // lives for the whole program
    }
    TQtMessageDriver Driver;
    static QCoreApplication* app_;
};
QCoreApplication* QtDriverTest::app_ = nullptr;

}  // namespace

TEST_F(QtDriverTest, EchoExchangeRunByTheQtEventLoop)
{
    int port = 0;
    auto listener = MakeListener(port);
    TAsyncSocket server, client;
    listener->OnSessionAvailable = [&](TCustomAsyncSocket*, std::uint16_t) {
        server.Dup(listener->Accept());
        server.SetLineMode(true);
        server.OnDataAvailable = [](TCustomAsyncSocket* s, std::uint16_t) {
            std::string line = s->ReceiveText();
            if (!line.empty()) s->SendText("echo: " + line);
        };
    };
    std::string received;
    std::vector<std::string> log;
    client.OnSessionConnected = [&](TCustomAsyncSocket* s, std::uint16_t error) {
        log.push_back("connected " + std::to_string(error));
        s->SendText("first\r\nsecond\r\n");
    };
    client.OnDataAvailable = [&](TCustomAsyncSocket* s, std::uint16_t) {
        received += s->ReceiveText();
        if (received.size() >= 27) s->Close();
    };
    client.OnSessionClosed = [&](TCustomAsyncSocket*, std::uint16_t) {
        log.push_back("closed");
        QCoreApplication::quit();
    };
    client.SetAddr("127.0.0.1");
    client.SetPort(std::to_string(port));
    client.Connect();
    QTimer::singleShot(10000, [] { QCoreApplication::exit(1); });  // a hang fails, not blocks
    int rc = QCoreApplication::exec();
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(received, "echo: first\r\necho: second\r\n");
    EXPECT_EQ(log, (std::vector<std::string>{"connected 0", "closed"}));
}

TEST_F(QtDriverTest, BlockingWaitsAndLookupsInsideQt)
{
    // RunUntil (a blocking FTP call) nests Qt's loop; look-up results,
    // which come from a worker thread, arrive there too.
    TAsyncSocket socket;
    int done = -1;
    socket.OnDnsLookupDone = [&](TCustomAsyncSocket*, std::uint16_t error) { done = error; };
    socket.DnsLookup("localhost");
    ASSERT_TRUE(RunFor([&] { return done >= 0; }, std::chrono::seconds(10)));
    EXPECT_EQ(done, 0);
    EXPECT_EQ(socket.DnsResult(), "127.0.0.1");

    LoopbackPair pair;
    ASSERT_TRUE(pair.Ok);
    std::string got;
    pair.Client.OnDataAvailable = [&](TCustomAsyncSocket* s, std::uint16_t) { got += s->ReceiveText(); };
    const std::string big(2 * 1024 * 1024, 'q');
    pair.Server.SendText(big);
    ASSERT_TRUE(RunFor([&] { return got.size() >= big.size(); }, std::chrono::seconds(20)));
    EXPECT_TRUE(got == big);
}

TEST_F(QtDriverTest, TimersFireInsideQt)
{
    int ticks = 0;
    HWND wnd = AllocateHWnd([&](TMessage& m) {
        if (m.Msg == WM_TIMER) ++ticks;
    });
    SetTimer(wnd, 1, 10);
    EXPECT_TRUE(RunFor([&] { return ticks >= 3; }, std::chrono::seconds(10)));
    KillTimer(wnd, 1);
    DeallocateHWnd(wnd);
}
