#include "ui/mainwindow/ChatWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QToolTip>
#include <algorithm>

#include "actions/Actions.h"
#include "core/AppPaths.h"
#include "emotes/EmoteTypes.h"
#include "ui/chatview/ChatView.h"
#include "ui/mainwindow/AlertSound.h"
#include "ui/mainwindow/ComposeBar.h"
#include "ui/mainwindow/ComposeModel.h"
#include "ui/mainwindow/DesktopNotifier.h"
#include "ui/mainwindow/HeaderIcons.h"
#include "ui/mainwindow/SearchBar.h"
#include "ui/settings/SettingsWindow.h"
#include "ui/themes/RowStyle.h"
#include "ui/themes/Theme.h"
#include "ui/toolkit/Drawing.h"
#include "ui/toolkit/KitColors.h"

namespace vlo {

namespace {

constexpr Rgb kIconColor{Hex(0xC8C2D0)};
// The shortest time between two refreshes from the hub: a busy chat changes the hub hundreds of
// times a second, and nobody sees more than a frame's worth of them.
constexpr int kMinRefreshIntervalMs = 33;

QString Q(const std::string& text) { return QString::fromStdString(text); }

const char* PillTitle(int i) {
  static constexpr const char* kTitles[] = {"Twitch", "YouTube", "Kick"};
  return kTitles[i];
}

// Carries a finished sign-in from the sign-in worker to the window thread.
class SignInFinished final : public QEvent {
 public:
  explicit SignInFinished(plx::OAuthLoginResult result)
      : QEvent{kSignInFinishedEvent}, result_{std::move(result)} {}
  const plx::OAuthLoginResult& Result() const { return result_; }

