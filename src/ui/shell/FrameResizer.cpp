#include "ui/shell/FrameResizer.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace quillon {

Qt::Edges FrameResizer::EdgesAt(QPoint pos) const {
    Qt::Edges edges;
    if (window_->isMaximized() || window_->isFullScreen())
        return edges;
    if (pos.x() < kBand)
        edges |= Qt::LeftEdge;
    if (pos.x() >= window_->width() - kBand)
        edges |= Qt::RightEdge;
    if (pos.y() < kBand)
        edges |= Qt::TopEdge;
    if (pos.y() >= window_->height() - kBand)
        edges |= Qt::BottomEdge;
    return edges;
}

bool FrameResizer::Press(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return false;
    Qt::Edges edges = EdgesAt(event->position().toPoint());
    if (!edges)
        return false;
    if (QWindow* handle = window_->windowHandle(); handle && handle->startSystemResize(edges))
        return true;
    // No resize by the window system: follow the pointer ourselves.
    edges_ = edges;
    startGeometry_ = window_->geometry();
    startPointer_ = event->globalPosition().toPoint();
    return true;
}

bool FrameResizer::Move(QMouseEvent* event) {
    if (edges_) {
        QPoint delta = event->globalPosition().toPoint() - startPointer_;
        window_->setGeometry(Resized(startGeometry_, edges_, delta, window_->minimumSize()));
        return true;
    }
    if (event->buttons() != Qt::NoButton)
        return false;
    Qt::Edges edges = EdgesAt(event->position().toPoint());
    Qt::CursorShape shape = Qt::ArrowCursor;
    if (edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge))
        shape = Qt::SizeFDiagCursor;
    else if (edges == (Qt::RightEdge | Qt::TopEdge) || edges == (Qt::LeftEdge | Qt::BottomEdge))
        shape = Qt::SizeBDiagCursor;
    else if (edges & (Qt::LeftEdge | Qt::RightEdge))
        shape = Qt::SizeHorCursor;
    else if (edges & (Qt::TopEdge | Qt::BottomEdge))
        shape = Qt::SizeVerCursor;
    if (edges) {
        window_->setCursor(shape);
        cursorSet_ = true;
    } else if (cursorSet_) {
        window_->unsetCursor();
        cursorSet_ = false;
    }
    return false;
}

void FrameResizer::Release() {
    edges_ = {};
}

QRect FrameResizer::Resized(const QRect& start, Qt::Edges edges, QPoint delta, QSize minimum) {
    QRect r = start;
    if (edges & Qt::RightEdge)
        r.setWidth(std::max(minimum.width(), start.width() + delta.x()));
    if (edges & Qt::BottomEdge)
        r.setHeight(std::max(minimum.height(), start.height() + delta.y()));
    if (edges & Qt::LeftEdge) {
        int width = std::max(minimum.width(), start.width() - delta.x());
        r.setLeft(start.right() + 1 - width);
    }
    if (edges & Qt::TopEdge) {
        int height = std::max(minimum.height(), start.height() - delta.y());
        r.setTop(start.bottom() + 1 - height);
    }
    return r;
}

}  // namespace quillon
