#include "platform/messages/Messages.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

struct QueuedMessage {
    HWND Wnd;
    UINT Msg;
    WPARAM WParam;
    LPARAM LParam;
};

struct WindowTimer {
    HWND Wnd;
    WPARAM Id;
    std::chrono::milliseconds Interval;
    TDeadline Due;
};

struct FdWatch {
    TFdInterest Interest;
    TFdReady Ready;
};

// The queue and the target table are shared with the look-up worker thread;
// everything else belongs to the window thread alone. The shared ones are
// never destroyed: a worker may still post while the program exits.
std::mutex& gLock = *new std::mutex;
std::deque<QueuedMessage>& gQueue = *new std::deque<QueuedMessage>;
std::unordered_map<HWND, std::shared_ptr<TWndMethod>>& gTargets =
    *new std::unordered_map<HWND, std::shared_ptr<TWndMethod>>;
HWND gNextHandle = 1;

std::vector<WindowTimer> gTimers;
std::map<int, FdWatch> gWatches;
std::atomic<bool> gTerminate{false};
std::uint64_t gDispatched = 0;

int gWakeRead = -1;
int gWakeWrite = -1;
std::once_flag gWakeOnce;

void EnsureWakePipe()
{
    std::call_once(gWakeOnce, [] {
        int fds[2];
        if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
            gWakeRead = fds[0];
            gWakeWrite = fds[1];
        }
    });
}

int TimeoutMs(TDeadline deadline)
{
    if (deadline == TDeadline::max()) return -1;
    auto now = std::chrono::steady_clock::now();
    if (deadline <= now) return 0;
    auto ms = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    return static_cast<int>(std::min<long long>(ms, INT_MAX));
}

class PollDriver : public TMessageDriver {
public:
    bool ProcessPending() override
    {
        messages_detail::PollOnce(std::chrono::steady_clock::now());
        messages_detail::FireDueTimers();
        return messages_detail::DispatchQueued();
    }

    void WaitAndProcess(TDeadline deadline) override
    {
        TDeadline nextTimer = messages_detail::FireDueTimers();
        TDeadline until = std::min(deadline, nextTimer);
        if (PendingMessageCount() > 0) until = std::chrono::steady_clock::now();
        messages_detail::PollOnce(until);
        messages_detail::FireDueTimers();
        messages_detail::DispatchQueued();
    }
};

PollDriver gPollDriver;
TMessageDriver* gDriver = &gPollDriver;

}  // namespace

HWND AllocateHWnd(TWndMethod method)
{
    EnsureWakePipe();
    std::lock_guard lock(gLock);
    HWND wnd = gNextHandle++;
    gTargets.emplace(wnd, std::make_shared<TWndMethod>(std::move(method)));
    return wnd;
}

void DeallocateHWnd(HWND wnd)
{
    {
        std::lock_guard lock(gLock);
        gTargets.erase(wnd);
        std::erase_if(gQueue, [wnd](const QueuedMessage& m) { return m.Wnd == wnd; });
    }
    std::erase_if(gTimers, [wnd](const WindowTimer& t) { return t.Wnd == wnd; });
}

bool IsWindowHandle(HWND wnd)
{
    std::lock_guard lock(gLock);
    return gTargets.count(wnd) != 0;
}

bool PostMessage(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    {
        std::lock_guard lock(gLock);
        if (gTargets.count(wnd) == 0) return false;
        gQueue.push_back({wnd, msg, wParam, lParam});
    }
    messages_detail::Wake();
    return true;
}

bool SendMessage(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    std::shared_ptr<TWndMethod> method;
    {
        std::lock_guard lock(gLock);
        auto it = gTargets.find(wnd);
        if (it == gTargets.end()) return false;
        method = it->second;
    }
    TMessage m{msg, wParam, lParam, 0};
    (*method)(m);
    return true;
}

void RemovePendingMessages(HWND wnd, UINT msg, WPARAM wParam)
{
    std::lock_guard lock(gLock);
    std::erase_if(gQueue, [&](const QueuedMessage& m) { return m.Wnd == wnd && m.Msg == msg && m.WParam == wParam; });
}

std::size_t PendingMessageCount()
{
    std::lock_guard lock(gLock);
    return gQueue.size();
}

bool SetTimer(HWND wnd, WPARAM id, unsigned intervalMs)
{
    if (!IsWindowHandle(wnd)) return false;
    auto interval = std::chrono::milliseconds(std::max(1u, intervalMs));
    auto due = std::chrono::steady_clock::now() + interval;
    auto it =
        std::find_if(gTimers.begin(), gTimers.end(), [&](const WindowTimer& t) { return t.Wnd == wnd && t.Id == id; });
    if (it != gTimers.end()) {
        it->Interval = interval;
        it->Due = due;
    } else {
        gTimers.push_back({wnd, id, interval, due});
    }
    messages_detail::Wake();  // a driver sleeping without timers must re-arm
    return true;
}

