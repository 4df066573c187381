#include "ui/chatview/ChatView.h"

#include <QAccessible>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <QWheelEvent>
#include <chrono>
#include <mutex>
#include <tuple>

#include "ui/chatview/ChatViewAccessible.h"
#include "ui/chatview/ImageSource.h"
#include "ui/toolkit/KitColors.h"
#include "ui/toolkit/KitScrollBar.h"
#include "ui/toolkit/UiKit.h"

namespace vlo {

namespace {

const QEvent::Type kImageArrivedEvent{static_cast<QEvent::Type>(QEvent::registerEventType())};

int64_t SteadyMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

// The view as seen from image-cache workers; cleared (under the mutex) when the view goes.
struct ChatView::ArrivalTarget {
  std::mutex mutex;
  ChatView* view{nullptr};  // guarded by mutex
};

ChatView::ChatView(QWidget* parent)
    : QAbstractScrollArea{parent},
      metrics_{ViewMetrics::Build(1, false, 96)},
      palette_{FindTheme("neon").chatPalette},
      nowMs_{SteadyMs},
      arrival_{std::make_shared<ArrivalTarget>()} {
  arrival_->view = this;
  InstallChatViewAccessibility();
  setFocusPolicy(Qt::StrongFocus);
  setAccessibleName(QStringLiteral("Chat"));
  setFrameShape(QFrame::NoFrame);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  EnableDarkScrollBars(this);
  viewport()->setMouseTracking(true);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  viewport()->setAutoFillBackground(false);
  resize(10, 10);

  animationTimer_.setInterval(33);
  connect(&animationTimer_, &QTimer::timeout, viewport(), qOverload<>(&QWidget::update));
  pauseTimer_.setSingleShot(true);
  connect(&pauseTimer_, &QTimer::timeout, this, [this] { ReleasePause(); });
  imageTimer_.setSingleShot(true);
  imageTimer_.setInterval(120);
  connect(&imageTimer_, &QTimer::timeout, this, &ChatView::RelayoutPending);

  QScrollBar* bar{verticalScrollBar()};
  connect(bar, &QScrollBar::actionTriggered, this, &ChatView::OnScrollAction);
  connect(bar, &QScrollBar::valueChanged, this, [this](int value) {
    if (!syncingScrollBar_) ScrollTo(value);
  });
  SyncScrollBar();
}

ChatView::~ChatView() {
  ForgetChatViewAccessibility(this);
  std::lock_guard lock{arrival_->mutex};
  arrival_->view = nullptr;
}

// ---- sources and settings --------------------------------------------------------------------

void ChatView::SetImageSource(std::shared_ptr<ChatImageSource> images, PlatformEmoteLookup lookup,
                              NativeImageHosts hosts) {
  images_ = std::move(images);
  lookup_ = std::move(lookup);
  hosts_ = std::move(hosts);
  bitmaps_.Clear();
  cache_.MarkAllPending();
  RelayoutPending();
}

std::function<void()> ChatView::ArrivalCallback() const {
  return [target = arrival_] {
    std::lock_guard lock{target->mutex};
    if (target->view) {
      QCoreApplication::postEvent(target->view, new QEvent{kImageArrivedEvent});
    }
  };
}

void ChatView::SetAnimationClock(std::function<int64_t()> nowMs) {
  nowMs_ = nowMs ? std::move(nowMs) : std::function<int64_t()>{SteadyMs};
}

void ChatView::SetTextOptions(int textSize, bool timestamps, int dpi) {
  textSize_ = std::clamp(textSize, 0, 2);
  timestamps_ = timestamps;
  dpi_ = dpi > 0 ? dpi : 96;
  metrics_ = ViewMetrics::Build(textSize_, compact_, dpi_);
  scroll_.dpi = dpi_;
  widths_.Clear();
  cache_.Clear();
  Rebuild();
}

void ChatView::SetNameOptions(NameStyle style, bool compact) {
  nameStyle_ = style;
  if (compact != compact_) {
    compact_ = compact;
    metrics_ = ViewMetrics::Build(textSize_, compact_, dpi_);
    widths_.Clear();
    cache_.MarkAllPending();
    RelayoutPending();
    return;
  }
  viewport()->update();
}

void ChatView::SetEmoteOptions(bool animate, bool providerEmotes) {
  animate_ = animate;
  if (providerEmotes != providerEmotes_) {
    providerEmotes_ = providerEmotes;
    cache_.MarkAllPending();
    RelayoutPending();
    return;
  }
  viewport()->update();
}

void ChatView::SetChatPalette(const ChatPalette& palette) {
  palette_ = palette;
  viewport()->update();
}

void ChatView::SetModerationCallbacks(ModerateCallback moderate, CanModerateCallback canModerate) {
  moderate_ = std::move(moderate);
  canModerate_ = std::move(canModerate);
}

void ChatView::SetIgnoreCallback(std::function<void(const plx::ChatMessage&)> ignore) {
  ignore_ = std::move(ignore);
}

void ChatView::SetUserCardCallback(UserCardCallback open) { userCard_ = std::move(open); }

QRect ChatView::RowRectGlobal(int rowIndex) const {
  if (rowIndex < 0 || rowIndex >= static_cast<int>(rows_.size())) return {};
  const RowLayout* layout{CachedLayout(rowIndex)};
  const QRect local{0, scroll_.rowTops[rowIndex] - scroll_.scrollY, viewport()->width(),
                    layout ? layout->height : LineHeightPx()};
  return QRect{viewport()->mapToGlobal(local.topLeft()), local.size()};
}

void ChatView::SetEmptyTexts(const QString& title, const QString& hint) {
  if (title == titleText_ && hint == hintText_) return;
  titleText_ = title;
  hintText_ = hint;
  if (rows_.empty()) viewport()->update();
}

// ---- layout ----------------------------------------------------------------------------------

LayoutInputs ChatView::Inputs() const {
  return LayoutInputs{&metrics_, images_.get(), providerEmotes_ ? lookup_ : PlatformEmoteLookup{},
                      hosts_};
}

ChatView::RowLayout ChatView::BuildLayout(const plx::ChatRow& row, int width) const {
  return vlo::BuildLayout(row, width, Inputs());
}

const ChatView::RowLayout& ChatView::LayoutFor(const plx::ChatRow& row) {
  const uint64_t hash{LayoutCache::Hash(row)};
  if (const RowLayout * cached{cache_.Find(hash)}) return *cached;
  return cache_.Store(hash, BuildLayout(row, viewport()->width()));
}

const ChatView::RowLayout* ChatView::CachedLayout(int rowIndex) const {
  if (rowIndex < 0 || rowIndex >= static_cast<int>(rows_.size())) return nullptr;
  return cache_.Find(LayoutCache::Hash(rows_[rowIndex]));
}

void ChatView::RelayoutAll() {
  const int width{viewport()->width()};
  if (width != layoutWidth_) {
    cache_.Clear();
    layoutWidth_ = width;
  }
  Restack();
  cache_.Prune(rows_);
}

void ChatView::Restack() {
  const int first{metrics_.MulDiv(4)};
  int top{first};
  scroll_.rowTops.resize(rows_.size());
  for (size_t i{0}; i < rows_.size(); ++i) {
    scroll_.rowTops[i] = top;
    top += LayoutFor(rows_[i]).height;
  }
  scroll_.contentHeight = top + metrics_.MulDiv(6);
  scroll_.clientHeight = viewport()->height();
}

std::pair<std::string, int> ChatView::Anchor() const {
  const int index{scroll_.RowAt(0)};
  if (index < 0) return {};
  return {rows_[index].id, scroll_.scrollY - scroll_.rowTops[index]};
}

int ChatView::FindRow(const std::vector<plx::ChatRow>& rows, std::string_view id) {
  for (size_t i{rows.size()}; i-- > 0;) {
    if (rows[i].id == id) return static_cast<int>(i);
  }
  return -1;
}

void ChatView::RestoreAnchor(const std::pair<std::string, int>& anchor) {
  if (const int i{IndexOf(anchor.first)}; i >= 0)
    scroll_.scrollY = scroll_.rowTops[i] + anchor.second;
}

void ChatView::SettleScroll(const std::optional<std::pair<std::string, int>>& anchor) {
  if (scroll_.following) {
    scroll_.scrollY = scroll_.MaxScroll();
  } else if (anchor) {
    RestoreAnchor(*anchor);
  }
  scroll_.scrollY = std::clamp(scroll_.scrollY, 0, scroll_.MaxScroll());
  SyncScrollBar();
  viewport()->update();
}

void ChatView::SetRows(std::vector<plx::ChatRow> rows, std::vector<RowTint> tints) {
  if (paused_) {
    latestRows_ = std::move(rows);
    latestTints_ = std::move(tints);
    ShowHeldRows();
    return;
  }
  ApplyRows(std::move(rows), std::move(tints));
}

void ChatView::ApplyRows(std::vector<plx::ChatRow> rows, std::vector<RowTint> tints) {
  std::optional<std::pair<std::string, int>> anchor;
  if (!scroll_.following && !rows_.empty()) anchor = Anchor();
  if (!scroll_.following && !rows_.empty()) {
    const std::string& lastId{rows_.back().id};
    for (size_t i{rows.size()}; i-- > 0;) {
      if (rows[i].id == lastId) {
        scroll_.newCount += static_cast<int>(rows.size() - (i + 1));
        break;
      }
    }
  }
  const std::string lastId{rows_.empty() ? std::string{} : rows_.back().id};
  rows_ = std::move(rows);
  tints_ = std::move(tints);
  tints_.resize(rows_.size(), RowTint::None);
  RelayoutAll();
  SettleScroll(anchor);
  // The hovered row is the one now under the pointer, which the new list may have moved.
  if (hoverRow_ != -1) hoverRow_ = rows_.empty() ? -1 : scroll_.RowAt(hoverPoint_.y());
  if (accessed_) AnnounceNewRows(lastId);
}

RowTint ChatView::TintOf(int rowIndex) const {
  if (rowIndex < 0 || rowIndex >= static_cast<int>(tints_.size())) return RowTint::None;
  return tints_[rowIndex];
}

// ---- pause on hover --------------------------------------------------------------------------

void ChatView::SetPauseOnHover(bool on, int seconds) {
  pauseOnHover_ = on;
  pauseMs_ = std::max(0, seconds) * 1000;
  if (!on) ReleasePause();
}

void ChatView::PauseUnderPointer() {
  if (!pauseOnHover_ || rows_.empty()) return;
  if (!paused_) {
    if (!scroll_.following) return;
    paused_ = true;
    pausedAfterId_ = rows_.back().id;
    heldCount_ = 0;
    latestRows_ = rows_;
    latestTints_ = tints_;
    viewport()->update();
  }
  if (pauseMs_ > 0) pauseTimer_.start(pauseMs_);
}

void ChatView::ShowHeldRows() {
  const int last{FindRow(latestRows_, pausedAfterId_)};
  if (last < 0) {
    // The row the pause began after is gone (a flood pushed it out, or another list came).
    ReleasePause();
    return;
  }
  const size_t shown{static_cast<size_t>(last) + 1};
  heldCount_ = static_cast<int>(latestRows_.size() - shown);
  std::vector<plx::ChatRow> rows{latestRows_.begin(), latestRows_.begin() + shown};
  std::vector<RowTint> tints{latestTints_.begin(),
                             latestTints_.begin() + std::min(shown, latestTints_.size())};
  ApplyRows(std::move(rows), std::move(tints));
}

void ChatView::ReleasePause(bool keepPlace) {
  pauseTimer_.stop();
  if (!paused_) return;
  paused_ = false;
  const int held{heldCount_};
  heldCount_ = 0;
  pausedAfterId_.clear();
  if (keepPlace) scroll_.following = false;  // the held rows then count as new below
  ApplyRows(std::move(latestRows_), std::move(latestTints_));
  latestRows_.clear();
  latestTints_.clear();
  if (keepPlace) scroll_.newCount = held;
  viewport()->update();
}

ChatView::ReadingPosition ChatView::Position() const {
  ReadingPosition position;
  position.following = scroll_.following;
  if (!scroll_.following && !rows_.empty()) {
    std::tie(position.anchorId, position.offset) = Anchor();
  }
  return position;
}

void ChatView::RestorePosition(const ReadingPosition& position) {
  if (position.following || position.anchorId.empty()) {
    JumpToLatest();
    return;
  }
  scroll_.following = false;
  scroll_.newCount = 0;
  RestoreAnchor({position.anchorId, position.offset});
  scroll_.ScrollTo(scroll_.scrollY);
  SyncScrollBar();
  viewport()->update();
}

void ChatView::RelayoutPending() {
  std::optional<std::pair<std::string, int>> anchor;
  if (!scroll_.following && !rows_.empty()) anchor = Anchor();
  cache_.DropPending();
  RelayoutAll();
  SettleScroll(anchor);
}

void ChatView::Rebuild() { RelayoutPending(); }

// ---- scrolling -------------------------------------------------------------------------------

void ChatView::ScrollTo(int y) {
  scroll_.ScrollTo(y);
  SyncScrollBar();
  viewport()->update();
}

bool ChatView::ScrollToRow(const std::string& id) {
  if (IndexOf(id) < 0) return false;
  ReleasePause(true);
  const int i{IndexOf(id)};  // the waiting rows came, so look again
  const int middle{scroll_.rowTops[i] + LayoutFor(rows_[i]).height / 2};
  scroll_.ScrollTo(middle - scroll_.clientHeight / 2);
  SyncScrollBar();
  viewport()->update();
  return true;
}

void ChatView::JumpToLatest() {
  scroll_.following = true;
  scroll_.newCount = 0;
  scroll_.scrollY = scroll_.MaxScroll();
  SyncScrollBar();
  viewport()->update();
}

void ChatView::SyncScrollBar() {
  syncingScrollBar_ = true;
  QScrollBar* bar{verticalScrollBar()};
  const int max{scroll_.MaxScroll()};
  bar->setRange(0, max);
  bar->setPageStep(std::max(1, scroll_.clientHeight));
  bar->setSingleStep(std::max(1, 2 * LineHeightPx()));
  bar->setValue(scroll_.scrollY);
  bar->setEnabled(max > 0);  // disabled rather than hidden when nothing can scroll
  syncingScrollBar_ = false;
}

void ChatView::OnScrollAction(int action) {
  const int line{LineHeightPx()};
  int target{scroll_.scrollY};
  switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
      target += 2 * line;
      break;
    case QAbstractSlider::SliderSingleStepSub:
      target -= 2 * line;
      break;
    case QAbstractSlider::SliderPageStepAdd:
      target += scroll_.clientHeight - 2 * line;
      break;
    case QAbstractSlider::SliderPageStepSub:
      target -= scroll_.clientHeight - 2 * line;
      break;
    default:
      return;
  }
  verticalScrollBar()->setSliderPosition(std::clamp(target, 0, scroll_.MaxScroll()));
}

// ---- events ----------------------------------------------------------------------------------

bool ChatView::event(QEvent* event) {
  if (event->type() == kImageArrivedEvent) {
    if (!imageTimer_.isActive()) imageTimer_.start();
    return true;
  }
  return QAbstractScrollArea::event(event);
}

bool ChatView::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::Leave) {
    if (!menuOpen_) ReleasePause();
    if (hoverRow_ != -1) {
      hoverRow_ = -1;
      viewport()->update();
    }
    HideTooltip();
  }
  return QAbstractScrollArea::viewportEvent(event);
}

