#pragma once

#include <QRectF>
#include <QString>
#include <QTextLayout>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/ChatMessage.h"
#include "emotes/EmoteTypes.h"

namespace vlo {

class ChatImageSource;
struct ViewMetrics;

// One inline emote of a laid-out body.
struct EmotePlacement {
  int textPosition{0};  // UTF-16 index of the character that carries the emote's box
  std::string imageKey;
  bool overlay{false};  // drawn over the previous emote; its box in the text has no width
  QString tooltip;
  float width{0};  // drawing width (an overlay keeps its full width here)
  QRectF rect;     // relative to the layout origin
};

// The laid-out form of one row; cached per row and reused by every paint.
struct RowLayout {
  int height{0};
  float bodyTop{0};                     // relative to the row's top
  float bodyLeft{0};                    // relative to the view's left
  std::shared_ptr<QTextLayout> layout;  // null when the text could not be laid out
  std::vector<EmotePlacement> emotes;   // text order
  bool pending{false};  // an emote image was not decoded yet: rebuilt at the next relayout pass
};

// Provider catalogue lookup for a platform's chat; empty when provider emotes are off.
using PlatformEmoteLookup =
    std::function<std::optional<EmoteDef>(plx::PlatformId platform, std::string_view word)>;

struct LayoutInputs {
  const ViewMetrics* metrics{nullptr};
  ChatImageSource* images{nullptr};  // none: emotes are shown as their codes
  PlatformEmoteLookup lookup;
  NativeImageHosts hosts;
};

// Lays one row out for a view `width` pixels wide. Window thread (fonts).
RowLayout BuildLayout(const plx::ChatRow& row, int width, const LayoutInputs& inputs);

// The emote tooltip: code, line break, provider and kind, " (overlay)" for overlays.
QString EmoteTooltip(const EmoteRun& run);

}  // namespace vlo
