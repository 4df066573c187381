#include "ui/toolkit/KitLabel.h"

#include <QPainter>

#include "ui/toolkit/KitColors.h"
#include "ui/toolkit/UiKit.h"

namespace vlo {

KitLabel::KitLabel(const QString& text, const UiKit& kit, bool secondary, bool title,
                   QWidget* parent)
    : QLabel{parent}, secondary_{secondary} {
  setTextFormat(Qt::PlainText);  // no markup or mnemonic processing
  setText(text);
  setFont(title ? kit.titleFont : kit.bodyFont);
  QPalette colors{palette()};
  colors.setColor(QPalette::WindowText, ToQColor(secondary ? kSecondaryText : kPrimaryText));
  setPalette(colors);
}

void KitLabel::paintEvent(QPaintEvent* event) {
  {
    QPainter painter{this};
    painter.fillRect(rect(), ToQColor(UiKit::Palette().windowBg));
  }
  QLabel::paintEvent(event);
}

}  // namespace vlo
