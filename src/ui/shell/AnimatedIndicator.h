// A 16 by 16 indicator that steps through its images on a timer (the busy and offline
// indicators of the main window). After the last image it starts again with the first.
#pragma once

#include <QStringList>
#include <QTimer>
#include <QWidget>

namespace quillon {

class AnimatedIndicator : public QWidget {
    Q_OBJECT
public:
    AnimatedIndicator(QStringList images, int intervalMs, QWidget* parent = nullptr);

    void Start();  // (re)starts the timer
    void Stop();
    bool IsRunning() const { return timer_.isActive(); }
    int ImageIndex() const { return index_; }
    int ImageCount() const { return static_cast<int>(images_.size()); }
    int Interval() const { return timer_.interval(); }

    QSize sizeHint() const override { return {16, 16}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QStringList images_;
    int index_ = 0;
    QTimer timer_;
};

}  // namespace quillon
