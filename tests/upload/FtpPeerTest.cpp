// The FTP client against a scripted peer that does what well-behaved
// servers never do: odd reply shapes, refusals, dropped and stalled sessions.

#include "FtpServerSupport.h"
#include "SocketTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sys/resource.h>

using namespace ftptest;
using namespace std::chrono_literals;

namespace {

// CPU seconds this process has used so far.
double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

bool has(const std::vector<std::string>& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool hasPrefix(const std::vector<std::string>& lines, const std::string& prefix)
{
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
}

class FtpPeerTest : public ::testing::Test {
protected:
    void Start(const std::string& scenario)
    {
        peer = std::make_unique<ScriptedPeer>(scenario);
        ASSERT_NE(peer->Port(), 0) << "the scripted peer did not start";
        rec = std::make_unique<RecordingClient>(peer->Port());
        rec->Client.UserName = "user";
        rec->Client.PassWord = "pass";
        rec->Client.Timeout = 3;
    }

    // A file to send, in the peer's folder of the test.
    std::string MakeFile(std::size_t size, std::uint32_t seed = 7)
    {
        content = PatternBytes(size, seed);
        std::string name = (files.Path() / ("upload " + std::to_string(seed) + ".bin")).string();
        WriteFileBytes(name, content);
        return name;
    }

    std::unique_ptr<ScriptedPeer> peer;
    std::unique_ptr<RecordingClient> rec;
    TempFolder files;
    std::vector<std::uint8_t> content;
};

TEST_F(FtpPeerTest, MultiLineRepliesCompleteOnTheirLastLine)
{
    Start("multiline");
    TFtpClient& c = rec->Client;
    ASSERT_TRUE(c.Connect()) << rec->LogText();
    EXPECT_TRUE(rec->LogHas("< 220-Welcome to the scripted peer"));
    EXPECT_TRUE(rec->LogHas("<  220 not the end"));
    EXPECT_TRUE(rec->LogHas("< 230 logged in"));
    ASSERT_TRUE(c.Pwd());
    EXPECT_EQ(c.DirResult(), "/a \"quoted\" dir");
    EXPECT_EQ(c.LastResponse(), "257 \"/a \"\"quoted\"\" dir\" is current");
    ASSERT_TRUE(c.Quit());
    EXPECT_FALSE(c.Connected());
    ASSERT_TRUE(peer->WaitExit(5s));
    EXPECT_EQ(peer->Commands(), (std::vector<std::string>{"USER user", "PASS pass", "PWD", "QUIT"}));
    // Log lines: commands sent and replies received.
    EXPECT_TRUE(rec->LogHas("> USER user"));
    EXPECT_TRUE(rec->LogHas("> QUIT"));
    EXPECT_TRUE(rec->LogHas("< 221 bye"));
}

TEST_F(FtpPeerTest, LineFeedOnlyRepliesNeedAcceptLF)
{
    Start("lfonly");
    ASSERT_TRUE(rec->Client.Connect()) << rec->LogText();
    EXPECT_TRUE(rec->Client.Pwd());
    EXPECT_EQ(rec->Client.DirResult(), "/home/peer");
}

TEST_F(FtpPeerTest, WithoutAcceptLFTheClientWaitsForCrLf)
{
    Start("lfonly");
    rec->Client.Options = 0;
    rec->Client.Timeout = 1;
    EXPECT_FALSE(rec->Client.Connect());
    EXPECT_EQ(rec->Client.ErrorMessage(), "426 Timeout");
    ASSERT_TRUE(rec->WaitForDone(1, 5s));
    EXPECT_EQ(rec->Done.back().second, 426);
    EXPECT_EQ(rec->Client.State(), ftpReady);
}

TEST_F(FtpPeerTest, SplitGreetingLinesWithoutCodeAndTwoRepliesInOneRead)
{
    Start("batched");
    TFtpClient& c = rec->Client;
    ASSERT_TRUE(c.Connect()) << rec->LogText();
    EXPECT_TRUE(rec->LogHas("< hello, no code here"));
    ASSERT_TRUE(c.Pwd());
    EXPECT_EQ(c.DirResult(), "/x");
    ASSERT_TRUE(rec->WaitForDone(2, 5s));
    EXPECT_TRUE(rec->LogHas("< 211 unsolicited status"));
    c.LocalFileName = MakeFile(100000);
    c.HostFileName = "batched.bin";
    ASSERT_TRUE(c.Put()) << rec->LogText();
    EXPECT_TRUE(rec->LogHas("< 150 opening"));
    EXPECT_TRUE(rec->LogHas("< 226-statistics follow"));
    EXPECT_TRUE(rec->LogHas("< 226 done"));
    EXPECT_EQ(c.LastResponse(), "226 done");
    EXPECT_TRUE(rec->LogHas("! 100000 bytes received/sent in 0 seconds") ||
                rec->LogHasPrefix("! 100000 bytes received/sent in "));
    ASSERT_TRUE(c.Quit());
    ASSERT_TRUE(peer->WaitExit(5s));
    EXPECT_EQ(peer->StoredData(), content);
}

TEST_F(FtpPeerTest, ServerThatAcceptsTheUserSendsNoPass)
{
    Start("user230");
    ASSERT_TRUE(rec->Client.Connect());
    ASSERT_TRUE(rec->Client.Quit());
    ASSERT_TRUE(peer->WaitExit(5s));
    EXPECT_EQ(peer->Commands(), (std::vector<std::string>{"USER user", "QUIT"}));
}

TEST_F(FtpPeerTest, RefusedGreetingEndsTheRequestWithItsCode)
{
    Start("greeting421");
    EXPECT_FALSE(rec->Client.Connect());
    ASSERT_TRUE(rec->WaitForDone(1, 5s));
    EXPECT_EQ(rec->Done.back(), std::make_pair(ftpConnectAsync, 421));
    EXPECT_EQ(rec->Client.ErrorMessage(), "421 too many users");
    EXPECT_FALSE(rec->Client.Connected());
    EXPECT_EQ(rec->Client.State(), ftpReady);
}

TEST_F(FtpPeerTest, RefusedUserAndPassword)
{
    for (auto [scenario, code, text] :
         {std::tuple{"user530", 530, "530 not allowed"}, std::tuple{"pass530", 530, "530 login incorrect"}}) {
        SCOPED_TRACE(scenario);
        Start(scenario);
        EXPECT_FALSE(rec->Client.Connect());
        ASSERT_TRUE(rec->WaitForDone(1, 5s));
        EXPECT_EQ(rec->Done.back(), std::make_pair(ftpConnectAsync, code));
        EXPECT_EQ(rec->Client.ErrorMessage(), text);
        EXPECT_EQ(rec->Client.RequestResult(), code);
        rec.reset();
        ASSERT_TRUE(peer->WaitExit(5s));
        EXPECT_EQ(has(peer->Commands(), "PASS pass"), std::string(scenario) == "pass530");
    }
}

TEST_F(FtpPeerTest, RefusedCwdAndMkdKeepTheSession)
{
    Start("cwd550");
    TFtpClient& c = rec->Client;
    ASSERT_TRUE(c.Connect());
    c.HostDirName = "missing";
    EXPECT_FALSE(c.Cwd());
    ASSERT_TRUE(rec->WaitForDone(2, 5s));
    EXPECT_EQ(rec->Done.back(), std::make_pair(ftpCwdAsync, 550));
    EXPECT_EQ(c.ErrorMessage(), "550 no such folder");
    EXPECT_TRUE(c.Pwd());
    EXPECT_EQ(c.DirResult(), "/home/peer");

    for (auto [scenario, code] : {std::pair{"mkd550", 550}, std::pair{"mkd521", 521}}) {
        SCOPED_TRACE(scenario);
        Start(scenario);
        ASSERT_TRUE(rec->Client.Connect());
        rec->Client.HostFileName = "a/b";
        EXPECT_FALSE(rec->Client.Mkd());
        ASSERT_TRUE(rec->WaitForDone(2, 5s));
        EXPECT_EQ(rec->Done.back(), std::make_pair(ftpMkdAsync, code));
        EXPECT_TRUE(rec->Client.Quit());
    }
}

TEST_F(FtpPeerTest, MkdReportsTheCreatedFolder)
{
    Start("normal");
    ASSERT_TRUE(rec->Client.Connect());
    rec->Client.HostFileName = "new dir";
    ASSERT_TRUE(rec->Client.Mkd());
    EXPECT_EQ(rec->Client.DirResult(), "new dir");
    EXPECT_TRUE(rec->LogHas("> MKD new dir"));
}

TEST_F(FtpPeerTest, RefusedPortSendsNoStor)
{
    Start("port500");
    TFtpClient& c = rec->Client;
    ASSERT_TRUE(c.Connect());
    c.LocalFileName = MakeFile(1000);
    c.HostFileName = "x.bin";
    EXPECT_FALSE(c.Put());
    ASSERT_TRUE(rec->WaitForDone(2, 5s));
    EXPECT_EQ(rec->Done.back(), std::make_pair(ftpPutAsync, 500));
    EXPECT_TRUE(c.Quit());
    ASSERT_TRUE(peer->WaitExit(5s));
    EXPECT_FALSE(hasPrefix(peer->Commands(), "STOR"));
}

TEST_F(FtpPeerTest, PortCommandCarriesTheLoopbackAddressAndPortBytes)
{
    Start("normal");
    TFtpClient& c = rec->Client;
    ASSERT_TRUE(c.Connect());
    c.LocalFileName = MakeFile(10);
    c.HostFileName = "x.bin";
    ASSERT_TRUE(c.Put()) << rec->LogText();
    ASSERT_TRUE(c.Quit());
    ASSERT_TRUE(peer->WaitExit(5s));
    auto commands = peer->Commands();
    auto port =
        std::find_if(commands.begin(), commands.end(), [](const std::string& l) { return l.rfind("PORT ", 0) == 0; });
    ASSERT_NE(port, commands.end());
    int a, b, c1, d, hi, lo;
    ASSERT_EQ(std::sscanf(port->c_str(), "PORT %d,%d,%d,%d,%d,%d", &a, &b, &c1, &d, &hi, &lo), 6);
    EXPECT_EQ(std::vector<int>({a, b, c1, d}), std::vector<int>({127, 0, 0, 1}));
    EXPECT_GE(hi, 0);
    EXPECT_LE(hi, 255);
    EXPECT_LE(lo, 255);
    EXPECT_GT(hi * 256 + lo, 0);
    EXPECT_EQ(peer->StoredData(), content);
}

TEST_F(FtpPeerTest, DataPortTakesOnlyTheServer)
{
    Start("intruders");
    TFtpClient& c = rec->Client;
    ASSERT_TRUE(c.Connect());
    c.LocalFileName = MakeFile(70000, 5);
    c.HostFileName = "x.bin";
    ASSERT_TRUE(c.Put()) << rec->LogText();
    ASSERT_TRUE(c.Quit());
    ASSERT_TRUE(peer->WaitExit(5s));
    const auto commands = peer->Commands();
    // Not listening on every address; a caller that is not the server is
    // closed at once and logged, and the server's own connection still works.
    EXPECT_TRUE(has(commands, "# other address: refused")) << ::testing::PrintToString(commands);
    EXPECT_TRUE(has(commands, "# stranger: closed")) << ::testing::PrintToString(commands);
    EXPECT_TRUE(rec->LogHas("! Data connection from 127.0.0.3 refused: not the server")) << rec->LogText();
    EXPECT_EQ(peer->StoredData(), content);
}

TEST_F(FtpPeerTest, DataPortThroughASocksProxyTakesTheServerAndStillNoStranger)
{
    // The proxy listens on another loopback address than the server, so the
    // control connection's peer (the proxy) is not where the data comes from.
    socktest::SocksProxy proxy({"--listen", "127.0.0.2"});
    ASSERT_NE(proxy.Port(), 0);
    Start("intruders");
    TFtpClient& c = rec->Client;
    c.ControlSocket()->SetSocksServer("127.0.0.2");
    c.ControlSocket()->SetSocksPort(std::to_string(proxy.Port()));
    ASSERT_TRUE(c.Connect()) << rec->LogText();
    EXPECT_EQ(c.ControlSocket()->PeerAddress(), "127.0.0.2");
    c.LocalFileName = MakeFile(70000, 6);
    c.HostFileName = "x.bin";
    ASSERT_TRUE(c.Put()) << rec->LogText();
    ASSERT_TRUE(c.Quit());
    ASSERT_TRUE(peer->WaitExit(5s));
    EXPECT_TRUE(has(peer->Commands(), "# stranger: closed")) << ::testing::PrintToString(peer->Commands());
    EXPECT_TRUE(rec->LogHas("! Data connection from 127.0.0.3 refused: not the server")) << rec->LogText();
    EXPECT_FALSE(rec->LogHas("! Data connection from 127.0.0.1 refused: not the server")) << rec->LogText();
    EXPECT_TRUE(SameBytes(peer->StoredFile("x.bin"), content));
    EXPECT_TRUE(hasPrefix(proxy.LogLines(), "connect5 ")) << ::testing::PrintToString(proxy.LogLines());
}

TEST_F(FtpPeerTest, FinalReplyWithoutADataConnectionFailsAtOnce)
{
    const std::string none = "425 No data connection was accepted before the server's final reply: ";
    for (auto [scenario, message] : {std::pair{"nodata226", none + "226 transfer complete"},
                                     std::pair{"strangeronly", none + "226 transfer complete"},
                                     std::pair{"nodata425", std::string("425 Can't open data connection")}}) {
        SCOPED_TRACE(scenario);
        Start(scenario);
        TFtpClient& c = rec->Client;
        c.Timeout = 10;  // far more than the reply takes: a wait for it would show
        ASSERT_TRUE(c.Connect());
        c.LocalFileName = MakeFile(5000);
        c.HostFileName = "x.bin";
        EXPECT_FALSE(c.Put());
        EXPECT_EQ(c.ErrorMessage(), message) << rec->LogText();
        ASSERT_TRUE(rec->WaitForDone(2, 5s));
        EXPECT_EQ(rec->Done.back(), std::make_pair(ftpPutAsync, 425));
        EXPECT_TRUE(c.Quit());
    }
}

TEST_F(FtpPeerTest, ArgumentsWithLineBreaksOrNulAreRefusedBeforeAnythingIsSent)
{
    Start("normal");
    TFtpClient& c = rec->Client;
    const std::string injected = "x\r\nDELE x.jpg";
    const std::string withNul("x\0y", 3);
    // Log-in arguments, refused before the connection is even opened.
    for (auto [field, name] : {std::pair{&c.UserName, "UserName"}, std::pair{&c.PassWord, "PassWord"}}) {
        const std::string kept = *field;
        *field = injected;
        EXPECT_FALSE(c.Connect());
        EXPECT_EQ(c.ErrorMessage(), std::string("501 ") + name + " contains CR, LF or NUL");
        EXPECT_FALSE(c.Connected());
        *field = kept;
    }
    ASSERT_TRUE(c.Connect());
    c.LocalFileName = MakeFile(100);
    struct Case {
        std::string* field;
        std::string value;
        const char* name;
        std::function<void()> start;
    };
    const std::vector<Case> cases = {
        {&c.HostDirName, injected, "HostDirName", [&] { c.CwdAsync(); }},
        {&c.HostFileName, injected, "HostFileName", [&] { c.MkdAsync(); }},
        {&c.HostFileName, "x\rDELE x.jpg", "HostFileName", [&] { c.RmdAsync(); }},
        {&c.HostFileName, "x\nDELE x.jpg", "HostFileName", [&] { c.DeleAsync(); }},
        {&c.HostFileName, withNul, "HostFileName", [&] { c.SizeAsync(); }},
        {&c.HostFileName, injected, "HostFileName", [&] { c.RenFromAsync(); }},
        {&c.HostFileName, injected, "HostFileName", [&] { c.PutAsync(); }},
        {&c.HostFileName, injected, "HostFileName", [&] { c.AppendAsync(); }},
        {&c.HostFileName, injected, "HostFileName", [&] { c.GetAsync(); }},
        {&c.HostFileName, injected, "HostFileName", [&] { c.DirAsync(); }},
        {&c.LocalFileName, injected, "LocalFileName", [&] { c.RenToAsync(); }},
        {&c.LocalFileName, "NOOP\r\nDELE x.jpg", "LocalFileName", [&] { c.QuoteAsync(); }},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name + (" = " + ::testing::PrintToString(k.value)));
        const std::string kept = *k.field;
        *k.field = k.value;
        EXPECT_FALSE(c.Synchronize(k.start));
        EXPECT_EQ(c.ErrorMessage(), std::string("501 ") + k.name + " contains CR, LF or NUL");
        EXPECT_EQ(c.RequestResult(), 501);
        EXPECT_EQ(c.State(), ftpReady);
        *k.field = kept;
    }
    ASSERT_TRUE(c.Pwd());
    ASSERT_TRUE(c.Quit());
    ASSERT_TRUE(peer->WaitExit(5s));
    // Nothing of the refused requests reached the server.
    EXPECT_EQ(peer->Commands(), (std::vector<std::string>{"USER user", "PASS pass", "PWD", "QUIT"}));
}

TEST_F(FtpPeerTest, RefusedStorIsNotSuccess)
{
    for (auto [scenario, code, text] :
         {std::tuple{"stor553", 553, "553 name not allowed"}, std::tuple{"stor450", 450, "450 file busy"}}) {
        SCOPED_TRACE(scenario);
        Start(scenario);
        TFtpClient& c = rec->Client;
        ASSERT_TRUE(c.Connect());
        c.LocalFileName = MakeFile(5000);
        c.HostFileName = "x.bin";
        EXPECT_FALSE(c.Put());
        ASSERT_TRUE(rec->WaitForDone(2, 5s));
        EXPECT_EQ(rec->Done.back(), std::make_pair(ftpPutAsync, code));
        EXPECT_EQ(c.ErrorMessage(), text);
        EXPECT_FALSE(rec->LogHasPrefix("! 5000 bytes"));
        // The session goes on.
        EXPECT_TRUE(c.Pwd());
    }
}

TEST_F(FtpPeerTest, Reply150AfterTheDataConnectionStartsTheTransferOnce)
{
    Start("storafter");
    TFtpClient& c = rec->Client;
    ASSERT_TRUE(c.Connect());
    c.LocalFileName = MakeFile(300000, 3);
    c.HostFileName = "after.bin";
    ASSERT_TRUE(c.Put()) << rec->LogText();
    EXPECT_EQ(c.ByteCount(), 300000);
    ASSERT_TRUE(c.Quit());
    ASSERT_TRUE(peer->WaitExit(5s));
    EXPECT_EQ(peer->StoredData(), content);
}

TEST_F(FtpPeerTest, ControlConnectionDroppedMidStorIsAFailure)
{
    Start("closemidstor");
    TFtpClient& c = rec->Client;
    ASSERT_TRUE(c.Connect());
    c.LocalFileName = MakeFile(2 * 1024 * 1024);
    c.HostFileName = "big.bin";
    EXPECT_FALSE(c.Put());
    ASSERT_TRUE(rec->WaitForDone(2, 5s));
    EXPECT_EQ(rec->Done.back().first, ftpPutAsync);
    EXPECT_NE(rec->Done.back().second, 0);
    EXPECT_NE(c.ErrorMessage(), "");
    EXPECT_TRUE(rec->LogHas("! Control connection closed"));
    EXPECT_FALSE(c.Connected());
    EXPECT_EQ(c.State(), ftpReady);
}

TEST_F(FtpPeerTest, DataConnectionEndedMidStorIsAFailureDespite226)
{
    for (const char* scenario : {"resetmidstor", "shortreadstor"}) {
        SCOPED_TRACE(scenario);
        Start(scenario);
        TFtpClient& c = rec->Client;
        ASSERT_TRUE(c.Connect());
        // Larger than what the system's buffers can hold, so the end of the
        // data connection finds data still to send.
        c.LocalFileName = MakeFile(12 * 1024 * 1024);
        c.HostFileName = "big.bin";
        EXPECT_FALSE(c.Put()) << rec->LogText();
        ASSERT_TRUE(rec->WaitForDone(2, 5s));
        EXPECT_EQ(rec->Done.back().first, ftpPutAsync);
        EXPECT_NE(rec->Done.back().second, 0);
        EXPECT_FALSE(c.ErrorMessage().empty());
        // The session itself is still usable.
        EXPECT_TRUE(c.Pwd());
    }
}

TEST_F(FtpPeerTest, FilesAfterAResetDataConnectionArriveByteForByte)
{
    Start("resetdata");
    TFtpClient& c = rec->Client;
    auto put = [&](const std::string& name, std::size_t size, std::uint32_t seed) {
        c.LocalFileName = MakeFile(size, seed);
        c.HostFileName = name;
        return c.Put();
    };
    ASSERT_TRUE(c.Connect());
    // The peer resets the data connection after 1 MB; the files after it, in
    // the same session and after a reconnect, are exactly themselves.
    EXPECT_FALSE(put("reset1.bin", 4 * 1024 * 1024, 1)) << rec->LogText();
    const auto failed = content;
    for (std::uint32_t seed : {2u, 3u}) {
        ASSERT_TRUE(put("next" + std::to_string(seed) + ".bin", 100000 + seed, seed)) << rec->LogText();
        EXPECT_TRUE(SameBytes(peer->StoredFile(c.HostFileName), content)) << seed;
    }
    EXPECT_FALSE(put("reset2.bin", 4 * 1024 * 1024, 4)) << rec->LogText();
    ASSERT_TRUE(c.Quit()) << rec->LogText();
    ASSERT_TRUE(c.Connect()) << rec->LogText();
    ASSERT_TRUE(put("next5.bin", 3000, 5)) << rec->LogText();
    EXPECT_TRUE(SameBytes(peer->StoredFile(c.HostFileName), content));
    ASSERT_TRUE(c.Quit()) << rec->LogText();
    ASSERT_TRUE(peer->WaitExit(5s));
    const auto partial = peer->StoredFile("reset1.bin");
    EXPECT_EQ(partial.size(), 1024u * 1024u);
    EXPECT_TRUE(std::equal(partial.begin(), partial.end(), failed.begin()));
}

TEST_F(FtpPeerTest, SessionAfterAResetSessionEndsWhenTheServerSaysGoodbye)
{
    Start("resetsession");
    TFtpClient& c = rec->Client;
    ASSERT_TRUE(c.Connect());
    c.LocalFileName = MakeFile(4 * 1024 * 1024, 1);
    c.HostFileName = "reset.bin";
    EXPECT_FALSE(c.Put()) << rec->LogText();
    EXPECT_FALSE(c.Connected());
    ASSERT_TRUE(c.Connect()) << rec->LogText();
    c.LocalFileName = MakeFile(100000, 2);
    c.HostFileName = "next.bin";
    ASSERT_TRUE(c.Put()) << rec->LogText();
    // The goodbye ends the request; waiting out the time-out would fail it.
    ASSERT_TRUE(c.Quit()) << rec->LogText();
    ASSERT_TRUE(peer->WaitExit(5s));
    EXPECT_TRUE(SameBytes(peer->StoredFile("next.bin"), content));
}

TEST_F(FtpPeerTest, FinalReplyFailureAfterTheData)
{
    Start("failafterdata");
    TFtpClient& c = rec->Client;
    ASSERT_TRUE(c.Connect());
    c.LocalFileName = MakeFile(20000);
    c.HostFileName = "x.bin";
    EXPECT_FALSE(c.Put());
    ASSERT_TRUE(rec->WaitForDone(2, 5s));
    EXPECT_EQ(rec->Done.back(), std::make_pair(ftpPutAsync, 451));
    EXPECT_TRUE(rec->LogHas("! STOR Failed"));
    EXPECT_EQ(c.ErrorMessage(), "451 local error in processing");
}

TEST_F(FtpPeerTest, ServersOwnRefusalMidFileStaysTheResult)
{
    // The server breaks the data connection for its own reason and says why:
    // its reply, not the broken connection, is the step's result.
    for (auto [scenario, code, text] : {std::tuple{"diskfull451", 451, "451 Failure writing to local file."},
                                        std::tuple{"quota552", 552, "552 Quota exceeded."}}) {
        SCOPED_TRACE(scenario);
        Start(scenario);
        TFtpClient& c = rec->Client;
        ASSERT_TRUE(c.Connect());
        c.LocalFileName = MakeFile(4u << 20);
        c.HostFileName = "x.bin";
        EXPECT_FALSE(c.Put());
        EXPECT_EQ(c.RequestResult(), code);
        EXPECT_EQ(c.ErrorMessage(), text) << rec->LogText();
        EXPECT_TRUE(c.Pwd()) << rec->LogText();
    }
}

TEST_F(FtpPeerTest, FinalReplyBeforeTheLastAcknowledgement)
{
    // The server confirms the file while the client's system still holds
    // bytes of it that the server's has not acknowledged: a short wait
    // lets them arrive, and a server that never takes them fails the step.
    for (auto [scenario, whole] : {std::pair{"earlyreply", true}, std::pair{"earlyreplystall", false}}) {
        SCOPED_TRACE(scenario);
        Start(scenario);
        TFtpClient& c = rec->Client;
        c.Timeout = 30;
        ASSERT_TRUE(c.Connect());
        c.LocalFileName = MakeFile((1u << 20) + (12u << 10));
        c.HostFileName = "x.bin";
        const std::uint64_t before = GetTickCount64();
        EXPECT_EQ(c.Put(), whole) << rec->LogText();
        if (whole) {
            ASSERT_TRUE(c.Quit());
            ASSERT_TRUE(peer->WaitExit(5s));
            EXPECT_TRUE(SameBytes(peer->StoredFile("x.bin"), content));
        } else {
            EXPECT_EQ(c.RequestResult(), 426);
            EXPECT_TRUE(c.ErrorMessage().starts_with("426 Data connection left ")) << c.ErrorMessage();
            EXPECT_TRUE(c.ErrorMessage().ends_with(" bytes unacknowledged: the file may not have arrived whole"))
                << c.ErrorMessage();
            // A short wait, well within the time-out.
            EXPECT_LT(GetTickCount64() - before, 15000u);
        }
    }
}

TEST_F(FtpPeerTest, StalledTransferTimesOut)
{
    // The server stops reading after 1000 bytes: in the middle of handing an
    // 8 MB file to the socket, and after the last block of a 1 MB file that
    // the socket buffers took whole.
    for (const std::size_t size : {8u << 20, 1u << 20}) {
        SCOPED_TRACE(size);
        Start("stallstor");
        TFtpClient& c = rec->Client;
        c.Timeout = 1;
        ASSERT_TRUE(c.Connect());
        c.LocalFileName = MakeFile(size);
        c.HostFileName = "x.bin";
        const std::uint64_t before = GetTickCount64();
        EXPECT_FALSE(c.Put());
        // A time-out after the data stopped, long before the server's stall ends.
        EXPECT_LT(GetTickCount64() - before, 5000u);
        EXPECT_EQ(c.ErrorMessage(), "426 Timeout");
        ASSERT_TRUE(rec->WaitForDone(2, 5s));
        EXPECT_EQ(rec->Done.back(), std::make_pair(ftpPutAsync, 426));
        EXPECT_FALSE(c.Connected());
        EXPECT_EQ(c.State(), ftpReady);
    }
}

TEST_F(FtpPeerTest, TimedOutSingleCommandNeverReportsSuccess)
{
    Start("stallpwd");
    TFtpClient& c = rec->Client;
    c.Timeout = 1;
    ASSERT_TRUE(c.Connect());
    const double cpuBefore = cpuSeconds();
    const std::uint64_t ticksBefore = GetTickCount64();
    EXPECT_FALSE(c.Pwd());
    // The wait slept in the loop for its second instead of spinning.
    EXPECT_GE(GetTickCount64() - ticksBefore, 1000u);
    EXPECT_LT(cpuSeconds() - cpuBefore, 0.5);
    EXPECT_EQ(c.ErrorMessage(), "426 Timeout");
    ASSERT_TRUE(rec->WaitForDone(2, 5s));
    EXPECT_EQ(rec->Done.back(), std::make_pair(ftpPwdAsync, 426));
    // Nothing else arrives later.
    RunFor([] { return false; }, 200ms);
    EXPECT_EQ(rec->Done.size(), 2u);
}

TEST_F(FtpPeerTest, TerminationEndsAWaitWithoutTimeLimit)
{
    Start("stallpwd");
    TFtpClient& c = rec->Client;
    c.Timeout = 0;
    ASSERT_TRUE(c.Connect());
    c.OnCommand = [](TCustomFtpClient*, std::string& command) {
        if (command == "PWD") RequestTermination();
    };
    EXPECT_FALSE(c.Pwd());
    ClearTermination();
    EXPECT_FALSE(c.Connected());
    ASSERT_TRUE(rec->WaitForDone(2, 5s));
    EXPECT_EQ(rec->Done.back(), std::make_pair(ftpPwdAsync, 426));
}

TEST_F(FtpPeerTest, StatesOfALogIn)
{
    Start("normal");
    TFtpClient& c = rec->Client;
    std::vector<int> states;
    c.OnStateChange = [&](TCustomFtpClient* sender) { states.push_back(sender->State()); };
    ASSERT_TRUE(c.Connect());
    EXPECT_EQ(states, (std::vector<int>{3, 7, 4, 2, 8, 2, 8, 2, 1}));
    states.clear();
    ASSERT_TRUE(c.Quit());
    // QUIT: waiting, then the closed connection passes through 0 and 2.
    EXPECT_EQ(states, (std::vector<int>{8, 0, 2, 1}));
}

TEST_F(FtpPeerTest, TransferThatKeepsMovingOutlastsTheTimeout)
{
    Start("slowstor");
    TFtpClient& c = rec->Client;
    c.Timeout = 1;
    ASSERT_TRUE(c.Connect());
    c.LocalFileName = MakeFile(24 * 1024 * 1024, 11);
    c.HostFileName = "slow.bin";
    ASSERT_TRUE(c.Put()) << rec->LogText();
    ASSERT_TRUE(c.Quit());
    ASSERT_TRUE(peer->WaitExit(5s));
    EXPECT_EQ(peer->StoredData(), content);
}

TEST_F(FtpPeerTest, TransferDrainingLongAfterItsLastBlockOutlastsTheTimeout)
{
    // Read at 512 KB/s, the file fits in the socket buffers at once: nearly
    // all of it reaches the server after the last block was handed over.
    Start("slowdrain");
    TFtpClient& c = rec->Client;
    c.Timeout = 2;
    ASSERT_TRUE(c.Connect());
    c.LocalFileName = MakeFile(3000000, 12);
    c.HostFileName = "drain.bin";
    std::uint64_t lastBlock = 0;
    c.OnProgress = [&](TCustomFtpClient*, std::int64_t, bool&) { lastBlock = GetTickCount64(); };
    ASSERT_TRUE(c.Put()) << rec->LogText();
    // Else this test would not show what it is about.
    EXPECT_GT(GetTickCount64() - lastBlock, static_cast<std::uint64_t>(c.Timeout) * 1000);
    ASSERT_TRUE(c.Quit());
    ASSERT_TRUE(peer->WaitExit(5s));
    EXPECT_TRUE(SameBytes(peer->StoredData(), content));
}

TEST_F(FtpPeerTest, AbortedUploadStopsArrivingAtTheServer)
{
    // Stopped while the system still holds megabytes of the file for a server
    // that reads at 512 KB/s: mid-file by Abort (as a time-out and the upload
    // window's Disconnect stop it) or by the progress callback, and after the
    // last block. The data connection is reset: closed in order, it went on
    // arriving and ended like a whole file, so the server stored a cut file
    // as complete.
    struct Case {
        const char* name;
        std::size_t size, stopAt;
        bool byProgress;
    };
    for (const Case& k :
         {Case{"Abort mid-file", 8u << 20, 2u << 20, false}, Case{"progress mid-file", 8u << 20, 2u << 20, true},
          Case{"Abort after the last block", 3000000, 3000000, false}}) {
        SCOPED_TRACE(k.name);
        Start("slowdrain");
        TFtpClient& c = rec->Client;
        ASSERT_TRUE(c.Connect());
        c.LocalFileName = MakeFile(k.size, 13);
        c.HostFileName = "abort.bin";
        // Mid-file, what the server's system had acknowledged when the upload
        // stopped: its program may still read that and what its receive
        // buffer (256 KB asked for, doubled by the system) took unacknowledged,
        // and nothing more.
        std::int64_t acknowledged = -1;
        auto stopping = [&] {
            const TAsyncSocket& data = *c.DataSocket();
            const int held = SocketUnsentCount(data.HSocket());
            if (data.State() != wsConnected || held < 0) return;
            EXPECT_GT(held, 0);
            acknowledged = c.ByteCount() - data.BufferedByteCount() - held;
        };
        bool reached = false;
        c.OnProgress = [&](TCustomFtpClient*, std::int64_t count, bool& abort) {
            if (reached || count < static_cast<std::int64_t>(k.stopAt)) return;
            reached = true;
            if (!k.byProgress) return;
            stopping();
            abort = true;
        };
        c.PutAsync();
        ASSERT_TRUE(RunFor([&] { return reached; }, 5s));
        if (!k.byProgress) {
            if (k.stopAt == k.size) RunFor([] { return false; }, 300ms);
            stopping();
            c.Abort();
        }
        ASSERT_TRUE(rec->WaitForDone(2, 5s));
        EXPECT_EQ(rec->Done.back(), std::make_pair(ftpPutAsync, 426));
        if (k.byProgress) {
            EXPECT_TRUE(c.Quit()) << rec->LogText();  // the session outlives the transfer
        }
        ASSERT_TRUE(peer->WaitExit(20s));
        EXPECT_EQ(peer->DataEnd("abort.bin"), "reset");
        const auto stored = static_cast<std::int64_t>(peer->StoredFile("abort.bin").size());
        EXPECT_LT(stored, static_cast<std::int64_t>(k.size));
        if (acknowledged >= 0) {
            EXPECT_LE(stored, acknowledged + (512 << 10));
        }
    }
}

TEST_F(FtpPeerTest, TimedOutUploadIsResetForAServerThatReadsAgain)
{
    // The server stops reading mid-file for longer than the time-out, as a
    // stopped server process does, then reads on: it finds what its own
    // system had taken (64 KB asked for) and a reset, not the end of a cut file.
    Start("pausestor");
    TFtpClient& c = rec->Client;
    c.Timeout = 1;
    ASSERT_TRUE(c.Connect());
    c.LocalFileName = MakeFile(8u << 20, 14);
    c.HostFileName = "pause.bin";
    EXPECT_FALSE(c.Put());
    EXPECT_EQ(c.ErrorMessage(), "426 Timeout");
    ASSERT_TRUE(peer->WaitExit(20s));
    EXPECT_EQ(peer->DataEnd("pause.bin"), "reset");
    EXPECT_LT(peer->StoredFile("pause.bin").size(), (1u << 20) + (512u << 10));
}

TEST_F(FtpPeerTest, CallsOnAClosedSessionSaySo)
{
    Start("normal");
    TFtpClient& c = rec->Client;
    ASSERT_TRUE(c.Connect());
    ASSERT_TRUE(c.Quit());
    c.LocalFileName = MakeFile(100);
    c.HostFileName = "x.bin";
    for (auto [name, call] : {std::pair<const char*, std::function<bool()>>{"Mkd", [&] { return c.Mkd(); }},
                              {"Put", [&] { return c.Put(); }}}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(call());
        EXPECT_EQ(c.ErrorMessage(), "426 Session closed: not connected to the server");
        EXPECT_EQ(c.RequestResult(), 426);
        EXPECT_EQ(c.State(), ftpReady);
    }
    ASSERT_TRUE(peer->WaitExit(5s));
    EXPECT_FALSE(hasPrefix(peer->Commands(), "STOR"));
}

TEST_F(FtpPeerTest, OverLongReplyLineKeepsTheSession)
{
    Start("longline");
    TFtpClient& c = rec->Client;
    ASSERT_TRUE(c.Connect());
    ASSERT_TRUE(c.Pwd()) << rec->LogText();
    EXPECT_EQ(c.DirResult(), "/long");
    EXPECT_TRUE(c.Connected());
    // The rest of the long line is not taken for the next reply.
    ASSERT_TRUE(c.TypeSet());
    EXPECT_EQ(c.LastResponse(), "200 type set");
    ASSERT_TRUE(c.Quit());
}

TEST_F(FtpPeerTest, CancelledTransmitSendsNoStor)
{
    Start("normal");
    TFtpClient& c = rec->Client;
    c.OnReadyToTransmit = [](TCustomFtpClient*, bool& cancel) { cancel = true; };
    ASSERT_TRUE(c.Connect());
    c.LocalFileName = MakeFile(100);
    c.HostFileName = "x.bin";
    EXPECT_FALSE(c.Put());
    ASSERT_TRUE(rec->WaitForDone(2, 5s));
    EXPECT_EQ(rec->Done.back(), std::make_pair(ftpPutAsync, 426));
    EXPECT_EQ(c.ErrorMessage(), "426 Transmit cancelled by application");
    EXPECT_TRUE(rec->LogHas("! 426 Transmit cancelled by application"));
    ASSERT_TRUE(c.Quit());
    ASSERT_TRUE(peer->WaitExit(5s));
    EXPECT_FALSE(hasPrefix(peer->Commands(), "STOR"));
}

TEST_F(FtpPeerTest, LocalFileProblemsAreFailures)
{
    Start("normal");
    TFtpClient& c = rec->Client;
    ASSERT_TRUE(c.Connect());
    c.HostFileName = "x.bin";

    c.LocalFileName = (files.Path() / "missing.bin").string();
    EXPECT_FALSE(c.Put());
    EXPECT_EQ(c.ErrorMessage(), "426 Unable to open local file " + c.LocalFileName);
    EXPECT_TRUE(rec->LogHas("! 426 Unable to open local file " + c.LocalFileName));

    // Reading this file fails with an I/O error at its first byte.
    c.LocalFileName = "/proc/self/mem";
    EXPECT_FALSE(c.Put());
    ASSERT_TRUE(rec->WaitForDone(3, 5s));
    EXPECT_EQ(rec->Done.back(), std::make_pair(ftpPutAsync, 426));
    EXPECT_TRUE(rec->LogHas("! Error reading file"));
    EXPECT_TRUE(c.Connected());

    // An empty name is refused when the STOR step starts, inside the PORT
    // reply, where the request cannot end: the time-out ends it.
    c.Timeout = 1;
    c.LocalFileName.clear();
    EXPECT_FALSE(c.Put());
    EXPECT_EQ(c.ErrorMessage(), "426 Timeout");
    ASSERT_TRUE(rec->WaitForDone(4, 5s));
    EXPECT_EQ(rec->Done.back(), std::make_pair(ftpPutAsync, 426));
    ASSERT_TRUE(peer->WaitExit(5s));
    auto commands = peer->Commands();
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "STOR x.bin"), 1);  // /proc/self/mem only
}

