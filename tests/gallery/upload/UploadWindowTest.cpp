// The upload window against a real FTP server (pyftpdlib) and a scripted peer
// on 127.0.0.1: the tree it sends, failures that keep their lines, stopping,
// and a long chain that must not deepen the stack.
#include "gallery/windows/pvftp1.h"

#include "FtpServerSupport.h"
#include "WindowTestSupport.h"

#include "gallery/text/srutils.h"
#include "gallery/text/srutilsFiles.h"
#include "platform/system/System.h"
#include "tests/support/TestApplication.h"

#include <QCloseEvent>
#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

namespace fs = std::filesystem;
using namespace ftptest;

namespace {

// Every regular file under root, by path relative to it, with its bytes.
std::map<std::string, std::vector<std::uint8_t>> TreeOf(const fs::path& root)
{
    std::map<std::string, std::vector<std::uint8_t>> tree;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file())
            tree[fs::relative(entry.path(), root).generic_string()] = ReadFileBytes(entry.path());
    return tree;
}

// upload_peer.py serving `sessions` control connections in turn; Port is 0
// when it did not start.
struct UploadPeer {
    explicit UploadPeer(int sessions = 1)
        : Transcript(folder.Path() / "transcript.txt"),
          Child({"/usr/bin/python3", std::string(PICTAVO_SOURCE_DIR) + "/tests/gallery/upload/upload_peer.py",
                 Transcript.string(), std::to_string(sessions)},
                (folder.Path() / "peer.log").string()),
          Port(std::atoi(Child.ReadLine(std::chrono::seconds(10)).c_str()))
    {
    }
    // The commands the peer received that begin with one of the verbs.
    std::vector<std::string> Commands(std::initializer_list<const char*> verbs) const
    {
        std::vector<std::string> commands;
        std::ifstream in(Transcript);
        for (std::string line; std::getline(in, line);)
            for (const char* verb : verbs)
                if (line.rfind(verb, 0) == 0) commands.push_back(line);
        return commands;
    }
    // What the STOR of a name left on the peer.
    std::vector<std::uint8_t> Stored(const std::string& name) const
    {
        return ReadFileBytes(Transcript.string() + ".files/" + name);
    }

    TempFolder folder;
    fs::path Transcript;
    ChildProcess Child;
    int Port;
};

class UploadWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dest = program.Path() + "dest/";
        fs::create_directories(dest);
        SetMessageDlgHook([](const std::string& c, const std::string& m, int t, int b) {
            return MessageDlg(c, m, static_cast<TMsgDlgType>(t), b);
        });
    }
    void TearDown() override { SetMessageDlgHook(nullptr); }

    void AddFile(const std::string& relative, std::size_t size, std::uint32_t seed)
    {
        fs::create_directories(fs::path(dest + relative).parent_path());
        WriteFileBytes(dest + relative, PatternBytes(size, seed));
        lines.push_back(relative);
    }

    // A window filled as the main window fills it for "FTP Upload".
    std::unique_ptr<TForm5> MakeWindow(int port, const std::string& webFolder)
    {
        auto form = std::make_unique<TForm5>(nullptr);
        form->ListBox1->Items().Assign(lines);
        form->Label1->SetCaption(dest);
        form->Notebook1->SetPageIndex(0);
        form->Edit1->SetText("127.0.0.1");
        form->SpinEdit1->SetValue(port);
        form->Edit2->SetText(PyFtpServer::User);
        form->Edit3->SetText(PyFtpServer::Password);
        form->Edit5->SetText(webFolder);
        form->FormShow();
        return form;
    }

    TempProgramFolder program;
    DialogScript dialogs;
    std::string dest;
    std::vector<std::string> lines;
};

