// The 18 status images of the outbox, drawn here as vectors so they stay sharp at any scale: each
// state has its own colour and its own shape, so neither colour nor shape alone tells it, and the
// status column names it in text as well.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <cstdint>

class QPainter;

namespace quillon {

constexpr int kStatusIconSize = 14;

// The icon of a status, with images for 100 % and 200 %; a grey question mark for a code outside
// the table.
QIcon StatusIcon(int32_t stat);
// One image of a status at `size` logical pixels and the given device pixel ratio.
QPixmap StatusPixmap(int32_t stat, int size, qreal devicePixelRatio);
// Draws the image of a status into the square (0, 0, 14, 14) of `painter`'s coordinates.
void DrawStatusImage(QPainter& painter, int32_t stat);

}  // namespace quillon