bool KillTimer(HWND wnd, WPARAM id)
{
    auto before = gTimers.size();
    std::erase_if(gTimers, [&](const WindowTimer& t) { return t.Wnd == wnd && t.Id == id; });
    if (before == gTimers.size()) return false;
    RemovePendingMessages(wnd, WM_TIMER, id);
    return true;
}

std::uint64_t GetTickCount64()
{
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

void WatchFd(int fd, TFdInterest interest, TFdReady ready)
{
    gWatches[fd] = FdWatch{std::move(interest), std::move(ready)};
    gDriver->WatchesChanged();
}

void UnwatchFd(int fd)
{
    if (gWatches.erase(fd) != 0) gDriver->WatchesChanged();
}

void FdInterestChanged() { gDriver->WatchesChanged(); }

bool ProcessMessages() { return gDriver->ProcessPending(); }

bool RunUntil(const std::function<bool()>& done, TDeadline deadline)
{
    for (;;) {
        if (done()) return true;
        if (TerminationRequested()) return false;
        if (gDriver->ProcessPending()) continue;
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        gDriver->WaitAndProcess(deadline);
    }
}

bool RunFor(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    return RunUntil(done, std::chrono::steady_clock::now() + timeout);
}

void RequestTermination()
{
    gTerminate = true;
    messages_detail::Wake();
}

bool TerminationRequested() { return gTerminate; }

void ClearTermination() { gTerminate = false; }

void InstallMessageDriver(TMessageDriver* driver)
{
    gDriver = driver ? driver : &gPollDriver;
    gDriver->WatchesChanged();
}

namespace messages_detail {

bool DispatchQueued()
{
    std::size_t count = PendingMessageCount();
    bool any = false;
    for (std::size_t i = 0; i < count; ++i) {
        QueuedMessage next;
        std::shared_ptr<TWndMethod> method;
        {
            std::lock_guard lock(gLock);
            if (gQueue.empty()) break;
            next = gQueue.front();
            gQueue.pop_front();
            auto it = gTargets.find(next.Wnd);
            if (it == gTargets.end()) continue;
            method = it->second;  // the target may be freed by its own handler
        }
        TMessage m{next.Msg, next.WParam, next.LParam, 0};
        ++gDispatched;
        any = true;
        (*method)(m);
    }
    return any;
}

TDeadline FireDueTimers()
{
    auto now = std::chrono::steady_clock::now();
    TDeadline next = TDeadline::max();
    for (auto& timer : gTimers) {
        if (timer.Due <= now) {
            bool outstanding;
            {
                std::lock_guard lock(gLock);
                outstanding = std::any_of(gQueue.begin(), gQueue.end(), [&](const QueuedMessage& m) {
                    return m.Wnd == timer.Wnd && m.Msg == WM_TIMER && m.WParam == timer.Id;
                });
            }
            if (!outstanding) PostMessage(timer.Wnd, WM_TIMER, timer.Id, 0);
            timer.Due = now + timer.Interval;
        }
        next = std::min(next, timer.Due);
    }
    return next;
}

void DrainWakePipe()
{
    char sink[256];
    while (gWakeRead >= 0 && ::read(gWakeRead, sink, sizeof sink) > 0) {
    }
}

int WakePipeFd()
{
    EnsureWakePipe();
    return gWakeRead;
}

void Wake()
{
    EnsureWakePipe();
    if (gWakeWrite >= 0) {
        char byte = 1;
        // A full pipe is already readable: the driver wakes either way.
        [[maybe_unused]] auto written = ::write(gWakeWrite, &byte, 1);
    }
}

void ForEachWatch(const std::function<void(int fd, short interest)>& fn)
{
    std::vector<std::pair<int, short>> list;
    for (auto& [fd, watch] : gWatches) list.emplace_back(fd, watch.Interest ? watch.Interest() : short(0));
    for (auto& [fd, interest] : list) fn(fd, interest);
}

void DeliverReadiness(int fd, short revents)
{
    auto it = gWatches.find(fd);
    if (it == gWatches.end()) return;
    auto ready = it->second.Ready;  // the callback may unwatch
    if (ready) ready(fd, revents);
    gDriver->WatchesChanged();
}

void PollOnce(TDeadline deadline)
{
    EnsureWakePipe();
    std::vector<pollfd> fds;
    fds.push_back({gWakeRead, POLLIN, 0});
    ForEachWatch([&](int fd, short interest) {
        if (interest != 0) fds.push_back({fd, interest, 0});
    });
    int timeout = TimeoutMs(deadline);
    int n = ::poll(fds.data(), fds.size(), timeout);
    if (n <= 0) return;
    if (fds[0].revents != 0) DrainWakePipe();
    for (std::size_t i = 1; i < fds.size(); ++i)
        if (fds[i].revents != 0) DeliverReadiness(fds[i].fd, fds[i].revents);
}

std::uint64_t DispatchCount() { return gDispatched; }

}  // namespace messages_detail
