#include <QFontMetricsF>
#include <QTextCharFormat>
#include <algorithm>
#include <cmath>

#include "emotes/SplitMessage.h"
#include "ui/chatview/ImageSource.h"
#include "ui/chatview/RowLayout.h"
#include "ui/chatview/ViewMetrics.h"

namespace vlo {

namespace {

// QTextLayout has no inline objects of its own, so each emote box is a character of the body
// font whose advance is set to the box width through letter spacing and which is drawn
// transparent. A letter keeps the ordinary line-break chances around the box; an overlay uses the
// zero-width word joiner, which also keeps it on the line of the emote it covers.
constexpr char16_t kBoxChar{u'M'};
constexpr char16_t kOverlayChar{u'\u2060'};

struct LineBox {
  double top{0};
  double ascent{0};
  double height{0};
};

// Breaks the text into lines of `maxWidth` and stacks them, giving lines that hold an emote the
// emote's ascent and descent (baseline alignment). Returns the stacked lines.
std::vector<LineBox> StackLines(QTextLayout& layout, double maxWidth,
                                const std::vector<EmotePlacement>& emotes,
                                const ViewMetrics* metrics) {
  layout.beginLayout();
  std::vector<QTextLine> lines;
  for (QTextLine line{layout.createLine()}; line.isValid(); line = layout.createLine()) {
    line.setLineWidth(maxWidth);
    lines.push_back(line);
  }
  layout.endLayout();

  std::vector<bool> holdsEmote(lines.size(), false);
  for (const EmotePlacement& emote : emotes) {
    for (size_t i{0}; i < lines.size(); ++i) {
      if (emote.textPosition < lines[i].textStart() + lines[i].textLength()) {
        holdsEmote[i] = true;
        break;
      }
    }
  }
  std::vector<LineBox> boxes;
  double top{0};
  for (size_t i{0}; i < lines.size(); ++i) {
    QTextLine& line{lines[i]};
    double ascent{line.ascent()};
    double descent{line.descent()};
    double leading{std::max(0.0, line.height() - ascent - descent)};
    if (holdsEmote[i] && metrics) {
      ascent = std::max(ascent, static_cast<double>(metrics->emoteBaseline));
      descent =
          std::max(descent, static_cast<double>(metrics->emoteHeight - metrics->emoteBaseline));
    }
    line.setPosition(QPointF{0, top + ascent - line.ascent()});
    boxes.push_back({top, ascent, ascent + descent + leading});
    top += ascent + descent + leading;
  }
  return boxes;
}

double StackHeight(const std::vector<LineBox>& boxes) {
  return boxes.empty() ? 0 : boxes.back().top + boxes.back().height;
}

RowLayout SystemLayout(const plx::ChatRow& row, int width, const ViewMetrics& m) {
  RowLayout out;
  out.bodyLeft = static_cast<float>(m.Px(12 + 14));
  out.bodyTop = static_cast<float>(m.padTop);
  const double maxWidth{std::max(width - m.Px(12) - out.bodyLeft, m.Px(40))};
  QString text{QString::fromUtf8(row.body)};
  if (text.isEmpty()) text = QStringLiteral(" ");
  out.layout = std::make_shared<QTextLayout>(text, m.system);
  std::vector<LineBox> boxes{StackLines(*out.layout, maxWidth, {}, nullptr)};
  out.height = static_cast<int>(std::ceil(StackHeight(boxes) + out.bodyTop + m.padTop));
  return out;
}

}  // namespace

QString EmoteTooltip(const EmoteRun& run) {
  QString text{QString::fromUtf8(run.text)};
  text += u'\n';
  text += QString::fromUtf8(ProviderName(run.source));
  const bool provider{run.source == EmoteSource::SevenTv || run.source == EmoteSource::BetterTtv ||
                      run.source == EmoteSource::FrankerFaceZ};
  if (provider) {
    text += run.channel ? QStringLiteral(" channel emote") : QStringLiteral(" global emote");
  } else {
    text += QStringLiteral(" emote");
  }
  if (run.overlay) text += QStringLiteral(" (overlay)");
  return text;
}

RowLayout BuildLayout(const plx::ChatRow& row, int width, const LayoutInputs& inputs) {
  if (!inputs.metrics) {
    RowLayout fallback;
    fallback.height = 40;  // 40 at 96 DPI; no metrics means no DPI either
    return fallback;
  }
  const ViewMetrics& m{*inputs.metrics};
  if (plx::HasTag(row, "system")) return SystemLayout(row, width, m);

  EmoteLookup lookup;
  if (inputs.lookup) {
    lookup = [&inputs, platform = row.platform](std::string_view word) {
      return inputs.lookup(platform, word);
    };
  }
  std::vector<EmoteRun> runs{SplitMessage(row, lookup, inputs.hosts)};

  RowLayout out;
  QString text;
  QList<QTextLayout::FormatRange> formats;
  const double boxAdvance{QFontMetricsF{m.body}.horizontalAdvance(QChar{kBoxChar})};
  bool afterEmote{false};  // the last thing appended was an emote box
  for (const EmoteRun& run : runs) {
    if (!run.isEmote || !inputs.images || inputs.images->IsFailed(run.imageKey)) {
      text += QString::fromUtf8(run.text);
      afterEmote = afterEmote && run.text.empty();
      continue;
    }
    double aspect{1};
    SharedImage image{inputs.images->GetImage(run.imageKey)};
    if (image && image->height > 0) {
      aspect = std::clamp(static_cast<double>(image->width) / image->height, 0.25, 4.0);
    } else {
      out.pending = true;
    }
    EmotePlacement placement;
    placement.textPosition = static_cast<int>(text.size());
    placement.imageKey = run.imageKey;
    // An overlay with no emote box right before it (its base failed) is drawn as an ordinary
    // emote rather than over the text.
    placement.overlay = run.overlay && afterEmote;
    placement.tooltip = EmoteTooltip(run);
    placement.width = static_cast<float>(m.emoteHeight * aspect);
    afterEmote = true;
    if (placement.overlay) {
      text += QChar{kOverlayChar};
    } else {
      text += QChar{kBoxChar};
      QTextCharFormat box;
      box.setFontLetterSpacingType(QFont::AbsoluteSpacing);
      box.setFontLetterSpacing(placement.width - boxAdvance);
      box.setForeground(Qt::transparent);
      formats.append({placement.textPosition, 1, box});
    }
    out.emotes.push_back(std::move(placement));
  }
  if (text.isEmpty()) text = QStringLiteral(" ");

  out.bodyLeft = static_cast<float>(m.Px(14));
  out.bodyTop = static_cast<float>(m.lineHeight + m.padTop + m.padGap);
  const double maxWidth{std::max(width - m.Px(12) - out.bodyLeft, m.Px(40))};

  out.layout = std::make_shared<QTextLayout>(text, m.body);
  if (row.deleted) {
    QTextCharFormat struck;
    struck.setFontStrikeOut(true);
    formats.prepend({0, static_cast<int>(text.size()), struck});
  }
  out.layout->setFormats(formats);
  std::vector<LineBox> boxes{StackLines(*out.layout, maxWidth, out.emotes, &m)};

  const EmotePlacement* previous{nullptr};
  for (EmotePlacement& emote : out.emotes) {
    LineBox box{0, static_cast<double>(m.emoteBaseline), 0};
    QTextLine line{out.layout->lineForTextPosition(emote.textPosition)};
    if (line.isValid() && line.lineNumber() < static_cast<int>(boxes.size())) {
      box = boxes[line.lineNumber()];
    }
    if (emote.overlay && previous) {
      const double centre{(previous->rect.left() + previous->rect.right()) / 2};
      emote.rect = QRectF{QPointF{centre - emote.width / 2, previous->rect.top()},
                          QPointF{centre + emote.width / 2, previous->rect.bottom()}};
      continue;
    }
    const double x{line.isValid() ? line.cursorToX(emote.textPosition) : 0};
    const double top{box.top + box.ascent - m.emoteBaseline};
    emote.rect = QRectF{x, top, emote.width, static_cast<double>(m.emoteHeight)};
    previous = &emote;
  }
  out.height = static_cast<int>(std::ceil(StackHeight(boxes) + out.bodyTop + m.padBottom));
  return out;
}

}  // namespace vlo
