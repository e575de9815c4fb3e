// The FTP client against a real server: Debian's pyftpdlib on 127.0.0.1,
// directly or behind a relay. Uploads are compared byte for byte with the
// files the server wrote.

#include "FtpServerSupport.h"
#include "SocketTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <sys/resource.h>

using namespace ftptest;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

class FtpServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Running()) << "pyftpdlib did not start";
        rec = std::make_unique<RecordingClient>(server.Port());
        rec->Client.Timeout = 10;
    }

    std::string MakeFile(const std::string& name, std::size_t size, std::uint32_t seed)
    {
        fs::path path = local.Path() / name;
        fs::create_directories(path.parent_path());
        WriteFileBytes(path, PatternBytes(size, seed));
        return path.string();
    }

    void Login()
    {
        ASSERT_TRUE(rec->Client.Connect()) << rec->LogText();
        ASSERT_TRUE(rec->Client.TypeSet()) << rec->LogText();
    }

    PyFtpServer server;
    TempFolder local;
    std::unique_ptr<RecordingClient> rec;
};

TEST_F(FtpServerTest, UploadsAreByteForByteTheLocalFiles)
{
    TFtpClient& c = rec->Client;
    Login();
    ASSERT_TRUE(c.Pwd());
    EXPECT_EQ(c.DirResult(), "/");
    c.HostFileName = "photo album";
    ASSERT_TRUE(c.Mkd()) << rec->LogText();
    EXPECT_EQ(c.DirResult(), "/photo album");

    struct Item {
        std::string remote;
        std::size_t size;
    };
    const std::vector<Item> items = {
        {"empty.jpg", 0},
        {"photo album/my holiday picture 1.jpg", 123457},
        {"index.htm", 1514},
        {"big.bin", 20 * 1024 * 1024},
    };
    std::uint32_t seed = 1;
    for (const Item& item : items) {
        SCOPED_TRACE(item.remote);
        c.LocalFileName = MakeFile("src " + std::to_string(seed) + ".bin", item.size, seed);
        c.HostFileName = item.remote;
        ASSERT_TRUE(c.Put()) << rec->LogText();
        EXPECT_EQ(c.ByteCount(), static_cast<std::int64_t>(item.size));
        EXPECT_EQ(ReadFileBytes(server.Root() / item.remote), PatternBytes(item.size, seed));
        EXPECT_TRUE(fs::exists(server.Root() / item.remote));
        ++seed;
    }
    EXPECT_TRUE(rec->LogHas("> STOR photo album/my holiday picture 1.jpg"));
    EXPECT_TRUE(rec->LogHasPrefix("! 20971520 bytes received/sent in "));
    ASSERT_TRUE(c.Quit());
    EXPECT_FALSE(c.Connected());
    // Every Put reported success through its request-done event too.
    std::size_t puts = std::count_if(rec->Done.begin(), rec->Done.end(),
                                     [](const auto& d) { return d.first == ftpPutAsync && d.second == 0; });
    EXPECT_EQ(puts, items.size());
}

TEST_F(FtpServerTest, FileNameWithALineBreakIsRefusedAndInjectsNothing)
{
    TFtpClient& c = rec->Client;
    Login();
    WriteFileBytes(server.Root() / "x.jpg", PatternBytes(100, 1));
    // A local file may really be called so; its name must not become two commands.
    c.LocalFileName = MakeFile("a\r\nDELE x.jpg", 100, 2);
    c.HostFileName = "a\r\nDELE x.jpg";
    EXPECT_FALSE(c.Put());
    EXPECT_EQ(c.ErrorMessage(), "501 HostFileName contains CR, LF or NUL");
    EXPECT_EQ(c.RequestResult(), 501);
    EXPECT_FALSE(rec->LogHasPrefix("> PORT")) << rec->LogText();
    // The session goes on, and the server still has x.jpg and no "a".
    ASSERT_TRUE(c.Pwd());
    ASSERT_TRUE(c.Quit());
    EXPECT_TRUE(fs::exists(server.Root() / "x.jpg"));
    EXPECT_FALSE(fs::exists(server.Root() / "a"));
}

