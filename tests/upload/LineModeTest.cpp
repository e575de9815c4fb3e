// Line mode: received data cut into lines, one line per data-available event.
#include "SocketTestSupport.h"

#include <gtest/gtest.h>

using namespace socktest;

namespace {

struct LineClient {
    explicit LineClient(TAsyncSocket& socket)
    {
        socket.OnDataAvailable = [this](TCustomAsyncSocket* s, std::uint16_t) {
            std::string line = s->ReceiveText();
            if (!line.empty()) Lines.push_back(line);
        };
    }
    std::vector<std::string> Lines;
};

using Lines = std::vector<std::string>;

}  // namespace

TEST(LineMode, CrLfLinesSeveralInOneRead)
{
    LoopbackPair pair;
    ASSERT_TRUE(pair.Ok);
    pair.Client.SetLineMode(true);
    LineClient client(pair.Client);
    pair.Server.SendText("one\r\ntwo\r\nthree\r\n");
    ASSERT_TRUE(WaitFor([&] { return client.Lines.size() >= 3; }));
    EXPECT_EQ(client.Lines, (Lines{"one\r\n", "two\r\n", "three\r\n"}));
}

TEST(LineMode, LfOnlyLineEnd)
{
    LoopbackPair pair;
    ASSERT_TRUE(pair.Ok);
    pair.Client.SetLineMode(true);
    pair.Client.SetLineEnd("\n");
    LineClient client(pair.Client);
    pair.Server.SendText("a\nbc\r\n\n");
    ASSERT_TRUE(WaitFor([&] { return client.Lines.size() >= 3; }));
    EXPECT_EQ(client.Lines, (Lines{"a\n", "bc\r\n", "\n"}));
}

TEST(LineMode, LineEndSplitAcrossReads)
{
    LoopbackPair pair;
    ASSERT_TRUE(pair.Ok);
    pair.Client.SetLineMode(true);
    LineClient client(pair.Client);
    pair.Server.SendText("ab\r");
    ASSERT_TRUE(WaitFor([&] { return pair.Client.LineBufferedCount() == 3; }));
    EXPECT_TRUE(client.Lines.empty());
    pair.Server.SendText("\ncd");
    ASSERT_TRUE(WaitFor([&] { return client.Lines.size() == 1 && pair.Client.LineBufferedCount() == 2; }));
    EXPECT_EQ(client.Lines, (Lines{"ab\r\n"}));
    pair.Server.SendText("e\r\n");
    ASSERT_TRUE(WaitFor([&] { return client.Lines.size() == 2; }));
    EXPECT_EQ(client.Lines[1], "cde\r\n");
}

TEST(LineMode, OverLongLineIsHandedOutInPiecesAndTheConnectionStays)
{
    LoopbackPair pair;
    ASSERT_TRUE(pair.Ok);
    pair.Client.SetLineMode(true);
    pair.Client.SetLineLimit(16);
    int tooLong = 0;
    pair.Client.OnLineTooLong = [&](TCustomAsyncSocket*) { ++tooLong; };
    LineClient client(pair.Client);
    pair.Server.SendText(std::string(40, 'x'));
    ASSERT_TRUE(WaitFor([&] { return pair.Client.LineBufferedCount() == 8 && client.Lines.size() == 2; }));
    pair.Server.SendText("\r\nnext\r\n");
    ASSERT_TRUE(WaitFor([&] { return client.Lines.size() == 4; }));
    EXPECT_EQ(tooLong, 2);
    EXPECT_EQ(client.Lines,
              (Lines{std::string(16, 'x'), std::string(16, 'x'), std::string(8, 'x') + "\r\n", "next\r\n"}));
    EXPECT_EQ(pair.Client.State(), wsConnected);
}

TEST(LineMode, LastUnfinishedLineComesBeforeTheCloseEvent)
{
    LoopbackPair pair;
    ASSERT_TRUE(pair.Ok);
    pair.Client.SetLineMode(true);
    LineClient client(pair.Client);
    Lines atClose;
    bool closed = false;
    pair.Client.OnSessionClosed = [&](TCustomAsyncSocket*, std::uint16_t) {
        atClose = client.Lines;
        closed = true;
    };
    pair.Server.SetLingerOnOff(wsLingerOff);
    pair.Server.SendText("done\r\npartial");
    pair.Server.Flush();
    pair.Server.Close();
    ASSERT_TRUE(WaitFor([&] { return closed; }));
    EXPECT_EQ(atClose, (Lines{"done\r\n", "partial"}));
}