void ChatView::resizeEvent(QResizeEvent*) {
  RelayoutAll();
  if (scroll_.following) scroll_.scrollY = scroll_.MaxScroll();
  scroll_.scrollY = std::clamp(scroll_.scrollY, 0, scroll_.MaxScroll());
  SyncScrollBar();
  viewport()->update();
}

void ChatView::wheelEvent(QWheelEvent* event) {
  if (paused_ && event->angleDelta().y() > 0) ReleasePause(true);
  if (scroll_.Wheel(event->angleDelta().y(), LineHeightPx())) {
    SyncScrollBar();
    viewport()->update();
  }
  event->accept();
}

void ChatView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint point{event->position().toPoint()};
  hoverPoint_ = point;
  const int row{rows_.empty() ? -1 : scroll_.RowAt(point.y())};
  PauseUnderPointer();
  const bool overPill{PillShown() && PillRect().contains(point)};
  viewport()->setCursor(overPill ? Qt::PointingHandCursor : Qt::ArrowCursor);
  if (row != hoverRow_) {
    hoverRow_ = row;
    viewport()->update();
  }
  UpdateTooltip(point);
}

void ChatView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && PillShown() &&
      PillRect().contains(event->position().toPoint())) {
    ReleasePause();
    JumpToLatest();
    return;
  }
  if (event->button() != Qt::LeftButton || !userCard_ || rows_.empty()) return;
  // A click on a viewer row's first line (time, badges and name) opens the author's card.
  const QPoint point{event->position().toPoint()};
  const int index{scroll_.RowAt(point.y())};
  if (index < 0 || !plx::IsViewerMessage(rows_[index])) return;
  const double lineTop{scroll_.rowTops[index] - scroll_.scrollY + metrics_.padTop};
  if (point.y() < lineTop || point.y() >= lineTop + metrics_.lineHeight || point.x() < 4) return;
  userCard_(rows_[index], RowRectGlobal(index));
}

