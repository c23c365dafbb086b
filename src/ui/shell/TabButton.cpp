#include "ui/shell/TabButton.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

#include "ui/shell/ShellStyle.h"

namespace quillon {

TabButton::TabButton(int commandId, const QString& caption, QWidget* parent)
    : QAbstractButton(parent), commandId_(commandId) {
    setText(caption);
    setFixedSize(98, 19);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
}

void TabButton::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() == Qt::NoModifier && (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right)) {
        emit stepRequested(event->key() == Qt::Key_Left ? -1 : 1);
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void TabButton::SetPressed(bool pressed) {
    pressed_ = pressed;
    update();
}

void TabButton::enterEvent(QEnterEvent* event) {
    hover_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void TabButton::leaveEvent(QEvent* event) {
    hover_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void TabButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, 0.5);
    QPainterPath shape;
    const qreal radius = 5;
    shape.moveTo(r.left(), r.bottom());
    shape.lineTo(r.left(), r.top() + radius);
    shape.quadTo(r.left(), r.top(), r.left() + radius, r.top());
    shape.lineTo(r.right() - radius, r.top());
    shape.quadTo(r.right(), r.top(), r.right(), r.top() + radius);
    shape.lineTo(r.right(), r.bottom());
    QColor fill = pressed_ ? ShellStyle::kWindow : hover_ ? QColor(0xff, 0xff, 0xff, 70) : QColor(0xff, 0xff, 0xff, 38);
    p.setPen(pressed_ ? QPen(ShellStyle::kWindow) : QPen(QColor(0xff, 0xff, 0xff, 110), 1));
    p.setBrush(fill);
    p.drawPath(shape);
    if (pressed_) {
        p.setPen(QPen(ShellStyle::kHighlight, 2));
        p.drawLine(QPointF(r.left() + 6, r.top() + 1.5), QPointF(r.right() - 6, r.top() + 1.5));
    }
    QFont f = font();
    f.setBold(true);
    p.setFont(f);
    p.setPen(pressed_ ? ShellStyle::kAccentDark : QColor(Qt::white));
    p.drawText(rect().adjusted(0, 1, 0, 0), Qt::AlignCenter, text());
    if (hasFocus()) {
        p.setPen(QPen(ShellStyle::kHighlight, 1.5, Qt::SolidLine));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(rect()).adjusted(2, 3, -2, -1.5), 3, 3);
    }
}

}  // namespace quillon
