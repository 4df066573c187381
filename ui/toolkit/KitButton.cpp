#include "ui/toolkit/KitButton.h"

#include <QEnterEvent>
#include <QPainter>

#include "ui/toolkit/Drawing.h"
#include "ui/toolkit/KitColors.h"
#include "ui/toolkit/UiKit.h"

namespace vlo {

KitButton::KitButton(const QString& text, ButtonKind kind, const UiKit& kit, QWidget* parent)
    : QAbstractButton{parent}, kit_{kit}, kind_{kind} {
  setText(text);
  setFocusPolicy(Qt::StrongFocus);
  setFont(UsesSemibold(kind) ? kit.semiboldFont : kit.bodyFont);
  if (IsToggle(kind)) setFont(kit.pillFont);
  setCursor(Qt::PointingHandCursor);
}

void KitButton::SetKind(ButtonKind kind) {
  if (kind == kind_) return;
  kind_ = kind;
  setFont(IsToggle(kind) ? kit_.pillFont : UsesSemibold(kind) ? kit_.semiboldFont : kit_.bodyFont);
  update();
}

ButtonColors KitButton::CurrentColors() const {
  return ComputeButtonColors(UiKit::Palette(), kind_,
                             ButtonState{hovered_, isDown(), !isEnabled()});
}

void KitButton::SetCaptionAlignment(Qt::Alignment alignment) {
  alignment_ = alignment & Qt::AlignHorizontal_Mask;
  update();
}

QSize KitButton::sizeHint() const {
  QFontMetrics metrics{font()};
  return QSize{metrics.horizontalAdvance(text()) + kit_.Scale(28), kit_.Scale(32)};
}

void KitButton::paintEvent(QPaintEvent*) {
  const WindowPalette& palette{UiKit::Palette()};
  ButtonColors colors{CurrentColors()};
  QPainter painter{this};
  painter.fillRect(rect(), ToQColor(ButtonBackground(palette, kind_)));
  const qreal diameter{static_cast<qreal>(kit_.Scale(CornerDiameter(kind_)))};
  DrawRoundedBox(painter, QRectF{rect()}, colors.face, colors.border, diameter);
  if (hasFocus() && isEnabled() && focusCues_) {
    const qreal inset{static_cast<qreal>(kit_.Scale(2))};
    StrokeRoundedBox(painter, QRectF{rect()}.adjusted(inset, inset, -inset, -inset),
                     FocusMarkColor(colors.face), diameter - inset);
  }
  const int side{kit_.Scale(6)};
  QRect textRect{rect().adjusted(side, 0, -side, 0)};
  QString caption{text().left(128)};
  painter.setPen(ToQColor(colors.text));
  painter.setFont(font());
  painter.drawText(textRect, alignment_ | Qt::AlignVCenter | Qt::TextSingleLine,
                   painter.fontMetrics().elidedText(caption, Qt::ElideRight, textRect.width()));
}

void KitButton::enterEvent(QEnterEvent* event) {
  if (!hovered_ && isEnabled()) {
    hovered_ = true;
    update();
  }
  QAbstractButton::enterEvent(event);
}

void KitButton::leaveEvent(QEvent* event) {
  if (hovered_) {
    hovered_ = false;
    update();
  }
  QAbstractButton::leaveEvent(event);
}

void KitButton::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange && !isEnabled() && hovered_) {
    hovered_ = false;
    update();
  }
  QAbstractButton::changeEvent(event);
}

}  // namespace vlo

namespace vlo {

void KitButton::focusInEvent(QFocusEvent* event) {
  focusCues_ = event->reason() != Qt::MouseFocusReason;
  QAbstractButton::focusInEvent(event);
}

}  // namespace vlo