TEST_F(FtpServerTest, UploadCutByARelayFailsAndOneOverADistantLinkArrivesWhole)
{
    // A relay on the data connection ends it in the last 100 KB of a 20 MB
    // upload, after the client handed the whole file over, and towards the
    // server in order: the server stores the cut file and confirms it.
    const std::size_t size = 20u << 20;
    const std::size_t cutSize = size - (100u << 10);
    const std::string cutAfter = std::to_string(cutSize);
    const std::string reset =
        "426 Data connection broken (Connection reset by peer): the file may not have arrived whole";
    const std::string ended = "426 Data connection ended by the other side with ";
    struct Case {
        const char* name;
        bool socks;
        std::vector<std::string> options;
        std::string error;  // how the client's error begins; empty: the file arrives whole
    };
    // Closed in order, its small receive buffer leaves the client holding
    // bytes that were never acknowledged.
    const std::vector<std::string> orderly = {"--cut", "orderly", "--cut-after", cutAfter, "--rcvbuf", "16384"};
    const std::vector<Case> cases = {
        {"reset", false, {"--cut", "reset", "--cut-after", cutAfter}, reset},
        {"closed in order", false, orderly, ended},
        {"SOCKS 5, reset", true, {"--cut", "reset", "--cut-after", cutAfter}, reset},
        {"SOCKS 5, closed in order", true, orderly, ended},
        {"75 ms each way", false, {"--delay", "75"}, ""},
        {"SOCKS 5", true, {}, ""},
    };
    const std::string local = MakeFile("big.bin", size, 21);
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        fs::remove(server.Root() / "big.bin");
        rec = std::make_unique<RecordingClient>(server.Port());
        TFtpClient& c = rec->Client;
        c.Timeout = 10;
        std::unique_ptr<FtpRelay> relay;
        std::unique_ptr<socktest::SocksProxy> proxy;
        if (k.socks) {
            std::vector<std::string> args = {"--listen", "127.0.0.2", "--ftp"};
            args.insert(args.end(), k.options.begin(), k.options.end());
            proxy = std::make_unique<socktest::SocksProxy>(args);
            ASSERT_NE(proxy->Port(), 0);
            c.ControlSocket()->SetSocksServer("127.0.0.2");
            c.ControlSocket()->SetSocksPort(std::to_string(proxy->Port()));
        } else {
            relay = std::make_unique<FtpRelay>(server.Port(), k.options);
            ASSERT_NE(relay->Port(), 0);
            c.Port = std::to_string(relay->Port());
        }
        Login();
        c.LocalFileName = local;
        c.HostFileName = "big.bin";
        const bool sent = c.Put();
        const auto stored = ReadFileBytes(server.Root() / "big.bin");
        if (k.error.empty()) {
            EXPECT_TRUE(sent) << rec->LogText();
            EXPECT_TRUE(SameBytes(stored, PatternBytes(size, 21)));
        } else {
            EXPECT_FALSE(sent);
            EXPECT_EQ(c.RequestResult(), 426);
            EXPECT_EQ(c.ErrorMessage().substr(0, k.error.size()), k.error) << rec->LogText();
            EXPECT_TRUE(rec->LogHasPrefix("< 226 ")) << rec->LogText();
            EXPECT_EQ(stored.size(), cutSize);
        }
        // The session goes on.
        EXPECT_TRUE(c.Pwd()) << rec->LogText();
    }
}

TEST_F(FtpServerTest, ServerThatConnectsOnPortIsServedAtOnce)
{
    // pyftpdlib opens the data connection as soon as it gets PORT; the
    // transfer must not wait for the time-out to notice it.
    TFtpClient& c = rec->Client;
    c.Timeout = 3;
    Login();
    for (int i = 0; i < 5; ++i) {
        c.LocalFileName = MakeFile("f" + std::to_string(i), 1000 + i, 40 + i);
        c.HostFileName = "f" + std::to_string(i);
        ASSERT_TRUE(c.Put()) << rec->LogText();
        EXPECT_EQ(ReadFileBytes(server.Root() / c.HostFileName), PatternBytes(1000 + i, 40 + i));
    }
}

