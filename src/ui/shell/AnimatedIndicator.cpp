#include "ui/shell/AnimatedIndicator.h"

#include <QPainter>

#include "ui/shell/ShellStyle.h"

namespace quillon {

AnimatedIndicator::AnimatedIndicator(QStringList images, int intervalMs, QWidget* parent)
    : QWidget(parent), images_(std::move(images)) {
    setFixedSize(16, 16);
    timer_.setInterval(intervalMs);
    connect(&timer_, &QTimer::timeout, this, [this] {
        if (!images_.isEmpty())
            index_ = (index_ + 1) % images_.size();
        update();
    });
}

void AnimatedIndicator::Start() {
    timer_.start();
}

void AnimatedIndicator::Stop() {
    timer_.stop();
}

void AnimatedIndicator::paintEvent(QPaintEvent*) {
    if (images_.isEmpty())
        return;
    QPainter p(this);
    p.drawPixmap(0, 0, ShellStyle::Pixmap(images_[index_], QSize(16, 16), devicePixelRatioF()));
}

}  // namespace quillon
