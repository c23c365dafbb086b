// The desktop program's MessageSink: every notification of the worker becomes a signal. Receivers
// connect with Qt::QueuedConnection (see ConnectQueued), so their handlers run on the ui thread, in
// posting order, and never inside the worker's call even when the caller is the ui thread itself.
#pragma once

#include <QObject>

#include "gateway/MessageSink.h"

namespace quillon {

class QueuedMessageSink : public QObject, public MessageSink {
    Q_OBJECT
public:
    using QObject::QObject;

    void CycleBegan() override;
    void CycleEnded() override;
    void PhaseBegan(WorkerPhase phase) override;
    void Progress(int itemsLeft, int recipientsLeft) override;
    void BalanceChanged() override;
    void WentOffLine() override;
    void CancellationsRefused(int count) override;
    void GoOffLine() override;
    void CancelListFinished() override;
    void WorkerStopped(StopWindow window) override;
    void OutboxChanged(int32_t mode) override;
    void ShowCommunicationFailure() override;

    // Connects `signal` to `handler` of `receiver` as every receiver must: queued.
    template <class Signal, class Receiver, class Handler>
    QMetaObject::Connection ConnectQueued(Signal signal, const Receiver* receiver, Handler handler) {
        return connect(this, signal, receiver, handler, Qt::QueuedConnection);
    }

signals:
    void cycleBegan();
    void cycleEnded();
    void phaseBegan(quillon::WorkerPhase phase);
    void progress(int itemsLeft, int recipientsLeft);
    void balanceChanged();
    void wentOffLine();
    void cancellationsRefused(int count);
    void goOffLine();
    void cancelListFinished();
    void workerStopped(quintptr window);
    void outboxChanged(int mode);
    void communicationFailure();
};

}  // namespace quillon
