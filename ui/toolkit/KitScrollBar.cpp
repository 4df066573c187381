#include "ui/toolkit/KitScrollBar.h"

#include <QAbstractScrollArea>
#include <QPainter>
#include <QStyleOptionSlider>

#include "ui/toolkit/KitColors.h"
#include "ui/toolkit/UiKit.h"

namespace vlo {

KitScrollBar::KitScrollBar(QWidget* parent) : QScrollBar{Qt::Vertical, parent} {
  setAttribute(Qt::WA_Hover);
}

QSize KitScrollBar::sizeHint() const { return QSize{12, QScrollBar::sizeHint().height()}; }

void KitScrollBar::paintEvent(QPaintEvent*) {
  const WindowPalette& p{UiKit::Palette()};
  QPainter painter{this};
  painter.fillRect(rect(), ToQColor(p.inset));
  if (!isEnabled() || maximum() <= minimum()) return;
  QStyleOptionSlider option;
  initStyleOption(&option);
  QRect thumb{
      style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this)};
  const bool active{isSliderDown() || underMouse()};
  QRectF shape{QRectF{thumb}.adjusted(3, 2, -3, -2)};
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(ToQColor(active ? blend(p.hoverTint, p.border, 45) : p.border));
  painter.drawRoundedRect(shape, shape.width() / 2, shape.width() / 2);
}

void EnableDarkScrollBars(QAbstractScrollArea* area) {
  if (area) area->setVerticalScrollBar(new KitScrollBar{area});
}

}  // namespace vlo
