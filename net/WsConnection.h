#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "net/CallControl.h"
#include "net/UrlParts.h"

namespace plx::detail {

// Why a connect failed: the fixed text, and the seconds a refused upgrade asked us to wait
// (its Retry-After), else 0.
struct ConnectFailure {
  std::string text;
  int32_t retryAfter{0};
};

// One WebSocket connection with its own I/O thread, which alone touches the stream; the
// blocking calls below hand work to it and wait. Beast lives only behind this interface.
class WsConnection {
 public:
  virtual ~WsConnection() = default;  // closes, then joins the I/O thread

  // Resolve, TCP connect, TLS and upgrade, within kConnectTimeoutMs of the control's clock; a
  // control that stops wanting the call ends it at once. On failure `failure` gets the text.
  virtual bool Connect(const UrlParts& url, const std::string& userAgent,
                       const CallControl& control, ConnectFailure& failure) = 0;
  // One text frame. False when closed or the write failed.
  virtual bool Send(std::string_view text) = 0;
  // The next whole message; false once the connection is over or closed. One thread at a time.
  virtual bool Receive(std::string& out) = 0;
  // Any thread, repeatable, never blocks: wakes every waiter at once, then closes with the
  // closing handshake (bounded by kCloseTimeoutMs) on the I/O thread.
  virtual void Close() = 0;
  virtual bool Closed() const = 0;
};

inline constexpr int64_t kConnectTimeoutMs = 10000;
// The closing handshake is given this long (real time) before the socket is simply shut: a stop
// must not wait for a peer that no longer answers.
inline constexpr int64_t kCloseTimeoutMs = 300;
// A message larger than this ends the connection (a broken or hostile server cannot fill memory).
inline constexpr size_t kMaxMessageBytes = 4u << 20;

// receiveTimeoutMs <= 0: a receive waits as long as the socket stays up.
std::unique_ptr<WsConnection> MakeWsConnection(bool secure, int32_t receiveTimeoutMs);

}  // namespace plx::detail
