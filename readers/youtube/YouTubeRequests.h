#pragma once

// The YouTube reader's requests to the web site and the Data API, and how it reads refusals.

#include <string>
#include <string_view>

#include "core/ChatHub.h"
#include "core/Endpoints.h"
#include "net/Http.h"

namespace vlo {

// Every request takes the reader's control (the hub's clock and "still wanted"), so a stop ends
// a hanging request at once.

// GET of a page of the web site as a browser would ask for it (consent cookie, English).
plx::HttpResponse FetchYouTubePage(const std::string& url, const plx::CallControl& control);

// GET of a Data API path (after "/youtube/v3/") with the bearer token.
plx::HttpResponse DataApiGet(const Endpoints& endpoints, std::string_view pathAndQuery,
                             std::string_view accessToken, const plx::CallControl& control);

// POST of one continuation to the web site's live chat endpoint.
plx::HttpResponse PostContinuation(const Endpoints& endpoints, std::string_view clientVersion,
                                   std::string_view continuation, const plx::CallControl& control);

// The reader's control over its requests: the hub's clock, and a stop of YouTube ends them.
plx::CallControl ReaderControl(ChatHub& hub);

// The text of a request that did not give what was asked: the transport text when nothing
// answered, else "HTTP <status>".
std::string FailureText(const plx::HttpResponse& response);

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
