#include "net/Download.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <mutex>

#include "net/TlsTrust.h"

namespace plx {
namespace {

using SteadyClock = std::chrono::steady_clock;

// The longest a wait for the network lasts before keepGoing is asked again.
constexpr int kPollMs = 100;

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// What the callbacks learn during one transfer. Touched on the calling thread only.
struct Transfer {
  CURL* easy{nullptr};
  const DownloadRequest* request{nullptr};
  int32_t status{0};
  bool headersDone{false};
  bool wrongStatus{false};
  bool stopped{false};
};

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const size_t length = size * count;
  const std::string_view line{data, length};
  if (line != "\r\n" && line != "\n") return length;
  long status = 0;
  curl_easy_getinfo(transfer->easy, CURLINFO_RESPONSE_CODE, &status);
  if (status >= 100 && status < 200) return length;  // an interim answer; the real one follows
  transfer->status = static_cast<int32_t>(status);
  transfer->headersDone = true;
  if (status == 200) return length;
  transfer->wrongStatus = true;
  return 0;  // ends the transfer before any of the body is read
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const size_t length = size * count;
  if (length == 0) return 0;
  if (!transfer->request->sink(std::string_view{data, length})) {
    transfer->stopped = true;
    return 0;
  }
  return length;
}

CURLcode OnSslContext(CURL*, void* sslContext, void*) {
  detail::AddExtraTrust(static_cast<SSL_CTX*>(sslContext));
  return CURLE_OK;
}

struct Handles {
  CURL* easy{curl_easy_init()};
  CURLM* multi{curl_multi_init()};
  curl_slist* headers{nullptr};
  bool added{false};
  ~Handles() {
    if (added) curl_multi_remove_handle(multi, easy);
    if (easy) curl_easy_cleanup(easy);
    if (multi) curl_multi_cleanup(multi);
    curl_slist_free_all(headers);
  }
};

curl_slist* HeaderList(std::string_view lines) {
  curl_slist* list{nullptr};
  while (!lines.empty()) {
    const size_t end = lines.find("\r\n");
    const std::string line{lines.substr(0, end)};
    lines = end == std::string_view::npos ? std::string_view{} : lines.substr(end + 2);
    if (!line.empty()) list = curl_slist_append(list, line.c_str());
  }
  return curl_slist_append(list, "Expect:");
}

// Runs the transfer until it ends, keepGoing says stop, or nothing moves for `timeoutMs` once
// the connection stands (libcurl's own connect time-out covers the time before).
CURLcode Run(Handles& handles, const DownloadRequest& request, bool* stopped) {
  if (curl_multi_add_handle(handles.multi, handles.easy) != CURLM_OK) return CURLE_FAILED_INIT;
  handles.added = true;
  auto lastActivity = SteadyClock::now();
  curl_off_t lastBytes = -1;
  for (;;) {
    int running = 0;
    if (curl_multi_perform(handles.multi, &running) != CURLM_OK) return CURLE_FAILED_INIT;
    if (running == 0) {
      int left = 0;
      while (CURLMsg* message = curl_multi_info_read(handles.multi, &left)) {
        if (message->msg == CURLMSG_DONE) return message->data.result;
      }
      return CURLE_RECV_ERROR;
    }
    if (request.keepGoing && !request.keepGoing()) {
      *stopped = true;
      return CURLE_ABORTED_BY_CALLBACK;
    }
    curl_off_t pretransfer = 0;
    curl_off_t down = 0;
    long headerBytes = 0;
    curl_easy_getinfo(handles.easy, CURLINFO_PRETRANSFER_TIME_T, &pretransfer);
    curl_easy_getinfo(handles.easy, CURLINFO_SIZE_DOWNLOAD_T, &down);
    curl_easy_getinfo(handles.easy, CURLINFO_HEADER_SIZE, &headerBytes);
    const curl_off_t bytes = down + headerBytes;
    const auto now = SteadyClock::now();
    if (pretransfer == 0 || bytes != lastBytes) {
      lastActivity = now;
      lastBytes = bytes;
    }
    const int64_t idleMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(now - lastActivity).count();
    if (idleMs >= request.timeoutMs) return CURLE_OPERATION_TIMEDOUT;
    const int waitMs = static_cast<int>(std::min<int64_t>(kPollMs, request.timeoutMs - idleMs));
    curl_multi_poll(handles.multi, nullptr, 0, std::max(waitMs, 1), nullptr);
  }
}

}  // namespace

DownloadResult Download(const DownloadRequest& request) {
  GlobalInit();
  Handles handles;
  if (!handles.easy || !handles.multi) return {DownloadEnd::NoSession, 0};
  CURL* easy = handles.easy;
  Transfer transfer{easy, &request};

  if (curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str()) != CURLE_OK ||
      curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https") != CURLE_OK ||
      curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L) != CURLE_OK) {
    return {DownloadEnd::BadUrl, 0};
  }
  if (curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L) != CURLE_OK ||
      curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L) != CURLE_OK ||
      curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L) != CURLE_OK ||
      curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, &OnSslContext) != CURLE_OK) {
    return {DownloadEnd::Insecure, 0};
  }
  handles.headers = HeaderList(request.headers);
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, handles.headers);
  curl_easy_setopt(easy, CURLOPT_USERAGENT, request.userAgent.c_str());
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  // Proxies come from the environment, as for every other request; never for loopback.
  curl_easy_setopt(easy, CURLOPT_NOPROXY, "127.0.0.1,localhost,::1");
  curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request.timeoutMs));
  curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, static_cast<long>(kDownloadChunkBytes));
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &OnHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &OnBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
  char curlError[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, curlError);

  bool keepGoingStopped = false;
  const CURLcode code = Run(handles, request, &keepGoingStopped);
  DownloadResult result{DownloadEnd::Complete, transfer.status};
  if (keepGoingStopped || transfer.stopped) {
    result.end = DownloadEnd::Stopped;
  } else if (transfer.wrongStatus) {
    result.end = DownloadEnd::Status;
  } else if (code == CURLE_OK) {
    result.end = transfer.headersDone ? DownloadEnd::Complete : DownloadEnd::NoResponse;
  } else if (code == CURLE_FAILED_INIT) {
    result.end = DownloadEnd::NoSession;
  } else if (transfer.headersDone) {
    result.end = DownloadEnd::Interrupted;
  } else if (code == CURLE_COULDNT_RESOLVE_HOST || code == CURLE_COULDNT_RESOLVE_PROXY ||
             code == CURLE_COULDNT_CONNECT) {
    result.end = DownloadEnd::CannotConnect;
  } else {
    result.end = DownloadEnd::NoResponse;
    if (code == CURLE_PEER_FAILED_VERIFICATION) {
      long verify{X509_V_OK};
      curl_easy_getinfo(easy, CURLINFO_SSL_VERIFYRESULT, &verify);
      // libcurl checks the host name itself, after a chain OpenSSL accepted, and says so only
      // in words.
      if (std::string_view{curlError}.find("host name") != std::string_view::npos) {
        verify = X509_V_OK;
      }
      result.certificateProblem = detail::CertificateProblem(verify);
    }
  }
  return result;
}

}  // namespace plx
