#include "net/UrlParts.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace plx::detail {

std::optional<UrlParts> ParseUrl(std::string_view url) {
  const size_t colon{url.find("://")};
  if (colon == std::string_view::npos) return std::nullopt;
  UrlParts parts;
  parts.scheme = std::string{url.substr(0, colon)};
  std::transform(parts.scheme.begin(), parts.scheme.end(), parts.scheme.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (parts.scheme == "http" || parts.scheme == "ws") {
    parts.port = 80;
  } else if (parts.scheme == "https" || parts.scheme == "wss") {
    parts.port = 443;
    parts.secure = true;
  } else {
    return std::nullopt;
  }

  std::string_view rest{url.substr(colon + 3)};
  rest = rest.substr(0, rest.find('#'));
  const size_t authorityEnd{rest.find_first_of("/?")};
  std::string_view authority{rest.substr(0, authorityEnd)};
  std::string_view target{authorityEnd == std::string_view::npos ? std::string_view{}
                                                                 : rest.substr(authorityEnd)};
  if (const size_t at{authority.rfind('@')}; at != std::string_view::npos) {
    authority = authority.substr(at + 1);
  }

  std::string_view host{authority};
  std::string_view port;
  if (authority.starts_with('[')) {
    const size_t close{authority.find(']')};
    if (close == std::string_view::npos) return std::nullopt;
    host = authority.substr(1, close - 1);
    std::string_view after{authority.substr(close + 1)};
    if (!after.empty()) {
      if (!after.starts_with(':')) return std::nullopt;
      port = after.substr(1);
    }
  } else if (const size_t sep{authority.rfind(':')}; sep != std::string_view::npos) {
    host = authority.substr(0, sep);
    port = authority.substr(sep + 1);
  }
  if (host.empty()) return std::nullopt;
  for (const char c : host) {
    if (static_cast<unsigned char>(c) <= ' ' || c == '\\') return std::nullopt;
  }
  if (!port.empty()) {
    unsigned value{0};
    const auto [end, error]{std::from_chars(port.data(), port.data() + port.size(), value)};
    if (error != std::errc{} || end != port.data() + port.size() || value == 0 || value > 65535) {
      return std::nullopt;
    }
    parts.port = static_cast<uint16_t>(value);
  }
  parts.host = std::string{host};
  parts.target = target.empty() ? std::string{"/"} : std::string{target};
  if (parts.target.front() == '?') parts.target = "/" + parts.target;
  return parts;
}

}  // namespace plx::detail
