#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <array>
#include <atomic>
#include <filesystem>
#include <memory>
#include <set>
#include <string>

#include "core/Accounts.h"
#include "core/ChatHub.h"
#include "core/ChatSettings.h"
#include "core/Endpoints.h"
#include "emotes/EmoteRegistry.h"
#include "emotes/ImageCache.h"
#include "ui/mainwindow/HeaderModel.h"
#include "ui/mainwindow/PostTarget.h"
#include "ui/toolkit/UiKit.h"

namespace vlo {

class ChatView;

// The program's main window: owns the long-lived components, paints the header with one pill
// per platform and the pin and gear buttons, hosts the chat view, and brings worker results
// back to the window thread as posted events. Window thread only unless a member says otherwise.
class ChatWindow : public QWidget {
  Q_OBJECT

 public:
  struct Options {
    std::string profile;
    std::filesystem::path dataFolder;
    Endpoints endpoints;
    // Targets for this run instead of the stored ones (not saved).
    std::optional<ChatTargets> targetOverride;
    // Registers each platform's reader with the hub before it starts.
    std::function<void(ChatHub&)> registerReaders;
    // Not owned; when null the window reads anonymously.
    AccountOperations* accounts{nullptr};
    // False leaves the settings file untouched (a screenshot run beside a running instance).
    bool saveSettings{true};
  };

  explicit ChatWindow(Options options);
  ~ChatWindow() override;

  // Places and shows the window, then starts the hub.
  void Open();

  // State for tests and the screenshot mode.
  ChatHub& Hub() { return *hub_; }
  ChatView& View() { return *view_; }
  const ChatSettings& StoredSettings() const { return stored_; }
  const std::array<PlatformStatus, 3>& Statuses() const { return statuses_; }
  int Filter() const { return stored_.filter; }
  int RefreshCount() const { return refreshCount_; }
  int HotItem() const { return hot_; }
  const WindowLayout& Layout() const { return layout_; }
  QString TooltipFor(int item) const;
  int WindowAlpha() const { return alpha_; }

  // Header actions, also used by tests.
  void ClickItem(int item);
  void ApplySettings(const ChatSettings& settings);
  // Handles the reports of finished emote fetches (normally on the posted event).
  void ReportEmoteFetches();
  void RefreshFromHub();

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void DoLayout();
  void ClearHot();
  void RefreshRows();
  void PaintHeader(QPainter& painter);
  void SetOnTop(bool onTop);
  void RecordPlacement();
  void Save();

  Options options_;
  ChatSettings stored_;
  ChatSettings applied_;
  NoAccounts noAccounts_;
  std::unique_ptr<ChatHub> hub_;
  std::unique_ptr<ImageCache> images_;
  std::unique_ptr<EmoteRegistry> emotes_;
  UiKit kit_;
  ChatView* view_{nullptr};  // child widget, owned by Qt

  std::shared_ptr<PostTarget> poster_;
  std::atomic<bool> hubChangePending_{false};    // set by worker threads, cleared on refresh
  std::atomic<bool> emoteReportPending_{false};  // likewise for emote reports

  std::array<PlatformStatus, 3> statuses_{};
  uint64_t seenRevision_{~uint64_t{0}};
  std::vector<plx::ChatRow> rows_;
  std::string requestedTwitchChannel_;
  std::string requestedKickChannel_;
  std::set<std::string> failedProviders_;
  WindowLayout layout_;
  int hot_{kItemNone};
  int refreshCount_{0};
  // Refreshes are spaced at least a frame apart; a change inside that time waits for the timer.
  QElapsedTimer sinceRefresh_;
  QTimer refreshTimer_;
  int alpha_{255};
  bool opened_{false};
};

}  // namespace vlo
