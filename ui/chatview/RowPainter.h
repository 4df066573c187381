#pragma once

#include <QFont>
#include <QPainter>
#include <QString>
#include <cstdint>
#include <unordered_map>

#include "core/ChatMessage.h"
#include "ui/chatview/EmoteBitmaps.h"
#include "ui/chatview/RowLayout.h"
#include "ui/themes/RowStyle.h"
#include "ui/chatview/ViewMetrics.h"

namespace vlo {

// Widths of short one-line texts (time stamps, badge labels) by font role and text, including
// trailing blanks. Emptied when it would pass 2000 entries and whenever the fonts change.
class TextWidths {
 public:
  enum class Role : char { Small = 's', Badge = 'b' };
  double Width(Role role, const QFont& font, const QString& text);
  void Clear() { widths_.clear(); }
  size_t Size() const { return widths_.size(); }

 private:
  std::unordered_map<QString, double> widths_;
};

struct RowPaintContext {
  const ViewMetrics& metrics;
  const ChatPalette& palette;
  Rgb placeholder;  // the window palette's borderSoft
  NameStyle nameStyle{NameStyle::Viewer};
  bool timestamps{true};
  bool animate{true};
  int width{0};
  int64_t nowMs{0};
  ChatImageSource* images{nullptr};
  TextWidths& widths;
  EmoteBitmaps& bitmaps;
};

// Paints one row with its top at `top` (client coordinates). Returns true when an animated emote
// was drawn.
bool PaintRow(QPainter& painter, const plx::ChatRow& row, const RowLayout& layout, int top,
              bool hovered, RowTint tint, RowPaintContext& context);

}  // namespace vlo
