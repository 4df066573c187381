#pragma once

#include <QPainter>
#include <QRectF>

#include "ui/themes/Color.h"

namespace vlo {

// Drawing aids shared by both windows. Qt's backing store already double-buffers every widget,
// so painting goes straight to the painter it is given.

// A one-pixel horizontal line from x0 to x1 (exclusive) at row y.
void DrawHLine(QPainter& painter, int x0, int x1, int y, Rgb color);

// A rounded rectangle filling `rect` with a one-pixel border inside its edge; `diameter` is the
// corner diameter in pixels.
void DrawRoundedBox(QPainter& painter, const QRectF& rect, Rgb fill, Rgb border, qreal diameter);

// Only the one-pixel outline.
void StrokeRoundedBox(QPainter& painter, const QRectF& rect, Rgb border, qreal diameter);

}  // namespace vlo
