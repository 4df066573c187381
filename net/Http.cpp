#include "net/Http.h"

#include <curl/curl.h>

#include <vector>

#include "net/CurlTransfer.h"
#include "net/HttpParts.h"
#include "net/TlsTrust.h"
#include "net/UrlParts.h"

namespace plx {
namespace {

// `detailText` is libcurl's own message (its error buffer).
std::string ErrorText(CURLcode code, CURL* easy, bool tooLarge, const char* detailText) {
  switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
      return "network timeout";
    case CURLE_COULDNT_RESOLVE_HOST:
      return "network error (DNS)";
    case CURLE_COULDNT_CONNECT:
      return "network error (cannot connect)";
    case CURLE_URL_MALFORMAT:
      return "Invalid URL";
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
      return "network error (connection lost)";
    case CURLE_GOT_NOTHING:
      return "network error (no answer)";
    case CURLE_PARTIAL_FILE:
      return "network error (answer cut short)";
    case CURLE_PEER_FAILED_VERIFICATION:
      return detail::CertificateProblemOf(easy, detailText);
    case CURLE_SSL_CONNECT_ERROR: {
      // A connection that closed or was reset during the handshake is the network's doing.
      const std::string_view text{detailText};
      if (text.find("SSL_ERROR_SYSCALL") != std::string_view::npos ||
          text.find("reset by peer") != std::string_view::npos ||
          text.find("unexpected eof") != std::string_view::npos) {
        return "network error (connection lost)";
      }
      return detail::kSecureConnectionFailed;
    }
    case detail::kCurlCancelled:
      return "cancelled";
    case CURLE_FILESIZE_EXCEEDED:
      return std::string{kAnswerTooLarge};
    case CURLE_WRITE_ERROR:
      if (tooLarge) return std::string{kAnswerTooLarge};
      [[fallthrough]];
    default:
      return "network error (" + std::to_string(static_cast<int>(code)) + ")";
  }
}

// Where the body goes; refuses to grow past the request's limit.
struct BodySink {
  std::string* body;
  size_t maxBytes;
  bool tooLarge{false};
};

size_t AppendBody(char* data, size_t size, size_t count, void* user) {
  auto* sink = static_cast<BodySink*>(user);
  const size_t bytes{size * count};
  if (sink->body->size() + bytes > sink->maxBytes) {
    sink->tooLarge = true;
    return 0;  // libcurl ends the transfer with CURLE_WRITE_ERROR
  }
  sink->body->append(data, bytes);
  return bytes;
}

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

}  // namespace

HttpResponse Perform(const HttpRequest& request) {
  HttpResponse response;
  const std::optional<detail::UrlParts> parts{detail::ParseUrl(request.url)};
  if (!parts || (parts->scheme != "http" && parts->scheme != "https")) {
    response.error = "Invalid URL";
    return response;
  }
  detail::CurlGlobalInit();
  detail::CurlHandles handles;
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
  detail::RequireVerifiedTls(easy);
  char curlError[CURL_ERROR_SIZE]{};
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, curlError);
  BodySink sink{&response.body, request.maxBodyBytes};
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &AppendBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &sink);
  curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(request.maxBodyBytes));
  handles.headers = BuildHeaders(request);
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, handles.headers);
  SetMethodAndBody(easy, request);

  const CURLcode result{detail::RunTransfer(handles, request.control, request.timeoutMs)};
  // A transfer that broke off after the status line is a failure too: a cut body must not pass
  // for a whole one.
  if (result != CURLE_OK) {
    response.body.clear();
    response.error = ErrorText(result, easy, sink.tooLarge, curlError);
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
                     std::optional<std::string> headers, uint32_t timeoutMs, CallControl control) {
  HttpRequest request;
  request.url = url;
  request.method = method;
  request.body = std::move(body);
  request.contentType = contentType.value_or(std::string{});
  request.headers = headers.value_or(std::string{});
  request.timeoutMs = timeoutMs;
  request.control = std::move(control);
  return Perform(request);
}

HttpResponse Get(const std::string& url, uint32_t timeoutMs, CallControl control) {
  return Request(url, "GET", std::nullopt, std::nullopt, std::nullopt, timeoutMs,
                 std::move(control));
}

HttpResponse Get(const std::string& url, const std::string& headers, uint32_t timeoutMs,
                 CallControl control) {
  return Request(url, "GET", std::nullopt, std::nullopt, headers, timeoutMs, std::move(control));
}

HttpResponse PostForm(const std::string& url, std::string body, uint32_t timeoutMs,
                      CallControl control) {
  return Request(url, "POST", std::move(body), "application/x-www-form-urlencoded", std::nullopt,
                 timeoutMs, std::move(control));
}

HttpResponse PostJson(const std::string& url, std::string body, std::optional<std::string> headers,
                      uint32_t timeoutMs, CallControl control) {
  return Request(url, "POST", std::move(body), "application/json", std::move(headers), timeoutMs,
                 std::move(control));
}

}  // namespace plx
