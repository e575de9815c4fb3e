#include "platform/messages/MessagesQt.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <poll.h>

TQtMessageDriver::TQtMessageDriver(QObject* parent) : QObject(parent)
{
    FWakeNotifier = std::make_unique<QSocketNotifier>(messages_detail::WakePipeFd(), QSocketNotifier::Read);
    connect(FWakeNotifier.get(), &QSocketNotifier::activated, this, [this] {
        messages_detail::DrainWakePipe();
        DispatchAndRearm();
    });
    FTimer.setSingleShot(true);
    connect(&FTimer, &QTimer::timeout, this, [this] { DispatchAndRearm(); });
    InstallMessageDriver(this);
    // Messages posted before the driver existed must not wait for the next post.
    messages_detail::Wake();
}

TQtMessageDriver::~TQtMessageDriver() { InstallMessageDriver(nullptr); }

void TQtMessageDriver::DispatchAndRearm()
{
    TDeadline next = messages_detail::FireDueTimers();
    messages_detail::DispatchQueued();
    next = std::min(next, messages_detail::FireDueTimers());
    if (PendingMessageCount() > 0) messages_detail::Wake();
    if (next != TDeadline::max()) {
        auto ms = std::chrono::ceil<std::chrono::milliseconds>(next - std::chrono::steady_clock::now()).count();
        FTimer.start(static_cast<int>(std::clamp<long long>(ms, 0, 1 << 30)));
    } else {
        FTimer.stop();
    }
}

bool TQtMessageDriver::ProcessPending()
{
    auto before = messages_detail::DispatchCount();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    // Messages already queued are dispatched even when the wake notifier has
    // not been seen by this pass of the event loop.
    DispatchAndRearm();
    return messages_detail::DispatchCount() != before;
}

void TQtMessageDriver::WaitAndProcess(TDeadline deadline)
{
    if (PendingMessageCount() > 0) {
        ProcessPending();
        return;
    }
    QTimer wakeAtDeadline;
    wakeAtDeadline.setSingleShot(true);
    if (deadline != TDeadline::max()) {
        auto ms = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        wakeAtDeadline.start(static_cast<int>(std::clamp<long long>(ms, 0, 1 << 30)));
    }
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void TQtMessageDriver::WatchesChanged()
{
    if (FSyncing) return;
    FSyncing = true;
    SyncNotifiers();
    FSyncing = false;
}

void TQtMessageDriver::SyncNotifiers()
{
    std::map<int, short> wanted;
    messages_detail::ForEachWatch([&](int fd, short interest) { wanted[fd] = interest; });
    for (auto it = FNotifiers.begin(); it != FNotifiers.end();) {
        if (wanted.count(it->first) == 0) {
            // Never delete a notifier inside its own signal: hand it to Qt.
            if (it->second.Read) {
                it->second.Read->setEnabled(false);
                it->second.Read.release()->deleteLater();
            }
            if (it->second.Write) {
                it->second.Write->setEnabled(false);
                it->second.Write.release()->deleteLater();
            }
            it = FNotifiers.erase(it);
        } else {
            ++it;
        }
    }
    for (auto& [fd, interest] : wanted) {
        auto& n = FNotifiers[fd];
        if (!n.Read) {
            n.Read = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
            connect(n.Read.get(), &QSocketNotifier::activated, this, [this, fd] { OnReadable(fd); });
        }
        if (!n.Write) {
            n.Write = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
            connect(n.Write.get(), &QSocketNotifier::activated, this, [this, fd] { OnWritable(fd); });
        }
        bool wantRead = (interest & POLLIN) != 0;
        bool wantWrite = (interest & POLLOUT) != 0;
        if (n.Read->isEnabled() != wantRead) n.Read->setEnabled(wantRead);
        if (n.Write->isEnabled() != wantWrite) n.Write->setEnabled(wantWrite);
    }
}

// Qt says only "readable" or "writable"; the watch looks at the socket
// itself, so a poll() here gives it the full picture (errors, hang-up).
static short CurrentEvents(int fd, short interest)
{
    pollfd p{fd, interest, 0};
    if (::poll(&p, 1, 0) <= 0) return 0;
    return p.revents;
}

void TQtMessageDriver::OnReadable(int fd)
{
    short revents = CurrentEvents(fd, POLLIN);
    if (revents != 0) messages_detail::DeliverReadiness(fd, revents);
}

void TQtMessageDriver::OnWritable(int fd)
{
    short revents = CurrentEvents(fd, POLLOUT);
    if (revents != 0) messages_detail::DeliverReadiness(fd, revents);
}
