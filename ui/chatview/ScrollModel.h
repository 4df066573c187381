#pragma once

#include <vector>

namespace vlo {

// Vertical scrolling of the chat view in content pixels: following the bottom, the count of rows
// that arrived while scrolled up, and the wheel remainder. Pure state; window thread only.
struct ScrollModel {
  std::vector<int> rowTops;
  int contentHeight{0};
  int clientHeight{0};
  int scrollY{0};
  bool following{true};
  int newCount{0};
  int wheelRemainder{0};
  int dpi{96};

  int MaxScroll() const;
  // Clamps y, then following = not more than 2 pixels (at 96 DPI) above the bottom, which also
  // clears newCount.
  void ScrollTo(int y);
  // Adds a wheel delta (120 per notch); every 40 scroll one line. True when it scrolled.
  bool Wheel(int delta, int lineHeight);
  // The last row whose top <= clientY + scrollY; 0 above the first row, -1 without rows.
  int RowAt(int clientY) const;
};

}  // namespace vlo
