#include "ui/shell/QueuedMessageSink.h"

namespace quillon {

void QueuedMessageSink::CycleBegan() {
    emit cycleBegan();
}

void QueuedMessageSink::CycleEnded() {
    emit cycleEnded();
}

void QueuedMessageSink::PhaseBegan(WorkerPhase phase) {
    emit phaseBegan(phase);
}

void QueuedMessageSink::Progress(int itemsLeft, int recipientsLeft) {
    emit progress(itemsLeft, recipientsLeft);
}

void QueuedMessageSink::BalanceChanged() {
    emit balanceChanged();
}

void QueuedMessageSink::WentOffLine() {
    emit wentOffLine();
}

void QueuedMessageSink::CancellationsRefused(int count) {
    emit cancellationsRefused(count);
}

void QueuedMessageSink::GoOffLine() {
    emit goOffLine();
}

void QueuedMessageSink::CancelListFinished() {
    emit cancelListFinished();
}

void QueuedMessageSink::WorkerStopped(StopWindow window) {
    emit workerStopped(static_cast<quintptr>(window));
}

void QueuedMessageSink::OutboxChanged(int32_t mode) {
    emit outboxChanged(mode);
}

void QueuedMessageSink::ShowCommunicationFailure() {
    emit communicationFailure();
}

}  // namespace quillon
