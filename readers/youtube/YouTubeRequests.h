#pragma once

// The YouTube reader's requests to the web site and the Data API, and how it reads refusals.

#include <string>
#include <string_view>

#include "core/Endpoints.h"
#include "net/Http.h"

namespace vlo {

// GET of a page of the web site as a browser would ask for it (consent cookie, English).
plx::HttpResponse FetchYouTubePage(const std::string& url);

// GET of a Data API path (after "/youtube/v3/") with the bearer token.
plx::HttpResponse DataApiGet(const Endpoints& endpoints, std::string_view pathAndQuery,
                             std::string_view accessToken);

// POST of one continuation to the web site's live chat endpoint.
plx::HttpResponse PostContinuation(const Endpoints& endpoints, std::string_view clientVersion,
                                   std::string_view continuation);

inline bool IsSuccess(int status) { return status >= 200 && status <= 299; }

// A 403 whose body names an exhausted quota or rate limit.
bool IsQuotaRefusal(const plx::HttpResponse& response);

// Flags a Data API answer raises: 401 refuses the sign-in; 403 is the quota or, otherwise, also a
// refused sign-in.
struct Refusals {
  bool signInRejected{false};
  bool quotaHit{false};

  void Classify(const plx::HttpResponse& response);
};

}  // namespace vlo
