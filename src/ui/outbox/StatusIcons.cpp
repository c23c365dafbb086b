#include "ui/outbox/StatusIcons.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>

#include "store/MessageStatus.h"

namespace quillon {

namespace {

enum class Base { Circle, Square, Triangle, Diamond };
enum class Glyph {
    Clock,
    Cross,
    Plane,
    Pencil,
    Calendar,
    Cloud,
    Check,
    DoubleCheck,
    Dots,
    Question,
    Fork,
    Bang,
    Slash,
    Hourglass,
    Route,
    Queue
};

struct Look {
    QColor fill;
    Base base;
    Glyph glyph;
};

Look LookOf(int32_t stat) {
    using S = MessageStatus;
    switch (static_cast<S>(stat)) {
        case S::Pending:
            return {QColor(0x6b, 0x77, 0x85), Base::Circle, Glyph::Clock};
        case S::Queued:
            return {QColor(0x2f, 0x6f, 0xb3), Base::Circle, Glyph::Queue};
        case S::Failed:
            return {QColor(0xc6, 0x28, 0x28), Base::Circle, Glyph::Cross};
        case S::Sent:
            return {QColor(0x1e, 0x5a, 0xa8), Base::Square, Glyph::Plane};
        case S::Scheduled:
            return {QColor(0xd9, 0x8c, 0x00), Base::Square, Glyph::Clock};
        case S::Editing:
            return {QColor(0x7b, 0x3f, 0xa0), Base::Square, Glyph::Pencil};
        case S::DelayScheduled:
            return {QColor(0xd9, 0x8c, 0x00), Base::Square, Glyph::Calendar};
        case S::ScheduledOnServer:
            return {QColor(0x00, 0x83, 0x8f), Base::Square, Glyph::Cloud};
        case S::DeliveredToGateway:
            return {QColor(0x3b, 0x8e, 0x3b), Base::Square, Glyph::Check};
        case S::Delivered:
            return {QColor(0x1b, 0x7a, 0x2e), Base::Circle, Glyph::DoubleCheck};
        case S::Processing:
            return {QColor(0x2f, 0x6f, 0xb3), Base::Square, Glyph::Dots};
        case S::Unknown:
            return {QColor(0x8a, 0x94, 0x9e), Base::Circle, Glyph::Question};
        case S::Expanded:
            return {QColor(0x3d, 0x4f, 0x8a), Base::Square, Glyph::Fork};
        case S::ErrorWithMessage:
            return {QColor(0xc6, 0x28, 0x28), Base::Triangle, Glyph::Bang};
        case S::Cancelled:
            return {QColor(0x55, 0x5d, 0x66), Base::Circle, Glyph::Slash};
        case S::DeliveryError:
            return {QColor(0xc6, 0x28, 0x28), Base::Square, Glyph::Cross};
        case S::RoutingError:
            return {QColor(0xc6, 0x28, 0x28), Base::Diamond, Glyph::Route};
        case S::MessageExpired:
            return {QColor(0xa3, 0x3b, 0x1f), Base::Circle, Glyph::Hourglass};
    }
    return {QColor(0x9e, 0x9e, 0x9e), Base::Diamond, Glyph::Question};
}

void DrawBase(QPainter& p, Base base) {
    switch (base) {
        case Base::Circle:
            p.drawEllipse(QRectF(0.5, 0.5, 13, 13));
            break;
        case Base::Square:
            p.drawRoundedRect(QRectF(0.5, 0.5, 13, 13), 2.5, 2.5);
            break;
        case Base::Triangle:
            p.drawPolygon(QPolygonF({QPointF(7, 0.5), QPointF(13.5, 13), QPointF(0.5, 13)}));
            break;
        case Base::Diamond:
            p.drawPolygon(QPolygonF({QPointF(7, 0.3), QPointF(13.7, 7), QPointF(7, 13.7), QPointF(0.3, 7)}));
            break;
    }
}

void DrawGlyph(QPainter& p, Glyph glyph) {
    QPen pen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    switch (glyph) {
        case Glyph::Clock:
            p.drawLine(QPointF(7, 7), QPointF(7, 3.5));
            p.drawLine(QPointF(7, 7), QPointF(9.8, 8.6));
            break;
        case Glyph::Queue:
            for (double y : {4.5, 7.0, 9.5})
                p.drawLine(QPointF(4, y), QPointF(10, y));
            break;
        case Glyph::Cross:
            p.drawLine(QPointF(4.5, 4.5), QPointF(9.5, 9.5));
            p.drawLine(QPointF(9.5, 4.5), QPointF(4.5, 9.5));
            break;
        case Glyph::Plane:
            p.drawLine(QPointF(4, 10), QPointF(10, 4));
            p.drawPolyline(QPolygonF({QPointF(6, 4), QPointF(10, 4), QPointF(10, 8)}));
            break;
        case Glyph::Pencil:
            p.drawLine(QPointF(4, 10), QPointF(10, 4));
            p.drawLine(QPointF(3.5, 10.5), QPointF(5.5, 10.5));
            break;
        case Glyph::Calendar:
            p.setPen(QPen(Qt::white, 1.2));
            p.drawRect(QRectF(3.5, 4, 7, 6.5));
            p.drawLine(QPointF(3.5, 6), QPointF(10.5, 6));
            p.drawPoint(QPointF(6, 8.3));
            p.drawPoint(QPointF(8.5, 8.3));
            break;
        case Glyph::Cloud: {
            QPainterPath path;
            path.moveTo(4, 10);
            path.arcTo(QRectF(2.5, 6, 4, 4), 270, -180);
            path.arcTo(QRectF(4.5, 3.5, 5, 5), 180, -180);
            path.arcTo(QRectF(8, 6, 4, 4), 90, -180);
            path.closeSubpath();
            p.setPen(QPen(Qt::white, 1.3));
            p.drawPath(path);
            break;
        }
        case Glyph::Check:
            p.drawPolyline(QPolygonF({QPointF(3.8, 7.2), QPointF(6, 9.5), QPointF(10.3, 4.5)}));
            break;
        case Glyph::DoubleCheck:
            p.setPen(QPen(Qt::white, 1.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolyline(QPolygonF({QPointF(2.5, 7.5), QPointF(4.5, 9.5), QPointF(8, 4.8)}));
            p.drawPolyline(QPolygonF({QPointF(6, 8.5), QPointF(7, 9.5), QPointF(11.3, 4.8)}));
            break;
        case Glyph::Dots:
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::white);
            for (double x : {4.0, 7.0, 10.0})
                p.drawEllipse(QPointF(x, 7), 1.1, 1.1);
            break;
        case Glyph::Question: {
            QPainterPath path;
            path.moveTo(5, 5.3);
            path.cubicTo(5, 2.8, 9.2, 2.8, 9.2, 5.3);
            path.cubicTo(9.2, 6.8, 7, 6.8, 7, 8.5);
            p.drawPath(path);
            p.drawPoint(QPointF(7, 10.8));
            break;
        }
        case Glyph::Fork:
            p.drawLine(QPointF(3.5, 7), QPointF(6.5, 7));
            p.drawPolyline(QPolygonF({QPointF(10.5, 4), QPointF(6.5, 7), QPointF(10.5, 10)}));
            break;
        case Glyph::Bang:
            p.drawLine(QPointF(7, 5), QPointF(7, 8.5));
            p.drawPoint(QPointF(7, 11));
            break;
        case Glyph::Slash:
            p.drawEllipse(QRectF(3.5, 3.5, 7, 7));
            p.drawLine(QPointF(4.6, 9.4), QPointF(9.4, 4.6));
            break;
        case Glyph::Hourglass:
            p.setPen(QPen(Qt::white, 1.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolygon(QPolygonF({QPointF(4.5, 3.5), QPointF(9.5, 3.5), QPointF(4.5, 10.5), QPointF(9.5, 10.5)}));
            break;
        case Glyph::Route:
            p.setPen(QPen(Qt::white, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolyline(QPolygonF({QPointF(4, 9.5), QPointF(7, 6.5), QPointF(10, 9.5)}));
            p.drawLine(QPointF(7, 6.5), QPointF(7, 3.5));
            break;
    }
}

}  // namespace

void DrawStatusImage(QPainter& p, int32_t stat) {
    const Look look = LookOf(stat);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(look.fill.darker(135), 1));
    p.setBrush(look.fill);
    DrawBase(p, look.base);
    if (look.glyph == Glyph::Clock) {
        // The clock's face: a ring inside the disc.
        p.setPen(QPen(Qt::white, 1.1));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(2.5, 2.5, 9, 9));
    }
    DrawGlyph(p, look.glyph);
    p.restore();
}

QPixmap StatusPixmap(int32_t stat, int size, qreal devicePixelRatio) {
    QPixmap pixmap(QSize(size, size) * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.scale(size / double(kStatusIconSize), size / double(kStatusIconSize));
    DrawStatusImage(p, stat);
    return pixmap;
}

QIcon StatusIcon(int32_t stat) {
    static QHash<int32_t, QIcon> cache;
    const int32_t key = IsKnownStatus(stat) ? stat : -1;
    auto it = cache.find(key);
    if (it != cache.end())
        return *it;
    QIcon icon;
    for (qreal ratio : {1.0, 2.0})
        icon.addPixmap(StatusPixmap(key, kStatusIconSize, ratio));
    cache.insert(key, icon);
    return icon;
}

}  // namespace quillon
