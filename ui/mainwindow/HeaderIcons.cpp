#include "ui/mainwindow/HeaderIcons.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QPixmap>
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

namespace {

// One rendering of the icon, drawn on the SVG's 256-unit grid.
QPixmap DrawAppIcon(int size) {
  QPixmap pixmap{size, size};
  pixmap.fill(Qt::transparent);
  QPainter painter{&pixmap};
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size / 256.0, size / 256.0);
  painter.setPen(Qt::NoPen);

  QLinearGradient background{QPointF{8, 8}, QPointF{248, 248}};
  background.setColorAt(0, QColor{0x2A, 0x1B, 0x3D});
  background.setColorAt(1, QColor{0x12, 0x0A, 0x1C});
  painter.setBrush(background);
  painter.drawRoundedRect(QRectF{8, 8, 240, 240}, 56, 56);

  // The speech bubble: a rounded box with a tail at its lower left.
  QPainterPath bubble;
  bubble.addRoundedRect(QRectF{40, 70, 176, 108}, 16, 16);
  QPainterPath tail;
  tail.moveTo(80, 170);
  tail.lineTo(116, 170);
  tail.lineTo(80, 208);
  tail.closeSubpath();
  painter.setBrush(QColor{0xFF, 0x1F, 0xB4});
  painter.drawPath(bubble.united(tail));

  painter.setBrush(QColor{0xA9, 0x70, 0xFF});
  painter.drawRoundedRect(QRectF{62, 98, 10, 48}, 5, 5);
  painter.setBrush(Qt::white);
  painter.drawRoundedRect(QRectF{84, 100, 92, 12}, 6, 6);
  painter.setBrush(QColor{255, 255, 255, 204});
  painter.drawRoundedRect(QRectF{84, 128, 64, 12}, 6, 6);
  painter.setBrush(QColor{0x53, 0xFC, 0x18});
  painter.drawEllipse(QPointF{190, 134}, 10, 10);
  return pixmap;
}

}  // namespace

QIcon AppIcon() {
  QIcon icon;
  for (const int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(DrawAppIcon(size));
  return icon;
}

}  // namespace vlo