void ChatView::contextMenuEvent(QContextMenuEvent* event) {
  if (event->reason() == QContextMenuEvent::Keyboard) return;
  HideTooltip();
  const int index{rows_.empty() ? -1 : scroll_.RowAt(event->pos().y())};
  // Rows keep waiting while the menu is open, so the row under it stays where it was.
  if (index >= 0) OpenMenuAt(index, event->globalPos());
}

// ---- keyboard --------------------------------------------------------------------------------

int ChatView::FocusRow() const { return focusId_.empty() ? -1 : IndexOf(focusId_); }

void ChatView::MoveFocusRow(int index) {
  if (rows_.empty()) return;
  index = std::clamp(index, 0, static_cast<int>(rows_.size()) - 1);
  focusId_ = rows_[index].id;
  const int top{scroll_.rowTops[index]};
  const int bottom{top + LayoutFor(rows_[index]).height};
  if (top < scroll_.scrollY) {
    ScrollTo(top - metrics_.MulDiv(4));
  } else if (bottom > scroll_.scrollY + scroll_.clientHeight) {
    ScrollTo(bottom - scroll_.clientHeight + metrics_.MulDiv(6));
  }
  viewport()->update();
  if (accessed_) {
    if (QAccessibleInterface * view{QAccessible::queryAccessibleInterface(this)}) {
      if (QAccessibleInterface * row{static_cast<ChatViewAccessible*>(view)->RowInterface(index)}) {
        QAccessibleEvent focus{row, QAccessible::Focus};
        SendAccessibilityEvent(&focus);
      }
    }
  }
}