TEST_F(FtpServerTest, UploadRunsAsNestedWaitsFromRequestDone)
{
    // The upload window's shape: each request-done event starts the next
    // blocking call from inside the wait of the previous one.
    TFtpClient& c = rec->Client;
    std::vector<std::string> lines = {"a.jpg", "pages/b.htm", "pages/c t.jpg"};
    for (std::size_t i = 0; i < lines.size(); ++i)
        MakeFile(lines[i], 3000 * (i + 1), 60 + static_cast<std::uint32_t>(i));
    int left = 0;
    std::vector<std::string> sent;
    std::function<void()> sendNext = [&] {
        --left;
        if (left < 0) {
            c.Quit();
            return;
        }
        const std::string& line = lines[static_cast<std::size_t>(left)];
        auto slash = line.rfind('/');
        c.HostFileName = slash == std::string::npos ? "" : line.substr(0, slash);
        if (!c.HostFileName.empty()) c.Mkd();
        c.HostFileName = line;
        c.LocalFileName = (local.Path() / line).string();
        c.Put();
    };
    c.OnRequestDone = [&](TCustomFtpClient*, TFtpRequest rq, int error) {
        rec->Done.emplace_back(rq, error);
        if (rq == ftpConnectAsync && error == 0) {
            c.Pwd();
        } else if (rq == ftpPwdAsync) {
            c.TypeSet();
            left = static_cast<int>(lines.size());
            sendNext();
        } else if (rq == ftpPutAsync) {
            if (error == 0) sent.push_back(c.HostFileName);
            sendNext();
        }
    };
    c.Connect();
    ASSERT_TRUE(RunFor([&] { return !c.Connected() && c.State() == ftpReady; }, 20s));
    EXPECT_EQ(sent, (std::vector<std::string>{"pages/c t.jpg", "pages/b.htm", "a.jpg"}));
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(ReadFileBytes(server.Root() / lines[i]),
                  PatternBytes(3000 * (i + 1), 60 + static_cast<std::uint32_t>(i)));
}

TEST_F(FtpServerTest, AppendGetAndRestartedGet)
{
    TFtpClient& c = rec->Client;
    Login();
    const auto first = PatternBytes(70000, 5);
    const auto second = PatternBytes(33333, 6);
    c.LocalFileName = MakeFile("part1", first.size(), 5);
    c.HostFileName = "joined.bin";
    ASSERT_TRUE(c.Put());
    c.LocalFileName = MakeFile("part2", second.size(), 6);
    ASSERT_EQ(rec->RunAsync([&] { c.AppendAsync(); }), 0) << rec->LogText();
    EXPECT_EQ(rec->Done.back().first, ftpAppendAsync);
    auto joined = first;
    joined.insert(joined.end(), second.begin(), second.end());
    EXPECT_EQ(ReadFileBytes(server.Root() / "joined.bin"), joined);

    c.LocalFileName = (local.Path() / "fetched.bin").string();
    ASSERT_EQ(rec->RunAsync([&] { c.GetAsync(); }), 0) << rec->LogText();
    EXPECT_EQ(rec->Done.back().first, ftpGetAsync);
    EXPECT_EQ(ReadFileBytes(c.LocalFileName), joined);
    EXPECT_EQ(c.ByteCount(), static_cast<std::int64_t>(joined.size()));

    // A partial local copy is completed with REST and RETR.
    std::vector<std::uint8_t> partial(joined.begin(), joined.begin() + 40000);
    WriteFileBytes(c.LocalFileName, partial);
    ASSERT_EQ(rec->RunAsync([&] { c.RestGetAsync(); }), 0) << rec->LogText();
    EXPECT_TRUE(rec->LogHas("> REST 40000"));
    EXPECT_EQ(ReadFileBytes(c.LocalFileName), joined);

    c.HostFileName = "no such file";
    EXPECT_EQ(rec->RunAsync([&] { c.GetAsync(); }), 550);
    EXPECT_TRUE(c.Connected());

    // A local file that cannot be written to the end is a failed transfer:
    // the file-size limit makes writes past 50000 bytes fail.
    c.HostFileName = "joined.bin";
    c.LocalFileName = (local.Path() / "limited.bin").string();
    {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit limited = old;
        limited.rlim_cur = 50000;
        setrlimit(RLIMIT_FSIZE, &limited);
        const int status = rec->RunAsync([&] { c.GetAsync(); });
        setrlimit(RLIMIT_FSIZE, &old);
        EXPECT_EQ(status, 426) << rec->LogText();
    }
    EXPECT_TRUE(rec->LogHas("! Error writing local file"));
    EXPECT_EQ(c.ErrorMessage().substr(0, 4), "426 ");
    EXPECT_TRUE(c.Connected());
    c.LocalFileName = (local.Path() / "no folder" / "x.bin").string();
    EXPECT_EQ(rec->RunAsync([&] { c.GetAsync(); }), 550);
    EXPECT_EQ(c.LastResponse(), "Unable to open local file " + c.LocalFileName);
}