TEST_F(UploadWindowTest, TreeWithSubFoldersEmptyFileAndSpacesArrivesByteForByte)
{
    PyFtpServer server;
    ASSERT_TRUE(server.Running());
    AddFile("index.htm", 700, 1);
    AddFile("images/a picture.jpg", 70000, 2);
    AddFile("images/thumbs/small one.jpg", 3000, 3);
    AddFile("empty.txt", 0, 4);
    AddFile("deep dir/level two/data.bin", 200000, 5);

    auto form = MakeWindow(server.Port(), "web/new site");
    EXPECT_EQ(form->ListBox2->Items().ToVector(), lines);
    EXPECT_EQ(form->Panel1->Caption(), "Total Size: 267 Kb / " + FormatThousands(273700) + " bytes");
    form->Button1Click(form->Button1);

    EXPECT_EQ(form->SentCount(), 5);
    EXPECT_EQ(form->FailedCount(), 0);
    EXPECT_EQ(form->ListBox2->Items().Count(), 0);
    EXPECT_FALSE(form->Uploading());
    EXPECT_FALSE(form->FtpClient1.Connected());
    EXPECT_EQ(TreeOf(server.Root() / "web" / "new site"), TreeOf(dest));
    EXPECT_EQ(form->StatusBar1->PanelText(0), "Sent 5 of 5 files, 0 failed");
    EXPECT_EQ(form->StatusBar1->PanelText(1), "Total Files: 0");
    // The log shows commands, replies and one transfer line per file.
    const auto& log = form->LogLines();
    EXPECT_NE(std::find(log.begin(), log.end(), "> TYPE I"), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), "> PASS ********"), log.end());
    for (const auto& line : log) EXPECT_EQ(line.find(PyFtpServer::Password), std::string::npos) << line;
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string& l) { return l.rfind("Transfer (", 0) == 0; }),
              5);
    EXPECT_NE(std::find(log.begin(), log.end(), "Transfer (0 bytes) " + dest + "empty.txt web/new site/empty.txt"),
              log.end());

    // A second upload into the now existing folders succeeds as well.
    form->ListBox2->Items().Assign(lines);
    form->Button1Click(form->Button1);
    EXPECT_EQ(form->SentCount(), 5);
    EXPECT_EQ(form->ListBox2->Items().Count(), 0);
}

TEST_F(UploadWindowTest, RefusedStorKeepsExactlyItsLineAndTheStatusSaysSo)
{
    UploadPeer peer;
    ASSERT_GT(peer.Port, 0);
    AddFile("index.htm", 100, 1);
    AddFile("img/bad one.jpg", 100, 2);
    AddFile("img/ok.jpg", 100, 3);

    auto form = MakeWindow(peer.Port, "site");
    form->Button1Click(form->Button1);
    ASSERT_TRUE(peer.Child.WaitExit(std::chrono::seconds(10)));

    EXPECT_EQ(form->ListBox2->Items().ToVector(), std::vector<std::string>{"img/bad one.jpg"});
    EXPECT_EQ(form->SentCount(), 2);
    EXPECT_EQ(form->FailedCount(), 1);
    EXPECT_EQ(form->StatusBar1->PanelText(0), "Sent 2 of 3 files, 1 failed");

    // Last line first; each folder level made once before its first file.
    EXPECT_EQ(peer.Commands({"MKD", "STOR", "TYPE"}),
              (std::vector<std::string>{"TYPE I", "MKD site", "MKD site/img", "STOR site/img/ok.jpg",
                                        "STOR site/img/bad one.jpg", "STOR site/index.htm"}));
    // The page went last and travels as text; the client was told so.
    EXPECT_FALSE(form->FtpClient1.Binary());
    const auto& log = form->LogLines();
    // The refused STOR is logged as an error; the "exists" answer to MKD is not.
    EXPECT_NE(std::find(log.begin(), log.end(), "550 site/img/bad one.jpg: permission denied"), log.end())
        << ::testing::PrintToString(log);
    EXPECT_EQ(std::find(log.begin(), log.end(), "550 site: folder exists"), log.end());
    // Logged at the refusal itself, before the next file starts, and no stale
    // or empty error lines.
    const auto refused = std::find(log.begin(), log.end(), "550 site/img/bad one.jpg: permission denied");
    const auto next = std::find_if(log.begin(), log.end(), [](const std::string& l) {
        return l.rfind("Transfer (", 0) == 0 && l.find("index.htm") != std::string::npos;
    });
    EXPECT_LT(refused, next);
    EXPECT_EQ(std::count(log.begin(), log.end(), ""), 0);
}

