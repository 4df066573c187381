#include "actions/ActionRequest.h"

#include <charconv>

namespace vlo::detail {

bool IsSuccess(int32_t status) { return status >= 200 && status <= 299; }

std::optional<int64_t> ParseId(std::string_view text) {
  int64_t value{0};
  const char* end{text.data() + text.size()};
  const auto [last, error]{std::from_chars(text.data(), end, value)};
  if (text.empty() || error != std::errc{} || last != end) return std::nullopt;
  return value;
}

namespace {

plx::CallControl ControlOf(const ChatHub& hub) {
  plx::CallControl control;
  control.keepGoing = [&hub] { return !hub.Stopped(); };
  return control;
}

}  // namespace

plx::HttpResponse SendJson(const ChatHub& hub, std::string method, std::string url,
                           std::string body, std::string headers) {
  plx::HttpRequest request;
  request.control = ControlOf(hub);
  request.method = std::move(method);
  request.url = std::move(url);
  request.body = std::move(body);
  request.contentType = "application/json";
  request.headers = std::move(headers);
  request.timeoutMs = kActionTimeoutMs;
  return plx::Perform(request);
}

plx::HttpResponse SendBare(const ChatHub& hub, std::string method, std::string url,
                           std::string headers) {
  plx::HttpRequest request;
  request.control = ControlOf(hub);
  request.method = std::move(method);
  request.url = std::move(url);
  request.headers = std::move(headers);
  request.timeoutMs = kActionTimeoutMs;
  return plx::Perform(request);
}

std::string HideToken(std::string text, std::string_view token) {
  if (token.empty()) return text;
  constexpr std::string_view kHidden{"[token]"};
  for (size_t at{text.find(token)}; at != std::string::npos;
       at = text.find(token, at + kHidden.size())) {
    text.replace(at, token.size(), kHidden);
  }
  return text;
}

}  // namespace vlo::detail