TEST_F(FtpServerTest, ListingsReachOnDisplayFile)
{
    TFtpClient& c = rec->Client;
    Login();
    for (const char* name : {"one.jpg", "two words.htm"}) {
        c.LocalFileName = MakeFile(name, 10, 1);
        c.HostFileName = name;
        ASSERT_TRUE(c.Put());
    }
    std::vector<std::string> lines;
    c.OnDisplayFile = [&](TCustomFtpClient*, std::string& line) { lines.push_back(line); };
    c.DisplayFileFlag = true;
    c.LocalFileName.clear();
    c.HostFileName.clear();
    ASSERT_EQ(rec->RunAsync([&] { c.LsAsync(); }), 0) << rec->LogText();
    EXPECT_EQ(rec->Done.back().first, ftpLsAsync);
    EXPECT_TRUE(rec->LogHas("> NLST"));
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{"one.jpg", "two words.htm"}));

    lines.clear();
    ASSERT_EQ(rec->RunAsync([&] { c.DirAsync(); }), 0) << rec->LogText();
    EXPECT_EQ(rec->Done.back().first, ftpDirAsync);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
        return l.size() > 13 && l.compare(l.size() - 13, 13, "two words.htm") == 0;
    }));

    // Without a display handler the listing goes into a file.
    c.DisplayFileFlag = false;
    c.LocalFileName = (local.Path() / "listing.txt").string();
    ASSERT_EQ(rec->RunAsync([&] { c.LsAsync(); }), 0);
    auto bytes = ReadFileBytes(c.LocalFileName);
    std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find("one.jpg\r\n"), std::string::npos);
}