void ChatView::OpenMenuAt(int index, QPoint globalPos) {
  std::unique_ptr<QMenu> menu{BuildRowMenu(index)};
  if (!menu) return;
  const plx::ChatRow row{rows_[index]};  // the list may be replaced while the menu is open
  menuOpen_ = true;
  QAction* chosen{menu->exec(globalPos)};
  menuOpen_ = false;
  if (!viewport()->underMouse()) ReleasePause();
  if (chosen) RunRowCommand(row, chosen->data().toInt());
}

void ChatView::keyPressEvent(QKeyEvent* event) {
  if (rows_.empty()) {
    QAbstractScrollArea::keyPressEvent(event);
    return;
  }
  const int last{static_cast<int>(rows_.size()) - 1};
  int current{FocusRow()};
  if (current < 0) current = std::clamp(scroll_.RowAt(scroll_.clientHeight - 1), 0, last);
  const int page{std::max(1, scroll_.clientHeight / std::max(1, 2 * LineHeightPx()))};
  switch (event->key()) {
    case Qt::Key_Up:
      MoveFocusRow(FocusRow() < 0 ? current : current - 1);
      break;
    case Qt::Key_Down:
      MoveFocusRow(FocusRow() < 0 ? current : current + 1);
      if (FocusRow() == last) JumpToLatest();
      break;
    case Qt::Key_PageUp:
      MoveFocusRow(current - page);
      break;
    case Qt::Key_PageDown:
      MoveFocusRow(current + page);
      break;
    case Qt::Key_Home:
      MoveFocusRow(0);
      break;
    case Qt::Key_End:
      MoveFocusRow(last);
      JumpToLatest();
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Menu: {
      MoveFocusRow(current);
      const QRect rect{RowRectGlobal(current)};
      OpenMenuAt(current, QPoint{rect.left() + metrics_.MulDiv(24), rect.top() + LineHeightPx()});
      break;
    }
    default:
      QAbstractScrollArea::keyPressEvent(event);
      return;
  }
  event->accept();
}

