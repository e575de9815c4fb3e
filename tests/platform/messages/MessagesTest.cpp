// The posted-message queue and its poll() driver.
#include "platform/messages/Messages.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

struct Recorder {
    Recorder() : Wnd(AllocateHWnd([this](TMessage& m) { Got.push_back(m); })) {}
    ~Recorder() { DeallocateHWnd(Wnd); }
    HWND Wnd;
    std::vector<TMessage> Got;
};

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

TEST(Messages, FifoAcrossTargets)
{
    Recorder a, b;
    EXPECT_TRUE(PostMessage(a.Wnd, WM_USER + 1, 1, 10));
    EXPECT_TRUE(PostMessage(b.Wnd, WM_USER + 2, 2, 20));
    EXPECT_TRUE(PostMessage(a.Wnd, WM_USER + 3, 3, 30));
    EXPECT_EQ(PendingMessageCount(), 3u);
    EXPECT_TRUE(ProcessMessages());
    ASSERT_EQ(a.Got.size(), 2u);
    ASSERT_EQ(b.Got.size(), 1u);
    EXPECT_EQ(a.Got[0].Msg, WM_USER + 1);
    EXPECT_EQ(a.Got[1].LParam, 30);
    EXPECT_EQ(b.Got[0].WParam, 2u);
    EXPECT_FALSE(ProcessMessages());
}

TEST(Messages, HandlesAreNeverReusedAndGoneTargetsGetNothing)
{
    HWND first;
    {
        Recorder r;
        first = r.Wnd;
        PostMessage(r.Wnd, WM_USER, 0, 0);
    }
    EXPECT_EQ(PendingMessageCount(), 0u) << "a freed target's messages are dropped";
    EXPECT_FALSE(PostMessage(first, WM_USER, 0, 0));
    EXPECT_FALSE(IsWindowHandle(first));
    Recorder again;
    EXPECT_NE(again.Wnd, first);
    EXPECT_NE(again.Wnd, 0u);
}

TEST(Messages, MessagesPostedByAHandlerWaitForTheNextPass)
{
    std::vector<int> order;
    HWND wnd = 0;
    wnd = AllocateHWnd([&](TMessage& m) {
        order.push_back(static_cast<int>(m.WParam));
        if (m.WParam == 1) PostMessage(wnd, WM_USER, 3, 0);
    });
    PostMessage(wnd, WM_USER, 1, 0);
    PostMessage(wnd, WM_USER, 2, 0);
    ProcessMessages();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    ProcessMessages();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    DeallocateHWnd(wnd);
}

TEST(Messages, NestedWaitsInsideAHandler)
{
    bool innerDone = false;
    bool outerDone = false;
    HWND wnd = 0;
    wnd = AllocateHWnd([&](TMessage& m) {
        if (m.Msg == WM_USER) {
            PostMessage(wnd, WM_USER + 1, 0, 0);
            EXPECT_TRUE(RunFor([&] { return innerDone; }, std::chrono::seconds(5)));
            outerDone = true;
        } else {
            innerDone = true;
        }
    });
    PostMessage(wnd, WM_USER, 0, 0);
    EXPECT_TRUE(RunFor([&] { return outerDone; }, std::chrono::seconds(5)));
    DeallocateHWnd(wnd);
}

TEST(Messages, RemovePendingMessagesIsSelective)
{
    Recorder r;
    PostMessage(r.Wnd, WM_USER + 1, 5, 0);
    PostMessage(r.Wnd, WM_USER + 1, 6, 0);
    PostMessage(r.Wnd, WM_USER + 2, 5, 0);
    RemovePendingMessages(r.Wnd, WM_USER + 1, 5);
    ProcessMessages();
    ASSERT_EQ(r.Got.size(), 2u);
    EXPECT_EQ(r.Got[0].WParam, 6u);
    EXPECT_EQ(r.Got[1].Msg, WM_USER + 2);
}

TEST(Messages, WaitBlocksWithoutSpinningUntilTheDeadline)
{
    double cpuBefore = CpuSeconds();
    auto start = GetTickCount64();
    EXPECT_FALSE(RunFor([] { return false; }, std::chrono::milliseconds(400)));
    auto elapsed = GetTickCount64() - start;
    EXPECT_GE(elapsed, 400u);
    // A spinning wait would burn the whole 400 ms.
    EXPECT_LT(CpuSeconds() - cpuBefore, 0.15);
}

TEST(Messages, PostFromAnotherThreadWakesTheWait)
{
    Recorder r;
    std::thread poster([wnd = r.Wnd] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        PostMessage(wnd, WM_USER, 42, 0);
    });
    EXPECT_TRUE(RunFor([&] { return !r.Got.empty(); }, std::chrono::seconds(10)));
    poster.join();
    EXPECT_EQ(r.Got.at(0).WParam, 42u);
}

TEST(Messages, TimersPostOneMessageAtATime)
{
    Recorder r;
    ASSERT_TRUE(SetTimer(r.Wnd, 7, 20));
    EXPECT_TRUE(RunFor([&] { return r.Got.size() >= 3; }, std::chrono::seconds(10)));
    for (auto& m : r.Got) {
        EXPECT_EQ(m.Msg, WM_TIMER);
        EXPECT_EQ(m.WParam, 7u);
    }
    EXPECT_TRUE(KillTimer(r.Wnd, 7));
    EXPECT_FALSE(KillTimer(r.Wnd, 7));
    auto count = r.Got.size();
    RunFor([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_EQ(r.Got.size(), count);
    EXPECT_FALSE(SetTimer(0, 1, 10));
}

TEST(Messages, ReadinessIsPostedThenDispatched)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    Recorder r;
    bool armed = true;
    int callbacks = 0;
    WatchFd(
        fds[0], [&] { return armed ? short(POLLIN) : short(0); },
        [&](int fd, short revents) {
            ++callbacks;
            EXPECT_EQ(fd, fds[0]);
            EXPECT_TRUE(revents & POLLIN);
            armed = false;  // until the handler reads
            PostMessage(r.Wnd, WM_USER, static_cast<WPARAM>(fd), 0);
        });
    ASSERT_EQ(write(fds[1], "x", 1), 1);
    EXPECT_TRUE(RunFor([&] { return !r.Got.empty(); }, std::chrono::seconds(10)));
    // Not re-armed: no second message although the byte is still there.
    RunFor([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_EQ(r.Got.size(), 1u);
    EXPECT_EQ(callbacks, 1);
    UnwatchFd(fds[0]);
    close(fds[0]);
    close(fds[1]);
}

TEST(Messages, TerminationEndsWaits)
{
    RequestTermination();
    EXPECT_FALSE(RunFor([] { return false; }, std::chrono::seconds(30)));
    EXPECT_TRUE(TerminationRequested());
    ClearTermination();
    EXPECT_FALSE(TerminationRequested());
}

TEST(Messages, LParamHalves)
{
    LPARAM value = MakeLParam(32, 10061);
    EXPECT_EQ(LoWord(value), 32);
    EXPECT_EQ(HiWord(value), 10061);
}
