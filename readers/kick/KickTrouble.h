#pragma once

// What the Kick reader says, and how long it waits, when a request of a cycle did not give it
// what it needed. Pure.

#include <cstdint>
#include <string>
#include <vector>

#include "net/Http.h"

namespace vlo {

// The status detail of a failed step and the wait before the next cycle.
struct KickRetry {
  std::string detail;
  int64_t waitMs{0};

  bool operator==(const KickRetry&) const = default;
};

// "Could not reach Kick (<transport text>) - retrying in <n> s".
std::string KickUnreachableText(const std::string& error, int64_t waitMs);

// A wait of at least `minimumMs`, longer when an answer asked for it with Retry-After (at most
// ten minutes).
int64_t KickWaitFor(const plx::HttpResponse& response, int64_t minimumMs);

// A channel lookup that found no chatroom and no path answered 404, from the answers of the
// paths in order: a refusal or an unusable page (403, HTML) reads as a block; a 429 as a limit,
// with its Retry-After honoured; another error status names itself; no answer at all names the
// network.
KickRetry LookupRetry(const std::vector<plx::HttpResponse>& answers);

}  // namespace vlo
