#pragma once

#include <optional>
#include <string>

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

  bool operator==(const AccountRow&) const = default;
};

// The row for `platform` given its status and the platform whose sign-in is under way.
AccountRow MakeAccountRow(plx::PlatformId platform, const PlatformStatus& status,
                          std::optional<plx::PlatformId> pending);

enum class AccountAction { StartSignIn, SignOut, CancelSignIn };

// What the account button of `platform` does: cancel this platform's sign-in when it runs,
// else sign out when signed in, else start a sign-in.
AccountAction ChooseAccountAction(plx::PlatformId platform, const PlatformStatus& status,
                                  std::optional<plx::PlatformId> pending);

}  // namespace vlo
