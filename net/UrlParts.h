#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace plx::detail {

// An absolute http(s) or ws(s) URL taken apart.
struct UrlParts {
  std::string scheme;  // lower case: "http", "https", "ws" or "wss"
  std::string host;    // without brackets for an IPv6 literal
  uint16_t port{0};    // the URL's, else the scheme's default
  std::string target;  // path and query without the fragment; "/" when empty
  bool secure{false};  // https or wss
};

// Absent when the URL has another scheme, no host, or a bad port.
std::optional<UrlParts> ParseUrl(std::string_view url);

}  // namespace plx::detail
