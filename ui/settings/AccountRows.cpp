#include "ui/settings/AccountRows.h"

namespace vlo {

namespace {

ButtonKind BrandKind(plx::PlatformId platform) {
  switch (platform) {
    case plx::PlatformId::YouTube:
      return ButtonKind::YouTubeBrand;
    case plx::PlatformId::Kick:
      return ButtonKind::KickBrand;
    default:
      return ButtonKind::TwitchBrand;
  }
}

}  // namespace

AccountRow MakeAccountRow(plx::PlatformId platform, const PlatformStatus& status,
                          std::optional<plx::PlatformId> pending) {
  AccountRow row;
  if (pending == platform) {
    row = {"Finish the sign-in in your browser\u2026", "Cancel", ButtonKind::Plain};
  } else if (status.signedIn) {
    row = {
        "Signed in as " + (status.account.empty() ? std::string{"your account"} : status.account),
        "Sign out", ButtonKind::Plain};
  } else {
    row = {"Not signed in", "Sign in", BrandKind(platform)};
  }
  row.enabled = !pending || *pending == platform;
  return row;
}

AccountAction ChooseAccountAction(plx::PlatformId platform, const PlatformStatus& status,
                                  std::optional<plx::PlatformId> pending) {
  if (pending == platform) return AccountAction::CancelSignIn;
  return status.signedIn ? AccountAction::SignOut : AccountAction::StartSignIn;
}

}  // namespace vlo