TEST_F(FtpServerTest, SingleCommandRequests)
{
    TFtpClient& c = rec->Client;
    ASSERT_EQ(rec->RunAsync([&] { c.OpenAsync(); }), 0);
    EXPECT_EQ(rec->Done.back().first, ftpOpenAsync);
    ASSERT_EQ(rec->RunAsync([&] { c.UserAsync(); }), 0);
    EXPECT_EQ(c.StatusCode(), 331);
    ASSERT_EQ(rec->RunAsync([&] { c.PassAsync(); }), 0);
    ASSERT_EQ(rec->RunAsync([&] { c.SystAsync(); }), 0);
    EXPECT_EQ(c.LastResponse(), "215 UNIX Type: L8");
    ASSERT_EQ(rec->RunAsync([&] { c.TypeBinaryAsync(); }), 0);
    EXPECT_TRUE(rec->LogHas("> TYPE I"));
    ASSERT_EQ(rec->RunAsync([&] { c.TypeAsciiAsync(); }), 0);
    EXPECT_TRUE(rec->LogHas("> TYPE A"));
    EXPECT_FALSE(c.Binary());
    ASSERT_EQ(rec->RunAsync([&] { c.TypeBinaryAsync(); }), 0);

    c.HostFileName = "d1";
    ASSERT_EQ(rec->RunAsync([&] { c.MkdAsync(); }), 0);
    c.HostDirName = "d1";
    ASSERT_EQ(rec->RunAsync([&] { c.CwdAsync(); }), 0);
    EXPECT_EQ(c.DirResult(), "/d1");
    c.LocalFileName = MakeFile("s.bin", 4321, 9);
    c.HostFileName = "s.bin";
    ASSERT_EQ(rec->RunAsync([&] { c.PutAsync(); }), 0);
    ASSERT_EQ(rec->RunAsync([&] { c.SizeAsync(); }), 0);
    EXPECT_EQ(c.SizeResult(), 4321);
    ASSERT_EQ(rec->RunAsync([&] { c.RenFromAsync(); }), 0);
    c.LocalFileName = "t.bin";
    ASSERT_EQ(rec->RunAsync([&] { c.RenToAsync(); }), 0);
    EXPECT_TRUE(fs::exists(server.Root() / "d1" / "t.bin"));
    c.HostFileName = "t.bin";
    c.LocalFileName = "u.bin";
    ASSERT_EQ(rec->RunAsync([&] { c.RenAsync(); }), 0);
    EXPECT_EQ(rec->Done.back().first, ftpRenAsync);
    EXPECT_TRUE(fs::exists(server.Root() / "d1" / "u.bin"));
    c.HostFileName = "u.bin";
    ASSERT_EQ(rec->RunAsync([&] { c.DeleAsync(); }), 0);
    EXPECT_FALSE(fs::exists(server.Root() / "d1" / "u.bin"));
    ASSERT_EQ(rec->RunAsync([&] { c.CDupAsync(); }), 0);
    EXPECT_EQ(c.DirResult(), "/");
    c.HostFileName = "d1";
    ASSERT_EQ(rec->RunAsync([&] { c.RmdAsync(); }), 0);
    EXPECT_FALSE(fs::exists(server.Root() / "d1"));
    c.LocalFileName = "NOOP";
    ASSERT_EQ(rec->RunAsync([&] { c.QuoteAsync(); }), 0);
    EXPECT_TRUE(rec->LogHas("> NOOP"));
    c.LocalFileName = "BOGUS";
    EXPECT_GE(rec->RunAsync([&] { c.QuoteAsync(); }), 500);
    ASSERT_EQ(rec->RunAsync([&] { c.PortAsync(); }), 0);
    EXPECT_EQ(rec->Done.back().first, ftpPortAsync);

    // REST with a missing local file completes at once, sending nothing.
    c.LocalFileName = (local.Path() / "nothing").string();
    const std::size_t logSize = rec->Log.size();
    ASSERT_EQ(rec->RunAsync([&] { c.RestAsync(); }), 0);
    EXPECT_EQ(rec->Done.back().first, ftpRestAsync);
    EXPECT_EQ(rec->Log.size(), logSize);

    ASSERT_EQ(rec->RunAsync([&] { c.QuitAsync(); }), 0);
    EXPECT_EQ(rec->Done.back().first, ftpQuitAsync);
    EXPECT_FALSE(c.Connected());
}

