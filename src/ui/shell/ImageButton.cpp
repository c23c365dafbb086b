#include "ui/shell/ImageButton.h"

#include <QPainter>

#include "ui/shell/ShellStyle.h"

namespace quillon {

ImageButton::ImageButton(const QString& baseName, QSize size, QWidget* parent)
    : QAbstractButton(parent), baseName_(baseName), size_(size) {
    setFixedSize(size);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
}

void ImageButton::enterEvent(QEnterEvent* event) {
    hover_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void ImageButton::leaveEvent(QEvent* event) {
    hover_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void ImageButton::paintEvent(QPaintEvent*) {
    QString state = isDown() ? "pressed" : hover_ ? "hover" : "normal";
    QPainter p(this);
    p.drawPixmap(0, 0, ShellStyle::Pixmap(baseName_ + "-" + state, size_, devicePixelRatioF()));
    if (hasFocus()) {
        p.setPen(QPen(ShellStyle::kHighlight, 1.5));
        p.drawRect(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75));
    }
}

}  // namespace quillon
