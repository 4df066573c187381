#include "ui/chatview/ViewMetrics.h"

#include <QTextLayout>
#include <algorithm>
#include <cmath>

#include "ui/toolkit/UiKit.h"

namespace vlo {

namespace {

QFont MakeFont(const QString& family, double pixels, int weight) {
  QFont font{family};
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixels))));
  font.setWeight(static_cast<QFont::Weight>(weight));
  font.setStyleStrategy(QFont::PreferAntialias);
  return font;
}

}  // namespace

int ViewMetrics::MulDiv(int units) const {
  return static_cast<int>((static_cast<int64_t>(units) * dpi + 48) / 96);
}

ViewMetrics ViewMetrics::Build(int textSize, bool compact, int dpi) {
  constexpr double kBody[]{13, 15, 18};
  constexpr double kSmall[]{11, 12, 14};
  constexpr double kBadge[]{9, 10, 11};
  constexpr double kEmote[]{24, 28, 34};
  ViewMetrics m;
  m.textSize = std::clamp(textSize, 0, 2);
  m.compact = compact;
  m.dpi = dpi > 0 ? dpi : 96;
  const double scale{m.dpi / 96.0};
  m.bodySize = kBody[m.textSize];
  m.smallSize = kSmall[m.textSize];
  m.badgeSize = kBadge[m.textSize];
  m.emoteHeight = static_cast<int>(std::lround(kEmote[m.textSize] * scale * (compact ? 0.85 : 1)));
  m.emoteBaseline = static_cast<int>(std::lround(0.8 * m.emoteHeight));
  m.padTop = compact ? 2 : 5;
  m.padGap = compact ? 0 : 1;
  m.padBottom = compact ? 3 : 7;

  const QString family{UiKit::SansFamily()};
  m.body = MakeFont(family, m.bodySize * scale, 400);
  m.name = MakeFont(family, m.bodySize * scale, 600);
  m.small = MakeFont(family, m.smallSize * scale, 400);
  m.system = m.small;
  m.badge = MakeFont(family, m.badgeSize * scale, 700);
  m.hint = m.small;

  m.lineHeight = std::ceil(m.bodySize * 1.4 * scale);
  QTextLayout sample{QStringLiteral("Ag"), m.name};
  sample.beginLayout();
  QTextLine line{sample.createLine()};
  if (line.isValid()) {
    line.setLineWidth(1000);
    sample.endLayout();
    m.lineHeight = std::ceil(sample.boundingRect().height());
  } else {
    sample.endLayout();
  }
  return m;
}

}  // namespace vlo
