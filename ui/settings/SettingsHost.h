#pragma once

#include <optional>

#include "accounts/AccountService.h"
#include "accounts/SecretStore.h"
#include "core/ChatSettings.h"
#include "core/Platform.h"
#include "core/PlatformStatus.h"

namespace vlo {

// What the settings window asks of its owner, the main window. Window thread only.
class SettingsHost {
 public:
  virtual ~SettingsHost() = default;

  // The platform's status; the settings window reads `signedIn` and `account`.
  virtual PlatformStatus GetStatus(plx::PlatformId platform) = 0;
  // The platform whose sign-in is under way, if any.
  virtual std::optional<plx::PlatformId> PendingSignIn() = 0;
  // Starts a sign-in (with the user's own app when one is set for the platform, else through
  // the portal); the owner reports a failure to start by itself.
  virtual void StartSignIn(plx::PlatformId platform) = 0;
  virtual void SignOut(plx::PlatformId platform) = 0;
  virtual void CancelSignIn() = 0;
  // Applies the working copy for preview, without saving it.
  virtual void ApplySettings(const ChatSettings& settings) = 0;

  // --- The user's own app registrations (take effect at once, like the account actions) ---
  // The apps sign-ins use, one read for all platforms: stored, or a client id from config.json
  // (an empty client id: none). The secrets are for a masked field only, never for a label or
  // a line.
  virtual plx::OAuthClients OwnApps() = 0;
  // Stores the app sealed with the tokens (nothing: sign-ins go through the portal again).
  // Nothing of it goes to chat.json or config.json.
  virtual void SetOwnApp(plx::PlatformId platform, std::optional<plx::OAuthClient> client) = 0;
  // The loopback port the YouTube and Kick apps redirect to: kept in chat.json at once and used
  // by the next sign-in.
  virtual void SetRedirectPort(int port) = 0;
  // What the running sign-in asks the user to do in the browser (Twitch's code), if anything.
  virtual std::optional<SignInPrompt> CurrentPrompt() = 0;
  // Shows the chat logs folder in the file manager (made first when missing).
  virtual void OpenLogsFolder() {}
};

}  // namespace vlo
