#include "accounts/Portal.h"

#include "core/TextRules.h"

namespace vlo {

plx::HttpResponse PortalPost(const PortalBases& bases, std::string_view baseUrl,
                             std::string_view path, const std::string& body, uint32_t timeoutMs,
                             const plx::CallControl& control) {
  const auto post = [&](std::string_view base) {
    return plx::PostJson(std::string{base} + std::string{path}, body, std::nullopt, timeoutMs,
                         control);
  };
  plx::HttpResponse response = post(baseUrl);
  if (response.status == 0 && baseUrl == bases.primary && !bases.fallback.empty()) {
    plx::HttpResponse second = post(bases.fallback);
    if (second.status != 0) return second;
  }
  return response;
}

json::Json ParsePortalBody(std::string_view body) {
  return body.empty() ? json::Json::object() : json::ParseObject(body);
}

plx::LoginErrorCode MapPortalError(std::string_view error, std::string_view reason,
                                   std::string_view message) {
  using plx::LoginErrorCode;
  if (error == "not_configured" || error == "platform_unavailable" || error == "unavailable") {
    return LoginErrorCode::Unavailable;
  }
  if (error == "denied" || error == "access_denied") return LoginErrorCode::Denied;
  if (reason == "no_youtube_channel" || error == "no_youtube_channel" ||
      message.starts_with("This Google account has no YouTube channel")) {
    return LoginErrorCode::NoYouTubeChannel;
  }
  if (error == "provider_error") {
    const std::string lower = AsciiLower(message);
    return lower.find("not available") != std::string::npos ||
                   lower.find("not configured") != std::string::npos
               ? LoginErrorCode::Unavailable
               : LoginErrorCode::ProviderError;
  }
  return LoginErrorCode::Failed;
}

std::string WithoutTrailingSlashes(std::string_view url) {
  while (url.ends_with('/')) url.remove_suffix(1);
  return std::string{url};
}

}  // namespace vlo
