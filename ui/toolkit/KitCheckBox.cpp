#include "ui/toolkit/KitCheckBox.h"

#include <QFocusEvent>
#include <QPainter>
#include <QPainterPath>

#include "ui/toolkit/Drawing.h"
#include "ui/toolkit/KitColors.h"
#include "ui/toolkit/UiKit.h"

namespace vlo {

KitCheckBox::KitCheckBox(const QString& text, const UiKit& kit, QWidget* parent)
    : QAbstractButton{parent}, kit_{kit} {
  setText(text);
  setCheckable(true);
  setFocusPolicy(Qt::StrongFocus);
  setFont(kit.bodyFont);
  setAttribute(Qt::WA_Hover);
}

QSize KitCheckBox::sizeHint() const {
  QFontMetrics metrics{font()};
  return QSize{kit_.Scale(28) + metrics.horizontalAdvance(text()), kit_.Scale(24)};
}

bool KitCheckBox::hitButton(const QPoint& pos) const { return rect().contains(pos); }

void KitCheckBox::focusInEvent(QFocusEvent* event) {
  focusCues_ = event->reason() != Qt::MouseFocusReason;
  QAbstractButton::focusInEvent(event);
}

void KitCheckBox::paintEvent(QPaintEvent*) {
  const WindowPalette& p{UiKit::Palette()};
  const bool disabled{!isEnabled()};
  QPainter painter{this};
  painter.fillRect(rect(), ToQColor(p.windowBg));

  const int side{kit_.Scale(18)};
  QRectF box{0, (height() - side) / 2.0, static_cast<qreal>(side), static_cast<qreal>(side)};
  Rgb fill{isChecked() ? p.accent : p.fieldBg};
  Rgb border{isChecked() ? p.accent : underMouse() ? p.hoverTint : p.border};
  if (disabled) {
    fill = isChecked() ? blend(p.accent, p.surface, 40) : p.surface;
    border = p.borderSoft;
  }
  DrawRoundedBox(painter, box, fill, border, kit_.Scale(6));

  if (isChecked()) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen{ToQColor(kWhite), static_cast<qreal>(kit_.Scale(2)), Qt::SolidLine,
                        Qt::RoundCap, Qt::RoundJoin});
    auto at = [&box](qreal fx, qreal fy) {
      return QPointF{box.left() + fx * box.width(), box.top() + fy * box.height()};
    };
    QPainterPath tick;
    tick.moveTo(at(0.26, 0.52));
    tick.lineTo(at(0.43, 0.69));
    tick.lineTo(at(0.75, 0.33));
    painter.drawPath(tick);
    painter.restore();
  }

  const int labelLeft{side + kit_.Scale(10)};
  QRect labelRect{labelLeft, 0, std::max(0, width() - labelLeft), height()};
  QFontMetrics metrics{font()};
  QString label{metrics.elidedText(text().left(256), Qt::ElideRight, labelRect.width())};
  painter.setFont(font());
  painter.setPen(ToQColor(disabled ? kMutedText : kPrimaryText));
  painter.drawText(labelRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, label);

  if (FocusCuesShown()) {
    int end{std::min(width(), labelLeft + metrics.horizontalAdvance(label))};
    DrawHLine(painter, labelLeft, end, height() / 2 + kit_.Scale(10), kFocusMark);
  }
}

}  // namespace vlo
