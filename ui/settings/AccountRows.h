#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "accounts/AccountService.h"
#include "core/Platform.h"
#include "core/PlatformStatus.h"
#include "ui/toolkit/ButtonStyle.h"

namespace vlo {

// One platform's account line and button as the settings window shows them.
struct AccountRow {
  std::string line;    // UTF-8
  std::string button;  // "Sign in", "Sign out" or "Cancel"
  ButtonKind kind{ButtonKind::Plain};
  bool enabled{true};
  // Shorter forms of `line`, longest first, for a font in which it does not fit its place.
  std::vector<std::string> shorter;

  bool operator==(const AccountRow&) const = default;
};

// The row for `platform` given its status, the platform whose sign-in is under way, whether
// the platform's sign-in uses the user's own app, and what the running sign-in asks of the user.
AccountRow MakeAccountRow(plx::PlatformId platform, const PlatformStatus& status,
                          std::optional<plx::PlatformId> pending, bool ownApp = false,
                          const std::optional<SignInPrompt>& prompt = std::nullopt);

enum class AccountAction { StartSignIn, SignOut, CancelSignIn };

// What the account button of `platform` does: cancel this platform's sign-in when it runs,
// else sign out when signed in, else start a sign-in.
AccountAction ChooseAccountAction(plx::PlatformId platform, const PlatformStatus& status,
                                  std::optional<plx::PlatformId> pending);

// A device sign-in's user code as people read it: eight letters or digits grouped 4-4
// ("ABCD-EFGH"); any other code as the platform gave it, without control characters.
std::string GroupUserCode(std::string_view code);

}  // namespace vlo
