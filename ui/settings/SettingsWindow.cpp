#include "ui/settings/SettingsWindow.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

#include "overlay/OverlayAddress.h"
#include "ui/settings/AccountRows.h"
#include "ui/settings/OwnAppDialog.h"
#include "ui/settings/SettingsValidation.h"
#include "ui/settings/ThemeSwatch.h"
#include "ui/toolkit/Controls.h"
#include "ui/toolkit/KitButton.h"
#include "ui/toolkit/KitCheckBox.h"
#include "ui/toolkit/KitEdit.h"
#include "ui/toolkit/KitLabel.h"

namespace vlo {

namespace {

constexpr int kOpacities[]{100, 90, 80, 70};
constexpr int kFadeSeconds[]{0, 30, 60, 120};
constexpr int kMaxRows[]{10, 20, 50, 100};
constexpr const char* kOverlayPortError{"The overlay port must be a number from 1024 to 65535."};

// The port typed in the overlay page; nothing unless it is a whole number from 1024 to 65535.
std::optional<int> ReadPort(const QString& text) {
  bool ok{false};
  const int port{text.trimmed().toInt(&ok)};
  if (!ok || port < 1024 || port > 65535) return std::nullopt;
  return port;
}

QString Q(const std::string& text) { return QString::fromStdString(text); }
QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

int ScreenDpi(const QWidget* widget) {
  const QScreen* screen{widget ? widget->screen() : nullptr};
  const int dpi{screen ? static_cast<int>(screen->logicalDotsPerInch() + 0.5) : 0};
  return dpi > 0 ? dpi : 96;
}

ButtonKind Choice(bool chosen) { return chosen ? ButtonKind::Primary : ButtonKind::Plain; }

}  // namespace

SettingsWindow::SettingsWindow(QWidget* owner, SettingsHost& host, std::string portalDomain)
    : QWidget{owner ? owner->window() : nullptr, Qt::Dialog | Qt::WindowTitleHint |
                                                     Qt::WindowSystemMenuHint |
                                                     Qt::WindowCloseButtonHint},
      owner_{owner ? owner->window() : nullptr},
      host_{host},
      portalDomain_{std::move(portalDomain)} {
  setWindowTitle(QStringLiteral("Settings"));
  // The owner takes no input while the window is open; without an owner nothing else does.
  setWindowModality(owner_ ? Qt::WindowModal : Qt::ApplicationModal);
  setAttribute(Qt::WA_OpaquePaintEvent);
  // No icon of its own: the window shows its owner's, else the application's.
  kit_.InitForWindow(this);
  layout_ = ComputeSettingsLayout(static_cast<int>(ThemeTable().size()), kit_.Dpi());
  CreateControls();
  PlaceControls();
}

// --- Opening and closing ---

bool SettingsWindow::ShowSettings(ChatSettings& settings) {
  QEventLoop loop;
  bool saved{false};
  const bool opened{Open(settings, [&](bool ok, const ChatSettings& result) {
    saved = ok;
    if (ok) settings = result;
    loop.quit();
  })};
  if (!opened) return false;
  loop.exec(QEventLoop::DialogExec);
  return saved;
}

bool SettingsWindow::Open(const ChatSettings& settings, Completion done) {
  if (open_) return false;
  working_ = settings;
  done_ = std::move(done);
  open_ = true;

  const int dpi{ScreenDpi(owner_ ? owner_.data() : this)};
  if (dpi != kit_.Dpi()) {
    kit_.OnDpiChanged(dpi, this);
    layout_ = ComputeSettingsLayout(static_cast<int>(ThemeTable().size()), kit_.Dpi());
    PlaceControls();
  }
  error_->clear();
  for (int i{0}; i < 3; ++i) {
    const std::string& text{i == 0   ? working_.twitchChannel
                            : i == 1 ? working_.youtubeTarget
                                     : working_.kickChannel};
    edits_[i]->setText(Q(text));
  }
  overlayPort_->setText(QString::number(working_.overlayPort));
  for (int i{0}; i < 5; ++i) lists_[i]->setPlainText(JoinLines(RuleList(working_, i)));
  UpdateOptionKinds();
  LoadRulesPage();
  ReadOwnApps();
  RefreshAccounts();
  ShowPage(0);

  const QSize size{layout_.clientWidth, layout_.clientHeight};
  if (owner_) {
    const QScreen* screen{owner_->screen()};
    move(PlaceOverOwner(owner_->frameGeometry(), size,
                        screen ? screen->availableGeometry() : QRect{}));
  }
  show();
  activateWindow();
  edits_[0]->setFocus(Qt::OtherFocusReason);
  return true;
}

void SettingsWindow::RequestClose() { Finish(false); }

void SettingsWindow::Finish(bool saved) {
  if (!open_) return;
  open_ = false;
  if (ownAppDialog_) ownAppDialog_->reject();
  // A sign-in started from here does not outlive the window.
  if (host_.PendingSignIn()) host_.CancelSignIn();
  hide();
  if (owner_) {
    owner_->activateWindow();
  }
  Completion done{std::move(done_)};
  done_ = {};
  if (done) done(saved, working_);
}

void SettingsWindow::closeEvent(QCloseEvent* event) {
  Finish(false);
  event->accept();
}

// --- Keys: Escape discards and Enter saves, wherever the focus is ---

bool SettingsWindow::HandleKey(int key) {
  if (!open_) return false;
  if (key == Qt::Key_Escape) {
    Finish(false);
    return true;
  }
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    if (Save()) Finish(true);
    return true;
  }
  return false;
}

