#include "ui/toolkit/KitEdit.h"

#include <QPainter>

#include "ui/toolkit/Drawing.h"
#include "ui/toolkit/KitColors.h"
#include "ui/toolkit/UiKit.h"

namespace vlo {

KitEdit::KitEdit(const UiKit& kit, bool readOnly, bool password, QWidget* parent)
    : QLineEdit{parent}, kit_{kit} {
  setFrame(false);
  setReadOnly(readOnly);
  if (password) setEchoMode(QLineEdit::Password);
  setFont(kit.monoFont);
  const int side{kit.Scale(8) + 1};
  setTextMargins(side, 0, side, 0);
  QPalette colors{palette()};
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    colors.setColor(group, QPalette::Base, Qt::transparent);
    colors.setColor(group, QPalette::Text, ToQColor(kPrimaryText));
    colors.setColor(group, QPalette::PlaceholderText, ToQColor(kMutedText));
    colors.setColor(group, QPalette::HighlightedText, ToQColor(kWhite));
  }
  setPalette(colors);
}

void KitEdit::SetCueText(const QString& text) {
  setPlaceholderText(text);
  update();
}

QColor KitEdit::FrameBorderColor() const {
  const WindowPalette& p{UiKit::Palette()};
  if (!isEnabled()) return ToQColor(p.borderSoft);
  if (hasFocus() && !isReadOnly()) return ToQColor(blend(p.accent, p.border, 70));
  return ToQColor(p.border);
}

void KitEdit::paintEvent(QPaintEvent* event) {
  const WindowPalette& p{UiKit::Palette()};
  {
    QPainter painter{this};
    painter.fillRect(rect(), ToQColor(p.windowBg));
    DrawRoundedBox(painter, QRectF{rect()}, p.fieldBg, FromQColor(FrameBorderColor()),
                   kit_.Scale(8));
  }
  QLineEdit::paintEvent(event);
}

void KitEdit::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  update();
}

void KitEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  update();
}

}  // namespace vlo