 private:
  plx::OAuthLoginResult result_;
};

size_t Slot(plx::PlatformId platform) {
  return platform == plx::PlatformId::YouTube ? 1 : platform == plx::PlatformId::Kick ? 2 : 0;
}

}  // namespace

ChatWindow::ChatWindow(Options options)
    : options_{std::move(options)}, poster_{std::make_shared<PostTarget>(this)} {
  std::optional<std::string> settingsProblem;
  stored_ = LoadChatSettings(options_.dataFolder, &settingsProblem);
  applied_ = stored_;

  // Throws when the data folder cannot be created; the caller reports it.
  store_ = std::make_unique<SecretStore>(options_.dataFolder);
  accounts_ = std::make_unique<AccountService>(*store_, options_.endpoints, options_.openUrl);
  accounts_->SetRedirectPort(stored_.ownAppRedirectPort);
  hub_ = std::make_unique<ChatHub>(*accounts_);
  hub_->SetTargets(options_.targetOverride.value_or(
      ChatTargets{stored_.twitchChannel, stored_.kickChannel, stored_.youtubeTarget}));
  hub_->SetShowAlerts(stored_.showAlerts);
  if (options_.registerReaders) options_.registerReaders(*hub_);
  // A settings file that could not be read is kept aside by the first save; the user hears of it
  // once, in the chat. A window that saves nothing leaves the file alone and says nothing.
  if (settingsProblem && options_.saveSettings) {
    hub_->PostSystemLine(plx::PlatformId::Twitch, *settingsProblem);
  }
  images_ = std::make_unique<ImageCache>(options_.dataFolder / "emotes", 4);
  emotes_ = std::make_unique<EmoteRegistry>(options_.endpoints);

  setWindowTitle(Q(MakeWindowTitle(options_.profile)));
  setWindowIcon(AppIcon());
  setMinimumSize(kMinWindowWidth, kMinWindowHeight);
  setMouseTracking(true);
  setFocusPolicy(Qt::TabFocus);
  setAccessibleName(QStringLiteral("Velaro Chat"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  kit_.InitForWindow(this);

  view_ = new ChatView{this};
  // The header gets no leave event when the pointer goes straight into the view, a child.
  view_->installEventFilter(this);
  view_->SetImageSources(emotes_.get(), images_.get());
  images_->SetOnArrival(view_->ArrivalCallback());
  // Called on catalogue worker threads.
  emotes_->SetOnChange(
      [poster = poster_, this] { poster->PostCoalesced(kEmoteReportsEvent, emoteReportPending_); });
  view_->SetModerationCallbacks([this](const plx::ChatMessage& message, ModAction action,
                                       int seconds) { Moderate(message, action, seconds); },
                                [this](plx::PlatformId platform) { return CanModerate(platform); });
  if (stored_.thirdPartyEmotes) emotes_->FetchGlobals();

  InitHighlights();
  compose_ = std::make_unique<ComposeBar>(this, kit_);
  compose_->SetOnSend([this] { SendCompose(); });
  compose_->SetOnTargetMenu([this] { ShowTargetMenu(); });
  settings_ = std::make_unique<SettingsWindow>(this, *this, HostOf(options_.endpoints.portal));

  // Called on the sign-in worker: the result travels to the window thread as an event.
  accounts_->SetSignInObserver([poster = poster_](const plx::OAuthLoginResult& result) {
    poster->Post(std::make_unique<SignInFinished>(result));
  });
  WatchSignInPrompts();

  // Called on reader threads; a burst of changes posts one event.
  hub_->SetChangedCallback(
      [poster = poster_, this] { poster->PostCoalesced(kHubChangedEvent, hubChangePending_); });
  refreshTimer_.setSingleShot(true);
  connect(&refreshTimer_, &QTimer::timeout, this, [this] { RefreshFromHub(); });
  ApplySettings(stored_);
  DoLayout();
  RefreshFromHub();
  InitUpdates();
}

ChatWindow::~ChatWindow() {
  updateTimer_.stop();
  MarkClosing();
  overlay_.reset();
  notifier_.reset();
  logs_.reset();
  poster_->Detach();
  hub_->SetChangedCallback({});
  emotes_->SetOnChange({});
  images_->SetOnArrival({});
  emotes_->Stop();
  accounts_->SetSignInObserver({});
  accounts_->SetSignInPromptObserver({});
  accounts_->Shutdown();
  hub_->Stop();
  WaitForBackgroundTasks();
  settings_.reset();
  // The view holds the catalogue and the cache: it goes before them.
  delete view_;
  view_ = nullptr;
}

void ChatWindow::Open() {
  std::vector<QRect> screens;
  for (QScreen* screen : QGuiApplication::screens()) screens.push_back(screen->availableGeometry());
  const Placement placement =
      ChoosePlacement(stored_.windowX, stored_.windowY, stored_.windowW, stored_.windowH, screens);
  if (placement.useStoredPosition) {
    setGeometry(placement.rect);
  } else {
    resize(placement.rect.size());
  }
  SetOnTop(stored_.alwaysOnTop);
  if (stored_.maximized) {
    showMaximized();
  } else {
    show();
  }
  opened_ = true;
  KeepChatLogs(stored_);
  hub_->Start();
  if (stored_.overlayEnabled) ServeOverlay(stored_);
}

// --- Refresh ---

bool ChatWindow::CanModerate(plx::PlatformId platform) const {
  return statuses_[Slot(platform)].canSend;
}

void ChatWindow::RefreshFromHub() {
  refreshTimer_.stop();
  sinceRefresh_.start();
  hubChangePending_.store(false);
  for (size_t i = 0; i < statuses_.size(); ++i)
    statuses_[i] = hub_->GetStatus(plx::kReadPlatforms[i]);
  WatchIdentities();

  if (stored_.thirdPartyEmotes) {
    const auto request = [this](plx::PlatformId platform, std::string& last) {
      const std::string& id = statuses_[platform == plx::PlatformId::Kick ? 2 : 0].broadcasterId;
      if (id.empty() || id == last) return;
      last = id;
      emotes_->SetChannel(platform, id);
    };
    request(plx::PlatformId::Twitch, requestedTwitchChannel_);
    request(plx::PlatformId::Kick, requestedKickChannel_);
  }

  const uint64_t revision = hub_->Revision();
  if (revision != seenRevision_) {
    seenRevision_ = revision;
    rows_ = hub_->Snapshot();
    RefreshRows();
  }
  UpdateComposeBar();
  // An open settings window shows sign-ins as the hub learns of them (readers restart after one).
  settings_->RefreshAccounts();
  ++refreshCount_;
  update(0, 0, width(), kHeaderHeight);
}

void ChatWindow::UpdateComposeBar() { compose_->Update(statuses_, stored_.sendTarget); }

void ChatWindow::ReportEmoteFetches() {
  emoteReportPending_.store(false);
  for (const FetchReport& report : emotes_->TakeReports()) {
    const std::string name{ProviderName(report.source)};
    if (report.failed) {
      if (failedProviders_.insert(name).second) {
        hub_->PostSystemLine(report.platform, EmoteFailureLine(name, report.reason));
      }
    } else if (report.channel && report.count > 0) {
      hub_->PostSystemLine(report.platform, "Loaded " + std::to_string(report.count) + " " + name +
                                                " emotes for this channel");
    }
  }
  view_->RelayoutPending();
}

bool ChatWindow::event(QEvent* event) {
  if (event->type() == kHubChangedEvent) {
    const qint64 since = sinceRefresh_.isValid() ? sinceRefresh_.elapsed() : kMinRefreshIntervalMs;
    if (since >= kMinRefreshIntervalMs) {
      RefreshFromHub();
    } else if (!refreshTimer_.isActive()) {
      refreshTimer_.start(static_cast<int>(kMinRefreshIntervalMs - since));
    }
    return true;
  }
  if (event->type() == kEmoteReportsEvent) {
    ReportEmoteFetches();
    return true;
  }
  if (event->type() == kSignInFinishedEvent) {
    OnSignInFinished(static_cast<SignInFinished*>(event)->Result());
    return true;
  }
  if (event->type() == kUpdateEvent) {
    HandleUpdateEvent(event);
    return true;
  }
  if (event->type() == kSignInPromptEvent) {
    OnSignInPrompt(event);
    return true;
  }
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const int item = HitTest(layout_, help->pos(), BannerShown());
    const QString text = TooltipFor(item);
    if (text.isEmpty()) {
      QToolTip::hideText();
    } else {
      const QRect rect = item <= kItemKick       ? layout_.pills[item - 1]
                         : item == kItemPin      ? layout_.pin
                         : item == kItemGear     ? layout_.gear
                         : item == kItemMentions ? layout_.mentions
                                                 : layout_.banner;
      QToolTip::showText(help->globalPos(), text, this, rect);
    }
    return true;
  }
  return QWidget::event(event);
}

QString ChatWindow::TooltipFor(int item) const {
  switch (item) {
    case kItemTwitch:
    case kItemYouTube:
    case kItemKick:
      return Q(PillTooltip(item, statuses_[item - 1], stored_.filter));
    case kItemPin:
      return Q(PinTooltip(applied_.alwaysOnTop));
    case kItemGear:
      return kGearTooltip;
    case kItemMentions:
      return Q(MentionsTooltip(mentionsOnly_, highlightCount_));
    case kItemBanner:
      return release_ ? Q(BannerTooltip(release_->version)) : QString{};
    default:
      return {};
  }
}

// --- Actions ---

void ChatWindow::ClickItem(int item) {
  switch (item) {
    case kItemTwitch:
    case kItemYouTube:
    case kItemKick:
      stored_.filter = stored_.filter == item ? 0 : item;
      applied_.filter = stored_.filter;
      RefreshRows();
      view_->JumpToLatest();
      Save();
      update();
      break;
    case kItemPin:
      stored_.alwaysOnTop = !stored_.alwaysOnTop;
      applied_.alwaysOnTop = stored_.alwaysOnTop;
      SetOnTop(stored_.alwaysOnTop);
      Save();
      update();
      break;
    case kItemGear:
      OpenSettings();
      break;
    case kItemMentions:
      SetMentionsOnly(!mentionsOnly_);
      break;
    case kItemBanner:
      StartUpdate();
      break;
    default:
      break;
  }
}

void ChatWindow::ApplySettings(const ChatSettings& settings) {
  applied_ = settings;
  const Theme& theme = FindTheme(settings.theme);
  WindowPalette window = theme.windowPalette;
  window.accent = readableAccent(window.accent);
  UiKit::SetPalette(window);
  view_->SetChatPalette(theme.chatPalette);
  view_->SetNameOptions(static_cast<NameStyle>(settings.nameStyle), settings.compact);
  view_->SetEmoteOptions(settings.animateEmotes, settings.thirdPartyEmotes);
  view_->SetTextOptions(settings.textSize, settings.showTimestamps, kit_.Dpi());
  alpha_ = settings.opacity < 100 ? settings.opacity * 255 / 100 : 255;
  setWindowOpacity(alpha_ / 255.0);
  SetOnTop(settings.alwaysOnTop);
  view_->SetPauseOnHover(settings.pauseOnHover, settings.pauseSeconds);
  view_->SetReadAloud(settings.readAloud);
  update();
}

void ChatWindow::SetOnTop(bool onTop) {
  if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == onTop) return;
  const bool visible = isVisible();
  setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
  if (visible) show();  // changing the flags hides the window
}

void ChatWindow::ServeOverlay(const ChatSettings& settings) {
  overlay_.reset();
  if (!settings.overlayEnabled || !options_.serveOverlay) return;
  auto overlay = std::make_unique<OverlayServer>(
      *hub_, OverlayConfigFor(settings.overlayPort, *images_, *emotes_, settings.thirdPartyEmotes));
  std::string error;
  if (!overlay->Start(&error)) {
    hub_->PostSystemLine(plx::PlatformId::Twitch, error);
    return;
  }
  overlay_ = std::move(overlay);
}

void ChatWindow::RecordPlacement() {
  const QRect normal = isMaximized() || isFullScreen() ? normalGeometry() : geometry();
  stored_.windowX = normal.x();
  stored_.windowY = normal.y();
  stored_.windowW = normal.width();
  stored_.windowH = normal.height();
  stored_.maximized = isMaximized();
}

void ChatWindow::Save() {
  if (options_.saveSettings) SaveChatSettings(options_.dataFolder, stored_);
}

void ChatWindow::closeEvent(QCloseEvent* event) {
  // An open settings window closes first, unsaved (its previews are undone).
  if (settings_->IsOpen()) settings_->RequestClose();
  RecordPlacement();
  Save();
  MarkClosing();
  event->accept();
}

// --- Layout, input and painting ---

void ChatWindow::DoLayout() {
  layout_ = ComputeLayout(width(), height(), BannerShown());
  if (search_->isVisible()) {
    const QRect bar{layout_.chat.left(), layout_.chat.top(), layout_.chat.width(),
                    std::min(SearchBar::kHeight, layout_.chat.height())};
    search_->setGeometry(bar);
    view_->setGeometry(layout_.chat.adjusted(0, bar.height(), 0, 0));
  } else {
    view_->setGeometry(layout_.chat);
  }
  compose_->SetGeometry(layout_);
  ++layoutCount_;
}

void ChatWindow::resizeEvent(QResizeEvent*) { DoLayout(); }

void ChatWindow::mouseMoveEvent(QMouseEvent* event) {
  const int item = HitTest(layout_, event->position().toPoint(), BannerShown());
  setCursor(item == kItemNone ? Qt::ArrowCursor : Qt::PointingHandCursor);
  if (item != hot_) {
    hot_ = item;
    RepaintHeader();
  }
}

void ChatWindow::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const int item = HitTest(layout_, event->position().toPoint(), BannerShown());
  if (item != kItemNone) ClickItem(item);
}