bool SettingsWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const int key{static_cast<QKeyEvent*>(event)->key()};
    // Enter starts a new line in a list; Escape still closes.
    const bool list{qobject_cast<QPlainTextEdit*>(watched) != nullptr};
    if (list && (key == Qt::Key_Return || key == Qt::Key_Enter)) return false;
    if (HandleKey(key)) return true;
  }
  return QWidget::eventFilter(watched, event);
}

void SettingsWindow::keyPressEvent(QKeyEvent* event) {
  if (!HandleKey(event->key())) QWidget::keyPressEvent(event);
}

// --- Commands ---

void SettingsWindow::OnCommand(int id) {
  if (!open_) return;
  if (id >= kPageButton && id < kPageButton + kPageCount) {
    ShowPage(id - kPageButton);
  } else if (id >= kAccountButton && id < kAccountButton + 3) {
    OnAccountButton(id - kAccountButton);
  } else if (id >= kOwnAppButton && id < kOwnAppButton + 3) {
    OpenOwnApp(id - kOwnAppButton);
  } else if (id >= kSwatch && id < kSwatch + static_cast<int>(swatches_.size())) {
    working_.theme = std::string{swatches_[id - kSwatch]->SwatchTheme().key};
    AfterOptionChange();
  } else if (id >= kTextSize && id < kTextSize + 3) {
    working_.textSize = id - kTextSize;
    AfterOptionChange();
  } else if (id >= kNameStyle && id < kNameStyle + 3) {
    working_.nameStyle = id - kNameStyle;
    AfterOptionChange();
  } else if (id == kSpacing || id == kSpacing + 1) {
    working_.compact = id == kSpacing + 1;
    AfterOptionChange();
  } else if (id >= kOpacity && id < kOpacity + 4) {
    working_.opacity = kOpacities[id - kOpacity];
    AfterOptionChange();
  } else if (id >= kSwitch && id < kSwitch + 5) {
    AfterOptionChange();
  } else if (id == kOverlaySwitch) {
    working_.overlayEnabled = overlaySwitch_->isChecked();
    UpdateOverlayPage();
  } else if (id >= kOverlayPlatform && id < kOverlayPlatform + 3) {
    // A page shows at least one platform: the last one cannot be switched off.
    const int bit{1 << (id - kOverlayPlatform)};
    if (working_.overlayPlatforms != bit) working_.overlayPlatforms ^= bit;
    UpdateOverlayPage();
  } else if (id >= kOverlayShow && id < kOverlayShow + 3) {
    working_.overlayShow = id - kOverlayShow;
    UpdateOverlayPage();
  } else if (id >= kOverlayFade && id < kOverlayFade + 4) {
    working_.overlayFadeSeconds = kFadeSeconds[id - kOverlayFade];
    UpdateOverlayPage();
  } else if (id >= kOverlayRows && id < kOverlayRows + 4) {
    working_.overlayMaxRows = kMaxRows[id - kOverlayRows];
    UpdateOverlayPage();
  } else if (id == kOverlayCopy) {
    QGuiApplication::clipboard()->setText(overlayAddress_->text());
    overlayCopy_->setText(QStringLiteral("Copied"));
  } else if (id >= kPauseChoice && id < kPauseChoice + kPauseChoices) {
    working_.pauseSeconds = kPauseSeconds[id - kPauseChoice];
    LoadRulesPage();
  } else if (id == kOpenLogs) {
    host_.OpenLogsFolder();
  } else if (id >= kRuleSwitch && id < kRuleSwitch + 8) {
    ReadRulesPage();
    LoadRulesPage();
  } else if (id == kSave) {
    if (Save()) Finish(true);
  } else if (id == kCancel) {
    Finish(false);
  }
}

