#pragma once

// The loopback redirect URIs of native apps (RFC 8252, section 7.3) as the authorization pages
// check and answer them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vlo::sim {

struct LoopbackUri {
  std::string host;    // "127.0.0.1" or "::1"
  uint16_t port{0};    // never 0
  std::string target;  // path and query, "/" at least
};

// "http://127.0.0.1:PORT" or "http://[::1]:PORT", then an optional path and query; no fragment,
// no user part, an explicit port. Nothing for anything else ("localhost" included).
std::optional<LoopbackUri> ParseLoopbackUri(std::string_view uri);

// `uri` with the parameters added to its query (a query it has is kept, RFC 6749 section
// 3.1.2), each name and value percent-encoded.
std::string WithQuery(const std::string& uri,
                      const std::vector<std::pair<std::string, std::string>>& params);

// Unreserved bytes are kept, every other byte becomes %XX.
std::string QueryEncode(std::string_view text);

// A GET of a loopback URI as a browser would send it; the answer is read and dropped. False
// when no answer came within `timeoutMs` (real time) or the URI is not a loopback one.
bool VisitLoopback(const std::string& uri, int timeoutMs);

}  // namespace vlo::sim
