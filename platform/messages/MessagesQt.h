#pragma once
// Runs the posted-message queue inside Qt's event loop. Readiness of watched
// descriptors comes from QSocketNotifier and is only posted into the queue;
// a notifier on the queue's wake pipe dispatches posted messages. While an
// instance lives it is the installed driver, so ProcessMessages and RunUntil
// run Qt's loop, and QCoreApplication::exec() dispatches the queue too.

#include "platform/messages/Messages.h"

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <map>
#include <memory>

class TQtMessageDriver : public QObject, public TMessageDriver {
    Q_OBJECT
public:
    explicit TQtMessageDriver(QObject* parent = nullptr);
    ~TQtMessageDriver() override;

    bool ProcessPending() override;
    void WaitAndProcess(TDeadline deadline) override;
    void WatchesChanged() override;

private:
    struct Notifiers {
        std::unique_ptr<QSocketNotifier> Read;
        std::unique_ptr<QSocketNotifier> Write;
    };
    void SyncNotifiers();
    void OnReadable(int fd);
    void OnWritable(int fd);
    void DispatchAndRearm();

    std::unique_ptr<QSocketNotifier> FWakeNotifier;
    std::map<int, Notifiers> FNotifiers;
    QTimer FTimer;  // next due window timer
    bool FSyncing = false;
};
