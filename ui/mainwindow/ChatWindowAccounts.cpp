// The main window's side of accounts and settings: the settings window's host operations, sign-in
// results and prompts, the user's own apps, sign-out, and accepting or undoing the settings
// window.

#include "accounts/AccountService.h"
#include "ui/mainwindow/ChatWindow.h"
#include "ui/settings/SettingsWindow.h"

namespace vlo {

using plx::PlatformId;

namespace {

// Carries a sign-in's prompt (Twitch's page and code) from the sign-in worker to the window
// thread.
class SignInPromptEvent final : public QEvent {
 public:
  explicit SignInPromptEvent(SignInPrompt prompt)
      : QEvent{kSignInPromptEvent}, prompt_{std::move(prompt)} {}
  const SignInPrompt& Prompt() const { return prompt_; }

 private:
  SignInPrompt prompt_;
};

}  // namespace

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

std::optional<SignInPrompt> ChatWindow::CurrentPrompt() { return accounts_->CurrentPrompt(); }

void ChatWindow::WatchSignInPrompts() {
  // Called on the sign-in worker: the prompt travels to the window thread as an event.
  accounts_->SetSignInPromptObserver([poster = poster_](const SignInPrompt& prompt) {
    poster->Post(std::make_unique<SignInPromptEvent>(prompt));
  });
}

void ChatWindow::OnSignInPrompt(QEvent* event) {
  const SignInPrompt& prompt = static_cast<SignInPromptEvent*>(event)->Prompt();
  // A prompt whose sign-in was cancelled or ended meanwhile opens nothing.
  if (accounts_->CurrentPrompt() != prompt) return;
  if (options_.openUrl) options_.openUrl(prompt.url);
  settings_->RefreshAccounts();
}

// --- The user's own apps ---

plx::OAuthClients ChatWindow::OwnApps() { return store_->LoadOAuthClients(); }

void ChatWindow::SetOwnApp(PlatformId platform, std::optional<plx::OAuthClient> client) {
  const bool removed = !client.has_value();
  store_->SetOAuthClient(platform, std::move(client));
  // A client id in config.json (which this program never writes) would still be used: an empty
  // stored entry wins over it, so that sign-ins go through the portal again.
  if (removed && !store_->LoadOAuthClients().For(platform).clientId.empty()) {
    store_->SetOAuthClient(platform, plx::OAuthClient{});
  }
}

void ChatWindow::SetRedirectPort(int port) {
  stored_.ownAppRedirectPort = port;
  applied_.ownAppRedirectPort = port;
  accounts_->SetRedirectPort(port);
  Save();
}

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
  accounts_->SetRedirectPort(next.ownAppRedirectPort);

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
  if (opened_ &&
      (next.overlayEnabled != before.overlayEnabled || next.overlayPort != before.overlayPort ||
       next.thirdPartyEmotes != before.thirdPartyEmotes)) {
    ServeOverlay(next);
  }
  if (opened_ && next.chatLogs != before.chatLogs) KeepChatLogs(next);
  ApplySettings(stored_);
  ApplyRules(stored_);
  Save();
  RefreshFromHub();
  RefreshRows();  // the rules may have changed with no new row
}

}  // namespace vlo
