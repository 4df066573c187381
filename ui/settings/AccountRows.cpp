#include "ui/settings/AccountRows.h"

#include <algorithm>

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

bool IsAlnum(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

}  // namespace

AccountRow MakeAccountRow(plx::PlatformId platform, const PlatformStatus& status,
                          std::optional<plx::PlatformId> pending, bool ownApp,
                          const std::optional<SignInPrompt>& prompt) {
  AccountRow row;
  if (pending == platform) {
    row.line = "Finish the sign-in in your browser\u2026";
    row.button = "Cancel";
    row.kind = ButtonKind::Plain;
    if (prompt && prompt->platform == platform && !prompt->userCode.empty()) {
      const std::string code{GroupUserCode(prompt->userCode)};
      row.line = "Enter the code " + code + " in your browser\u2026";
      row.shorter = {"Enter " + code + " in your browser\u2026", "Code " + code};
    }
  } else if (status.signedIn) {
    row.line =
        "Signed in as " + (status.account.empty() ? std::string{"your account"} : status.account);
    row.button = "Sign out";
    row.kind = ButtonKind::Plain;
  } else {
    row.line = ownApp ? "Not signed in \u00B7 own app" : "Not signed in";
    row.button = "Sign in";
    row.kind = BrandKind(platform);
  }
  row.enabled = !pending || *pending == platform;
  return row;
}

AccountAction ChooseAccountAction(plx::PlatformId platform, const PlatformStatus& status,
                                  std::optional<plx::PlatformId> pending) {
  if (pending == platform) return AccountAction::CancelSignIn;
  return status.signedIn ? AccountAction::SignOut : AccountAction::StartSignIn;
}

std::string GroupUserCode(std::string_view code) {
  if (code.size() == 8 && std::all_of(code.begin(), code.end(), IsAlnum)) {
    return std::string{code.substr(0, 4)} + "-" + std::string{code.substr(4)};
  }
  std::string out;
  for (const char c : code) {
    if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) out += c;
  }
  return out;
}

}  // namespace vlo
