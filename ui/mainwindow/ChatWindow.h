#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <array>
#include <atomic>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "accounts/AccountService.h"
#include "accounts/SecretStore.h"
#include "core/ChatHub.h"
#include "core/ChatSettings.h"
#include "core/Endpoints.h"
#include "core/ModAction.h"
#include "core/UserHistory.h"
#include "emotes/EmoteRegistry.h"
#include "emotes/ImageCache.h"
#include "logs/ChatLogWriter.h"
#include "overlay/OverlayServer.h"
#include "ui/chatview/ChatView.h"
#include "ui/mainwindow/HeaderModel.h"
#include "ui/mainwindow/PostTarget.h"
#include "ui/mainwindow/UpdateBanner.h"
#include "ui/mainwindow/UpdateOptions.h"
#include "ui/rules/RowMarker.h"
#include "ui/settings/SettingsHost.h"
#include "ui/toolkit/UiKit.h"
#include "updater/UpdateRelease.h"

class QMenu;

namespace vlo {

class AlertSound;
class ComposeBar;
class DesktopNotifier;
class SearchBar;
class SettingsWindow;
class UserCard;

// The program's main window: owns the long-lived components (secret store, account service, hub,
// image cache, emote catalogue), paints the header with one pill per platform, the pin and gear
// buttons and the update banner, hosts the chat view and the compose bar, opens the settings
// window, checks for updates and hands over to the installer, and brings worker results back to
// the window thread as posted events. Window thread only unless a member
// says otherwise.
class ChatWindow : public QWidget, public SettingsHost {
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
    // Opens the portal's sign-in page in the user's browser.
    UrlOpener openUrl;
    // False leaves the settings file untouched (a screenshot run beside a running instance).
    bool saveSettings{true};
    // False never starts the overlay server (a screenshot run beside a running instance).
    bool serveOverlay{true};
    // False sends no desktop notifications (a screenshot run).
    bool notify{true};
    // False never writes chat logs (a screenshot run beside a running instance).
    bool keepLogs{true};
    UpdateOptions update;
  };

  explicit ChatWindow(Options options);
  ~ChatWindow() override;

  // Places and shows the window, then starts the hub.
  void Open();

  // --- SettingsHost ---
  PlatformStatus GetStatus(plx::PlatformId platform) override;
  std::optional<plx::PlatformId> PendingSignIn() override;
  void StartSignIn(plx::PlatformId platform) override;
  void SignOut(plx::PlatformId platform) override;
  void CancelSignIn() override;
  void ApplySettings(const ChatSettings& settings) override;
  plx::OAuthClients OwnApps() override;
  void SetOwnApp(plx::PlatformId platform, std::optional<plx::OAuthClient> client) override;
  void SetRedirectPort(int port) override;
  std::optional<SignInPrompt> CurrentPrompt() override;
  void OpenLogsFolder() override;

  // State for tests and the screenshot mode.
  ChatHub& Hub() { return *hub_; }
  AccountService& Accounts() { return *accounts_; }
  ChatView& View() { return *view_; }
  ComposeBar& Compose() { return *compose_; }
  SettingsWindow* Settings() { return settings_.get(); }
  const ChatSettings& StoredSettings() const { return stored_; }
  const std::array<PlatformStatus, 3>& Statuses() const { return statuses_; }
  const OverlayServer* Overlay() const { return overlay_.get(); }
  ChatLogWriter* Logs() { return logs_.get(); }
  int Filter() const { return stored_.filter; }
  int RefreshCount() const { return refreshCount_; }
  int HotItem() const { return hot_; }
  // The header item the keyboard is on (Left and Right move it, Enter or Space acts).
  int KeyItem() const { return keyItem_; }
  const WindowLayout& Layout() const { return layout_; }
  QString TooltipFor(int item) const;
  int WindowAlpha() const { return alpha_; }

  // Header actions, also used by tests.
  void ClickItem(int item);
  // Handles the reports of finished emote fetches (normally on the posted event).
  void ReportEmoteFetches();
  void RefreshFromHub();

  // Compose bar actions, also used by tests.
  void SendCompose();
  void ShowTargetMenu();
  // The send-target menu as ShowTargetMenu offers it, and acting on its choice 1..4.
  std::unique_ptr<QMenu> TargetMenu();
  void ChooseSendTarget(int choice);
  // Runs the moderation on a background task and reports it with a system line.
  void Moderate(const plx::ChatMessage& message, ModAction action, int seconds);
  // Opens the settings window over this one (it closes by itself).
  void OpenSettings();

  // --- Highlights, the mentions view and search (ChatWindowHighlights.cpp), also for tests ---
  void SetMentionsOnly(bool on);
  bool MentionsOnly() const { return mentionsOnly_; }
  // Highlighted rows that arrived while the mentions view was not shown.
  int UnseenHighlights() const { return unseenHighlights_; }
  // Rows held now that stand out, and rows the ignore rules hide.
  int HighlightCount() const { return highlightCount_; }
  int HiddenCount() const { return hiddenCount_; }
  void OpenSearch();
  // Restores the whole chat at the place it was read before the search.
  void CloseSearch();
  SearchBar* Search() const { return search_; }
  DesktopNotifier* Notifier() const { return notifier_.get(); }
  AlertSound* Sound() const { return sound_.get(); }
  // Brings the window to the front with the row in view (a clicked notification).
  void ShowRow(const std::string& rowId);
  // Hides the row's author on its platform from now on (the row menu's "Ignore user").
  void IgnoreAuthor(const plx::ChatMessage& row);
  // The card of the row's author beside `anchor` (global coordinates).
  void OpenUserCard(const plx::ChatRow& row, const QRect& anchor);
  UserCard* Card() const { return card_; }
  const UserHistory& History() const { return history_; }

