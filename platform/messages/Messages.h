#pragma once
// Posted window messages without a window system: one FIFO of messages
// addressed to message targets ("hidden windows"), file-descriptor readiness
// watches that turn readiness into posted messages, window timers, and the
// drivers that run it all (a poll() loop here, Qt's event loop in
// MessagesQt.h).
//
// Everything runs on one thread, the window thread. The only thing another
// thread may touch is PostMessage (the host look-up worker posts its result);
// the queue is locked and a self-pipe wakes the driver.

#include <chrono>
#include <cstdint>
#include <functional>

using HWND = std::uint64_t;  // message target id; 0 is "no target"; never reused
using UINT = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_USER = 0x0400;

struct TMessage {
    UINT Msg = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    LRESULT Result = 0;
};

// Builds an lParam from two 16-bit halves (low: event bits, high: error).
inline LPARAM MakeLParam(std::uint16_t low, std::uint16_t high)
{
    return static_cast<LPARAM>((static_cast<std::uint32_t>(high) << 16) | low);
}
inline std::uint16_t LoWord(LPARAM value) { return static_cast<std::uint16_t>(value & 0xFFFF); }
inline std::uint16_t HiWord(LPARAM value) { return static_cast<std::uint16_t>((value >> 16) & 0xFFFF); }

using TWndMethod = std::function<void(TMessage&)>;

// A message target: messages posted to the returned handle are handed to
// `method` when the queue is processed. Deallocating drops the target's
// pending messages and its timers; its id is never handed out again.
HWND AllocateHWnd(TWndMethod method);
void DeallocateHWnd(HWND wnd);
bool IsWindowHandle(HWND wnd);

// Appends a message to the FIFO. False when the target does not exist.
// Safe to call from any thread.
bool PostMessage(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Calls the target's method at once (the caller's thread must be the window
// thread). False when the target does not exist.
bool SendMessage(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Removes queued messages for `wnd` with this message number and wParam
// (a closed socket handle must not receive its stale notifications).
void RemovePendingMessages(HWND wnd, UINT msg, WPARAM wParam);

// Number of messages waiting in the FIFO.
std::size_t PendingMessageCount();

// Window timers: every `intervalMs` a WM_TIMER (wParam = id) is posted to
// `wnd`, at most one outstanding per timer. Setting an existing id restarts it.
bool SetTimer(HWND wnd, WPARAM id, unsigned intervalMs);
bool KillTimer(HWND wnd, WPARAM id);

// Monotonic 64-bit milliseconds (never wraps, never jumps with the wall clock).
std::uint64_t GetTickCount64();

// Readiness watches. The driver polls each watched descriptor for the events
// its `interest` callback asks for (POLLIN / POLLOUT bits of <poll.h>, asked
// afresh before every wait) and calls `ready` with the returned events. The
// `ready` callback must only post messages (readiness is never dispatched
// directly) and update its own bookkeeping.
using TFdInterest = std::function<short()>;
using TFdReady = std::function<void(int fd, short revents)>;
void WatchFd(int fd, TFdInterest interest, TFdReady ready);
void UnwatchFd(int fd);
// Tell the driver that some watch's interest changed (the Qt driver updates
// its notifiers; the poll driver asks on every wait anyway).
void FdInterestChanged();

// Processes what is pending now, without waiting: readiness of watched
// descriptors is turned into messages, due timers post WM_TIMER, and then the
// messages that were in the FIFO are dispatched in order. Returns true when
// at least one message was dispatched. Re-entrant: a handler may call it, or
// RunUntil, again.
bool ProcessMessages();

// Dispatches messages until `done()` is true (checked before every wait) or
// the deadline passes or termination is requested. Blocks in poll() (or in
// Qt's event loop) between messages; never spins. Returns done().
using TDeadline = std::chrono::steady_clock::time_point;
bool RunUntil(const std::function<bool()>& done, TDeadline deadline = TDeadline::max());
bool RunFor(const std::function<bool()>& done, std::chrono::milliseconds timeout);

// The application's "terminated" flag: set by RequestTermination, it makes
// every RunUntil return and wait loops give up.
void RequestTermination();
bool TerminationRequested();
void ClearTermination();

// Driver interface: the poll driver is the default; MessagesQt.h installs one
// that runs inside QCoreApplication's event loop.
class TMessageDriver {
public:
    virtual ~TMessageDriver() = default;
    // Process what is pending without waiting (see ProcessMessages).
    virtual bool ProcessPending() = 0;
    // Wait until something may be ready (a descriptor, a posted message,
    // a timer) or the deadline, then process it.
    virtual void WaitAndProcess(TDeadline deadline) = 0;
    // A watch's interest changed or a watch was added or removed.
    virtual void WatchesChanged() {}
};
// Installs a driver (nullptr = back to the poll driver). The caller keeps
// ownership and must uninstall before destroying it.
void InstallMessageDriver(TMessageDriver* driver);

// Building blocks for drivers.
namespace messages_detail {
// Dispatches at most the messages queued when called; true if any ran.
bool DispatchQueued();
// Posts WM_TIMER for due timers; returns the next due time (max when none).
TDeadline FireDueTimers();
// Reads the wake pipe empty. The read end is watched by drivers.
void DrainWakePipe();
int WakePipeFd();
// Calls `fn(fd, interest)` for every watch with a non-zero interest.
void ForEachWatch(const std::function<void(int fd, short interest)>& fn);
// Hands readiness to the watch of fd (ignored when it has gone).
void DeliverReadiness(int fd, short revents);
// One poll() over the wake pipe and all watches, waiting at most until the
// deadline (or not at all); delivers readiness. Used by the poll driver.
void PollOnce(TDeadline deadline);
// Messages dispatched so far (drivers tell "something ran" from it).
std::uint64_t DispatchCount();
// Wakes the driver (writes the wake pipe).
void Wake();
}  // namespace messages_detail
