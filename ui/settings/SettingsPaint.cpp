#include <QPainter>

#include "ui/settings/SettingsWindow.h"
#include "ui/toolkit/Drawing.h"
#include "ui/toolkit/KitColors.h"

namespace vlo {

namespace {

constexpr Rgb kBadgeColor{Hex(0xFFBE46)};

struct PlatformTitle {
  const char* name;
  Rgb color;  // fixed, whatever the theme
};

constexpr PlatformTitle kTitles[]{
    {"Twitch", Hex(0xDCC4FF)},
    {"YouTube", Hex(0xFFC0C0)},
    {"Kick", Hex(0xC8FFB0)},
};

}  // namespace

void SettingsWindow::paintEvent(QPaintEvent*) {
  const WindowPalette& palette{UiKit::Palette()};
  QPainter painter{this};
  painter.fillRect(rect(), ToQColor(palette.windowBg));
  if (page_ != 0) {
    DrawHLine(painter, layout_.separatorLeft, layout_.separatorRight,
              page_ == 1            ? layout_.pageSeparatorY
              : page_ == kRulesPage ? layout_.rules.separatorY
                                    : layout_.overlay.separatorY,
              palette.borderSoft);
    return;
  }
  painter.setFont(kit_.semiboldFont);
  for (int i{0}; i < 3; ++i) {
    const PlatformRowLayout& row{layout_.platforms[i]};
    DrawHLine(painter, layout_.separatorLeft, layout_.separatorRight, row.separatorY,
              palette.borderSoft);
    painter.setPen(ToQColor(kTitles[i].color));
    painter.drawText(row.nameBand, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     kTitles[i].name);
    if (i == 1)
      PaintBadge(painter, row.nameBand, painter.fontMetrics().horizontalAdvance("YouTube"));
  }
  DrawHLine(painter, layout_.separatorLeft, layout_.separatorRight, layout_.ownApps.separatorY,
            palette.borderSoft);
}

// "BETA" in a pill outline, 8 units after the name and centred on the name band.
void SettingsWindow::PaintBadge(QPainter& painter, const QRect& nameBand, int nameWidth) {
  painter.save();
  painter.setFont(kit_.smallFont);
  const QFontMetrics metrics{painter.fontMetrics()};
  const QString text{QStringLiteral("BETA")};
  const int width{metrics.horizontalAdvance(text) + kit_.Scale(12)};
  const int height{metrics.height() + kit_.Scale(4)};
  const QRectF badge{QRect{nameBand.left() + nameWidth + kit_.Scale(8),
                           nameBand.top() + (nameBand.height() - height) / 2, width, height}};
  const qreal pen{static_cast<qreal>(std::max(1, kit_.Scale(1)))};
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen{ToQColor(kBadgeColor), pen});
  painter.setBrush(Qt::NoBrush);
  const QRectF outline{badge.adjusted(pen / 2, pen / 2, -pen / 2, -pen / 2)};
  painter.drawRoundedRect(outline, outline.height() / 2, outline.height() / 2);
  painter.drawText(badge, Qt::AlignCenter | Qt::TextSingleLine, text);
  painter.restore();
}

}  // namespace vlo