TEST_F(FtpPeerTest, AbortFromProgressIsAFailure)
{
    Start("normal");
    TFtpClient& c = rec->Client;
    c.OnProgress = [](TCustomFtpClient*, std::int64_t count, bool& abort) { abort = count > 50000; };
    ASSERT_TRUE(c.Connect());
    c.LocalFileName = MakeFile(1024 * 1024);
    c.HostFileName = "x.bin";
    EXPECT_FALSE(c.Put());
    ASSERT_TRUE(rec->WaitForDone(2, 5s));
    EXPECT_EQ(rec->Done.back(), std::make_pair(ftpPutAsync, 426));
    EXPECT_TRUE(rec->LogHas("! Abort requested"));
    EXPECT_EQ(c.ErrorMessage(), "426 Transfer aborted");
    ASSERT_TRUE(c.Quit());
    ASSERT_TRUE(peer->WaitExit(5s));
    EXPECT_EQ(peer->DataEnd("x.bin"), "reset");
}

TEST_F(FtpPeerTest, EmptyLocalFileSendsNothingAndSucceeds)
{
    Start("normal");
    TFtpClient& c = rec->Client;
    ASSERT_TRUE(c.Connect());
    c.LocalFileName = MakeFile(0);
    c.HostFileName = "empty.bin";
    ASSERT_TRUE(c.Put()) << rec->LogText();
    EXPECT_EQ(c.ByteCount(), 0);
    EXPECT_TRUE(rec->LogHasPrefix("! 0 bytes received/sent in 0 seconds"));
}