void ChatWindow::leaveEvent(QEvent*) { ClearHot(); }

// The header from the keyboard: the window itself takes the focus before the chat, and the
// arrow keys move between the pills, the mentions toggle, the pin, the gear and the banner.
void ChatWindow::keyPressEvent(QKeyEvent* event) {
  // Keys a child left alone (Enter in the compose field) reach here too: only the header's own.
  if (!hasFocus()) {
    QWidget::keyPressEvent(event);
    return;
  }
  std::vector<int> items{kItemTwitch, kItemYouTube, kItemKick, kItemMentions, kItemPin, kItemGear};
  if (BannerShown()) items.push_back(kItemBanner);
  auto at = std::find(items.begin(), items.end(), keyItem_);
  const int index = at == items.end() ? 0 : static_cast<int>(at - items.begin());
  const int count = static_cast<int>(items.size());
  switch (event->key()) {
    case Qt::Key_Left:
      keyItem_ = items[(index + count - 1) % count];
      break;
    case Qt::Key_Right:
      keyItem_ = items[(index + 1) % count];
      break;
    case Qt::Key_Home:
      keyItem_ = items.front();
      break;
    case Qt::Key_End:
      keyItem_ = items.back();
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
      keyItem_ = items[index];
      ClickItem(keyItem_);
      break;
    default:
      QWidget::keyPressEvent(event);
      return;
  }
  RepaintHeader();
  event->accept();
}

