#pragma once

#include <QAbstractScrollArea>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/ChatMessage.h"
#include "core/ModAction.h"
#include "ui/chatview/EmoteBitmaps.h"
#include "ui/chatview/LayoutCache.h"
#include "ui/chatview/RowLayout.h"
#include "ui/chatview/RowPainter.h"
#include "ui/chatview/ScrollModel.h"
#include "ui/chatview/ViewMetrics.h"
#include "ui/themes/RowStyle.h"

class QAccessibleEvent;
class QMenu;

namespace vlo {

class ChatImageSource;
class EmoteRegistry;
class ImageCache;

// The chat rows, newest at the bottom: layout, painting, emote animation, scrolling with the
// follow-the-bottom rule and the jump pill, hover, emote tooltips and the row menu.
// Window thread only, except ArrivalCallback().
class ChatView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  using RowLayout = vlo::RowLayout;
  // Moderation asked for from the row menu; the int is 0, or the time-out in seconds.
  using ModerateCallback = std::function<void(const plx::ChatMessage&, ModAction, int)>;
  using CanModerateCallback = std::function<bool(plx::PlatformId)>;

  // Row menu commands.
  enum Command : int {
    kDelete = 1,
    kTimeout1m = 2,
    kTimeout10m = 3,
    kTimeout1h = 4,
    kTimeout24h = 5,
    kBan = 6,
    kCopyMessage = 7,
    kCopyName = 8,
    kIgnoreUser = 9,
    kUserCard = 10,
  };

  explicit ChatView(QWidget* parent = nullptr);
  ~ChatView() override;

  // Replaces the whole list, keeping the reading position when scrolled up. `tints` runs beside
  // `rows` (missing entries mean none). While paused, rows after the last one shown wait.
  void SetRows(std::vector<plx::ChatRow> rows, std::vector<RowTint> tints = {});
  // Shown while there are no rows.
  void SetEmptyTexts(const QString& title, const QString& hint);
  void JumpToLatest();

  // Each rebuilds what it must and repaints.
  void SetTextOptions(int textSize, bool timestamps, int dpi);
  void SetNameOptions(NameStyle style, bool compact);
  void SetEmoteOptions(bool animate, bool providerEmotes);
  void SetChatPalette(const ChatPalette& palette);
  void SetModerationCallbacks(ModerateCallback moderate, CanModerateCallback canModerate);
  // "Ignore user" in the row menu; without a callback the menu does not offer it.
  void SetIgnoreCallback(std::function<void(const plx::ChatMessage&)> ignore);
  // A click on a viewer row's name line, or "User card" in its menu: the row and the row's
  // rectangle in global coordinates. Without a callback neither is offered.
  using UserCardCallback = std::function<void(const plx::ChatRow&, const QRect&)>;
  void SetUserCardCallback(UserCardCallback open);
  // The row's rectangle in global coordinates (empty for an index out of range).
  QRect RowRectGlobal(int rowIndex) const;
  // The program's sources: catalogue words from `registry` (may be null) and images from `cache`
  // (may be null: emotes then show as their codes). Both must outlive the view or be replaced.
  void SetImageSources(const EmoteRegistry* registry, ImageCache* cache);
  // Any other image source and word lookup (tools and tests).
  void SetImageSource(std::shared_ptr<ChatImageSource> images, PlatformEmoteLookup lookup,
                      NativeImageHosts hosts = {});
  // For the image cache's arrival callback: callable from any thread, also after the view is
  // gone; posts one image-arrived event to the view.
  std::function<void()> ArrivalCallback() const;
  // Monotonic milliseconds that pick animation frames; the steady clock unless replaced.
  void SetAnimationClock(std::function<int64_t()> nowMs);

  RowLayout BuildLayout(const plx::ChatRow& row, int width) const;
  void RelayoutAll();
  // Drops pending layouts and lays out again, keeping the reading position.
  void RelayoutPending();
  void ScrollTo(int y);
  // Puts the row with this id in the middle of the view (no longer following the bottom); false
  // when the list does not hold it.
  bool ScrollToRow(const std::string& id);

  // Pause on hover: while the pointer moves over the rows at the bottom, new rows wait (counted
  // in the pill) and nothing moves; they come when the pointer leaves, when it has rested for
  // `seconds` (0: only when it leaves), on a scroll or a click on the pill.
  void SetPauseOnHover(bool on, int seconds);
  bool Paused() const { return paused_; }

  // Keyboard reading: the row the arrow keys are on (by id, so it stays on its row while the list
  // moves), or -1.
  int FocusRow() const;
  // New rows are offered to assistive technology as they come (screen readers read them).
  void SetReadAloud(bool on) { readAloud_ = on; }
  // Set once assistive technology has asked for the view's accessible interface; until then new
  // rows cost nothing extra.
  void MarkAccessed() { accessed_ = true; }
  // Where the view's accessibility events go: QAccessible::updateAccessibility unless replaced
  // (tests, which have no screen reader to switch Qt's own delivery on).
  void SetAccessibilityEventSink(std::function<void(QAccessibleEvent*)> sink) {
    accessibilitySink_ = std::move(sink);
  }
  int HeldCount() const { return heldCount_; }
  // Shows the waiting rows; with keepPlace, the view stays where it is and counts them as new.
  void ReleasePause(bool keepPlace = false);

