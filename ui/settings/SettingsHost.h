#pragma once

#include <optional>

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
  // Starts a sign-in; the owner reports a failure to start by itself.
  virtual void StartSignIn(plx::PlatformId platform) = 0;
  virtual void SignOut(plx::PlatformId platform) = 0;
  virtual void CancelSignIn() = 0;
  // Applies the working copy for preview, without saving it.
  virtual void ApplySettings(const ChatSettings& settings) = 0;
};

}  // namespace vlo