  // --- Updates (ChatWindowUpdate.cpp), also used by tests ---
  // Timer 1 fired: sets it again for six hours and checks.
  void OnUpdateTimer();
  // Starts a check on a background task unless one is running or an install is under way.
  void CheckForUpdate();
  // The banner's click: opens the product page for a copy that was not installed; otherwise asks,
  // then downloads, verifies and starts the installer on a background task.
  void StartUpdate();
  UpdateState CurrentUpdateState() const { return updateState_; }
  // The newer release the banner offers.
  const std::optional<plx::UpdateRelease>& KnownRelease() const { return release_; }
  const QTimer& UpdateTimer() const { return updateTimer_; }
  // Why the last install attempt did not start the installer (empty when it did).
  std::string LastInstallError() const;
  int LayoutCount() const { return layoutCount_; }

  // Runs `task` on a thread of its own; the window waits for every task before it goes.
  void RunInBackground(std::function<void()> task);
  // Waits for every background task started so far (tests).
  void WaitForBackgroundTasks();

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void DoLayout();
  void UpdateComposeBar();
  void RestartInBackground(plx::PlatformId platform);
  void OnSignInFinished(const plx::OAuthLoginResult& result);
  // Has the sign-in worker post its prompts to this window.
  void WatchSignInPrompts();
  // Opens the prompt's page in the browser, unless that sign-in already ended.
  void OnSignInPrompt(QEvent* event);
  void SettingsClosed(bool saved, const ChatSettings& chosen);
  void ClearHot();
  void RefreshRows();
  void PaintHeader(QPainter& painter);
  void SetOnTop(bool onTop);
  // Starts, restarts or stops the overlay server for `settings`; a port that cannot be used is
  // told in the chat.
  void ServeOverlay(const ChatSettings& settings);
  void InitHighlights();
  // Compiles the rules of `settings` with the signed-in names; rows are marked again.
  void ApplyRules(const ChatSettings& settings);
  // Whether the signed-in account may moderate the platform's chat.
  bool CanModerate(plx::PlatformId platform) const;
  // Reads the signed-in names and recompiles the rules when a sign-in or sign-out changed them.
  void WatchIdentities();
  // Sound and notification for a row never seen before, while the window is not active.
  void OnFreshRow(const plx::ChatRow& row, const RowMark& mark);
  void PaintMentionsButton(QPainter& painter);
  // Starts or stops the chat logs for `settings` (ChatWindowLogs.cpp).
  void KeepChatLogs(const ChatSettings& settings);
  void RecordPlacement();
  void Save();
  void RepaintHeader();

  // What the update tasks share with the window (the update lock and what it guards, the
  // check-running and closing flags); defined in ChatWindowUpdate.cpp.
  struct UpdateShared;
  void InitUpdates();
  // Sets the closing flag, which stops a download under way.
  void MarkClosing();
  void HandleUpdateEvent(QEvent* event);
  void OnUpdateCheckFinished();
  void OnInstallFinished(bool started);
  plx::UpdateSite Site() const;
  bool BannerShown() const { return updateState_ != UpdateState::None; }
  void PaintBanner(QPainter& painter);

  Options options_;
  ChatSettings stored_;
  ChatSettings applied_;
  std::unique_ptr<SecretStore> store_;
  std::unique_ptr<AccountService> accounts_;
  std::unique_ptr<ChatHub> hub_;
  std::unique_ptr<ImageCache> images_;
  std::unique_ptr<EmoteRegistry> emotes_;
  std::unique_ptr<OverlayServer> overlay_;  // while the overlay is on and listening
  std::unique_ptr<ChatLogWriter> logs_;     // while the chat logs are on
  UiKit kit_;
  ChatView* view_{nullptr};  // child widget, owned by Qt
  std::unique_ptr<ComposeBar> compose_;
  std::unique_ptr<SettingsWindow> settings_;

  RowMarker marker_;
  UserHistory history_;
  UserCard* card_{nullptr};           // child popup, owned by Qt
  std::vector<Identity> identities_;  // the signed-in names, read from the store
  std::string watchedNames_;          // the statuses' sign-in state they were read at
  bool mentionsOnly_{false};
  int unseenHighlights_{0};
  int highlightCount_{0};
  int hiddenCount_{0};
  SearchBar* search_{nullptr};  // child widget, owned by Qt
  QString query_;               // case-folded
  ChatView::ReadingPosition beforeSearch_;
  std::unique_ptr<DesktopNotifier> notifier_;
  std::unique_ptr<AlertSound> sound_;

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
  int keyItem_{kItemTwitch};
  int refreshCount_{0};
  // Refreshes are spaced at least a frame apart; a change inside that time waits for the timer.
  QElapsedTimer sinceRefresh_;
  QTimer refreshTimer_;
  int alpha_{255};
  bool opened_{false};
  int layoutCount_{0};

  UpdateState updateState_{UpdateState::None};
  std::optional<plx::UpdateRelease> release_;
  std::shared_ptr<UpdateShared> updateShared_;  // shared with the update tasks
  QTimer updateTimer_;                          // timer 1: the update check

  std::mutex tasksLock_;  // guards tasks_; taken on the window thread only
  std::vector<std::future<void>> tasks_;
};

}  // namespace vlo