void ChatWindow::focusInEvent(QFocusEvent*) { RepaintHeader(); }

void ChatWindow::focusOutEvent(QFocusEvent*) { RepaintHeader(); }

bool ChatWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == view_ && event->type() == QEvent::Enter) ClearHot();
  return QWidget::eventFilter(watched, event);
}

void ChatWindow::ClearHot() {
  if (hot_ == kItemNone) return;
  hot_ = kItemNone;
  RepaintHeader();
}

// The header band and, while it shows, the banner below it.
void ChatWindow::RepaintHeader() {
  const int bannerBottom = layout_.banner.isEmpty() ? 0 : layout_.banner.bottom() + 1;
  update(0, 0, width(), std::max(kHeaderHeight, bannerBottom));
}

void ChatWindow::paintEvent(QPaintEvent*) {
  QPainter painter{this};
  PaintHeader(painter);
}

void ChatWindow::PaintHeader(QPainter& painter) {
  const WindowPalette& window = UiKit::Palette();
  const ChatPalette& chat = FindTheme(applied_.theme).chatPalette;
  const int w = width();

  painter.fillRect(QRect{0, 0, w, kHeaderHeight}, ToQColor(window.surface));
  painter.fillRect(layout_.compose, ToQColor(window.surface));
  DrawHLine(painter, 0, w, kHeaderHeight - 1, window.border);
  DrawHLine(painter, 0, w, layout_.compose.top(), window.border);

  const Rgb platformColors[] = {chat.twitchColor, chat.youtubeColor, chat.kickColor};
  const Rgb nameColors[] = {chat.twitchName, chat.youtubeName, chat.kickName};
  for (int i = 0; i < 3; ++i) {
    const QRect pill = layout_.pills[i];
    const bool selected = stored_.filter == i + 1;
    const bool hot = hot_ == i + 1;
    const Rgb p = platformColors[i];
    const Rgb fill = blend(p, window.surface, selected ? 24 : hot ? 12 : 6);
    const Rgb border = selected ? p : hot ? window.border : window.borderSoft;
    DrawRoundedBox(painter, pill, fill, border, 12);

    const PlatformStatus& status = statuses_[i];
    Rgb dot = window.border;
    switch (status.state) {
      case ConnectionState::Connecting:
        dot = chat.warning;
        break;
      case ConnectionState::Connected:
        dot = chat.positive;
        break;
      case ConnectionState::Offline:
        dot = chat.textSecondary;
        break;
      case ConnectionState::Problem:
        dot = chat.danger;
        break;
      case ConnectionState::Off:
        break;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ToQColor(dot));
    painter.drawEllipse(QRectF(pill.left() + 9, pill.top() + 9, 8, 8));
    painter.restore();

    const int right = pill.left() + pill.width();
    // Rectangles from their edges, the right and bottom ones exclusive.
    const QRect titleRect{pill.left() + 22, pill.top() + 4, right - 6 - (pill.left() + 22), 17};
    painter.setFont(kit_.semiboldFont);
    painter.setPen(ToQColor(nameColors[i]));
    painter.drawText(
        titleRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
        painter.fontMetrics().elidedText(PillTitle(i), Qt::ElideRight, titleRect.width()));

    const QRect lineRect{pill.left() + 9, pill.top() + 21, right - 6 - (pill.left() + 9),
                         pill.height() - 3 - 21};
    painter.setFont(kit_.smallFont);
    painter.setPen(
        ToQColor(status.state == ConnectionState::Connected ? chat.textSecondary : chat.textMuted));
    painter.drawText(
        lineRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
        painter.fontMetrics().elidedText(Q(StatusLine(status)), Qt::ElideRight, lineRect.width()));
  }

  for (const int item : {kItemPin, kItemGear}) {
    const QRect box = item == kItemPin ? layout_.pin : layout_.gear;
    if (hot_ == item)
      DrawRoundedBox(painter, box, blend(kWhite, window.surface, 8), window.border, 10);
    if (item == kItemPin) {
      DrawPinIcon(painter, box, applied_.alwaysOnTop ? chat.chatAccent : kIconColor);
    } else {
      DrawGearIcon(painter, box, kIconColor);
    }
  }
  PaintMentionsButton(painter);
  PaintBanner(painter);
  if (hasFocus()) {
    const QRect box = keyItem_ <= kItemKick       ? layout_.pills[keyItem_ - 1]
                      : keyItem_ == kItemMentions ? layout_.mentions
                      : keyItem_ == kItemPin      ? layout_.pin
                      : keyItem_ == kItemGear     ? layout_.gear
                                                  : layout_.banner;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen{ToQColor(kFocusMark), 2.0});
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF{box}.adjusted(-2, -2, 2, 2), 12, 12);
    painter.restore();
  }
}

}  // namespace vlo
