// The "Shutting down ..." window: four steps, the current one with the active marker and normal
// text, the others with the inactive marker and greyed text. RunShutdownSequence drives it while
// the comms worker finishes its work, stops, and the store is checkpointed.
#pragma once

#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>
#include <array>
#include <chrono>
#include <functional>
#include <vector>

namespace quillon {

class CommsWorker;
class QueuedMessageSink;

class ShutdownWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kStepCount = 4;

    explicit ShutdownWindow(QWidget* parent = nullptr);
    // The same four-step window with other texts (the update check's).
    ShutdownWindow(int titleId, const std::array<int, kStepCount>& stepIds, QWidget* parent = nullptr);

    void SetCurrentStep(int step);  // 0 .. 3
    int CurrentStep() const { return current_; }
    const std::vector<int>& StepHistory() const { return history_; }
    bool QuitReceived() const { return quitReceived_; }
    // The worker reported that it has ended.
    void OnWorkerStopped();

signals:
    void workerFinished();

protected:
    void paintEvent(QPaintEvent* event) override;
    // Where a window of this class adds its own controls under the steps.
    QVBoxLayout* Body() const { return body_; }

private:
    QVBoxLayout* body_ = nullptr;
    std::array<QLabel*, kStepCount> markers_{};
    std::array<QLabel*, kStepCount> texts_{};
    int current_ = -1;
    std::vector<int> history_;
    bool quitReceived_ = false;
};

struct ShutdownOptions {
    std::chrono::milliseconds workerWait{10000};  // for the worker's quit, and again for its thread
    std::chrono::milliseconds pauseAfterStop{500};
    std::chrono::milliseconds pauseAfterSave{1000};
    std::chrono::milliseconds pauseAfterDone{1000};
    std::function<void()> commit;                 // null: checkpoint the process-wide store
    std::function<void(ShutdownWindow&)> onStep;  // called after each step change (tests)
};

struct ShutdownReport {
    bool quitReceived = false;  // the worker reported that it finished
    bool workerEnded = false;   // its thread ended within the wait
    std::vector<int> steps;     // the steps shown, in order
    int commitStep = -1;        // the step current while the store was checkpointed
};

// Shows the window, asks the worker to stop and report to it, waits (bounded) for that report and
// for the thread, checkpoints the store under "Saving database" and ends on "Completed!".
ShutdownReport RunShutdownSequence(CommsWorker& worker, QueuedMessageSink& sink, const ShutdownOptions& options = {});

}  // namespace quillon
