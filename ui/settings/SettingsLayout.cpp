#include "ui/settings/SettingsLayout.h"

#include <algorithm>

namespace vlo {

namespace {

constexpr int kLeft{20};
constexpr int kWidth{460};
constexpr int kRight{kLeft + kWidth};
constexpr int kClientWidth{500};

constexpr int kRowTop{102};
constexpr int kRowPitch{118};
constexpr int kAccountButtonWidth{112};

constexpr int kSwatchTop{122};
constexpr int kSwatchGap{8};
constexpr int kSwatchHeight{56};
constexpr int kSwatchesPerLine{3};

constexpr int kOptionLeft{124};
constexpr int kOptionGap{4};
constexpr int kOptionPitch{36};

constexpr int kButtonWidth{96};
constexpr int kButtonHeight{34};

// Places `count` equal buttons across [left, right) with `gap` between them.
std::vector<QRect> Spread(int count, int left, int right, int top, int height, int gap) {
  const int width{(right - left - gap * (count - 1)) / count};
  std::vector<QRect> rects;
  for (int i{0}; i < count; ++i) rects.emplace_back(left + i * (width + gap), top, width, height);
  return rects;
}

struct Scaler {
  int dpi;
  int operator()(int units) const {
    const int d{dpi > 0 ? dpi : 96};
    return static_cast<int>((static_cast<int64_t>(units) * d + 48) / 96);
  }
  QRect operator()(const QRect& r) const {
    return QRect{(*this)(r.x()), (*this)(r.y()), (*this)(r.width()), (*this)(r.height())};
  }
};

SettingsLayout Scaled(const SettingsLayout& u, int dpi) {
  const Scaler s{dpi};
  SettingsLayout l{u};
  l.clientWidth = s(u.clientWidth);
  l.clientHeight = s(u.clientHeight);
  l.separatorLeft = s(u.separatorLeft);
  l.separatorRight = s(u.separatorRight);
  l.title = s(u.title);
  for (QRect& r : l.pageButtons) r = s(r);
  for (PlatformRowLayout& row : l.platforms) {
    for (QRect* r : {&row.nameBand, &row.accountLine, &row.accountButton, &row.edit, &row.hint})
      *r = s(*r);
    row.separatorY = s(row.separatorY);
  }
  l.ownApps.label = s(u.ownApps.label);
  for (QRect& r : l.ownApps.buttons) r = s(r);
  l.ownApps.note = s(u.ownApps.note);
  l.ownApps.separatorY = s(u.ownApps.separatorY);
  l.themeLabel = s(u.themeLabel);
  for (QRect& r : l.swatches) r = s(r);
  l.themeLine = s(u.themeLine);
  l.pageSeparatorY = s(u.pageSeparatorY);
  for (OptionRowLayout& row : l.options) {
    row.label = s(row.label);
    for (QRect& r : row.buttons) r = s(r);
  }
  for (QRect& r : l.switches) r = s(r);
  OverlayLayout& o{l.overlay};
  for (QRect* r : {&o.onSwitch, &o.portLabel, &o.portEdit, &o.portNote, &o.addressLabel, &o.address,
                   &o.copy, &o.note})
    *r = s(*r);
  for (OptionRowLayout& row : o.options) {
    row.label = s(row.label);
    for (QRect& r : row.buttons) r = s(r);
  }
  o.separatorY = s(o.separatorY);
  RulesLayout& rules{l.rules};
  for (QRect* r : {&rules.highlightTitle, &rules.hideTitle, &rules.listNote, &rules.pause.label,
                   &rules.openLogs})
    *r = s(*r);
  for (QRect& r : rules.listLabels) r = s(r);
  for (QRect& r : rules.lists) r = s(r);
  for (QRect& r : rules.switches) r = s(r);
  for (QRect& r : rules.pause.buttons) r = s(r);
  rules.separatorY = s(rules.separatorY);
  for (QRect* r : {&l.error, &l.cancel, &l.save, &l.footer}) *r = s(*r);
  return l;
}

}  // namespace

SettingsLayout ComputeSettingsLayout(int themeCount, int dpi) {
  SettingsLayout l;
  l.clientWidth = kClientWidth;
  l.separatorLeft = kLeft;
  l.separatorRight = kClientWidth - kLeft;
  l.title = QRect{kLeft, 14, kWidth, 30};
  // Left to right: channels, look, highlights, overlay. The first page's caption is the longest:
  // its button takes what the others do not need.
  l.pageButtons[2] = QRect{kRight - 76, 52, 76, 32};
  l.pageButtons[3] = QRect{l.pageButtons[2].left() - 6 - 102, 52, 102, 32};
  l.pageButtons[1] = QRect{l.pageButtons[3].left() - 6 - 96, 52, 96, 32};
  l.pageButtons[0] = QRect{kLeft, 52, l.pageButtons[1].left() - 6 - kLeft, 32};

  for (int i{0}; i < 3; ++i) {
    PlatformRowLayout& row{l.platforms[i]};
    const int top{kRowTop + i * kRowPitch};
    const int band{i == 1 ? 128 : 80};  // YouTube's band carries the badge
    row.separatorY = top - 8;
    row.nameBand = QRect{kLeft, top, band, 30};
    row.accountButton = QRect{kRight - kAccountButtonWidth, top, kAccountButtonWidth, 30};
    const int lineLeft{kLeft + band + 4};
    row.accountLine = QRect{lineLeft, top + 6, row.accountButton.left() - 8 - lineLeft, 20};
    row.edit = QRect{kLeft, top + 36, kWidth, 32};
    row.hint = QRect{kLeft, top + 72, kWidth, 32};
  }
  // The own-app block takes the place of a fourth platform: its label in the name band, its
  // buttons where a channel field goes, its note where a hint goes.
  const int ownTop{kRowTop + 3 * kRowPitch};
  l.ownApps.separatorY = ownTop - 8;
  l.ownApps.label = QRect{kLeft, ownTop, kWidth, 30};
  const std::vector<QRect> ownButtons{Spread(3, kLeft, kRight, ownTop + 36, 30, 8)};
  std::copy(ownButtons.begin(), ownButtons.end(), l.ownApps.buttons.begin());
  l.ownApps.note = QRect{kLeft, ownTop + 72, kWidth, 32};
  // Below everything page 0 shows, with the gap a platform's hint leaves.
  const int pageZeroBottom{l.ownApps.note.bottom() + 1 + 14};

  l.themeLabel = QRect{kLeft, 96, kWidth, 22};
  const int swatchWidth{(kWidth - kSwatchGap * (kSwatchesPerLine - 1)) / kSwatchesPerLine};
  const int count{std::max(0, themeCount)};
  for (int n{0}; n < count; ++n) {
    const int column{n % kSwatchesPerLine};
    const int line{n / kSwatchesPerLine};
    l.swatches.emplace_back(kLeft + column * (swatchWidth + kSwatchGap),
                            kSwatchTop + line * (kSwatchHeight + kSwatchGap), swatchWidth,
                            kSwatchHeight);
  }
  const int lines{(count + kSwatchesPerLine - 1) / kSwatchesPerLine};
  const int themeLineTop{kSwatchTop + lines * (kSwatchHeight + kSwatchGap)};
  l.themeLine = QRect{kLeft, themeLineTop, kWidth, 20};

  const int optionsTop{themeLineTop + 30};
  l.pageSeparatorY = optionsTop - 6;
  for (size_t r{0}; r < l.options.size(); ++r) {
    const int top{optionsTop + static_cast<int>(r) * kOptionPitch};
    l.options[r].label = QRect{kLeft, top + 7, 96, 20};
    l.options[r].buttons = Spread(kOptionCounts[r], kOptionLeft, kRight, top, 30, kOptionGap);
  }

  const int half{kWidth / 2};
  const int first{optionsTop + 3 * kOptionPitch + 42};
  const int second{first + 30};
  const int third{second + 30};
  // Two switches side by side: the left one 8 narrower so that they stand apart.
  const auto pair = [&](int top) {
    return std::array<QRect, 2>{QRect{kLeft, top, half - 8, 26},
                                QRect{kLeft + half, top, half, 26}};
  };
  const auto [onTop, times] = pair(first);
  const auto [providers, animated] = pair(second);
  l.switches = {onTop, times, QRect{kLeft, third, kWidth, 26}, animated, providers};

  // The overlay page, in the rhythm of the look page.
  OverlayLayout& o{l.overlay};
  o.onSwitch = QRect{kLeft, 98, kWidth, 26};
  o.portLabel = QRect{kLeft, 143, 96, 20};
  o.portEdit = QRect{kOptionLeft, 136, 90, 32};
  o.portNote = QRect{kOptionLeft + 100, 136, kRight - kOptionLeft - 100, 32};
  const int overlayOptionsTop{188};
  for (size_t r{0}; r < o.options.size(); ++r) {
    const int top{overlayOptionsTop + static_cast<int>(r) * kOptionPitch};
    o.options[r].label = QRect{kLeft, top + 7, 96, 20};
    o.options[r].buttons =
        Spread(kOverlayOptionCounts[r], kOptionLeft, kRight, top, 30, kOptionGap);
  }
  const int addressTop{overlayOptionsTop + 4 * kOptionPitch + 20};
  o.separatorY = addressTop - 10;
  o.addressLabel = QRect{kLeft, addressTop, kWidth, 22};
  o.copy = QRect{kRight - kButtonWidth, addressTop + 26, kButtonWidth, 32};
  o.address = QRect{kLeft, addressTop + 26, kWidth - kButtonWidth - 8, 32};
  o.note = QRect{kLeft, addressTop + 66, kWidth, 48};

  // The highlights page: lists in two columns, then the switches in pairs and the pause choice.
  RulesLayout& r{l.rules};
  const int column{(kWidth - 8) / 2};
  const int rightColumn{kLeft + column + 8};
  r.highlightTitle = QRect{kLeft, 96, column, 22};
  r.hideTitle = QRect{rightColumn, 96, column, 22};
  for (int i{0}; i < 5; ++i) {
    const int left{i < 3 ? kLeft : rightColumn};
    const int top{122 + (i < 3 ? i : i - 3) * 76};
    r.listLabels[i] = QRect{left, top, column, 18};
    r.lists[i] = QRect{left, top + 20, column, 50};
  }
  r.listNote = QRect{rightColumn, 122 + 2 * 76, column, 70};
  r.separatorY = 122 + 3 * 76 + 2;
  for (int i{0}; i < 6; ++i) {
    const int top{r.separatorY + 12 + (i / 2) * 30};
    r.switches[i] = i % 2 == 0 ? QRect{kLeft, top, column, 26} : QRect{rightColumn, top, column, 26};
  }
  const int pauseTop{r.separatorY + 12 + 3 * 30 + 6};
  r.pause.label = QRect{kLeft, pauseTop + 7, 100, 20};
  // The first choice has the long caption.
  r.pause.buttons = {QRect{kOptionLeft, pauseTop, 134, 30}};
  for (const QRect& rect :
       Spread(kPauseChoices - 1, kOptionLeft + 134 + kOptionGap, kRight, pauseTop, 30, kOptionGap))
    r.pause.buttons.push_back(rect);
  const int lastTop{pauseTop + 30 + 10};
  r.switches[6] = QRect{kLeft, lastTop + 32, kWidth, 26};  // read aloud
  r.switches[7] = QRect{kLeft, lastTop + 2, column, 26};   // chat logs
  r.openLogs = QRect{rightColumn, lastTop, column, 30};

  const int errorTop{std::max({pageZeroBottom, third + 34, o.note.bottom() + 1 + 14,
                               r.switches[6].bottom() + 1 + 14})};
  l.error = QRect{kLeft, errorTop, kWidth, 30};
  const int buttonsTop{errorTop + 34};
  l.save = QRect{kRight - kButtonWidth, buttonsTop, kButtonWidth, kButtonHeight};
  l.cancel = l.save.translated(-(kButtonWidth + 8), 0);
  l.footer = QRect{kLeft, buttonsTop + 2, kWidth - 208, 32};
  l.clientHeight = buttonsTop + kButtonHeight + 18;
  return Scaled(l, dpi);
}

QPoint PlaceOverOwner(const QRect& owner, const QSize& size, const QRect& workArea) {
  int x{owner.x() + (owner.width() - size.width()) / 2};
  int y{owner.y() + (owner.height() - size.height()) / 2};
  if (!workArea.isEmpty()) {
    x = std::max(std::min(x, workArea.x() + workArea.width() - size.width()), workArea.x());
    y = std::max(std::min(y, workArea.y() + workArea.height() - size.height()), workArea.y());
  }
  return QPoint{x, y};
}

}  // namespace vlo