void ChatView::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  viewport()->update();
}

void ChatView::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  viewport()->update();
}

void ChatView::SendAccessibilityEvent(QAccessibleEvent* event) {
  if (accessibilitySink_) {
    accessibilitySink_(event);
  } else {
    QAccessible::updateAccessibility(event);
  }
}

void ChatView::AnnounceNewRows(const std::string& lastId) {
  auto* view{static_cast<ChatViewAccessible*>(QAccessible::queryAccessibleInterface(this))};
  if (!view) return;
  view->Prune();
  if (lastId.empty()) return;
  const int previousLast{IndexOf(lastId)};
  if (previousLast < 0) return;  // the last row is gone: a new list, not new rows
  size_t from{static_cast<size_t>(previousLast) + 1};
  // A burst is told by its newest rows only.
  constexpr size_t kMostTold{10};
  from = std::max(from, rows_.size() > kMostTold ? rows_.size() - kMostTold : size_t{0});
  for (size_t i{from}; i < rows_.size(); ++i) {
    QAccessibleInterface* row{view->RowInterface(static_cast<int>(i))};
    if (!row) continue;
    QAccessibleEvent created{row, QAccessible::ObjectCreated};
    SendAccessibilityEvent(&created);
  }
  if (readAloud_ && from < rows_.size()) {
    // Screen readers read a changed description of the list without taking the focus.
    setAccessibleDescription(AccessibleRowText(rows_.back()));
    QAccessibleEvent changed{view, QAccessible::DescriptionChanged};
    SendAccessibilityEvent(&changed);
  }
}

