#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace plx {

// One streamed GET, for bodies too large to hold in memory. Redirects are never followed, TLS
// peer and host names are always verified, the body is not decoded, and only a 200 answer's body
// is read: any other status ends the transfer after its headers. Runs on the calling thread.
struct DownloadRequest {
  std::string url;        // absolute http:// or https:// URL
  std::string userAgent;  // sent as is
  std::string headers;    // extra lines "Name: value", separated by "\r\n"
  // For the connection (name look-up, TCP and TLS), and for any pause of the transfer.
  uint32_t timeoutMs{5000};
  // Asked at least every 100 ms while the transfer waits for the network; false stops it.
  std::function<bool()> keepGoing;
  // Receives the body in pieces of at most kDownloadChunkBytes; false stops the transfer.
  std::function<bool(std::string_view chunk)> sink;
};

inline constexpr size_t kDownloadChunkBytes = 65536;

enum class DownloadEnd {
  Complete,       // a 200 answer's body arrived whole
  NoSession,      // the transfer could not be set up at all
  BadUrl,         // the URL was refused
  Insecure,       // the redirect or TLS policy could not be applied
  CannotConnect,  // name look-up or TCP connection failed
  NoResponse,     // connected, but no response headers arrived (TLS failure, time-out, reset)
  Status,         // the answer's status was not 200; its body was not read
  Interrupted,    // the body broke off (time-out, lost connection)
  Stopped,        // keepGoing or the sink said stop
};

struct DownloadResult {
  DownloadEnd end{DownloadEnd::NoSession};
  int32_t status{0};  // the response's status, 0 when none arrived
  // For NoResponse because the server's certificate was refused: the sentence saying why ("the
  // server's certificate is not trusted" …); empty otherwise.
  std::string certificateProblem;
};

DownloadResult Download(const DownloadRequest& request);

}  // namespace plx
