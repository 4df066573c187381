#include "ui/settings/OwnAppForm.h"

#include <algorithm>

#include "core/TextRules.h"

namespace vlo {

namespace {

// No white space or control character inside (a space, a tab, a line break left from pasting
// two values at once).
bool OneWord(std::string_view text) {
  return std::none_of(text.begin(), text.end(),
                      [](char c) { return static_cast<unsigned char>(c) <= 0x20 || c == 0x7F; });
}

}  // namespace

bool UsesRedirect(plx::PlatformId platform) {
  return platform == plx::PlatformId::YouTube || platform == plx::PlatformId::Kick;
}

int ParseRedirectPort(std::string_view text) {
  text = TrimSpace(text);
  if (text.empty() || text.size() > 5) return 0;
  int port{0};
  for (const char c : text) {
    if (c < '0' || c > '9') return 0;
    port = port * 10 + (c - '0');
  }
  return port >= kMinRedirectPort && port <= kMaxRedirectPort ? port : 0;
}

OwnAppCheck CheckOwnApp(plx::PlatformId platform, const OwnAppEntry& entry) {
  OwnAppCheck check;
  check.client.clientId = std::string{TrimSpace(entry.clientId)};
  const bool redirect{UsesRedirect(platform)};
  check.client.clientSecret =
      redirect ? std::string{TrimSpace(entry.clientSecret)} : entry.clientSecret;
  if (check.client.clientId.empty()) {
    check.error = kClientIdMissing;
  } else if (!OneWord(check.client.clientId)) {
    check.error = kClientIdInvalid;
  } else if (redirect && check.client.clientSecret.empty()) {
    check.error = kSecretMissing;
  } else if (redirect && !OneWord(check.client.clientSecret)) {
    check.error = kSecretInvalid;
  } else if (redirect && (check.port = ParseRedirectPort(entry.port)) == 0) {
    check.error = kPortInvalid;
  }
  if (!check.ok()) check.client = {};
  return check;
}

}  // namespace vlo
