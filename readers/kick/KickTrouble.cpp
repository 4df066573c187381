#include "readers/kick/KickTrouble.h"

#include <algorithm>

namespace vlo {

namespace {

constexpr int64_t kLookupRetryMs = 30000;
constexpr int64_t kMaxWaitMs = 600'000;

std::string Seconds(int64_t ms) { return std::to_string((ms + 999) / 1000); }

bool IsSuccess(int32_t status) { return status >= 200 && status <= 299; }

}  // namespace

std::string KickUnreachableText(const std::string& error, int64_t waitMs) {
  // Kick did answer, with more than the reader accepts: no network to blame.
  if (error == plx::kAnswerTooLarge) {
    return "Kick's answer was too large to read - retrying in " + Seconds(waitMs) + " s";
  }
  return "Could not reach Kick (" + error + ") - retrying in " + Seconds(waitMs) + " s";
}

int64_t KickWaitFor(const plx::HttpResponse& response, int64_t minimumMs) {
  return std::clamp(int64_t{response.retryAfter} * 1000, minimumMs, kMaxWaitMs);
}

KickRetry LookupRetry(const std::vector<plx::HttpResponse>& answers) {
  const plx::HttpResponse* limited = nullptr;
  const plx::HttpResponse* failed = nullptr;
  for (const plx::HttpResponse& answer : answers) {
    if (answer.status == 403 || IsSuccess(answer.status)) {
      return {"Kick blocked the channel lookup - retrying in 30 s", kLookupRetryMs};
    }
    if (answer.status == 429 && !limited) limited = &answer;
    if (answer.status != 0 && answer.status != 429 && !failed) failed = &answer;
  }
  if (limited) {
    const int64_t wait = KickWaitFor(*limited, kLookupRetryMs);
    return {"Kick is limiting requests - retrying in " + Seconds(wait) + " s", wait};
  }
  if (failed) {
    return {"Kick could not look the channel up (HTTP " + std::to_string(failed->status) +
                ") - retrying in 30 s",
            kLookupRetryMs};
  }
  const std::string error =
      answers.empty() ? std::string{"no request made"} : answers.front().error;
  return {KickUnreachableText(error, kLookupRetryMs), kLookupRetryMs};
}

}  // namespace vlo
