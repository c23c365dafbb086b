// Resizing of a window without a window-manager frame: a press on the outer band of the window
// starts a resize from that edge or corner (the window system's own where it offers one), and the
// cursor shows the resize shape over the band. The window's minimum size is kept.
#pragma once

#include <QPoint>
#include <QRect>

class QMouseEvent;
class QWidget;

namespace quillon {

class FrameResizer {
public:
    static constexpr int kBand = 5;  // pixels along each edge that grab for resizing

    explicit FrameResizer(QWidget* window) : window_(window) {}

    // The edges under a point of the window (none when maximised or over the inside).
    Qt::Edges EdgesAt(QPoint pos) const;
    // True when the event was taken: a resize began, went on or the cursor changed.
    bool Press(QMouseEvent* event);
    bool Move(QMouseEvent* event);
    void Release();

    // The geometry a manual resize from `edges` gives for a pointer moved by `delta`, never below
    // `minimum` (the opposite edge stays where it was).
    static QRect Resized(const QRect& start, Qt::Edges edges, QPoint delta, QSize minimum);

private:
    QWidget* window_;
    Qt::Edges edges_;
    QRect startGeometry_;
    QPoint startPointer_;
    bool cursorSet_ = false;
};

}  // namespace quillon
