#include "net/CurlTransfer.h"

#include <openssl/x509_vfy.h>

#include <mutex>
#include <string_view>

#include "net/TlsTrust.h"

namespace plx::detail {
namespace {

// How often a waiting transfer looks at its clock and its control (real milliseconds).
constexpr int kPollStepMs = 100;

CURLcode OnSslContext(CURL*, void* sslContext, void*) {
  AddExtraTrust(static_cast<SSL_CTX*>(sslContext));
  return CURLE_OK;
}

}  // namespace

void CurlGlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

CurlHandles::~CurlHandles() {
  if (added) curl_multi_remove_handle(multi, easy);
  if (easy) curl_easy_cleanup(easy);
  if (multi) curl_multi_cleanup(multi);
  curl_slist_free_all(headers);
}

bool RequireVerifiedTls(CURL* easy) {
  return curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L) == CURLE_OK &&
         curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, &OnSslContext) == CURLE_OK;
}

CURLcode RunTransfer(CurlHandles& handles, const CallControl& control, uint32_t timeoutMs) {
  if (curl_multi_add_handle(handles.multi, handles.easy) != CURLM_OK) return CURLE_FAILED_INIT;
  handles.added = true;
  IdleTimer idle{control.clock, timeoutMs};
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
    if (!control.Wanted()) return kCurlCancelled;
    if (timeoutMs > 0 && idle.Expired()) return CURLE_OPERATION_TIMEDOUT;
    curl_multi_poll(handles.multi, nullptr, 0, kPollStepMs, nullptr);
  }
}

std::string CertificateProblemOf(CURL* easy, const char* errorBuffer) {
  long verify{X509_V_OK};
  curl_easy_getinfo(easy, CURLINFO_SSL_VERIFYRESULT, &verify);
  // libcurl checks the host name itself, after a chain OpenSSL accepted, and says so only in
  // words.
  if (std::string_view{errorBuffer}.find("host name") != std::string_view::npos) {
    verify = X509_V_OK;
  }
  return CertificateProblem(verify);
}

}  // namespace plx::detail
