#pragma once

// What the HTTP client and the streamed download share over libcurl: the global set-up, the
// handles of one transfer, the TLS policy, the transfer loop with its idle time-out and stop
// control, and the sentence for a refused certificate. Internal to net/.

#include <curl/curl.h>

#include <cstdint>
#include <string>

#include "net/CallControl.h"

namespace plx::detail {

// The result of a transfer that the control stopped.
inline constexpr CURLcode kCurlCancelled = CURLE_ABORTED_BY_CALLBACK;

// libcurl's global set-up, once per process; any thread.
void CurlGlobalInit();

// One easy handle on a multi handle of its own, freed together (with the header list).
struct CurlHandles {
  CURL* easy{curl_easy_init()};
  CURLM* multi{curl_multi_init()};
  curl_slist* headers{nullptr};
  bool added{false};

  CurlHandles() = default;
  ~CurlHandles();
  CurlHandles(const CurlHandles&) = delete;
  CurlHandles& operator=(const CurlHandles&) = delete;
};

// TLS peer and host-name verification on, with the extra trust of the tests; false when libcurl
// refused an option.
bool RequireVerifiedTls(CURL* easy);

// Runs the transfer to its end: libcurl's result, kCurlCancelled as soon as the control no longer
// wants it, or CURLE_OPERATION_TIMEDOUT once no byte has moved for `timeoutMs` of the control's
// clock from the start (resolve, connect and TLS included; 0 = never).
CURLcode RunTransfer(CurlHandles& handles, const CallControl& control, uint32_t timeoutMs);

// For CURLE_PEER_FAILED_VERIFICATION: why the certificate was refused, in words.
// `errorBuffer` is libcurl's CURLOPT_ERRORBUFFER of the transfer.
std::string CertificateProblemOf(CURL* easy, const char* errorBuffer);

}  // namespace plx::detail