TEST_F(FtpPeerTest, PasswordEmptyAfter331NeverEndsTheRequest)
{
    Start("normal");
    TFtpClient& c = rec->Client;
    c.PassWord.clear();
    c.Timeout = 1;
    EXPECT_FALSE(c.Connect());
    EXPECT_EQ(c.ErrorMessage(), "426 Timeout");
    ASSERT_TRUE(rec->WaitForDone(1, 5s));
    EXPECT_EQ(rec->Done.back().second, 426);
}

TEST_F(FtpPeerTest, RequestWhileAnotherRunsIsRefused)
{
    Start("normal");
    TFtpClient& c = rec->Client;
    c.ConnectAsync();
    EXPECT_TRUE(rec->Done.empty());  // never reported from inside the call
    try {
        c.PwdAsync();
        FAIL() << "no exception";
    } catch (const FtpException& e) {
        EXPECT_EQ(e.Message, "FTP component not ready");
    }
    ASSERT_TRUE(rec->WaitForDone(1, 5s));
    EXPECT_EQ(rec->Done.back(), std::make_pair(ftpConnectAsync, 0));
    try {
        c.ConnectAsync();
        FAIL() << "no exception";
    } catch (const FtpException& e) {
        EXPECT_EQ(e.Message, "FTP component already connected");
    }
}