TEST_F(UploadWindowTest, LostConnectionEndsTheChainAndKeepsUnsentLines)
{
    UploadPeer peer;
    ASSERT_GT(peer.Port, 0);
    AddFile("a.jpg", 10, 1);
    AddFile("drop.jpg", 10, 2);
    AddFile("z.jpg", 10, 3);
    auto form = MakeWindow(peer.Port, "");
    form->Button1Click(form->Button1);
    EXPECT_EQ(form->ListBox2->Items().ToVector(), (std::vector<std::string>{"a.jpg", "drop.jpg"}));
    EXPECT_EQ(form->StatusBar1->PanelText(0), "Sent 1 of 3 files, 1 failed, 1 not tried");
    EXPECT_FALSE(form->Uploading());
    EXPECT_TRUE(form->Button1->Enabled());
}

TEST_F(UploadWindowTest, FilesAfterBrokenTransfersArriveWholeAndTheFailedOnesStayListed)
{
    UploadPeer peer(2);
    ASSERT_GT(peer.Port, 0);
    // Sent from the last line up: the first data connection is reset after
    // 1 MB, two files follow, then the server drops the session.
    AddFile("drop.jpg", 5000, 1);
    AddFile("one.jpg", 100000, 2);
    AddFile("two.jpg", 3000, 3);
    AddFile("reset big.bin", 4 * 1024 * 1024, 4);
    auto form = MakeWindow(peer.Port, "");
    form->Button1Click(form->Button1);
    EXPECT_EQ(form->ListBox2->Items().ToVector(), (std::vector<std::string>{"drop.jpg", "reset big.bin"}));
    EXPECT_EQ(form->StatusBar1->PanelText(0), "Sent 2 of 4 files, 2 failed");
    for (const std::string name : {"one.jpg", "two.jpg"})
        EXPECT_TRUE(SameBytes(peer.Stored(name), ReadFileBytes(dest + name))) << name;

    // The next Upload, in a new session, sends what stayed and ends the
    // session when the server says goodbye, not after the time-out.
    form->Button1Click(form->Button1);
    EXPECT_EQ(form->ListBox2->Items().Count(), 0);
    EXPECT_EQ(form->StatusBar1->PanelText(0), "Sent 2 of 2 files, 0 failed");
    EXPECT_EQ(form->FtpClient1.RequestType(), ftpQuitAsync);
    EXPECT_EQ(form->FtpClient1.RequestResult(), 0) << form->FtpClient1.ErrorMessage();
    ASSERT_TRUE(peer.Child.WaitExit(std::chrono::seconds(10)));
    for (const std::string name : {"drop.jpg", "reset big.bin"})
        EXPECT_TRUE(SameBytes(peer.Stored(name), ReadFileBytes(dest + name))) << name;
}

TEST_F(UploadWindowTest, SlowServerIsNoFailure)
{
    UploadPeer peer;
    ASSERT_GT(peer.Port, 0);
    // Sent first, the big file is read at 512 KB/s: it lies in the socket
    // buffers for seconds after its last block, longer than the time-out.
    AddFile("index.htm", 2000, 1);
    AddFile("slow big.bin", 3000000, 2);
    auto form = MakeWindow(peer.Port, "");
    form->SpinEdit2->SetValue(2);
    form->Button1Click(form->Button1);
    EXPECT_EQ(form->StatusBar1->PanelText(0), "Sent 2 of 2 files, 0 failed")
        << ::testing::PrintToString(form->LogLines());
    EXPECT_EQ(form->ListBox2->Items().Count(), 0);
    ASSERT_TRUE(peer.Child.WaitExit(std::chrono::seconds(10)));
    for (const std::string name : {"index.htm", "slow big.bin"})
        EXPECT_TRUE(SameBytes(peer.Stored(name), ReadFileBytes(dest + name))) << name;
}

