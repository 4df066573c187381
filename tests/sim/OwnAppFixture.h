#pragma once

// Sign-in with the user's own app registration: the apps registered at each platform, and a
// loopback listener standing in for the program's, where the browser lands after the
// authorization page.

#include <string>
#include <vector>

#include "tests/sim/AccountsFixture.h"

namespace vlo::sim::testing_accounts {

inline constexpr const char* kDeviceGrant = "urn:ietf:params:oauth:grant-type:device_code";
// The verifier of RFC 7636's example.
inline constexpr const char* kVerifier = "dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk";

inline bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

inline std::string Joined(const std::vector<std::string>& scopes) {
  std::string out;
  for (const std::string& scope : scopes) out += (out.empty() ? "" : " ") + scope;
  return out;
}

class OwnAppSim : public AccountsFixture {
 protected:
  OwnAppSim() {
    accounts.AddClient(PlatformId::Twitch, "own-twitch", "");
    accounts.AddClient(PlatformId::YouTube, "own-google", "g-secret");
    accounts.AddClient(PlatformId::Kick, "own-kick", "k-secret");
    listener.Route("GET", "/callback", [](const HttpExchange&) {
      return HttpAnswer::Text("signed in", "text/html", 200);
    });
  }

  // The loopback listener's requests: what the browser brought back.
  std::vector<HttpExchange> Callbacks() const { return listener.Requests(); }
  std::string CallbackUri() const { return listener.BaseUrl() + "/callback"; }

  SimServer listener;
};

}  // namespace vlo::sim::testing_accounts
