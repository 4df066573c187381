#include "ui/chatview/RowPainter.h"

#include <QFontMetricsF>
#include <algorithm>
#include <cmath>

#include "ui/toolkit/KitColors.h"

namespace vlo {

double TextWidths::Width(Role role, const QFont& font, const QString& text) {
  QString key{QChar{static_cast<char16_t>(role)} + text};
  auto found{widths_.find(key)};
  if (found != widths_.end()) return found->second;
  const double width{QFontMetricsF{font}.horizontalAdvance(text)};
  if (widths_.size() >= 2000) widths_.clear();
  widths_.emplace(std::move(key), width);
  return width;
}

namespace {

void PaintEmotes(QPainter& painter, const plx::ChatRow& row, const RowLayout& layout,
                 QPointF origin, RowPaintContext& c, bool& animated) {
  for (const EmotePlacement& emote : layout.emotes) {
    QRectF target{emote.rect.translated(origin)};
    EmoteBitmaps::Frame frame;
    if (c.images) frame = c.bitmaps.Get(emote.imageKey, *c.images, c.nowMs, c.animate);
    if (frame.image) {
      animated = animated || frame.animated;
      painter.setOpacity(row.deleted ? 0.35 : 1.0);
      painter.drawImage(target, *frame.image);
      painter.setOpacity(1.0);
    } else {
      const double radius{c.metrics.Px(4)};
      painter.setPen(Qt::NoPen);
      painter.setBrush(ToQColor(c.placeholder, 0.6));
      painter.drawRoundedRect(target, radius, radius);
    }
  }
}

void PaintSystemRow(QPainter& painter, const plx::ChatRow& row, const RowLayout& layout, int top,
                    RowPaintContext& c) {
  const ViewMetrics& m{c.metrics};
  painter.setPen(Qt::NoPen);
  painter.setBrush(ToQColor(PlatformColor(c.palette, row.platform)));
  const double radius{m.Px(3.5)};
  painter.drawEllipse(QPointF{m.Px(17.5), top + layout.bodyTop + m.Px(7.5)}, radius, radius);
  if (layout.layout) {
    painter.setPen(ToQColor(c.palette.textMuted));
    layout.layout->draw(&painter, QPointF{layout.bodyLeft, top + layout.bodyTop});
  }
}

// Time, badges and name; returns nothing.
void PaintHeader(QPainter& painter, const plx::ChatRow& row, int top, Rgb background,
                 RowPaintContext& c) {
  const ViewMetrics& m{c.metrics};
  const ChatPalette& p{c.palette};
  const double y0{top + m.padTop};
  const double lineHeight{m.lineHeight};
  double x{m.Px(14)};

  if (c.timestamps) {
    QString time{QString::fromStdString(TimeText(row.timestampMs))};
    if (!time.isEmpty()) {
      painter.setFont(m.small);
      painter.setPen(ToQColor(p.textMuted));
      painter.drawText(QRectF{x, y0, m.Px(60), lineHeight},
                       Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, time);
      x += c.widths.Width(TextWidths::Role::Small, m.small, time) + m.Px(7);
    }
  }

  const double bh{std::min(m.Px(17), lineHeight)};
  const double badgeTop{y0 + (lineHeight - bh) / 2};
  const double radius{m.Px(4)};
  const double limit{c.width - m.Px(12) - m.Px(30)};
  painter.setFont(m.badge);
  for (const Badge& badge : HeaderBadges(row, p)) {
    QString label{QString::fromStdString(badge.label)};
    const double bw{std::ceil(c.widths.Width(TextWidths::Role::Badge, m.badge, label)) + m.Px(10)};
    if (x + bw > limit) break;
    QRectF box{x, badgeTop, bw, bh};
    painter.setPen(Qt::NoPen);
    painter.setBrush(ToQColor(mix(badge.color, background, p.badgeFillPercent)));
    painter.drawRoundedRect(box, radius, radius);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen{
        ToQColor(mix(badge.color, background, std::min(2 * p.badgeFillPercent + 4, 100))), 1.0});
    painter.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    painter.setPen(ToQColor(mix(badge.color, p.text, 55)));
    painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, label);
    x += bw + m.Px(4);
  }

  if (!row.author.empty()) {
    QRectF nameBox{x + m.Px(3), y0, std::max(0.0, c.width - m.Px(12) - x - m.Px(3)), lineHeight};
    QString name{QString::fromUtf8(row.author)};
    painter.setFont(m.name);
    name = QFontMetricsF{m.name}.elidedText(name, Qt::ElideRight, nameBox.width());
    painter.setPen(ToQColor(NameColor(row, p, c.nameStyle)));
    painter.drawText(nameBox, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, name);
  }
}

}  // namespace

bool PaintRow(QPainter& painter, const plx::ChatRow& row, const RowLayout& layout, int top,
              bool hovered, RowTint tint, RowPaintContext& c) {
  const ViewMetrics& m{c.metrics};
  const Rgb background{RowBackground(row, c.palette, hovered, tint)};
  painter.fillRect(QRect{0, top, c.width, layout.height}, ToQColor(background));
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  if (plx::HasTag(row, "system")) {
    PaintSystemRow(painter, row, layout, top, c);
    return false;
  }
  // The left bar keeps sharp pixel edges.
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.fillRect(
      QRectF{QPointF{m.Px(4), top + m.padTop}, QPointF{m.Px(7), top + layout.height - m.padTop}},
      ToQColor(RowBarColor(row, c.palette, tint)));
  painter.setRenderHint(QPainter::Antialiasing);
  PaintHeader(painter, row, top, background, c);

  const QPointF origin{layout.bodyLeft, top + layout.bodyTop};
  if (layout.layout) {
    painter.setPen(ToQColor(BodyColor(row, c.palette, c.nameStyle)));
    layout.layout->draw(&painter, origin);
  }
  bool animated{false};
  PaintEmotes(painter, row, layout, origin, c, animated);
  return animated;
}

}  // namespace vlo