  // Where the reader is, to come back to after a temporary list (a search).
  struct ReadingPosition {
    bool following{true};
    std::string anchorId;
    int offset{0};
  };
  ReadingPosition Position() const;
  // After SetRows with a list that holds the anchor row again.
  void RestorePosition(const ReadingPosition& position);

  // The row menu for a row, or none; the actions carry their Command in data().
  std::unique_ptr<QMenu> BuildRowMenu(int rowIndex);
  void RunRowCommand(const plx::ChatRow& row, int command);

  // Read-only state for the main window and tests.
  const std::vector<plx::ChatRow>& Rows() const { return rows_; }
  // The index of the row with this id in `rows` (searched from the newest), or -1.
  static int FindRow(const std::vector<plx::ChatRow>& rows, std::string_view id);
  int IndexOf(std::string_view id) const { return FindRow(rows_, id); }
  RowTint TintOf(int rowIndex) const;
  const ScrollModel& Scroll() const { return scroll_; }
  const ViewMetrics& Metrics() const { return metrics_; }
  const RowLayout* CachedLayout(int rowIndex) const;
  size_t LayoutCacheSize() const { return cache_.Size(); }
  int HoverRow() const { return hoverRow_; }
  bool Animating() const { return animationTimer_.isActive(); }
  bool ImageTimerPending() const { return imageTimer_.isActive(); }
  bool PillShown() const;
  QRect PillRect() const;
  QString PillText() const;
  QString TooltipText() const { return tooltipText_; }
  // The emote under a client point (overlays first), or empty.
  QString EmoteTooltipAt(QPoint clientPoint) const;
  int LineHeightPx() const { return static_cast<int>(metrics_.lineHeight); }

 protected:
  bool event(QEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  struct ArrivalTarget;

  LayoutInputs Inputs() const;
  const RowLayout& LayoutFor(const plx::ChatRow& row);
  void Restack();
  void SyncScrollBar();
  void UpdateTooltip(QPoint clientPoint);
  void HideTooltip();
  void OnScrollAction(int action);
  void PaintEmpty(QPainter& painter);
  void PaintPill(QPainter& painter);
  void Rebuild();
  void ApplyRows(std::vector<plx::ChatRow> rows, std::vector<RowTint> tints);
  // While paused: the waiting list up to the last row shown when the pause began.
  void ShowHeldRows();
  void PauseUnderPointer();
  void MoveFocusRow(int index);
  void OpenMenuAt(int index, QPoint globalPos);
  // Tells assistive technology of rows that came after `lastId`.
  void AnnounceNewRows(const std::string& lastId);
  void SendAccessibilityEvent(QAccessibleEvent* event);
  // Anchor row id and offset for keeping the reading position across a relayout.
  std::pair<std::string, int> Anchor() const;
  void RestoreAnchor(const std::pair<std::string, int>& anchor);
  // After a relayout: keeps following the bottom, or puts the anchor row back where it was.
  void SettleScroll(const std::optional<std::pair<std::string, int>>& anchor);

  std::vector<plx::ChatRow> rows_;
  std::vector<RowTint> tints_;
  ScrollModel scroll_;
  LayoutCache cache_;
  int layoutWidth_{-1};
  int hoverRow_{-1};
  QPoint hoverPoint_;  // where the pointer was last seen over the rows

  ViewMetrics metrics_;
  int textSize_{1};
  bool timestamps_{true};
  NameStyle nameStyle_{NameStyle::Viewer};
  bool compact_{false};
  bool animate_{true};
  bool providerEmotes_{true};
  int dpi_{96};
  ChatPalette palette_;

  std::shared_ptr<ChatImageSource> images_;
  PlatformEmoteLookup lookup_;
  NativeImageHosts hosts_;
  EmoteBitmaps bitmaps_;
  TextWidths widths_;
  std::function<int64_t()> nowMs_;

  QString titleText_{QStringLiteral("No messages yet")};
  QString hintText_;
  QString tooltipText_;
  ModerateCallback moderate_;
  CanModerateCallback canModerate_;
  std::function<void(const plx::ChatMessage&)> ignore_;
  UserCardCallback userCard_;

  std::string focusId_;
  bool readAloud_{false};
  bool accessed_{false};
  std::function<void(QAccessibleEvent*)> accessibilitySink_;
  bool pauseOnHover_{false};
  int pauseMs_{0};
  bool paused_{false};
  bool menuOpen_{false};
  std::string pausedAfterId_;  // the last row shown when the pause began
  int heldCount_{0};
  std::vector<plx::ChatRow> latestRows_;  // while paused: the whole list, waiting rows included
  std::vector<RowTint> latestTints_;
  QTimer pauseTimer_;  // one-shot: the pointer rested long enough

  QTimer animationTimer_;  // 33 ms while an animated emote is visible
  QTimer imageTimer_;      // one-shot 120 ms after an image arrival
  bool syncingScrollBar_{false};
  std::shared_ptr<ArrivalTarget> arrival_;
};

}  // namespace vlo