TEST_F(UploadWindowTest, DisconnectMidFileResetsTheUpload)
{
    UploadPeer peer;
    ASSERT_GT(peer.Port, 0);
    // Read at 512 KB/s: the system holds megabytes of the file for the server
    // when Disconnect is pressed.
    AddFile("slow big.bin", 8u << 20, 1);
    auto form = MakeWindow(peer.Port, "");
    TFtpClient& client = form->FtpClient1;
    // What the server's system had acknowledged when the upload stopped: its
    // program may still read that and what its receive buffer (256 KB asked
    // for, doubled by the system) took unacknowledged, and nothing more.
    std::int64_t acknowledged = -1;
    bool pressed = false;
    const auto progress = client.OnProgress;
    client.OnProgress = [&](TCustomFtpClient* sender, std::int64_t count, bool& abort) {
        progress(sender, count, abort);
        if (pressed || count < (2 << 20)) return;
        pressed = true;
        // Clicked while the upload waits, as a user's click comes.
        QTimer::singleShot(0, [&] {
            const TAsyncSocket& data = *client.DataSocket();
            const int held = SocketUnsentCount(data.HSocket());
            EXPECT_GT(held, 0);
            acknowledged = client.ByteCount() - data.BufferedByteCount() - held;
            form->Window()->findChild<QPushButton*>("Button2")->click();
        });
    };
    form->Button1Click(form->Button1);
    ASSERT_TRUE(pressed);
    EXPECT_EQ(form->StatusBar1->PanelText(0), "Sent 0 of 1 files, 0 failed, 1 not tried");
    const auto& log = form->LogLines();
    EXPECT_NE(std::find(log.begin(), log.end(), "! Upload stopped by the user"), log.end());
    ASSERT_TRUE(peer.Child.WaitExit(std::chrono::seconds(20)));
    // The server found a broken transfer, not the end of a cut file.
    EXPECT_EQ(DataEndOf(peer.Transcript, "slow big.bin"), "reset");
    EXPECT_GE(acknowledged, 0);
    EXPECT_LE(static_cast<std::int64_t>(peer.Stored("slow big.bin").size()), acknowledged + (512 << 10));
}

TEST_F(UploadWindowTest, TransferStatusIsWholeWhileTheBarHasRoom)
{
    for (int i = 0; i < 15; ++i) AddFile(std::to_string(i) + ".jpg", 10, static_cast<std::uint32_t>(i));
    auto form = MakeWindow(21, "");
    form->Window()->show();
    // Mid-file in a second upload: the last one's total is still shown.
    form->StatusBar1->SetPanelText(1, "Total Files: 15");
    form->FilesLeft = 14;
    bool abort = false;
    form->FtpClient1Progress(&form->FtpClient1, 1159121, abort);
    QApplication::processEvents();
    EXPECT_EQ(form->StatusBar1->PanelText(0), "Files Left: 14  Transfer: " + FormatThousands(1159121) + " bytes");
    EXPECT_TRUE(testsupport::ShowsWholeText(*form->StatusBar1->Panel(0)));
    EXPECT_TRUE(testsupport::ShowsWholeText(*form->StatusBar1->Panel(1)));
}

