#include "ui/toolkit/Drawing.h"

#include "ui/toolkit/KitColors.h"

namespace vlo {

void DrawHLine(QPainter& painter, int x0, int x1, int y, Rgb color) {
  if (x1 > x0) painter.fillRect(QRect{x0, y, x1 - x0, 1}, ToQColor(color));
}

void DrawRoundedBox(QPainter& painter, const QRectF& rect, Rgb fill, Rgb border, qreal diameter) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(ToQColor(fill));
  painter.drawRoundedRect(rect, diameter / 2, diameter / 2);
  painter.restore();
  StrokeRoundedBox(painter, rect, border, diameter);
}

void StrokeRoundedBox(QPainter& painter, const QRectF& rect, Rgb border, qreal diameter) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen{ToQColor(border), 1.0});
  painter.setBrush(Qt::NoBrush);
  QRectF inner{rect.adjusted(0.5, 0.5, -0.5, -0.5)};
  painter.drawRoundedRect(inner, diameter / 2 - 0.5, diameter / 2 - 0.5);
  painter.restore();
}

}  // namespace vlo
