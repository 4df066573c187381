#pragma once

#include <QFont>

namespace vlo {

// Sizes and fonts of the chat view for one text size, spacing and DPI. Lengths "at 96 DPI" are
// scaled by dpi / 96; Qt already works in logical pixels, so the DPI is 96 unless a caller zooms.
struct ViewMetrics {
  int textSize{1};  // 0 Small, 1 Normal, 2 Large (clamped)
  bool compact{false};
  int dpi{96};

  double bodySize{15};
  double smallSize{12};
  double badgeSize{10};
  int emoteHeight{28};
  int emoteBaseline{22};
  double lineHeight{21};
  double padTop{5};
  double padGap{1};
  double padBottom{7};

  QFont body;    // 400, wraps
  QFont name;    // 600, one line with an ellipsis
  QFont small;   // 400, one line: time stamps, the jump pill
  QFont system;  // 400 at the small size, wraps
  QFont badge;   // 700, centred
  QFont hint;    // 400 at the small size, wraps, centred

  // units × dpi / 96 as a float.
  double Px(double units) const { return units * dpi / 96.0; }
  // units × dpi / 96 rounded as integer multiply-divide.
  int MulDiv(int units) const;

  static ViewMetrics Build(int textSize, bool compact, int dpi);
};

}  // namespace vlo
