#include "ui/shell/ShutdownWindow.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGridLayout>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "gateway/CommsWorker.h"
#include "store/MessageStore.h"
#include "ui/shell/QueuedMessageSink.h"
#include "ui/shell/ShellStyle.h"
#include "ui/shell/UiText.h"

namespace quillon {

namespace {

// Runs the event loop for `duration`, so the window keeps painting while we wait.
void Pump(std::chrono::milliseconds duration) {
    if (duration.count() <= 0) {
        QCoreApplication::processEvents();
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace

ShutdownWindow::ShutdownWindow(QWidget* parent)
    : ShutdownWindow(kTextShutdownCaption,
                     {kTextStepCompleting, kTextStepStopping, kTextStepSaving, kTextStepCompleted}, parent) {
    setObjectName("shutdownWindow");
}

ShutdownWindow::ShutdownWindow(int titleId, const std::array<int, kStepCount>& texts, QWidget* parent)
    : QWidget(parent, Qt::Dialog) {
    setWindowTitle(Text(titleId));
    setWindowIcon(ShellStyle::Icon("quillon"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(22, 18, 22, 18);
    body_ = layout;
    auto* title = new QLabel(Text(titleId), this);
    title->setStyleSheet("QLabel { color: #0f4c81; font-size: 11pt; font-weight: bold; }");
    layout->addWidget(title);
    layout->addSpacing(6);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(8);
    for (int i = 0; i < kStepCount; ++i) {
        markers_[i] = new QLabel(this);
        markers_[i]->setObjectName(QStringLiteral("stepMarker%1").arg(i + 1));
        markers_[i]->setFixedSize(16, 16);
        texts_[i] = new QLabel(Text(texts[i]), this);
        texts_[i]->setObjectName(QStringLiteral("stepText%1").arg(i + 1));
        grid->addWidget(markers_[i], i, 0);
        grid->addWidget(texts_[i], i, 1);
    }
    layout->addLayout(grid);
    setMinimumWidth(300);
    SetCurrentStep(0);
}

void ShutdownWindow::SetCurrentStep(int step) {
    current_ = step;
    history_.push_back(step);
    for (int i = 0; i < kStepCount; ++i) {
        bool active = i == step;
        markers_[i]->setPixmap(
            ShellStyle::Pixmap(active ? "step-active" : "step-inactive", QSize(16, 16), devicePixelRatioF()));
        texts_[i]->setEnabled(active);
        texts_[i]->setStyleSheet(active ? "QLabel { color: #1d2733; font-weight: bold; }"
                                        : "QLabel { color: #a3adb8; }");
    }
    repaint();
}

void ShutdownWindow::OnWorkerStopped() {
    quitReceived_ = true;
    emit workerFinished();
}

void ShutdownWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), ShellStyle::kCard);
    p.fillRect(QRect(0, 0, width(), 4), ShellStyle::kAccent);
}

ShutdownReport RunShutdownSequence(CommsWorker& worker, QueuedMessageSink& sink, const ShutdownOptions& options) {
    ShutdownReport report;
    ShutdownWindow window;
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        window.adjustSize();
        window.move(screen->availableGeometry().center() - window.rect().center());
    }
    window.show();
    auto step = [&](int n) {
        if (n != 0)
            window.SetCurrentStep(n);
        if (options.onStep)
            options.onStep(window);
    };
    step(0);

    // 1: the worker finishes the work in hand and reports; bounded, so a stuck worker cannot hold
    // the program open. The window's address is the token the worker reports back.
    const StopWindow token = reinterpret_cast<StopWindow>(&window);
    QMetaObject::Connection stopped =
        sink.ConnectQueued(&QueuedMessageSink::workerStopped, &window, [&window, token](quintptr stoppedFor) {
            if (stoppedFor == token)
                window.OnWorkerStopped();
        });
    {
        QEventLoop loop;
        QObject::connect(&window, &ShutdownWindow::workerFinished, &loop, &QEventLoop::quit);
        QTimer::singleShot(options.workerWait, &loop, &QEventLoop::quit);
        worker.RequestStop(token);
        if (!window.QuitReceived())
            loop.exec();
    }
    report.quitReceived = window.QuitReceived();

    // 2: wait for the thread itself.
    step(1);
    report.workerEnded = worker.WaitForExit(options.workerWait);
    QObject::disconnect(stopped);
    Pump(std::chrono::milliseconds(20));
    Pump(options.pauseAfterStop);

    // 3: checkpoint the store.
    step(2);
    Pump(std::chrono::milliseconds(20));
    report.commitStep = window.CurrentStep();
    if (options.commit) {
        options.commit();
    } else if (MessageStore* store = worker.Store()) {
        store->Commit();
    }
    Pump(options.pauseAfterSave);

    // 4: done.
    step(3);
    Pump(std::chrono::milliseconds(20));
    Pump(options.pauseAfterDone);
    report.steps = window.StepHistory();
    return report;
}

}  // namespace quillon
