#include "ui/settings/ThemeSwatch.h"

#include <QFocusEvent>
#include <QPainter>

#include "ui/toolkit/ButtonStyle.h"
#include "ui/toolkit/Drawing.h"
#include "ui/toolkit/KitColors.h"
#include "ui/toolkit/UiKit.h"

namespace vlo {

ThemeSwatch::ThemeSwatch(const Theme& theme, const UiKit& kit, QWidget* parent)
    : QAbstractButton{parent}, theme_{theme}, kit_{kit} {
  setText(QString::fromUtf8(theme.name.data(), static_cast<qsizetype>(theme.name.size())));
  setFocusPolicy(Qt::StrongFocus);
  setFont(kit.semiboldFont);
  setCursor(Qt::PointingHandCursor);
}

void ThemeSwatch::SetSelected(bool selected) {
  if (selected == selected_) return;
  selected_ = selected;
  update();
}

void ThemeSwatch::focusInEvent(QFocusEvent* event) {
  focusCues_ = event->reason() != Qt::MouseFocusReason;
  QAbstractButton::focusInEvent(event);
}

void ThemeSwatch::paintEvent(QPaintEvent*) {
  const WindowPalette& window{theme_.windowPalette};
  const ChatPalette& chat{theme_.chatPalette};
  const auto u = [this](int units) { return kit_.Scale(units); };
  const int w{width()};
  const int h{height()};
  QPainter painter{this};
  painter.fillRect(rect(), ToQColor(UiKit::Palette().windowBg));

  // The card; a 2-unit outline is drawn inside the edge so that it is not clipped.
  const qreal card{static_cast<qreal>(u(12))};
  DrawRoundedBox(painter, QRectF{rect()}, window.surface, window.border, card);
  if (selected_) {
    const qreal pen{static_cast<qreal>(u(2))};
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen{ToQColor(chat.chatAccent), pen});
    painter.setBrush(Qt::NoBrush);
    const qreal half{pen / 2};
    painter.drawRoundedRect(QRectF{rect()}.adjusted(half, half, -half, -half), card / 2 - half,
                            card / 2 - half);
    painter.restore();
  }

  // The preview panel with one line per platform: colour bar, name dash, message dash.
  const QRect panel{u(7), u(7), w - 2 * u(7), u(24)};
  DrawRoundedBox(painter, QRectF{panel}, chat.chatBg, chat.chatBg, u(6));
  const int pitch{(panel.height() - u(4)) / 3};
  const Rgb bars[]{chat.twitchColor, chat.youtubeColor, chat.kickColor};
  const Rgb names[]{chat.twitchName, chat.youtubeName, chat.kickName};
  const Rgb message{mix(chat.text, chat.chatBg, 55)};
  for (int i{0}; i < 3; ++i) {
    const int top{panel.top() + u(2) + i * pitch};
    const int share{i == 1 ? panel.width() / 4 : panel.width() / 5};
    const int dashTop{top + (pitch - u(2)) / 2};
    painter.fillRect(QRect{panel.left() + u(4), top + u(1), u(2), pitch - u(2)}, ToQColor(bars[i]));
    const QRect name{panel.left() + u(9), dashTop, share / 2, u(2)};
    painter.fillRect(name, ToQColor(mix(chat.text, names[i], chat.nameSoftenPercent)));
    painter.fillRect(QRect{name.left() + name.width() + u(2), dashTop, share, u(2)},
                     ToQColor(message));
  }

  // The accent dot, centred 13 in from the left and 13 above the bottom.
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(ToQColor(chat.chatAccent));
  const qreal dot{static_cast<qreal>(u(8))};
  painter.drawEllipse(QRectF{u(13) - dot / 2, h - u(13) - dot / 2, dot, dot});
  painter.restore();

  const QRect nameRect{u(22), h - u(23), std::max(0, w - u(6) - u(22)), u(19)};
  painter.setFont(font());
  painter.setPen(ToQColor(chat.text));
  painter.drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   painter.fontMetrics().elidedText(text(), Qt::ElideRight, nameRect.width()));

  if (FocusCuesShown()) {
    const qreal inset{static_cast<qreal>(u(3))};
    StrokeRoundedBox(painter, QRectF{rect()}.adjusted(inset, inset, -inset, -inset),
                     FocusMarkColor(window.surface), card - 2 * inset);
  }
}

}  // namespace vlo