TEST_F(FtpServerTest, MultiStepRequestsWithLogIn)
{
    TFtpClient& c = rec->Client;
    fs::create_directories(server.Root() / "web");
    c.HostDirName = "web";
    c.SetBinary(true);

    c.LocalFileName = MakeFile("t.bin", 50000, 21);
    c.HostFileName = "t.bin";
    ASSERT_EQ(rec->RunAsync([&] { c.TransmitAsync(); }), 0) << rec->LogText();
    EXPECT_EQ(rec->Done.back().first, ftpTransmitAsync);
    EXPECT_EQ(ReadFileBytes(server.Root() / "web" / "t.bin"), PatternBytes(50000, 21));
    EXPECT_FALSE(c.Connected());
    // The reply saved before QUIT is what the request leaves behind.
    EXPECT_EQ(c.LastResponse().substr(0, 3), "226");

    c.LocalFileName = MakeFile("t2.bin", 777, 22);
    ASSERT_EQ(rec->RunAsync([&] { c.AppendFileAsync(); }), 0) << rec->LogText();
    auto both = PatternBytes(50000, 21);
    auto tail = PatternBytes(777, 22);
    both.insert(both.end(), tail.begin(), tail.end());
    EXPECT_EQ(ReadFileBytes(server.Root() / "web" / "t.bin"), both);

    c.LocalFileName = (local.Path() / "r.bin").string();
    ASSERT_EQ(rec->RunAsync([&] { c.ReceiveAsync(); }), 0) << rec->LogText();
    EXPECT_EQ(rec->Done.back().first, ftpReceiveAsync);
    EXPECT_EQ(ReadFileBytes(c.LocalFileName), both);

    WriteFileBytes(c.LocalFileName, std::vector<std::uint8_t>(both.begin(), both.begin() + 1000));
    ASSERT_EQ(rec->RunAsync([&] { c.RestartGetAsync(); }), 0) << rec->LogText();
    EXPECT_EQ(ReadFileBytes(c.LocalFileName), both);

    // No TYPE step here, and this server refuses SIZE in ASCII mode: the
    // failing step ends the request with its code, before QUIT.
    EXPECT_EQ(rec->RunAsync([&] { c.FileSizeAsync(); }), 550);
    EXPECT_EQ(rec->Done.back().first, ftpSizeAsync);
    EXPECT_EQ(c.ErrorMessage(), "550 SIZE not allowed in ASCII mode.");
    ASSERT_TRUE(c.Quit());

    ASSERT_EQ(rec->RunAsync([&] { c.SystemAsync(); }), 0);
    EXPECT_EQ(rec->Done.back().first, ftpSystemAsync);

    std::vector<std::string> lines;
    c.OnDisplayFile = [&](TCustomFtpClient*, std::string& line) { lines.push_back(line); };
    c.DisplayFileFlag = true;
    c.HostFileName.clear();
    ASSERT_EQ(rec->RunAsync([&] { c.ListAsync(); }), 0);
    EXPECT_EQ(lines, std::vector<std::string>{"t.bin"});
    ASSERT_EQ(rec->RunAsync([&] { c.DirectoryAsync(); }), 0);
    EXPECT_EQ(rec->Done.back().first, ftpDirectoryAsync);
    EXPECT_EQ(lines.size(), 2u);
    c.DisplayFileFlag = false;

    c.HostFileName = "sub";
    ASSERT_EQ(rec->RunAsync([&] { c.MkdirAsync(); }), 0);
    EXPECT_TRUE(fs::is_directory(server.Root() / "web" / "sub"));
    ASSERT_EQ(rec->RunAsync([&] { c.RmdirAsync(); }), 0);
    EXPECT_FALSE(fs::exists(server.Root() / "web" / "sub"));

    c.HostFileName = "t.bin";
    c.LocalFileName = "renamed.bin";
    ASSERT_EQ(rec->RunAsync([&] { c.RenameAsync(); }), 0);
    EXPECT_EQ(rec->Done.back().first, ftpRenameAsync);
    EXPECT_TRUE(fs::exists(server.Root() / "web" / "renamed.bin"));
    c.HostFileName = "renamed.bin";
    ASSERT_EQ(rec->RunAsync([&] { c.DeleteAsync(); }), 0);
    EXPECT_FALSE(fs::exists(server.Root() / "web" / "renamed.bin"));

    c.LocalFileName = "NOOP";
    ASSERT_EQ(rec->RunAsync([&] { c.DoQuoteAsync(); }), 0);
    EXPECT_EQ(rec->Done.back().first, ftpDoQuoteAsync);
    EXPECT_FALSE(c.Connected());

    // A failing step ends the request with its code.
    c.HostDirName = "no such folder";
    EXPECT_EQ(rec->RunAsync([&] { c.MkdirAsync(); }), 550);
    EXPECT_EQ(rec->Done.back().first, ftpMkdirAsync);
    EXPECT_EQ(c.ErrorMessage().substr(0, 3), "550");
}

TEST_F(FtpServerTest, WrongPasswordIsRefused)
{
    rec->Client.PassWord = "wrong";
    EXPECT_FALSE(rec->Client.Connect());
    ASSERT_TRUE(rec->WaitForDone(1, 5s));
    EXPECT_EQ(rec->Done.back(), std::make_pair(ftpConnectAsync, 530));
    EXPECT_EQ(rec->Client.ErrorMessage().substr(0, 4), "530 ");
}

}  // namespace
