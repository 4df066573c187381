#include "net/Http.h"

#include <curl/curl.h>
#include <openssl/x509_vfy.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

#include "net/HttpParts.h"
#include "net/TlsTrust.h"
#include "net/UrlParts.h"

namespace plx {
namespace {

// How often a waiting transfer looks at its clock and its control (real milliseconds).
constexpr int kPollStepMs = 100;

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Results of a transfer that ended early for a reason of our own.
constexpr CURLcode kCancelled = CURLE_ABORTED_BY_CALLBACK;

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
    case CURLE_PEER_FAILED_VERIFICATION: {
      long verify{X509_V_OK};
      curl_easy_getinfo(easy, CURLINFO_SSL_VERIFYRESULT, &verify);
      // libcurl checks the name itself, after a chain OpenSSL accepted, and says so only in words.
      if (std::string_view{detailText}.find("host name") != std::string_view::npos) {
        verify = X509_V_OK;
      }
      return detail::CertificateProblem(verify);
    }
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
    case kCancelled:
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

// Runs the transfer. A transfer that moves no byte for `timeoutMs` of the control's clock, from
// the start (resolve, connect and TLS included), ends as a time-out; a stop ends it at once.
CURLcode Run(Handles& handles, const HttpRequest& request) {
  curl_multi_add_handle(handles.multi, handles.easy);
  IdleTimer idle{request.control.clock, request.timeoutMs};
  curl_off_t lastBytes{0};
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
    curl_off_t down{0};
    curl_off_t up{0};
    long headerBytes{0};
    curl_easy_getinfo(handles.easy, CURLINFO_SIZE_DOWNLOAD_T, &down);
    curl_easy_getinfo(handles.easy, CURLINFO_SIZE_UPLOAD_T, &up);
    curl_easy_getinfo(handles.easy, CURLINFO_HEADER_SIZE, &headerBytes);
    const curl_off_t bytes{down + up + headerBytes};
    if (bytes != lastBytes) {
      idle.Touch();
      lastBytes = bytes;
    }
    if (!request.control.Wanted()) return kCancelled;
    if (request.timeoutMs > 0 && idle.Expired()) return CURLE_OPERATION_TIMEDOUT;
    curl_multi_poll(handles.multi, nullptr, 0, kPollStepMs, nullptr);
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
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, &OnSslContext);
  char curlError[CURL_ERROR_SIZE]{};
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, curlError);
  BodySink sink{&response.body, request.maxBodyBytes};
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &AppendBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &sink);
  curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(request.maxBodyBytes));
  handles.headers = BuildHeaders(request);
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, handles.headers);
  SetMethodAndBody(easy, request);

  const CURLcode result{Run(handles, request)};
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
