#include "net/Download.h"

#include "net/CurlTransfer.h"
#include "net/HttpParts.h"

namespace plx {
namespace {

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

curl_slist* HeaderList(std::string_view lines) {
  curl_slist* list{nullptr};
  for (const std::string& line : detail::SplitHeaderLines(lines)) {
    list = curl_slist_append(list, line.c_str());
  }
  return curl_slist_append(list, "Expect:");
}

}  // namespace

DownloadResult Download(const DownloadRequest& request) {
  detail::CurlGlobalInit();
  detail::CurlHandles handles;
  if (!handles.easy || !handles.multi) return {DownloadEnd::NoSession, 0, {}};
  CURL* easy = handles.easy;
  Transfer transfer{easy, &request};

  if (curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str()) != CURLE_OK ||
      curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https") != CURLE_OK ||
      curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L) != CURLE_OK) {
    return {DownloadEnd::BadUrl, 0, {}};
  }
  if (curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L) != CURLE_OK ||
      !detail::RequireVerifiedTls(easy)) {
    return {DownloadEnd::Insecure, 0, {}};
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

  CallControl control;
  control.keepGoing = request.keepGoing;
  const CURLcode code = detail::RunTransfer(handles, control, request.timeoutMs);
  DownloadResult result{DownloadEnd::Complete, transfer.status, {}};
  if (code == detail::kCurlCancelled || transfer.stopped) {
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
      result.certificateProblem = detail::CertificateProblemOf(easy, curlError);
    }
  }
  return result;
}

}  // namespace plx
