#include "ui/shell/CheckControl.h"

#include <QPainter>
#include <QPainterPath>

#include "ui/shell/ShellStyle.h"

namespace quillon {

CheckControl::CheckControl(QWidget* parent) : QAbstractButton(parent) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setFixedSize(18, 18);
    connect(this, &QAbstractButton::clicked, this, [this] {
        SetTicked(!IsTicked());
        update();
    });
}

void CheckControl::enterEvent(QEnterEvent* event) {
    hover_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void CheckControl::leaveEvent(QEvent* event) {
    hover_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void CheckControl::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QRectF box = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    bool ticked = IsTicked();
    QColor border = !isEnabled()             ? ShellStyle::kBorder
                    : (hover_ || hasFocus()) ? ShellStyle::kAccent
                                             : ShellStyle::kBorderStrong;
    p.setPen(QPen(border, 1.2));
    p.setBrush(ticked && isEnabled() ? ShellStyle::kAccent : QColor(Qt::white));
    p.drawRoundedRect(box, 3.5, 3.5);
    if (ticked) {
        QPainterPath tick;
        tick.moveTo(box.left() + box.width() * 0.24, box.top() + box.height() * 0.52);
        tick.lineTo(box.left() + box.width() * 0.43, box.top() + box.height() * 0.72);
        tick.lineTo(box.left() + box.width() * 0.78, box.top() + box.height() * 0.30);
        p.setPen(QPen(isEnabled() ? QColor(Qt::white) : ShellStyle::kMuted, 2.0, Qt::SolidLine, Qt::RoundCap,
                      Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(tick);
    }
}

}  // namespace quillon
