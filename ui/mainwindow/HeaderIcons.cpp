#include "ui/mainwindow/HeaderIcons.h"

#include <QPainterPath>
#include <cmath>

#include "ui/toolkit/KitColors.h"

namespace vlo {

void DrawPinIcon(QPainter& painter, const QRectF& box, Rgb color) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.translate(box.center());
  painter.rotate(45);
  QPen pen{ToQColor(color), 1.4};
  pen.setJoinStyle(Qt::RoundJoin);
  pen.setCapStyle(Qt::RoundCap);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  // Head, body with its collar, and the needle, drawn upright and turned.
  QPainterPath pin;
  pin.moveTo(-3.0, -7.5);
  pin.lineTo(3.0, -7.5);
  pin.moveTo(-2.0, -7.5);
  pin.lineTo(-2.0, -2.5);
  pin.lineTo(-4.5, 1.0);
  pin.lineTo(4.5, 1.0);
  pin.lineTo(2.0, -2.5);
  pin.lineTo(2.0, -7.5);
  pin.moveTo(0.0, 1.0);
  pin.lineTo(0.0, 7.5);
  painter.drawPath(pin);
  painter.restore();
}

void DrawGearIcon(QPainter& painter, const QRectF& box, Rgb color) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.translate(box.center());
  constexpr int kTeeth = 8;
  constexpr double kOuter = 7.5, kInner = 5.6, kPi = 3.14159265358979;
  QPainterPath gear;
  for (int i = 0; i < kTeeth * 4; ++i) {
    // Each tooth: rise, top, fall, root, as four corners around the circle.
    const double angle = (i - 0.5) * 2 * kPi / (kTeeth * 4);
    const double r = (i % 4 == 1 || i % 4 == 2) ? kOuter : kInner;
    const QPointF p{r * std::cos(angle), r * std::sin(angle)};
    if (i == 0) {
      gear.moveTo(p);
    } else {
      gear.lineTo(p);
    }
  }
  gear.closeSubpath();
  gear.addEllipse(QPointF{0, 0}, 2.4, 2.4);
  gear.setFillRule(Qt::OddEvenFill);
  painter.setPen(Qt::NoPen);
  painter.setBrush(ToQColor(color));
  painter.drawPath(gear);
  painter.restore();
}

}  // namespace vlo