// The Timeout field is the client's: a server that stops reading fails the
// file after that many seconds, not the client's own 15, and an empty field
// keeps the 15.
TEST_F(UploadWindowTest, TheTimeoutFieldIsHowLongTheServerMayStaySilent)
{
    UploadPeer peer;
    ASSERT_GT(peer.Port, 0);
    AddFile("stall.bin", 3000000, 1);
    auto form = MakeWindow(peer.Port, "");
    form->SpinEdit2->SetValue(2);
    const auto start = std::chrono::steady_clock::now();
    form->Button1Click(form->Button1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(form->FtpClient1.Timeout, 2);
    EXPECT_EQ(form->ListBox2->Items().Count(), 1);
    const auto& log = form->LogLines();
    EXPECT_NE(std::find(log.begin(), log.end(), "426 Timeout"), log.end()) << ::testing::PrintToString(log);
    form->SpinEdit2->SetValue(0);
    form->FtpClient1.Timeout = 7;
    form->Button1Click(form->Button1);
    EXPECT_EQ(form->FtpClient1.Timeout, 15);
}

TEST_F(UploadWindowTest, FileNameWithALineBreakFailsAndStaysListed)
{
    UploadPeer peer;
    ASSERT_GT(peer.Port, 0);
    AddFile("ok.jpg", 100, 1);
    AddFile("a\r\nDELE keep.jpg", 100, 2);  // a legal local name, but two lines
    auto form = MakeWindow(peer.Port, "");
    // Lists read from files split such a name; one set directly keeps it.
    form->ListBox2->Items().Assign(lines);
    form->Button1Click(form->Button1);
    ASSERT_TRUE(peer.Child.WaitExit(std::chrono::seconds(10)));
    EXPECT_EQ(form->ListBox2->Items().ToVector(), std::vector<std::string>{"a\r\nDELE keep.jpg"});
    EXPECT_EQ(form->StatusBar1->PanelText(0), "Sent 1 of 2 files, 1 failed");
    const auto& log = form->LogLines();
    EXPECT_NE(std::find(log.begin(), log.end(), "501 HostFileName contains CR, LF or NUL"), log.end())
        << ::testing::PrintToString(log);
    // Files without a folder make none: no MKD at all.
    EXPECT_EQ(peer.Commands({"STOR", "DELE", "MKD"}), std::vector<std::string>{"STOR ok.jpg"});
}

TEST_F(UploadWindowTest, LongChainKeepsTheStackFlatAndControlsLocked)
{
    PyFtpServer server;
    ASSERT_TRUE(server.Running());
    constexpr int Files = 2000;
    fs::create_directories(dest + "f");
    for (int i = 0; i < Files; ++i) {
        const std::string name = "f/" + std::to_string(i) + ".txt";
        std::ofstream(dest + name) << i;
        lines.push_back(name);
    }
    auto form = MakeWindow(server.Port(), "");
    int checked = 0;
    bool askedName = false;
    form->AskName = [&](const std::string&, std::string&) { return askedName = true; };
    form->AfterEachFile = [&](int index, bool sent) {
        EXPECT_TRUE(sent) << index;
        if (index != Files - 1) return;
        ++checked;
        for (TControl* c : std::initializer_list<TControl*>{form->Button1, form->Button4, form->Button5, form->Button13,
                                                            form->Button14, form->Button15, form->ComboBox1})
            EXPECT_FALSE(c->Enabled()) << c->Name;
        // Handlers reached anyway do nothing while the chain runs.
        form->Button1Click(form->Button1);
        form->Button14Click(form->Button14);
        form->Button5Click(form->Button5);
    };
    form->Button1Click(form->Button1);

    EXPECT_EQ(checked, 1);
    EXPECT_FALSE(askedName);
    EXPECT_TRUE(dialogs.FileRequests.empty());
    EXPECT_EQ(form->SentCount(), Files);
    EXPECT_EQ(form->ListBox2->Items().Count(), 0);
    EXPECT_TRUE(form->Button1->Enabled());
    EXPECT_EQ(TreeOf(server.Root()), TreeOf(dest));
    // One nested wait per file would cost far more than this over 2,000 files.
    EXPECT_LT(form->StackSpread(), 16u * 1024u);
}

TEST_F(UploadWindowTest, ClosingDuringTheChainStopsItAndKeepsTheRest)
{
    PyFtpServer server;
    ASSERT_TRUE(server.Running());
    for (int i = 0; i < 20; ++i) AddFile("p/" + std::to_string(i) + ".bin", 10, static_cast<std::uint32_t>(i));
    auto form = MakeWindow(server.Port(), "");
    int sent = 0;
    form->AfterEachFile = [&](int, bool ok) {
        if (ok && ++sent == 5) {
            QCloseEvent close;
            QCoreApplication::sendEvent(form->Window(), &close);
            EXPECT_FALSE(close.isAccepted());
        }
    };
    form->Button1Click(form->Button1);
    EXPECT_EQ(form->SentCount(), 5);
    EXPECT_EQ(form->FailedCount(), 0);
    EXPECT_EQ(form->ListBox2->Items().Count(), 15);
    EXPECT_EQ(form->StatusBar1->PanelText(0), "Sent 5 of 20 files, 0 failed, 15 not tried");
    EXPECT_EQ(form->ModalResult, TModal::Cancel);

    // Exit during a chain closes with OK once the chain has stopped.
    sent = 0;
    form->AfterEachFile = [&](int, bool ok) {
        if (ok && ++sent == 2) form->Click(form->Button3);
    };
    form->ModalResult = TModal::None;
    form->Button1Click(form->Button1);
    EXPECT_EQ(form->ListBox2->Items().Count(), 13);
    EXPECT_EQ(form->ModalResult, TModal::Ok);

    // Disconnect during a chain stops it and leaves the window open.
    sent = 0;
    form->AfterEachFile = [&](int, bool ok) {
        if (ok && ++sent == 3) form->Button2Click(form->Button2);
    };
    form->ModalResult = TModal::None;
    form->Button1Click(form->Button1);
    EXPECT_EQ(form->ListBox2->Items().Count(), 10);
    EXPECT_EQ(form->ModalResult, TModal::None);
    EXPECT_EQ(form->FailedCount(), 0);
}

TEST_F(UploadWindowTest, EmptyListQuitsAtOnce)
{
    PyFtpServer server;
    ASSERT_TRUE(server.Running());
    auto form = MakeWindow(server.Port(), "web");
    form->Button1Click(form->Button1);
    EXPECT_EQ(form->FilesLeft, -1);
    EXPECT_FALSE(form->FtpClient1.Connected());
    EXPECT_EQ(form->StatusBar1->PanelText(0), "Sent 0 of 0 files, 0 failed");
    const auto& log = form->LogLines();
    EXPECT_NE(std::find(log.begin(), log.end(), "> QUIT"), log.end());
    EXPECT_TRUE(fs::is_empty(server.Root()));
}

TEST_F(UploadWindowTest, UploadInsideTheModalWindowThenExit)
{
    PyFtpServer server;
    ASSERT_TRUE(server.Running());
    AddFile("index.htm", 500, 7);
    AddFile("pics/one.jpg", 9000, 8);
    auto form = MakeWindow(server.Port(), "modal");
    bool ran = false;
    // The user's clicks, inside the window's own modal loop.
    testsupport::WhenModal([&](QWidget* w) {
        ASSERT_EQ(w, form->Window());
        w->findChild<QPushButton*>("Button1")->click();
        ran = true;
        EXPECT_EQ(form->ListBox2->Items().Count(), 0);
        w->findChild<QPushButton*>("Button3")->click();
    });
    EXPECT_EQ(form->ShowModal(), TModal::Ok);
    EXPECT_TRUE(ran);
    EXPECT_EQ(TreeOf(server.Root() / "modal"), TreeOf(dest));
}

TEST_F(UploadWindowTest, UnreachableServerSendsNothingAndSaysSo)
{
    AddFile("a.htm", 10, 1);
    const RefusingPort refusing;
    auto form = MakeWindow(refusing.Port(), "");
    form->Button1Click(form->Button1);
    EXPECT_EQ(form->ListBox2->Items().Count(), 1);
    EXPECT_EQ(form->StatusBar1->PanelText(0), "Not connected: no file sent");
    EXPECT_TRUE(form->Button1->Enabled());
}

}  // namespace