void SettingsWindow::OnAccountButton(int row) {
  const plx::PlatformId platform{plx::kReadPlatforms[row]};
  switch (ChooseAccountAction(platform, host_.GetStatus(platform), host_.PendingSignIn())) {
    case AccountAction::CancelSignIn:
      host_.CancelSignIn();
      break;
    case AccountAction::SignOut:
      host_.SignOut(platform);
      break;
    case AccountAction::StartSignIn:
      host_.StartSignIn(platform);
      break;
  }
  RefreshAccounts();
}

// --- The user's own apps ---

void SettingsWindow::OpenOwnApp(int row) {
  if (!open_ || ownAppDialog_ || row < 0 || row >= 3) return;
  const plx::PlatformId platform{plx::kReadPlatforms[row]};
  plx::OAuthClient stored{host_.OwnApps().For(platform)};
  std::optional<plx::OAuthClient> app;
  if (!stored.clientId.empty()) app = std::move(stored);
  auto* dialog{
      new OwnAppDialog{this, platform, std::move(app), working_.ownAppRedirectPort, portalDomain_}};
  ownAppDialog_ = dialog;
  connect(dialog, &QDialog::finished, this, [this, dialog] {
    ownAppDialog_ = nullptr;
    dialog->deleteLater();
    OwnAppClosed(*dialog);
  });
  dialog->open();
}

void SettingsWindow::OwnAppClosed(const OwnAppDialog& dialog) {
  const plx::PlatformId platform{dialog.Platform()};
  switch (dialog.Chosen()) {
    case OwnAppDialog::Outcome::Cancelled:
      return;
    case OwnAppDialog::Outcome::Removed:
      host_.SetOwnApp(platform, std::nullopt);
      break;
    case OwnAppDialog::Outcome::Saved:
      host_.SetOwnApp(platform, dialog.Entry().client);
      // The port is stored at once, like the app, so the next sign-in and this window's Save
      // both use it.
      if (UsesRedirect(platform) && dialog.Entry().port != working_.ownAppRedirectPort) {
        working_.ownAppRedirectPort = dialog.Entry().port;
        host_.SetRedirectPort(dialog.Entry().port);
      }
      break;
  }
  ReadOwnApps();
  RefreshAccounts();
}

void SettingsWindow::ReadOwnApps() {
  const plx::OAuthClients clients{host_.OwnApps()};
  for (int i{0}; i < 3; ++i) {
    const plx::PlatformId platform{plx::kReadPlatforms[i]};
    ownApps_[i] = !clients.For(platform).clientId.empty();
    // A tick on the apps in use, so the row of buttons tells at a glance which sign-ins use one.
    const QString name{QString::fromUtf8(plx::PlatformName(platform)) + QStringLiteral(" app")};
    ownAppButtons_[i]->setText((ownApps_[i] ? QStringLiteral("\u2713 ") : QString{}) + name +
                               QStringLiteral("\u2026"));
    ownAppButtons_[i]->setAccessibleName(ownApps_[i] ? name + QStringLiteral(", in use") : name);
  }
}

void SettingsWindow::AfterOptionChange() {
  ReadSwitches();
  UpdateOptionKinds();
  // The host recolours the toolkit's palette when the theme changed; this window follows it.
  host_.ApplySettings(working_);
  update();
}

void SettingsWindow::ReadSwitches() {
  working_.alwaysOnTop = switches_[0]->isChecked();
  working_.showTimestamps = switches_[1]->isChecked();
  working_.showAlerts = switches_[2]->isChecked();
  working_.animateEmotes = switches_[3]->isChecked();
  working_.thirdPartyEmotes = switches_[4]->isChecked();
}

void SettingsWindow::UpdateOptionKinds() {
  const int chosen[]{working_.textSize, working_.nameStyle, working_.compact ? 1 : 0,
                     working_.opacity};
  for (size_t row{0}; row < optionButtons_.size(); ++row) {
    for (size_t k{0}; k < optionButtons_[row].size(); ++k) {
      const int value{row == 3 ? kOpacities[k] : static_cast<int>(k)};
      KitButton* button{optionButtons_[row][k]};
      SetButtonKind(button, Choice(value == chosen[row]));
      // The chosen option keeps the regular weight: in semibold the longer captions would not
      // fit their buttons.
      button->setFont(kit_.bodyFont);
    }
  }
  const Theme& theme{FindTheme(working_.theme)};
  for (ThemeSwatch* swatch : swatches_) swatch->SetSelected(&swatch->SwatchTheme() == &theme);
  themeLine_->setText(Q(theme.name) + QStringLiteral("  \u00B7  ") + Q(theme.description));
  const bool values[]{working_.alwaysOnTop, working_.showTimestamps, working_.showAlerts,
                      working_.animateEmotes, working_.thirdPartyEmotes};
  for (size_t i{0}; i < switches_.size(); ++i) switches_[i]->setChecked(values[i]);
  UpdateOverlayPage();
}