// ---- tooltip ---------------------------------------------------------------------------------

QString ChatView::EmoteTooltipAt(QPoint point) const {
  const int index{rows_.empty() ? -1 : scroll_.RowAt(point.y())};
  const RowLayout* layout{CachedLayout(index)};
  if (!layout) return {};
  const QPointF origin{layout->bodyLeft,
                       scroll_.rowTops[index] - scroll_.scrollY + layout->bodyTop};
  for (auto it{layout->emotes.rbegin()}; it != layout->emotes.rend(); ++it) {
    const QRectF rect{it->rect.translated(origin)};
    if (point.x() >= rect.left() && point.x() < rect.right() && point.y() >= rect.top() &&
        point.y() < rect.bottom()) {
      return it->tooltip;
    }
  }
  return {};
}

void ChatView::UpdateTooltip(QPoint point) {
  const QString text{EmoteTooltipAt(point)};
  if (!text.isEmpty()) {
    tooltipText_ = text;
    const QPoint offset{metrics_.MulDiv(14), metrics_.MulDiv(18)};
    QToolTip::showText(viewport()->mapToGlobal(point + offset), text, viewport());
  } else if (!tooltipText_.isEmpty()) {
    tooltipText_.clear();
    QToolTip::hideText();
  }
}

void ChatView::HideTooltip() { UpdateTooltip(QPoint{-1000, -1000}); }

