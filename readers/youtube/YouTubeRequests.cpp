#include "readers/youtube/YouTubeRequests.h"

#include "readers/youtube/PageChat.h"
#include "readers/youtube/PageScrapers.h"

namespace vlo {

namespace {
constexpr uint32_t kTimeoutMs = 15000;
constexpr std::string_view kLanguageHeader = "Accept-Language: en-US,en;q=0.9";
}  // namespace

plx::CallControl ReaderControl(ChatHub& hub) {
  return {&hub.GetClock(), [&hub] { return hub.IsWanted(plx::PlatformId::YouTube); }};
}

std::string FailureText(const plx::HttpResponse& response) {
  return response.status == 0 ? response.error : "HTTP " + std::to_string(response.status);
}

plx::HttpResponse FetchYouTubePage(const std::string& url, const plx::CallControl& control) {
  plx::HttpRequest request;
  request.method = "GET";
  request.url = url;
  request.userAgent = plx::BrowserUserAgent();
  request.headers = std::string{kLanguageHeader} + "\r\nCookie: SOCS=CAI; CONSENT=YES+1";
  request.timeoutMs = kTimeoutMs;
  request.control = control;
  return plx::Perform(request);
}

plx::HttpResponse DataApiGet(const Endpoints& endpoints, std::string_view pathAndQuery,
                             std::string_view accessToken, const plx::CallControl& control) {
  plx::HttpRequest request;
  request.method = "GET";
  request.url = endpoints.youtubeApi + "/youtube/v3/" + std::string{pathAndQuery};
  request.headers = "Authorization: Bearer " + std::string{accessToken};
  request.timeoutMs = kTimeoutMs;
  request.control = control;
  return plx::Perform(request);
}

plx::HttpResponse PostContinuation(const Endpoints& endpoints, std::string_view clientVersion,
                                   std::string_view continuation, const plx::CallControl& control) {
  plx::HttpRequest request;
  request.method = "POST";
  request.url = endpoints.youtubeWeb + "/youtubei/v1/live_chat/get_live_chat?prettyPrint=false";
  request.body = BuildContinuationRequest(clientVersion, continuation);
  request.contentType = "application/json";
  request.userAgent = plx::BrowserUserAgent();
  request.headers = std::string{kLanguageHeader} + "\r\nOrigin: " + std::string{kYouTubeOrigin};
  request.timeoutMs = kTimeoutMs;
  request.control = control;
  return plx::Perform(request);
}

bool IsQuotaRefusal(const plx::HttpResponse& response) {
  return response.status == 403 && (response.body.find("quotaExceeded") != std::string::npos ||
                                    response.body.find("rateLimitExceeded") != std::string::npos);
}

void Refusals::Classify(const plx::HttpResponse& response) {
  if (response.status == 401) {
    signInRejected = true;
  } else if (response.status == 403) {
    if (IsQuotaRefusal(response)) {
      quotaHit = true;
    } else {
      signInRejected = true;
    }
  }
}

}  // namespace vlo