void SettingsWindow::UpdateOverlayPage() {
  overlaySwitch_->setChecked(working_.overlayEnabled);
  if (const std::optional<int> port{ReadPort(overlayPort_->text())}) working_.overlayPort = *port;
  const auto chosen = [this](size_t row, size_t k) {
    switch (row) {
      case 0:
        return (working_.overlayPlatforms & (1 << k)) != 0;
      case 1:
        return working_.overlayShow == static_cast<int>(k);
      case 2:
        return working_.overlayFadeSeconds == kFadeSeconds[k];
      default:
        return working_.overlayMaxRows == kMaxRows[k];
    }
  };
  for (size_t row{0}; row < overlayOptionButtons_.size(); ++row) {
    for (size_t k{0}; k < overlayOptionButtons_[row].size(); ++k) {
      SetButtonKind(overlayOptionButtons_[row][k], Choice(chosen(row, k)));
      overlayOptionButtons_[row][k]->setFont(kit_.bodyFont);
    }
  }
  overlayAddress_->setText(Q(OverlayPageAddress(working_)));
  overlayAddress_->setCursorPosition(0);
  overlayCopy_->setText(QStringLiteral("Copy"));
  update();
}

void SettingsWindow::ShowPage(int page) {
  page_ = page >= 0 && page < kPageCount ? page : 0;
  for (int p{0}; p < kPageCount; ++p) {
    for (QWidget* control : pageControls_[p]) control->setVisible(p == page_);
    SetButtonKind(pageButtons_[p], Choice(p == page_));
    // Four captions share the row: the chosen one keeps the regular weight so that it fits.
    pageButtons_[p]->setFont(kit_.bodyFont);
  }
  update();
}

void SettingsWindow::RefreshAccounts() {
  if (!open_) return;
  const std::optional<plx::PlatformId> pending{host_.PendingSignIn()};
  const std::optional<SignInPrompt> prompt{pending ? host_.CurrentPrompt() : std::nullopt};
  for (int i{0}; i < 3; ++i) {
    const plx::PlatformId platform{plx::kReadPlatforms[i]};
    const AccountRow row{
        MakeAccountRow(platform, host_.GetStatus(platform), pending, ownApps_[i], prompt)};
    ShowAccountLine(i, row);
    accountButtons_[i]->setText(Q(row.button));
    SetButtonKind(accountButtons_[i], row.kind);
    accountButtons_[i]->setEnabled(row.enabled);
    // A sign-in under way keeps the app it started with.
    ownAppButtons_[i]->setEnabled(!pending);
  }
}

void SettingsWindow::ShowAccountLine(int row, const AccountRow& account) {
  KitLabel* label{accountLines_[row]};
  const QFontMetrics metrics{label->font()};
  QString text{Q(account.line)};
  for (const std::string& shorter : account.shorter) {
    if (metrics.horizontalAdvance(text) <= label->width()) break;
    text = Q(shorter);
  }
  label->setText(text);
}

// --- Save ---

bool SettingsWindow::Save() {
  const ChannelCheck check{CheckChannelFields(edits_[0]->text().toStdString(),
                                              edits_[1]->text().toStdString(),
                                              edits_[2]->text().toStdString())};
  if (!check.ok()) {
    if (page_ == 1) ShowPage(0);
    error_->setText(Q(check.error));
    return false;
  }
  const std::optional<int> port{ReadPort(overlayPort_->text())};
  if (!port) {
    ShowPage(2);
    error_->setText(QString::fromUtf8(kOverlayPortError));
    overlayPort_->setFocus(Qt::OtherFocusReason);
    return false;
  }
  ReadRulesPage();
  if (!CheckPatterns()) return false;
  working_.overlayPort = *port;
  working_.twitchChannel = check.twitchChannel;
  working_.youtubeTarget = check.youtubeTarget;
  working_.kickChannel = check.kickChannel;
  ReadSwitches();
  return true;
}

// --- Accessors ---

QWidget* SettingsWindow::Control(int id) const {
  for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    const QVariant value{child->property("commandId")};
    if (value.isValid() && value.toInt() == id) return child;
  }
  return nullptr;
}

QString SettingsWindow::ErrorText() const { return error_->text(); }
QString SettingsWindow::AccountLine(int row) const { return accountLines_.at(row)->text(); }
QString SettingsWindow::ThemeLineText() const { return themeLine_->text(); }
QString SettingsWindow::FooterText() const { return footer_->text(); }
QString SettingsWindow::OverlayAddressText() const { return overlayAddress_->text(); }

}  // namespace vlo
