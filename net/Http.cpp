#include "net/Http.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

#include "net/HttpParts.h"
#include "net/TlsTrust.h"
#include "net/UrlParts.h"

namespace plx {
namespace {

using SteadyClock = std::chrono::steady_clock;

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string ErrorText(CURLcode code) {
  switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
      return "network timeout";
    case CURLE_COULDNT_RESOLVE_HOST:
      return "network error (DNS)";
    case CURLE_COULDNT_CONNECT:
      return "network error (cannot connect)";
    case CURLE_URL_MALFORMAT:
      return "Invalid URL";
    default:
      return "network error (" + std::to_string(static_cast<int>(code)) + ")";
  }
}

size_t AppendBody(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

CURLcode OnSslContext(CURL*, void* sslContext, void*) {
  detail::AddExtraTrust(static_cast<SSL_CTX*>(sslContext));
  return CURLE_OK;
}

struct Handles {
  CURL* easy{curl_easy_init()};
  CURLM* multi{curl_multi_init()};
  curl_slist* headers{nullptr};
  ~Handles() {
    if (multi && easy) curl_multi_remove_handle(multi, easy);
    if (easy) curl_easy_cleanup(easy);
    if (multi) curl_multi_cleanup(multi);
    curl_slist_free_all(headers);
  }
};

void SetMethodAndBody(CURL* easy, const HttpRequest& request) {
  const std::string& method{request.method};
  if (request.body) {
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(request.body->size()));
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, request.body->data());
    if (method != "POST") curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
  } else if (method == "GET") {
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
  } else if (method == "HEAD") {
    curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
  } else if (method == "POST") {
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE, 0L);
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, "");
  } else {
    curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
  }
}

curl_slist* BuildHeaders(const HttpRequest& request) {
  curl_slist* list{nullptr};
  for (const std::string& line : detail::HeaderLines(request.contentType, request.headers)) {
    list = curl_slist_append(list, line.c_str());
  }
  // libcurl would add these on its own; the request carries only what it was given.
  if (request.contentType.empty()) list = curl_slist_append(list, "Content-Type:");
  list = curl_slist_append(list, "Expect:");
  return list;
}

// Runs the transfer. Besides libcurl's connect time-out, a transfer that moves no byte for
// `timeoutMs` after connecting ends as a time-out (libcurl has no per-phase receive time-out).
CURLcode Run(Handles& handles, uint32_t timeoutMs) {
  curl_multi_add_handle(handles.multi, handles.easy);
  auto lastActivity{SteadyClock::now()};
  curl_off_t lastBytes{-1};
  for (;;) {
    int running{0};
    if (curl_multi_perform(handles.multi, &running) != CURLM_OK) return CURLE_FAILED_INIT;
    if (running == 0) {
      int left{0};
      while (CURLMsg * message{curl_multi_info_read(handles.multi, &left)}) {
        if (message->msg == CURLMSG_DONE) return message->data.result;
      }
      return CURLE_RECV_ERROR;
    }
    curl_off_t pretransfer{0};
    curl_off_t down{0};
    curl_off_t up{0};
    long headerBytes{0};
    curl_easy_getinfo(handles.easy, CURLINFO_PRETRANSFER_TIME_T, &pretransfer);
    curl_easy_getinfo(handles.easy, CURLINFO_SIZE_DOWNLOAD_T, &down);
    curl_easy_getinfo(handles.easy, CURLINFO_SIZE_UPLOAD_T, &up);
    curl_easy_getinfo(handles.easy, CURLINFO_HEADER_SIZE, &headerBytes);
    const curl_off_t bytes{down + up + headerBytes};
    const auto now{SteadyClock::now()};
    if (pretransfer == 0 || bytes != lastBytes) {
      lastActivity = now;
      lastBytes = bytes;
    }
    int waitMs{1000};
    if (timeoutMs > 0) {
      const auto idle{std::chrono::duration_cast<std::chrono::milliseconds>(now - lastActivity)};
      if (idle.count() >= timeoutMs) return CURLE_OPERATION_TIMEDOUT;
      waitMs = static_cast<int>(std::min<int64_t>(waitMs, timeoutMs - idle.count()));
    }
    curl_multi_poll(handles.multi, nullptr, 0, std::max(waitMs, 1), nullptr);
  }
}

}  // namespace

HttpResponse Perform(const HttpRequest& request) {
  HttpResponse response;
  const std::optional<detail::UrlParts> parts{detail::ParseUrl(request.url)};
  if (!parts || (parts->scheme != "http" && parts->scheme != "https")) {
    response.error = "Invalid URL";
    return response;
  }
  GlobalInit();
  Handles handles;
  if (!handles.easy || !handles.multi) {
    response.error = "network error (" + std::to_string(CURLE_FAILED_INIT) + ")";
    return response;
  }
  CURL* easy{handles.easy};
  const std::string url{request.url.substr(0, request.url.find('#'))};
  const std::string userAgent{request.userAgent.empty() ? AppUserAgent() : request.userAgent};
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, request.followRedirects ? 1L : 0L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(easy, CURLOPT_USERAGENT, userAgent.c_str());
  curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "gzip, deflate");
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_NOPROXY, "127.0.0.1,localhost");
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request.timeoutMs));
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, &OnSslContext);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &AppendBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &response.body);
  handles.headers = BuildHeaders(request);
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, handles.headers);
  SetMethodAndBody(easy, request);

  const CURLcode result{Run(handles, request.timeoutMs)};
  // A transfer that broke off after the status line is a failure too: a cut body must not pass
  // for a whole one.
  if (result != CURLE_OK) {
    response.body.clear();
    response.error = ErrorText(result);
    return response;
  }
  long status{0};
  curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
  response.status = static_cast<int32_t>(status);
  curl_header* retryAfter{nullptr};
  if (curl_easy_header(easy, "Retry-After", 0, CURLH_HEADER, -1, &retryAfter) == CURLHE_OK) {
    response.retryAfter = detail::ParseRetryAfter(retryAfter->value);
  }
  return response;
}

HttpResponse Request(const std::string& url, const std::string& method,
                     std::optional<std::string> body, std::optional<std::string> contentType,
                     std::optional<std::string> headers, uint32_t timeoutMs) {
  HttpRequest request;
  request.url = url;
  request.method = method;
  request.body = std::move(body);
  request.contentType = contentType.value_or(std::string{});
  request.headers = headers.value_or(std::string{});
  request.timeoutMs = timeoutMs;
  return Perform(request);
}

HttpResponse Get(const std::string& url, uint32_t timeoutMs) {
  return Request(url, "GET", std::nullopt, std::nullopt, std::nullopt, timeoutMs);
}

HttpResponse Get(const std::string& url, const std::string& headers, uint32_t timeoutMs) {
  return Request(url, "GET", std::nullopt, std::nullopt, headers, timeoutMs);
}

HttpResponse PostForm(const std::string& url, std::string body, uint32_t timeoutMs) {
  return Request(url, "POST", std::move(body), "application/x-www-form-urlencoded", std::nullopt,
                 timeoutMs);
}

HttpResponse PostJson(const std::string& url, std::string body, std::optional<std::string> headers,
                      uint32_t timeoutMs) {
  return Request(url, "POST", std::move(body), "application/json", std::move(headers), timeoutMs);
}

}  // namespace plx