TEST(LineMode, SwitchingOffHandsBufferedBytesToPlainReads)
{
    LoopbackPair pair;
    ASSERT_TRUE(pair.Ok);
    pair.Client.SetLineMode(true);
    LineClient client(pair.Client);
    pair.Server.SendText("abcdef");
    ASSERT_TRUE(WaitFor([&] { return pair.Client.LineBufferedCount() == 6; }));
    EXPECT_TRUE(client.Lines.empty());
    std::string plain;
    pair.Client.OnDataAvailable = [&](TCustomAsyncSocket* s, std::uint16_t) {
        char buffer[4];  // smaller than what is buffered: the rest stays in order
        int n = s->Receive(buffer, sizeof buffer);
        if (n > 0) plain.append(buffer, static_cast<std::size_t>(n));
    };
    pair.Client.SetLineMode(false);
    ASSERT_TRUE(WaitFor([&] { return plain.size() >= 6; }));
    EXPECT_EQ(plain, "abcdef");
    pair.Server.SendText("gh");
    ASSERT_TRUE(WaitFor([&] { return plain.size() >= 8; }));
    EXPECT_EQ(plain, "abcdefgh");
}

TEST(LineMode, EditAndEcho)
{
    LoopbackPair pair;
    ASSERT_TRUE(pair.Ok);
    pair.Client.SetLineMode(true);
    pair.Client.SetLineEdit(true);
    pair.Client.SetLineEcho(true);
    LineClient client(pair.Client);
    std::string echoed;
    pair.Server.OnDataAvailable = [&](TCustomAsyncSocket* s, std::uint16_t) { echoed += s->ReceiveText(); };
    pair.Server.SendText("\bab\bc\td\r\n");
    ASSERT_TRUE(WaitFor([&] { return client.Lines.size() == 1 && echoed.size() >= 14; }));
    EXPECT_EQ(client.Lines[0], "ac      d\r\n");
    EXPECT_EQ(echoed, "ab\b \bc      d\r\n");
}

TEST(LineMode, LinesWithoutAHandlerAreDropped)
{
    LoopbackPair pair;
    ASSERT_TRUE(pair.Ok);
    pair.Client.SetLineMode(true);
    pair.Server.SendText("dropped\r\n");
    ASSERT_TRUE(WaitFor([&] {
        return PendingMessageCount() == 0 && pair.Client.LineBufferedCount() == 0 && pair.Client.RcvdCount() == 0 &&
               pair.Client.ReadCount() == 0;
    }));
    RunFor([] { return false; }, std::chrono::milliseconds(100));
    LineClient client(pair.Client);
    pair.Server.SendText("kept\r\n");
    ASSERT_TRUE(WaitFor([&] { return client.Lines.size() == 1; }));
    EXPECT_EQ(client.Lines[0], "kept\r\n");
}

TEST(LineMode, ReadingPartOfALineLeavesTheRestReady)
{
    LoopbackPair pair;
    ASSERT_TRUE(pair.Ok);
    pair.Client.SetLineMode(true);
    std::vector<std::string> pieces;
    pair.Client.OnDataAvailable = [&](TCustomAsyncSocket* s, std::uint16_t) {
        char buffer[3];
        int n = s->Receive(buffer, sizeof buffer);
        if (n > 0) pieces.emplace_back(buffer, static_cast<std::size_t>(n));
    };
    pair.Server.SendText("12345\r\nxy\r\n");
    ASSERT_TRUE(WaitFor([&] { return pieces.size() >= 5; }));
    EXPECT_EQ(pieces, (Lines{"123", "45\r", "\n", "xy\r", "\n"}));
}

TEST(LineMode, EchoWithoutEditSendsTheBytesBack)
{
    LoopbackPair pair;
    ASSERT_TRUE(pair.Ok);
    pair.Client.SetLineMode(true);
    pair.Client.SetLineEcho(true);
    std::vector<std::string> lines;
    pair.Client.OnDataAvailable = [&](TCustomAsyncSocket* s, std::uint16_t) { lines.push_back(s->ReceiveText()); };
    std::string echoed;
    pair.Server.OnDataAvailable = [&](TCustomAsyncSocket* s, std::uint16_t) { echoed += s->ReceiveText(); };
    pair.Server.SendText("a\bz\r\n");
    ASSERT_TRUE(WaitFor([&] { return echoed.size() >= 5 && !lines.empty(); }));
    EXPECT_EQ(echoed, "a\bz\r\n");
    EXPECT_EQ(lines[0], "a\bz\r\n");
}
