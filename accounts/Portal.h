#pragma once

// The maker's portal as the program uses it: its HTTP transport with the fallback rule, the
// sign-in result and error records, and the mapping of the portal's refusals to error codes.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/Accounts.h"
#include "core/Json.h"
#include "net/Http.h"

namespace plx {

enum class LoginErrorCode : int32_t {
  None = 0,
  Cancelled = 1,  // the user cancelled, or the service shut down
  Denied = 2,
  Expired = 3,
  TimedOut = 4,
  Unavailable = 5,
  Unreachable = 6,
  ProviderError = 7,
  NoYouTubeChannel = 8,
  Failed = 9,
};

// Thrown and caught only inside the sign-in worker.
class LoginError : public std::runtime_error {
 public:
  LoginError(LoginErrorCode code, const std::string& message)
      : std::runtime_error{message}, code_{code} {}
  LoginErrorCode code() const { return code_; }

 private:
  LoginErrorCode code_;
};

struct OAuthLoginResult {
  bool ok{false};
  std::optional<PlatformId> platform;
  LoginErrorCode code{LoginErrorCode::None};
  std::string message;  // "Connected as …" on success, else the error text
  AccountInfo account;
};

}  // namespace plx

namespace vlo {

struct PortalBases {
  std::string primary;   // never ends in "/"
  std::string fallback;  // tried once when the primary gave no HTTP response; may be empty
};

// Posts compact JSON to `baseUrl` + `path`. When `baseUrl` is exactly the primary base and no HTTP
// response arrived, the request is sent once more to the fallback base; its response is returned
// when it got one, otherwise the primary's.
plx::HttpResponse PortalPost(const PortalBases& bases, std::string_view baseUrl,
                             std::string_view path, const std::string& body, uint32_t timeoutMs,
                             const plx::CallControl& control = {});

// An empty body counts as "{}"; anything that is not a JSON object as an empty object.
json::Json ParsePortalBody(std::string_view body);

// The error code of a portal refusal (HTTP 400 with "error", "reason" and "message").
plx::LoginErrorCode MapPortalError(std::string_view error, std::string_view reason,
                                   std::string_view message);

// A base URL with every trailing "/" removed.
std::string WithoutTrailingSlashes(std::string_view url);

}  // namespace vlo