TEST(FtpClientTest, EmptyHostEndsTheRequestWithAnError)
{
    RecordingClient rec(21);
    rec.Client.HostName = "  ";
    EXPECT_FALSE(rec.Client.Connect());
    ASSERT_TRUE(rec.WaitForDone(1, 5s));
    EXPECT_EQ(rec.Done.back(), std::make_pair(ftpConnectAsync, 10022));
    EXPECT_EQ(rec.Client.State(), ftpReady);
    EXPECT_EQ(rec.Client.ErrorMessage(), "500 Invalid argument (Winsock error #10022)");
}

TEST(FtpClientTest, HostNamesAreLookedUp)
{
    ScriptedPeer peer("normal");
    ASSERT_NE(peer.Port(), 0);
    RecordingClient rec(peer.Port());
    rec.Client.HostName = "localhost";
    rec.Client.UserName = "user";
    rec.Client.PassWord = "pass";
    ASSERT_TRUE(rec.Client.Connect()) << rec.LogText();
    EXPECT_EQ(rec.Client.ControlSocket()->Addr(), "127.0.0.1");
    ASSERT_TRUE(rec.Client.Quit());

    RecordingClient missing(peer.Port());
    missing.Client.HostName = "no-such-host.invalid";
    EXPECT_FALSE(missing.Client.Connect());
    ASSERT_TRUE(missing.WaitForDone(1, 5s));
    EXPECT_EQ(missing.Done.back(), std::make_pair(ftpConnectAsync, 11001));
    EXPECT_EQ(missing.Client.ErrorMessage(), "500 Host not found (Winsock error #11001)");
    EXPECT_EQ(missing.Client.State(), ftpReady);
}

