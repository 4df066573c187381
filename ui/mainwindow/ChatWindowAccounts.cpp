// The main window's side of accounts and settings: the settings window's host operations, sign-in
// results, sign-out, and accepting or undoing the settings window.

#include "accounts/AccountService.h"
#include "ui/mainwindow/ChatWindow.h"
#include "ui/settings/SettingsWindow.h"

namespace vlo {

using plx::PlatformId;

PlatformStatus ChatWindow::GetStatus(PlatformId platform) { return hub_->GetStatus(platform); }

std::optional<PlatformId> ChatWindow::PendingSignIn() { return accounts_->PendingSignIn(); }

void ChatWindow::StartSignIn(PlatformId platform) {
  std::string error;
  if (!accounts_->StartSignIn(platform, &error)) {
    hub_->PostSystemLine(platform, "Could not start the sign-in: " + error);
  }
}

void ChatWindow::SignOut(PlatformId platform) {
  const std::optional<plx::TokenRecord> token = accounts_->GetToken(platform);
  accounts_->ForgetAccount(platform);
  hub_->RefreshAccount(platform);
  if (token) {
    RunInBackground([accounts = accounts_.get(), platform, token = *token] {
      accounts->RevokeToken(platform, token);
    });
  }
  RestartInBackground(platform);
  hub_->PostSystemLine(platform, std::string{"Signed out of "} + plx::PlatformName(platform));
}

void ChatWindow::CancelSignIn() { accounts_->CancelSignIn(); }

// Restarting a reader joins its thread, which may be inside a network request: that wait happens
// on a background task, never on the window thread.
void ChatWindow::RestartInBackground(PlatformId platform) {
  RunInBackground([hub = hub_.get(), platform] { hub->RestartPlatform(platform); });
}

void ChatWindow::OnSignInFinished(const plx::OAuthLoginResult& result) {
  const PlatformId platform = result.platform.value_or(PlatformId::Twitch);
  if (result.ok) {
    hub_->RefreshAccount(platform);
    RestartInBackground(platform);
    std::string line = std::string{"Signed in to "} + plx::PlatformName(platform);
    if (result.account.displayName) line += " as " + *result.account.displayName;
    hub_->PostSystemLine(platform, line);
  } else if (result.code != plx::LoginErrorCode::Cancelled) {
    hub_->PostSystemLine(platform, "Sign-in did not finish: " + result.message);
  }
  settings_->RefreshAccounts();
  RefreshFromHub();
}

void ChatWindow::OpenSettings() {
  if (settings_->IsOpen()) return;
  settings_->Open(
      stored_, [this](bool saved, const ChatSettings& chosen) { SettingsClosed(saved, chosen); });
}

void ChatWindow::SettingsClosed(bool saved, const ChatSettings& chosen) {
  if (!saved) {
    ApplySettings(stored_);  // undoes every preview
    RefreshFromHub();
    return;
  }
  const ChatSettings before = stored_;
  // The placement and the header's own choices are this window's, not the settings window's.
  ChatSettings next = chosen;
  next.windowX = before.windowX;
  next.windowY = before.windowY;
  next.windowW = before.windowW;
  next.windowH = before.windowH;
  next.maximized = before.maximized;
  next.filter = before.filter;
  next.sendTarget = before.sendTarget;
  stored_ = next;

  hub_->SetTargets(ChatTargets{next.twitchChannel, next.kickChannel, next.youtubeTarget});
  hub_->SetShowAlerts(next.showAlerts);
  if (next.twitchChannel != before.twitchChannel) RestartInBackground(PlatformId::Twitch);
  if (next.kickChannel != before.kickChannel) RestartInBackground(PlatformId::Kick);
  if (next.youtubeTarget != before.youtubeTarget) RestartInBackground(PlatformId::YouTube);
  if (next.thirdPartyEmotes && !before.thirdPartyEmotes) {
    emotes_->FetchGlobals();
    requestedTwitchChannel_.clear();
    requestedKickChannel_.clear();
  }
  ApplySettings(stored_);
  Save();
  RefreshFromHub();
}

}  // namespace vlo