// ---- painting --------------------------------------------------------------------------------

bool ChatView::PillShown() const { return !rows_.empty() && (paused_ || !scroll_.following); }

QRect ChatView::PillRect() const {
  const int width{
      metrics_.MulDiv(scroll_.newCount <= 0 && !(paused_ && heldCount_ > 0) ? 130 : 170)};
  const int height{metrics_.MulDiv(28)};
  const QSize client{viewport()->size()};
  return QRect{(client.width() - width) / 2, client.height() - metrics_.MulDiv(12) - height, width,
               height};
}

QString ChatView::PillText() const {
  return QString::fromUtf8(paused_ ? PausedPillText(heldCount_) : JumpPillText(scroll_.newCount));
}

void ChatView::paintEvent(QPaintEvent*) {
  QPainter painter{viewport()};
  const QSize client{viewport()->size()};
  painter.fillRect(QRect{QPoint{}, client}, ToQColor(palette_.chatBg));
  bool animated{false};
  if (rows_.empty()) {
    PaintEmpty(painter);
  } else {
    RowPaintContext context{metrics_,       palette_,    UiKit::Palette().borderSoft,
                            nameStyle_,     timestamps_, animate_,
                            client.width(), nowMs_(),    images_.get(),
                            widths_,        bitmaps_};
    for (int i{std::max(0, scroll_.RowAt(0))}; i < static_cast<int>(rows_.size()); ++i) {
      const int top{scroll_.rowTops[i] - scroll_.scrollY};
      if (top > client.height()) break;
      const RowLayout& layout{LayoutFor(rows_[i])};
      if (top + layout.height >= 0) {
        painter.save();
        animated = PaintRow(painter, rows_[i], layout, top, i == hoverRow_, tints_[i], context) ||
                   animated;
        painter.restore();
      }
    }
    const int focused{hasFocus() ? FocusRow() : -1};
    if (focused >= 0) {
      const QRect rect{0, scroll_.rowTops[focused] - scroll_.scrollY, client.width(),
                       LayoutFor(rows_[focused]).height};
      painter.setRenderHint(QPainter::Antialiasing, false);
      painter.setPen(QPen{ToQColor(kFocusMark), 2.0});
      painter.setBrush(Qt::NoBrush);
      painter.drawRect(rect.adjusted(1, 1, -1, -1));
    }
    if (PillShown()) PaintPill(painter);
  }
  if (animated && !animationTimer_.isActive()) animationTimer_.start();
  if (!animated && animationTimer_.isActive()) animationTimer_.stop();
}

void ChatView::PaintEmpty(QPainter& painter) {
  const QSize client{viewport()->size()};
  const double middle{client.height() / 2.0};
  painter.setFont(metrics_.name);
  painter.setPen(ToQColor(palette_.textSecondary));
  QRectF titleBox{metrics_.Px(16), middle - metrics_.Px(30), client.width() - metrics_.Px(32),
                  metrics_.lineHeight};
  painter.drawText(
      titleBox, Qt::AlignCenter | Qt::TextSingleLine,
      QFontMetricsF{metrics_.name}.elidedText(titleText_, Qt::ElideRight, titleBox.width()));
  painter.setFont(metrics_.hint);
  painter.setPen(ToQColor(palette_.textMuted));
  painter.drawText(QRectF{metrics_.Px(24), middle + metrics_.Px(4),
                          client.width() - metrics_.Px(48), metrics_.Px(120)},
                   Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, hintText_);
}

void ChatView::PaintPill(QPainter& painter) {
  const QRect pill{PillRect()};
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(ToQColor(UiKit::Palette().accent));
  painter.drawRoundedRect(QRectF{pill}, pill.height() / 2.0, pill.height() / 2.0);
  painter.setFont(metrics_.small);
  painter.setPen(ToQColor(kWhite));
  painter.drawText(pill, Qt::AlignCenter | Qt::TextSingleLine, PillText());
}

}  // namespace vlo
