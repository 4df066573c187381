#pragma once

// Who a bearer token stands for at a simulated platform API, as the token authority tells it.

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vlo::sim {

struct ApiCaller {
  std::string id;           // Twitch user id, Kick user id (decimal), YouTube channel id
  std::string login;        // Twitch login, Kick username, YouTube handle
  std::string displayName;  // may be empty
  std::vector<std::string> scopes;
  std::string clientId;  // the OAuth client the token was issued to
};

// The caller behind a token, or nothing when the token is not valid. Called on a server thread
// without the API's lock held.
using CallerCheck = std::function<std::optional<ApiCaller>(std::string_view token)>;

inline bool HasScope(const ApiCaller& caller, std::string_view scope) {
  return std::find(caller.scopes.begin(), caller.scopes.end(), scope) != caller.scopes.end();
}

}  // namespace vlo::sim