TEST(FtpClientTest, RefusedConnectionEndsWithTheSocketError)
{
    const RefusingPort refusing;
    RecordingClient rec(refusing.Port());
    EXPECT_FALSE(rec.Client.Connect());
    ASSERT_TRUE(rec.WaitForDone(1, 5s));
    EXPECT_EQ(rec.Done.back(), std::make_pair(ftpConnectAsync, 10061));
    EXPECT_EQ(rec.Client.ErrorMessage(), "500 Connection refused (Winsock error #10061)");
    EXPECT_EQ(rec.Client.State(), ftpReady);
}

TEST(FtpClientTest, CommandsNeedAConnection)
{
    TFtpClient c;
    EXPECT_EQ(c.Port, "ftp");
    EXPECT_TRUE(c.Binary());
    EXPECT_EQ(c.State(), ftpReady);
    EXPECT_EQ(c.ShareMode, ftpShareExclusive);
    EXPECT_EQ(c.Options, static_cast<TFtpOptions>(ftpAcceptLF));
    EXPECT_EQ(c.Timeout, 15);
    EXPECT_FALSE(c.Connected());
    try {
        c.PwdAsync();
        FAIL() << "no exception";
    } catch (const FtpException& e) {
        EXPECT_EQ(e.Message, "FTP component not connected");
    }
    c.UserName.clear();
    EXPECT_THROW(c.UserAsync(), FtpException);
    EXPECT_FALSE(c.Pwd());
    EXPECT_FALSE(c.Put());
    EXPECT_EQ(FtpRequestName(ftpPutAsync), "PutAsync");
    EXPECT_EQ(FtpRequestName(ftpRestartGetAsync), "RestartGetAsync");
    EXPECT_EQ(FtpRequestName(40), "unknown");
    EXPECT_EQ(FtpRequestName(0), "none");
}

}  // namespace
