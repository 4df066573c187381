#include "ui/chatview/ScrollModel.h"

#include <algorithm>

namespace vlo {

int ScrollModel::MaxScroll() const { return std::max(0, contentHeight - clientHeight); }

void ScrollModel::ScrollTo(int y) {
  const int max{MaxScroll()};
  y = std::clamp(y, 0, max);
  following = !(y < max - (2 * dpi + 48) / 96);
  if (following) newCount = 0;
  scrollY = y;
}

bool ScrollModel::Wheel(int delta, int lineHeight) {
  wheelRemainder += delta;
  const int steps{wheelRemainder / 40};
  if (steps == 0) return false;
  wheelRemainder %= 40;
  ScrollTo(scrollY - steps * lineHeight);
  return true;
}

int ScrollModel::RowAt(int clientY) const {
  if (rowTops.empty()) return -1;
  const int y{clientY + scrollY};
  auto after{std::upper_bound(rowTops.begin(), rowTops.end(), y)};
  if (after == rowTops.begin()) return 0;
  return static_cast<int>(after - rowTops.begin()) - 1;
}

}  // namespace vlo
